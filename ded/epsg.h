// The coordinate system a DED file's projection codes stand for, as an EPSG
// code: WGS 84 geographic, or WGS 84 / UTM in the file's zone and hemisphere.
#pragma once

#include <cstdint>

#include "ded/describe.h"

constexpr int32_t DED_EPSG_GEOGRAPHIC = 4326;
constexpr int32_t DED_EPSG_UTM_NORTH_BASE = 32600; // + zone
constexpr int32_t DED_EPSG_UTM_SOUTH_BASE = 32700; // + zone

// 4326, 326zz or 327zz for a described file.
inline int32_t dedEpsgCode(const DedImageInfo &info) {
  if (info.projection != PROJ_UTM) {
    return DED_EPSG_GEOGRAPHIC;
  }
  return (info.utmHemisphere == DED_HEMISPHERE_NORTH ? DED_EPSG_UTM_NORTH_BASE
                                                     : DED_EPSG_UTM_SOUTH_BASE) +
         info.utmZone;
}

// The projection, UTM zone and hemisphere dedEpsgCode gives code: 4326,
// 326zz or 327zz with zz in 1..60. False for any other code.
inline bool dedProjectionOfEpsg(int32_t code, int32_t *projection, int32_t *zone,
                                int32_t *hemisphere) {
  if (code == DED_EPSG_GEOGRAPHIC) {
    *projection = PROJ_GEOGRAPHIC;
    return true;
  }
  for (const int32_t base : {DED_EPSG_UTM_NORTH_BASE, DED_EPSG_UTM_SOUTH_BASE}) {
    if (code > base && code <= base + DED_MAX_UTM_ZONE) {
      *projection = PROJ_UTM;
      *zone = code - base;
      *hemisphere = base == DED_EPSG_UTM_NORTH_BASE ? DED_HEMISPHERE_NORTH : DED_HEMISPHERE_SOUTH;
      return true;
    }
  }
  return false;
}
