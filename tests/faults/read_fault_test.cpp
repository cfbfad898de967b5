// Every read the plug-in makes fails, or comes back short, in turn: each
// callback answers with its own code, a short read of samples is still one
// read whose missing samples are 0, the host's buffer is untouched wherever
// the failure was the file's to decide, and nothing is left allocated or
// open. The test binary is linked with --wrap=fread, so every fread of the
// plug-in's code comes through readThroughFault below.
#include <gtest/gtest.h>

#include <cstdio>

#include "host/status.h"
#include "plugin/geo_info.h"
#include "plugin/get_image.h"
#include "plugin/get_info.h"
#include "plugin/open_close.h"
#include "qvapilib/stand_in.h"
#include "tests/support/host_fixture.h"
#include "tests/support/reference_image.h"

extern "C" size_t __real_fread(void *ptr, size_t size, size_t count, std::FILE *stream);

namespace {

// Fail gives nothing, Shorten half, Error half and then sets the stream's
// error indicator as a read the system fails does.
enum class Fault { None, Fail, Shorten, Error };

// One read as the plug-in asked for it and as it went.
struct Read {
  int phase;
  long position;
  size_t size;
  size_t wanted;
  size_t got;
};

struct FaultState {
  bool armed = false; // only the plug-in's reads are counted
  int phase = 0;
  Fault fault = Fault::None;
  size_t target = 0; // 1-based
  std::vector<Read> reads;
} state;

} // namespace

extern "C" size_t __wrap_fread(void *ptr, size_t size, size_t count, std::FILE *stream) {
  if (!state.armed) {
    return __real_fread(ptr, size, count, stream);
  }
  const long position = std::ftell(stream);
  size_t got = 0;
  const bool hit = state.reads.size() + 1 == state.target;
  if (hit && (state.fault == Fault::Shorten || state.fault == Fault::Error)) {
    got = __real_fread(ptr, size, count / 2, stream);
    if (state.fault == Fault::Error) {
      stream->_flags |= _IO_ERR_SEEN; // glibc's error indicator
    }
  } else if (!hit || state.fault == Fault::None) {
    got = __real_fread(ptr, size, count, stream);
  }
  state.reads.push_back({state.phase, position, size, count, got});
  return got;
}

namespace {

constexpr uint8_t kCanary = 0xA5;
enum Phase { kOpen, kGetInfo, kGeoInfo, kGetImage };

int16_t ramp(int column, int row) { return static_cast<int16_t>(1 + (column * 7 + row * 3) % 250); }

struct Outcome {
  int32_t status[4] = {};
  std::vector<uint8_t> pixels;
};

class ReadFaults : public dedtest::HostTest {
protected:
  // One import with the target-th read faulted; width and height size the
  // host's buffer as the whole file's get-info told them.
  Outcome run(const std::string &path, Fault fault, size_t target, int32_t width, int32_t height) {
    Outcome out;
    state = FaultState{true, kOpen, fault, target, {}};
    int32_t handle = -1;
    out.status[kOpen] = dedOpenImage(nullptr, nullptr, path.c_str(), "rb", &handle);
    if (out.status[kOpen] == DED_OK) {
      qvstandin::ImageRecord info;
      qvstandin::ImageRecord geo;
      state.phase = kGetInfo;
      out.status[kGetInfo] = dedGetImageInfo(nullptr, nullptr, handle, &info);
      state.phase = kGeoInfo;
      out.status[kGeoInfo] = dedGetGeoInfo(nullptr, nullptr, handle, &geo);
      state.phase = kGetImage;
      out.pixels.assign(bufferBytes(width, height), kCanary);
      out.status[kGetImage] = dedGetImageData(nullptr, nullptr, handle, nullptr, out.pixels.data());
      EXPECT_EQ(dedCloseImage(nullptr, nullptr, handle), DED_OK);
    }
    state.armed = false;
    return out;
  }

  void toldSize(const std::string &path, int32_t *width, int32_t *height) {
    const int32_t handle = openOrFail(path);
    qvstandin::ImageRecord info;
    ASSERT_EQ(dedGetImageInfo(nullptr, nullptr, handle, &info), DED_OK);
    ASSERT_EQ(dedCloseImage(nullptr, nullptr, handle), DED_OK);
    *width = static_cast<int32_t>(info.calls[0].args[0]);
    *height = static_cast<int32_t>(info.calls[1].args[0]);
  }

