// The grey mapping written out plainly, one sample at a time: the reference
// the plug-in's fast conversion is held to by the unit, end-to-end and fuzz
// checks. Header-only, so builds that link none of the test support (the
// end-to-end suite, the fuzzer) can use it too.
#pragma once

#include <cstdint>

namespace dedtest {

inline uint8_t plainGrey(int16_t sample, float minElevation, float maxElevation) {
  const float k = 255.0f / (maxElevation - minElevation);
  const float negMin = -minElevation;
  const float v = static_cast<float>((static_cast<double>(sample) + static_cast<double>(negMin)) *
                                     static_cast<double>(k));
  if (!(v >= 0.0f)) {
    return 0;
  }
  if (v > 255.0f) {
    return 255;
  }
  return static_cast<uint8_t>(v);
}

} // namespace dedtest
