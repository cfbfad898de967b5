// The coordinate systems the plug-in's projection codes stand for, with
// their names and WKT as PROJ's database gives them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "ded/epsg.h"

namespace elvhost {

struct Crs {
  int epsg = 0;
  bool geographic = false;    // latitude and longitude, not projected
  std::string name;           // e.g. "WGS 84 / UTM zone 33N"
  std::string esriWkt;        // what a .prj holds
  std::string ogcWkt;         // WKT1 with authorities and axes, as GDAL writes it
  bool latitudeFirst = false; // the authority's axis order is latitude, longitude
};

// The codes the plug-in gives for a coordinate system; empty: not given.
struct CrsCodes {
  std::optional<int32_t> projection, zone, hemisphere;
};

// PROJ_GEOGRAPHIC is WGS 84 geographic (EPSG 4326); PROJ_UTM with a zone
// 1..DED_MAX_UTM_ZONE is WGS 84 / UTM zone N, north (EPSG 326NN) or south
// (EPSG 327NN) by the hemisphere code. False, with the reason in error,
// otherwise or when PROJ does not know the system.
bool crsFor(const CrsCodes &codes, Crs *crs, std::string *error);

} // namespace elvhost
