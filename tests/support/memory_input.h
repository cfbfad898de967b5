// A file's bytes in memory as the DED reader's input, as a program that does
// not read through a C stream drives it; a record that does not read is
// counted, not printed.
#pragma once

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <vector>

#include "ded/input.h"

namespace dedtest {

struct MemoryFile {
  std::vector<uint8_t> bytes;
  size_t position = 0;
  int failedReads = 0;
  size_t failAt = SIZE_MAX; // a read reaching this byte stops there on an error (EIO)
  bool failed = false;

  DedInput input() {
    return DedInput{
        this,
        [](void *self, void *dest, size_t wanted) {
          MemoryFile &f = *static_cast<MemoryFile *>(self);
          const size_t end = std::min(f.bytes.size(), std::max(f.failAt, f.position));
          const size_t n = std::min(wanted, end - f.position);
          f.failed = n < wanted && end == f.failAt;
          if (n > 0) { // an empty file has no data() to copy from
            std::memcpy(dest, f.bytes.data() + f.position, n);
          }
          f.position += n;
          return n;
        },
        [](void *self, int64_t offset) {
          MemoryFile &f = *static_cast<MemoryFile *>(self);
          f.position = std::min(static_cast<size_t>(offset), f.bytes.size());
          return true;
        },
        [](void *self) {
          return static_cast<int64_t>(static_cast<MemoryFile *>(self)->bytes.size());
        },
        [](void *self, const char *) { ++static_cast<MemoryFile *>(self)->failedReads; },
        [](void *self) { return static_cast<MemoryFile *>(self)->failed ? EIO : 0; }};
  }
};

} // namespace dedtest
