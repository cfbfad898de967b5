#include <algorithm>
#include <exception>
#include <vector>

#include "ded/records.h"
#include "gdal/dataset.h"
#include "image/place.h"

namespace {

// A block holds about this many samples (2 MiB): whole columns of the image
// where they fit, so one block reads each cell's columns as one run of the
// column-major file, and a block is transposed once.
constexpr int64_t kBlockSamples = int64_t{1} << 20;

// The stored form of NoData, for samples the file does not hold.
const uint16_t kStoredNoData = dedEncodeSample(DED_GDAL_NODATA);

// Reads samples [first, first + count) of a cell's block as stored; the
// ones past the samples the file holds become NoData. False after a
// CPLError when the file does not give the samples it held at opening.
bool readStored(VSILFILE *file, const DedCellBlock &cell, int64_t first, int64_t count,
                uint16_t *dest) {
  const int64_t held = cell.samples - cell.missing;
  const int64_t readable = std::clamp<int64_t>(held - first, 0, count);
  std::fill(dest + readable, dest + count, kStoredNoData);
  if (readable == 0) {
    return true;
  }
  const auto offset = static_cast<vsi_l_offset>(cell.offset + first * DED_SAMPLE_SIZE);
  const auto bytes = static_cast<size_t>(readable * DED_SAMPLE_SIZE);
  if (VSIFSeekL(file, offset, SEEK_SET) != 0 || VSIFReadL(dest, 1, bytes, file) != bytes) {
    CPLError(CE_Failure, CPLE_FileIO, "DED: a block of samples could not be read");
    return false;
  }
  return true;
}

} // namespace

DedRasterBand::DedRasterBand(DedDataset *dataset) {
  poDS = dataset;
  nBand = 1;
  eDataType = GDT_Int16;
  const int64_t width = dataset->GetRasterXSize();
  const int64_t height = dataset->GetRasterYSize();
  nBlockYSize = static_cast<int>(std::min(height, kBlockSamples));
  nBlockXSize = static_cast<int>(std::clamp<int64_t>(kBlockSamples / nBlockYSize, 1, width));
}

CPLErr DedRasterBand::IReadBlock(int blockX, int blockY, void *block) {
  auto *dataset = static_cast<DedDataset *>(poDS);
  auto *samples = static_cast<int16_t *>(block);
  std::fill_n(samples, int64_t{nBlockXSize} * nBlockYSize, DED_GDAL_NODATA);
  // The image columns and the file's rows (south first) the block shows.
  const int64_t height = nRasterYSize;
  const int64_t column0 = int64_t{blockX} * nBlockXSize;
  const int64_t column1 = std::min<int64_t>(column0 + nBlockXSize, nRasterXSize);
  const int64_t north = int64_t{blockY} * nBlockYSize;
  const int64_t row0 = std::max<int64_t>(0, height - north - nBlockYSize);
  const int64_t row1 = height - north;
  const DedInt16Window window{samples, column0, column1 - column0, row0, row1 - row0, nBlockXSize};
  try {
    std::vector<uint16_t> run;
    for (size_t i = 0; i < dataset->cells_.size(); ++i) {
      const DedCellPlacement &p = dataset->placements_[i];
      if (!p.shown) {
        continue;
      }
      // The cell's own columns and rows that land in the block.
      const int64_t j0 = std::max(p.firstColumn, column0 - p.imageColumn);
      const int64_t j1 = std::min(p.endColumn, column1 - p.imageColumn);
      const int64_t i0 = std::max(p.firstRow, row0 - p.imageRow);
      const int64_t i1 = std::min(p.endRow, row1 - p.imageRow);
      if (j0 >= j1 || i0 >= i1) {
        continue;
      }
      const int64_t rows = static_cast<int64_t>(dataset->cells_[i].rowCount);
      const int64_t slice = i1 - i0;
      // Whole columns are one run in the file; parts of columns one each.
      const int64_t perRead = slice == rows ? std::max<int64_t>(1, kBlockSamples / rows) : 1;
      run.resize(static_cast<size_t>(std::min(perRead, j1 - j0) * slice));
      for (int64_t j = j0; j < j1; j += perRead) {
        const int64_t columns = std::min(perRead, j1 - j);
        if (!readStored(dataset->file_, dataset->blocks_[i], j * rows + i0, columns * slice,
                        run.data())) {
          return CE_Failure;
        }
        dedPlaceStoredInt16(run.data(), columns, slice, p.imageColumn + j, p.imageRow + i0, window);
      }
    }
  } catch (const std::exception &e) {
    CPLError(CE_Failure, CPLE_OutOfMemory, "DED: %s", e.what());
    return CE_Failure;
  }
  return CE_None;
}

double DedRasterBand::GetNoDataValue(int *success) {
  if (success != nullptr) {
    *success = TRUE;
  }
  return DED_GDAL_NODATA;
}

const char *DedRasterBand::GetUnitType() { return "m"; }
