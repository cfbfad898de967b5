// The host's pixel buffer: one large block, given back on every path out.
#pragma once

#include <cstddef>
#include <cstdint>

namespace elvhost {

class PixelBuffer {
public:
  PixelBuffer() = default;
  ~PixelBuffer();
  PixelBuffer(const PixelBuffer &) = delete;
  PixelBuffer &operator=(const PixelBuffer &) = delete;

  // Takes bytes of memory (contents undefined); false when there is none
  // or the size does not fit this platform. Large blocks ask the system for
  // huge pages, which saves tens of thousands of page faults on a big image.
  bool allocate(int64_t bytes);
  uint8_t *data() const { return data_; }

private:
  uint8_t *data_ = nullptr;
  size_t size_ = 0;
  bool mapped_ = false;
};

} // namespace elvhost
