// Binary PGM (P5), 8 bits per pixel: the uncompressed output.
#pragma once

#include <cstdio>
#include <string>

#include "cli/formats/grey_image.h"
#include "cli/output/progress.h"

namespace elvhost {

// Writes image to stream, north-up or in the host's row order. Returns
// false, with the system's reason in error, when a write fails. progress
// hears of the rows written.
bool writePgm(std::FILE *stream, const GreyImage &image, bool northUp, std::string *error,
              const RowProgress &progress = {});

} // namespace elvhost
