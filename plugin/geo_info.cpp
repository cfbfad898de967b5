#include "plugin/geo_info.h"

#include "ded/area.h"
#include "host/attributes.h"
#include "host/status.h"
#include "plugin/describe.h"

namespace {

bool setProjection(QvImageRec image, const DedImageInfo &info) {
  if (qvSetTextureGeoType(image, QV_GEO_TYPE) == 0 ||
      qvSetTextureGeoImageOrigin(image, QV_GEO_IMAGE_ORIGIN) == 0 ||
      qvSetTextureGeoProjection(image, info.projection) == 0 ||
      qvSetTextureGeoEarthModel(image, QV_GEO_EARTH_MODEL) == 0) {
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
// (the full extent, not the last pixel's index) and in file coordinates: the
// corners of the area the image shows.
bool setControlPoints(QvImageRec image, const DedImageInfo &info) {
  const double width = info.width;
  const double height = info.height;
  const DedArea area = dedImageArea(info);
  return qvSetTextureGeoNumCtlPts(image, QV_GEO_CONTROL_POINTS) != 0 &&
         qvSetTextureGeoCtlPt(image, 0, 0.0, 0.0, area.xMin, area.yMin) != 0 &&
         qvSetTextureGeoCtlPt(image, 1, 0.0, height, area.xMin, area.yMax) != 0 &&
         qvSetTextureGeoCtlPt(image, 2, width, 0.0, area.xMax, area.yMin) != 0;
}

} // namespace

extern "C" int32_t dedGetGeoInfo(void * /*host0*/, void * /*host1*/, int32_t handle,
                                 QvImageRec image) noexcept {
  DedImageInfo info{};
  const int32_t status = dedDescribe(handle, &info); // -8 for a bad handle
  if (status != DED_OK) {
    return status;
  }
  return setProjection(image, info) && setControlPoints(image, info) ? DED_OK : DED_ERR_BADARG;
}
