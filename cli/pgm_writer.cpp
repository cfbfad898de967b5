#include "cli/pgm_writer.h"

#include <cerrno>
#include <cstring>

namespace elvhost {

bool writePgm(std::FILE *stream, const GreyImage &image, bool northUp, std::string *error) {
  const std::string header =
      "P5\n" + std::to_string(image.width) + " " + std::to_string(image.height) + "\n255\n";
  bool ok = std::fwrite(header.data(), 1, header.size(), stream) == header.size();
  const size_t rowBytes = static_cast<size_t>(image.width);
  for (int32_t row = 0; ok && row < image.height; ++row) {
    ok = std::fwrite(outputRow(image, row, northUp), 1, rowBytes, stream) == rowBytes;
  }
  if (!ok) {
    *error = std::strerror(errno);
  }
  return ok;
}

} // namespace elvhost
