// Grey PNG through libpng, tuned for speed: elevation images compress well
// enough at zlib's fastest level.
#pragma once

#include <cstdio>
#include <string>

#include "cli/grey_image.h"

namespace elvhost {

struct PngSettings {
  int zlibLevel = 1;    // 0..9
  int filter = 0x10;    // a PNG_FILTER_* mask; 0x10 is PNG_FILTER_SUB
  int zlibStrategy = 0; // Z_DEFAULT_STRATEGY, Z_FILTERED, Z_RLE, ...
};

// Writes image to stream as an 8-bit grey PNG, north-up or in the host's row
// order. Returns false, with libpng's or the system's reason in error.
bool writePng(std::FILE *stream, const GreyImage &image, bool northUp, const PngSettings &settings,
              std::string *error);

} // namespace elvhost
