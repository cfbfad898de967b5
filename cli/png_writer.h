// Grey PNG through libpng, tuned for speed: elevation images compress well
// enough at zlib's fastest level.
#pragma once

#include <cstdio>
#include <string>

#include "cli/grey_image.h"

namespace elvhost {

// Measured on a 7169 x 7169 terrain mosaic: zlib level 1 with the Up filter
// and run-length matching only (Z_RLE) is both the fastest and the smallest
// of the fast settings (0.20 s, 5.4 MB; Sub with the default strategy takes
// 0.27 s for 8.5 MB, level 6 with adaptive filters 1.7 s for 5.4 MB):
// neighbouring rows of terrain are alike, so Up leaves long runs of small
// values.
struct PngSettings {
  int zlibLevel = 1;    // 0..9
  int filter = 0x20;    // a PNG_FILTER_* mask; 0x20 is PNG_FILTER_UP
  int zlibStrategy = 3; // Z_DEFAULT_STRATEGY 0, Z_FILTERED 1, Z_HUFFMAN_ONLY 2, Z_RLE 3
};

// Writes image to stream as an 8-bit grey PNG, north-up or in the host's row
// order. Returns false, with libpng's or the system's reason in error.
bool writePng(std::FILE *stream, const GreyImage &image, bool northUp, const PngSettings &settings,
              std::string *error);

} // namespace elvhost
