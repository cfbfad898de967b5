#include "image/place.h"

#include <algorithm>
#include <cstring>

#include "ded/records.h"

void dedPlaceBlock(const uint16_t *block, const DedPlacement &placement, const DedGreyScale &scale,
                   const DedPixelImage &image) {
  if (!placement.shown) {
    return;
  }
  const uint16_t *from = block + placement.firstColumn * placement.rows + placement.firstRow;
  uint8_t *to = image.pixels + (placement.imageColumn + placement.firstColumn) +
                (placement.imageRow + placement.firstRow) * image.rowStride;
  dedMapToGrey(from, static_cast<std::ptrdiff_t>(placement.rows), DedSampleForm::Stored, scale, to,
               static_cast<int32_t>(placement.endColumn - placement.firstColumn),
               static_cast<int32_t>(placement.endRow - placement.firstRow), image.rowStride);
}

void dedFillImage(const DedPixelImage &image, uint8_t level) {
  if (image.width <= 0) {
    return; // no pixels, however many rows: nothing to do
  }
  for (int64_t r = 0; r < image.height; ++r) {
    std::memset(image.pixels + r * image.rowStride, level, static_cast<size_t>(image.width));
  }
}

void dedPlaceInt16(const uint16_t *block, int64_t blockColumn, int64_t blockColumns,
                   const DedPlacement &placement, const DedInt16Window &window) {
  if (!placement.shown) {
    return;
  }
  // The placed block's columns that the block holds and the window shows.
  const int64_t windowFirst = int64_t{window.firstColumn} - placement.imageColumn;
  const int64_t first = std::max({placement.firstColumn, blockColumn, windowFirst});
  const int64_t end = std::min(
      {placement.endColumn, blockColumn + blockColumns, windowFirst + int64_t{window.columns}});
  for (int64_t j = first; j < end; ++j) {
    const uint16_t *from = block + (j - blockColumn) * placement.rows;
    int16_t *to = window.samples + (placement.imageColumn + j - window.firstColumn);
    for (int64_t i = placement.firstRow; i < placement.endRow; ++i) {
      const int64_t imageRow = placement.imageRow + i;
      const int64_t row = window.northUp ? int64_t{window.height} - 1 - imageRow : imageRow;
      to[row * window.rowStride] = dedDecodeSample(from[i]);
    }
  }
}

void dedFillInt16(const DedInt16Window &window, int16_t value) {
  for (int64_t r = 0; r < window.height; ++r) {
    std::fill_n(window.samples + r * window.rowStride, window.columns, value);
  }
}
