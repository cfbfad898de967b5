// elvarin-host info: a DED file as a GIS user looks at it, from the file's
// own headers, in the layout of gdalinfo; and what the plug-in tells the
// host. One JSON document, which --json prints and the text is read from.
#include <nlohmann/json.hpp>
#include <string>

#include "cli/commands/commands.h"
#include "cli/commands/errors.h"
#include "cli/commands/info_document.h"
#include "cli/commands/info_report.h"
#include "cli/commands/input_snapshot.h"
#include "cli/elevation/cell_block.h"
#include "cli/elevation/losses.h"
#include "cli/formats/json_text.h"
#include "cli/host/host_session.h"
#include "cli/input/pinned_input.h"

namespace elvhost {

namespace {

// Every sample the file stores read once, for the elevations and what the
// image loses; a read that fails fails the file.
StepResult readLosses(const std::string &file, const InputSnapshot &snapshot, Losses *losses) {
  const PinnedInput reader(snapshot.pin);
  *losses = countLosses(reader.input(), snapshot.facts, true);
  if (losses->readError != 0) {
    return StepFailure{file + ": " + sampleReadFailure(losses->readError, losses->readErrorAt)};
  }
  return std::nullopt;
}

// The failure, said on standard error; with --json also as a document: the
// plug-in's status where a callback failed, else the exit status, for the
// host's own finding failed the file.
int reportInfoFailure(const InfoOptions &options, const HostSession &session,
                      const std::string &failure) {
  if (options.json) {
    int32_t code = 0;
    for (const Step step : {Step::Open, Step::GetInfo, Step::GeoInfo, Step::Close}) {
      code = code != 0 ? code : session.status(step).value_or(0);
    }
    code = code != 0 ? code : kExitFailure;
    printOut(jsonText({{"file", options.file}, {"error", {{"code", code}, {"message", failure}}}}));
  }
  reportFailure(failure);
  return kExitFailure;
}

} // namespace

int runInfo(const InfoOptions &options) {
  HostSession session;
  std::string error;
  if (!session.load(options.plugin, &error)) {
    reportFailure(error);
    return kExitFailure;
  }
  InputSnapshot snapshot(options.file);
  StepResult failed = takeSnapshot(&session, options.file, &snapshot);
  session.close();
  Losses losses;
  if (!failed) {
    failed = readLosses(options.file, snapshot, &losses);
    // The final check follows the last read, whatever that read made of
    // the file: a file changed under the run is the reason it failed.
    if (const StepResult changed = confirmSnapshot(options.file, snapshot)) {
      failed = changed;
    }
  }
  if (failed) {
    return reportInfoFailure(options, session, failed->message);
  }
  const nlohmann::ordered_json doc = infoDocument(session, snapshot.facts, losses, options);
  const std::string text = options.json ? jsonText(doc) : infoTextReport(doc);
  printOut(text);
  return kExitOk; // main flushes and checks standard output
}

} // namespace elvhost
