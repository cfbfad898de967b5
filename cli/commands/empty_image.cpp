#include "cli/commands/empty_image.h"

namespace elvhost {

std::string emptyImageFailure(const std::string &file, const FileFacts &facts,
                              const HostSession &session) {
  const TextureView &t = session.texture();
  if (!t.width || !t.height || (*t.width > 0 && *t.height > 0)) {
    return {};
  }
  return file + ": " +
         (facts.problem.empty() ? "the image has no samples to show" : facts.problem) +
         ": the plug-in's image is " + std::to_string(*t.width) + " x " +
         std::to_string(*t.height) + " pixels (get-info returned " +
         std::to_string(session.status(Step::GetInfo).value_or(0)) + ")";
}

} // namespace elvhost
