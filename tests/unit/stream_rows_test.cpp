// The staging writer: whatever the groups, strides and the buffer's place
// against cache lines, every pixel of the run lands once in its place and no
// byte outside the run is written.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "image/stream_rows.h"

namespace {

constexpr uint8_t kCanary = 0xA5;

uint8_t level(int64_t c, int64_t r) { return static_cast<uint8_t>(c * 7 + r * 13 + 1); }

TEST(StreamRows, EveryPixelOfTheRunOnceAndNothingElse) {
  const struct {
    int32_t width, height, stride;
    int64_t firstColumn, endColumn, firstRow, rows, groupColumns, shift;
  } cases[] = {
      {7169, 5, 7172, 0, 7169, 0, 5, 256, 0}, {7169, 5, 7172, 1024, 2049, 1, 4, 256, 17},
      {300, 9, 301, 3, 299, 2, 7, 64, 63},    {70, 4, 72, 0, 70, 0, 4, 70, 1},
      {130, 3, 131, 60, 67, 0, 3, 256, 5},    {1000, 6, 1000, 0, 1000, 0, 6, 130, 32},
      {129, 2, 129, 0, 129, 0, 2, 1, 3},
  };
  const int64_t widths[] = {1000, 1, 70, 63, 64, 65, 3, 128};
  for (const auto &c : cases) {
    SCOPED_TRACE(testing::Message() << c.width << " x " << c.height << " stride " << c.stride
                                    << " columns " << c.firstColumn << ".." << c.endColumn
                                    << " groups " << c.groupColumns << " shift " << c.shift);
    std::vector<uint8_t> buffer(static_cast<size_t>(c.stride) * c.height + 128, kCanary);
    const auto base = reinterpret_cast<uintptr_t>(buffer.data());
    uint8_t *pixels = buffer.data() + (64 - base % 64) % 64 + c.shift;
    std::vector<uint8_t> staging(static_cast<size_t>(dedStagingBytes(c.groupColumns, c.rows)));
    const DedPixelImage image{pixels, c.width, c.height, c.stride};
    DedRowStream out = dedStartRowStream(image, staging.data(), c.groupColumns, c.firstColumn,
                                         c.endColumn, c.firstRow, c.rows);
    for (size_t g = 0; out.groupColumn < c.endColumn; ++g) {
      const int64_t end =
          std::min({out.groupColumn + std::min(widths[g % 8], c.groupColumns), c.endColumn});
      for (int64_t col = out.groupColumn; col < end; ++col) {
        for (int64_t r = 0; r < c.rows; ++r) {
          dedStagingAt(out, col)[r * out.pitch] = level(col, c.firstRow + r);
        }
      }
      dedStreamGroup(&out, end);
    }
    for (size_t i = 0; i < buffer.size(); ++i) {
      const auto at = static_cast<int64_t>(i) - (pixels - buffer.data());
      const int64_t r = at >= 0 ? at / c.stride : -1;
      const int64_t col = at >= 0 ? at % c.stride : -1;
      const bool inRun =
          r >= c.firstRow && r < c.firstRow + c.rows && col >= c.firstColumn && col < c.endColumn;
      ASSERT_EQ(buffer[i], inRun ? level(col, r) : kCanary) << "column " << col << " row " << r;
    }
  }
}

} // namespace
