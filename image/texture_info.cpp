#include "image/texture_info.h"

#include "ded/describe.h"
#include "ded/open_files.h"
#include "ded/status.h"

namespace {

// The fixed attributes of every image this importer delivers: one 8-bit grey
// channel, not tiled. The host reads the grey range, the transparent value
// and the signed flag as given; they do not depend on the file.
constexpr int32_t kTextureType = 2;
constexpr int32_t kSampleSize = 8;
constexpr float kGreyLow = 0.0f;
constexpr float kGreyHigh = 255.0f;
constexpr int32_t kTransparentValue = -32768;
constexpr int32_t kTiledFlag = 0;
constexpr int32_t kSignedFlag = 1;

// Calls the setters in the host's order and stops at the first refusal.
bool setAttributes(QvImageRec image, const DedImageInfo &info) {
  return qvSetTextureWidth(image, info.width) != 0 && qvSetTextureHeight(image, info.height) != 0 &&
         qvSetTextureType(image, kTextureType) != 0 &&
         qvSetTextureSampleSize(image, kSampleSize) != 0 &&
         qvSetTextureMinMax(image, kGreyLow, kGreyHigh) != 0 &&
         qvSetTextureTransparentValue(image, kTransparentValue) != 0 &&
         qvSetTextureTiledFlag(image, kTiledFlag) != 0 &&
         qvSetTextureSignedFlag(image, kSignedFlag) != 0;
}

} // namespace

extern "C" int32_t dedGetImageInfo(void * /*host0*/, void * /*host1*/, int32_t handle,
                                   QvImageRec image) {
  if (dedStreamFor(handle) == nullptr) {
    return DED_ERR_BADARG;
  }
  DedImageInfo info{};
  const int32_t status = dedDescribe(handle, &info);
  if (status != DED_OK) {
    return status;
  }
  return setAttributes(image, info) ? DED_OK : DED_ERR_BADARG;
}
