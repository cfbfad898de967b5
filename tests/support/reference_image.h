// A plain, obviously-correct rendering of a DED file straight from its bytes,
// written from the format's description and nothing of the plug-in's code
// but the whole-number snap, for the fuzz target to hold get-image against.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace dedtest {

// The status of a mosaic whose cells are too large to render here.
constexpr int32_t kNoReference = 1;

struct ReferenceImage {
  int32_t status = 0;          // 0, -3 or -8, as get-image should answer; or kNoReference
  std::vector<uint8_t> pixels; // width x height grey levels, row r at r * rowWidth
};

// The image of file (its bytes), whose description gave width x height; rows
// rowWidth bytes apart, bytes past each row's width left at pad. Only for a
// file the plug-in describes successfully, whose image has at most a few
// million pixels.
ReferenceImage referenceImage(const uint8_t *file, size_t size, int32_t width, int32_t height,
                              int32_t rowWidth, uint8_t pad);

} // namespace dedtest
