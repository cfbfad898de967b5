/* The binary interface between the host application and an importer
 * plug-in: the host library's functions the plug-in calls, the callback
 * shapes the host calls, and the plug-in's exported entry points.
 * C linkage and the platform's default C calling convention throughout. */
#ifndef ELVARIN_HOST_QVAPI_H
#define ELVARIN_HOST_QVAPI_H

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32)
#if defined(QVAPI_BUILDING_HOST)
#define QVAPI_HOST_FN __declspec(dllexport)
#else
#define QVAPI_HOST_FN __declspec(dllimport)
#endif
#define QVAPI_PLUGIN_EXPORT __declspec(dllexport)
#else
#define QVAPI_HOST_FN __attribute__((visibility("default")))
#define QVAPI_PLUGIN_EXPORT __attribute__((visibility("default")))
#endif

/* The host's functions never throw: an exception cannot cross into the
 * plug-in, whose callers are C. */
#ifdef __cplusplus
#define QVAPI_NOTHROW noexcept
#else
#define QVAPI_NOTHROW
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Opaque values owned by the host. */
typedef void *QvPlugin;   /* passed to qvpInit / qvpExit */
typedef void *QvImporter; /* what registration returns; null when nothing was registered */
typedef void *QvImageRec; /* the host's image record, passed through to every setter */

/* Callbacks the host calls; the two leading pointers belong to the host. */
typedef int32_t (*QvOpenImageFunc)(void *host0, void *host1, const char *path, const char *mode,
                                   int32_t *handle);
typedef int32_t (*QvCloseImageFunc)(void *host0, void *host1, int32_t handle);
typedef int32_t (*QvGetImageInfoFunc)(void *host0, void *host1, int32_t handle, QvImageRec image);
typedef int32_t (*QvGetImageDataFunc)(void *host0, void *host1, int32_t handle, void *unused,
                                      uint8_t *pixels);
typedef int32_t (*QvGetGeoInfoFunc)(void *host0, void *host1, int32_t handle, QvImageRec image);

/* Registration. The variadic part is const char * key, value, ..., then a null pointer. */
QVAPI_HOST_FN QvImporter qvRegisterImageImporter(QvPlugin plugin, const char *name, int32_t format,
                                                 QvOpenImageFunc open, QvCloseImageFunc close,
                                                 QvGetImageInfoFunc getInfo,
                                                 QvGetImageDataFunc getImage, void *reserved,
                                                 ...) QVAPI_NOTHROW;
QVAPI_HOST_FN int32_t qvSetReadImageGeoInfoFunc(QvPlugin plugin, QvImporter importer,
                                                QvGetGeoInfoFunc geoInfo,
                                                void *reserved) QVAPI_NOTHROW;
QVAPI_HOST_FN int32_t qvUnregisterAllTools(QvPlugin plugin) QVAPI_NOTHROW;

/* Memory. */
QVAPI_HOST_FN void *qvMalloc(size_t bytes) QVAPI_NOTHROW;
QVAPI_HOST_FN void qvFree(void *block) QVAPI_NOTHROW;

/* Bytes from one pixel row of the host's buffer to the next, at least width. */
QVAPI_HOST_FN int32_t qvGetImageRowWidth(int32_t width, int32_t bitsPerSample, int32_t textureType,
                                         int32_t *extra) QVAPI_NOTHROW;

/* Texture attribute setters: non-zero on success. */
QVAPI_HOST_FN int32_t qvSetTextureWidth(QvImageRec image, int32_t value) QVAPI_NOTHROW;
QVAPI_HOST_FN int32_t qvSetTextureHeight(QvImageRec image, int32_t value) QVAPI_NOTHROW;
QVAPI_HOST_FN int32_t qvSetTextureType(QvImageRec image, int32_t value) QVAPI_NOTHROW;
QVAPI_HOST_FN int32_t qvSetTextureSampleSize(QvImageRec image, int32_t value) QVAPI_NOTHROW;
QVAPI_HOST_FN int32_t qvSetTextureTransparentValue(QvImageRec image, int32_t value) QVAPI_NOTHROW;
QVAPI_HOST_FN int32_t qvSetTextureTiledFlag(QvImageRec image, int32_t value) QVAPI_NOTHROW;
QVAPI_HOST_FN int32_t qvSetTextureSignedFlag(QvImageRec image, int32_t value) QVAPI_NOTHROW;
QVAPI_HOST_FN int32_t qvSetTextureMinMax(QvImageRec image, float min, float max) QVAPI_NOTHROW;

/* Geo-reference setters: non-zero on success. */
QVAPI_HOST_FN int32_t qvSetTextureGeoType(QvImageRec image, int32_t value) QVAPI_NOTHROW;
QVAPI_HOST_FN int32_t qvSetTextureGeoImageOrigin(QvImageRec image, int32_t value) QVAPI_NOTHROW;
QVAPI_HOST_FN int32_t qvSetTextureGeoProjection(QvImageRec image, int32_t value) QVAPI_NOTHROW;
QVAPI_HOST_FN int32_t qvSetTextureGeoEarthModel(QvImageRec image, int32_t value) QVAPI_NOTHROW;
QVAPI_HOST_FN int32_t qvSetTextureGeoUTMZone(QvImageRec image, int32_t value) QVAPI_NOTHROW;
QVAPI_HOST_FN int32_t qvSetTextureGeoUTMHemisphere(QvImageRec image, int32_t value) QVAPI_NOTHROW;
QVAPI_HOST_FN int32_t qvSetTextureGeoNumCtlPts(QvImageRec image, int32_t value) QVAPI_NOTHROW;
QVAPI_HOST_FN int32_t qvSetTextureGeoCtlPt(QvImageRec image, int32_t index, double imageX,
                                           double imageY, double fileX, double fileY) QVAPI_NOTHROW;

/* What a plug-in library exports, and nothing else. */
typedef int32_t (*QvpInitFunc)(QvPlugin plugin);
typedef void (*QvpExitFunc)(QvPlugin plugin);

#ifdef __cplusplus
}
#endif

#endif
