// elvarin-host info: what the host learns about a DED file from the plug-in.
#include <cmath>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <optional>
#include <type_traits>

#include "cli/commands.h"
#include "cli/errors.h"
#include "cli/georef.h"
#include "cli/host_session.h"

namespace elvhost {

namespace {

using Json = nlohmann::ordered_json;

struct Derived {
  std::optional<GeoSummary> geo;
  std::optional<Crs> crs;
};

Derived derive(const HostSession &session) {
  Derived derived;
  const TextureView &t = session.texture();
  const GeoView &g = session.geo();
  if (session.status(Step::GeoInfo) != 0 || !t.width || !t.height) {
    return derived;
  }
  std::string ignored;
  GeoSummary summary;
  if (summarizeGeo(g, *t.width, *t.height, &summary, &ignored)) {
    derived.geo = summary;
  }
  Crs crs;
  if (crsFor(g.projection, g.utmZone, g.utmHemisphere, &crs, &ignored)) {
    derived.crs = crs;
  }
  return derived;
}

// Whole numbers as integers (500000, not 500000.0), so the text reads as the
// plug-in set it; non-finite ones come out as null.
Json number(double value) {
  constexpr double kExactInt64 = 9007199254740992.0; // 2^53
  if (value == std::trunc(value) && std::fabs(value) <= kExactInt64) {
    return static_cast<int64_t>(value);
  }
  return value;
}

template <typename T> Json orNull(const std::optional<T> &value) {
  if constexpr (std::is_floating_point_v<T>) {
    return value ? number(*value) : Json();
  } else {
    return value ? Json(*value) : Json();
  }
}

constexpr Step kInfoSteps[] = {Step::Open, Step::GetInfo, Step::GeoInfo, Step::Close};

Json infoJson(const HostSession &session, const InfoOptions &options, const Derived &derived) {
  const qvstandin::LoadedPlugin &plugin = session.plugin();
  const TextureView &t = session.texture();
  const GeoView &g = session.geo();
  Json callbacks = Json::object();
  for (const Step step : kInfoSteps) {
    callbacks[stepName(step)] = orNull(session.status(step));
  }
  Json points = Json::array();
  for (const auto &p : g.points) {
    points.push_back(p ? Json{{"image", {number(p->imageX), number(p->imageY)}},
                              {"file", {number(p->fileX), number(p->fileY)}}}
                       : Json());
  }
  Json crs, pixelSize, bounds;
  if (derived.crs) {
    crs = {{"epsg", derived.crs->epsg}, {"name", derived.crs->name}};
  }
  if (derived.geo) {
    const GeoSummary &s = *derived.geo;
    pixelSize = {number(s.pixelWidth), number(s.pixelHeight)};
    bounds = {{"west", number(s.west)},
              {"south", number(s.south)},
              {"east", number(s.east)},
              {"north", number(s.north)}};
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

template <typename T> std::string shown(const std::optional<T> &maybe) {
  if (!maybe) {
    return "-";
  }
  if constexpr (std::is_floating_point_v<T>) {
    return formatShortest(*maybe);
  } else {
    return std::to_string(*maybe);
  }
}

std::string projectionText(const GeoView &g, const Derived &derived) {
  if (!g.projection) {
    return "-";
  }
  std::string text = std::to_string(*g.projection);
  if (*g.projection == 0) {
    text += " (geographic)";
  } else if (*g.projection == 4) {
    text += " (UTM), zone " + shown(g.utmZone) + ", hemisphere " + shown(g.utmHemisphere);
    if (g.utmHemisphere) {
      text += *g.utmHemisphere == 1 ? " (north)" : *g.utmHemisphere == 0 ? " (south)" : "";
    }
  }
  if (derived.crs) {
    text += "\n                " + derived.crs->name +
            " (EPSG:" + std::to_string(derived.crs->epsg) + ")";
  }
  return text;
}

std::string infoText(const HostSession &session, const InfoOptions &options,
                     const Derived &derived) {
  const qvstandin::LoadedPlugin &plugin = session.plugin();
  const TextureView &t = session.texture();
  const GeoView &g = session.geo();
  std::string text;
  const auto line = [&text](const char *label, const std::string &value) {
    char padded[32];
    (void)std::snprintf(padded, sizeof padded, "%-16s", label);
    text += padded + value + "\n";
  };
  line("file", options.file);
  line("plug-in", std::string(plugin.idString) + " " + plugin.version + " (" + plugin.vendor +
                      "), " + plugin.uuidString);
  line("size", shown(t.width) + " x " + shown(t.height) + " pixels");
  line("texture", "type " + shown(t.type) + ", sample size " + shown(t.sampleSize) + ", min " +
                      shown(t.min) + ", max " + shown(t.max) + ", transparent " +
                      shown(t.transparentValue) + ", tiled " + shown(t.tiled) + ", signed " +
                      shown(t.signedFlag));
  line("geo", "type " + shown(g.geoType) + ", image origin " + shown(g.imageOrigin) +
                  ", earth model " + shown(g.earthModel) + ", control points " +
                  shown(g.controlPointCount));
  line("projection", projectionText(g, derived));
  for (size_t i = 0; i < g.points.size(); ++i) {
    const auto &p = g.points[i];
    line(i == 0 ? "control points" : "", std::to_string(i) + ": image (" +
                                             (p ? formatShortest(p->imageX) : "-") + ", " +
                                             (p ? formatShortest(p->imageY) : "-") + ") -> file (" +
                                             (p ? formatShortest(p->fileX) : "-") + ", " +
                                             (p ? formatShortest(p->fileY) : "-") + ")");
  }
  if (derived.geo) {
    const GeoSummary &s = *derived.geo;
    line("pixel size", formatShortest(s.pixelWidth) + " x " + formatShortest(s.pixelHeight));
    line("bounds", "west " + formatShortest(s.west) + ", south " + formatShortest(s.south) +
                       ", east " + formatShortest(s.east) + ", north " + formatShortest(s.north));
  } else {
    line("pixel size", "-");
    line("bounds", "-");
  }
  std::string codes;
  for (const Step step : kInfoSteps) {
    const std::optional<int32_t> status = session.status(step);
    codes += std::string(codes.empty() ? "" : ", ") + stepName(step) + " " +
             (status ? std::to_string(*status) : std::string("not called"));
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
  const Derived derived = derive(session);
  // Names are bytes on this system; a file name that is not UTF-8 must not
  // stop the report, so such bytes become U+FFFD in the JSON.
  const std::string text = options.json
                               ? infoJson(session, options, derived)
                                         .dump(2, ' ', false, Json::error_handler_t::replace) +
                                     "\n"
                               : infoText(session, options, derived);
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
