// The affine map from image to file coordinates, from the samples' places or
// from the three control points the plug-in gave the host, and the same map
// as a world file's and as GDAL's six numbers.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "cli/host/setter_views.h"

// Declared only (ded/describe.h, ded/gis_frame.h have them): the image
// writers that include this header need nothing of the file.
struct DedImageInfo;
struct DedCellHeader;
struct DedGisFrame;

namespace elvhost {

// fileX = a*u + b*v + c, fileY = d*u + e*v + f for an image position (u, v)
// in the host's pixel grid: u along a row, v down the host's rows, (0, 0) the
// outer corner of the host's first pixel, one unit per pixel.
struct Affine {
  double a = 0, b = 0, c = 0, d = 0, e = 0, f = 0;
};

// The map that centres each of the plug-in's image's pixels on its sample,
// on the grid dedHostGrid gives (the plug-in's frame's, whichever output
// shows it). When the first cell's steps are unusable no map can be had:
// affine is left untouched and why says so.
void sampleAffine(const DedImageInfo &image, const DedCellHeader &first, Affine *affine,
                  std::string *why);

// The same map for a GIS frame: its north-west sample at the centre of the
// host's top row's first pixel (the host's rows run northwards).
Affine frameAffine(const DedGisFrame &frame);

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

// The same map as GDAL's geotransform: the written image's top-left outer
// corner x, then x per column, x per row, the corner's y, y per column and
// y per row.
using GeoTransform = std::array<double, 6>;
GeoTransform geoTransformFor(const WorldFile &world);

// The host's reading of the geo-reference: the map through the three control
// points. False, with the reason in error, when a point is missing or they
// are unusable.
bool hostAffine(const GeoView &geo, Affine *affine, std::string *error);

} // namespace elvhost
