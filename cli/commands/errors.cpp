#include "cli/commands/errors.h"

#include <cstdio>

namespace elvhost {

void reportFailure(const std::string &message) {
  std::string line = "elvarin-host: ";
  for (size_t i = 0; i < message.size(); ++i) {
    if (message[i] == '\n' && i + 1 < message.size()) {
      line += "; ";
    } else if (message[i] != '\n' && message[i] != '\r') {
      line += message[i];
    }
  }
  line += '\n';
  (void)std::fputs(line.c_str(), stderr);
  (void)std::fflush(stderr);
}

int usageFailure(const std::string &command, const std::string &message) {
  const std::string help = command.empty() ? "elvarin-host" : "elvarin-host " + command;
  reportFailure(message + " (see " + help + " --help)");
  return kExitUsage;
}

} // namespace elvhost
