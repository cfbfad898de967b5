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

// A command line whose outputs would overwrite the input or one another,
// by name or through a link, in words; empty when all are distinct.
std::string collision(const std::string &input, const std::string &output, ImageFormat format) {
  std::vector<NamedOutput> files = convertOutputs(output, format);
  files.insert(files.begin(), {input, "the input"});
  for (size_t i = 0; i < files.size(); ++i) {
    for (size_t j = i + 1; j < files.size(); ++j) {
      if (sameFile(files[i].path, files[j].path)) {
        return files[j].path + ": " + files[j].what + " would overwrite " + files[i].what + " " +
               files[i].path;
      }
    }
  }
  return {};
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
  if (std::string clash = collision(options.input, output, *format); !clash.empty()) {
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
