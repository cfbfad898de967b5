#include "cli/commands/errors.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace elvhost {

std::string shownName(const std::string &text) {
  static const char kHex[] = "0123456789abcdef";
  std::string shown;
  const auto escape = [&shown](unsigned value) {
    shown.append("\\x").append(1, kHex[value >> 4]).append(1, kHex[value & 0xf]);
  };
  for (size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    const auto next = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0u;
    if (byte == 0xc2 && next >= 0x80 && next <= 0x9f) {
      escape(byte);
      escape(next);
      ++i;
    } else if (byte < 0x20 || byte == 0x7f) {
      escape(byte);
    } else {
      shown += text[i];
    }
  }
  return shown;
}

void reportFailure(const std::string &message) {
  std::string joined;
  for (size_t i = 0; i < message.size(); ++i) {
    if (message[i] == '\n' && i + 1 < message.size()) {
      joined += "; ";
    } else if (message[i] != '\n' && message[i] != '\r') {
      joined += message[i];
    }
  }
  const std::string line = "elvarin-host: " + shownName(joined) + "\n";
  (void)std::fputs(line.c_str(), stderr);
  (void)std::fflush(stderr);
}

namespace {

// The reason of the first write to standard output the system failed; the
// stream keeps only that one failed.
int outputError = 0;

} // namespace

void printOut(const std::string &text) {
  errno = 0;
  if (std::fputs(text.c_str(), stdout) == EOF && outputError == 0) {
    outputError = errno;
  }
}

int flushedOutput(int code) {
  errno = 0;
  if (std::fflush(stdout) == 0 && std::ferror(stdout) == 0) {
    return code;
  }
  const int error = outputError != 0 ? outputError : errno;
  reportFailure(std::string("cannot write the standard output: ") +
                std::strerror(error != 0 ? error : EIO));
  return kExitFailure;
}

int usageFailure(const std::string &command, const std::string &message) {
  const std::string help = command.empty() ? "elvarin-host" : "elvarin-host " + command;
  reportFailure(message + " (see " + help + " --help)");
  return kExitUsage;
}

} // namespace elvhost
