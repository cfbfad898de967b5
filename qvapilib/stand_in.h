// The stand-in host library's instruments, for tests and the command-line
// host: what the plug-in registered and set, and switches that make the host
// refuse a setter or run out of memory. C++ only; the plug-in never sees it.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "host/qvapi.h"

#if defined(_WIN32)
#if defined(QVAPI_BUILDING_HOST)
#define QVSTANDIN_API __declspec(dllexport)
#else
#define QVSTANDIN_API __declspec(dllimport)
#endif
#else
#define QVSTANDIN_API __attribute__((visibility("default")))
#endif

namespace qvstandin {

// One setter call on an image record. Every argument after the record is
// kept as a double, which holds each int32, float and double exactly; a
// control point's arguments are index, image x, image y, file x, file y.
struct SetterCall {
  std::string name;
  std::vector<double> args;
  bool refused = false;
};

// What the host passes as QvImageRec: remembers every setter call in order.
struct ImageRecord {
  std::vector<SetterCall> calls;
  int refuseAt = -1;      // position (0-based) among this record's calls to refuse
  std::string refuseName; // refuse every call of the setter with this name
};

// What the plug-in registered.
struct Registration {
  int registerCalls = 0;
  QvPlugin plugin = nullptr;
  std::string name;
  int32_t format = 0;
  QvOpenImageFunc open = nullptr;
  QvCloseImageFunc close = nullptr;
  QvGetImageInfoFunc getInfo = nullptr;
  QvGetImageDataFunc getImage = nullptr;
  void *reserved = nullptr;
  std::vector<std::pair<std::string, std::string>> keyValues;
  QvImporter importer = nullptr; // what registration returned

  int geoInfoCalls = 0;
  QvPlugin geoPlugin = nullptr;
  QvImporter geoImporter = nullptr;
  QvGetGeoInfoFunc geoInfo = nullptr;
  void *geoReserved = nullptr;

  int unregisterCalls = 0;
  QvPlugin unregisterPlugin = nullptr;
};

// Back to a fresh host: no registration, no switches, counters at zero.
// Outstanding blocks are forgotten too, so check them before resetting.
QVSTANDIN_API void reset();

QVSTANDIN_API const Registration &registration();
// Makes the next registrations return a null importer handle.
QVSTANDIN_API void refuseRegistration(bool refuse);

// Memory: blocks handed out by qvMalloc and not yet freed.
QVSTANDIN_API int64_t outstandingBlocks();
// qvMalloc calls since the last reset, failed ones included.
QVSTANDIN_API int64_t allocationCount();
// qvFree calls with a pointer qvMalloc did not hand out (or freed twice).
QVSTANDIN_API int64_t foreignFrees();
// Sizes requested by every qvMalloc call since the last reset, in order.
QVSTANDIN_API std::vector<size_t> allocationSizes();
// The n-th qvMalloc call from now (1-based) returns null; 0 switches off.
QVSTANDIN_API void failAllocation(int64_t n);
// Every qvMalloc call from now returns null (until reset).
QVSTANDIN_API void failAllAllocations(bool fail);
// Whether a request for zero bytes returns null (default: a unique block).
QVSTANDIN_API void zeroSizeReturnsNull(bool returnsNull);
// Requests above this many bytes return null, as a 32-bit host's heap runs
// out long before 2 GiB; 0 lifts the limit (the default).
QVSTANDIN_API void refuseBlocksOver(size_t bytes);

// Row width: by default the width rounded up to a multiple of 4. An override
// of 0 or more is returned as it is; -1 goes back to the default.
QVSTANDIN_API void overrideRowWidth(int32_t rowWidth);
QVSTANDIN_API int rowWidthCalls();
// Arguments of the last qvGetImageRowWidth call: width, bits per sample, texture type.
QVSTANDIN_API std::vector<int32_t> lastRowWidthArgs();

// The row width the host uses for an image of this width.
QVSTANDIN_API int32_t rowWidthFor(int32_t width);

} // namespace qvstandin
