#include "cli/commands/conversion.h"

#include <vector>

#include "cli/commands/output_plan.h"
#include "cli/formats/side_files.h"

namespace elvhost {

namespace {

// The import's share of the progress line, the writing having the rest:
// about its share of the time on a large mosaic (--stats), where the import
// is one call the line cannot follow.
double importShare(ImageFormat format) {
  switch (format) {
  case ImageFormat::Pgm:
    return 0.7;
  case ImageFormat::Png:
    return 0.3;
  case ImageFormat::Tiff:
    return 0.1;
  case ImageFormat::Ded:
    break;
  }
  return 0.5;
}

} // namespace

ConvertRun::ConvertRun(const ConvertOptions &given, ImageFormat chosen)
    : options(given), format(chosen), northUp(!given.asHost),
      line(progressShowFor(given.quiet, given.progress)),
      progress(&line, {importShare(chosen), 1 - importShare(chosen)}) {}

void ConvertRun::warn(const std::string &text) {
  if (!options.quiet) {
    line.breakLine();
    reportFailure("warning: " + text);
  }
}

int ConvertRun::fail(const StepFailure &failure) {
  line.breakLine();
  reportFailure(failure.message);
  return failure.code;
}

StepResult planConversion(const ConvertOptions &options, ImageFormat *format) {
  const std::string &output = options.output;
  if (!options.format.empty() ? !imageFormatNamed(options.format, format)
                              : !imageFormatFor(output, format)) {
    return StepFailure{output + ": the output must end in " + outputExtensionsText(), kExitUsage};
  }
  if (std::string problem = formatProblem(options, *format); !problem.empty()) {
    return StepFailure{std::move(problem), kExitUsage};
  }
  if (std::string problem = unwritableOutput(output, *format); !problem.empty()) {
    return StepFailure{std::move(problem)};
  }
  if (std::string clash = overwriteProblem({options.input}, {output}, *format, false);
      !clash.empty()) {
    return StepFailure{std::move(clash), kExitUsage};
  }
  return std::nullopt;
}

StepResult startRun(ConvertRun *run) {
  std::string error;
  run->imageStream = run->outputs.create(run->options.output, &error);
  if (run->imageStream == nullptr || !run->session.load(run->options.plugin, &error)) {
    return StepFailure{error};
  }
  run->timer.mark("load");
  return std::nullopt;
}

} // namespace elvhost
