// elvarin-host info: a DED file as a GIS user looks at it, from the file's
// own headers, in the layout of gdalinfo; and what the plug-in tells the
// host. One JSON document, which --json prints and the text is read from.
#include <nlohmann/json.hpp>
#include <string>

#include "cli/commands/commands.h"
#include "cli/commands/empty_image.h"
#include "cli/commands/errors.h"
#include "cli/commands/info_document.h"
#include "cli/commands/info_report.h"
#include "cli/elevation/cell_block.h"
#include "cli/elevation/losses.h"
#include "cli/formats/json_text.h"
#include "cli/host/host_session.h"
#include "cli/input/file_facts.h"
#include "cli/input/one_file_checks.h"
#include "cli/input/pinned_file.h"
#include "cli/input/pinned_input.h"

namespace elvhost {

int runInfo(const InfoOptions &options) {
  HostSession session;
  std::string error;
  if (!session.load(options.plugin, &error)) {
    reportFailure(error);
    return kExitFailure;
  }
  const PinnedFile pin(options.file);
  const FileFacts facts = readFileFacts(pin);
  const bool described = session.openAndReadInfo(options.file, pin.name());
  session.close();
  std::string failure = session.failure(facts.problem);
  Losses losses;
  if (described && failure.empty()) {
    const PinnedInput reader(pin);
    losses = countLosses(reader.input(), facts, true);
    if (losses.readError != 0) {
      failure = options.file + ": " + sampleReadFailure(losses.readError, losses.readErrorAt);
    }
  }
  if (described && failure.empty()) {
    failure = emptyImageFailure(options.file, facts, session);
  }
  if (const std::string why = described ? oneFileProblem(pin, facts, session) : "";
      failure.empty() && !why.empty()) {
    failure = changedFailure(options.file, why);
  }
  if (!failure.empty()) {
    if (options.json) {
      // The plug-in's status where a callback failed; else the host's own
      // finding failed the file, and the code is the exit status.
      int32_t code = 0;
      for (const Step step : {Step::Open, Step::GetInfo, Step::GeoInfo, Step::Close}) {
        code = code != 0 ? code : session.status(step).value_or(0);
      }
      code = code != 0 ? code : kExitFailure;
      printOut(
          jsonText({{"file", options.file}, {"error", {{"code", code}, {"message", failure}}}}));
    }
    reportFailure(failure);
    return kExitFailure;
  }
  const nlohmann::ordered_json doc = infoDocument(session, facts, losses, options);
  const std::string text = options.json ? jsonText(doc) : infoTextReport(doc);
  printOut(text);
  return kExitOk; // main flushes and checks standard output
}

} // namespace elvhost
