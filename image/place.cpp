#include "image/place.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

void dedPlaceBlock(const uint16_t *block, int64_t columns, int64_t rows, int64_t column,
                   int64_t row, const DedGreyScale &scale, const DedPixelImage &image) {
  // The block's columns [firstColumn, endColumn) and, within each, rows
  // [firstRow, endRow) land inside the image.
  const int64_t firstColumn = std::max<int64_t>(0, -column);
  const int64_t endColumn = std::min<int64_t>(columns, int64_t{image.width} - column);
  const int64_t firstRow = std::max<int64_t>(0, -row);
  const int64_t endRow = std::min<int64_t>(rows, int64_t{image.height} - row);
  if (firstColumn >= endColumn || firstRow >= endRow) {
    return;
  }
  const uint16_t *from = block + firstColumn * rows + firstRow;
  uint8_t *to = image.pixels + (column + firstColumn) + (row + firstRow) * image.rowStride;
  dedMapToGrey(from, static_cast<std::ptrdiff_t>(rows), DedSampleForm::Stored, scale, to,
               static_cast<int32_t>(endColumn - firstColumn),
               static_cast<int32_t>(endRow - firstRow), image.rowStride);
}

void dedFillImage(const DedPixelImage &image, uint8_t level) {
  if (image.width <= 0) {
    return; // no pixels, however many rows: nothing to do
  }
  for (int64_t r = 0; r < image.height; ++r) {
    std::memset(image.pixels + r * image.rowStride, level, static_cast<size_t>(image.width));
  }
}
