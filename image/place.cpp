#include "image/place.h"

#include <algorithm>
#include <cstring>

#include "ded/records.h"
#include "image/transpose8.h"

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

DedPixelRect dedPlacedRect(const DedPlacement &placement) {
  if (!placement.shown) {
    return {0, 0, 0, 0};
  }
  return {placement.imageColumn + placement.firstColumn,
          placement.imageColumn + placement.endColumn, placement.imageRow + placement.firstRow,
          placement.imageRow + placement.endRow};
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

constexpr int64_t kTile = 8;
// Tiles side by side across one destination cache line (32 samples), so
// each row's line is written whole before the walk goes down the rows.
constexpr int64_t kStripColumns = 32;

// One decoded elevation: the plain formula the tiles below must equal.
inline void placeOne(const uint16_t *from, int16_t *to) { *to = dedDecodeSample(*from); }

// Eight columns of eight stored samples (column c's first at from[c x
// pitch]) to eight rows of elevations, row r's first at to[r x step].
inline void placeTile(const uint16_t *from, std::ptrdiff_t pitch, int16_t *to,
                      std::ptrdiff_t step) {
  __m128i v[kTile];
  for (int64_t c = 0; c < kTile; ++c) {
    const __m128i column = _mm_loadu_si128(reinterpret_cast<const __m128i *>(from + c * pitch));
    v[c] = _mm_or_si128(_mm_slli_epi16(column, 8), _mm_srli_epi16(column, 8)); // big-endian
  }
  transpose8(v);
  for (int64_t r = 0; r < kTile; ++r) {
    _mm_storeu_si128(reinterpret_cast<__m128i *>(to + r * step), v[r]);
  }
}

// columns x rows samples, column-major at `from` (pitch apart), to the
// row-major destination (rows step apart): 8 x 8 tiles in strips of 32
// columns walked down the rows, so that both sides are walked in whole cache
// lines, then the columns and rows the tiles leave.
void transposeSamples(const uint16_t *from, std::ptrdiff_t pitch, int64_t columns, int64_t rows,
                      int16_t *to, std::ptrdiff_t step) {
  const int64_t wholeColumns = columns - columns % kTile;
  const int64_t wholeRows = rows - rows % kTile;
  for (int64_t strip = 0; strip < wholeColumns; strip += kStripColumns) {
    const int64_t stripEnd = std::min(strip + kStripColumns, wholeColumns);
    for (int64_t i = 0; i < wholeRows; i += kTile) {
      for (int64_t j = strip; j < stripEnd; j += kTile) {
        placeTile(from + j * pitch + i, pitch, to + i * step + j, step);
      }
    }
  }
  for (int64_t j = 0; j < columns; ++j) {
    for (int64_t i = j < wholeColumns ? wholeRows : 0; i < rows; ++i) {
      placeOne(from + j * pitch + i, to + i * step + j);
    }
  }
}

} // namespace

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
  if (first >= end) {
    return;
  }
  // Sample (j, i) goes to window row imageRow + i, counted from the north
  // edge when the window is north-up.
  const int64_t imageRow = placement.imageRow + placement.firstRow;
  const int64_t row = window.northUp ? int64_t{window.height} - 1 - imageRow : imageRow;
  const std::ptrdiff_t step = window.northUp ? -window.rowStride : window.rowStride;
  transposeSamples(block + (first - blockColumn) * placement.rows + placement.firstRow,
                   static_cast<std::ptrdiff_t>(placement.rows), end - first,
                   placement.endRow - placement.firstRow,
                   window.samples + (placement.imageColumn + first - window.firstColumn) +
                       row * window.rowStride,
                   step);
}

void dedFillInt16(const DedInt16Window &window, int16_t value) {
  for (int64_t r = 0; r < window.height; ++r) {
    std::fill_n(window.samples + r * window.rowStride, window.columns, value);
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
