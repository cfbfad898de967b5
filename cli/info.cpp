// elvarin-host info: what the host learns about a DED file from the plug-in,
// as one JSON document that --json prints and the text report is read from.
#include <cmath>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <optional>

#include "cli/commands.h"
#include "cli/errors.h"
#include "cli/georef.h"
#include "cli/host_session.h"
#include "host/attributes.h"

namespace elvhost {

namespace {

using Json = nlohmann::ordered_json;

// Whole numbers without a ".0" (500000, as the plug-in set it); non-finite
// ones come out as null.
Json number(double value) {
  const bool whole = value == std::trunc(value) && std::fabs(value) < 1e15;
  return whole ? Json(static_cast<int64_t>(value)) : Json(value);
}
Json orNull(std::optional<int32_t> value) { return value ? Json(*value) : Json(); }
Json orNull(std::optional<double> value) { return value ? number(*value) : Json(); }

Json report(const HostSession &session, const InfoOptions &options) {
  const qvstandin::LoadedPlugin &plugin = session.plugin();
  const TextureView &t = session.texture();
  const GeoView &g = session.geo();
  Json callbacks = Json::object(), points = Json::array(), crs, pixelSize, bounds;
  for (const Step step : {Step::Open, Step::GetInfo, Step::GeoInfo, Step::Close}) {
    callbacks[stepName(step)] = orNull(session.status(step));
  }
  for (const auto &p : g.points) {
    points.push_back(p ? Json{{"image", {number(p->imageX), number(p->imageY)}},
                              {"file", {number(p->fileX), number(p->fileY)}}}
                       : Json());
  }
  // Where the image lies, when the plug-in said enough to tell.
  const bool placed = session.status(Step::GeoInfo) == 0 && t.width && t.height;
  std::string ignored;
  GeoSummary s;
  if (placed && summarizeGeo(g, *t.width, *t.height, &s, &ignored)) {
    pixelSize = {number(s.pixelWidth), number(s.pixelHeight)};
    bounds = {{"west", number(s.west)},
              {"south", number(s.south)},
              {"east", number(s.east)},
              {"north", number(s.north)}};
  }
  Crs c;
  if (placed && crsFor(g.projection, g.utmZone, g.utmHemisphere, &c, &ignored)) {
    crs = {{"epsg", c.epsg}, {"name", c.name}};
  }
  return {{"file", options.file},
          {"ok", session.failure().empty()},
          {"plugin",
           {{"path", options.plugin},
            {"vendor", plugin.vendor},
            {"id", plugin.idString},
            {"uuid", plugin.uuidString},
            {"version", plugin.version},
            {"init", plugin.initResult}}},
          {"callbacks", callbacks},
          {"width", orNull(t.width)},
          {"height", orNull(t.height)},
          {"texture",
           {{"type", orNull(t.type)},
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
            {"controlPointCount", orNull(g.controlPointCount)},
            {"controlPoints", points}}},
          {"crs", crs},
          {"pixelSize", pixelSize},
          {"bounds", bounds}};
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

std::string projectionText(const Json &geo, const Json &crs) {
  const Json &projection = geo["projection"], &hemisphere = geo["utmHemisphere"];
  std::string text = shown(projection);
  if (projection == PROJ_GEOGRAPHIC) {
    text += " (geographic)";
  } else if (projection == PROJ_UTM) {
    text += " (UTM), zone " + shown(geo["utmZone"]) + ", hemisphere " + shown(hemisphere) +
            (hemisphere == QV_HEMISPHERE_NORTH   ? " (north)"
             : hemisphere == QV_HEMISPHERE_SOUTH ? " (south)"
                                                 : "");
  }
  if (!crs.is_null()) {
    text += "\n                " + shown(crs["name"]) + " (EPSG:" + shown(crs["epsg"]) + ")";
  }
  return text;
}

std::string textReport(const Json &doc) {
  std::string text;
  const auto line = [&text](const char *label, const std::string &value) {
    char padded[32];
    (void)std::snprintf(padded, sizeof padded, "%-16s", label);
    text += padded + value + "\n";
  };
  const Json &plugin = doc["plugin"], &t = doc["texture"], &g = doc["geo"];
  line("file", shown(doc["file"]));
  line("plug-in", shown(plugin["id"]) + " " + shown(plugin["version"]) + " (" +
                      shown(plugin["vendor"]) + "), " + shown(plugin["uuid"]));
  line("size", shown(doc["width"]) + " x " + shown(doc["height"]) + " pixels");
  line("texture", "type " + shown(t["type"]) + ", sample size " + shown(t["sampleSize"]) +
                      ", min " + shown(t["min"]) + ", max " + shown(t["max"]) + ", transparent " +
                      shown(t["transparentValue"]) + ", tiled " + shown(t["tiled"]) + ", signed " +
                      shown(t["signed"]));
  line("geo", "type " + shown(g["type"]) + ", image origin " + shown(g["imageOrigin"]) +
                  ", earth model " + shown(g["earthModel"]) + ", control points " +
                  shown(g["controlPointCount"]));
  line("projection", projectionText(g, doc["crs"]));
  for (size_t i = 0; i < kControlPoints; ++i) {
    const Json &p = g["controlPoints"][i];
    const auto at = [&p](const char *place, size_t axis) {
      return p.is_null() ? "-" : shown(p[place][axis]);
    };
    line(i == 0 ? "control points" : "", std::to_string(i) + ": image (" + at("image", 0) + ", " +
                                             at("image", 1) + ") -> file (" + at("file", 0) + ", " +
                                             at("file", 1) + ")");
  }
  const Json &size = doc["pixelSize"], &b = doc["bounds"];
  line("pixel size", size.is_null() ? "-" : shown(size[0]) + " x " + shown(size[1]));
  line("bounds", b.is_null() ? "-"
                             : "west " + shown(b["west"]) + ", south " + shown(b["south"]) +
                                   ", east " + shown(b["east"]) + ", north " + shown(b["north"]));
  std::string codes;
  for (const auto &[step, status] : doc["callbacks"].items()) {
    codes += (codes.empty() ? "" : ", ") + step + " " +
             (status.is_null() ? std::string("not called") : shown(status));
  }
  line("callbacks", codes);
  return text;
}

} // namespace

int runInfo(const InfoOptions &options) {
  HostSession session;
  std::string error;
  if (!session.load(options.plugin, &error)) {
    reportFailure(error);
    return kExitFailure;
  }
  session.describe(options.file);
  session.close();
  const Json doc = report(session, options);
  // Names are bytes on this system; one that is not UTF-8 must not stop the
  // report, so in JSON such bytes become U+FFFD.
  const std::string text = options.json
                               ? doc.dump(2, ' ', false, Json::error_handler_t::replace) + "\n"
                               : textReport(doc);
  (void)std::fputs(text.c_str(), stdout);
  (void)std::fflush(stdout);
  const std::string failure = session.failure();
  if (!failure.empty()) {
    reportFailure(failure);
    return kExitFailure;
  }
  return kExitOk;
}

} // namespace elvhost
