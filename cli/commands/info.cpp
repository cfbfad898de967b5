// elvarin-host info: a DED file as a GIS user looks at it, from the file's
// own headers, in the layout of gdalinfo; and what the plug-in tells the
// host. One JSON document, which --json prints and the text is read from.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "cli/commands/commands.h"
#include "cli/commands/empty_image.h"
#include "cli/commands/errors.h"
#include "cli/elevation/cell_block.h"
#include "cli/elevation/elevation_raster.h"
#include "cli/elevation/losses.h"
#include "cli/formats/decimal.h"
#include "cli/geo/georeference.h"
#include "cli/geo/wgs84.h"
#include "cli/host/host_session.h"
#include "cli/input/file_facts.h"
#include "cli/input/one_file_checks.h"
#include "cli/input/pinned_file.h"
#include "cli/input/pinned_input.h"
#include "ded/cells.h"
#include "ded/gis_frame.h"
#include "ded/header.h"
#include "ded/records.h"
#include "host/attributes.h"

namespace elvhost {

namespace {

// The version of docs/info.schema.json the report follows.
constexpr int kInfoSchemaVersion = 2;

using Json = nlohmann::ordered_json;

constexpr double kArcSecondsPerDegree = 3600.0;

// Whole numbers without a ".0" (500000, as the plug-in set it).
Json number(double value) {
  const bool whole = value == std::trunc(value) && std::fabs(value) < 1e15;
  return whole ? Json(static_cast<int64_t>(value)) : Json(value);
}
Json orNull(std::optional<int32_t> value) { return value ? Json(*value) : Json(); }
Json orNull(std::optional<double> value) { return value ? number(*value) : Json(); }
Json pair(double x, double y) { return {number(x), number(y)}; }

Json numbers(const GeoTransform &values) {
  Json out = Json::array();
  for (const double v : values) {
    out.push_back(number(v));
  }
  return out;
}

// The map's corners and centre in file coordinates, by gdalinfo's names;
// ring receives them in that order with the centre's place closing the ring.
Json cornerCoordinates(const GeoTransform &gt, double w, double h,
                       std::vector<std::pair<double, double>> *ring) {
  const std::pair<const char *, std::pair<double, double>> corners[] = {{"upperLeft", {0, 0}},
                                                                        {"lowerLeft", {0, h}},
                                                                        {"lowerRight", {w, h}},
                                                                        {"upperRight", {w, 0}},
                                                                        {"center", {w / 2, h / 2}}};
  Json cornerJson = Json::object();
  for (const auto &[name, at] : corners) {
    const double x = gt[0] + at.first * gt[1] + at.second * gt[2];
    const double y = gt[3] + at.first * gt[4] + at.second * gt[5];
    cornerJson[name] = pair(x, y);
    ring->emplace_back(x, y);
  }
  ring->back() = ring->front(); // the centre's place closes the ring
  return cornerJson;
}

// The ring as a WGS 84 polygon; null, with the reason under notComputed,
// when there is no coordinate system or PROJ cannot transform it.
Json wgs84Extent(const Georeference &geo, std::vector<std::pair<double, double>> ring,
                 Json *notComputed) {
  std::string why = "no coordinate system";
  if (geo.crs && (geo.crs->geographic || toLonLat(geo.crs->epsg, &ring, &why))) {
    Json points = Json::array();
    for (const auto &[x, y] : ring) {
      points.push_back(pair(x, y));
    }
    return {{"type", "Polygon"}, {"coordinates", {points}}};
  }
  (*notComputed)["wgs84Extent"] = why;
  return {};
}

// The first cell's spacing in the file's unit, and in metres or in degrees
// and arc-seconds.
Json sampleSpacing(const DedImageInfo &image, bool utm) {
  const double units = dedSpacingUnits(image.projection);
  const double sx = image.xSpacing, sy = image.ySpacing;
  Json spacing = {{"file", pair(sx, sy)}, {"fileUnit", dedSpacingUnitName(image.projection)}};
  if (utm) {
    spacing["metres"] = pair(sx, sy);
  } else {
    spacing["degrees"] = pair(sx / units, sy / units);
    spacing["arcSeconds"] =
        pair(sx / units * kArcSecondsPerDegree, sy / units * kArcSecondsPerDegree);
  }
  return spacing;
}

Json cellsView(const FileFacts &facts) {
  Json cells = Json::array();
  const size_t listed = std::min(facts.cells.size(), static_cast<size_t>(DED_GIS_LISTED_CELLS));
  for (size_t i = 0; i < listed; ++i) {
    const CellFacts &cell = facts.cells[i];
    const DedCellHeader &c = cell.header;
    cells.push_back({{"west", number(c.xMin)},
                     {"south", number(c.yMin)},
                     {"east", number(c.xMax)},
                     {"north", number(c.yMax)},
                     {"spacing", pair(c.xSpacing, c.ySpacing)},
                     {"columns", number(c.columnCount)},
                     {"rows", number(c.rowCount)},
                     {"offset", cell.offset},
                     {"bytes", cell.bytes},
                     {"missingSamples", cell.missing}});
  }
  return cells;
}

// The coordinate system as gdalinfo shows it, with its description in words;
// null when there is none.
Json coordinateSystemView(const Georeference &geo, const DedImageInfo &image) {
  if (!geo.crs) {
    return {};
  }
  const bool utm = image.projection == PROJ_UTM;
  const std::string hemisphere = image.utmHemisphere == DED_HEMISPHERE_NORTH ? "north" : "south";
  return {{"wkt", geo.crs->ogcWkt},
          {"dataAxisToSRSAxisMapping", geo.crs->latitudeFirst ? Json{2, 1} : Json{1, 2}},
          {"epsg", geo.crs->epsg},
          {"name", geo.crs->name},
          {"description", utm ? "UTM zone " + std::to_string(image.utmZone) + " " + hemisphere
                              : std::string("geographic WGS 84")}};
}

// The grey band, the elevations its levels stand for (low .. high, metres),
// and the elevation section.
Json bandsView(const ElevationScale &scale, double low, double high) {
  return {{{"band", 1},
           {"type", "Byte"},
           {"colorInterpretation", "Gray"},
           {"minimum", number(QV_GREY_LOW)},
           {"maximum", number(QV_GREY_HIGH)},
           {"offset", number(scale.offset)},
           {"scale", number(scale.scale)},
           {"elevationMinimum", number(low)},
           {"elevationMaximum", number(high)},
           {"unit", "m"}}};
}

Json lossesView(const FileFacts &facts, const Losses &losses) {
  return {
      {"cellsNotShown", losses.cellsNotShown},    {"cellsClipped", losses.cellsClipped},
      {"uncoveredPositions", losses.uncovered},   {"samplesBelowRange", losses.samplesBelow},
      {"samplesAboveRange", losses.samplesAbove}, {"voidSamples", losses.voids},
      {"missingSamples", losses.missing},         {"greyOverVoids", greyOverVoids(facts, losses)}};
}

// An image of width x height pixels placed by geo, under gdalinfo's names:
// size, geoTransform, cornerCoordinates, wgs84Extent. Where unmapped says
// why nothing places it, the last three are null with that reason under
// notComputed.
Json placedImage(const Georeference &geo, int32_t width, int32_t height,
                 const std::string &unmapped, Json *notComputed) {
  Json view = {{"size", {width, height}},
               {"geoTransform", nullptr},
               {"cornerCoordinates", nullptr},
               {"wgs84Extent", nullptr}};
  if (!unmapped.empty()) {
    for (const char *key : {"geoTransform", "cornerCoordinates", "wgs84Extent"}) {
      (*notComputed)[key] = unmapped;
    }
    return view;
  }
  std::vector<std::pair<double, double>> ring;
  view["geoTransform"] = numbers(geo.transform);
  view["cornerCoordinates"] = cornerCoordinates(geo.transform, width, height, &ring);
  view["wgs84Extent"] = wgs84Extent(geo, std::move(ring), notComputed);
  return view;
}

// The file as gdalinfo shows it through the GDAL driver (the GIS frame, one
// Int16 band), the plug-in's grey image as convert writes it under
// greyImage, then the elevations, spacing and cells. A value that cannot be
// computed (a UTM position PROJ cannot transform, a frame the driver
// refuses) is null, with the reason under "notComputed" by its key.
Json fileView(const FileFacts &facts, const Losses &losses) {
  const DedImageInfo &image = facts.image;
  const bool utm = image.projection == PROJ_UTM;
  const double low = facts.statistics.minElevation, high = facts.statistics.maxElevation;
  const CrsCodes codes{image.projection, image.utmZone, image.utmHemisphere};
  Affine affine;
  std::string unmapped;
  (void)sampleAffine(image, facts.cells[0].header, &affine, &unmapped);
  const Georeference geo = georeferenceFor(worldFileFor(affine, image.height, true), codes,
                                           elevationScaleFor(low, high));
  Json greyNotComputed = Json::object();
  Json grey = placedImage(geo, image.width, image.height, unmapped, &greyNotComputed);
  grey["bands"] = bandsView(*geo.elevation, low, high);
  if (!greyNotComputed.empty()) {
    grey["notComputed"] = greyNotComputed;
  }
  DedGisFrame frame;
  std::string refused;
  const bool framed = elevationFrame(facts, false, &frame, &refused);
  const Georeference gis =
      georeferenceFor(worldFileFor(frameAffine(frame), frame.height, true), codes, std::nullopt);
  Json notComputed = Json::object();
  if (!geo.crs) {
    notComputed["coordinateSystem"] = geo.crsProblem;
  }
  Json place = placedImage(gis, frame.width, frame.height, refused, &notComputed);
  if (!framed) {
    place["size"] = nullptr;
    notComputed["size"] = refused;
  }
  Json view = {{"size", place["size"]},
               {"coordinateSystem", coordinateSystemView(geo, image)},
               {"geoTransform", place["geoTransform"]},
               {"cornerCoordinates", place["cornerCoordinates"]},
               {"wgs84Extent", place["wgs84Extent"]},
               {"bands",
                {{{"band", 1},
                  {"type", "Int16"},
                  {"description", "Elevation"},
                  {"noDataValue", kInt16NoData},
                  {"unit", "m"}}}},
               {"greyImage", grey},
               {"elevation",
                {{"minimum", number(low)},
                 {"maximum", number(high)},
                 {"unit", "m"},
                 {"metresPerGreyLevel", number(geo.elevation->scale)}}},
               {"sampleSpacing", sampleSpacing(image, utm)},
               {"missingSamples", facts.missingSamples()},
               {"losses", lossesView(facts, losses)},
               {"cells", cellsView(facts)}};
  // Only the first cells are listed one by one: a report's size follows the
  // cells' 40 bytes each, not a line or an object of each.
  if (facts.cells.size() > static_cast<size_t>(DED_GIS_LISTED_CELLS)) {
    view["cellsNotListed"] = facts.cells.size() - static_cast<size_t>(DED_GIS_LISTED_CELLS);
  }
  if (!notComputed.empty()) {
    view["notComputed"] = notComputed;
  }
  return view;
}

// What the plug-in told the host, as the host's setters received it.
Json hostView(const HostSession &session) {
  const TextureView &t = session.texture();
  const GeoView &g = session.geo();
  Json callbacks = Json::object(), points = Json::array(), transform;
  for (const Step step : {Step::Open, Step::GetInfo, Step::GeoInfo, Step::Close}) {
    callbacks[stepName(step)] = orNull(session.status(step));
  }
  for (const auto &p : g.points) {
    points.push_back(
        p ? Json{{"image", pair(p->imageX, p->imageY)}, {"world", pair(p->fileX, p->fileY)}}
          : Json());
  }
  Affine affine;
  std::string ignored;
  if (t.height && hostAffine(g, &affine, &ignored)) {
    transform = numbers(geoTransformFor(worldFileFor(affine, *t.height, true)));
  }
  return {{"texture",
           {{"width", orNull(t.width)},
            {"height", orNull(t.height)},
            {"type", orNull(t.type)},
            {"sampleSize", orNull(t.sampleSize)},
            {"min", orNull(t.min)},
            {"max", orNull(t.max)},
            {"transparentValue", orNull(t.transparentValue)},
            {"tiled", orNull(t.tiled)},
            {"signed", orNull(t.signedFlag)}}},
          {"geo",
           {{"type", orNull(g.geoType)},
            {"imageOrigin", orNull(g.imageOrigin)},
            {"projection", orNull(g.projection)},
            {"earthModel", orNull(g.earthModel)},
            {"utmZone", orNull(g.utmZone)},
            {"utmHemisphere", orNull(g.utmHemisphere)},
            {"controlPointCount", orNull(g.controlPointCount)}}},
          {"controlPoints", points},
          {"geoTransform", transform},
          {"callbacks", callbacks}};
}

Json report(const HostSession &session, const FileFacts &facts, const Losses &losses,
            const InfoOptions &options) {
  Json doc = {{"schemaVersion", kInfoSchemaVersion}, {"file", options.file}};
  doc.update(fileView(facts, losses));
  const qvstandin::LoadedPlugin &plugin = session.plugin();
  doc["plugin"] = {{"path", options.plugin},    {"vendor", plugin.vendor},
                   {"id", plugin.idString},     {"uuid", plugin.uuidString},
                   {"version", plugin.version}, {"init", plugin.initResult}};
  doc["host"] = hostView(session);
  return doc;
}

// A value as the text report shows it: "-" for one never set.
std::string shown(const Json &value) {
  if (value.is_null()) {
    return "-";
  }
  return value.is_string()         ? value.get<std::string>()
         : value.is_number_float() ? formatShortest(value.get<double>())
                                   : value.dump();
}

std::string shownList(const Json &values, const char *separator = ", ") {
  std::string text;
  for (const Json &value : values) {
    text += (text.empty() ? "" : separator) + shown(value);
  }
  return text.empty() ? "-" : text;
}

// Built piece by piece: GCC 12 misreads chained concatenation from a
// literal as an overlapping copy (-Wrestrict).
std::string shownPair(const Json &values) {
  std::string text(1, '(');
  text.append(shownList(values));
  text.push_back(')');
  return text;
}

// Whether text is UTF-8, as the JSON library judges it.
bool isUtf8(const std::string &text) {
  std::string quoted(1, '"');
  quoted.append(text);
  quoted.push_back('"');
  return Json::accept(quoted);
}

// text as a JSON string: UTF-8 kept, a byte that is not part of valid UTF-8
// written as the lone surrogate \udcXX (XX the byte), the escape of bytes in
// names that Python's "surrogateescape" also uses, so the name round-trips.
std::string jsonString(const std::string &text) {
  std::string out = "\"";
  const auto hex = [&out](unsigned value) {
    char code[8];
    (void)std::snprintf(code, sizeof code, "\\u%04x", value);
    out += code;
  };
  for (size_t i = 0; i < text.size();) {
    const auto byte = static_cast<unsigned char>(text[i]);
    const size_t length = byte < 0x80         ? 1
                          : (byte >> 5) == 6  ? 2
                          : (byte >> 4) == 14 ? 3
                          : (byte >> 3) == 30 ? 4
                                              : 0;
    bool valid = length > 0 && i + length <= text.size();
    for (size_t k = 1; valid && k < length; ++k) {
      valid = (static_cast<unsigned char>(text[i + k]) >> 6) == 2;
    }
    if (valid && length > 1) {
      // Overlong forms and surrogates are not UTF-8 either.
      valid = isUtf8(text.substr(i, length));
    }
    if (!valid) {
      hex(0xdc00u + byte);
      ++i;
    } else if (byte == '"' || byte == '\\') {
      out += '\\';
      out += text[i++];
    } else if (byte < 0x20) {
      hex(byte);
      ++i;
    } else {
      out += text.substr(i, length);
      i += length;
    }
  }
  return out + '"';
}

// The document as JSON text for any file name: strings that are not UTF-8
// stand in the dump as "\u0000N" (no name or message holds a NUL), then are
// replaced by their escaped text.
std::string jsonText(Json doc) {
  std::vector<std::string> odd;
  std::function<void(Json &)> mark = [&](Json &value) {
    if (value.is_structured()) {
      for (Json &child : value) {
        mark(child);
      }
    } else if (value.is_string() && !isUtf8(value.get<std::string>())) {
      odd.push_back(value.get<std::string>());
      value = std::string(1, '\0') + std::to_string(odd.size() - 1);
    }
  };
  mark(doc);
  std::string text = doc.dump(2);
  for (size_t i = 0; i < odd.size(); ++i) {
    const std::string placeholder = "\"\\u0000" + std::to_string(i) + "\"";
    text.replace(text.find(placeholder), placeholder.size(), jsonString(odd[i]));
  }
  return text + "\n";
}

// What a code the plug-in set means, in words, after the code itself.
std::string meaning(const Json &code,
                    std::initializer_list<std::pair<int32_t, const char *>> words) {
  for (const auto &[value, word] : words) {
    if (code == value) {
      return shown(code) + " (" + word + ")";
    }
  }
  return shown(code);
}

// The text report's lines: a label padded to its column, then the value.
struct ReportLines {
  std::string text;
  void add(const char *label, const std::string &value) {
    char padded[32];
    (void)std::snprintf(padded, sizeof padded, "%-18s", label);
    text += padded + value + "\n";
  }
};

// A value that could not be computed, and why.
std::string notComputed(const Json &doc, const char *key) {
  return "not computed (" + shown(doc["notComputed"][key]) + ")";
}

// The file, its size, coordinate system, elevations, spacing and
// geotransform.
void summaryLines(const Json &doc, ReportLines *out) {
  const Json &crs = doc["coordinateSystem"], &e = doc["elevation"], &sp = doc["sampleSpacing"];
  const size_t cells = doc["cells"].size() + doc.value("cellsNotListed", size_t{0});
  out->add("file", shownName(shown(doc["file"])));
  out->add("size", (doc["size"].is_null() ? notComputed(doc, "size")
                                          : shownList(doc["size"], " x ") + " pixels") +
                       ", " + std::to_string(cells) + (cells == 1 ? " cell" : " cells"));
  out->add("coordinates", crs.is_null() ? notComputed(doc, "coordinateSystem")
                                        : shown(crs["description"]) + " (EPSG:" +
                                              shown(crs["epsg"]) + ", " + shown(crs["name"]) + ")");
  out->add("elevation", shown(e["minimum"]) + " .. " + shown(e["maximum"]) + " m: grey 0 is " +
                            shown(e["minimum"]) + " m, 255 is " + shown(e["maximum"]) + " m, " +
                            shown(e["metresPerGreyLevel"]) + " m per grey level");
  const bool degrees = sp.contains("degrees");
  out->add("spacing", shownList(sp["file"], " x ") + " " + shown(sp["fileUnit"]) +
                          (degrees ? " = " + shownList(sp["degrees"], " x ") + " degree = " +
                                         shownList(sp["arcSeconds"], " x ") + " arc-seconds"
                                   : ""));
  out->add("geotransform", doc["geoTransform"].is_null() ? notComputed(doc, "geoTransform")
                                                         : shownList(doc["geoTransform"]));
  const Json &grey = doc["greyImage"];
  out->add("grey image", shownList(grey["size"], " x ") + " pixels, geotransform " +
                             (grey["geoTransform"].is_null() ? notComputed(grey, "geoTransform")
                                                             : shownList(grey["geoTransform"])));
}

// The corners, the WGS 84 extent and the coordinate system's WKT.
void placeLines(const Json &doc, ReportLines *out) {
  const Json &crs = doc["coordinateSystem"];
  const std::pair<const char *, const char *> corners[] = {{"upper left", "upperLeft"},
                                                           {"lower left", "lowerLeft"},
                                                           {"upper right", "upperRight"},
                                                           {"lower right", "lowerRight"},
                                                           {"center", "center"}};
  for (const auto &[label, key] : corners) {
    if (doc["cornerCoordinates"].is_null()) {
      out->add("corners", notComputed(doc, "cornerCoordinates"));
      break;
    }
    out->add(key == corners[0].second ? "corners" : "",
             std::string(label) + std::string(12 - std::string(label).size(), ' ') +
                 shownPair(doc["cornerCoordinates"][key]));
  }
  const Json &extent = doc["wgs84Extent"];
  std::string ring;
  for (const Json &point : extent.is_null() ? Json::array() : extent["coordinates"][0]) {
    ring += (ring.empty() ? "" : ", ") + shownPair(point);
  }
  out->add("WGS 84 extent", extent.is_null() ? notComputed(doc, "wgs84Extent") : ring);
  out->add("WKT", crs.is_null() ? notComputed(doc, "coordinateSystem") : shown(crs["wkt"]));
}

// The samples missing, what the grey image loses, and the cells.
void sampleLines(const Json &doc, ReportLines *out) {
  if (doc["missingSamples"] != 0) {
    out->add("samples", shown(doc["missingSamples"]) +
                            " missing: the file ends early; they show as elevation 0");
  }
  const Json &lost = doc["losses"];
  out->add(
      "grey losses",
      "cells: " + shown(lost["cellsNotShown"]) + " not shown, " + shown(lost["cellsClipped"]) +
          " clipped; " + shown(lost["uncoveredPositions"]) + " positions in no cell; samples: " +
          shown(lost["samplesBelowRange"]) + " below and " + shown(lost["samplesAboveRange"]) +
          " above the elevations, " + shown(lost["voidSamples"]) + " voids (" +
          std::to_string(DED_VOID) + "), " + shown(lost["missingSamples"]) + " missing" +
          (lost["greyOverVoids"] == true ? "; the grey levels spread over the void marker" : ""));
  out->add("cells", "west, south, east, north; spacing; columns x rows; at byte, bytes");
  const Json &cells = doc["cells"];
  for (size_t i = 0; i < cells.size(); ++i) {
    const Json &c = cells[i];
    out->add(("  " + std::to_string(i + 1)).c_str(),
             shown(c["west"]) + ", " + shown(c["south"]) + ", " + shown(c["east"]) + ", " +
                 shown(c["north"]) + "; " + shownList(c["spacing"], " x ") + "; " +
                 shown(c["columns"]) + " x " + shown(c["rows"]) + "; " + shown(c["offset"]) + ", " +
                 shown(c["bytes"]) +
                 (c["missingSamples"] != 0 ? "; " + shown(c["missingSamples"]) + " missing" : ""));
  }
  if (doc.contains("cellsNotListed")) {
    out->add("", "and " + shown(doc["cellsNotListed"]) + " more cells, not listed");
  }
}

// What the plug-in tells the host: its texture attributes and geo-reference.
void pluginLines(const Json &doc, ReportLines *out) {
  const Json &p = doc["plugin"], &t = doc["host"]["texture"], &g = doc["host"]["geo"];
  out->text += "\nwhat the plug-in tells the host (" + shown(p["id"]) + " " + shown(p["version"]) +
               ", " + shown(p["vendor"]) + ", " + shownName(shown(p["path"])) + ")\n";
  out->add("  size", shown(t["width"]) + " x " + shown(t["height"]));
  out->add("  texture", meaning(t["type"], {{QV_TEXTURE_TYPE, "grey"}}) + ", " +
                            meaning(t["sampleSize"], {{QV_SAMPLE_SIZE, "bits a sample"}}) +
                            ", grey " + shown(t["min"]) + ".." + shown(t["max"]) +
                            ", transparent " + shown(t["transparentValue"]) + ", " +
                            meaning(t["tiled"], {{0, "not tiled"}, {1, "tiled"}}) + ", " +
                            meaning(t["signed"], {{0, "unsigned"}, {1, "signed"}}));
  out->add("  geo-reference",
           meaning(g["type"], {{QV_GEO_TYPE, "control points"}}) + ", origin " +
               meaning(g["imageOrigin"], {{QV_GEO_IMAGE_ORIGIN, "first row south"}}) +
               ", earth model " + shown(g["earthModel"]));
  out->add("  projection",
           meaning(g["projection"], {{PROJ_GEOGRAPHIC, "geographic"}, {PROJ_UTM, "UTM"}}) +
               (g["projection"] == PROJ_UTM
                    ? ", zone " + shown(g["utmZone"]) + ", " +
                          meaning(g["utmHemisphere"], {{DED_HEMISPHERE_NORTH, "north"},
                                                       {DED_HEMISPHERE_SOUTH, "south"}})
                    : ""));
}

// The control points the plug-in gave, the host's reading of them where it
// differs from the file's, and each callback's status.
void hostReadingLines(const Json &doc, ReportLines *out) {
  const Json &host = doc["host"];
  for (size_t i = 0; i < host["controlPoints"].size(); ++i) {
    const Json &cp = host["controlPoints"][i];
    out->add(i == 0 ? "  control points" : "",
             cp.is_null()
                 ? "-"
                 : "image " + shownPair(cp["image"]) + " -> world " + shownPair(cp["world"]));
  }
  if (host["geoTransform"] != doc["greyImage"]["geoTransform"]) {
    out->add("  its reading", shownList(host["geoTransform"]) + " (convert --georef host)");
  }
  std::string codes;
  for (const auto &[step, status] : host["callbacks"].items()) {
    codes += (codes.empty() ? "" : ", ") + step + " " +
             (status.is_null() ? std::string("not called") : shown(status));
  }
  out->add("  callbacks", codes);
}

std::string textReport(const Json &doc) {
  ReportLines out;
  summaryLines(doc, &out);
  placeLines(doc, &out);
  sampleLines(doc, &out);
  pluginLines(doc, &out);
  hostReadingLines(doc, &out);
  return out.text;
}

} // namespace

int runInfo(const InfoOptions &options) {
  HostSession session;
  std::string error;
  if (!session.load(options.plugin, &error)) {
    reportFailure(error);
    return kExitFailure;
  }
  const PinnedFile pin(options.file);
  const FileFacts facts = readFileFacts(pin);
  const bool described = session.describe(options.file, pin.name());
  session.close();
  std::string failure = session.failure(facts.problem);
  Losses losses;
  if (described && failure.empty()) {
    const PinnedInput reader(pin);
    losses = countLosses(reader.input(), facts, true);
    if (losses.readError != 0) {
      failure = options.file + ": " + sampleReadFailure(losses.readError, losses.readErrorAt);
    }
  }
  if (described && failure.empty()) {
    failure = emptyImageFailure(options.file, facts, session);
  }
  if (const std::string why = described ? oneFileProblem(pin, facts, session) : "";
      failure.empty() && !why.empty()) {
    failure = changedFailure(options.file, why);
  }
  if (!failure.empty()) {
    if (options.json) {
      // The plug-in's status where a callback failed; else the host's own
      // finding failed the file, and the code is the exit status.
      int32_t code = 0;
      for (const Step step : {Step::Open, Step::GetInfo, Step::GeoInfo, Step::Close}) {
        code = code != 0 ? code : session.status(step).value_or(0);
      }
      code = code != 0 ? code : kExitFailure;
      printOut(
          jsonText({{"file", options.file}, {"error", {{"code", code}, {"message", failure}}}}));
    }
    reportFailure(failure);
    return kExitFailure;
  }
  const Json doc = report(session, facts, losses, options);
  const std::string text = options.json ? jsonText(doc) : textReport(doc);
  printOut(text);
  return kExitOk; // main flushes and checks standard output
}

} // namespace elvhost
