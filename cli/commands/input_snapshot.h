// The input of one conversion, taken once: the file pinned, its records read
// once through the pin, the plug-in's answers about it, and the checks that
// both describe the one file. Every later step reads through the pin.
#pragma once

#include <string>

#include "cli/commands/conversion.h"
#include "cli/geo/georef.h"
#include "cli/host/host_session.h"
#include "cli/input/file_facts.h"
#include "cli/input/pinned_file.h"

namespace elvhost {

struct InputSnapshot {
  explicit InputSnapshot(const std::string &path) : pin(path) {}

  PinnedFile pin;
  FileFacts facts;   // described, and what the plug-in told, once taken
  Affine controlMap; // the host's reading of the plug-in's control points
};

// Pins the input, reads its facts, runs the plug-in's open, get-info and
// geo-info on it and checks that they agree and that the image has pixels
// and usable control points. The file stays open in the session for
// get-image. Every command that imports a file through the plug-in starts
// here, so each says the same of a file that fails.
StepResult takeSnapshot(HostSession *session, const std::string &input, InputSnapshot *snapshot);

// The final check, after every read of the input: the pinned file is still
// the one the snapshot read.
StepResult confirmSnapshot(const std::string &input, const InputSnapshot &snapshot);

} // namespace elvhost
