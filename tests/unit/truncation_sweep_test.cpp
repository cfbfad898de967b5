// Every file of the sweep table cut short at every offset (for the large one:
// every header offset, a stride through the samples and each boundary):
// every callback answers with its own codes, prints only the reader's
// message, leaks nothing, and a file cut inside its samples shows exactly the
// image of the whole file with the missing samples zero.
#include <gtest/gtest.h>
#include <set>

#include "ded/open_files.h"
#include "host/status.h"
#include "plugin/geo_info.h"
#include "plugin/get_image.h"
#include "plugin/get_info.h"
#include "plugin/open_close.h"
#include "qvapilib/stand_in.h"
#include "tests/support/host_fixture.h"
#include "tests/support/sweep_files.h"

namespace {

using dedtest::SweepFile;

constexpr uint8_t kCanary = 0xA5;

class TruncationSweep : public dedtest::HostTest {
protected:
  // The pixels of bytes as a file, with the host's row width; empty when
  // get-image fails.
  std::vector<uint8_t> render(const std::vector<uint8_t> &bytes, int32_t width, int32_t height) {
    const int32_t handle = openOrFail(dir.write("reference.ded", bytes));
    std::vector<uint8_t> pixels(bufferSize(width, height), kCanary);
    const int32_t status = dedGetImageData(nullptr, nullptr, handle, nullptr, pixels.data());
    EXPECT_EQ(dedCloseImage(nullptr, nullptr, handle), DED_OK);
    return status == DED_OK ? pixels : std::vector<uint8_t>{};
  }

  static size_t bufferSize(int32_t width, int32_t height) {
    return static_cast<size_t>(qvstandin::rowWidthFor(width)) * static_cast<size_t>(height) + 1;
  }
};

// Where a file cut at this offset first fails to read a header record, and
// the message the reader prints for it.
const char *headerMessage(size_t cut, size_t cellHeaders) {
  if (cut < dedtest::kHeaderBytes) {
    return "Reading ded file header: ";
  }
  if (cut < dedtest::kFirstCellOffset) {
    return "Reading ded cell statistics: ";
  }
  if (cut < dedtest::samplesOffset(cellHeaders)) {
    return "Reading ded cell header: ";
  }
  return nullptr;
}

// One line that starts with the reader's message (the system's error text
// follows), or nothing at all.
void expectMessage(const std::string &printed, const char *message) {
  if (message == nullptr) {
    EXPECT_EQ(printed, "");
    return;
  }
  EXPECT_EQ(printed.rfind(message, 0), 0u) << printed;
  ASSERT_FALSE(printed.empty());
  EXPECT_EQ(printed.find('\n'), printed.size() - 1) << printed;
}

std::set<size_t> cutOffsets(const SweepFile &sweep, size_t size) {
  std::set<size_t> cuts;
  const size_t headersEnd = dedtest::samplesOffset(sweep.file.cells.size());
  if (!sweep.large) {
    for (size_t cut = 0; cut <= size; ++cut) {
      cuts.insert(cut);
    }
    return cuts;
  }
  for (size_t cut = 0; cut <= headersEnd + 8; ++cut) {
    cuts.insert(cut);
  }
  for (size_t cut = headersEnd; cut < size; cut += 397) {
    cuts.insert(cut);
  }
  for (const size_t block : dedtest::sampleBlockOffsets(sweep.file)) {
    for (size_t cut = block - 2; cut <= block + 3; ++cut) {
      cuts.insert(cut);
    }
  }
  for (size_t cut = size - 3; cut <= size; ++cut) {
    cuts.insert(cut);
  }
  return cuts;
}

TEST_F(TruncationSweep, EveryCallbackFailsCleanlyAtEveryCut) {
  for (const SweepFile &sweep : dedtest::sweepFiles()) {
    const std::vector<uint8_t> whole = dedtest::encode(sweep.file);
    const size_t cellHeaders = sweep.file.cells.size();
    const size_t lastBlock = dedtest::sampleBlockOffsets(sweep.file).back();

    for (const size_t cut : cutOffsets(sweep, whole.size())) {
      SCOPED_TRACE(sweep.name + " cut at " + std::to_string(cut));
      const std::vector<uint8_t> bytes(whole.begin(), whole.begin() + static_cast<long>(cut));
      int32_t handle = -1;
      const int32_t opened =
          dedOpenImage(nullptr, nullptr, dir.write("cut.ded", bytes).c_str(), "rb", &handle);
      if (cut < 8) {
        EXPECT_EQ(opened, DED_ERR_FORMAT);
        EXPECT_EQ(dedtest::openHandleCount(), 0);
        continue;
      }
      ASSERT_EQ(opened, DED_OK);
      const char *message = headerMessage(cut, cellHeaders);
      const int32_t described = message != nullptr ? DED_ERR_READ : DED_OK;

      qvstandin::ImageRecord info;
      testing::internal::CaptureStderr();
      EXPECT_EQ(dedGetImageInfo(nullptr, nullptr, handle, &info), described);
      expectMessage(testing::internal::GetCapturedStderr(), message);
      EXPECT_EQ(qvstandin::outstandingBlocks(), 0);

      qvstandin::ImageRecord geo;
      testing::internal::CaptureStderr();
      EXPECT_EQ(dedGetGeoInfo(nullptr, nullptr, handle, &geo), described);
      expectMessage(testing::internal::GetCapturedStderr(), message);
      EXPECT_EQ(qvstandin::outstandingBlocks(), 0);

      // A missing header leaves no size to ask for: the host's buffer is a
      // token the call must not touch.
      int32_t width = 0;
      int32_t height = 0;
      if (described == DED_OK && info.calls.size() >= 2) {
        width = static_cast<int32_t>(info.calls[0].args[0]);
        height = static_cast<int32_t>(info.calls[1].args[0]);
      }
      std::vector<uint8_t> pixels(bufferSize(width, height), kCanary);
      testing::internal::CaptureStderr();
      const int32_t status = dedGetImageData(nullptr, nullptr, handle, nullptr, pixels.data());
      expectMessage(testing::internal::GetCapturedStderr(), message);
      EXPECT_EQ(qvstandin::outstandingBlocks(), 0);
      EXPECT_EQ(dedCloseImage(nullptr, nullptr, handle), DED_OK);

      // Every cell's read must find at least one whole sample.
      const int32_t expected =
          described != DED_OK ? DED_ERR_READ : (cut >= lastBlock + 2 ? DED_OK : DED_ERR_READ);
      ASSERT_EQ(status, expected);
      if (status != DED_OK) {
        EXPECT_EQ(pixels, std::vector<uint8_t>(pixels.size(), kCanary));
        continue;
      }
      std::vector<uint8_t> filled = whole;
      const size_t firstMissing = cut - (cut - lastBlock) % 2; // a half sample is lost too
      std::fill(filled.begin() + static_cast<long>(firstMissing), filled.end(), uint8_t{0});
      EXPECT_EQ(pixels, render(filled, width, height));
    }
  }
}

} // namespace
