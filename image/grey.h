// Elevations to grey levels.
#pragma once

#include <cstddef>
#include <cstdint>

// How a block handed to dedMapToGrey holds its samples.
enum class DedSampleForm {
  Value,  // the elevation itself
  Stored, // as stored in the file: big-endian
};

// The linear map from elevations to grey levels, in single precision:
// k = 255 / (maxElevation - minElevation) and negMin = -minElevation.
struct DedGreyScale {
  float k;
  float negMin;
};

DedGreyScale dedGreyScale(float minElevation, float maxElevation);

// The grey level of one elevation: v = (sample + negMin) x k in double
// precision, rounded to single precision; 0 when v is not at least 0 (NaN
// included), 255 when above 255, otherwise v truncated.
uint8_t dedGreyLevel(int16_t sample, const DedGreyScale &scale);

// Writes the grey level of block[c * columnPitch + r] to pixels[c + r *
// rowStride] for every column c below width and row r below height: a
// column-major block (columnPitch samples from one column to the next) turned
// into rows. Nothing else in pixels is written, so the bytes past a row's
// width stay as they are. Every level is exactly dedGreyLevel's.
void dedMapToGrey(const uint16_t *block, std::ptrdiff_t columnPitch, DedSampleForm form,
                  const DedGreyScale &scale, uint8_t *pixels, int32_t width, int32_t height,
                  std::ptrdiff_t rowStride);

// The instruction sets dedMapToGrey can work with, slowest first. Each gives
// every level exactly as dedGreyLevel does.
enum class DedGreyPath {
  Plain, // one pixel at a time
  Sse2,  // four levels per instruction
  Avx2,  // eight
};

// The fastest path this build and the processor (with its system) support.
DedGreyPath dedBestGreyPath();

// Makes dedMapToGrey use path from now on, so tests can hold each one to the
// plain mapping. False, and nothing changed, when path is faster than
// dedBestGreyPath().
bool dedUseGreyPath(DedGreyPath path);
