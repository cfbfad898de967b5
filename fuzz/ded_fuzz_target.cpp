// One input is one DED file followed by four bytes that choose how the host
// behaves. The plug-in is driven only as a host drives it: qvpInit, the
// callbacks it registered, qvpExit. Beyond what the sanitizers catch, every
// status and every side effect is checked against what a host relies on; a
// violation prints the check and aborts, so libFuzzer keeps the input.
//
// The four control bytes, last byte of the input last (an input shorter than
// four bytes is all file, with every control bit clear):
//   calls  bit 0..2: skip get-info / geo-info / get-image
//          bit 3..5: their order (one of six)
//          bit 6:    get the pixels again, fault-free, and compare
//          bit 7:    close the file before the callbacks (stale handle)
//   refuse low nibble: get-info refuses its (n-1)-th setter call, 0 none
//          high nibble: geo-info likewise
//   alloc  bit 0..3: the n-th allocation after the probes fails, 0 none
//          bit 4:    zero-byte requests return null
//          bit 5:    open with mode "r" instead of "rb"
//          bit 6:    open the file a second time and compare its pixels
//          bit 7:    the host's row width is exactly the image width
//   host   bit 0:    get-image with a null pixel buffer
//          bit 1:    callbacks with handles that name no file
//          bit 2:    the host's row width is below the image width
//          bit 3:    the host refuses the registration
//          bit 4:    the file is rewritten in place after get-info told its
//                    size, and get-image fills a buffer of that size
//          bit 5..6: how: cut to half its length, emptied, its first
//                    cell's column count doubled, or every sample negated
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#if defined(_WIN32)
#include <process.h>
#define ELVARIN_FUZZ_PID _getpid
#else
#include <unistd.h>
#define ELVARIN_FUZZ_PID getpid
#endif
#include <vector>

#include "ded/records.h"
#include "host/qvapi.h"
#include "host/status.h"
#include "qvapilib/loader.h"
#include "qvapilib/stand_in.h"
#include "tests/support/reference_image.h"

extern "C" int32_t qvpInit(QvPlugin plugin) noexcept;
extern "C" void qvpExit(QvPlugin plugin);

