#include <algorithm>
#include <exception>
#include <vector>

#include "ded/records.h"
#include "gdal/dataset.h"
#include "image/place.h"

namespace {

// A block holds whole columns of the image, about this many samples (2 MiB)
// of them, so each cell's columns in a block are one run of the
// column-major file, read at once and turned north-up once.
constexpr int64_t kBlockSamples = int64_t{1} << 20;

// Reads samples [first, first + count) of a cell's block as stored; those
// past the samples the file holds become NoData. False after a CPLError
// when the file no longer gives the samples it held at opening.
bool readStored(VSILFILE *file, const DedCellBlock &cell, int64_t first, int64_t count,
                uint16_t *dest) {
  const int64_t readable = std::clamp<int64_t>(cell.samples - cell.missing - first, 0, count);
  std::fill(dest + readable, dest + count, dedEncodeSample(DED_GDAL_NODATA));
  const auto bytes = static_cast<size_t>(readable * DED_SAMPLE_SIZE);
  if (bytes > 0 &&
      (VSIFSeekL(file, static_cast<vsi_l_offset>(cell.offset + first * DED_SAMPLE_SIZE),
                 SEEK_SET) != 0 ||
       VSIFReadL(dest, 1, bytes, file) != bytes)) {
    CPLError(CE_Failure, CPLE_FileIO, "DED: samples the file held when it was opened are gone");
    return false;
  }
  return true;
}

} // namespace

DedRasterBand::DedRasterBand(DedDataset *dataset) {
  poDS = dataset;
  nBand = 1;
  eDataType = GDT_Int16;
  nBlockYSize = dataset->GetRasterYSize();
  nBlockXSize = static_cast<int>(
      std::clamp<int64_t>(kBlockSamples / nBlockYSize, 1, dataset->GetRasterXSize()));
}

CPLErr DedRasterBand::IReadBlock(int blockX, int /*blockY*/, void *block) {
  auto *dataset = static_cast<DedDataset *>(poDS);
  auto *samples = static_cast<int16_t *>(block);
  std::fill_n(samples, int64_t{nBlockXSize} * nBlockYSize, DED_GDAL_NODATA);
  const int32_t firstColumn = blockX * nBlockXSize;
  const DedInt16Window window{
      samples,      firstColumn, std::min(nBlockXSize, nRasterXSize - firstColumn),
      nRasterYSize, nBlockXSize, true};
  try {
    std::vector<uint16_t> run;
    for (size_t i = 0; i < dataset->cells_.size(); ++i) {
      const DedPlacement &p = dataset->placements_[i];
      // The cell's placed columns that land in the block, read in runs of
      // whole columns.
      const int64_t first = std::max(p.firstColumn, int64_t{firstColumn} - p.imageColumn);
      const int64_t end =
          std::min(p.endColumn, int64_t{firstColumn} + window.columns - p.imageColumn);
      if (!p.shown || first >= end) {
        continue;
      }
      const int64_t perRun =
          std::clamp<int64_t>(kBlockSamples / std::max<int64_t>(p.rows, 1), 1, end - first);
      run.resize(static_cast<size_t>(perRun * p.rows));
      for (int64_t j = first; j < end; j += perRun) {
        const int64_t columns = std::min(perRun, end - j);
        if (!readStored(dataset->file_, dataset->blocks_[i], j * p.rows, columns * p.rows,
                        run.data())) {
          return CE_Failure;
        }
        dedPlaceInt16(run.data(), j, columns, p, window);
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
