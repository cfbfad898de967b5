// A PNG's image data compressed on several threads at once: the rows, each
// behind its Up filter byte, are cut into horizontal strips that are
// deflated independently and joined into one zlib stream, the way parallel
// gzip tools do. Decoders see an ordinary stream.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli/grey_image.h"

namespace elvhost {

// Compresses the image's rows (north-up or in the host's order) with the
// Up filter into one zlib stream, using up to `strips` threads. Returns false,
// with zlib's reason in error, when zlib refuses or memory runs out.
bool deflateRowsUp(const GreyImage &image, bool northUp, int zlibLevel, int zlibStrategy,
                   int strips, std::vector<uint8_t> *zlibStream, std::string *error);

} // namespace elvhost