namespace {

using qvstandin::ImageRecord;

constexpr size_t kControlBytes = 4;
constexpr int kSlots = 10;
constexpr uint8_t kCanary = 0xA5;

// This host's heap refuses single blocks above 256 KiB, so a hostile size
// gives -1 at once instead of a slow run (large sizes take no other path than
// small ones). For the same reason it asks for no image whose pixel buffer
// would exceed 1 MiB.
constexpr size_t kLargestBlock = size_t{256} << 10;
constexpr int64_t kLargestPixelBuffer = int64_t{1} << 20;

// What checkGetImage answers when the host did not ask for the pixels.
constexpr int32_t kNotAsked = 1;

constexpr int kGetInfoSetters = 8;
constexpr int kGeoInfoSettersUtm = 10;

[[noreturn]] void fail(const char *check, int line) {
  // On both streams: a fuzzing run closes the target's standard error.
  std::printf("ded fuzz check failed (line %d): %s\n", line, check);
  (void)std::fflush(stdout);
  (void)std::fprintf(stderr, "ded fuzz check failed (line %d): %s\n", line, check);
  std::abort();
}

#define FUZZ_CHECK(condition)                                                                      \
  do {                                                                                             \
    if (!(condition)) {                                                                            \
      fail(#condition, __LINE__);                                                                  \
    }                                                                                              \
  } while (false)

struct Plan {
  bool callInfo, callGeo, callImage;
  int order;
  bool imageAgain;
  bool closeFirst;
  int refuseInfo; // setter position to refuse, -1 none
  int refuseGeo;
  int failNth; // 0 none
  bool zeroIsNull;
  bool textMode;
  bool secondOpen;
  bool tightRows;
  bool nullPixels;
  bool badHandles;
  bool shortRows;
  bool refuseRegistration;
  bool changeFile;
  int change;
};

Plan planFrom(const uint8_t *control) {
  Plan plan{};
  plan.callInfo = (control[0] & 0x01) == 0;
  plan.callGeo = (control[0] & 0x02) == 0;
  plan.callImage = (control[0] & 0x04) == 0;
  plan.order = ((control[0] >> 3) & 0x07) % 6;
  plan.imageAgain = (control[0] & 0x40) != 0;
  plan.closeFirst = (control[0] & 0x80) != 0;
  plan.refuseInfo = (control[1] & 0x0f) - 1;
  plan.refuseGeo = (control[1] >> 4) - 1;
  plan.failNth = control[2] & 0x0f;
  plan.zeroIsNull = (control[2] & 0x10) != 0;
  plan.textMode = (control[2] & 0x20) != 0;
  plan.secondOpen = (control[2] & 0x40) != 0;
  plan.tightRows = (control[2] & 0x80) != 0;
  plan.nullPixels = (control[3] & 0x01) != 0;
  plan.badHandles = (control[3] & 0x02) != 0;
  plan.shortRows = (control[3] & 0x04) != 0;
  plan.refuseRegistration = (control[3] & 0x08) != 0;
  plan.changeFile = (control[3] & 0x10) != 0;
  plan.change = (control[3] >> 5) & 0x03;
  return plan;
}

// One fixed file per process, in memory-backed storage where there is some.
const std::string &scratchPath() {
  static const std::string path = [] {
    std::error_code error;
    const std::filesystem::path shm = "/dev/shm";
    const std::filesystem::path folder = std::filesystem::is_directory(shm, error)
                                             ? shm
                                             : std::filesystem::temp_directory_path(error);
    const std::string name = "elvarin-fuzz-" + std::to_string(ELVARIN_FUZZ_PID()) + ".ded";
    return (folder / name).string();
  }();
  return path;
}

// Gone already is fine.
void removeScratch() { (void)std::remove(scratchPath().c_str()); }

bool writeScratch(const uint8_t *data, size_t size) {
  std::FILE *out = std::fopen(scratchPath().c_str(), "wb");
  if (out == nullptr) {
    return false;
  }
  const bool written = size == 0 || std::fwrite(data, size, 1, out) == 1;
  return std::fclose(out) == 0 && written;
}

// The file's bytes after one of the four changes the plan chooses from.
std::vector<uint8_t> changed(const uint8_t *file, size_t size, int change) {
  std::vector<uint8_t> bytes(file, file + size);
  constexpr size_t kFirstColumnCount = 160 + 28;
  constexpr size_t kFirstSample = 200;
  if (change == 0) {
    bytes.resize(size / 2);
  } else if (change == 1) {
    bytes.clear();
  } else if (change == 2 && size >= kFirstColumnCount + 4) {
    ++bytes[kFirstColumnCount]; // the exponent's low bit: the float doubles
  } else if (change == 3) {
    for (size_t i = kFirstSample; i < size; ++i) {
      bytes[i] = static_cast<uint8_t>(~bytes[i]);
    }
  }
  return bytes;
}

bool isCallbackStatus(int32_t status) {
  return status == DED_OK || status == DED_ERR_NOMEM || status == DED_ERR_READ ||
         status == DED_ERR_BADARG;
}

bool sameCalls(const ImageRecord &a, const ImageRecord &b) {
  if (a.calls.size() != b.calls.size()) {
    return false;
  }
  for (size_t i = 0; i < a.calls.size(); ++i) {
    if (a.calls[i].name != b.calls[i].name || a.calls[i].args != b.calls[i].args) {
      return false;
    }
  }
  return true;
}

// The host's pixel buffer for one get-image call.
struct Pixels {
  std::vector<uint8_t> bytes;
  bool real = false;     // sized for the image; otherwise a token the call must not write
  bool tooLarge = false; // the host does not ask for this image
};

// What the clean get-info and geo-info calls said before any fault was armed.
struct Probe {
  int32_t info = DED_OK;
  int32_t geo = DED_OK;
  ImageRecord infoRecord;
  ImageRecord geoRecord;
  int32_t width = 0;
  int32_t height = 0;
  int32_t rowWidth = 0;
  bool hasReference = false;
  dedtest::ReferenceImage reference; // what get-image should deliver
};

Probe probe(int32_t handle) {
  Probe p;
  p.info = qvstandin::hostGetInfo(handle, &p.infoRecord);
  FUZZ_CHECK(isCallbackStatus(p.info));
  FUZZ_CHECK(qvstandin::outstandingBlocks() == 0);
  p.geo = qvstandin::hostGetGeoInfo(handle, &p.geoRecord);
  FUZZ_CHECK(isCallbackStatus(p.geo));
  FUZZ_CHECK(qvstandin::outstandingBlocks() == 0);
  // Both callbacks describe the same file the same way.
  FUZZ_CHECK(p.geo == p.info);
  if (p.info != DED_OK) {
    FUZZ_CHECK(p.infoRecord.calls.empty() && p.geoRecord.calls.empty());
    return p;
  }
  FUZZ_CHECK(p.infoRecord.calls.size() == kGetInfoSetters);
  FUZZ_CHECK(p.infoRecord.calls[0].name == "qvSetTextureWidth");
  FUZZ_CHECK(p.infoRecord.calls[1].name == "qvSetTextureHeight");
  p.width = static_cast<int32_t>(p.infoRecord.calls[0].args[0]);
  p.height = static_cast<int32_t>(p.infoRecord.calls[1].args[0]);
  FUZZ_CHECK(p.width >= 0 && p.height >= 0);
  FUZZ_CHECK(int64_t{p.width} * p.height * 2 <= INT32_MAX);
  const size_t geoCalls = p.geoRecord.calls.size();
  FUZZ_CHECK(geoCalls == kGeoInfoSettersUtm || geoCalls == kGeoInfoSettersUtm - 2);
  return p;
}

Pixels pixelsFor(const Probe &p) {
  Pixels pixels;
  const int64_t bytes = int64_t{p.rowWidth} * p.height;
  if (p.info == DED_OK && p.rowWidth >= p.width && bytes <= kLargestPixelBuffer) {
    pixels.bytes.assign(static_cast<size_t>(std::max<int64_t>(bytes, 1)), kCanary);
    pixels.real = true;
  } else {
    pixels.tooLarge = p.info == DED_OK && p.rowWidth >= p.width;
    pixels.bytes.assign(16, kCanary);
  }
  return pixels;
}

bool untouched(const Pixels &pixels) {
  return std::all_of(pixels.bytes.begin(), pixels.bytes.end(),
                     [](uint8_t b) { return b == kCanary; });
}

// Bytes between the end of a row's pixels and the next row stay the host's.
bool paddingUntouched(const Pixels &pixels, const Probe &p) {
  for (int64_t row = 0; row < p.height; ++row) {
    for (int64_t column = p.width; column < p.rowWidth; ++column) {
      if (pixels.bytes[static_cast<size_t>(row * p.rowWidth + column)] != kCanary) {
        return false;
      }
    }
  }
  return true;
}

// Which callbacks ran into the armed allocation failure.
struct Fault {
  int64_t at = 0; // allocationCount() value of the failing call, 0 none
  bool hitBy(int64_t before, int64_t after) const { return at != 0 && before < at && at <= after; }
};

void checkGetInfo(int32_t handle, const Plan &plan, const Probe &p, const Fault &fault,
                  bool stale) {
  ImageRecord record;
  record.refuseAt = plan.refuseInfo;
  const int64_t before = qvstandin::allocationCount();
  const int32_t status = qvstandin::hostGetInfo(handle, &record);
  const int64_t after = qvstandin::allocationCount();
  FUZZ_CHECK(isCallbackStatus(status));
  FUZZ_CHECK(qvstandin::outstandingBlocks() == 0);
  if (stale) {
    FUZZ_CHECK(status == DED_ERR_BADARG && record.calls.empty() && after == before);
  } else if (fault.hitBy(before, after)) {
    FUZZ_CHECK(status == DED_ERR_NOMEM && record.calls.empty());
  } else if (p.info != DED_OK) {
    FUZZ_CHECK(status == p.info && record.calls.empty());
  } else if (plan.refuseInfo >= 0 && plan.refuseInfo < kGetInfoSetters) {
    // The refused setter is the last one called.
    FUZZ_CHECK(status == DED_ERR_BADARG);
    FUZZ_CHECK(record.calls.size() == static_cast<size_t>(plan.refuseInfo) + 1);
    FUZZ_CHECK(record.calls.back().refused);
  } else {
    FUZZ_CHECK(status == DED_OK && sameCalls(record, p.infoRecord));
  }
}

void checkGeoInfo(int32_t handle, const Plan &plan, const Probe &p, const Fault &fault,
                  bool stale) {
  ImageRecord record;
  record.refuseAt = plan.refuseGeo;
  const int64_t before = qvstandin::allocationCount();
  const int32_t status = qvstandin::hostGetGeoInfo(handle, &record);
  const int64_t after = qvstandin::allocationCount();
  FUZZ_CHECK(isCallbackStatus(status));
  FUZZ_CHECK(qvstandin::outstandingBlocks() == 0);
  const int setters = static_cast<int>(p.geoRecord.calls.size());
  if (stale) {
    FUZZ_CHECK(status == DED_ERR_BADARG && record.calls.empty() && after == before);
  } else if (fault.hitBy(before, after)) {
    FUZZ_CHECK(status == DED_ERR_NOMEM && record.calls.empty());
  } else if (p.geo != DED_OK) {
    FUZZ_CHECK(status == p.geo && record.calls.empty());
  } else if (plan.refuseGeo >= 0 && plan.refuseGeo < setters) {
    FUZZ_CHECK(status == DED_ERR_BADARG);
    FUZZ_CHECK(record.calls.size() == static_cast<size_t>(plan.refuseGeo) + 1);
    FUZZ_CHECK(record.calls.back().refused);
  } else {
    FUZZ_CHECK(status == DED_OK && sameCalls(record, p.geoRecord));
  }
}

// Returns the call's status, or kNotAsked; pixels holds what it delivered.
int32_t checkGetImage(int32_t handle, const Plan &plan, const Probe &p, const Fault &fault,
                      bool stale, Pixels *pixels) {
  *pixels = pixelsFor(p);
  if (pixels->tooLarge && !stale && !plan.nullPixels) {
    return kNotAsked;
  }
  uint8_t *buffer = plan.nullPixels ? nullptr : pixels->bytes.data();
  const int64_t before = qvstandin::allocationCount();
  const int32_t status = qvstandin::hostGetImage(handle, buffer);
  const int64_t after = qvstandin::allocationCount();
  FUZZ_CHECK(isCallbackStatus(status));
  FUZZ_CHECK(qvstandin::outstandingBlocks() == 0);
  if (status != DED_OK) {
    FUZZ_CHECK(untouched(*pixels));
  }
  if (stale || plan.nullPixels) {
    FUZZ_CHECK(status == DED_ERR_BADARG && after == before);
  } else if (fault.hitBy(before, after)) {
    FUZZ_CHECK(status == DED_ERR_NOMEM);
  } else if (p.info != DED_OK) {
    FUZZ_CHECK(status == p.info);
  } else if (p.rowWidth < p.width) {
    FUZZ_CHECK(status == DED_ERR_BADARG || status == DED_ERR_NOMEM);
  } else if (status != DED_ERR_NOMEM && p.hasReference &&
             p.reference.status != dedtest::kNoReference) {
    // Out of memory is this small host's right; anything else is the file's.
    FUZZ_CHECK(status == p.reference.status);
    FUZZ_CHECK(status != DED_OK || pixels->bytes == p.reference.pixels);
  }
  if (status == DED_OK) {
    FUZZ_CHECK(pixels->real);
    FUZZ_CHECK(paddingUntouched(*pixels, p));
  }
  return status;
}

// Slot 1 is empty whenever this runs: the second open is closed by then.
void checkBadHandles() {
  const int32_t handles[] = {-1, 1, kSlots, INT32_MIN, INT32_MAX};
  for (const int32_t handle : handles) {
    ImageRecord info;
    ImageRecord geo;
    uint8_t pixels[8];
    std::memset(pixels, kCanary, sizeof pixels);
    const int64_t before = qvstandin::allocationCount();
    FUZZ_CHECK(qvstandin::hostGetInfo(handle, &info) == DED_ERR_BADARG);
    FUZZ_CHECK(qvstandin::hostGetGeoInfo(handle, &geo) == DED_ERR_BADARG);
    FUZZ_CHECK(qvstandin::hostGetImage(handle, pixels) == DED_ERR_BADARG);
    FUZZ_CHECK(qvstandin::hostClose(handle) == DED_ERR_BADARG);
    FUZZ_CHECK(qvstandin::allocationCount() == before);
    FUZZ_CHECK(info.calls.empty() && geo.calls.empty());
    FUZZ_CHECK(std::all_of(pixels, pixels + sizeof pixels, [](uint8_t b) { return b == kCanary; }));
  }
}

// The file rewritten in place after get-info told the host its size: a
// fresh handle says what the file describes as now, and get-image on the old
// handle must fill the buffer the host sized from the old answer with the
// new file's pixels, or refuse a new size with -8 and leave it alone.
void checkChangedFile(int32_t handle, const Plan &plan, const Probe &p, const uint8_t *file,
                      size_t fileSize) {
  const std::vector<uint8_t> bytes = changed(file, fileSize, plan.change);
  FUZZ_CHECK(writeScratch(bytes.data(), bytes.size()));
  int32_t fresh = -1;
  const int32_t opened = qvstandin::hostOpen(scratchPath().c_str(), "rb", &fresh);
  Probe now;
  if (opened == DED_OK) {
    now = probe(fresh);
    FUZZ_CHECK(qvstandin::hostClose(fresh) == DED_OK);
  }
  Pixels pixels = pixelsFor(p);
  if (pixels.tooLarge) {
    return;
  }
  const int32_t status = qvstandin::hostGetImage(handle, pixels.bytes.data());
  FUZZ_CHECK(isCallbackStatus(status));
  FUZZ_CHECK(qvstandin::outstandingBlocks() == 0);
  if (status != DED_OK) {
    FUZZ_CHECK(untouched(pixels));
  }
  if (opened != DED_OK) {
    // No magic any more: nothing to describe (a read failure), or a header
    // that is no DED file's.
    FUZZ_CHECK(status != DED_OK || bytes.size() >= 8);
  } else if (now.info != DED_OK) {
    FUZZ_CHECK(status == now.info || status == DED_ERR_NOMEM);
  } else if (now.width != p.width || now.height != p.height) {
    FUZZ_CHECK(status == DED_ERR_BADARG);
  } else if (status != DED_ERR_NOMEM && pixels.real) {
    const dedtest::ReferenceImage reference =
        dedtest::referenceImage(bytes.data(), bytes.size(), p.width, p.height, p.rowWidth, kCanary);
    if (reference.status != dedtest::kNoReference) {
      FUZZ_CHECK(status == reference.status);
      FUZZ_CHECK(status != DED_OK || pixels.bytes == reference.pixels);
    }
  }
}

constexpr char kOrders[6][3] = {{'i', 'g', 'p'}, {'i', 'p', 'g'}, {'g', 'i', 'p'},
                                {'g', 'p', 'i'}, {'p', 'i', 'g'}, {'p', 'g', 'i'}};

void drive(const uint8_t *file, size_t fileSize, const Plan &plan) {
  const int32_t initResult = qvpInit(qvstandin::pluginHandle());
  FUZZ_CHECK(initResult == (plan.refuseRegistration ? 0 : 1));
  // Not the plug-in's fault, but an input that was never tried must not pass.
  FUZZ_CHECK(writeScratch(file, fileSize));
  const char *path = scratchPath().c_str();
  const char *mode = plan.textMode ? "r" : "rb";

  const bool isDed = fileSize >= DED_MAGIC_OFFSET + sizeof DED_MAGIC &&
                     std::memcmp(file + DED_MAGIC_OFFSET, DED_MAGIC, sizeof DED_MAGIC) == 0;
  int32_t handle = -1;
  const int32_t opened = qvstandin::hostOpen(path, mode, &handle);
  FUZZ_CHECK(opened == (isDed ? DED_OK : DED_ERR_FORMAT));
  FUZZ_CHECK(qvstandin::outstandingBlocks() == 0);
  if (opened != DED_OK) {
    FUZZ_CHECK(handle == -1);
    FUZZ_CHECK(qvstandin::hostClose(0) == DED_ERR_BADARG);
    return;
  }
  FUZZ_CHECK(handle == 0); // the lowest free slot of an empty table

  int32_t second = -1;
  if (plan.secondOpen) {
    FUZZ_CHECK(qvstandin::hostOpen(path, "rb", &second) == DED_OK);
    FUZZ_CHECK(second == 1);
  }

  Probe p = probe(handle);
  if (p.info == DED_OK) {
    int32_t rowWidth = qvstandin::rowWidthFor(p.width);
    if (plan.shortRows && p.width > 0) {
      rowWidth = p.width - 1;
    } else if (plan.tightRows) {
      rowWidth = p.width;
    }
    qvstandin::overrideRowWidth(rowWidth);
    p.rowWidth = rowWidth;
    if (rowWidth >= p.width && int64_t{rowWidth} * p.height <= kLargestPixelBuffer) {
      p.reference = dedtest::referenceImage(file, fileSize, p.width, p.height, rowWidth, kCanary);
      p.hasReference = true;
    }
  }
  qvstandin::zeroSizeReturnsNull(plan.zeroIsNull);

  if (plan.changeFile && p.info == DED_OK && !plan.closeFirst) {
    checkChangedFile(handle, plan, p, file, fileSize);
    if (second >= 0) {
      FUZZ_CHECK(qvstandin::hostClose(second) == DED_OK);
    }
    FUZZ_CHECK(qvstandin::hostClose(handle) == DED_OK);
    return;
  }

  Fault fault;
  if (plan.failNth > 0) {
    fault.at = qvstandin::allocationCount() + plan.failNth;
    qvstandin::failAllocation(plan.failNth);
  }
  if (plan.closeFirst) {
    FUZZ_CHECK(qvstandin::hostClose(handle) == DED_OK);
  }

  Pixels first;
  int32_t firstStatus = DED_ERR_BADARG;
  for (const char call : kOrders[plan.order]) {
    if (call == 'i' && plan.callInfo) {
      checkGetInfo(handle, plan, p, fault, plan.closeFirst);
    } else if (call == 'g' && plan.callGeo) {
      checkGeoInfo(handle, plan, p, fault, plan.closeFirst);
    } else if (call == 'p' && plan.callImage) {
      firstStatus = checkGetImage(handle, plan, p, fault, plan.closeFirst, &first);
    }
  }

  // The same file gives the same pixels, whichever handle and whenever asked.
  qvstandin::failAllocation(0);
  Plan clean = plan;
  clean.nullPixels = false;
  const Fault none;
  if (plan.imageAgain && !plan.closeFirst) {
    Pixels again;
    const int32_t status = checkGetImage(handle, clean, p, none, false, &again);
    if (status == DED_OK && firstStatus == DED_OK) {
      FUZZ_CHECK(again.bytes == first.bytes);
    }
    if (firstStatus == DED_OK) {
      FUZZ_CHECK(status == DED_OK);
    }
  }
  if (second >= 0) {
    Pixels other;
    const int32_t status = checkGetImage(second, clean, p, none, false, &other);
    if (status == DED_OK && firstStatus == DED_OK) {
      FUZZ_CHECK(other.bytes == first.bytes);
    }
    FUZZ_CHECK(qvstandin::hostClose(second) == DED_OK);
  }

  if (plan.badHandles) {
    checkBadHandles();
  }
  FUZZ_CHECK(qvstandin::hostClose(handle) == (plan.closeFirst ? DED_ERR_BADARG : DED_OK));
  FUZZ_CHECK(qvstandin::hostClose(handle) == DED_ERR_BADARG);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static const uint8_t kNoControl[kControlBytes] = {0, 0, 0, 0};
  const uint8_t *control = kNoControl;
  size_t fileSize = size;
  if (size >= kControlBytes) {
    fileSize = size - kControlBytes;
    control = data + fileSize;
  }
  const Plan plan = planFrom(control);

  qvstandin::reset();
  qvstandin::refuseBlocksOver(kLargestBlock);
  qvstandin::refuseRegistration(plan.refuseRegistration);
  drive(data, fileSize, plan);
  removeScratch(); // libFuzzer may end the process without running exit handlers
  FUZZ_CHECK(qvstandin::openStreams() == 0);
  FUZZ_CHECK(qvstandin::outstandingBlocks() == 0);
  FUZZ_CHECK(qvstandin::foreignFrees() == 0);
  qvpExit(qvstandin::pluginHandle());
  FUZZ_CHECK(qvstandin::registration().unregisterCalls == 1);
  qvstandin::reset();
  return 0;
}
