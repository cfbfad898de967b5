// Placing a block of samples into the caller's pixel buffer.
#pragma once

#include <cstdint>

#include "image/grey.h"

// The image a block is placed into: width x height pixels, rows rowStride
// bytes apart, row 0 first.
struct DedPixelImage {
  uint8_t *pixels;
  int32_t width;
  int32_t height;
  int32_t rowStride;
};

// Maps a column-major block of columns x rows stored samples (column j's
// first sample at block[j x rows]) to grey levels placed with its first
// sample at image column `column`, row `row`: block (j, i) becomes pixel
// (column + j, row + i). The parts that fall outside the image are dropped;
// nothing outside it is read from the block or written to the buffer.
void dedPlaceBlock(const uint16_t *block, int64_t columns, int64_t rows, int64_t column,
                   int64_t row, const DedGreyScale &scale, const DedPixelImage &image);

// Sets every pixel of the image (not the bytes past each row's width) to level.
void dedFillImage(const DedPixelImage &image, uint8_t level);

// Image pixels: columns [firstColumn, endColumn) of rows [firstRow, endRow);
// none when either range is empty.
struct DedPixelRect {
  int64_t firstColumn;
  int64_t endColumn;
  int64_t firstRow;
  int64_t endRow;
};

// The pixels dedPlaceBlock writes for a block of columns x rows samples
// placed at image column `column`, row `row`.
DedPixelRect dedBlockRect(int64_t columns, int64_t rows, int64_t column, int64_t row,
                          const DedPixelImage &image);

// Sets to level every pixel of the image that none of the count rectangles
// covers (rectangles inside the image, empty ones allowed). Takes time of
// the order of count^3 besides the pixels, so it is meant for a few dozen.
void dedFillUncovered(const DedPixelImage &image, const DedPixelRect *covered, int32_t count,
                      uint8_t level);
