// Files rewritten in place between two callbacks, as a host that keeps a file
// open may meet them: every callback reads the file as it is then, and
// get-image never writes more than the size get-info told the host.
#include <gtest/gtest.h>

#include <cstdio>

#include "tests/e2e/plugin_host.h"
#include "tests/support/reference_image.h"

namespace {

using dedtest::File;

constexpr uint8_t kCanary = 0xA5;

enum class After { Open, GetInfo };

struct Case {
  const char *name;
  File first;
  std::vector<uint8_t> second; // the bytes the file holds from then on
  After after;
  int32_t infoStatus;  // get-info, told the size the host allocates by
  int32_t imageStatus; // get-image into that buffer
};

void PrintTo(const Case &c, std::ostream *out) { *out << c.name; }

int16_t ramp(int column, int row) { return static_cast<int16_t>(column * 31 + row * 7); }
int16_t other(int column, int row) { return static_cast<int16_t>(250 - column - row * 3); }

File mosaic(int columns) {
  File file;
  file.cellCount = 2;
  file.cells = {dedtest::geographicCell(-71.0, -34.0, columns, 4, 3600.0f, ramp),
                dedtest::geographicCell(-70.0, -34.0, columns, 4, 3600.0f, other)};
  return file;
}

std::vector<uint8_t> cut(const File &file, size_t bytes) {
  std::vector<uint8_t> encoded = dedtest::encode(file);
  encoded.resize(bytes);
  return encoded;
}

std::vector<Case> cases() {
  const File small = dedtest::geographicFile(7, 5, ramp);
  const File large = dedtest::geographicFile(64, 64, ramp);
  return {
      {"grows_after_get_info", small, dedtest::encode(large), After::GetInfo, 0, -8},
      {"shrinks_after_get_info", large, dedtest::encode(small), After::GetInfo, 0, -8},
      {"taller_after_get_info", small, dedtest::encode(dedtest::geographicFile(7, 9, ramp)),
       After::GetInfo, 0, -8},
      {"new_samples_after_get_info", small, dedtest::encode(dedtest::geographicFile(7, 5, other)),
       After::GetInfo, 0, 0},
      {"emptied_after_get_info", small, {}, After::GetInfo, 0, -3},
      {"cut_in_the_samples_after_get_info", small, cut(small, dedtest::samplesOffset(1) + 21),
       After::GetInfo, 0, 0},
      {"cut_in_the_headers_after_get_info", small, cut(small, 150), After::GetInfo, 0, -3},
      {"mosaic_widens_after_get_info", mosaic(11), dedtest::encode(mosaic(21)), After::GetInfo, 0,
       -8},
      {"grows_before_get_info", small, dedtest::encode(large), After::Open, 0, 0},
  };
}

class FileChange : public e2e::PluginTest, public ::testing::WithParamInterface<Case> {};

TEST_P(FileChange, EachCallbackReadsTheFileAsItIsNow) {
  const Case &c = GetParam();
  const int32_t handle = open(c.first, "changing.ded");
  const std::string path = (dir.path() / "changing.ded").string();
  const auto rewrite = [&] {
    // In place: the plug-in's stream keeps the same file.
    std::FILE *out = std::fopen(path.c_str(), "wb");
    ASSERT_NE(out, nullptr);
    if (!c.second.empty()) {
      ASSERT_EQ(std::fwrite(c.second.data(), c.second.size(), 1, out), 1u);
    }
    ASSERT_EQ(std::fclose(out), 0);
  };
  if (c.after == After::Open) {
    rewrite();
  }
  qvstandin::ImageRecord info;
  ASSERT_EQ(qvstandin::hostGetInfo(handle, &info), c.infoStatus);
  ASSERT_GE(info.calls.size(), 2u);
  const auto width = static_cast<int32_t>(info.calls[0].args[0]);
  const auto height = static_cast<int32_t>(info.calls[1].args[0]);
  if (c.after == After::GetInfo) {
    rewrite();
  }

  // The host's buffer, sized from what get-info said, with slack after it
  // so that a write past its end shows.
  const int32_t stride = qvstandin::rowWidthFor(width);
  const size_t bytes = static_cast<size_t>(stride) * static_cast<size_t>(height);
  std::vector<uint8_t> pixels(bytes + 64, kCanary);
  EXPECT_EQ(qvstandin::hostGetImage(handle, pixels.data()), c.imageStatus);
  std::vector<uint8_t> expected(bytes + 64, kCanary);
  if (c.imageStatus == 0) {
    expected =
        dedtest::referenceImage(c.second.data(), c.second.size(), width, height, stride, kCanary)
            .pixels;
    expected.resize(bytes + 64, kCanary);
  }
  EXPECT_EQ(e2e::pixelMismatch(pixels, expected, width, stride), "");
  close(handle);
}

INSTANTIATE_TEST_SUITE_P(Files, FileChange, ::testing::ValuesIn(cases()),
                         [](const auto &param) { return std::string(param.param.name); });

} // namespace
