// The subcommands of elvarin-host. Each takes the arguments after its own
// name, prints its own help and failures, and returns the exit code.
#pragma once

#include <string>
#include <vector>

namespace elvhost {

int runInfo(const std::vector<std::string> &args, const char *argv0);
int runConvert(const std::vector<std::string> &args, const char *argv0);
int runSample(const std::vector<std::string> &args, const char *argv0);

} // namespace elvhost
