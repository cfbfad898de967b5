// Geo-referencing for GIS tools: the affine map from image to file
// coordinates, from the samples' places or from the three control points
// the plug-in gave the host, the world file beside the image and its
// coordinate system as ESRI WKT (.prj) and as a GDAL auxiliary file (.aux.xml).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "cli/geo/elevation_scale.h"
#include "ded/describe.h"

namespace elvhost {

struct ControlPoint {
  double imageX = 0, imageY = 0; // image position, pixels; (0, 0) is the host's first byte's corner
  double fileX = 0, fileY = 0;   // file coordinates: degrees or metres
};

constexpr int kControlPoints = 3;

// The geo-reference the plug-in set in geo-info; a value it never set stays
// empty, and when it set one twice the last call counts.
struct GeoView {
  std::optional<int32_t> geoType, imageOrigin, projection, earthModel, utmZone, utmHemisphere,
      controlPointCount;
  std::array<std::optional<ControlPoint>, kControlPoints> points;
};

// fileX = a*u + b*v + c, fileY = d*u + e*v + f for an image position (u, v)
// in the host's pixel grid: u along a row, v down the host's rows, (0, 0) the
// outer corner of the host's first pixel, one unit per pixel.
struct Affine {
  double a = 0, b = 0, c = 0, d = 0, e = 0, f = 0;
};

// The map that centres each pixel on its sample: pixels the first cell's
// spacings apart (degrees or metres), the north-west sample at the top-left
// pixel's centre. A UTM file of several cells has an image of its first
// cell's size, anchored at the south-west: its bottom-left pixel's centre is
// the overall (xMin, yMin).
Affine sampleAffine(const DedImageInfo &image);

// Solves the affine map through three control points. False, with the
// reason in error, when they lie on one line in the image.
bool affineFromControlPoints(const ControlPoint &p0, const ControlPoint &p1, const ControlPoint &p2,
                             Affine *affine, std::string *error);

// The six numbers of a world file, in the file's order: x size of a pixel,
// the two rotation terms, y size of a pixel, then the centre of the written
// image's top-left pixel.
struct WorldFile {
  double xPerColumn = 0, yPerColumn = 0, xPerRow = 0, yPerRow = 0, x = 0, y = 0;
};

// northUp: the written image's first row is the host's last (height - 1);
// otherwise the rows are written in the host's order.
WorldFile worldFileFor(const Affine &affine, int32_t height, bool northUp);

// Six lines, each number as the shortest decimal that reads back exactly.
std::string worldFileText(const WorldFile &world);

// The shortest decimal that reads back as the same double, with an exponent
// only for very small or very large magnitudes.
std::string formatShortest(double value);

// A coordinate system the plug-in's projection codes stand for.
// EPSG codes: WGS 84 geographic, and the first of its UTM zones, north and
// south (zone z is the base + z).
constexpr int kEpsgWgs84 = 4326;
constexpr int kEpsgUtmNorthBase = 32600;
constexpr int kEpsgUtmSouthBase = 32700;

struct Crs {
  int epsg = 0;
  std::string name;           // e.g. "WGS 84 / UTM zone 33N"
  std::string esriWkt;        // what a .prj holds
  std::string ogcWkt;         // WKT1 with authorities, as GDAL writes it
  bool latitudeFirst = false; // the authority's axis order is latitude, longitude
};

// Projection 0 is WGS 84 geographic (EPSG 4326); projection 4 with zone
// 1..60 is WGS 84 / UTM zone N, north (hemisphere 1, EPSG 326NN) or south
// (hemisphere 0, EPSG 327NN). False, with the reason in error, otherwise.
bool crsFor(std::optional<int32_t> projection, std::optional<int32_t> zone,
            std::optional<int32_t> hemisphere, Crs *crs, std::string *error);

// A GDAL PAMDataset naming the coordinate system and the geotransform, and
// with elevation the band's scale and offset back to metres.
std::string auxXmlText(const Crs &crs, const WorldFile &world,
                       const ElevationScale *elevation = nullptr);

// The host's reading of the geo-reference: the map through the three control
// points. False, with the reason in error, when a point is missing or they
// are unusable.
bool hostAffine(const GeoView &geo, Affine *affine, std::string *error);

// The world file's name for an image: .pgw beside a .png, .wld otherwise.
std::string worldFilePath(const std::string &imagePath);
// The image's name with its extension replaced by .prj.
std::string prjPath(const std::string &imagePath);
// The image's name with .aux.xml appended.
std::string auxXmlPath(const std::string &imagePath);

} // namespace elvhost
