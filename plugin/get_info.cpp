#include "plugin/get_info.h"

#include "host/attributes.h"
#include "host/status.h"
#include "plugin/describe.h"
#include "plugin/told_size.h"

namespace {

// Calls the setters in the host's order and stops at the first refusal.
bool setAttributes(QvImageRec image, const DedImageInfo &info) {
  return qvSetTextureWidth(image, info.width) != 0 && qvSetTextureHeight(image, info.height) != 0 &&
         qvSetTextureType(image, QV_TEXTURE_TYPE) != 0 &&
         qvSetTextureSampleSize(image, QV_SAMPLE_SIZE) != 0 &&
         qvSetTextureMinMax(image, QV_GREY_LOW, QV_GREY_HIGH) != 0 &&
         qvSetTextureTransparentValue(image, QV_TRANSPARENT_VALUE) != 0 &&
         qvSetTextureTiledFlag(image, QV_TILED_FLAG) != 0 &&
         qvSetTextureSignedFlag(image, QV_SIGNED_FLAG) != 0;
}

} // namespace

extern "C" int32_t dedGetImageInfo(void * /*host0*/, void * /*host1*/, int32_t handle,
                                   QvImageRec image) noexcept {
  DedImageInfo info{};
  const int32_t status = dedDescribe(handle, &info); // -8 for a bad handle
  if (status != DED_OK) {
    return status;
  }
  if (!setAttributes(image, info)) {
    return DED_ERR_BADARG;
  }
  // The host sizes the pixel buffer it hands get-image from these two.
  dedRememberToldSize(handle, info.width, info.height);
  return DED_OK;
}