  static size_t bufferBytes(int32_t width, int32_t height) {
    return static_cast<size_t>(qvstandin::rowWidthFor(width)) * static_cast<size_t>(height) + 16;
  }

  // Every read of an import of file faulted in turn, both ways.
  void sweep(const dedtest::File &file) {
    const std::vector<uint8_t> bytes = dedtest::encode(file);
    const std::string path = dir.write("faulted.ded", bytes);
    int32_t width = 0;
    int32_t height = 0;
    toldSize(path, &width, &height);
    const bool mosaic = file.cellCount > 1;
    const Outcome whole = run(path, Fault::None, 0, width, height);
    const size_t reads = state.reads.size();
    ASSERT_EQ(whole.status[kGetImage], DED_OK);
    ASSERT_GT(reads, 4u);

    for (const Fault fault : {Fault::Fail, Fault::Shorten, Fault::Error}) {
      for (size_t n = 1; n <= reads; ++n) {
        SCOPED_TRACE(testing::Message() << static_cast<int>(fault)
                                        << " (fail, shorten, error) read " << n << " of " << reads);
        const Outcome out = run(path, fault, n, width, height);
        ASSERT_GE(state.reads.size(), n);
        const Read read = state.reads[n - 1];
        const bool sampleRead = read.phase == kGetImage && read.size == 2;
        // Which callback should fail, and with what.
        int32_t expected[4] = {DED_OK, DED_OK, DED_OK, DED_OK};
        if (read.got < read.wanted && !sampleRead) {
          expected[read.phase] = read.phase == kOpen ? DED_ERR_FORMAT : DED_ERR_READ;
        }
        const bool firstSampleRead = sampleRead && (n == 1 || state.reads[n - 2].size != 2);
        if (sampleRead &&
            ((read.got == 0 && (mosaic || firstSampleRead)) || fault == Fault::Error)) {
          expected[kGetImage] = DED_ERR_READ;
        }
        EXPECT_EQ(out.status[kOpen], expected[kOpen]);
        if (expected[kOpen] != DED_OK) {
          continue;
        }
        for (const int phase : {kGetInfo, kGeoInfo, kGetImage}) {
          EXPECT_EQ(out.status[phase], expected[phase]) << "callback " << phase;
        }
        if (expected[kGetImage] != DED_OK) {
          // Decided before any pixel is written, except a mosaic's block
          // failing part way (earlier cells may stand).
          if (!sampleRead || (!mosaic && fault != Fault::Error)) {
            EXPECT_EQ(out.pixels, std::vector<uint8_t>(out.pixels.size(), kCanary));
          }
          continue;
        }
        std::vector<uint8_t> seen = bytes;
        if (sampleRead && read.got < read.wanted) {
          // The samples the short read missed are 0; a single cell reads
          // nothing more after it.
          const auto from = static_cast<size_t>(read.position) + 2 * read.got;
          const size_t to =
              mosaic ? static_cast<size_t>(read.position) + 2 * read.wanted : seen.size();
          std::fill(seen.begin() + static_cast<long>(from),
                    seen.begin() + static_cast<long>(std::min(to, seen.size())), uint8_t{0});
        }
        std::vector<uint8_t> expectedPixels =
            dedtest::referenceImage(seen.data(), seen.size(), width, height,
                                    qvstandin::rowWidthFor(width), kCanary)
                .pixels;
        expectedPixels.resize(out.pixels.size(), kCanary);
        EXPECT_EQ(out.pixels, expectedPixels);
      }
    }
  }
};

// Wide enough to be read in several bands of columns.
TEST_F(ReadFaults, SingleCell) {
  dedtest::File file = dedtest::geographicFile(1100, 1024, ramp);
  file.minElevation = -10;
  file.maxElevation = 300;
  sweep(file);
}

TEST_F(ReadFaults, Mosaic) {
  dedtest::File file;
  file.cellCount = 3;
  file.minElevation = -10;
  file.maxElevation = 300;
  file.cells = {dedtest::geographicCell(-71.0, -34.0, 6, 4, 1800.0f, ramp),
                dedtest::geographicCell(-70.9, -33.95, 5, 3, 1800.0f, ramp),
                dedtest::geographicCell(-70.8, -34.0, 4, 5, 1800.0f, ramp)};
  sweep(file);
}

} // namespace
