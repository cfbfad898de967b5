// elvarin-host info: what the host learns about a DED file from the plug-in,
// as one JSON document that --json prints and the text report is read from.
#include <cmath>
#include <cstdio>
#include <functional>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/errors.h"
#include "cli/file_facts.h"
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

// The six numbers of a GDAL geotransform for a north-up image.
Json geoTransform(const Affine &affine, int32_t height) {
  const WorldFile w = worldFileFor(affine, height, true);
  return {number(w.x - 0.5 * w.xPerColumn), number(w.xPerColumn), number(w.xPerRow),
          number(w.y - 0.5 * w.yPerRow),    number(w.yPerColumn), number(w.yPerRow)};
}

Json report(const HostSession &session, const FileFacts &facts, const InfoOptions &options) {
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
  Json transform, hostTransform;
  if (placed && summarizeGeo(g, *t.width, *t.height, &s, &ignored)) {
    hostTransform = geoTransform(s.affine, *t.height);
    transform = facts.described ? geoTransform(sampleAffine(facts.image), *t.height) : Json();
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
          {"geoTransform", transform},
          {"hostGeoTransform", hostTransform},
          {"missingSamples", facts.missingSamples()},
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

std::string shownList(const Json &values) {
  std::string text;
  for (const Json &value : values) {
    text += (text.empty() ? "" : ", ") + shown(value);
  }
  return text.empty() ? "-" : text;
}

// Whether text is UTF-8, as the JSON library judges it. Built piece by piece:
// GCC 12 misreads chained concatenation from a literal (-Wrestrict).
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
  line("geotransform", shownList(doc["geoTransform"]));
  if (doc["hostGeoTransform"] != doc["geoTransform"]) {
    line("host reading", shownList(doc["hostGeoTransform"]));
  }
  if (doc["missingSamples"] != 0) {
    line("samples", shown(doc["missingSamples"]) + " missing: the file ends early");
  }
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
  const FileFacts facts = readFileFacts(options.file);
  session.describe(options.file);
  session.close();
  const std::string failure = session.failure(facts.problem);
  if (!failure.empty()) {
    if (options.json) {
      int32_t code = 0;
      for (const Step step : {Step::Open, Step::GetInfo, Step::GeoInfo, Step::Close}) {
        code = code != 0 ? code : session.status(step).value_or(0);
      }
      (void)std::fputs(
          jsonText({{"file", options.file}, {"error", {{"code", code}, {"message", failure}}}})
              .c_str(),
          stdout);
    }
    reportFailure(failure);
    return kExitFailure;
  }
  const Json doc = report(session, facts, options);
  const std::string text = options.json ? jsonText(doc) : textReport(doc);
  (void)std::fputs(text.c_str(), stdout);
  (void)std::fflush(stdout);
  return kExitOk;
}

} // namespace elvhost
