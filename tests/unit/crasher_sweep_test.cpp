// Every file in tests/crashers, each a way a file can lie about itself or an
// input that once broke the plug-in, as a named case: each callback answers
// with the code the file deserves, leaves the host's pixels alone when it
// fails and leaks nothing. The files are fuzzer inputs: the DED bytes, then
// four bytes that steer the fuzzer's host, which are not part of the file.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <set>

#include "ded/open_files.h"
#include "host/status.h"
#include "plugin/geo_info.h"
#include "plugin/get_image.h"
#include "plugin/get_info.h"
#include "plugin/open_close.h"
#include "qvapilib/stand_in.h"
#include "tests/support/host_fixture.h"

namespace {

constexpr size_t kControlBytes = 4;
constexpr uint8_t kCanary = 0xA5;
constexpr int32_t kNoCall = 1; // open failed, nothing else is called

struct Crasher {
  const char *name;
  int32_t open;
  int32_t info; // get-info and geo-info alike
  int32_t image;
};

const Crasher kCrashers[] = {
    {"huge_cell_count", DED_OK, DED_ERR_READ, DED_ERR_READ},
    {"cell_count_beyond_int32_bytes", DED_OK, DED_ERR_BADARG, DED_ERR_BADARG},
    {"most_negative_cell_count", DED_OK, DED_OK, DED_OK},
    {"nan_spacing", DED_OK, DED_ERR_BADARG, DED_ERR_BADARG},
    {"zero_first_spacing", DED_OK, DED_ERR_BADARG, DED_ERR_BADARG},
    {"zero_later_spacing", DED_OK, DED_OK, DED_OK},
    {"infinite_bound", DED_OK, DED_ERR_BADARG, DED_ERR_BADARG},
    {"mosaic_too_wide", DED_OK, DED_ERR_BADARG, DED_ERR_BADARG},
    {"zone_without_terminator", DED_OK, DED_ERR_BADARG, DED_ERR_BADARG},
    {"zone_ends_at_header_end", DED_OK, DED_OK, DED_OK},
    {"zone_61", DED_OK, DED_ERR_BADARG, DED_ERR_BADARG},
    {"hemisphere_x", DED_OK, DED_ERR_BADARG, DED_ERR_BADARG},
    {"cell_far_outside", DED_OK, DED_OK, DED_OK},
    {"cell_before_the_origin", DED_OK, DED_OK, DED_OK},
    {"fractional_counts", DED_OK, DED_OK, DED_ERR_BADARG},
    {"negative_count", DED_OK, DED_ERR_BADARG, DED_ERR_BADARG},
    {"count_beyond_int32", DED_OK, DED_ERR_BADARG, DED_ERR_BADARG},
    {"image_beyond_int32_bytes", DED_OK, DED_ERR_BADARG, DED_ERR_BADARG},
    {"scratch_beyond_int32_bytes", DED_OK, DED_OK, DED_ERR_BADARG},
    {"empty_cells", DED_OK, DED_OK, DED_ERR_READ},
    {"seven_bytes", DED_ERR_FORMAT, kNoCall, kNoCall},
    {"header_only", DED_OK, DED_ERR_READ, DED_ERR_READ},
    {"one_byte_of_samples", DED_OK, DED_OK, DED_ERR_READ},
    {"inverted_bounds_no_pixels", DED_OK, DED_OK, DED_OK},
    {"grows_after_get_info", DED_OK, DED_OK, DED_OK}, // as it stands; its host rewrites it
};

const std::filesystem::path kFolder = ELVARIN_CRASHERS_DIR;

class CrasherSweep : public dedtest::HostTest {};

TEST_F(CrasherSweep, EveryCrasherFailsCleanly) {
  std::set<std::string> named;
  for (const Crasher &crasher : kCrashers) {
    SCOPED_TRACE(crasher.name);
    named.insert(std::string(crasher.name) + ".ded");
    std::ifstream in(kFolder / (std::string(crasher.name) + ".ded"), std::ios::binary);
    ASSERT_TRUE(in) << "missing from " << kFolder;
    std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in),
                               std::istreambuf_iterator<char>()};
    ASSERT_GE(bytes.size(), kControlBytes);
    bytes.resize(bytes.size() - kControlBytes);

    int32_t handle = -1;
    ASSERT_EQ(
        dedOpenImage(nullptr, nullptr, dir.write("crasher.ded", bytes).c_str(), "rb", &handle),
        crasher.open);
    if (crasher.open != DED_OK) {
      continue;
    }
    testing::internal::CaptureStderr(); // the readers' messages are checked elsewhere
    qvstandin::ImageRecord info;
    qvstandin::ImageRecord geo;
    EXPECT_EQ(dedGetImageInfo(nullptr, nullptr, handle, &info), crasher.info);
    EXPECT_EQ(dedGetGeoInfo(nullptr, nullptr, handle, &geo), crasher.info);
    size_t bytesForImage = 64;
    if (crasher.info == DED_OK) {
      const auto width = static_cast<int32_t>(info.calls[0].args[0]);
      const auto height = static_cast<size_t>(info.calls[1].args[0]);
      bytesForImage = static_cast<size_t>(qvstandin::rowWidthFor(width)) * height + 1;
    }
    std::vector<uint8_t> pixels(bytesForImage, kCanary);
    EXPECT_EQ(dedGetImageData(nullptr, nullptr, handle, nullptr, pixels.data()), crasher.image);
    testing::internal::GetCapturedStderr();
    if (crasher.image != DED_OK) {
      EXPECT_EQ(pixels, std::vector<uint8_t>(pixels.size(), kCanary));
    }
    EXPECT_EQ(qvstandin::outstandingBlocks(), 0);
    EXPECT_EQ(dedCloseImage(nullptr, nullptr, handle), DED_OK);
  }

  // A crasher nobody named here would be replayed by the fuzzer's test but
  // never checked for its codes.
  for (const auto &entry : std::filesystem::directory_iterator(kFolder)) {
    if (entry.path().extension() == ".ded") {
      EXPECT_TRUE(named.count(entry.path().filename().string())) << entry.path();
    }
  }
}

} // namespace
