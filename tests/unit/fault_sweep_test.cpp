// The host failing under the plug-in: each allocation of each callback fails
// in turn, and each setter is refused in turn, for every file of the sweep
// table. The callback must give up with the right code, leave nothing
// allocated, call no setter after a refusal and leave the host's pixels alone.
#include <functional>
#include <gtest/gtest.h>

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
using qvstandin::ImageRecord;

constexpr uint8_t kCanary = 0x5A;

class FaultSweep : public dedtest::HostTest {
protected:
  // Width and height as get-info tells the host.
  void imageSize(int32_t handle, int32_t *width, int32_t *height) {
    ImageRecord record;
    ASSERT_EQ(dedGetImageInfo(nullptr, nullptr, handle, &record), DED_OK);
    ASSERT_GE(record.calls.size(), 2u);
    *width = static_cast<int32_t>(record.calls[0].args[0]);
    *height = static_cast<int32_t>(record.calls[1].args[0]);
  }
};

// A callback as the sweep drives it: the status, and whether it left the
// host's record or buffer as it found them.
struct Outcome {
  int32_t status;
  bool untouched;
};
using Callback = std::function<Outcome()>;

TEST_F(FaultSweep, EachAllocationFailsInTurn) {
  for (const SweepFile &sweep : dedtest::sweepFiles()) {
    const int32_t handle = openFile(sweep.file, sweep.name + ".ded");
    int32_t width = 0;
    int32_t height = 0;
    imageSize(handle, &width, &height);
    const size_t bytes = static_cast<size_t>(qvstandin::rowWidthFor(width)) * height;

    const std::pair<const char *, Callback> callbacks[] = {
        {"get-info",
         [&] {
           ImageRecord record;
           const int32_t status = dedGetImageInfo(nullptr, nullptr, handle, &record);
           return Outcome{status, record.calls.empty()};
         }},
        {"geo-info",
         [&] {
           ImageRecord record;
           const int32_t status = dedGetGeoInfo(nullptr, nullptr, handle, &record);
           return Outcome{status, record.calls.empty()};
         }},
        {"get-image",
         [&] {
           std::vector<uint8_t> pixels(bytes, kCanary);
           const int32_t status = dedGetImageData(nullptr, nullptr, handle, nullptr, pixels.data());
           return Outcome{status, pixels == std::vector<uint8_t>(bytes, kCanary)};
         }},
    };
    for (const auto &[name, call] : callbacks) {
      SCOPED_TRACE(sweep.name + " " + name);
      const int64_t before = qvstandin::allocationCount();
      ASSERT_EQ(call().status, DED_OK);
      const int64_t allocations = qvstandin::allocationCount() - before;
      EXPECT_GE(allocations, 1);
      for (int64_t n = 1; n <= allocations; ++n) {
        SCOPED_TRACE("allocation " + std::to_string(n) + " of " + std::to_string(allocations));
        qvstandin::failAllocation(n);
        const Outcome outcome = call();
        qvstandin::failAllocation(0);
        EXPECT_EQ(outcome.status, DED_ERR_NOMEM);
        EXPECT_TRUE(outcome.untouched);
        EXPECT_EQ(qvstandin::outstandingBlocks(), 0);
      }
      EXPECT_EQ(call().status, DED_OK); // the failures left nothing behind
    }
    EXPECT_EQ(dedCloseImage(nullptr, nullptr, handle), DED_OK);
  }
}

TEST_F(FaultSweep, EachSetterIsRefusedInTurn) {
  using SetterCallback = int32_t (*)(void *, void *, int32_t, QvImageRec);
  const std::pair<const char *, SetterCallback> callbacks[] = {{"get-info", dedGetImageInfo},
                                                               {"geo-info", dedGetGeoInfo}};
  for (const SweepFile &sweep : dedtest::sweepFiles()) {
    const int32_t handle = openFile(sweep.file, sweep.name + ".ded");
    for (const auto &[name, call] : callbacks) {
      SCOPED_TRACE(sweep.name + " " + name);
      ImageRecord clean;
      ASSERT_EQ(call(nullptr, nullptr, handle, &clean), DED_OK);
      ASSERT_FALSE(clean.calls.empty());
      for (size_t refused = 0; refused < clean.calls.size(); ++refused) {
        SCOPED_TRACE(clean.calls[refused].name + " refused");
        ImageRecord record;
        record.refuseAt = static_cast<int>(refused);
        EXPECT_EQ(call(nullptr, nullptr, handle, &record), DED_ERR_BADARG);
        ASSERT_EQ(record.calls.size(), refused + 1); // nothing after the refusal
        for (size_t i = 0; i <= refused; ++i) {
          EXPECT_EQ(record.calls[i].name, clean.calls[i].name);
          EXPECT_EQ(record.calls[i].args, clean.calls[i].args);
        }
        EXPECT_TRUE(record.calls.back().refused);
        EXPECT_EQ(qvstandin::outstandingBlocks(), 0);
      }
    }
    EXPECT_EQ(dedCloseImage(nullptr, nullptr, handle), DED_OK);
  }
}

// A host that answers a request for nothing with nothing: empty cells then
// fail for want of memory rather than for want of samples.
TEST_F(FaultSweep, ZeroByteRequestsThatReturnNull) {
  dedtest::File file;
  file.cellCount = 2;
  for (int i = 0; i < 2; ++i) {
    dedtest::Cell cell = dedtest::geographicCell(10.0 + i / 120.0, 45.0, 2, 2, 300.0f);
    cell.columnCount = 0.0f;
    cell.rowCount = 0.0f;
    cell.samples.clear();
    file.cells.push_back(cell);
  }
  const int32_t handle = openFile(file);
  uint8_t pixels[16];
  std::fill(std::begin(pixels), std::end(pixels), kCanary);
  EXPECT_EQ(dedGetImageData(nullptr, nullptr, handle, nullptr, pixels), DED_ERR_READ);
  qvstandin::zeroSizeReturnsNull(true);
  EXPECT_EQ(dedGetImageData(nullptr, nullptr, handle, nullptr, pixels), DED_ERR_NOMEM);
  EXPECT_EQ(std::count(std::begin(pixels), std::end(pixels), kCanary), 16);
  EXPECT_EQ(dedCloseImage(nullptr, nullptr, handle), DED_OK);
}

} // namespace
