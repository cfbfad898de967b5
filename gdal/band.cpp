#include <algorithm>
#include <cerrno>
#include <cstring>
#include <exception>
#include <vector>

#include "gdal/dataset.h"
#include "gdal/vsi_input.h"
#include "image/place.h"
#include "image/window_read.h"

namespace {

// A block holds about this many samples (2 MiB): whole columns of the image
// where they fit, so each cell's columns in a block are one run of the
// column-major file, read at once and turned north-up once. Only an image
// taller than this has blocks of part of a column.
constexpr int64_t kBlockSamples = int64_t{1} << 20;

// Reports why a window's read stopped, in GDAL's words.
void reportFailure(const DedWindowFailure &failure) {
  if (failure.error == ENOMEM) {
    CPLError(CE_Failure, CPLE_OutOfMemory, "DED: out of memory for the samples");
  } else if (failure.error != 0) {
    CPLError(CE_Failure, CPLE_FileIO, "DED: cannot read the samples at byte %lld: %s",
             static_cast<long long>(failure.offset), std::strerror(failure.error));
  } else if (CPLGetLastErrorNo() == CPLE_NotSupported) {
    // A stream (/vsistdin/ past its buffer) says it cannot go back to samples
    // it passed; the file itself has not changed then.
    CPLError(CE_Failure, CPLE_FileIO,
             "DED: the stream cannot seek back to the samples at byte %lld",
             static_cast<long long>(failure.offset));
  } else {
    CPLError(CE_Failure, CPLE_FileIO, "DED: samples the file held when it was opened are gone");
  }
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
  if (readWindow(window, nRasterYSize - yOff - ySize) != CE_None) {
    return CE_Failure;
  }
  // Told once the window is read, the caller's progress may still stop it,
  // as it may stop a read through the blocks.
  if (extra != nullptr && extra->pfnProgress != nullptr &&
      extra->pfnProgress(1.0, "", extra->pProgressData) == FALSE) {
    CPLError(CE_Failure, CPLE_UserInterrupt, "DED: stopped by the user");
    return CE_Failure;
  }
  return CE_None;
}

CPLErr DedRasterBand::readWindow(const DedInt16Window &window, int32_t bottom) {
  auto *dataset = static_cast<DedDataset *>(poDS);
  std::vector<int32_t> reaching;
  try {
    dedCellsReaching(dataset->columnIndex_, window.firstColumn, window.columns, &reaching);
  } catch (const std::exception &) {
    reportFailure({ENOMEM, 0});
    return CE_Failure;
  }
  CPLErrorReset();
  DedWindowFailure failure;
  if (!dedReadWindowCells(dedVsiInput(dataset->file_),
                          {dataset->frame_.placements.data(), dataset->blocks_.data(),
                           reaching.data(), reaching.size()},
                          window, bottom, DED_GDAL_NODATA, &failure)) {
    reportFailure(failure);
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
