// elvarin-host info: what the host learns about a DED file from the plug-in.
#include <cstdio>
#include <optional>
#include <type_traits>

#include "cli/args.h"
#include "cli/commands.h"
#include "cli/errors.h"
#include "cli/georef.h"
#include "cli/host_session.h"
#include "cli/import.h"
#include "cli/json.h"

namespace elvhost {

namespace {

const char *const kInfoHelp =
    "usage: elvarin-host info FILE.ded [--json] [--plugin PATH]\n"
    "\n"
    "Loads the plug-in, opens FILE.ded through it as the host does and shows what\n"
    "the host learns: size, texture attributes, projection, UTM zone and\n"
    "hemisphere, the three control points, the pixel size and bounds derived from\n"
    "them, and the status code each callback returned.\n"
    "\n"
    "  --json         print the same as JSON, in a fixed layout\n"
    "  --plugin PATH  the plug-in library (default: the one beside elvarin-host)\n"
    "  --help         this text\n";

struct Derived {
  std::optional<GeoSummary> geo;
  std::optional<Crs> crs;
};

Derived derive(const ImportReport &report) {
  Derived derived;
  if (!report.geoInfo.ok() || !report.texture.width || !report.texture.height) {
    return derived;
  }
  std::string ignored;
  GeoSummary summary;
  if (summarizeGeo(report.geo, *report.texture.width, *report.texture.height, &summary, &ignored)) {
    derived.geo = summary;
  }
  Crs crs;
  if (crsFor(report.geo.projection, report.geo.utmZone, report.geo.utmHemisphere, &crs, &ignored)) {
    derived.crs = crs;
  }
  return derived;
}

std::optional<int32_t> stepStatus(const ImportStep &step) {
  return step.ran ? std::optional<int32_t>(step.result.status) : std::nullopt;
}

std::string infoJson(const ImportReport &report, const qvstandin::LoadedPlugin &plugin,
                     const std::string &pluginPath, const Derived &derived) {
  JsonWriter json;
  json.beginObject();
  json.key("file");
  json.value(report.file);
  json.key("ok");
  json.value(report.firstFailure() == nullptr);

  json.key("plugin");
  json.beginObject();
  json.key("path");
  json.value(pluginPath);
  json.key("vendor");
  json.value(plugin.vendor);
  json.key("id");
  json.value(plugin.idString);
  json.key("uuid");
  json.value(plugin.uuidString);
  json.key("version");
  json.value(plugin.version);
  json.key("init");
  json.value(plugin.initResult);
  json.endObject();

  json.key("callbacks");
  json.beginObject();
  for (const ImportStep *step : {&report.open, &report.getInfo, &report.geoInfo, &report.close}) {
    json.key(step->name);
    json.value(stepStatus(*step));
  }
  json.endObject();

  const TextureView &t = report.texture;
  json.key("width");
  json.value(t.width);
  json.key("height");
  json.value(t.height);
  json.key("texture");
  json.beginObject();
  json.key("type");
  json.value(t.type);
  json.key("sampleSize");
  json.value(t.sampleSize);
  json.key("min");
  json.value(t.min);
  json.key("max");
  json.value(t.max);
  json.key("transparentValue");
  json.value(t.transparentValue);
  json.key("tiled");
  json.value(t.tiled);
  json.key("signed");
  json.value(t.signedFlag);
  json.endObject();

  const GeoView &g = report.geo;
  json.key("geo");
  json.beginObject();
  json.key("type");
  json.value(g.geoType);
  json.key("imageOrigin");
  json.value(g.imageOrigin);
  json.key("projection");
  json.value(g.projection);
  json.key("earthModel");
  json.value(g.earthModel);
  json.key("utmZone");
  json.value(g.utmZone);
  json.key("utmHemisphere");
  json.value(g.utmHemisphere);
  json.key("controlPointCount");
  json.value(g.controlPointCount);
  json.key("controlPoints");
  json.beginArray();
  for (const auto &point : g.points) {
    if (!point) {
      json.null();
      continue;
    }
    json.beginObject();
    json.key("image");
    json.beginArray();
    json.value(point->imageX);
    json.value(point->imageY);
    json.endArray();
    json.key("file");
    json.beginArray();
    json.value(point->fileX);
    json.value(point->fileY);
    json.endArray();
    json.endObject();
  }
  json.endArray();
  json.endObject();

  json.key("crs");
  if (derived.crs) {
    json.beginObject();
    json.key("epsg");
    json.value(static_cast<int32_t>(derived.crs->epsg));
    json.key("name");
    json.value(derived.crs->name);
    json.endObject();
  } else {
    json.null();
  }
  json.key("pixelSize");
  if (derived.geo) {
    json.beginArray();
    json.value(derived.geo->pixelWidth);
    json.value(derived.geo->pixelHeight);
    json.endArray();
  } else {
    json.null();
  }
  json.key("bounds");
  if (derived.geo) {
    json.beginObject();
    json.key("west");
    json.value(derived.geo->west);
    json.key("south");
    json.value(derived.geo->south);
    json.key("east");
    json.value(derived.geo->east);
    json.key("north");
    json.value(derived.geo->north);
    json.endObject();
  } else {
    json.null();
  }
  json.endObject();
  return json.text();
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

std::string infoText(const ImportReport &report, const qvstandin::LoadedPlugin &plugin,
                     const Derived &derived) {
  const TextureView &t = report.texture;
  const GeoView &g = report.geo;
  std::string text;
  const auto line = [&text](const char *label, const std::string &value) {
    char padded[32];
    (void)std::snprintf(padded, sizeof padded, "%-16s", label);
    text += padded + value + "\n";
  };
  line("file", report.file);
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
  for (const ImportStep *step : {&report.open, &report.getInfo, &report.geoInfo, &report.close}) {
    codes += std::string(codes.empty() ? "" : ", ") + step->name + " " +
             (step->ran ? std::to_string(step->result.status) : std::string("not called"));
  }
  line("callbacks", codes);
  return text;
}

} // namespace

int runInfo(const std::vector<std::string> &args, const char *argv0) {
  static const OptionDef kOptions[] = {{"json", false}, {"plugin", true}, {"help", false}};
  ParsedArgs parsed;
  std::string error;
  if (!parseArgs(args, kOptions, &parsed, &error)) {
    return usageFailure("info", error);
  }
  if (parsed.has("help")) {
    (void)std::fputs(kInfoHelp, stdout);
    return kExitOk;
  }
  if (parsed.positional.size() != 1) {
    return usageFailure("info", "info takes one DED file");
  }
  const std::string &file = parsed.positional[0];
  const std::string pluginPath = parsed.value("plugin", defaultPluginPath(argv0));

  HostSession session;
  if (!session.load(pluginPath, &error)) {
    reportFailure(error);
    return kExitFailure;
  }
  ImportReport report;
  importDescription(session, file, &report);
  finishImport(session, &report);
  const Derived derived = derive(report);
  const std::string text = parsed.has("json")
                               ? infoJson(report, session.plugin(), pluginPath, derived)
                               : infoText(report, session.plugin(), derived);
  (void)std::fputs(text.c_str(), stdout);
  (void)std::fflush(stdout);
  if (report.firstFailure() != nullptr) {
    reportFailure(importFailure(report));
    return kExitFailure;
  }
  return kExitOk;
}

} // namespace elvhost
