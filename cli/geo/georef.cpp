#include "cli/geo/georef.h"

#include <charconv>
#include <cmath>
#include <filesystem>
#include <system_error>
#include <utility>

#include "ded/area.h"
#include "ded/header.h"

namespace elvhost {

bool affineFromControlPoints(const ControlPoint &p0, const ControlPoint &p1, const ControlPoint &p2,
                             Affine *affine, std::string *error) {
  const double du1 = p1.imageX - p0.imageX, dv1 = p1.imageY - p0.imageY;
  const double du2 = p2.imageX - p0.imageX, dv2 = p2.imageY - p0.imageY;
  const double dx1 = p1.fileX - p0.fileX, dy1 = p1.fileY - p0.fileY;
  const double dx2 = p2.fileX - p0.fileX, dy2 = p2.fileY - p0.fileY;
  Affine m;
  if (du1 == 0 && dv2 == 0 && dv1 != 0 && du2 != 0) {
    // The usual layout: one point up the first column, one along the first
    // row. Dividing once keeps each term as exact as the inputs allow.
    m.a = dx2 / du2;
    m.d = dy2 / du2;
    m.b = dx1 / dv1;
    m.e = dy1 / dv1;
  } else {
    const double det = du1 * dv2 - dv1 * du2;
    if (det == 0 || !std::isfinite(det)) {
      *error = "the control points do not span the image";
      return false;
    }
    m.a = (dx1 * dv2 - dv1 * dx2) / det;
    m.b = (du1 * dx2 - dx1 * du2) / det;
    m.d = (dy1 * dv2 - dv1 * dy2) / det;
    m.e = (du1 * dy2 - dy1 * du2) / det;
  }
  m.c = p0.fileX - m.a * p0.imageX - m.b * p0.imageY;
  m.f = p0.fileY - m.d * p0.imageX - m.e * p0.imageY;
  if (!std::isfinite(m.a) || !std::isfinite(m.b) || !std::isfinite(m.c) || !std::isfinite(m.d) ||
      !std::isfinite(m.e) || !std::isfinite(m.f)) {
    *error = "the control points do not give finite coordinates";
    return false;
  }
  *affine = m;
  return true;
}

Affine sampleAffine(const DedImageInfo &image) {
  double gt[6];
  dedGeoTransform(image, gt);
  // The host's rows run northwards from the southern edge, the grid's last
  // row; its north-west sample is the anchor.
  const DedSampleGrid grid = dedSampleGrid(image);
  Affine m;
  m.a = gt[1];
  m.c = gt[0];
  m.e = -gt[5];
  m.f = grid.north - (static_cast<double>(image.height) - 0.5) * grid.yStep;
  return m;
}

WorldFile worldFileFor(const Affine &m, int32_t height, bool northUp) {
  // Written row o is the host's row height - 1 - o (north-up) or o; a
  // pixel's centre lies half a pixel inside its outer corner.
  const double firstRowCentre = northUp ? static_cast<double>(height) - 0.5 : 0.5;
  const double rowStep = northUp ? -1.0 : 1.0;
  WorldFile w;
  w.xPerColumn = m.a;
  w.yPerColumn = m.d;
  w.xPerRow = m.b * rowStep;
  w.yPerRow = m.e * rowStep;
  w.x = m.a * 0.5 + m.b * firstRowCentre + m.c;
  w.y = m.d * 0.5 + m.e * firstRowCentre + m.f;
  return w;
}

namespace {

// The shortest decimal that reads back as the same double, without an exponent.
std::string formatFixed(double value) {
  if (value == 0) {
    return "0"; // and never "-0"
  }
  char text[400]; // holds any double in fixed form
  const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed);
  return std::string(text, result.ptr);
}

const char *const kEsriGeographic =
    R"(GEOGCS["GCS_WGS_1984",DATUM["D_WGS_1984",SPHEROID["WGS_1984",6378137.0,298.257223563]],)"
    R"(PRIMEM["Greenwich",0.0],UNIT["Degree",0.0174532925199433]])";

const char *const kOgcGeographicBody =
    R"(GEOGCS["WGS 84",DATUM["WGS_1984",SPHEROID["WGS 84",6378137,298.257223563,)"
    R"(AUTHORITY["EPSG","7030"]],AUTHORITY["EPSG","6326"]],PRIMEM["Greenwich",0,)"
    R"(AUTHORITY["EPSG","8901"]],UNIT["degree",0.0174532925199433,AUTHORITY["EPSG","9122"]])";

// text with every "{name}" in it replaced by its value.
std::string filled(std::string text,
                   std::initializer_list<std::pair<std::string, std::string>> values) {
  for (const auto &[name, value] : values) {
    for (size_t at = text.find(name); at != std::string::npos;
         at = text.find(name, at + value.size())) {
      text.replace(at, name.size(), value);
    }
  }
  return text;
}

// The same map as a world file, anchored at the top-left pixel's outer corner.
std::string geoTransformText(const WorldFile &w) {
  const double originX = w.x - 0.5 * w.xPerColumn - 0.5 * w.xPerRow;
  const double originY = w.y - 0.5 * w.yPerColumn - 0.5 * w.yPerRow;
  std::string text;
  for (double v : {originX, w.xPerColumn, w.xPerRow, originY, w.yPerColumn, w.yPerRow}) {
    text += (text.empty() ? "" : ", ") + formatShortest(v);
  }
  return text;
}

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

std::string formatShortest(double value) {
  // Plain decimals where they stay short, so 500000 is not "5e+05".
  const double magnitude = std::fabs(value);
  if (value == 0 || (magnitude >= 1e-5 && magnitude < 1e15)) {
    return formatFixed(value);
  }
  char text[64];
  const auto result = std::to_chars(text, text + sizeof text, value);
  return std::string(text, result.ptr);
}

std::string worldFileText(const WorldFile &w) {
  std::string text;
  for (double v : {w.xPerColumn, w.yPerColumn, w.xPerRow, w.yPerRow, w.x, w.y}) {
    text += formatFixed(v) + "\n";
  }
  return text;
}

bool crsFor(std::optional<int32_t> projection, std::optional<int32_t> zone,
            std::optional<int32_t> hemisphere, Crs *crs, std::string *error) {
  if (!projection) {
    *error = "the plug-in set no projection";
    return false;
  }
  if (*projection == PROJ_GEOGRAPHIC) {
    crs->epsg = kEpsgWgs84;
    crs->name = "WGS 84";
    crs->esriWkt = kEsriGeographic;
    crs->ogcWkt = std::string(kOgcGeographicBody) +
                  R"(,AXIS["Latitude",NORTH],AXIS["Longitude",EAST],AUTHORITY["EPSG","4326"]])";
    crs->latitudeFirst = true;
    return true;
  }
  if (*projection != 4) {
    *error = "unknown projection code " + std::to_string(*projection);
    return false;
  }
  if (!zone || *zone < 1 || *zone > 60) {
    *error = zone ? "UTM zone " + std::to_string(*zone) + " is not 1..60"
                  : "the plug-in set no UTM zone";
    return false;
  }
  if (!hemisphere || (*hemisphere != 0 && *hemisphere != 1)) {
    *error = "the plug-in set no UTM hemisphere (0 south, 1 north)";
    return false;
  }
  const bool north = *hemisphere == DED_HEMISPHERE_NORTH;
  crs->epsg = (north ? kEpsgUtmNorthBase : kEpsgUtmSouthBase) + *zone;
  crs->name = "WGS 84 / UTM zone " + std::to_string(*zone) + (north ? "N" : "S");
  const std::initializer_list<std::pair<std::string, std::string>> values = {
      {"{zone}", std::to_string(*zone) + (north ? "N" : "S")},
      {"{name}", crs->name},
      {"{epsg}", std::to_string(crs->epsg)},
      {"{meridian}", std::to_string(6 * *zone - 183)},
      {"{northing}", north ? "0" : "10000000"},
      {"{esriGeographic}", kEsriGeographic},
      {"{ogcGeographic}", kOgcGeographicBody}};
  crs->esriWkt = filled(
      R"(PROJCS["WGS_1984_UTM_Zone_{zone}",{esriGeographic},PROJECTION["Transverse_Mercator"],)"
      R"(PARAMETER["False_Easting",500000.0],PARAMETER["False_Northing",{northing}.0],)"
      R"(PARAMETER["Central_Meridian",{meridian}.0],PARAMETER["Scale_Factor",0.9996],)"
      R"(PARAMETER["Latitude_Of_Origin",0.0],UNIT["Meter",1.0]])",
      values);
  crs->ogcWkt = filled(
      R"(PROJCS["{name}",{ogcGeographic},AUTHORITY["EPSG","4326"]],)"
      R"(PROJECTION["Transverse_Mercator"],PARAMETER["latitude_of_origin",0],)"
      R"(PARAMETER["central_meridian",{meridian}],PARAMETER["scale_factor",0.9996],)"
      R"(PARAMETER["false_easting",500000],PARAMETER["false_northing",{northing}],)"
      R"(UNIT["metre",1,AUTHORITY["EPSG","9001"]],AXIS["Easting",EAST],AXIS["Northing",NORTH],)"
      R"(AUTHORITY["EPSG","{epsg}"]])",
      values);
  crs->latitudeFirst = false;
  return true;
}

std::string auxXmlText(const Crs &crs, const WorldFile &world, const ElevationScale *elevation) {
  // The image's columns and rows are easting and northing, longitude and
  // latitude: say so where the authority's axis order differs.
  const char *mapping = crs.latitudeFirst ? "2,1" : "1,2";
  std::string band;
  if (elevation != nullptr) {
    band = "  <PAMRasterBand band=\"1\">\n    <Offset>" + formatShortest(elevation->offset) +
           "</Offset>\n    <Scale>" + formatShortest(elevation->scale) +
           "</Scale>\n  </PAMRasterBand>\n";
  }
  return std::string("<PAMDataset>\n  <SRS dataAxisToSRSAxisMapping=\"") + mapping + "\">" +
         xmlEscaped(crs.ogcWkt) + "</SRS>\n  <GeoTransform>" + geoTransformText(world) +
         "</GeoTransform>\n" + band + "</PAMDataset>\n";
}

bool hostAffine(const GeoView &geo, Affine *affine, std::string *error) {
  for (const auto &point : geo.points) {
    if (!point) {
      *error = "the plug-in set fewer than three control points";
      return false;
    }
  }
  return affineFromControlPoints(*geo.points[0], *geo.points[1], *geo.points[2], affine, error);
}

std::string worldFilePath(const std::string &imagePath) {
  std::filesystem::path path(imagePath);
  const bool png = path.extension() == ".png" || path.extension() == ".PNG";
  return path.replace_extension(png ? ".pgw" : ".wld").string();
}

std::string prjPath(const std::string &imagePath) {
  return std::filesystem::path(imagePath).replace_extension(".prj").string();
}

std::string auxXmlPath(const std::string &imagePath) { return imagePath + ".aux.xml"; }

} // namespace elvhost
