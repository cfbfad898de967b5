// The coordinate system a DED file's projection codes stand for, as an EPSG
// code: WGS 84 geographic, or WGS 84 / UTM in the file's zone and hemisphere.
#pragma once

#include <cstdint>

#include "ded/describe.h"

constexpr int32_t DED_EPSG_GEOGRAPHIC = 4326;
constexpr int32_t DED_EPSG_UTM_NORTH_BASE = 32600; // + zone
constexpr int32_t DED_EPSG_UTM_SOUTH_BASE = 32700; // + zone

// The EPSG code of a file's projection codes: 4326 for PROJ_GEOGRAPHIC (zone
// and hemisphere mean nothing then), 326zz or 327zz for PROJ_UTM in zone zz of
// 1..DED_MAX_UTM_ZONE, north or south. 0 for codes that stand for none.
constexpr int32_t dedEpsgOfProjection(int32_t projection, int32_t zone, int32_t hemisphere) {
  if (projection == PROJ_GEOGRAPHIC) {
    return DED_EPSG_GEOGRAPHIC;
  }
  if (projection != PROJ_UTM || zone < 1 || zone > DED_MAX_UTM_ZONE) {
    return 0;
  }
  if (hemisphere == DED_HEMISPHERE_NORTH) {
    return DED_EPSG_UTM_NORTH_BASE + zone;
  }
  return hemisphere == DED_HEMISPHERE_SOUTH ? DED_EPSG_UTM_SOUTH_BASE + zone : 0;
}

// 4326, 326zz or 327zz for a described file.
inline int32_t dedEpsgCode(const DedImageInfo &info) {
  return dedEpsgOfProjection(info.projection, info.utmZone, info.utmHemisphere);
}

// The projection, UTM zone and hemisphere dedEpsgOfProjection gives code: 4326,
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
