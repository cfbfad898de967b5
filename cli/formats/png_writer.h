// Grey PNG written for speed: every row Up-filtered, compressed with ISA-L
// by strips of rows on as many threads, joined into the single zlib stream a
// PNG holds.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "cli/formats/grey_image.h"
#include "cli/output/progress.h"

namespace elvhost {

// Measured on a 7169 x 7169 terrain mosaic on two cores, GDAL's PNG at zlib
// level 1 taking 0.86 s for 7.4 MB (bench/png_deflate_options.cpp for the
// encoders alone, bench/outputs-bench.sh for the whole conversion):
//
//   zlib level 1, Z_RLE, one thread    0.20 s   5.3 MB
//   zlib level 1, Z_RLE, two strips    0.10 s   5.3 MB, twice the time when
//                                               the other core is busy
//   libdeflate level 1                 0.21 s   6.1 MB, whole filtered image
//                                               in memory first
//   ISA-L level 1, one thread          0.10 s   6.7 MB
//   ISA-L level 1, two strips          0.04 s   6.7 MB
//
// ISA-L on strips is the only one that keeps the conversion five times
// faster than GDAL's with the machine under load, and its file stays below
// GDAL's: the Up filter leaves terrain as runs of small values that even
// ISA-L's simple matching codes well.
struct PngSettings {
  int level = 1;  // ISA-L's compression level, 0..3
  int strips = 0; // strips of rows compressed side by side; 0: by image size and cores
};

// The widest PNG most readers open: libpng refuses wider ones unless the
// program reading lifts its default limit, which few do.
constexpr int32_t kPngReadersMaxWidth = 1'000'000;

// Writes image to stream as an 8-bit grey PNG of any size a PNG can hold,
// north-up or in the host's row order. Returns false, with zlib's or the
// system's reason in error; the stream then holds an unusable file.
// progress hears of the rows compressed, on the calling thread.
bool writePng(std::FILE *stream, const GreyImage &image, bool northUp, const PngSettings &settings,
              std::string *error, const RowProgress &progress = {});

} // namespace elvhost
