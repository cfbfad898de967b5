#include "ded/source_rules.h"

#include <cmath>

bool dedGridFromGeoTransform(const double *t, DedRasterGrid *grid, std::string *error) {
  if (t == nullptr) {
    *error = std::string("it has no geotransform; give it one (gdal_translate -a_ullr) or "
                         "reproject it (") +
             DED_WARP_ADVICE + ")";
    return false;
  }
  for (int i = 0; i < 6; ++i) {
    if (!std::isfinite(t[i])) {
      *error = std::string("its geotransform is not usable (a term is not a finite number); give "
                           "it one (gdal_translate -a_ullr) or reproject it (") +
               DED_WARP_ADVICE + ")";
      return false;
    }
  }
  if (t[2] != 0.0 || t[4] != 0.0) {
    *error = std::string("its geotransform is rotated or sheared; make it north-up first: ") +
             DED_WARP_ADVICE + " (or its UTM zone)";
    return false;
  }
  if (!(t[1] > 0.0) || !(t[5] < 0.0)) {
    *error = "its geotransform is not north-up (pixel width " + std::to_string(t[1]) + ", height " +
             std::to_string(t[5]) + "); make it north-up first: " + DED_WARP_ADVICE;
    return false;
  }
  grid->xStep = t[1];
  grid->yStep = -t[5];
  grid->west = t[0] + t[1] / 2;
  grid->north = t[3] + t[5] / 2;
  return true;
}

std::string dedNoCrsRefusal() {
  return std::string("it has no coordinate system; a DED file is WGS 84 (EPSG:4326) or "
                     "WGS 84 / UTM: give it one (gdal_translate -a_srs) or reproject it (") +
         DED_WARP_ADVICE + ")";
}

std::string dedForeignCrsRefusal(const std::string &system, const std::string &advice) {
  return "its coordinate system " + system +
         " is neither WGS 84 (EPSG:4326) nor WGS 84 / UTM (EPSG:326zz, 327zz); reproject it "
         "first: " +
         advice;
}

DedValueRule dedValueRuleFor(bool int16Values, bool masked, bool hasNoData, double noData) {
  DedValueRule rule;
  rule.hasNoData = hasNoData;
  rule.noData = noData;
  rule.int16Values =
      int16Values && !masked &&
      (!hasNoData || (noData == std::trunc(noData) && noData >= INT16_MIN && noData <= INT16_MAX));
  return rule;
}
