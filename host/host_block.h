// A block from the host allocator that is handed back with qvFree on every
// path out of the scope that owns it.
#pragma once

#include <cstdint>
#include <memory>

#include "host/qvapi.h"

struct DedHostFree {
  void operator()(void *block) const { qvFree(block); }
};

template <typename T> using HostBlock = std::unique_ptr<T[], DedHostFree>;

// Takes bytes from the host allocator; null when the host has none or the size
// does not fit this platform's size_t (bytes is never negative here).
template <typename T> HostBlock<T> dedHostAlloc(int64_t bytes) {
  if (bytes < 0 || static_cast<uint64_t>(bytes) > SIZE_MAX) {
    return HostBlock<T>(nullptr);
  }
  return HostBlock<T>(static_cast<T *>(qvMalloc(static_cast<size_t>(bytes))));
}
