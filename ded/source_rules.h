// What a raster must be for a DED file to be written from it, in the words
// every door says it (the GDAL driver, elvarin-host, the Python package):
// its geotransform north-up and its coordinate system one a DED file holds.
#pragma once

#include <string>

#include "ded/layout.h"
#include "ded/writer.h"

// What a refusal advises when nothing more particular is known.
constexpr const char *DED_WARP_ADVICE = "gdalwarp -t_srs EPSG:4326";

// Sets grid's west, north and steps from a GDAL-style geotransform t (null
// when the raster has none), each pixel's centre being its sample. False,
// grid untouched and the reason in error, when t is missing, not finite,
// rotated or sheared, or not north-up.
bool dedGridFromGeoTransform(const double *t, DedRasterGrid *grid, std::string *error);

// The refusal of a raster without a coordinate system.
std::string dedNoCrsRefusal();

// The refusal of a raster in a system a DED file does not hold: system is
// its name, code or both ("WGS 84 / Pseudo-Mercator (EPSG:3857)"), advice
// what to run instead.
std::string dedForeignCrsRefusal(const std::string &system, const std::string &advice);

// How a band's values become samples: Int16 values are the samples already
// unless a mask marks some of them or the NoData value is not a whole number
// in range (then each goes through dedSampleFor as a double).
DedValueRule dedValueRuleFor(bool int16Values, bool masked, bool hasNoData, double noData);
