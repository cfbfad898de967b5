// elvarin.dll loaded and called as a 32-bit Windows host calls it: with the
// stack 4 bytes off a 16-byte boundary and the x87 unit at any precision, the
// import gives the same statuses, setter values and pixels as a plain call;
// and the plug-in writes its messages to the host's own C runtime.
#include <windows.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host/status.h"
#include "qvapilib/loader.h"
#include "qvapilib/stand_in.h"
#include "tests/support/ded_writer.h"
#include "tests/windows/stack_offset.h"

namespace {

using wintest::anyFunction;
using wintest::callAtStackOffset;
using wintest::slot;

// x87 control word: bits 8-9 choose 24-, 53- or 64-bit significands.
constexpr uint16_t kPrecisionMask = 0x0300;
constexpr uint16_t kPrecision24 = 0x0000;
constexpr uint16_t kPrecision53 = 0x0200;
constexpr uint16_t kPrecision64 = 0x0300;

uint16_t x87Control() {
  uint16_t word = 0;
  asm volatile("fnstcw %0" : "=m"(word));
  return word;
}
void setX87Control(uint16_t word) { asm volatile("fldcw %0" : : "m"(word)); }

// Every setter call with its arguments in hexadecimal floating point, so that
// two records compare equal only when every value is bit for bit the same.
std::string describeCalls(const qvstandin::ImageRecord &record) {
  std::string text;
  for (const auto &call : record.calls) {
    text += call.name + "(";
    for (double arg : call.args) {
      char number[64];
      std::snprintf(number, sizeof number, " %a", arg);
      text += number;
    }
    text += call.refused ? " ) refused\n" : " )\n";
  }
  return text;
}

struct Outcome {
  std::vector<int32_t> statuses; // init, open, get-info, geo-info, get-image, close
  std::string info;
  std::string geo;
  std::vector<uint8_t> pixels;
  int64_t outstandingBlocks = 0;
};

int32_t widthSet(const qvstandin::ImageRecord &record, const char *setter) {
  for (const auto &call : record.calls) {
    if (call.name == setter && !call.args.empty()) {
      return static_cast<int32_t>(call.args[0]);
    }
  }
  return 0;
}

class PluginCalls : public ::testing::Test {
protected:
  void SetUp() override {
    library = LoadLibraryA("elvarin.dll");
    ASSERT_NE(library, nullptr) << "LoadLibrary(elvarin.dll): error " << GetLastError();
    pluginInit = reinterpret_cast<QvpInitFunc>(symbol("qvpInit"));
    pluginExit = reinterpret_cast<QvpExitFunc>(symbol("qvpExit"));
    ASSERT_NE(pluginInit, nullptr);
    ASSERT_NE(pluginExit, nullptr);
  }
  // GetProcAddress's untyped function pointer, to be cast to the export's type.
  void *symbol(const char *name) const {
    return reinterpret_cast<void *>(GetProcAddress(library, name));
  }
  void TearDown() override {
    if (library != nullptr) {
      FreeLibrary(library);
    }
    qvstandin::reset();
  }

  // One whole import of path, every call into the plug-in made with the stack
  // offset bytes past a 16-byte boundary and the given x87 precision.
  Outcome import(const std::string &path, uint32_t offset, uint16_t precision) {
    qvstandin::reset();
    Outcome out;
    const uint16_t saved = x87Control();
    setX87Control(static_cast<uint16_t>((saved & ~kPrecisionMask) | precision));
    auto call = [&](auto *fn, std::initializer_list<uint32_t> args) {
      return static_cast<int32_t>(callAtStackOffset(anyFunction(fn), args, offset));
    };
    void *host0 = &out;
    void *host1 = nullptr;
    const QvPlugin plugin = qvstandin::pluginHandle();
    out.statuses.push_back(call(pluginInit, {slot(plugin)}));
    const qvstandin::Registration &r = qvstandin::registration();
    int32_t handle = -1;
    qvstandin::ImageRecord info;
    qvstandin::ImageRecord geo;
    if (r.open != nullptr && r.close != nullptr && r.getInfo != nullptr && r.getImage != nullptr &&
        r.geoInfo != nullptr) {
      out.statuses.push_back(
          call(r.open, {slot(host0), slot(host1), slot(path.c_str()), slot("rb"), slot(&handle)}));
      out.statuses.push_back(
          call(r.getInfo, {slot(host0), slot(host1), slot(handle), slot(&info)}));
      out.statuses.push_back(call(r.geoInfo, {slot(host0), slot(host1), slot(handle), slot(&geo)}));
      const int32_t width = widthSet(info, "qvSetTextureWidth");
      const int32_t height = widthSet(info, "qvSetTextureHeight");
      out.pixels.assign(
          static_cast<size_t>(qvstandin::rowWidthFor(width)) * static_cast<size_t>(height), 0xEE);
      out.statuses.push_back(
          call(r.getImage, {slot(host0), slot(host1), slot(handle),
                            slot(static_cast<void *>(nullptr)), slot(out.pixels.data())}));
      out.statuses.push_back(call(r.close, {slot(host0), slot(host1), slot(handle)}));
    }
    call(pluginExit, {slot(plugin)});
    setX87Control(saved);
    out.info = describeCalls(info);
    out.geo = describeCalls(geo);
    out.outstandingBlocks = qvstandin::outstandingBlocks();
    return out;
  }

