// Placing a block of samples into the caller's image: as grey levels into
// the host's pixel buffer, or as elevations into a buffer of int16 samples.
// Where each sample lands is ded/'s placement; only the pixels differ.
#pragma once

#include <cstddef>
#include <cstdint>

#include "ded/placement.h"
#include "image/grey.h"

// The image a block is placed into: width x height pixels, rows rowStride
// bytes apart, row 0 first.
struct DedPixelImage {
  uint8_t *pixels;
  int32_t width;
  int32_t height;
  int32_t rowStride;
};

// Maps the placed part of a column-major block of stored samples (column j's
// first sample at block[j x placement.rows]) to grey levels at their pixels.
// Nothing outside the placed ranges is read from the block, nothing outside
// the image is written to the buffer.
void dedPlaceBlock(const uint16_t *block, const DedPlacement &placement, const DedGreyScale &scale,
                   const DedPixelImage &image);

// Sets every pixel of the image (not the bytes past each row's width) to level.
void dedFillImage(const DedPixelImage &image, uint8_t level);

// A window of a row-major image of int16 elevations: the image's columns
// [firstColumn, firstColumn + columns) of all its height rows, rowStride
// samples from one row to the next. With northUp the window's row 0 holds the
// image's northern edge (image row height - 1), as GDAL has it; otherwise the
// image's row 0, its southern edge, as the host has it.
struct DedInt16Window {
  int16_t *samples;
  int32_t firstColumn;
  int32_t columns;
  int32_t height;
  std::ptrdiff_t rowStride;
  bool northUp;
};

// Copies the placed part of a column-major block of stored samples into the
// window, decoded to elevations. block holds blockColumns of the placed
// block's columns from column blockColumn on (column blockColumn's first
// sample at block[0], the next placement.rows further); the placed columns
// outside them, and outside the window, are left alone.
void dedPlaceInt16(const uint16_t *block, int64_t blockColumn, int64_t blockColumns,
                   const DedPlacement &placement, const DedInt16Window &window);

// Sets every sample of the window to value.
void dedFillInt16(const DedInt16Window &window, int16_t value);
