// The host's grey pixel buffer as the image writers see it.
#pragma once

#include <cstdint>

namespace elvhost {

struct GreyImage {
  const uint8_t *pixels = nullptr; // the host's buffer: row 0 is the southern edge
  int32_t width = 0;               // pixels per row
  int32_t height = 0;              // rows
  int32_t rowStride = 0;           // bytes from one row to the next, at least width
};

// The host row written as output row `row`: north-up output starts with the
// host's last row, so the buffer is never copied or flipped in memory.
inline const uint8_t *outputRow(const GreyImage &image, int32_t row, bool northUp) {
  const int32_t hostRow = northUp ? image.height - 1 - row : row;
  return image.pixels + static_cast<int64_t>(hostRow) * image.rowStride;
}

} // namespace elvhost
