// The pixel buffer elvarin-host hands the plug-in, as a host owns it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace elvhost {

struct ReleasePixels {
  size_t mappedBytes = 0; // 0: the block came from malloc
  void operator()(uint8_t *block) const;
};
using PixelBuffer = std::unique_ptr<uint8_t, ReleasePixels>;

// A buffer of bytes, contents undefined; null when there is no memory. Large
// ones are mapped with transparent huge pages asked for and every page
// faulted in before it is returned, so writing the image costs a few dozen
// page faults instead of tens of thousands, none of them inside the plug-in.
PixelBuffer allocatePixels(size_t bytes);

} // namespace elvhost
