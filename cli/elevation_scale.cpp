#include "cli/elevation_scale.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>

#include "cli/ded_stream_writer.h"

namespace elvhost {

namespace {

// The statistics record: a 32-bit cell count, then the lowest and highest
// elevation as big-endian 16-bit integers.
constexpr long kRangeOffset = kDedStatisticsOffset + 4;
constexpr size_t kRangeBytes = 4;

int16_t bigEndian16(const uint8_t *bytes) {
  return static_cast<int16_t>(static_cast<uint16_t>(bytes[0] << 8 | bytes[1]));
}

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
  uint8_t range[kRangeBytes];
  if (file == nullptr || std::fseek(file.get(), kRangeOffset, SEEK_SET) != 0 ||
      std::fread(range, 1, kRangeBytes, file.get()) != kRangeBytes) {
    *error = path + ": cannot read the elevation range: " +
             (errno != 0 ? std::strerror(errno) : "the file is too short");
    return false;
  }
  *minElevation = bigEndian16(range);
  *maxElevation = bigEndian16(range + 2);
  return true;
}

} // namespace elvhost
