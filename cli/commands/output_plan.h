// The checks convert and a batch make of their outputs before any work, so
// a command line that cannot succeed costs nothing and leaves nothing.
#pragma once

#include <string>

#include "cli/commands/commands.h"
#include "cli/formats/image_output.h"

namespace elvhost {

// Why options cannot have their image written in format, in words (--type
// int16 writes only GeoTIFF); empty when they can.
std::string formatProblem(const ConvertOptions &options, ImageFormat format);

// The first of the files convert writes for the image at imagePath (the
// image, its world file, .prj and .aux.xml) that may not be written there,
// as outputProblem says it; empty when all may.
std::string unwritableOutput(const std::string &imagePath);

} // namespace elvhost
