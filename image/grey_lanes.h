// What the vector kernels of the grey mapping share: the scale as their lanes
// use it, and the AVX2 kernel, which lives in a file of its own because only
// that file may be compiled for AVX2.
#pragma once

#include <cstddef>
#include <cstdint>

// The grey scale in the form the lanes compute it: a biased sample's bits read
// as a float, minus offset, times k (see image/grey.cpp for why this is
// exact). clampTop is false where k is small enough that no product can leave
// the int32 range: the truncation and the saturating packs then make every
// product above 255 a 255 without min(255, v).
struct DedLaneScale {
  float k;
  float offset;
  bool clampTop;
  bool stored; // samples big-endian, as in the file
};

// Blocks of 8 samples down by 16 across are the AVX2 kernel's unit.
constexpr int32_t DED_AVX2_BLOCK_COLUMNS = 8;
constexpr int32_t DED_AVX2_BLOCK_ROWS = 16;

// dedMapToGrey's work for the image columns below width and the rows below
// height, both whole multiples of the block above, with AVX2; every level
// exactly as the SSE2 kernel gives it.
void dedMapBlocksAvx2(const uint16_t *block, std::ptrdiff_t columnPitch, const DedLaneScale &scale,
                      uint8_t *pixels, int32_t width, int32_t height, std::ptrdiff_t rowStride);
