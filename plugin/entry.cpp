// What the host sees of the plug-in when it loads the library: four
// identification strings and the two entry points that register and
// unregister the importer. Nothing else runs at load or unload.
#include "host/qvapi.h"

#include "plugin/geo_info.h"
#include "plugin/get_image.h"
#include "plugin/get_info.h"
#include "plugin/open_close.h"

extern "C" {

// Pointer variables: the host reads the pointer behind each name.
QVAPI_PLUGIN_EXPORT const char *qvpVendor = "Quovis-Tarmel, Inc.";
QVAPI_PLUGIN_EXPORT const char *qvpIDString = "Elvarin";
QVAPI_PLUGIN_EXPORT const char *qvpUUIDString = "6f3b2c1e-8d4a-4e7b-9a51-2c0d7e4f9b13";
QVAPI_PLUGIN_EXPORT const char *qvpVersion = "3.2.0";

// Registers the importer and attaches its geo-info callback. Returns 1 when
// the host registered it, 0 when it did not. The geo-info callback is
// attached either way; the host decides what a null importer means. Further
// arguments a host passes are not used.
QVAPI_PLUGIN_EXPORT int32_t qvpInit(QvPlugin plugin) noexcept;

// Unregisters everything the plug-in registered. Files the host left open
// stay open.
QVAPI_PLUGIN_EXPORT void qvpExit(QvPlugin plugin) noexcept;

} // extern "C"

namespace {

// The importer's own name; the same text as qvpIDString, kept apart so the
// two can change independently.
constexpr const char *kImporterName = "Elvarin";
constexpr int32_t kImporterFormat = 65;
constexpr const char *kEndOfPairs = nullptr;

// The host is C: nothing the plug-in registers may let an exception out.
static_assert(noexcept(dedOpenImage(nullptr, nullptr, nullptr, nullptr, nullptr)));
static_assert(noexcept(dedCloseImage(nullptr, nullptr, 0)));
static_assert(noexcept(dedGetImageInfo(nullptr, nullptr, 0, nullptr)));
static_assert(noexcept(dedGetImageData(nullptr, nullptr, 0, nullptr, nullptr)));
static_assert(noexcept(dedGetGeoInfo(nullptr, nullptr, 0, nullptr)));

} // namespace

extern "C" int32_t qvpInit(QvPlugin plugin) noexcept {
  const QvImporter importer =
      qvRegisterImageImporter(plugin, kImporterName, kImporterFormat, dedOpenImage, dedCloseImage,
                              dedGetImageInfo, dedGetImageData, nullptr, "Version", "1.0", "Filter",
                              "*.ded", "FileType", "DED", kEndOfPairs);
  qvSetReadImageGeoInfoFunc(plugin, importer, dedGetGeoInfo, nullptr);
  return importer != nullptr ? 1 : 0;
}

extern "C" void qvpExit(QvPlugin plugin) noexcept { qvUnregisterAllTools(plugin); }
