#include "image/place.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

DedPixelRect dedBlockRect(int64_t columns, int64_t rows, int64_t column, int64_t row,
                          const DedPixelImage &image) {
  return {std::max<int64_t>(0, column), std::min<int64_t>(column + columns, image.width),
          std::max<int64_t>(0, row), std::min<int64_t>(row + rows, image.height)};
}

void dedPlaceBlock(const uint16_t *block, int64_t columns, int64_t rows, int64_t column,
                   int64_t row, const DedGreyScale &scale, const DedPixelImage &image) {
  const DedPixelRect rect = dedBlockRect(columns, rows, column, row, image);
  if (rect.firstColumn >= rect.endColumn || rect.firstRow >= rect.endRow) {
    return;
  }
  const uint16_t *from = block + (rect.firstColumn - column) * rows + (rect.firstRow - row);
  uint8_t *to = image.pixels + rect.firstColumn + rect.firstRow * image.rowStride;
  dedMapToGrey(from, static_cast<std::ptrdiff_t>(rows), DedSampleForm::Stored, scale, to,
               static_cast<int32_t>(rect.endColumn - rect.firstColumn),
               static_cast<int32_t>(rect.endRow - rect.firstRow), image.rowStride);
}

void dedFillImage(const DedPixelImage &image, uint8_t level) {
  if (image.width <= 0) {
    return; // no pixels, however many rows: nothing to do
  }
  for (int64_t r = 0; r < image.height; ++r) {
    std::memset(image.pixels + r * image.rowStride, level, static_cast<size_t>(image.width));
  }
}

namespace {

bool coversRow(const DedPixelRect &rect, int64_t row) {
  return rect.firstColumn < rect.endColumn && rect.firstRow <= row && row < rect.endRow;
}

// The first row after `row` where a rectangle starts or ends, or endRow.
int64_t nextRowEdge(const DedPixelRect *covered, int32_t count, int64_t row, int64_t endRow) {
  for (int32_t i = 0; i < count; ++i) {
    if (covered[i].firstColumn < covered[i].endColumn) {
      for (const int64_t edge : {covered[i].firstRow, covered[i].endRow}) {
        if (edge > row && edge < endRow) {
          endRow = edge;
        }
      }
    }
  }
  return endRow;
}

} // namespace

void dedFillUncovered(const DedPixelImage &image, const DedPixelRect *covered, int32_t count,
                      uint8_t level) {
  if (image.width <= 0) {
    return;
  }
  // Between two successive row edges the same rectangles cover every row.
  for (int64_t row = 0, endRow = 0; row < image.height; row = endRow) {
    endRow = nextRowEdge(covered, count, row, image.height);
    int64_t column = 0;
    while (column < image.width) {
      // Past every rectangle that covers the column ...
      for (bool moved = true; moved;) {
        moved = false;
        for (int32_t i = 0; i < count; ++i) {
          const DedPixelRect &r = covered[i];
          if (coversRow(r, row) && r.firstColumn <= column && column < r.endColumn) {
            column = r.endColumn;
            moved = true;
          }
        }
      }
      // ... then up to the next one that starts.
      int64_t gapEnd = image.width;
      for (int32_t i = 0; i < count; ++i) {
        if (coversRow(covered[i], row) && covered[i].firstColumn > column) {
          gapEnd = std::min(gapEnd, covered[i].firstColumn);
        }
      }
      if (column < gapEnd) {
        for (int64_t r = row; r < endRow; ++r) {
          std::memset(image.pixels + column + r * image.rowStride, level,
                      static_cast<size_t>(gapEnd - column));
        }
      }
      column = gapEnd;
    }
  }
}
