// The checks convert and a batch make of their outputs before any work, so
// a command line that cannot succeed costs nothing and leaves nothing.
#pragma once

#include <string>
#include <vector>

#include "cli/commands/commands.h"
#include "cli/formats/image_output.h"

namespace elvhost {

// Why options cannot have their output written in format, in words: a choice
// the format does not use (--as-host for a DED file), --type int16 other than
// GeoTIFF, --frame without --type int16; empty when they can.
std::string formatProblem(const ConvertOptions &options, ImageFormat format);

// The first of the files convert writes for the output at imagePath in
// format (an image's world file, .prj and .aux.xml too) that may not be
// written there, as outputProblem says it; empty when all may.
std::string unwritableOutput(const std::string &imagePath, ImageFormat format);

// The first file a conversion would overwrite that it must not: an output of
// job i (inputs[i] written to outputs[i] in format, side files too) that is
// any job's input, or another output of job i (by name, through a link, or
// as the same file), in words; empty when none is. A batch's messages name
// the job's input ("the world file of a.ded").
std::string overwriteProblem(const std::vector<std::string> &inputs,
                             const std::vector<std::string> &outputs, ImageFormat format,
                             bool batch);

} // namespace elvhost
