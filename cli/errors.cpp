#include "cli/errors.h"

#include <cstdio>

#include "qvapilib/loader.h"

namespace elvhost {

std::string statusWords(int32_t status) {
  switch (status) {
  case 0:
    return "success";
  case -1:
    return "out of memory";
  case -2:
    return "cannot open";
  case -3:
    return "truncated or unreadable";
  case -6:
    return "not a DED file (bad magic)";
  case -8:
    return "bad argument or unusable header values";
  case qvstandin::kNotRegistered:
    return "the plug-in registered no such callback";
  default:
    return "unknown failure";
  }
}

std::string callbackFailure(const std::string &file, const char *callback, int32_t status,
                            const std::string &pluginSaid) {
  std::string message = file + ": " + statusWords(status) + " (" + callback + " returned " +
                        std::to_string(status) + ")";
  if (!pluginSaid.empty()) {
    message += "; the plug-in said: " + pluginSaid;
  }
  return message;
}

void reportFailure(const std::string &message) {
  std::string line = "elvarin-host: ";
  line.reserve(line.size() + message.size() + 1);
  for (size_t i = 0; i < message.size(); ++i) {
    const char ch = message[i];
    if (ch == '\r') {
      continue;
    }
    if (ch == '\n') {
      if (i + 1 < message.size()) {
        line += "; ";
      }
      continue;
    }
    line += ch;
  }
  line += '\n';
  (void)std::fputs(line.c_str(), stderr);
  (void)std::fflush(stderr);
}

int usageFailure(const std::string &command, const std::string &message) {
  const std::string help =
      command.empty() ? "elvarin-host --help" : "elvarin-host " + command + " --help";
  reportFailure(message + " (see " + help + ")");
  return kExitUsage;
}

} // namespace elvhost
