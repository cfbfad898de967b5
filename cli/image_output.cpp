#include "cli/image_output.h"

#include <filesystem>

#include "cli/pgm_writer.h"
#include "cli/png_writer.h"

namespace elvhost {

const char *const kImageExtensions = ".png, .pgm, .tif or .tiff";

bool imageFormatFor(const std::string &path, ImageFormat *format) {
  std::string extension = std::filesystem::path(path).extension().string();
  for (char &ch : extension) {
    ch = static_cast<char>(ch >= 'A' && ch <= 'Z' ? ch - 'A' + 'a' : ch);
  }
  if (extension == ".png") {
    *format = ImageFormat::Png;
  } else if (extension == ".pgm") {
    *format = ImageFormat::Pgm;
  } else if (extension == ".tif" || extension == ".tiff") {
    *format = ImageFormat::Tiff;
  } else {
    return false;
  }
  return true;
}

const char *imageFormatName(ImageFormat format) {
  switch (format) {
  case ImageFormat::Png:
    return "PNG";
  case ImageFormat::Pgm:
    return "PGM";
  case ImageFormat::Tiff:
    return "TIFF";
  }
  return "image";
}

bool writeImage(std::FILE *stream, ImageFormat format, const GreyImage &image, bool northUp,
                const TiffGeoreference &geo, std::string *error) {
  switch (format) {
  case ImageFormat::Png:
    return writePng(stream, image, northUp, PngSettings{}, error);
  case ImageFormat::Pgm:
    return writePgm(stream, image, northUp, error);
  case ImageFormat::Tiff:
    return writeGeoTiff(stream, image, northUp, geo, error);
  }
  *error = "unknown image format";
  return false;
}

} // namespace elvhost
