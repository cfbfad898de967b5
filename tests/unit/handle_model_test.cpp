// Random sequences of open, close and callbacks, with valid, stale and
// out-of-range handles, checked call by call against a model of the table:
// ten slots, open takes the lowest empty one, close empties only its own, a
// full table refuses with -2, any handle that names no open file gets -8.
// Every file delivered has its own pixels, so a handle that names the wrong
// file shows.
#include <array>
#include <gtest/gtest.h>
#include <random>

#include "ded/open_files.h"
#include "host/status.h"
#include "plugin/geo_info.h"
#include "plugin/get_image.h"
#include "plugin/get_info.h"
#include "plugin/open_close.h"
#include "qvapilib/stand_in.h"
#include "tests/support/host_fixture.h"

namespace {

using qvstandin::ImageRecord;

constexpr int kSlots = 10;
constexpr int32_t kWidth = 4;
constexpr int32_t kHeight = 3;
constexpr uint8_t kCanary = 0xA5;

// What the host can open: three DED files that differ in pixels and in
// position, one file without the magic, one path that does not exist.
struct Candidate {
  std::string path;
  int32_t opens;               // what open answers when the table has room
  int fileIndex;               // which picture, -1 for none
  double xMin;                 // its first control point's file x
  std::vector<uint8_t> pixels; // row-major, row width as the host's
};

class HandleModel : public dedtest::HostTest {
protected:
  void SetUp() override {
    HostTest::SetUp();
    rowWidth = qvstandin::rowWidthFor(kWidth);
    for (int i = 0; i < 3; ++i) {
      // Elevation equals grey level (range 0..255), distinct per file.
      auto sample = [i](int column, int row) {
        return static_cast<int16_t>(1 + i * 60 + column * kHeight + row);
      };
      dedtest::File file = i == 2 ? dedtest::utmFile("7", 'S', kWidth, kHeight, sample)
                                  : dedtest::geographicFile(kWidth, kHeight, sample);
      file.cells[0].xMin += static_cast<float>(i);
      file.cells[0].xMax += static_cast<float>(i);
      Candidate c{dir.write("file" + std::to_string(i) + ".ded", dedtest::encode(file)),
                  DED_OK,
                  i,
                  file.cells[0].xMin,
                  {}};
      c.pixels.assign(static_cast<size_t>(rowWidth) * kHeight, kCanary);
      for (int column = 0; column < kWidth; ++column) {
        for (int row = 0; row < kHeight; ++row) {
          c.pixels[static_cast<size_t>(row) * rowWidth + column] =
              static_cast<uint8_t>(sample(column, row));
        }
      }
      candidates.push_back(c);
    }
    dedtest::File notDed = dedtest::geographicFile(kWidth, kHeight);
    notDed.magic = "KVTS";
    candidates.push_back(
        {dir.write("not-ded.ded", dedtest::encode(notDed)), DED_ERR_FORMAT, -1, 0, {}});
    candidates.push_back({(dir.path() / "missing.ded").string(), DED_ERR_OPEN, -1, 0, {}});
  }

  // A handle worth trying: mostly slots, sometimes just outside, rarely far off.
  static int32_t pickHandle(std::mt19937 &random) {
    const int kind = std::uniform_int_distribution<int>(0, 19)(random);
    if (kind == 0) {
      const int32_t far[] = {INT32_MIN, INT32_MAX, -100, 1000};
      return far[std::uniform_int_distribution<int>(0, 3)(random)];
    }
    return std::uniform_int_distribution<int32_t>(-1, kSlots)(random);
  }

