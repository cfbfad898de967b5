// The get-info and geo-info callbacks: the setter calls each makes on the
// host's image record, in order, and what stops them.
#include <gtest/gtest.h>

#include <climits>

#include "ded/open_files.h"
#include "host/status.h"
#include "plugin/geo_info.h"
#include "plugin/get_info.h"
#include "plugin/open_close.h"
#include "qvapilib/stand_in.h"
#include "tests/support/host_fixture.h"

namespace {

using dedtest::File;
using Calls = std::vector<std::pair<std::string, std::vector<double>>>;

using Callback = int32_t (*)(void *, void *, int32_t, QvImageRec);

Calls made(const qvstandin::ImageRecord &rec) {
  Calls calls;
  for (const auto &call : rec.calls) {
    calls.emplace_back(call.name, call.args);
  }
  return calls;
}

class ImageInfo : public dedtest::HostTest {
protected:
  // Opens file, runs callback on a fresh record and closes the file again.
  int32_t run(Callback callback, const File &file, qvstandin::ImageRecord *rec) {
    const int32_t handle = openFile(file);
    const int32_t status = callback(nullptr, nullptr, handle, rec);
    dedCloseImage(nullptr, nullptr, handle);
    return status;
  }
};

File twoCellMosaic() {
  File file;
  file.cellCount = 2;
  file.cells = {dedtest::geographicCell(10, 45, 121, 121, 300.0f),
                dedtest::geographicCell(11, 45, 121, 121, 300.0f)};
  return file;
}

TEST_F(ImageInfo, GetInfoSetsSizeThenFixedAttributes) {
  qvstandin::ImageRecord rec;
  ASSERT_EQ(run(dedGetImageInfo, dedtest::geographicFile(121, 121), &rec), DED_OK);
  EXPECT_EQ(made(rec), (Calls{{"qvSetTextureWidth", {121}},
                              {"qvSetTextureHeight", {121}},
                              {"qvSetTextureType", {2}},
                              {"qvSetTextureSampleSize", {8}},
                              {"qvSetTextureMinMax", {0.0, 255.0}},
                              {"qvSetTextureTransparentValue", {-32768}},
                              {"qvSetTextureTiledFlag", {0}},
                              {"qvSetTextureSignedFlag", {1}}}));
}

struct GeoCase {
  const char *name;
  File file;
  Calls calls;
};

File utm(const std::string &zone, char hemisphere) {
  File file = dedtest::utmFile(zone, hemisphere, 4, 3);
  file.cells[0].xMin = 500000.5f; // single-precision bounds reach the host unrounded
  return file;
}

const Calls kGeographicHead = {{"qvSetTextureGeoType", {0}},
                               {"qvSetTextureGeoImageOrigin", {0}},
                               {"qvSetTextureGeoProjection", {0}},
                               {"qvSetTextureGeoEarthModel", {0}},
                               {"qvSetTextureGeoNumCtlPts", {3}}};

Calls utmCalls(double zone, double hemisphere) {
  return {{"qvSetTextureGeoType", {0}},
          {"qvSetTextureGeoImageOrigin", {0}},
          {"qvSetTextureGeoProjection", {4}},
          {"qvSetTextureGeoEarthModel", {0}},
          {"qvSetTextureGeoUTMZone", {zone}},
          {"qvSetTextureGeoUTMHemisphere", {hemisphere}},
          {"qvSetTextureGeoNumCtlPts", {3}},
          {"qvSetTextureGeoCtlPt", {0, 0, 0, 500000.5, 4000000}},
          {"qvSetTextureGeoCtlPt", {1, 0, 3, 500000.5, 4000060}},
          {"qvSetTextureGeoCtlPt", {2, 4, 0, 500090, 4000000}}};
}

Calls withPoints(Calls head, const Calls &points) {
  head.insert(head.end(), points.begin(), points.end());
  return head;
}

std::vector<GeoCase> geoCases() {
  return {
      // Image extents, not last-pixel indices; no zone or hemisphere.
      {"geographic_single", dedtest::geographicFile(121, 121),
       withPoints(kGeographicHead, {{"qvSetTextureGeoCtlPt", {0, 0, 0, 10, 45}},
                                    {"qvSetTextureGeoCtlPt", {1, 0, 121, 10, 46}},
                                    {"qvSetTextureGeoCtlPt", {2, 121, 0, 11, 45}}})},
      {"geographic_mosaic", twoCellMosaic(),
       withPoints(kGeographicHead, {{"qvSetTextureGeoCtlPt", {0, 0, 0, 10, 45}},
                                    {"qvSetTextureGeoCtlPt", {1, 0, 121, 10, 46}},
                                    {"qvSetTextureGeoCtlPt", {2, 241, 0, 12, 45}}})},
      {"utm_33_north", utm("33", 'n'), utmCalls(33, 1)},
      {"utm_7_south", utm("7", 'S'), utmCalls(7, 0)},
  };
}

class GeoInfo : public ImageInfo, public ::testing::WithParamInterface<GeoCase> {};

TEST_P(GeoInfo, SetsProjectionThenControlPoints) {
  qvstandin::ImageRecord rec;
  ASSERT_EQ(run(dedGetGeoInfo, GetParam().file, &rec), DED_OK);
  EXPECT_EQ(made(rec), GetParam().calls);
}

void PrintTo(const GeoCase &c, std::ostream *out) { *out << c.name; }

INSTANTIATE_TEST_SUITE_P(Files, GeoInfo, ::testing::ValuesIn(geoCases()),
                         [](const auto &param) { return std::string(param.param.name); });

TEST_F(ImageInfo, RefusedSetterEndsTheCallback) {
  qvstandin::ImageRecord info;
  info.refuseName = "qvSetTextureSampleSize";
  EXPECT_EQ(run(dedGetImageInfo, dedtest::geographicFile(5, 3), &info), DED_ERR_BADARG);
  ASSERT_EQ(info.calls.size(), 4u);
  EXPECT_TRUE(info.calls.back().refused);

  qvstandin::ImageRecord geo;
  geo.refuseName = "qvSetTextureGeoUTMZone";
  EXPECT_EQ(run(dedGetGeoInfo, utm("33", 'n'), &geo), DED_ERR_BADARG);
  ASSERT_EQ(geo.calls.size(), 5u);
  EXPECT_EQ(geo.calls.back().name, "qvSetTextureGeoUTMZone");
}

// A failed description is returned as it is, before any setter.
TEST_F(ImageInfo, DescriptionFailuresPassThrough) {
  File truncated = twoCellMosaic();
  std::vector<uint8_t> cut = dedtest::encode(truncated);
  cut.resize(dedtest::kFirstCellOffset + dedtest::kCellHeaderBytes + 12);
  const std::string truncatedPath = dir.write("truncated.ded", cut);

  const struct {
    const char *name;
    std::string path;
    bool noMemory;
    int32_t status;
  } cases[] = {
      {"cut inside the second cell header", truncatedPath, false, DED_ERR_READ},
      {"hemisphere X", dir.write("x.ded", dedtest::encode(utm("33", 'X'))), false, DED_ERR_BADARG},
      {"zone 61", dir.write("61.ded", dedtest::encode(utm("61", 'N'))), false, DED_ERR_BADARG},
      {"no memory", dir.write("ok.ded", dedtest::encode(twoCellMosaic())), true, DED_ERR_NOMEM},
  };
  for (const auto &c : cases) {
    for (Callback callback : {dedGetImageInfo, dedGetGeoInfo}) {
      SCOPED_TRACE(c.name);
      const int32_t handle = openOrFail(c.path);
      qvstandin::failAllAllocations(c.noMemory);
      qvstandin::ImageRecord rec;
      testing::internal::CaptureStderr();
      EXPECT_EQ(callback(nullptr, nullptr, handle, &rec), c.status);
      const std::string errors = testing::internal::GetCapturedStderr();
      qvstandin::failAllAllocations(false);
      EXPECT_TRUE(rec.calls.empty());
      EXPECT_EQ(errors.rfind("Reading ded cell header: ", 0) == 0, c.status == DED_ERR_READ)
          << errors;
      dedCloseImage(nullptr, nullptr, handle);
    }
  }
}

TEST_F(ImageInfo, BadHandlesTouchNothing) {
  const int32_t open = openFile(dedtest::geographicFile(3, 2), "open.ded");
  const int32_t closed = openFile(dedtest::geographicFile(3, 2), "closed.ded");
  dedCloseImage(nullptr, nullptr, closed);
  for (const int32_t handle : {closed, 7, -1, 10, INT32_MIN}) {
    for (Callback callback : {dedGetImageInfo, dedGetGeoInfo}) {
      SCOPED_TRACE(handle);
      qvstandin::ImageRecord rec;
      EXPECT_EQ(callback(nullptr, nullptr, handle, &rec), DED_ERR_BADARG);
      EXPECT_TRUE(rec.calls.empty());
    }
  }
  EXPECT_EQ(qvstandin::allocationCount(), 0);
  dedCloseImage(nullptr, nullptr, open);
}

// The only host memory either callback uses is the description's cell array.
TEST_F(ImageInfo, NoAllocationOfTheirOwn) {
  for (Callback callback : {dedGetImageInfo, dedGetGeoInfo}) {
    qvstandin::reset();
    qvstandin::ImageRecord rec;
    ASSERT_EQ(run(callback, twoCellMosaic(), &rec), DED_OK);
    EXPECT_EQ(qvstandin::allocationSizes(), (std::vector<size_t>{2 * dedtest::kCellHeaderBytes}));
  }
}

} // namespace
