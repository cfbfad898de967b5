#include "cli/formats/image_output.h"

#include <filesystem>

#include "cli/formats/pgm_writer.h"
#include "cli/formats/png_writer.h"

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

bool imageFormatNamed(const std::string &name, ImageFormat *format) {
  for (const ImageFormat candidate : {ImageFormat::Png, ImageFormat::Pgm, ImageFormat::Tiff}) {
    if (name == imageFormatExtension(candidate)) {
      *format = candidate;
      return true;
    }
  }
  return false;
}

const char *imageFormatExtension(ImageFormat format) {
  switch (format) {
  case ImageFormat::Png:
    return "png";
  case ImageFormat::Pgm:
    return "pgm";
  case ImageFormat::Tiff:
    return "tif";
  }
  return "img";
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
                const Georeference &geo, std::string *error, const RowProgress &progress) {
  switch (format) {
  case ImageFormat::Png:
    return writePng(stream, image, northUp, PngSettings{}, error, progress);
  case ImageFormat::Pgm:
    return writePgm(stream, image, northUp, error, progress);
  case ImageFormat::Tiff:
    return writeGeoTiff(stream, image, northUp, geo, error, progress);
  }
  *error = "unknown image format";
  return false;
}

} // namespace elvhost
