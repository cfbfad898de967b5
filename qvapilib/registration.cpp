// Importer registration: remembers everything the plug-in passed.
#include <cstdarg>

#include "qvapilib/state.h"

namespace {

// A plug-in that forgets the terminating null must not run the host away.
constexpr int kMaxKeyValues = 64;

} // namespace

extern "C" QVAPI_HOST_FN QvImporter qvRegisterImageImporter(
    QvPlugin plugin, const char *name, int32_t format, QvOpenImageFunc open, QvCloseImageFunc close,
    QvGetImageInfoFunc getInfo, QvGetImageDataFunc getImage, void *reserved, ...) {
  auto &s = qvstandin::state();
  auto &r = s.registration;
  ++r.registerCalls;
  r.plugin = plugin;
  r.name = name != nullptr ? name : "";
  r.format = format;
  r.open = open;
  r.close = close;
  r.getInfo = getInfo;
  r.getImage = getImage;
  r.reserved = reserved;
  r.keyValues.clear();
  va_list args;
  va_start(args, reserved);
  for (int i = 0; i < kMaxKeyValues; ++i) {
    const char *key = va_arg(args, const char *); // NOLINT(clang-analyzer-valist.Uninitialized)
    if (key == nullptr) {
      break;
    }
    const char *value = va_arg(args, const char *);
    r.keyValues.emplace_back(key, value != nullptr ? value : "");
    if (value == nullptr) {
      break;
    }
  }
  va_end(args);
  r.importer = s.refuseRegistration ? nullptr : static_cast<QvImporter>(&r);
  return r.importer;
}

extern "C" QVAPI_HOST_FN int32_t qvSetReadImageGeoInfoFunc(QvPlugin plugin, QvImporter importer,
                                                           QvGetGeoInfoFunc geoInfo,
                                                           void *reserved) {
  auto &r = qvstandin::state().registration;
  ++r.geoInfoCalls;
  r.geoPlugin = plugin;
  r.geoImporter = importer;
  r.geoInfo = geoInfo;
  r.geoReserved = reserved;
  return 1;
}

extern "C" QVAPI_HOST_FN int32_t qvUnregisterAllTools(QvPlugin plugin) {
  auto &r = qvstandin::state().registration;
  ++r.unregisterCalls;
  r.unregisterPlugin = plugin;
  return 1;
}
