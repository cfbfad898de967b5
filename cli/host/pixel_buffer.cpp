#include "cli/host/pixel_buffer.h"

#include <sys/mman.h>

#include <cstdlib>

namespace elvhost {

namespace {

// Smaller buffers come from malloc: the saving would not pay for a mapping.
constexpr size_t kHugeWorthwhile = size_t{8} << 20;

// Faults every page of block in, writable, in one call. Where the kernel
// cannot (before Linux 5.14, or short of memory now) the pages are faulted
// in as the image is written, as without this.
void prefault(uint8_t *block, size_t bytes) {
#ifdef MADV_POPULATE_WRITE
  (void)madvise(block, bytes, MADV_POPULATE_WRITE);
#else
  (void)block;
  (void)bytes;
#endif
}

} // namespace

void ReleasePixels::operator()(uint8_t *block) const {
  if (mappedBytes != 0) {
    munmap(block, mappedBytes);
  } else {
    std::free(block);
  }
}

PixelBuffer allocatePixels(size_t bytes) {
  if (bytes >= kHugeWorthwhile) {
    void *block = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (block != MAP_FAILED) {
      madvise(block, bytes, MADV_HUGEPAGE); // a hint: fine if the system says no
      prefault(static_cast<uint8_t *>(block), bytes);
      return PixelBuffer(static_cast<uint8_t *>(block), ReleasePixels{bytes});
    }
  }
  return PixelBuffer(static_cast<uint8_t *>(std::malloc(bytes)));
}

} // namespace elvhost
