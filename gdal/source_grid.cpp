#include "gdal/source_grid.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include <ogr_spatialref.h>

#include "ded/epsg.h"
#include "ded/source_rules.h"

namespace {

// The EPSG code of identified's root; 0 when it has none.
int32_t rootCode(const OGRSpatialReference &identified) {
  const char *authority = identified.GetAuthorityName(nullptr);
  const char *code = identified.GetAuthorityCode(nullptr);
  if (authority == nullptr || code == nullptr || !EQUAL(authority, "EPSG")) {
    return 0;
  }
  return static_cast<int32_t>(std::atoi(code));
}

// Whether srs is the system EPSG defines for code, whatever its axis order:
// its name or authority code alone may claim a system it is not.
bool sameAsEpsg(const OGRSpatialReference &srs, int32_t code) {
  OGRSpatialReference defined;
  const char *const options[] = {"IGNORE_DATA_AXIS_TO_SRS_AXIS_MAPPING=YES", nullptr};
  return defined.importFromEPSG(code) == OGRERR_NONE && srs.IsSame(&defined, options) != 0;
}

// The EPSG code srs stands for: its own, or identified when it carries none
// (as other programs write WGS 84, say): the first EPSG system it is the
// same as, else the likeliest; 0 when there is none.
int32_t epsgCode(const OGRSpatialReference &srs) {
  OGRSpatialReference identified(srs);
  (void)identified.AutoIdentifyEPSG(); // a system it cannot name keeps no code
  int32_t code = rootCode(identified);
  if (code != 0) {
    return code;
  }
  int count = 0;
  OGRSpatialReferenceH *matches = srs.FindMatches(nullptr, &count, nullptr);
  for (int i = 0; i < count; ++i) {
    const int32_t candidate = rootCode(*OGRSpatialReference::FromHandle(matches[i]));
    if (candidate != 0 && sameAsEpsg(srs, candidate)) {
      code = candidate;
      break;
    }
    code = code == 0 ? candidate : code;
  }
  OSRFreeSRSArray(matches);
  return code;
}

// How to make a source in a system a DED file holds: its WGS 84 UTM zone for
// a UTM system of another datum, WGS 84 geographic otherwise.
std::string advice(const OGRSpatialReference &srs) {
  int north = 0;
  const int zone = srs.GetUTMZone(&north);
  const int32_t code =
      dedEpsgOfProjection(PROJ_UTM, zone, north != 0 ? DED_HEMISPHERE_NORTH : DED_HEMISPHERE_SOUTH);
  if (code == 0) {
    return DED_WARP_ADVICE;
  }
  return "gdalwarp -t_srs EPSG:" + std::to_string(code) + " (or " + DED_WARP_ADVICE + ")";
}

bool projectionOf(const OGRSpatialReference *srs, DedRasterGrid *grid, std::string *error) {
  if (srs == nullptr || srs->IsEmpty()) {
    *error = dedNoCrsRefusal();
    return false;
  }
  const int32_t code = epsgCode(*srs);
  const char *name = srs->GetName();
  if (dedProjectionOfEpsg(code, &grid->projection, &grid->utmZone, &grid->utmHemisphere)) {
    if (sameAsEpsg(*srs, code)) {
      return true;
    }
    *error = std::string("its coordinate system ") + (name != nullptr ? name : "(unnamed)") +
             " names EPSG:" + std::to_string(code) +
             " but differs from it (its datum, prime meridian, units or parameters); reproject "
             "it first: " +
             advice(*srs);
    return false;
  }
  *error = dedForeignCrsRefusal(std::string(name != nullptr ? name : "(unnamed)") +
                                    (code != 0 ? " (EPSG:" + std::to_string(code) + ")" : ""),
                                advice(*srs));
  return false;
}

} // namespace

bool dedSourceGrid(GDALDataset *source, DedRasterGrid *grid, std::string *error) {
  double t[6] = {};
  const bool hasTransform = source->GetGeoTransform(t) == CE_None;
  if (!dedGridFromGeoTransform(hasTransform ? t : nullptr, grid, error) ||
      !projectionOf(source->GetSpatialRef(), grid, error)) {
    return false;
  }
  grid->width = source->GetRasterXSize();
  grid->height = source->GetRasterYSize();
  return true;
}
