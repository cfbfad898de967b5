#include "cli/pixel_buffer.h"

#include <cstdlib>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace elvhost {

PixelBuffer::~PixelBuffer() {
#if defined(__linux__)
  if (mapped_) {
    munmap(data_, size_);
    return;
  }
#endif
  std::free(data_);
}

bool PixelBuffer::allocate(int64_t bytes) {
  if (data_ != nullptr || bytes < 0 || static_cast<uint64_t>(bytes) > SIZE_MAX) {
    return false;
  }
  size_ = static_cast<size_t>(bytes == 0 ? 1 : bytes);
#if defined(__linux__)
  constexpr size_t kHugeWorthwhile = size_t{8} << 20;
  if (size_ >= kHugeWorthwhile) {
    void *block = mmap(nullptr, size_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (block != MAP_FAILED) {
      madvise(block, size_, MADV_HUGEPAGE); // a hint: fine if the system says no
      data_ = static_cast<uint8_t *>(block);
      mapped_ = true;
      return true;
    }
  }
#endif
  data_ = static_cast<uint8_t *>(std::malloc(size_));
  return data_ != nullptr;
}

} // namespace elvhost
