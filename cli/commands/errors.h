// How elvarin-host reports failure: one line on standard error that names the
// file and says in words what went wrong, and an exit code.
#pragma once

#include <string>

namespace elvhost {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1; // the file, the plug-in or the output failed
constexpr int kExitUsage = 2;   // the command line itself is wrong

// text safe to print on a terminal: each control character (escape
// sequences begin with one) as \xNN, the two bytes of a UTF-8 C1 control as
// \xc2\xNN; everything else as it is. For every file name a message shows.
std::string shownName(const std::string &text);

// Prints "elvarin-host: <message>" as exactly one line on standard error:
// line breaks inside the message become "; ", and the rest is shown as
// shownName shows it, so a file name in it cannot drive the terminal.
void reportFailure(const std::string &message);

// Prints text on standard output. A write the system fails there is kept,
// with its reason, for flushedOutput to report.
void printOut(const std::string &text);

// code, once everything printed on standard output has reached it; when it
// has not (a full disk, a closed pipe), says so and returns kExitFailure.
int flushedOutput(int code);

// Prints "elvarin-host: <message>" and a pointer to the command's --help (the
// tool's own for an empty command); returns kExitUsage.
int usageFailure(const std::string &command, const std::string &message);

} // namespace elvhost
