// DED files written from rasters made here, through both doors
// (gdal_translate -of DED, elvarin-host convert IN OUT.ded), read back by the
// tests' own decoder, by the driver and by the plug-in through the stand-in
// host. Bounds are single-precision in the file: geotransforms agree within
// 1e-6 of a coordinate's size (here below half a float step).
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <ostream>

#include <unistd.h>

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
  const char *warns = nullptr; // what both ways warn
  uint32_t seed = 0;           // values drawn from it, when not 0
  double yStep = 0;            // the pixel height, when not step
};

void PrintTo(const Source &value, std::ostream *os) { *os << value.label; }

constexpr float kNoDataIn = -9999.0f;

// Systems that name WGS 84 or its UTM zone as they are written by other programs, or falsely.
constexpr const char *kEsriWgs84 =
    R"(GEOGCS["GCS_WGS_1984",DATUM["D_WGS_1984",SPHEROID["WGS_1984",6378137.0,298.257223563]],)"
    R"(PRIMEM["Greenwich",0.0],UNIT["Degree",0.0174532925199433]])";
constexpr const char *kOsgbAs4326 =
    R"(GEOGCS["WGS 84",DATUM["OSGB_1936",SPHEROID["Airy 1830",6377563.396,299.3249646]],)"
    R"(PRIMEM["Greenwich",0],UNIT["degree",0.0174532925199433],AUTHORITY["EPSG","4326"]])";
constexpr const char *kUtm33NoFalseEasting =
    R"(PROJCS["WGS 84 / UTM zone 33N",GEOGCS["WGS 84",DATUM["WGS_1984",SPHEROID["WGS 84",)"
    R"(6378137,298.257223563]],PRIMEM["Greenwich",0],UNIT["degree",0.0174532925199433]],)"
    R"(PROJECTION["Transverse_Mercator"],PARAMETER["latitude_of_origin",0],)"
    R"(PARAMETER["central_meridian",15],PARAMETER["scale_factor",0.9996],)"
    R"(PARAMETER["false_easting",0],PARAMETER["false_northing",0],UNIT["metre",1],)"
    R"(AUTHORITY["EPSG","32633"]])";

// Values at the clamp's edges: each rounds outside -32767..32767 but the last two.
constexpr float kEdges[] = {-32767.6f, -32768.0f, -32767.5f, 32767.5f, -32767.4f, 32767.4f};

// A draw from seed at (c, r): the same every run.
uint32_t draw(uint32_t seed, int c, int r) {
  uint32_t h = seed ^ (static_cast<uint32_t>(c) * 0x9E3779B1u) ^ (static_cast<uint32_t>(r) << 16);
  for (int i = 0; i < 3; ++i) {
    h = (h ^ (h >> 15)) * 0x2C1B3C6Du;
  }
  return h ^ (h >> 13);
}

