// Bad handles, a host that refuses an attribute and a host that runs out of
// memory, through the loaded plug-in: a clear status, no setter after a
// refusal, nothing left allocated.
#include <gtest/gtest.h>

#include <climits>
#include <functional>

#include "tests/e2e/plugin_host.h"

namespace {

using dedtest::File;
using e2e::PluginTest;

File geographicMosaic() {
  File file;
  file.cellCount = 2;
  file.cells = {dedtest::geographicCell(10, 45, 3, 2, 36000.0f),
                dedtest::geographicCell(12, 45, 2, 2, 36000.0f)};
  return file;
}

TEST_F(PluginTest, BadAndStaleHandlesTouchNothing) {
  const int32_t first = open(dedtest::geographicFile(5, 3), "first.ded");
  const int32_t second = open(dedtest::utmFile("33", 'N', 4, 2), "second.ded");
  close(first);

  const int64_t allocations = qvstandin::allocationCount();
  for (const int32_t handle : {first, second + 1, 9, 10, -1, INT32_MIN, INT32_MAX}) {
    SCOPED_TRACE(handle);
    qvstandin::ImageRecord info;
    qvstandin::ImageRecord geo;
    EXPECT_EQ(qvstandin::hostGetInfo(handle, &info), -8);
    EXPECT_EQ(qvstandin::hostGetGeoInfo(handle, &geo), -8);
    EXPECT_TRUE(info.calls.empty());
    EXPECT_TRUE(geo.calls.empty());
    std::vector<uint8_t> pixels(64, 0xA5);
    EXPECT_EQ(qvstandin::hostGetImage(handle, pixels.data()), -8);
    EXPECT_EQ(pixels, std::vector<uint8_t>(64, 0xA5));
    EXPECT_EQ(qvstandin::hostClose(handle), -8);
  }
  EXPECT_EQ(qvstandin::allocationCount(), allocations);

  // The file still open keeps its own handle.
  qvstandin::ImageRecord info;
  EXPECT_EQ(qvstandin::hostGetInfo(second, &info), 0);
  EXPECT_EQ(e2e::describeCalls(info.calls), e2e::expectedInfoCalls({4, 2}));
  close(second);
}

struct RefusalCase {
  const char *name;
  File file;
  e2e::Expected expected;
};

void PrintTo(const RefusalCase &c, std::ostream *out) { *out << c.name; }

class Refusal : public PluginTest, public ::testing::WithParamInterface<RefusalCase> {};

// Refuses the n-th setter of a callback, for every n: the callback answers
// -8 and calls no setter after the refused one.
TEST_P(Refusal, EachSetterInTurn) {
  const RefusalCase &c = GetParam();
  const int32_t handle = open(c.file);
  using Callback = std::function<int32_t(qvstandin::ImageRecord *)>;
  const struct {
    const char *name;
    Callback callback;
    std::vector<std::string> calls;
  } callbacks[] = {
      {"get-info", [&](auto *rec) { return qvstandin::hostGetInfo(handle, rec); },
       e2e::expectedInfoCalls(c.expected)},
      {"geo-info", [&](auto *rec) { return qvstandin::hostGetGeoInfo(handle, rec); },
       e2e::expectedGeoCalls(c.file, c.expected)},
  };
  for (const auto &callback : callbacks) {
    for (size_t position = 0; position < callback.calls.size(); ++position) {
      SCOPED_TRACE(std::string(callback.name) + " refused at " + std::to_string(position));
      qvstandin::ImageRecord rec;
      rec.refuseAt = static_cast<int>(position);
      EXPECT_EQ(callback.callback(&rec), -8);
      std::vector<std::string> expected(callback.calls.begin(),
                                        callback.calls.begin() + static_cast<long>(position) + 1);
      expected.back() += " refused";
      EXPECT_EQ(e2e::describeCalls(rec.calls), expected);
      EXPECT_EQ(qvstandin::outstandingBlocks(), 0);
    }
  }
  close(handle);
}

INSTANTIATE_TEST_SUITE_P(
    Files, Refusal,
    ::testing::Values(RefusalCase{"geographic", dedtest::geographicFile(5, 3), {5, 3}},
                      RefusalCase{"utm", dedtest::utmFile("33", 'n', 4, 2), {4, 2, 33, 1}},
                      RefusalCase{"mosaic", geographicMosaic(), {4, 2}}),
    [](const auto &param) { return std::string(param.param.name); });

class AllocationFailure : public PluginTest, public ::testing::WithParamInterface<const char *> {
protected:
  // Calls the callback the test is named after.
  int32_t call(int32_t handle, qvstandin::ImageRecord *rec, uint8_t *pixels) {
    const std::string name = GetParam();
    if (name == "get_info") {
      return qvstandin::hostGetInfo(handle, rec);
    }
    if (name == "geo_info") {
      return qvstandin::hostGetGeoInfo(handle, rec);
    }
    return qvstandin::hostGetImage(handle, pixels);
  }
};

// Fails the n-th host allocation of a callback, for every n it makes: -1,
// no setter called, the pixel buffer untouched, nothing left outstanding.
TEST_P(AllocationFailure, EachAllocationInTurn) {
  const int32_t handle = open(geographicMosaic());
  const size_t bytes = static_cast<size_t>(qvstandin::rowWidthFor(4)) * 2;
  std::vector<uint8_t> pixels(bytes);
  qvstandin::ImageRecord rec;
  const int64_t before = qvstandin::allocationCount();
  EXPECT_EQ(call(handle, &rec, pixels.data()), 0);
  const int64_t made = qvstandin::allocationCount() - before;
  EXPECT_GT(made, 0);
  for (int64_t n = 1; n <= made; ++n) {
    SCOPED_TRACE("allocation " + std::to_string(n));
    rec.calls.clear();
    pixels.assign(bytes, 0xA5);
    qvstandin::failAllocation(n);
    EXPECT_EQ(call(handle, &rec, pixels.data()), -1);
    qvstandin::failAllocation(0);
    EXPECT_TRUE(rec.calls.empty());
    EXPECT_EQ(pixels, std::vector<uint8_t>(bytes, 0xA5));
    EXPECT_EQ(qvstandin::outstandingBlocks(), 0);
  }
  close(handle);
}

INSTANTIATE_TEST_SUITE_P(Callbacks, AllocationFailure,
                         ::testing::Values("get_info", "geo_info", "get_image"));

} // namespace
