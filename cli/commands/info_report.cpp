#include "cli/commands/info_report.h"

#include <cstdio>
#include <initializer_list>
#include <string>
#include <utility>

#include "cli/commands/errors.h"
#include "cli/formats/decimal.h"
#include "ded/header.h"
#include "ded/records.h"
#include "host/attributes.h"

namespace elvhost {

namespace {

using Json = nlohmann::ordered_json;

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
    out->add("", "and " + shown(doc["cellsNotListed"]) +
                     (doc["cellsNotListed"] == 1 ? " more cell" : " more cells") + ", not listed");
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

} // namespace

std::string infoTextReport(const Json &doc) {
  ReportLines out;
  summaryLines(doc, &out);
  placeLines(doc, &out);
  sampleLines(doc, &out);
  pluginLines(doc, &out);
  hostReadingLines(doc, &out);
  return out.text;
}

} // namespace elvhost
