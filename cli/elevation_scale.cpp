#include "cli/elevation_scale.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "ded/records.h"

namespace elvhost {

namespace {

struct FileCloser {
  void operator()(std::FILE *file) const { (void)std::fclose(file); }
};

} // namespace

ElevationScale elevationScaleFor(double minElevation, double maxElevation) {
  constexpr double kTopGrey = 255;
  return {(maxElevation - minElevation) / kTopGrey, minElevation};
}

bool readDedElevationRange(const std::string &path, double *minElevation, double *maxElevation,
                           std::string *error) {
  errno = 0;
  const std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
  DedStatistics statistics{};
  if (file == nullptr || std::fseek(file.get(), DED_HEADER_SIZE, SEEK_SET) != 0 ||
      dedReadStatistics(file.get(), &statistics) == nullptr) {
    *error = path + ": cannot read the elevation range: " +
             (errno != 0 ? std::strerror(errno) : "the file is too short");
    return false;
  }
  *minElevation = statistics.minElevation;
  *maxElevation = statistics.maxElevation;
  return true;
}

} // namespace elvhost
