#include "cli/formats/side_files.h"

#include <filesystem>

#include "cli/formats/decimal.h"
#include "cli/formats/image_output.h"

namespace elvhost {

namespace {

std::string xmlEscaped(const std::string &text) {
  std::string out;
  for (const char ch : text) {
    const char *entity = ch == '"'   ? "&quot;"
                         : ch == '&' ? "&amp;"
                         : ch == '<' ? "&lt;"
                         : ch == '>' ? "&gt;"
                                     : nullptr;
    out += entity != nullptr ? std::string(entity) : std::string(1, ch);
  }
  return out;
}

} // namespace

std::string worldFilePath(const std::string &imagePath) {
  // The extension that makes the image a PNG (in any letter case) also
  // names its world file.
  ImageFormat format = ImageFormat::Tiff;
  const bool png = imageFormatFor(imagePath, &format) && format == ImageFormat::Png;
  return std::filesystem::path(imagePath).replace_extension(png ? ".pgw" : ".wld").string();
}

std::vector<NamedOutput> convertOutputs(const std::string &imagePath, ImageFormat format) {
  if (!outputFormat(format).sideFiles) {
    return {{imagePath, "the output"}};
  }
  return {{imagePath, "the image"},
          {worldFilePath(imagePath), "the world file"},
          {prjPath(imagePath), "the .prj file"},
          {auxXmlPath(imagePath), "the .aux.xml file"}};
}

std::string prjPath(const std::string &imagePath) {
  return std::filesystem::path(imagePath).replace_extension(".prj").string();
}

std::string auxXmlPath(const std::string &imagePath) { return imagePath + ".aux.xml"; }

std::string worldFileText(const WorldFile &w) {
  std::string text;
  for (double v : {w.xPerColumn, w.yPerColumn, w.xPerRow, w.yPerRow, w.x, w.y}) {
    text += formatFixed(v) + "\n";
  }
  return text;
}

std::string auxXmlText(const Georeference &geo) {
  // The image's columns and rows are easting and northing, longitude and
  // latitude: say so where the authority's axis order differs.
  const char *mapping = geo.crs->latitudeFirst ? "2,1" : "1,2";
  std::string transform;
  for (const double v : geo.transform) {
    transform += (transform.empty() ? "" : ", ") + formatShortest(v);
  }
  std::string band;
  if (geo.elevation) {
    band = "  <PAMRasterBand band=\"1\">\n    <Offset>" + formatShortest(geo.elevation->offset) +
           "</Offset>\n    <Scale>" + formatShortest(geo.elevation->scale) +
           "</Scale>\n  </PAMRasterBand>\n";
  }
  if (geo.unmapped.empty()) {
    transform = "  <GeoTransform>" + transform + "</GeoTransform>\n";
  }
  return std::string("<PAMDataset>\n  <SRS dataAxisToSRSAxisMapping=\"") + mapping + "\">" +
         xmlEscaped(geo.crs->ogcWkt) + "</SRS>\n" + (geo.unmapped.empty() ? transform : "") + band +
         "</PAMDataset>\n";
}

std::vector<SideFile> sideFilesFor(const std::string &imagePath, const Georeference &geo) {
  std::vector<SideFile> files;
  if (geo.unmapped.empty()) {
    files.push_back({worldFilePath(imagePath), worldFileText(geo.world)});
  }
  if (geo.crs) {
    files.push_back({prjPath(imagePath), geo.crs->esriWkt + "\n"});
    files.push_back({auxXmlPath(imagePath), auxXmlText(geo)});
  }
  return files;
}

} // namespace elvhost
