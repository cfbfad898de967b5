// Grey and elevation GeoTIFFs through libtiff and libgeotiff: tiled, DEFLATE with the
// horizontal predictor, with the geo-reference, the coordinate system and
// the way back to elevations inside the file.
#pragma once

#include <cstdio>
#include <string>

#include "cli/formats/grey_image.h"
#include "cli/formats/int16_image.h"
#include "cli/geo/georeference.h"
#include "cli/output/progress.h"

namespace elvhost {

// Writes image to stream, which must be seekable and at its start, as an
// 8-bit grey tiled GeoTIFF, north-up or in the host's row order, with geo's
// transform, coordinate system and elevation scale inside. Returns
// false, with libtiff's or the system's reason in error; the stream then
// holds an unusable file. progress hears of the rows written, on the
// calling thread.
bool writeGeoTiff(std::FILE *stream, const GreyImage &image, bool northUp, const Georeference &geo,
                  std::string *error, const RowProgress &progress = {});

// Writes elevations to stream, rows in their order, as a 16-bit signed tiled
// GeoTIFF compressed as the grey one, with geo's transform and coordinate
// system, unit metres and NoData kInt16NoData in GDAL's tags (no scale or
// offset). Fails as writeGeoTiff does.
bool writeInt16GeoTiff(std::FILE *stream, const Int16Image &image, const Georeference &geo,
                       std::string *error, const RowProgress &progress = {});

} // namespace elvhost
