#include "tests/cli/gdal_info.h"

#include <cstdio>
#include <cstdlib>

namespace clitest {

bool haveGdalInfo() {
  static const bool found = std::system("gdalinfo --version >/dev/null 2>&1") == 0;
  return found;
}

bool gdalInfo(const std::string &path, nlohmann::json *report, std::string *error) {
  const std::string command = "gdalinfo -json '" + path + "' 2>&1";
  std::FILE *pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) {
    *error = "cannot run gdalinfo";
    return false;
  }
  std::string output;
  char chunk[4096];
  size_t got = 0;
  while ((got = std::fread(chunk, 1, sizeof chunk, pipe)) > 0) {
    output.append(chunk, got);
  }
  if (pclose(pipe) != 0) {
    *error = "gdalinfo failed: " + output;
    return false;
  }
  // Anything GDAL says on standard error lands before the report and
  // makes it unreadable: a file GDAL complains about fails the test.
  *report = nlohmann::json::parse(output, nullptr, false);
  if (report->is_discarded()) {
    *error = "not JSON: " + output.substr(0, 400);
    return false;
  }
  return true;
}

} // namespace clitest
