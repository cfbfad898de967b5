// DED files written from rasters made here, through both doors
// (gdal_translate -of DED, elvarin-host convert IN OUT.ded), read back by the
// tests' own decoder, by the driver and by the plug-in through the stand-in
// host. Bounds are single-precision in the file: geotransforms agree within
// 1e-6 of a coordinate's size (here below half a float step).
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <ostream>

#include "tests/gdal/elevations.h"
#include "tests/gdal/harness.h"

namespace {

using nlohmann::json;

struct Source {
  const char *label;
  const char *srs;
  const char *type; // gdal_translate -ot
  int width, height;
  double west, north, step; // the north-west pixel's centre and the pixel size
  const char *more;         // more gdal_translate options
  bool fractions;           // values with quarters (and a few beyond Int16)
  int cells, epsg;
};

void PrintTo(const Source &value, std::ostream *os) { *os << value.label; }

constexpr float kNoDataIn = -9999.0f;

float valueAt(const Source &s, int c, int r) {
  if (std::strcmp(s.label, "allNaN") == 0) {
    return std::nanf("");
  }
  if (std::strstr(s.more, "-a_nodata") != nullptr && (c + 2 * r) % 7 == 3) {
    return kNoDataIn;
  }
  if (s.fractions && (c * r) % 13 == 5) {
    return (c % 2 == 0) ? 40000.5f : -50000.0f;
  }
  const auto whole = static_cast<float>((c * 37 + r * 101) % 1000 - 200);
  return whole + (s.fractions ? 0.25f * static_cast<float>((c + r) % 4) : 0.0f);
}

// What the file must hold for a value: voids for NoData, rounded, clamped.
int16_t sampleFor(float v) {
  if (v == kNoDataIn || std::isnan(v)) {
    return gdaltest::kNoData;
  }
  return static_cast<int16_t>(std::clamp(std::round(v), -32767.0f, 32767.0f));
}

class WriteDed : public gdaltest::GdalFolder, public ::testing::WithParamInterface<Source> {
protected:
  // The source as an EHdr float raster, then a GeoTIFF as gdal_translate makes it.
  std::string makeSource(const Source &s) {
    std::vector<uint8_t> bytes;
    for (int r = 0; r < s.height; ++r) {
      for (int c = 0; c < s.width; ++c) {
        const float v = valueAt(s, c, r);
        const auto *b = reinterpret_cast<const uint8_t *>(&v);
        bytes.insert(bytes.end(), b, b + 4);
      }
    }
    work.write("src.bil", bytes);
    const std::string hdr = "NROWS " + std::to_string(s.height) + "\nNCOLS " +
                            std::to_string(s.width) + "\nNBITS 32\nPIXELTYPE FLOAT\nBYTEORDER I\n" +
                            "ULXMAP " + std::to_string(s.west) + "\nULYMAP " +
                            std::to_string(s.north) + "\nXDIM " + std::to_string(s.step) +
                            "\nYDIM " + std::to_string(s.step) + "\n";
    work.write("src.hdr", std::vector<uint8_t>(hdr.begin(), hdr.end()));
    std::vector<std::string> args{"-q", "-ot", s.type, "-a_srs", s.srs};
    for (const char *p = s.more; *p != '\0';) {
      const char *end = std::strchr(p, ' ');
      args.emplace_back(p, end != nullptr ? end : p + std::strlen(p));
      p = end != nullptr ? end + 1 : p + std::strlen(p);
    }
    args.insert(args.end(), {at("src.bil"), at("src.tif")});
    EXPECT_EQ(run("gdal_translate", args).exitCode, 0);
    return at("src.tif");
  }
};

TEST_P(WriteDed, BothWaysWriteTheSourceAsThePluginImportsIt) {
  const Source &s = GetParam();
  const std::string tif = makeSource(s);
  const clitest::ToolRun viaGdal = run("gdal_translate", {"-q", "-of", "DED", tif, at("g.ded")});
  ASSERT_EQ(viaGdal.exitCode, 0) << viaGdal.err;
  const clitest::ToolRun viaHost = run(ELVARIN_HOST_EXE, {"convert", tif, at("h.ded")});
  ASSERT_EQ(viaHost.exitCode, 0) << viaHost.err;
  const std::string bytes = clitest::slurp(at("g.ded"));
  ASSERT_EQ(clitest::slurp(at("h.ded")), bytes) << "both ways write the same file";

  const gdaltest::Elevations e =
      gdaltest::decodeElevations(std::vector<uint8_t>(bytes.begin(), bytes.end()));
  ASSERT_EQ(e.width, s.width);
  ASSERT_EQ(e.height, s.height);
  int16_t low = INT16_MAX, high = INT16_MIN;
  int clamped = 0;
  for (int r = 0; r < s.height; ++r) {
    for (int c = 0; c < s.width; ++c) {
      const float value = valueAt(s, c, r);
      clamped += std::fabs(value) > 32767.5f && value != kNoDataIn ? 1 : 0;
      const int16_t want = sampleFor(value);
      ASSERT_EQ(e.samples[static_cast<size_t>(r * s.width + c)], want) << c << ", " << r;
      if (want != gdaltest::kNoData) {
        low = std::min(low, want);
        high = std::max(high, want);
      }
    }
  }
  for (const clitest::ToolRun &r : {viaGdal, viaHost}) {
    const std::string warning = " values outside -32767..32767 were clamped";
    EXPECT_EQ(r.err.find(std::to_string(clamped) + warning) != std::string::npos, clamped > 0)
        << r.err;
  }
  const json source = info({tif});
  const json written = info({at("g.ded")});
  for (size_t i = 0; i < 6; ++i) {
    const double expected = source["geoTransform"][i];
    EXPECT_NEAR(written["geoTransform"][i], expected, 1e-6 * std::max(1.0, std::fabs(expected)))
        << i;
  }
  EXPECT_EQ(written["stac"]["proj:epsg"], s.epsg);
  const json &items = written["metadata"][""];
  EXPECT_EQ(items["CELL_COUNT"], std::to_string(s.cells));
  EXPECT_EQ(items["ELEVATION_MINIMUM"], std::to_string(low));
  EXPECT_EQ(items["ELEVATION_MAXIMUM"], std::to_string(high));

  // The plug-in's own reading, through the stand-in host.
  const clitest::ToolRun r = run(ELVARIN_HOST_EXE, {"info", "--json", at("g.ded")});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const json host = json::parse(r.out)["host"];
  EXPECT_EQ(host["texture"]["width"], s.width);
  EXPECT_EQ(host["texture"]["height"], s.height);
  const bool utm = s.epsg != 4326;
  EXPECT_EQ(host["geo"]["projection"], utm ? 4 : 0);
  if (utm) {
    EXPECT_EQ(host["geo"]["utmZone"], s.epsg % 100);
    EXPECT_EQ(host["geo"]["utmHemisphere"], s.epsg / 100 == 326 ? 1 : 0);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Sources, WriteDed,
    ::testing::Values(
        Source{"geographicInt16", "EPSG:4326", "Int16", 40, 30, 7.0, 47.0, 1 / 120.0, "", false, 1,
               4326},
        Source{"withNoData", "EPSG:4326", "Int16", 21, 17, -71.5, -33.0, 1 / 1200.0,
               "-a_nodata -9999", false, 1, 4326},
        Source{"float32", "EPSG:4326", "Float32", 25, 19, 150.0, 10.0, 1 / 360.0, "", true, 1,
               4326},
        Source{"utmNorth", "EPSG:32633", "Int16", 31, 23, 500000, 5030000, 30, "", false, 1, 32633},
        Source{"utmSouth", "EPSG:32719", "Float32", 18, 26, 300000, 6200000, 90, "-a_nodata -9999",
               true, 1, 32719},
        Source{"severalCells", "EPSG:4326", "Int16", 250, 130, 10.0, 46.0, 1 / 120.0, "", false, 6,
               4326},
        Source{"areaOrPoint", "EPSG:4326", "Int16", 12, 9, 8.0, 45.0, 1 / 60.0,
               "-mo AREA_OR_POINT=Point", false, 1, 4326},
        Source{"oneByOne", "EPSG:4326", "Int16", 1, 1, 8.0, 45.0, 1 / 60.0, "", false, 1, 4326},
        Source{"oneWide", "EPSG:4326", "Float32", 1, 40, 8.0, 45.0, 1 / 60.0, "", true, 1, 4326}),
    [](const auto &testInfo) { return std::string(testInfo.param.label); });

TEST_F(WriteDed, SourcesWithoutElevationsOrInAnotherSystemLeaveNothing) {
  struct Refusal {
    Source source;
    const char *says;
  };
  const Refusal refusals[] = {
      {{"allNaN", "EPSG:4326", "Float32", 3, 3, 8, 45, 1, "", false, 0, 0},
       "every sample is NoData or NaN"},
      {{"webMercator", "EPSG:3857", "Int16", 3, 3, 0, 0, 10, "", false, 0, 0},
       "(EPSG:3857) is neither WGS 84 (EPSG:4326) nor WGS 84 / UTM"},
      {{"nad83Utm", "EPSG:26910", "Int16", 3, 3, 0, 0, 10, "", false, 0, 0},
       "reproject it first: gdalwarp -t_srs EPSG:32610"},
  };
  for (const Refusal &refusal : refusals) {
    SCOPED_TRACE(refusal.source.label);
    const std::string tif = makeSource(refusal.source);
    const auto before = clitest::namesIn(work.path());
    const clitest::ToolRun g = run("gdal_translate", {"-q", "-of", "DED", tif, at("o.ded")});
    const clitest::ToolRun h = run(ELVARIN_HOST_EXE, {"convert", tif, at("o.ded")});
    for (const clitest::ToolRun &r : {g, h}) {
      EXPECT_NE(r.exitCode, 0);
      EXPECT_NE(r.err.find(refusal.says), std::string::npos) << r.err;
    }
    EXPECT_EQ(clitest::namesIn(work.path()), before) << "nothing left behind";
  }
}

TEST_F(WriteDed, CellSizeCutsTheCellsAndIsAWholeNumberFromTwo) {
  const std::string tif = makeSource(
      Source{"cells", "EPSG:4326", "Int16", 30, 20, 7.0, 47.0, 1 / 120.0, "", false, 0, 0});
  for (const auto &[option, cells] :
       {std::pair{"CELL_SIZE=11", "6"}, std::pair{"CELL_SIZE=2", "551"}}) {
    SCOPED_TRACE(option);
    const clitest::ToolRun r =
        run("gdal_translate", {"-q", "-of", "DED", "-co", option, tif, at("c.ded")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(info({at("c.ded")})["metadata"][""]["CELL_COUNT"], cells);
    EXPECT_EQ(run("gdal_translate", {"-q", "-of", "EHdr", at("c.ded"), at("c.bil")}).exitCode, 0);
    EXPECT_EQ(run("gdal_translate", {"-q", "-of", "EHdr", tif, at("t.bil")}).exitCode, 0);
    EXPECT_EQ(gdaltest::readSamples(at("c.bil")), gdaltest::readSamples(at("t.bil")));
  }
  for (const char *option : {"CELL_SIZE=1", "CELL_SIZE=x", "CELL_SIZE=3000000000"}) {
    const clitest::ToolRun r =
        run("gdal_translate", {"-q", "-of", "DED", "-co", option, tif, at("x.ded")});
    EXPECT_NE(r.exitCode, 0);
    EXPECT_NE(r.err.find(std::string(option) + ": give the samples a side of a cell"),
              std::string::npos)
        << r.err;
    EXPECT_FALSE(std::filesystem::exists(at("x.ded")));
  }
}

TEST_F(WriteDed, ADedFileThroughAGeoTiffWritesBackTheSameSamplesAndPlaces) {
  const std::vector<uint8_t> bytes = dedtest::encode(gdaltest::mosaicOf(gdaltest::tiles(3, 2)));
  const std::string ded = work.write("m.ded", bytes);
  ASSERT_EQ(run("gdal_translate", {"-q", ded, at("m.tif")}).exitCode, 0);
  const clitest::ToolRun r = run("gdal_translate", {"-q", "-of", "DED", at("m.tif"), at("b.ded")});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const std::string back = clitest::slurp(at("b.ded"));
  EXPECT_EQ(gdaltest::decodeElevations(std::vector<uint8_t>(back.begin(), back.end())).samples,
            gdaltest::decodeElevations(bytes).samples);
  EXPECT_EQ(info({at("b.ded")})["geoTransform"], info({ded})["geoTransform"]);
}

} // namespace
