#include "cli/commands/output_plan.h"

#include "cli/formats/side_files.h"
#include "cli/output/output_files.h"

namespace elvhost {

namespace {

struct ChoiceOption {
  ConvertChoice choice;
  const char *option;
};

constexpr ChoiceOption kChoiceOptions[] = {{kChoiceType, "--type"},
                                           {kChoiceGeoref, "--georef"},
                                           {kChoiceFrame, "--frame"},
                                           {kChoiceAsHost, "--as-host"}};

} // namespace

std::string formatProblem(const ConvertOptions &options, ImageFormat format) {
  const OutputFormatRow &row = outputFormat(format);
  const unsigned given = options.choices | (options.asHost ? kChoiceAsHost : 0U);
  for (const ChoiceOption &choice : kChoiceOptions) {
    if ((given & choice.choice) != 0 && (row.choices & choice.choice) == 0) {
      return std::string(choice.option) + " does not apply to " + row.label + " output";
    }
  }
  if (options.int16 && format != ImageFormat::Tiff) {
    return kInt16OnlyTiff;
  }
  if ((given & kChoiceFrame) != 0 && !options.int16) {
    return "--frame applies only with --type int16";
  }
  return {};
}

std::string unwritableOutput(const std::string &imagePath, ImageFormat format) {
  for (const NamedOutput &file : convertOutputs(imagePath, format)) {
    if (std::string problem = outputProblem(file.path); !problem.empty()) {
      return problem;
    }
  }
  return {};
}

} // namespace elvhost