float valueAt(const Source &s, int c, int r) {
  if (std::strcmp(s.label, "allNaN") == 0) {
    return std::nanf("");
  }
  if (s.seed != 0) { // mostly terrain, a few voids and edges of the clamp
    const uint32_t d = draw(s.seed, c, r);
    return d % 23 == 0   ? kEdges[d / 23 % 6]
           : d % 29 == 0 ? kNoDataIn
           : d % 31 == 0 ? std::nanf("")
                         : static_cast<float>(d % 90000) / 8.0f - 2000.0f;
  }
  if (std::strncmp(s.label, "clampEdges", 10) == 0 && (c + r) % 2 == 0) {
    return std::strcmp(s.type, "Int16") == 0 ? -32768.0f : kEdges[(c + 3 * r) % 6];
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

// What the file must hold for a value: voids for NoData and masked pixels
// (the mask made from the values by -mask 1, or an alpha band of them: 0 and
// below), rounded, clamped.
int16_t sampleFor(const Source &s, float v) {
  if (v == kNoDataIn || std::isnan(v) ||
      ((std::strstr(s.more, "-mask") != nullptr || std::strstr(s.more, "alpha") != nullptr) &&
       v <= 0)) {
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
                            "\nYDIM " + std::to_string(s.yStep > 0 ? s.yStep : s.step) + "\n";
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
      const int16_t want = sampleFor(s, value);
      clamped += want != gdaltest::kNoData && std::round(value) != static_cast<float>(want) ? 1 : 0;
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
    const char *leftOut = s.warns != nullptr ? s.warns : " is written"; // a band or a part
    EXPECT_EQ(r.err.find(leftOut) != std::string::npos, s.warns != nullptr) << r.err;
  }
  if (!viaHost.err.empty()) { // -q keeps the warnings back, not the --stats line
    const clitest::ToolRun quiet =
        run(ELVARIN_HOST_EXE, {"convert", "-q", "--stats", tif, at("q.ded")});
    EXPECT_EQ(quiet.err.rfind("elvarin-host: stats: ", 0), 0u) << quiet.err;
    EXPECT_EQ(clitest::linesOf(quiet.err).size(), 1u) << quiet.err;
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
        // Cells of a degree's samples and the edge (121 x 241 here), at most 3601 a side, at
        // least 2.
        Source{"nonSquare", "EPSG:4326", "Int16", 121, 242, 7.0, 47.0, 1 / 120.0, "", false, 2,
               4326, nullptr, 0, 1 / 240.0},
        Source{"finerThanAnArcSecond", "EPSG:4326", "Int16", 3602, 2, 1.0, 1.0, 1 / 7200.0, "",
               false, 2, 4326},
        Source{"threeDegreePixels", "EPSG:4326", "Int16", 5, 4, 8.0, 45.0, 3.0, "", false, 12,
               4326},
        Source{"areaOrPoint", "EPSG:4326", "Int16", 12, 9, 8.0, 45.0, 1 / 60.0,
               "-mo AREA_OR_POINT=Point", false, 1, 4326},
        Source{"oneByOne", "EPSG:4326", "Int16", 1, 1, 8.0, 45.0, 1 / 60.0, "", false, 1, 4326},
        Source{"oneWide", "EPSG:4326", "Float32", 1, 40, 8.0, 45.0, 1 / 60.0, "", true, 1, 4326},
        Source{"clampEdges", "EPSG:4326", "Float32", 6, 5, 8.0, 45.0, 1 / 60.0, "-a_nodata -9999",
               false, 1, 4326},
        Source{"clampEdgesInt16", "EPSG:4326", "Int16", 3, 2, 8.0, 45.0, 1 / 60.0, "", false, 1,
               4326},
        Source{"perDatasetMask", "EPSG:4326", "Float32", 9, 7, 8.0, 45.0, 1 / 60.0, "-mask 1", true,
               1, 4326},
        Source{"alphaBand", "EPSG:4326", "UInt16", 9, 7, 8.0, 45.0, 1 / 60.0,
               "-b 1 -b 1 -colorinterp_2 alpha", false, 1, 4326},
        Source{"twoBands", "EPSG:4326", "Int16", 5, 4, 8.0, 45.0, 1 / 60.0, "-b 1 -b 1", false, 1,
               4326, "only the first of its 2 bands is written"},
        Source{"complex", "EPSG:4326", "CFloat32", 5, 4, 8.0, 45.0, 1 / 60.0, "", false, 1, 4326,
               "only the real part is written"},
        Source{"atThePole", "EPSG:4326", "Int16", 4, 3, 8.0, 90.0, 1 / 60.0, "", false, 1, 4326},
        Source{"utmTwoMetresAtEightMillion", "EPSG:32719", "Int16", 5, 4, 500001, 7999999, 2, "",
               false, 1, 32719},
        Source{"esriWkt", kEsriWgs84, "Int16", 5, 4, 8.0, 45.0, 1 / 60.0, "-of VRT", false, 1,
               4326}),
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
      {{"noCode", "+proj=robin +lon_0=7 +ellps=WGS84", "Int16", 3, 3, 0, 0, 10, "", false, 0, 0},
       "unknown is neither WGS 84"},
      {{"nad83Utm", "EPSG:26910", "Int16", 3, 3, 0, 0, 10, "", false, 0, 0},
       "reproject it first: gdalwarp -t_srs EPSG:32610"},
      {{"osgbUnder4326", kOsgbAs4326, "Int16", 3, 3, 8, 45, 1, "-of VRT", false, 0, 0},
       "names EPSG:4326 but differs from it"},
      {{"utmNoFalseEasting", kUtm33NoFalseEasting, "Int16", 3, 3, 0, 5e6, 10, "-of VRT", false, 0,
        0},
       "names EPSG:32633 but differs from it"},
      {{"utmOneMetreAtNineMillion", "EPSG:32719", "Int16", 3, 3, 500000.5, 8999999.5, 1, "", false,
        0, 0},
       "single-precision bounds cannot hold its sample positions"},
      {{"beyondThePole", "EPSG:4326", "Int16", 3, 3, 8, 90.25, 0.5, "", false, 0, 0},
       "beyond latitude 90"},
      {{"nanGeotransform", "EPSG:4326", "Int16", 3, 3, 8, 45, 1, "-of VRT -a_ullr nan 45 9 44",
        false, 0, 0},
       "its geotransform is not usable"},
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
      EXPECT_EQ(r.err.find("nan"), std::string::npos) << r.err;
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
  const std::string utm =
      makeSource(Source{"utm", "EPSG:32633", "Int16", 12, 10, 500000, 5e6, 30, "", false, 0, 0});
  const clitest::ToolRun r =
      run("gdal_translate", {"-q", "-of", "DED", "-co", "CELL_SIZE=11", utm, at("u.ded")});
  EXPECT_NE(r.err.find("CELL_SIZE=11 asks for cells smaller than the raster (12 x 10"),
            std::string::npos)
      << r.err;
  // One cell down and more cells across than a file may hold.
  const std::string wide = makeSource(Source{"wide", "EPSG:4326", "Int16", (1 << 20) + 2, 2, -70.0,
                                             47.0, 1 / 7200.0, "", false, 0, 0});
  const clitest::ToolRun many =
      run("gdal_translate", {"-q", "-of", "DED", "-co", "CELL_SIZE=2", wide, at("w.ded")});
  EXPECT_NE(many.err.find("more than 1048576 cells: use larger cells"), std::string::npos)
      << many.err;
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

// A write that is refused or fails leaves its output as it was: an older
// file of that name (which GDAL asks the driver to delete first), a device,
// an archive; outputs that cannot seek (archives) get the whole file.
TEST_F(WriteDed, OutputsAreWholeOrLeftAsTheyWere) {
  const std::string tif = makeSource(Source{"deflate", "EPSG:4326", "Int16", 60, 50, 8, 45, 0.01,
                                            "-co COMPRESS=DEFLATE", false, 0, 0});
  ASSERT_EQ(run("gdal_translate", {"-q", "-of", "DED", tif, at("old.ded")}).exitCode, 0);
  const std::string old = clitest::slurp(at("old.ded"));
  const char *unpack = "import gzip, sys, zipfile; sys.stdout.buffer.write("
                       "zipfile.ZipFile(sys.argv[1]).read('a.ded') if sys.argv[1].endswith('zip') "
                       "else gzip.open(sys.argv[1]).read())";
  for (const std::string &archive : {at("o.zip"), at("o.ded.gz")}) {
    const std::string output =
        archive.back() == 'p' ? "/vsizip/" + archive + "/a.ded" : "/vsigzip/" + archive;
    const clitest::ToolRun r = run("gdal_translate", {"-q", "-of", "DED", tif, output});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(run(ELVARIN_PYTHON, {"-c", unpack, archive}).out, old) << output;
  }
  // Refused (another system) and failing midway (a cut DEFLATE strip).
  const std::string mercator = at("mercator.tif");
  ASSERT_EQ(run("gdal_translate", {"-q", "-a_srs", "EPSG:3857", tif, mercator}).exitCode, 0);
  const std::string whole = clitest::slurp(tif);
  const std::string cut = work.write(
      "cut.tif",
      std::vector<uint8_t>(whole.begin(), whole.begin() + static_cast<long>(whole.size() / 2)));
  ASSERT_EQ(::symlink("/dev/full", at("full").c_str()), 0);
  const auto before = clitest::namesIn(work.path());
  for (const std::string &source : {mercator, cut}) {
    SCOPED_TRACE(source);
    for (const std::string &output : {at("old.ded"), "/vsizip/" + at("n.zip") + "/a.ded"}) {
      EXPECT_NE(run("gdal_translate", {"-q", "-of", "DED", source, output}).exitCode, 0);
    }
    EXPECT_NE(run(ELVARIN_HOST_EXE, {"convert", source, at("old.ded")}).exitCode, 0);
    EXPECT_EQ(clitest::slurp(at("old.ded")), old);
    EXPECT_EQ(clitest::namesIn(work.path()), before) << "no archive, no temporary file";
  }
  // Stopped by its progress once every sample is written, which is the first time it is told.
  const char *stop = "import sys\nfrom osgeo import gdal\nprint(gdal.Translate(sys.argv[2], "
                     "sys.argv[1], format='DED', callback=lambda *a: 0))";
  const clitest::ToolRun stopped = run(ELVARIN_PYTHON, {"-c", stop, tif, at("old.ded")});
  EXPECT_EQ(stopped.out, "None\n");
  EXPECT_NE(stopped.err.find("stopped by the user"), std::string::npos) << stopped.err;
  EXPECT_EQ(clitest::slurp(at("old.ded")), old);
  EXPECT_EQ(clitest::namesIn(work.path()), before);
  const clitest::ToolRun full = run("gdal_translate", {"-q", "-of", "DED", tif, at("full")});
  EXPECT_NE(full.err.find("cannot write the file"), std::string::npos) << full.err;
  EXPECT_TRUE(std::filesystem::is_symlink(at("full"))) << "a device is never removed";
  // Written, but other bytes in its place when it is opened again: no output.
  const std::string text = work.write("text", std::vector<uint8_t>(10, 'x'));
  const std::string preload = std::string(ELVARIN_GDAL_PRELOAD) + " " ELVARIN_SWAP_SHIM;
  const clitest::ToolRun swapped =
      run("ELVARIN_SWAP_MODE=fopen",
          {"ELVARIN_SWAP_AT=1", "ELVARIN_SWAP_TARGET=" + at("new.ded"), "ELVARIN_SWAP_WITH=" + text,
           "LD_PRELOAD=" + preload, "gdal_translate", "-q", "-of", "DED", tif, at("new.ded")});
  EXPECT_NE(swapped.err.find("cannot read the written file"), std::string::npos) << swapped.err;
  EXPECT_FALSE(std::filesystem::exists(at("new.ded")));
}

// Sources larger than the writer's window (64 MiB of values), so it reads
// them in bands of rows and puts each column's part in its place: an Int16
// UTM cell taller than a window, a Float32 band of cells wider than one.
TEST_F(WriteDed, SourcesLargerThanAWindowKeepEverySampleInPlace) {
  const std::string small =
      makeSource(Source{"small", "EPSG:4326", "Float32", 40, 30, 8, 45, 0.01, "", true, 0, 0});
  const struct {
    const char *type, *srs, *size[2], *bounds[4];
  } larges[] = {
      {"Int16", "EPSG:32633", {"3000", "12000"}, {"499985", "860015", "589985", "500015"}},
      {"Float32",
       "EPSG:4326",
       {"24000", "400"},
       {"-0.0004166667", "47.0004166667", "19.9995833333", "46.6670833333"}},
  };
  for (const auto &large : larges) {
    SCOPED_TRACE(large.type);
    ASSERT_EQ(run("gdal_translate",
                  {"-q", "-r", "bilinear", "-ot", large.type, "-a_srs", large.srs, "-outsize",
                   large.size[0], large.size[1], "-a_ullr", large.bounds[0], large.bounds[1],
                   large.bounds[2], large.bounds[3], small, at("large.tif")})
                  .exitCode,
              0);
    const clitest::ToolRun g =
        run("gdal_translate", {"-q", "-of", "DED", at("large.tif"), at("g.ded")});
    ASSERT_EQ(g.exitCode, 0) << g.err;
    ASSERT_EQ(run(ELVARIN_HOST_EXE, {"convert", at("large.tif"), at("h.ded")}).exitCode, 0);
    EXPECT_EQ(clitest::slurp(at("g.ded")), clitest::slurp(at("h.ded")));
    ASSERT_EQ(
        run("gdal_translate", {"-q", "-of", "EHdr", "-ot", "Float32", at("large.tif"), at("s.bil")})
            .exitCode,
        0);
    ASSERT_EQ(run("gdal_translate", {"-q", "-of", "EHdr", at("g.ded"), at("d.bil")}).exitCode, 0);
    const std::string raw = clitest::slurp(at("s.bil"));
    const std::vector<int16_t> back = gdaltest::readSamples(at("d.bil"));
    ASSERT_EQ(back.size() * 4, raw.size());
    size_t wrong = 0;
    for (size_t i = 0; i < back.size(); ++i) {
      float v = 0;
      std::memcpy(&v, raw.data() + i * 4, 4);
      wrong +=
          static_cast<float>(back[i]) == std::clamp(std::round(v), -32767.0f, 32767.0f) ? 0 : 1;
    }
    EXPECT_EQ(wrong, 0u);
  }
}

// Random sources (ELVARIN_RANDOM_SOURCES of them, 12 unless told) through
// both ways: the same bytes, which the plug-in imports and the driver reads
// back with the source's values at its places; or the same refusal.
TEST_F(WriteDed, RandomSourcesAreWrittenTrueOrRefusedAlike) {
  const char *asked = std::getenv("ELVARIN_RANDOM_SOURCES");
  const int count = asked != nullptr ? std::atoi(asked) : 12;
  const char *types[] = {"Int16", "Float32", "Float64", "Int32", "Byte"};
  const double steps[] = {1 / 3600.0, 1 / 1200.0, 0.1, 0.7, 1, 30, 90, 0.5};
  int refused = 0;
  for (uint32_t seed = 1; seed <= static_cast<uint32_t>(count); ++seed) {
    auto pick = [seed](uint32_t n, int what) { return draw(seed * 7919u, what, 3) % n; };
    const bool utm = pick(2, 0) == 0;
    const std::string srs =
        utm ? "EPSG:32" + std::to_string(6 + pick(2, 1)) + std::to_string(10 + pick(50, 2))
        : pick(9, 1) == 0 ? "EPSG:3857"
                          : "EPSG:4326";
    const double step = steps[pick(4, 3) + (utm ? 4 : 0)];
    const double west = utm ? 1e5 + pick(8000, 4) * 100.25 : -180.0 + pick(3600, 4) * 0.1;
    const double north = utm ? pick(100000, 5) * 100.5 : -89.0 + pick(1790, 5) * 0.1;
    const std::string more = pick(2, 6) == 0 ? "-a_nodata -9999" : "";
    const Source s{"random",
                   srs.c_str(),
                   types[pick(5, 7)],
                   1 + static_cast<int>(pick(70, 8)),
                   1 + static_cast<int>(pick(50, 9)),
                   west,
                   north,
                   step,
                   more.c_str(),
                   false,
                   0,
                   0,
                   nullptr,
                   seed};
    SCOPED_TRACE(::testing::Message()
                 << "seed " << seed << ": " << srs << " " << s.type << " " << s.width << " x "
                 << s.height << " step " << step << " at " << west << ", " << north << " " << more);
    const std::string tif = makeSource(s);
    const clitest::ToolRun g = run("gdal_translate", {"-q", "-of", "DED", tif, at("g.ded")});
    const clitest::ToolRun h = run(ELVARIN_HOST_EXE, {"convert", tif, at("h.ded")});
    ASSERT_EQ(g.exitCode == 0, h.exitCode == 0) << g.err << h.err;
    if (g.exitCode != 0) {
      const std::string why = "cannot be written as DED: ";
      const size_t at = g.err.find(why);
      ASSERT_NE(at, std::string::npos) << g.err;
      EXPECT_NE(h.err.find(g.err.substr(at, g.err.find('\n', at) - at)), std::string::npos)
          << g.err << h.err;
      ++refused;
      continue;
    }
    ASSERT_EQ(clitest::slurp(at("g.ded")), clitest::slurp(at("h.ded")));
    EXPECT_EQ(run(ELVARIN_HOST_EXE, {"info", at("g.ded")}).exitCode, 0) << "the plug-in imports it";
    // The source's own values (as its type holds them) against the driver's.
    ASSERT_EQ(
        run("gdal_translate", {"-q", "-of", "EHdr", "-ot", "Float32", tif, at("v.bil")}).exitCode,
        0);
    ASSERT_EQ(run("gdal_translate", {"-q", "-of", "EHdr", at("g.ded"), at("d.bil")}).exitCode, 0);
    const json from = info({tif}), to = info({at("g.ded")});
    const json &band = from["bands"][0];
    const double noData = band.contains("noDataValue") ? double(band["noDataValue"]) : NAN;
    const std::string raw = clitest::slurp(at("v.bil"));
    const std::vector<int16_t> back = gdaltest::readSamples(at("d.bil"));
    ASSERT_EQ(back.size() * 4, raw.size());
    for (size_t i = 0; i < back.size(); ++i) {
      float v = 0;
      std::memcpy(&v, raw.data() + i * 4, 4);
      const double want = std::isnan(v) || v == noData
                              ? gdaltest::kNoData
                              : std::clamp(std::round(double{v}), -32767.0, 32767.0);
      ASSERT_EQ(back[i], want) << "sample " << i << " of " << v;
    }
    // The first and last samples' places along each axis, within 1/100 of a pixel.
    const auto place = [](const json &t, size_t axis, int k) {
      return double(t["geoTransform"][axis]) +
             (k + 0.5) * double(t["geoTransform"][axis + 1 + axis / 3]);
    };
    for (const size_t axis : {size_t{0}, size_t{3}}) {
      const double pixel = std::fabs(place(from, axis, 1) - place(from, axis, 0));
      for (const int k : {0, (axis == 0 ? s.width : s.height) - 1}) {
        EXPECT_LE(std::fabs(place(from, axis, k) - place(to, axis, k)), pixel / 100) << axis << k;
      }
    }
  }
  RecordProperty("refused", refused);
  EXPECT_TRUE(refused > 0 && refused < count) << refused << " of " << count << " refused";
}

} // namespace
