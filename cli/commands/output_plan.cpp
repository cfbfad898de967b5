#include "cli/commands/output_plan.h"

#include <map>
#include <optional>
#include <utility>

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

// The inputs by file (device, inode) where they exist and by path, so that
// a batch of many files is checked in one pass.
struct InputIndex {
  explicit InputIndex(const std::vector<std::string> &inputs) {
    for (size_t i = 0; i < inputs.size(); ++i) {
      const FileIdentity input = identityOf(inputs[i]);
      if (input.exists) {
        byFile.emplace(std::pair(input.device, input.inode), i);
      }
      byPath.emplace(input.path, i);
    }
  }
  // The input that path is, or none.
  std::optional<size_t> find(const std::string &path) const {
    const FileIdentity identity = identityOf(path);
    if (identity.exists) {
      const auto file = byFile.find(std::pair(identity.device, identity.inode));
      return file != byFile.end() ? std::optional(file->second) : std::nullopt;
    }
    const auto named = byPath.find(identity.path);
    return named != byPath.end() ? std::optional(named->second) : std::nullopt;
  }
  std::map<std::pair<dev_t, ino_t>, size_t> byFile;
  std::map<std::string, size_t> byPath;
};

} // namespace

std::string overwriteProblem(const std::vector<std::string> &inputs,
                             const std::vector<std::string> &outputs, ImageFormat format,
                             bool batch) {
  const InputIndex index(inputs);
  for (size_t job = 0; job < outputs.size(); ++job) {
    const std::vector<NamedOutput> files = convertOutputs(outputs[job], format);
    const std::string of = batch ? " of " + inputs[job] : "";
    for (size_t i = 0; i < files.size(); ++i) {
      if (const std::optional<size_t> hit = index.find(files[i].path)) {
        return files[i].path + ": " + files[i].what + of + " would overwrite the input " +
               inputs[*hit];
      }
      for (size_t j = 0; j < i; ++j) {
        if (sameFile(files[j].path, files[i].path)) {
          return files[i].path + ": " + files[i].what + of + " would overwrite " + files[j].what +
                 " " + files[j].path;
        }
      }
    }
  }
  return {};
}

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
