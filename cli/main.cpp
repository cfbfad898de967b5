// elvarin-host: loads the Elvarin plug-in and imports DED files exactly as
// the host application does, for people and for the tests.
#include <cstdio>
#include <exception>
#include <new>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/errors.h"

namespace {

const char *const kHelp =
    "usage: elvarin-host COMMAND [ARGS] [--plugin PATH]\n"
    "\n"
    "Drives the Elvarin importer plug-in as the host application does.\n"
    "\n"
    "commands:\n"
    "  info FILE.ded [--json]             what the host learns about a DED file\n"
    "  convert FILE.ded OUT.png|.pgm|.tif the grey image, with world file, .prj and .aux.xml\n"
    "  sample OUT.ded [--kind K] [--size N]  synthetic terrain as a DED file\n"
    "\n"
    "Every command takes --help, and --plugin PATH to use another build of the\n"
    "plug-in than the one beside elvarin-host. Exit status 0 on success; on\n"
    "failure non-zero, with one line on standard error saying what went wrong.\n";

int run(int argc, char **argv) {
  const std::vector<std::string> all(argv + 1, argv + argc);
  if (all.empty()) {
    (void)std::fputs(kHelp, stderr);
    return elvhost::kExitUsage;
  }
  const std::string &command = all[0];
  const std::vector<std::string> rest(all.begin() + 1, all.end());
  if (command == "--help" || command == "-h" || command == "help") {
    (void)std::fputs(kHelp, stdout);
    return elvhost::kExitOk;
  }
  if (command == "info") {
    return elvhost::runInfo(rest, argv[0]);
  }
  if (command == "convert") {
    return elvhost::runConvert(rest, argv[0]);
  }
  if (command == "sample") {
    return elvhost::runSample(rest, argv[0]);
  }
  return elvhost::usageFailure("", "unknown command " + command);
}

} // namespace

int main(int argc, char **argv) {
  try {
    return run(argc, argv);
  } catch (const std::bad_alloc &) {
    elvhost::reportFailure("out of memory");
  } catch (const std::exception &e) {
    elvhost::reportFailure(std::string("unexpected failure: ") + e.what());
  } catch (...) {
    elvhost::reportFailure("unexpected failure");
  }
  return elvhost::kExitFailure;
}
