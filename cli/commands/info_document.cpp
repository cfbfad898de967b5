#include "cli/commands/info_document.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "cli/elevation/elevation_raster.h"
#include "cli/formats/int16_image.h"
#include "cli/geo/georeference.h"
#include "cli/geo/wgs84.h"
#include "ded/cells.h"
#include "ded/gis_frame.h"
#include "ded/header.h"
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
  sampleAffine(image, facts.cells[0].header, &affine, &unmapped);
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

} // namespace

Json infoDocument(const HostSession &session, const FileFacts &facts, const Losses &losses,
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

} // namespace elvhost
