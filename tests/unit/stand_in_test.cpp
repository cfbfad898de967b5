// The stand-in host's own instruments: if they lie, every other test does.
#include <gtest/gtest.h>

#include "qvapilib/stand_in.h"

namespace {

class StandIn : public ::testing::Test {
protected:
  void SetUp() override { qvstandin::reset(); }
  void TearDown() override { qvstandin::reset(); }
};

TEST_F(StandIn, CountsBlocksAndFailsTheChosenAllocation) {
  void *a = qvMalloc(16);
  qvstandin::failAllocation(2);
  void *b = qvMalloc(16);
  void *c = qvMalloc(16);
  void *d = qvMalloc(16);
  EXPECT_NE(a, nullptr);
  EXPECT_NE(b, nullptr);
  EXPECT_EQ(c, nullptr);
  EXPECT_NE(d, nullptr);
  EXPECT_EQ(qvstandin::allocationCount(), 4);
  EXPECT_EQ(qvstandin::outstandingBlocks(), 3);
  qvFree(a);
  qvFree(b);
  qvFree(d);
  qvFree(nullptr);
  EXPECT_EQ(qvstandin::outstandingBlocks(), 0);
  int local = 0;
  qvFree(&local);
  qvFree(a);
  EXPECT_EQ(qvstandin::foreignFrees(), 2);
}

TEST_F(StandIn, ZeroByteRequestsAndFailAll) {
  void *zero = qvMalloc(0);
  EXPECT_NE(zero, nullptr);
  qvFree(zero);
  qvstandin::zeroSizeReturnsNull(true);
  EXPECT_EQ(qvMalloc(0), nullptr);
  qvstandin::failAllAllocations(true);
  EXPECT_EQ(qvMalloc(8), nullptr);
  EXPECT_EQ(qvstandin::allocationSizes(), (std::vector<size_t>{0, 0, 8}));
}

TEST_F(StandIn, RowWidthRoundsUpToFour) {
  EXPECT_EQ(qvstandin::lastRowWidthArgs(), std::vector<int32_t>{}); // none before a call
  const int32_t widths[][2] = {{1, 4}, {3, 4}, {4, 4}, {5, 8}, {121, 124}, {0, 0}};
  for (const auto &w : widths) {
    int32_t extra = -1;
    EXPECT_EQ(qvGetImageRowWidth(w[0], 8, 2, &extra), w[1]);
    EXPECT_EQ(extra, w[1] - w[0]);
  }
  EXPECT_EQ(qvGetImageRowWidth(INT32_MAX, 8, 2, nullptr), INT32_MAX);
  EXPECT_EQ(qvstandin::lastRowWidthArgs(), (std::vector<int32_t>{INT32_MAX, 8, 2}));
  qvstandin::overrideRowWidth(2);
  EXPECT_EQ(qvGetImageRowWidth(121, 8, 2, nullptr), 2);
  EXPECT_EQ(qvstandin::rowWidthCalls(), 8);
}

TEST_F(StandIn, SettersRecordInOrderAndRefuseOnRequest) {
  qvstandin::ImageRecord rec;
  rec.refuseAt = 2;
  EXPECT_EQ(qvSetTextureWidth(&rec, 121), 1);
  EXPECT_EQ(qvSetTextureMinMax(&rec, 0.5f, 255.0f), 1);
  EXPECT_EQ(qvSetTextureGeoCtlPt(&rec, 2, 241.0, 0.0, 12.0, 45.25), 0);
  rec.refuseAt = -1;
  rec.refuseName = "qvSetTextureGeoUTMZone";
  EXPECT_EQ(qvSetTextureGeoUTMZone(&rec, 33), 0);
  EXPECT_EQ(qvSetTextureGeoUTMHemisphere(&rec, 1), 1);
  ASSERT_EQ(rec.calls.size(), 5u);
  EXPECT_EQ(rec.calls[0].name, "qvSetTextureWidth");
  EXPECT_EQ(rec.calls[0].args, (std::vector<double>{121}));
  EXPECT_EQ(rec.calls[1].args, (std::vector<double>{0.5, 255.0}));
  EXPECT_EQ(rec.calls[2].args, (std::vector<double>{2, 241, 0, 12, 45.25}));
  EXPECT_TRUE(rec.calls[2].refused);
  EXPECT_TRUE(rec.calls[3].refused);
  EXPECT_FALSE(rec.calls[4].refused);
}

int32_t fakeOpen(void *, void *, const char *, const char *, int32_t *) { return 0; }
int32_t fakeGeo(void *, void *, int32_t, QvImageRec) { return 0; }

TEST_F(StandIn, RegistrationRecordsEverything) {
  int plugin = 0;
  QvImporter importer = qvRegisterImageImporter(&plugin, "Name", 65, fakeOpen, nullptr, nullptr,
                                                nullptr, nullptr, "Version", "1.0", "Filter",
                                                "*.ded", static_cast<const char *>(nullptr));
  EXPECT_NE(importer, nullptr);
  qvSetReadImageGeoInfoFunc(&plugin, importer, fakeGeo, nullptr);
  qvUnregisterAllTools(&plugin);
  const auto &r = qvstandin::registration();
  EXPECT_EQ(r.plugin, &plugin);
  EXPECT_EQ(r.name, "Name");
  EXPECT_EQ(r.format, 65);
  EXPECT_EQ(r.open, &fakeOpen);
  ASSERT_EQ(r.keyValues.size(), 2u);
  EXPECT_EQ(r.keyValues[1], (std::pair<std::string, std::string>{"Filter", "*.ded"}));
  EXPECT_EQ(r.geoImporter, importer);
  EXPECT_EQ(r.geoInfo, &fakeGeo);
  EXPECT_EQ(r.unregisterCalls, 1);
  qvstandin::refuseRegistration(true);
  EXPECT_EQ(qvRegisterImageImporter(&plugin, "Name", 65, fakeOpen, nullptr, nullptr, nullptr,
                                    nullptr, static_cast<const char *>(nullptr)),
            nullptr);
}

} // namespace

TEST_F(StandIn, RefusesBlocksOverTheLimit) {
  qvstandin::refuseBlocksOver(64);
  void *fits = qvMalloc(64);
  EXPECT_NE(fits, nullptr);
  EXPECT_EQ(qvMalloc(65), nullptr);
  qvFree(fits);
  qvstandin::refuseBlocksOver(0);
  void *unlimited = qvMalloc(65);
  EXPECT_NE(unlimited, nullptr);
  qvFree(unlimited);
  EXPECT_EQ(qvstandin::outstandingBlocks(), 0);
}