  std::vector<Candidate> candidates;
  int32_t rowWidth = 0;
};

TEST_F(HandleModel, RandomSequencesMatchTheModel) {
  constexpr int kSequences = 1500;
  constexpr int kSteps = 40;
  for (int seed = 1; seed <= kSequences; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(static_cast<std::mt19937::result_type>(seed));
    std::array<int, kSlots> model; // candidate index per slot, -1 empty
    model.fill(-1);

    for (int step = 0; step < kSteps; ++step) {
      SCOPED_TRACE("step " + std::to_string(step));
      // Out of ten: 2 to 5 opens, two closes, one get-info, one geo-info and
      // the rest get-image. Sequences that open more often fill the table.
      const int openShare = 2 + seed % 4;
      const int op = std::uniform_int_distribution<int>(0, 9)(random);
      if (op < openShare) {
        const int which =
            std::uniform_int_distribution<int>(0, static_cast<int>(candidates.size()) - 1)(random);
        const Candidate &c = candidates[static_cast<size_t>(which)];
        int32_t handle = -7;
        const int32_t status = dedOpenImage(nullptr, nullptr, c.path.c_str(), "rb", &handle);
        int lowest = -1;
        for (int slot = kSlots - 1; slot >= 0; --slot) {
          lowest = model[static_cast<size_t>(slot)] < 0 ? slot : lowest;
        }
        if (lowest < 0) {
          ASSERT_EQ(status, DED_ERR_OPEN);
        } else if (c.opens != DED_OK) {
          ASSERT_EQ(status, c.opens);
        } else {
          ASSERT_EQ(status, DED_OK);
          ASSERT_EQ(handle, lowest);
          model[static_cast<size_t>(lowest)] = which;
        }
        if (status != DED_OK) {
          EXPECT_EQ(handle, -7);
        }
        continue;
      }

      const int32_t handle = pickHandle(random);
      const bool valid = handle >= 0 && handle < kSlots && model[static_cast<size_t>(handle)] >= 0;
      const Candidate *c = valid ? &candidates[static_cast<size_t>(model[handle])] : nullptr;
      if (op < openShare + 2) {
        ASSERT_EQ(dedCloseImage(nullptr, nullptr, handle), valid ? DED_OK : DED_ERR_BADARG);
        if (valid) {
          model[static_cast<size_t>(handle)] = -1;
        }
      } else if (op < openShare + 3) {
        ImageRecord record;
        ASSERT_EQ(dedGetImageInfo(nullptr, nullptr, handle, &record),
                  valid ? DED_OK : DED_ERR_BADARG);
        if (valid) {
          ASSERT_EQ(record.calls.size(), 8u);
          EXPECT_EQ(record.calls[0].args[0], kWidth);
          EXPECT_EQ(record.calls[1].args[0], kHeight);
        } else {
          EXPECT_TRUE(record.calls.empty());
        }
      } else if (op < openShare + 4) {
        ImageRecord record;
        ASSERT_EQ(dedGetGeoInfo(nullptr, nullptr, handle, &record),
                  valid ? DED_OK : DED_ERR_BADARG);
        if (valid) {
          ASSERT_FALSE(record.calls.empty());
          EXPECT_EQ(record.calls[2].args[0], c->fileIndex == 2 ? 4 : 0); // projection
          // Control point 0 ties the image origin to the file's own xMin.
          const qvstandin::SetterCall &origin = record.calls[record.calls.size() - 3];
          EXPECT_EQ(origin.args[0], 0.0);
          EXPECT_EQ(origin.args[3], c->xMin);
        } else {
          EXPECT_TRUE(record.calls.empty());
        }
      } else {
        std::vector<uint8_t> pixels(static_cast<size_t>(rowWidth) * kHeight, kCanary);
        ASSERT_EQ(dedGetImageData(nullptr, nullptr, handle, nullptr, pixels.data()),
                  valid ? DED_OK : DED_ERR_BADARG);
        if (valid) {
          ASSERT_EQ(pixels, c->pixels) << "handle " << handle;
        } else {
          EXPECT_EQ(pixels, std::vector<uint8_t>(pixels.size(), kCanary));
        }
      }
      ASSERT_EQ(qvstandin::outstandingBlocks(), 0);
    }

    for (int slot = 0; slot < kSlots; ++slot) {
      if (model[static_cast<size_t>(slot)] >= 0) {
        ASSERT_EQ(dedCloseImage(nullptr, nullptr, slot), DED_OK);
      }
    }
    ASSERT_EQ(dedtest::openHandleCount(), 0);
  }
}

} // namespace
