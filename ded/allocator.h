// Memory for the reader's own blocks, from whoever drives it: the plug-in
// passes the host's allocator, other programs their own.
#pragma once

#include <cstdint>
#include <memory>

struct DedAllocator {
  void *(*allocate)(size_t bytes); // a block, or null
  void (*release)(void *block);    // takes back what allocate gave
};

// The C library's malloc and free.
DedAllocator dedSystemAllocator();

struct DedRelease {
  void (*release)(void *block) = nullptr;
  void operator()(void *block) const { release(block); }
};

// A block handed back to its allocator on every path out of its scope.
template <typename T> using DedBlock = std::unique_ptr<T[], DedRelease>;

// Takes bytes from allocator; null when it has none or the size does not fit
// this platform's size_t (bytes is never negative here).
template <typename T> DedBlock<T> dedAllocate(const DedAllocator &allocator, int64_t bytes) {
  if (bytes < 0 || static_cast<uint64_t>(bytes) > SIZE_MAX) {
    return DedBlock<T>(nullptr, DedRelease{allocator.release});
  }
  return DedBlock<T>(static_cast<T *>(allocator.allocate(static_cast<size_t>(bytes))),
                     DedRelease{allocator.release});
}
