#include "cli/commands/input_snapshot.h"

#include "cli/commands/empty_image.h"
#include "cli/input/one_file_checks.h"

namespace elvhost {

StepResult takeSnapshot(HostSession *host, const std::string &input, InputSnapshot *snapshot) {
  HostSession &session = *host;
  // The host's own reading and the plug-in's read one file, held open.
  snapshot->facts = readFileFacts(snapshot->pin);
  const FileFacts &facts = snapshot->facts;
  if (!session.openAndReadInfo(input, snapshot->pin.name())) {
    return StepFailure{session.failure(facts.problem)};
  }
  if (std::string empty = emptyImageFailure(input, facts, session); !empty.empty()) {
    return StepFailure{std::move(empty)};
  }
  // Whether the file changed since the first look is the final check's to
  // say; here only the plug-in's answers are held against that look. The
  // control points tie the image's corners, which no line holds, so only
  // values the file never gives leave them unsolved: a disagreement.
  std::string ignored;
  const bool solved = hostAffine(session.geo(), &snapshot->controlMap, &ignored);
  if (const std::string why =
          pluginDisagreement(facts, session, solved ? &snapshot->controlMap : nullptr);
      !why.empty()) {
    return StepFailure{changedFailure(input, why)};
  }
  const TextureView &texture = session.texture();
  if (!texture.width || !texture.height || *texture.width <= 0 || *texture.height <= 0) {
    return StepFailure{input + ": the plug-in reported no usable image size"};
  }
  return std::nullopt;
}

StepResult confirmSnapshot(const std::string &input, const InputSnapshot &snapshot) {
  if (const std::string why = changedSince(snapshot.pin, snapshot.facts); !why.empty()) {
    return StepFailure{changedFailure(input, why)};
  }
  return std::nullopt;
}

} // namespace elvhost
