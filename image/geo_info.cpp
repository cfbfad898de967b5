#include "image/geo_info.h"

#include "ded/describe.h"
#include "ded/open_files.h"
#include "ded/status.h"

namespace {

// Geo type, image origin and earth model are the host's codes for the one
// kind of geo-reference this importer gives: three corner control points.
constexpr int32_t kGeoType = 0;
constexpr int32_t kImageOrigin = 0;
constexpr int32_t kEarthModel = 0;
constexpr int32_t kControlPoints = 3;

bool setProjection(QvImageRec image, const DedImageInfo &info) {
  if (qvSetTextureGeoType(image, kGeoType) == 0 ||
      qvSetTextureGeoImageOrigin(image, kImageOrigin) == 0 ||
      qvSetTextureGeoProjection(image, info.projection) == 0 ||
      qvSetTextureGeoEarthModel(image, kEarthModel) == 0) {
    return false;
  }
  if (info.projection != PROJ_UTM) {
    return true; // zone and hemisphere mean nothing to a geographic file
  }
  return qvSetTextureGeoUTMZone(image, info.utmZone) != 0 &&
         qvSetTextureGeoUTMHemisphere(image, info.utmHemisphere) != 0;
}

// The image's origin corner (column 0, row 0: the xMin/yMin corner), the far
// end of its first column and the far end of its first row, in image pixels
// (the full extent, not the last pixel's index) and in file coordinates.
bool setControlPoints(QvImageRec image, const DedImageInfo &info) {
  const double width = info.width;
  const double height = info.height;
  const double xMin = info.xMin;
  const double yMin = info.yMin;
  const double xMax = info.xMax;
  const double yMax = info.yMax;
  return qvSetTextureGeoNumCtlPts(image, kControlPoints) != 0 &&
         qvSetTextureGeoCtlPt(image, 0, 0.0, 0.0, xMin, yMin) != 0 &&
         qvSetTextureGeoCtlPt(image, 1, 0.0, height, xMin, yMax) != 0 &&
         qvSetTextureGeoCtlPt(image, 2, width, 0.0, xMax, yMin) != 0;
}

} // namespace

extern "C" int32_t dedGetGeoInfo(void * /*host0*/, void * /*host1*/, int32_t handle,
                                 QvImageRec image) {
  if (dedStreamFor(handle) == nullptr) {
    return DED_ERR_BADARG;
  }
  DedImageInfo info{};
  const int32_t status = dedDescribe(handle, &info);
  if (status != DED_OK) {
    return status;
  }
  return setProjection(image, info) && setControlPoints(image, info) ? DED_OK : DED_ERR_BADARG;
}
