// Elevations as the Int16 image writer sees them.
#pragma once

#include <cstdint>

#include "ded/records.h"

namespace elvhost {

// The value that marks a pixel whose elevation nothing in the file gives,
// and the file's own void marker: the least int16.
constexpr int16_t kInt16NoData = DED_VOID;

struct Int16Image {
  const int16_t *samples = nullptr; // row-major, in the order written
  int32_t width = 0;                // samples per row, and from one row to the next
  int32_t height = 0;
};

} // namespace elvhost
