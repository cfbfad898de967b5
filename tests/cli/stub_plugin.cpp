// A plug-in that imports as Elvarin does, except that its close fails once
// the pixels have been delivered, and that it leaves a last message without
// its line break when it is unloaded: what the host does after get-image.
// With ELVARIN_STUB_HEIGHT set, get-info reports that height instead.
#include <cstdio>
#include <cstdlib>

#include "host/qvapi.h"
#include "host/status.h"
#include "plugin/geo_info.h"
#include "plugin/get_image.h"
#include "plugin/get_info.h"
#include "plugin/open_close.h"

extern "C" {

QVAPI_PLUGIN_EXPORT const char *qvpVendor = "Elvarin tests";
QVAPI_PLUGIN_EXPORT const char *qvpIDString = "Closes badly";
QVAPI_PLUGIN_EXPORT const char *qvpUUIDString = "00000000-0000-4000-8000-000000000001";
QVAPI_PLUGIN_EXPORT const char *qvpVersion = "1.0";

} // extern "C"

namespace {

bool delivered = false; // get-image succeeded since the last close

int32_t getImage(void *host0, void *host1, int32_t handle, void *unused, uint8_t *pixels) {
  const int32_t status = dedGetImageData(host0, host1, handle, unused, pixels);
  delivered = status == DED_OK;
  return status;
}

int32_t getInfo(void *host0, void *host1, int32_t handle, QvImageRec image) {
  const int32_t status = dedGetImageInfo(host0, host1, handle, image);
  const char *height = std::getenv("ELVARIN_STUB_HEIGHT");
  if (status == DED_OK && height != nullptr) {
    (void)qvSetTextureHeight(image, std::atoi(height));
  }
  return status;
}

int32_t closeImage(void *host0, void *host1, int32_t handle) {
  const int32_t status = dedCloseImage(host0, host1, handle);
  const bool fail = delivered;
  delivered = false;
  return fail ? DED_ERR_READ : status;
}

} // namespace

extern "C" QVAPI_PLUGIN_EXPORT int32_t qvpInit(QvPlugin plugin) {
  const QvImporter importer =
      qvRegisterImageImporter(plugin, "Closes badly", 65, dedOpenImage, closeImage, getInfo,
                              getImage, nullptr, "Filter", "*.ded", nullptr);
  qvSetReadImageGeoInfoFunc(plugin, importer, dedGetGeoInfo, nullptr);
  return importer != nullptr ? 1 : 0;
}

extern "C" QVAPI_PLUGIN_EXPORT void qvpExit(QvPlugin plugin) {
  (void)std::fputs("closes-badly: unloaded", stderr);
  (void)qvUnregisterAllTools(plugin);
}
