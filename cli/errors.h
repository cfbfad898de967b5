// How elvarin-host reports failure: one line on standard error that names the
// file and says in words what went wrong, and an exit code.
#pragma once

#include <cstdint>
#include <string>

namespace elvhost {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1; // the file, the plug-in or the output failed
constexpr int kExitUsage = 2;   // the command line itself is wrong

// The meaning of a status code a plug-in callback returned, in words.
std::string statusWords(int32_t status);

// "FILE: <words> (<callback> returned <status>)", with what the plug-in
// printed while it ran appended when there was anything.
std::string callbackFailure(const std::string &file, const char *callback, int32_t status,
                            const std::string &pluginSaid);

// Prints "elvarin-host: <message>" as exactly one line on standard error:
// line breaks inside the message become "; ".
void reportFailure(const std::string &message);

// Prints "elvarin-host: <message>" and a pointer to --help; returns kExitUsage.
int usageFailure(const std::string &command, const std::string &message);

} // namespace elvhost
