// libtiff writing through a caller's stdio stream, buffered and closed by
// its owner, with the first failure kept in the system's words.
#pragma once

#include <tiffio.h>

#include <array>
#include <cstdio>

namespace elvhost {

// The stream libtiff writes to. The first failed write or seek keeps its
// error number: libtiff's own words for it ("Write error at scanline ...",
// "Maximum TIFF file size exceeded") do not say what the system said.
struct TiffStream {
  std::FILE *stream;
  int failure = 0; // errno of the first write or seek that failed
};

// The first error libtiff reports for a file; warnings are dropped. Kept in
// a buffer of its own: the handler runs inside libtiff's C code, where
// nothing may allocate or throw.
struct TiffError {
  std::array<char, 512> text{};
};

// A TIFF (BigTIFF when big) libtiff writes on file's stream, its first error
// kept in *tiffError; null when it cannot be made.
TIFF *tiffOpenOnStream(TiffStream *file, bool big, TiffError *tiffError);

// Keeps errno (EIO when none) as file's failure unless one is kept already.
void tiffNoteFailure(TiffStream *file);

} // namespace elvhost
