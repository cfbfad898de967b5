// One conversion of a DED file into an image, as a pipeline of steps over
// what they share: plan the outputs, take one snapshot of the input, make
// the raster (the host's grey image, or the elevations), work out one
// georeference, write and commit. Each step hands its failure back; the run
// reports it once, ending a shown progress line first.
#pragma once

#include <cstdio>
#include <optional>
#include <string>

#include "cli/commands/commands.h"
#include "cli/commands/errors.h"
#include "cli/formats/image_output.h"
#include "cli/host/host_session.h"
#include "cli/output/output_files.h"
#include "cli/output/phase_timer.h"
#include "cli/output/progress.h"

namespace elvhost {

// Why a step failed, as reportFailure says it, and the exit code.
struct StepFailure {
  std::string message;
  int code = kExitFailure;
};
using StepResult = std::optional<StepFailure>;

// What the steps of one conversion share.
struct ConvertRun {
  ConvertRun(const ConvertOptions &given, ImageFormat chosen);

  // Prints "warning: <text>" on a line of its own, unless -q.
  void warn(const std::string &text);
  // Reports the failure, a shown progress line ended first; its exit code.
  int fail(const StepFailure &failure);

  const ConvertOptions &options;
  const ImageFormat format;
  const bool northUp; // the image written north-up, not as the host holds it
  PhaseTimer timer;
  ProgressLine line;
  PhasedProgress progress; // phase 0 the import, phase 1 the writing
  OutputSet outputs;
  std::FILE *imageStream = nullptr; // the image's temporary, once created
  HostSession session;
};

// The output format options ask for, and whether the outputs may be written:
// a usage failure (exit 2) for a format or --type the command line cannot
// have, or outputs that would overwrite the input or one another; a file
// failure for an output that may not be written there.
StepResult planConversion(const ConvertOptions &options, ImageFormat *format);

// Creates the image's temporary (so an unwritable folder costs nothing
// more) and loads the plug-in.
StepResult startRun(ConvertRun *run);

} // namespace elvhost