  HMODULE library = nullptr;
  QvpInitFunc pluginInit = nullptr;
  QvpExitFunc pluginExit = nullptr;
  dedtest::TempDir dir;
};

// Two abutting geographic cells with an elevation range whose grey levels fall
// between whole numbers, and a UTM file whose control points need doubles.
std::vector<std::pair<std::string, dedtest::File>> sampleFiles() {
  const auto ramp = [](int c, int r) { return static_cast<int16_t>(c * 97 - r * 61 + 13); };
  dedtest::File mosaic;
  mosaic.cellCount = 2;
  mosaic.minElevation = -1234;
  mosaic.maxElevation = 3210;
  mosaic.cells.push_back(dedtest::geographicCell(10.0, 45.0, 33, 21, 300.0f, ramp));
  mosaic.cells.push_back(dedtest::geographicCell(10.0 + 33.0 / 120.0, 45.0, 30, 21, 300.0f,
                                                 [&](int c, int r) { return ramp(c + 33, r); }));
  dedtest::File utm = dedtest::utmFile("33", 'N', 41, 27, ramp);
  utm.minElevation = -7;
  utm.maxElevation = 2999;
  return {{"mosaic.ded", mosaic}, {"utm.ded", utm}};
}

TEST_F(PluginCalls, MisalignedStackAndAnyX87PrecisionGiveTheSameImage) {
  for (const auto &[name, file] : sampleFiles()) {
    SCOPED_TRACE(name);
    const std::string path = dir.write(name, dedtest::encode(file));
    const Outcome plain = import(path, 0, kPrecision53);
    ASSERT_EQ(plain.statuses, (std::vector<int32_t>{1, DED_OK, DED_OK, DED_OK, DED_OK, DED_OK}));
    ASSERT_FALSE(plain.pixels.empty());
    EXPECT_EQ(plain.outstandingBlocks, 0);
    for (uint32_t offset : {4u, 12u}) {
      for (uint16_t precision : {kPrecision24, kPrecision53, kPrecision64}) {
        SCOPED_TRACE(testing::Message()
                     << "stack offset " << offset << ", x87 precision " << (precision >> 8));
        const Outcome odd = import(path, offset, precision);
        EXPECT_EQ(odd.statuses, plain.statuses);
        EXPECT_EQ(odd.info, plain.info);
        EXPECT_EQ(odd.geo, plain.geo);
        EXPECT_TRUE(odd.pixels == plain.pixels);
        EXPECT_EQ(odd.outstandingBlocks, 0);
      }
    }
  }
}

// The plug-in's perror goes to the host's stderr: both use msvcrt.dll, so a
// capture of the host's file descriptor 2 sees it, and the text after the
// colon is this C runtime's own strerror for the error number both share
// (EIO for a record the end of the file cut short).
TEST_F(PluginCalls, ReadMessagesReachTheHostsStandardError) {
  const std::vector<uint8_t> bytes = {0, 0, 0, 1, 'K', 'V', 'T', 'R', 0, 0}; // header cut short
  const std::string path = dir.write("short.ded", bytes);
  ASSERT_EQ(pluginInit(qvstandin::pluginHandle()), 1);
  int32_t handle = -1;
  ASSERT_EQ(qvstandin::hostOpen(path.c_str(), "rb", &handle), DED_OK);
  qvstandin::ImageRecord record;
  testing::internal::CaptureStderr();
  errno = 0;
  const int32_t status = qvstandin::hostGetInfo(handle, &record);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(status, DED_ERR_READ);
  EXPECT_EQ(err, std::string("Reading ded file header: ") + std::strerror(EIO) + "\n");
  EXPECT_EQ(qvstandin::hostClose(handle), DED_OK);
  pluginExit(qvstandin::pluginHandle());
}

} // namespace
