#include "image/raster.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>

#include "ded/describe.h"
#include "ded/open_files.h"
#include "ded/records.h"
#include "ded/status.h"
#include "host/host_block.h"
#include "image/grey.h"

namespace {

// What the get-info callback tells the host the pixels are: 8 bits per
// sample, texture type 2. The row width depends on them.
constexpr int32_t kBitsPerSample = 8;
constexpr int32_t kTextureType = 2;

// Spacing units per coordinate unit.
constexpr float kGeographicSpacingScale = 36000.0f;
constexpr float kUtmSpacingScale = 1.0f;

// A single cell is converted in bands of about this many samples (1 MiB),
// which the second-level cache holds; a band has a multiple of this many
// columns where it can, so each output row takes whole cache lines.
constexpr int64_t kBandSamples = int64_t{1} << 19;
constexpr int64_t kBandColumnMultiple = 64;

// The part of a cell's block that lands inside the raster: cell columns
// [firstColumn, endColumn) and, within each, cell rows [firstRow, endRow);
// cell position (j, i) goes to raster position (column + j, row + i).
struct CellFootprint {
  int64_t column;
  int64_t row;
  int64_t firstColumn;
  int64_t endColumn;
  int64_t firstRow;
  int64_t endRow;
};

// The raster index at which a cell starts along one axis: the quotient
// (cellLow - mosaicLow) / (spacing / scale) in double precision, made whole.
// False when it is not finite or leaves the int32 range (a zero spacing,
// say): such a cell lies nowhere in the raster.
bool cellOffset(float cellLow, float mosaicLow, float spacing, float scale, int64_t *offset) {
  const double step = static_cast<double>(spacing) / static_cast<double>(scale);
  const double whole =
      dedWholePart((static_cast<double>(cellLow) - static_cast<double>(mosaicLow)) / step);
  if (!std::isfinite(whole) || whole < static_cast<double>(INT32_MIN) ||
      whole > static_cast<double>(INT32_MAX)) {
    return false;
  }
  *offset = static_cast<int64_t>(whole);
  return true;
}

// Clips a block of columns x rows samples at (column, row) to the raster.
// False when nothing of it lands inside.
bool clipToRaster(int64_t columns, int64_t rows, int64_t column, int64_t row, int32_t width,
                  int32_t height, CellFootprint *footprint) {
  footprint->column = column;
  footprint->row = row;
  footprint->firstColumn = std::max<int64_t>(0, -column);
  footprint->endColumn = std::min<int64_t>(columns, int64_t{width} - column);
  footprint->firstRow = std::max<int64_t>(0, -row);
  footprint->endRow = std::min<int64_t>(rows, int64_t{height} - row);
  return footprint->firstColumn < footprint->endColumn && footprint->firstRow < footprint->endRow;
}

// Samples a cell's block holds: trunc(columnCount x rowCount) in double.
// Whole counts give columns x rows; others may give more, all of them read.
double cellSamples(const DedCellHeader &cell) {
  return std::trunc(static_cast<double>(cell.columnCount) * static_cast<double>(cell.rowCount));
}

// Decides, before any pixel is written, what reading the cells' blocks one
// after another from the first one on would come to: DED_ERR_BADARG at a cell
// with more samples than the scratch block holds, DED_ERR_READ at a block of
// which nothing could be read (it has no samples, or starts at or past the
// end of the file), otherwise DED_OK. The stream's position is kept.
int32_t checkBlocks(std::FILE *stream, const DedCellHeader *cells, int32_t count,
                    int64_t scratchSamples) {
  const int64_t fileSize = dedStreamSize(stream);
  if (fileSize < 0) {
    return DED_ERR_READ;
  }
  int64_t offset = DED_FIRST_CELL_HEADER + int64_t{count} * DED_CELL_HEADER_SIZE;
  for (int32_t i = 0; i < count; ++i) {
    const double samples = cellSamples(cells[i]);
    if (samples > static_cast<double>(scratchSamples)) {
      return DED_ERR_BADARG;
    }
    if (samples < 1.0 || offset + DED_SAMPLE_SIZE > fileSize) {
      return DED_ERR_READ;
    }
    offset += static_cast<int64_t>(samples) * DED_SAMPLE_SIZE;
  }
  return DED_OK;
}

// A single cell's block is the whole raster, column-major as in the file. It
// is read and converted a band of columns at a time, so it never needs to be
// held whole. One read of the whole block fails only when nothing at all is
// read, which the first band decides before any pixel is written; bands past
// the end of the file take zeros, like the rest of a short read.
int32_t deliverSingleCell(std::FILE *stream, const DedImageInfo &info, const DedGreyScale &scale,
                          uint8_t *pixels, int32_t rowStride) {
  const int32_t columnSamples = info.height;
  int64_t bandColumns = info.width;
  if (columnSamples > 0 && info.width > 0) {
    bandColumns = std::max<int64_t>(1, kBandSamples / columnSamples);
    if (bandColumns >= kBandColumnMultiple) {
      bandColumns -= bandColumns % kBandColumnMultiple;
    }
    bandColumns = std::min<int64_t>(bandColumns, info.width);
  }
  HostBlock<uint16_t> band = dedHostAlloc<uint16_t>(bandColumns * columnSamples * DED_SAMPLE_SIZE);
  if (!band) {
    return DED_ERR_NOMEM;
  }
  int64_t column = 0;
  do {
    const int64_t columns = std::min<int64_t>(bandColumns, info.width - column);
    const int64_t samples = columns * columnSamples;
    if (dedReadStoredSamples(stream, static_cast<int32_t>(samples), band.get()) == nullptr) {
      if (column == 0) {
        return DED_ERR_READ;
      }
      std::fill_n(band.get(), samples, uint16_t{0});
    }
    dedMapToGrey(band.get(), columnSamples, DedSampleForm::Stored, scale, pixels + column,
                 static_cast<int32_t>(columns), info.height, rowStride);
    column += columns;
  } while (column < info.width);
  return DED_OK;
}

// Several cells: each block is read into the scratch block and its grey
// levels placed straight into pixels, later cells over earlier ones, so no
// image-sized raster is needed. Pixels no cell covers take the minimum
// elevation's level. Every outcome the file's contents decide is settled
// before the first pixel is written; only a read that fails for another
// reason part way through (an I/O error, the file cut short meanwhile)
// returns DED_ERR_READ after earlier cells were placed.
int32_t deliverMosaic(std::FILE *stream, const DedImageInfo &info, const DedCellHeader *cells,
                      int32_t count, const DedGreyScale &scale, uint8_t *pixels,
                      int32_t rowStride) {
  const int64_t scratchSamples = int64_t{info.maxRows} * info.maxColumns;
  HostBlock<uint16_t> scratch = dedHostAlloc<uint16_t>(scratchSamples * DED_SAMPLE_SIZE);
  if (!scratch) {
    return DED_ERR_NOMEM;
  }
  const int32_t status = checkBlocks(stream, cells, count, scratchSamples);
  if (status != DED_OK) {
    return status;
  }

  const uint8_t lowest = dedGreyLevel(static_cast<int16_t>(info.minElevation), scale);
  for (int64_t r = 0; r < info.height; ++r) {
    std::memset(pixels + r * rowStride, lowest, static_cast<size_t>(info.width));
  }

  const float spacingScale =
      info.projection == PROJ_UTM ? kUtmSpacingScale : kGeographicSpacingScale;
  for (int32_t i = 0; i < count; ++i) {
    const DedCellHeader &cell = cells[i];
    const auto samples = static_cast<int32_t>(cellSamples(cell));
    if (dedReadStoredSamples(stream, samples, scratch.get()) == nullptr) {
      return DED_ERR_READ;
    }
    const auto columns = static_cast<int64_t>(cell.columnCount);
    const auto rows = static_cast<int64_t>(cell.rowCount);
    int64_t column = 0;
    int64_t row = 0;
    CellFootprint at{};
    if (cellOffset(cell.xMin, info.xMin, cell.xSpacing, spacingScale, &column) &&
        cellOffset(cell.yMin, info.yMin, cell.ySpacing, spacingScale, &row) &&
        clipToRaster(columns, rows, column, row, info.width, info.height, &at)) {
      // Every index here lies inside the scratch block or the image.
      const uint16_t *from = scratch.get() + at.firstColumn * rows + at.firstRow;
      uint8_t *to = pixels + (at.column + at.firstColumn) + (at.row + at.firstRow) * rowStride;
      dedMapToGrey(from, static_cast<std::ptrdiff_t>(rows), DedSampleForm::Stored, scale, to,
                   static_cast<int32_t>(at.endColumn - at.firstColumn),
                   static_cast<int32_t>(at.endRow - at.firstRow), rowStride);
    }
  }
  return DED_OK;
}

// Sizes the call indexes or allocates with, checked in 64 bits before any of
// them is used. Returns DED_OK or DED_ERR_BADARG.
int32_t checkSizes(const DedImageInfo &info, int32_t count, int32_t rowStride) {
  if (info.width < 0 || info.height < 0 || info.maxColumns < 0 || info.maxRows < 0) {
    return DED_ERR_BADARG;
  }
  if (int64_t{info.width} * info.height * DED_SAMPLE_SIZE > INT32_MAX) {
    return DED_ERR_BADARG;
  }
  // A narrower row would overlap the next one or run past the host's buffer.
  if (rowStride < info.width) {
    return DED_ERR_BADARG;
  }
  if (info.height > 0 &&
      int64_t{rowStride} * (info.height - 1) + info.width > int64_t{PTRDIFF_MAX}) {
    return DED_ERR_BADARG;
  }
  if (count > 1 && int64_t{info.maxRows} * info.maxColumns * DED_SAMPLE_SIZE > INT32_MAX) {
    return DED_ERR_BADARG;
  }
  return DED_OK;
}

} // namespace

