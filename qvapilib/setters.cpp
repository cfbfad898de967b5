// Texture and geo-reference setters: each call is recorded on the image
// record, and refused (0) when the record says so.
#include <initializer_list>
#include <new>

#include "qvapilib/state.h"

namespace {

// 1, or 0 when the record refuses the call, or when there is no memory to
// record it (a host that cannot keep an attribute refuses it).
int32_t record(QvImageRec image, const char *name, std::initializer_list<double> args) noexcept {
  if (image == nullptr) {
    return 0;
  }
  auto *rec = static_cast<qvstandin::ImageRecord *>(image);
  try {
    qvstandin::SetterCall call{name, args, false};
    call.refused = static_cast<int>(rec->calls.size()) == rec->refuseAt || rec->refuseName == name;
    rec->calls.push_back(call);
    return call.refused ? 0 : 1;
  } catch (const std::bad_alloc &) {
    return 0;
  }
}

} // namespace

#define QV_INT_SETTER(fn)                                                                          \
  extern "C" QVAPI_HOST_FN int32_t fn(QvImageRec image, int32_t value) noexcept {                  \
    return record(image, #fn, {static_cast<double>(value)});                                       \
  }

QV_INT_SETTER(qvSetTextureWidth)
QV_INT_SETTER(qvSetTextureHeight)
QV_INT_SETTER(qvSetTextureType)
QV_INT_SETTER(qvSetTextureSampleSize)
QV_INT_SETTER(qvSetTextureTransparentValue)
QV_INT_SETTER(qvSetTextureTiledFlag)
QV_INT_SETTER(qvSetTextureSignedFlag)
QV_INT_SETTER(qvSetTextureGeoType)
QV_INT_SETTER(qvSetTextureGeoImageOrigin)
QV_INT_SETTER(qvSetTextureGeoProjection)
QV_INT_SETTER(qvSetTextureGeoEarthModel)
QV_INT_SETTER(qvSetTextureGeoUTMZone)
QV_INT_SETTER(qvSetTextureGeoUTMHemisphere)
QV_INT_SETTER(qvSetTextureGeoNumCtlPts)

#undef QV_INT_SETTER

extern "C" QVAPI_HOST_FN int32_t qvSetTextureMinMax(QvImageRec image, float min,
                                                    float max) noexcept {
  return record(image, "qvSetTextureMinMax", {static_cast<double>(min), static_cast<double>(max)});
}

extern "C" QVAPI_HOST_FN int32_t qvSetTextureGeoCtlPt(QvImageRec image, int32_t index,
                                                      double imageX, double imageY, double fileX,
                                                      double fileY) noexcept {
  return record(image, "qvSetTextureGeoCtlPt",
                {static_cast<double>(index), imageX, imageY, fileX, fileY});
}
