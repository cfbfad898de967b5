#include "cli/commands/output_plan.h"

#include "cli/formats/side_files.h"
#include "cli/output/output_files.h"

namespace elvhost {

std::string formatProblem(const ConvertOptions &options, ImageFormat format) {
  return options.int16 && format != ImageFormat::Tiff ? kInt16OnlyTiff : "";
}

std::string unwritableOutput(const std::string &imagePath) {
  for (const NamedOutput &file : convertOutputs(imagePath)) {
    if (std::string problem = outputProblem(file.path); !problem.empty()) {
      return problem;
    }
  }
  return {};
}

} // namespace elvhost
