#include <algorithm>
#include <exception>
#include <vector>

#include "ded/block_samples.h"
#include "ded/records.h"
#include "gdal/dataset.h"
#include "gdal/vsi_input.h"
#include "image/place.h"

namespace {

// A block holds about this many samples (2 MiB): whole columns of the image
// where they fit, so each cell's columns in a block are one run of the
// column-major file, read at once and turned north-up once. Only an image
// taller than this has blocks of part of a column.
constexpr int64_t kBlockSamples = int64_t{1} << 20;

// Reads samples [first, first + count) of a cell's block as stored; those
// past the samples the file holds become NoData. False after a CPLError
// when the file cannot seek to them or no longer gives the samples it held
// at opening: it is measured first, so a file cut shorter since is never
// read from a buffer.
bool readStored(VSILFILE *file, const DedCellBlock &cell, int64_t first, int64_t count,
                uint16_t *dest) {
  const int64_t readable = std::clamp<int64_t>(cell.samples - cell.missing - first, 0, count);
  const int64_t offset = cell.offset + first * DED_SAMPLE_SIZE;
  CPLErrorReset();
  const DedInput input = dedVsiInput(file);
  const bool held =
      readable == 0 || input.size(input.context) >= offset + readable * DED_SAMPLE_SIZE;
  if (!held ||
      dedReadBlockSamples(input, cell, first, count, dedEncodeSample(DED_GDAL_NODATA), dest).got <
          readable) {
    // A stream (/vsistdin/ past its buffer) says it cannot go back to samples
    // it passed; the file itself has not changed then.
    if (CPLGetLastErrorNo() == CPLE_NotSupported) {
      CPLError(CE_Failure, CPLE_FileIO,
               "DED: the stream cannot seek back to the samples at byte %lld",
               static_cast<long long>(offset));
    } else {
      CPLError(CE_Failure, CPLE_FileIO, "DED: samples the file held when it was opened are gone");
    }
    return false;
  }
  return true;
}

} // namespace

DedRasterBand::DedRasterBand(DedDataset *dataset) {
  // GDALMajorObject's, not PAM's: PAM would save it as a change of the user's.
  GDALMajorObject::SetDescription("Elevation"); // NOLINT(bugprone-parent-virtual-call)
  poDS = dataset;
  nBand = 1;
  eDataType = GDT_Int16;
  nBlockYSize = static_cast<int>(std::min<int64_t>(dataset->GetRasterYSize(), kBlockSamples));
  nBlockXSize = static_cast<int>(
      std::clamp<int64_t>(kBlockSamples / nBlockYSize, 1, dataset->GetRasterXSize()));
}

CPLErr DedRasterBand::IReadBlock(int blockX, int blockY, void *block) {
  // The block shows the image's columns [left, left + columns) and rows
  // [bottom, top), row 0 at the southern edge.
  const int32_t left = blockX * nBlockXSize;
  const int32_t columns = std::min(nBlockXSize, nRasterXSize - left);
  const int32_t top = nRasterYSize - blockY * nBlockYSize;
  const int32_t rows = std::min(nBlockYSize, top);
  std::fill_n(static_cast<int16_t *>(block), int64_t{nBlockXSize} * nBlockYSize, DED_GDAL_NODATA);
  return readWindow(
      DedInt16Window{static_cast<int16_t *>(block), left, columns, rows, nBlockXSize, true},
      top - rows);
}

CPLErr DedRasterBand::IRasterIO(GDALRWFlag rw, int xOff, int yOff, int xSize, int ySize, void *data,
                                int bufXSize, int bufYSize, GDALDataType bufType,
                                GSpacing pixelSpace, GSpacing lineSpace,
                                GDALRasterIOExtraArg *extra) {
  // A large read of the samples as they are goes straight into the
  // caller's buffer, as the raw readers' do: through the block cache it
  // would hold the whole request a second time (gdal_translate's swath).
  const bool direct = rw == GF_Read && bufXSize == xSize && bufYSize == ySize &&
                      bufType == GDT_Int16 && pixelSpace == sizeof(int16_t) &&
                      lineSpace % static_cast<GSpacing>(sizeof(int16_t)) == 0 &&
                      lineSpace >= pixelSpace * xSize && int64_t{xSize} * ySize >= kBlockSamples;
  if (!direct) {
    return GDALPamRasterBand::IRasterIO(rw, xOff, yOff, xSize, ySize, data, bufXSize, bufYSize,
                                        bufType, pixelSpace, lineSpace, extra);
  }
  const DedInt16Window window{static_cast<int16_t *>(data),
                              xOff,
                              xSize,
                              ySize,
                              static_cast<std::ptrdiff_t>(lineSpace / pixelSpace),
                              true};
  dedFillInt16(window, DED_GDAL_NODATA);
  return readWindow(window, nRasterYSize - yOff - ySize);
}

CPLErr DedRasterBand::readWindow(const DedInt16Window &window, int32_t bottom) {
  auto *dataset = static_cast<DedDataset *>(poDS);
  try {
    std::vector<uint16_t> run;
    std::vector<int32_t> reaching;
    dedCellsReaching(dataset->columnIndex_, window.firstColumn, window.columns, &reaching);
    for (const int32_t cell : reaching) {
      const auto i = static_cast<size_t>(cell);
      const DedPlacement &p = dataset->frame_.placements[i];
      // The cell's samples that land in the window, read on their own.
      const DedWindowPart part =
          dedWindowPart(p, window.firstColumn, window.columns, bottom, window.height);
      const DedPlacement &piece = part.placement;
      if (!piece.shown) {
        continue;
      }
      // Whole columns are read several at a time, parts of columns one each.
      const int64_t slice = piece.rows;
      const int64_t perRun =
          slice == p.rows
              ? std::clamp<int64_t>(kBlockSamples / slice, 1, piece.endColumn - piece.firstColumn)
              : 1;
      run.resize(static_cast<size_t>(perRun * slice));
      for (int64_t j = piece.firstColumn; j < piece.endColumn; j += perRun) {
        const int64_t count = std::min(perRun, piece.endColumn - j);
        if (!readStored(dataset->file_, dataset->blocks_[i], j * p.rows + part.firstRow,
                        count * slice, run.data())) {
          return CE_Failure;
        }
        dedPlaceInt16(run.data(), j, count, piece, window);
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

CPLErr DedRasterBand::SetNoDataValue(double /*value*/) {
  CPLError(CE_Failure, CPLE_NotSupported, "DED: NoData is the file format's and cannot be set");
  return CE_Failure;
}

CPLErr DedRasterBand::DeleteNoDataValue() { return SetNoDataValue(DED_GDAL_NODATA); }
