// Grey GeoTIFF through libtiff and libgeotiff: tiled, DEFLATE with the
// horizontal predictor, with the geo-reference, the coordinate system and
// the way back to elevations inside the file.
#pragma once

#include <cstdio>
#include <string>

#include "cli/formats/grey_image.h"
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

} // namespace elvhost
