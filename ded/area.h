// The area an image of a DED file shows, in the file's coordinates, and the
// geotransform that puts each pixel on its sample.
#pragma once

#include "ded/describe.h"

// Corners of the area the image shows: the sample positions of its first
// and last columns and rows, in coordinate units (degrees or metres), in
// double. A geographic file or a UTM file of one cell shows its bounds. A
// UTM file of several cells has an image of its first cell's size, so it
// shows that many of the first cell's spacings from the overall minima:
// xMax = xMin + (width - 1) x xSpacing, yMax = yMin + (height - 1) x ySpacing.
struct DedArea {
  double xMin;
  double yMin;
  double xMax;
  double yMax;
};

DedArea dedImageArea(const DedImageInfo &info);

// The grid of the image's samples: one pixel per sample, the first cell's
// spacings apart (in coordinate units), the north-west sample at
// (west, north) (the area's xMin and yMax).
struct DedSampleGrid {
  double west;
  double north;
  double xStep;
  double yStep;
};

DedSampleGrid dedSampleGrid(const DedImageInfo &info);

// The grid as a north-up geotransform in GDAL's convention: the top-left
// pixel's outer corner x, the pixel width, 0, the corner y, 0, minus the
// pixel height; the top-left pixel is centred on the north-west sample.
void dedGeoTransform(const DedImageInfo &info, double geoTransform[6]);

// The same for any grid (the GIS frame's).
void dedGridGeoTransform(const DedSampleGrid &grid, double geoTransform[6]);