extern "C" int32_t dedGetImageData(void *, void *, int32_t handle, void *, uint8_t *pixels) {
  std::FILE *stream = dedStreamFor(handle);
  if (stream == nullptr || pixels == nullptr) {
    return DED_ERR_BADARG;
  }
  DedImageInfo info;
  int32_t status = dedDescribe(handle, &info);
  if (status != DED_OK) {
    return status;
  }

  // A failed seek shows up as a failed or wrong cell-header read.
  (void)std::fseek(stream, DED_FIRST_CELL_HEADER, SEEK_SET);
  const int32_t count = dedCellHeaderCount(info.cellCount);
  const int64_t cellBytes = int64_t{count} * DED_CELL_HEADER_SIZE;
  if (cellBytes > INT32_MAX) {
    return DED_ERR_BADARG;
  }
  HostBlock<DedCellHeader> cells = dedHostAlloc<DedCellHeader>(cellBytes);
  if (!cells) {
    return DED_ERR_NOMEM;
  }
  status = dedReadCellHeaders(stream, count, cells.get());
  if (status != DED_OK) {
    return status;
  }

  int32_t padding = 0; // the host's to know
  const int32_t rowStride = qvGetImageRowWidth(info.width, kBitsPerSample, kTextureType, &padding);
  status = checkSizes(info, count, rowStride);
  if (status != DED_OK) {
    return status;
  }
  const DedGreyScale scale = dedGreyScale(info.minElevation, info.maxElevation);
  if (count == 1) {
    return deliverSingleCell(stream, info, scale, pixels, rowStride);
  }
  return deliverMosaic(stream, info, cells.get(), count, scale, pixels, rowStride);
}
