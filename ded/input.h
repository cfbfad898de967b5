// Where the reader takes a file's bytes from: a C stream, or any other byte
// source a program has (GDAL's virtual files, memory), through four calls.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

struct DedInput {
  void *context;
  // Copies up to bytes bytes at the position to dest and advances past
  // them; returns how many it copied (fewer at the end of the file or on an
  // error).
  size_t (*read)(void *context, void *dest, size_t bytes);
  // Moves to offset bytes from the file's start, so the next read takes the
  // file's bytes as they are now (nothing read before is served again).
  // False when it cannot.
  bool (*seek)(void *context, int64_t offset);
  // The file's length in bytes now, or -1 when it cannot be told; keeps the
  // position.
  int64_t (*size)(void *context);
  // A record could not be read whole: message names the record ("Reading
  // ded file header"). The stream's reader prints it with the C library's
  // reason, as perror does; another reader may report it its own way.
  void (*readFailed)(void *context, const char *message);
  // After a read that copied fewer bytes than it was asked for: the
  // system's error number when an error stopped it (EIO, say), 0 when the
  // end of the file did. Null for a source that cannot tell the two apart,
  // whose short reads are taken for the end of the file.
  int (*readError)(void *context) = nullptr;
};

// The input over a C stream open for reading: seek moves there (beyond 2 GiB
// too) and drops whatever input the stream buffered before, since a C library
// may serve a seek from its buffer, which may hold bytes the file no longer
// has, and clears the stream's error and end-of-file indicators, so that
// readError (EIO when the error indicator is set) tells of the reads since;
// size is dedStreamSize; readFailed is perror. The stream stays the caller's.
DedInput dedStdioInput(std::FILE *stream);

// The same input for reading samples (see dedReadBlockSamples): it reads
// whole samples, as items of two bytes, so that a trace of the stream's
// reads tells a read of samples from a read of a record by its item size.
DedInput dedStdioSampleInput(std::FILE *stream);
