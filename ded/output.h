// Where a DED writer puts a file's bytes: a C stream, or any other byte sink
// a program has (GDAL's virtual files), through two calls, as DedInput reads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

struct DedOutput {
  void *context;
  // Writes bytes bytes from data at the position and advances past them;
  // false when not all of them were written.
  bool (*write)(void *context, const void *data, size_t bytes);
  // Writes bytes bytes from data at offset bytes from the file's start,
  // wherever the position is; false when not all of them were written. Null
  // for an output that can only be written front to back.
  bool (*writeAt)(void *context, int64_t offset, const void *data, size_t bytes);
};

// The output over a C stream open for writing in binary mode, written at
// offsets too; the stream stays the caller's.
DedOutput dedStdioOutput(std::FILE *stream);
