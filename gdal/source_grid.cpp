#include "gdal/source_grid.h"

#include <cstdlib>
#include <cstring>

#include <ogr_spatialref.h>

#include "ded/epsg.h"

namespace {

constexpr const char *kWarpAdvice = "gdalwarp -t_srs EPSG:4326";

// The EPSG code srs stands for, identified when it carries none; 0 when
// it has none.
int32_t epsgCode(const OGRSpatialReference &srs) {
  OGRSpatialReference identified(srs);
  (void)identified.AutoIdentifyEPSG(); // a system it cannot name keeps no code
  const char *authority = identified.GetAuthorityName(nullptr);
  const char *code = identified.GetAuthorityCode(nullptr);
  if (authority == nullptr || code == nullptr || !EQUAL(authority, "EPSG")) {
    return 0;
  }
  return static_cast<int32_t>(std::atoi(code));
}

// How to make a source in a system a DED file holds: its WGS 84 UTM zone for
// a UTM system of another datum, WGS 84 geographic otherwise.
std::string advice(const OGRSpatialReference &srs) {
  int north = 0;
  const int zone = srs.GetUTMZone(&north);
  const int32_t code =
      dedEpsgOfProjection(PROJ_UTM, zone, north != 0 ? DED_HEMISPHERE_NORTH : DED_HEMISPHERE_SOUTH);
  if (code == 0) {
    return kWarpAdvice;
  }
  return "gdalwarp -t_srs EPSG:" + std::to_string(code) + " (or " + kWarpAdvice + ")";
}

bool projectionOf(const OGRSpatialReference *srs, DedRasterGrid *grid, std::string *error) {
  if (srs == nullptr || srs->IsEmpty()) {
    *error = std::string("it has no coordinate system; a DED file is WGS 84 (EPSG:4326) or "
                         "WGS 84 / UTM: give it one (gdal_translate -a_srs) or reproject it (") +
             kWarpAdvice + ")";
    return false;
  }
  const int32_t code = epsgCode(*srs);
  if (dedProjectionOfEpsg(code, &grid->projection, &grid->utmZone, &grid->utmHemisphere)) {
    return true;
  }
  const char *name = srs->GetName();
  *error = std::string("its coordinate system ") + (name != nullptr ? name : "(unnamed)") +
           (code != 0 ? " (EPSG:" + std::to_string(code) + ")" : std::string()) +
           " is neither WGS 84 (EPSG:4326) nor WGS 84 / UTM (EPSG:326zz, 327zz); reproject "
           "it first: " +
           advice(*srs);
  return false;
}

} // namespace

bool dedSourceGrid(GDALDataset *source, DedRasterGrid *grid, std::string *error) {
  double t[6] = {};
  if (source->GetGeoTransform(t) != CE_None) {
    *error = std::string("it has no geotransform; give it one (gdal_translate -a_ullr) or "
                         "reproject it (") +
             kWarpAdvice + ")";
    return false;
  }
  if (t[2] != 0.0 || t[4] != 0.0) {
    *error = std::string("its geotransform is rotated or sheared; make it north-up first: ") +
             kWarpAdvice + " (or its UTM zone)";
    return false;
  }
  if (!(t[1] > 0.0) || !(t[5] < 0.0)) {
    *error = "its geotransform is not north-up (pixel width " + std::to_string(t[1]) + ", height " +
             std::to_string(t[5]) + "); make it north-up first: " + kWarpAdvice;
    return false;
  }
  if (!projectionOf(source->GetSpatialRef(), grid, error)) {
    return false;
  }
  // A pixel's centre is its sample.
  grid->width = source->GetRasterXSize();
  grid->height = source->GetRasterYSize();
  grid->xStep = t[1];
  grid->yStep = -t[5];
  grid->west = t[0] + t[1] / 2;
  grid->north = t[3] + t[5] / 2;
  return true;
}
