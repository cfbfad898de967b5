// Importer registration: remembers everything the plug-in passed.
#include <cstdarg>
#include <new>

#include "qvapilib/state.h"

namespace {

// A plug-in that forgets the terminating null must not run the host away.
constexpr int kMaxKeyValues = 64;

// Copies the name and the key-value pairs; throws std::bad_alloc.
void rememberTexts(qvstandin::Registration *r, const char *name, va_list args) {
  r->name = name != nullptr ? name : "";
  r->keyValues.clear();
  for (int i = 0; i < kMaxKeyValues; ++i) {
    const char *key = va_arg(args, const char *); // NOLINT(clang-analyzer-valist.Uninitialized)
    if (key == nullptr) {
      break;
    }
    const char *value = va_arg(args, const char *);
    r->keyValues.emplace_back(key, value != nullptr ? value : "");
    if (value == nullptr) {
      break;
    }
  }
}

} // namespace

// The importer, or null when told to refuse or when the texts cannot be
// kept (no memory).
extern "C" QVAPI_HOST_FN QvImporter qvRegisterImageImporter(
    QvPlugin plugin, const char *name, int32_t format, QvOpenImageFunc open, QvCloseImageFunc close,
    QvGetImageInfoFunc getInfo, QvGetImageDataFunc getImage, void *reserved, ...) noexcept {
  auto &s = qvstandin::state();
  auto &r = s.registration;
  ++r.registerCalls;
  r.plugin = plugin;
  r.format = format;
  r.open = open;
  r.close = close;
  r.getInfo = getInfo;
  r.getImage = getImage;
  r.reserved = reserved;
  bool kept = true;
  va_list args;
  va_start(args, reserved);
  try {
    rememberTexts(&r, name, args);
  } catch (const std::bad_alloc &) {
    kept = false;
  }
  va_end(args);
  r.importer = s.refuseRegistration || !kept ? nullptr : static_cast<QvImporter>(&r);
  return r.importer;
}

extern "C" QVAPI_HOST_FN int32_t qvSetReadImageGeoInfoFunc(QvPlugin plugin, QvImporter importer,
                                                           QvGetGeoInfoFunc geoInfo,
                                                           void *reserved) noexcept {
  auto &r = qvstandin::state().registration;
  ++r.geoInfoCalls;
  r.geoPlugin = plugin;
  r.geoImporter = importer;
  r.geoInfo = geoInfo;
  r.geoReserved = reserved;
  return 1;
}

extern "C" QVAPI_HOST_FN int32_t qvUnregisterAllTools(QvPlugin plugin) noexcept {
  auto &r = qvstandin::state().registration;
  ++r.unregisterCalls;
  r.unregisterPlugin = plugin;
  return 1;
}
