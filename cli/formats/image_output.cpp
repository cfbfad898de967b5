#include "cli/formats/image_output.h"

#include <filesystem>

#include "cli/formats/pgm_writer.h"
#include "cli/formats/png_writer.h"

namespace elvhost {

namespace {

constexpr unsigned kImageChoices = kChoiceType | kChoiceGeoref | kChoiceAsHost;

// DED files are written from any raster GDAL reads, each sample at its own
// place: none of the choices about the host's picture applies to them.
constexpr OutputFormatRow kOutputFormats[] = {
    {ImageFormat::Png, "png", "PNG", {".png", nullptr}, true, kImageChoices},
    {ImageFormat::Pgm, "pgm", "PGM", {".pgm", nullptr}, true, kImageChoices},
    {ImageFormat::Tiff, "tif", "TIFF", {".tif", ".tiff"}, true, kImageChoices | kChoiceFrame},
    {ImageFormat::Ded, "ded", "DED", {".ded", nullptr}, false, 0U},
};

std::string lowerCase(std::string text) {
  for (char &ch : text) {
    ch = static_cast<char>(ch >= 'A' && ch <= 'Z' ? ch - 'A' + 'a' : ch);
  }
  return text;
}

} // namespace

const OutputFormatRow &outputFormat(ImageFormat format) {
  for (const OutputFormatRow &row : kOutputFormats) {
    if (row.format == format) {
      return row;
    }
  }
  return kOutputFormats[0]; // every enumerator has its row
}

// "a, b or c".
static std::string listed(const std::vector<std::string> &words) {
  std::string text;
  for (size_t i = 0; i < words.size(); ++i) {
    text += (i == 0 ? "" : i + 1 == words.size() ? " or " : ", ") + words[i];
  }
  return text;
}

std::string outputExtensionsText() {
  std::vector<std::string> all;
  for (const OutputFormatRow &row : kOutputFormats) {
    for (const char *extension : row.extensions) {
      if (extension != nullptr) {
        all.emplace_back(extension);
      }
    }
  }
  return listed(all);
}

std::string formatNamesText() { return listed(outputFormatNames()); }

std::vector<std::string> outputFormatNames() {
  std::vector<std::string> names;
  for (const OutputFormatRow &row : kOutputFormats) {
    names.emplace_back(row.name);
  }
  return names;
}

bool imageFormatFor(const std::string &path, ImageFormat *format) {
  const std::string extension = lowerCase(std::filesystem::path(path).extension().string());
  for (const OutputFormatRow &row : kOutputFormats) {
    for (const char *candidate : row.extensions) {
      if (candidate != nullptr && extension == candidate) {
        *format = row.format;
        return true;
      }
    }
  }
  return false;
}

bool imageFormatNamed(const std::string &name, ImageFormat *format) {
  for (const OutputFormatRow &row : kOutputFormats) {
    if (name == row.name) {
      *format = row.format;
      return true;
    }
  }
  return false;
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
  case ImageFormat::Ded:
    break; // written by the DED writer, from GDAL's reading of the input
  }
  *error = "unknown image format";
  return false;
}

} // namespace elvhost
