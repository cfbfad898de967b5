// GDAL's own tools over the driver, one end-to-end run each, and Python's
// two ways in (osgeo.gdal, rasterio).
#include <ostream>

#include "tests/gdal/elevations.h"
#include "tests/gdal/harness.h"

namespace {

using nlohmann::json;

// A 10 x 5 mosaic of six cells, written to a fresh folder.
class GdalTools : public gdaltest::GdalFolder {
protected:
  const std::vector<uint8_t> bytes = dedtest::encode(gdaltest::mosaicOf(gdaltest::tiles(3, 2)));
  const std::string ded = work.write("m.ded", bytes);
};

TEST_F(GdalTools, GdaladdoBuildsOverviewsBesideTheFile) {
  const clitest::ToolRun r = run("gdaladdo", {"-q", "-ro", ded, "2"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(info({ded})["bands"][0]["overviews"][0]["size"], json({5, 3}));
}

TEST_F(GdalTools, CogHoldsTheSameSamples) {
  const clitest::ToolRun r = run("gdal_translate", {"-q", "-of", "COG", ded, at("m.tif")});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const json cog = info({"-checksum", at("m.tif")});
  EXPECT_EQ(cog["metadata"]["IMAGE_STRUCTURE"]["LAYOUT"], "COG");
  EXPECT_EQ(cog["bands"][0]["checksum"], info({"-checksum", ded})["bands"][0]["checksum"]);
  EXPECT_EQ(cog["bands"][0]["noDataValue"], gdaltest::kNoData);
}

TEST_F(GdalTools, GdalwarpToWebMercatorKeepsEachSampleAtItsPlace) {
  // Pixels far smaller than the samples, so nearest-neighbour picks the
  // sample under each point without a tie.
  const clitest::ToolRun r =
      run("gdalwarp", {"-q", "-t_srs", "EPSG:3857", "-tr", "50", "50", ded, at("w.tif")});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(info({at("w.tif")})["stac"]["proj:epsg"], 3857);
  for (const auto &[column, row] : {std::pair{4, 2}, std::pair{0, 0}, std::pair{9, 4}}) {
    const std::string lon = std::to_string(10.0 + column / 120.0);
    const std::string lat = std::to_string(45.0 + row / 120.0);
    const clitest::ToolRun value =
        run("gdallocationinfo", {"-valonly", "-wgs84", at("w.tif"), lon, lat});
    ASSERT_EQ(value.exitCode, 0) << value.err;
    EXPECT_EQ(std::stoi(value.out), gdaltest::elevationAt(column, row)) << column << ", " << row;
  }
}

TEST_F(GdalTools, GdalbuildvrtOverTilesGivesTheMosaic) {
  std::vector<std::string> args{"-q", at("t.vrt")};
  int n = 0;
  for (dedtest::Cell &cell : gdaltest::tiles(3, 2)) {
    args.push_back(work.write(std::string("t").append(std::to_string(n++)).append(".ded"),
                              dedtest::encode(gdaltest::mosaicOf({std::move(cell)}))));
  }
  ASSERT_EQ(run("gdalbuildvrt", args).exitCode, 0);
  const clitest::ToolRun r = run("gdal_translate", {"-q", "-of", "EHdr", at("t.vrt"), at("t.bil")});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(gdaltest::readSamples(at("t.bil")), gdaltest::decodeElevations(bytes).samples);
}

TEST_F(GdalTools, TilesOfOneGridMeetOnWholePixels) {
  // 3-arc-second tiles at tenths of a degree: single-precision bounds miss
  // the grid by a little, which the driver's georeference snaps away.
  const auto tile = [](int column, int row, int side) {
    return dedtest::geographicCell(
        46.1 + column * 0.1 / 120, 7.3 + row * 0.1 / 120, side, side, 30.0f,
        [=](int j, int i) { return gdaltest::elevationAt(column + j, row + i); });
  };
  const std::string whole =
      work.write("whole.ded", dedtest::encode(gdaltest::mosaicOf({tile(0, 0, 241)})));
  std::vector<std::string> args{"-q", at("g.vrt")};
  for (const auto &[column, row] :
       {std::pair{0, 0}, std::pair{120, 0}, std::pair{0, 120}, std::pair{120, 120}}) {
    args.push_back(work.write(std::string("g").append(std::to_string(column * 1000 + row)),
                              dedtest::encode(gdaltest::mosaicOf({tile(column, row, 121)}))));
  }
  ASSERT_EQ(run("gdalbuildvrt", args).exitCode, 0);
  EXPECT_EQ(info({at("g.vrt")})["size"], json({241, 241}));
  for (const std::string &file : {at("g.vrt"), whole}) {
    const clitest::ToolRun r = run("gdal_translate", {"-q", "-of", "EHdr", file, file + ".bil"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
  }
  EXPECT_EQ(gdaltest::readSamples(at("g.vrt.bil")), gdaltest::readSamples(whole + ".bil"));
}

TEST_F(GdalTools, TheFileKeepsItsOwnFactsAndItsDescriptors) {
  const char *script = R"(
import os, shutil, sys
from osgeo import gdal
path, other = sys.argv[1], sys.argv[2]
gdal.Open(other) # GDAL and PROJ keep what they open once
fds = len(os.listdir('/proc/self/fd'))
ds = gdal.Open(path)
band = ds.GetRasterBand(1)
assert ds.GetMetadataItem('AREA_OR_POINT') == 'Point' and band.GetDescription() == 'Elevation'
gdal.PushErrorHandler('CPLQuietErrorHandler')
refused = [ds.SetGeoTransform([0, 1, 0, 0, 0, -1]), band.SetNoDataValue(0),
           ds.SetMetadataItem('CELL_COUNT', '7')]
band.ComputeStatistics(False)
ds = band = None
assert len(os.listdir('/proc/self/fd')) == fds, 'a descriptor stays open'
saved = open(path + '.aux.xml').read()
assert 'STATISTICS_MEAN' in saved and 'CELL_COUNT' not in saved, saved
shutil.copyfile(other, path)
ds = gdal.Open(path)
count = ds.GetMetadataItem('CELL_COUNT')
os.truncate(path, 200)
read = 'read' if ds.ReadAsArray() is not None else gdal.GetLastErrorMsg()
print(refused, count, read)
)";
  const std::string other = work.write("one.ded", dedtest::encode(dedtest::geographicFile(5, 4)));
  const clitest::ToolRun r = run(ELVARIN_PYTHON, {"-c", script, ded, other});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out.rfind("[3, 3, 3] 1 ", 0), 0u) << r.out; // refused, and the new file's count
  EXPECT_NE(r.out.find("DED: samples the file held when it was opened are gone\n"),
            std::string::npos)
      << r.out;
}

// Mosaics of a gigapixel or so, two cells of 3 x 3 samples 1/12000 degree
// apart: the south-west one read, the other far away north-east or north.
struct BigMosaic {
  const char *label;
  double east, north; // the far cell's offset from the first, degrees
};

void PrintTo(const BigMosaic &value, std::ostream *os) { *os << value.label; }

class GdalBig : public gdaltest::GdalFolder, public ::testing::WithParamInterface<BigMosaic> {};

TEST_P(GdalBig, OneCornerReadsInAFractionOfTheImage) {
  const BigMosaic &c = GetParam();
  const std::string big = work.write(
      "big.ded", dedtest::encode(gdaltest::mosaicOf(
                     {dedtest::geographicCell(10.0, 45.0, 3, 3, 3.0f, gdaltest::elevationAt),
                      dedtest::geographicCell(10.0 + c.east, 45.0 + c.north, 3, 3, 3.0f)})));
  const json size = info({big})["size"];
  ASSERT_GT(size[0].get<double>() * size[1].get<double>(), 9e8);
  const clitest::ToolRun r = run(
      "/usr/bin/time", {"-f", "%M", "gdal_translate", "-q", "-of", "EHdr", "-srcwin", "0",
                        std::to_string(size[1].get<int>() - 3), "3", "3", big, at("corner.bil")});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  std::vector<int16_t> expected;
  for (int row = 2; row >= 0; --row) {
    for (int column = 0; column < 3; ++column) {
      expected.push_back(gdaltest::elevationAt(column, row));
    }
  }
  EXPECT_EQ(gdaltest::readSamples(at("corner.bil")), expected);
  // Peak memory in KiB, against 2 GB of samples.
  EXPECT_LT(std::stol(r.err.substr(r.err.find_last_of('\n', r.err.size() - 2) + 1)), 256 * 1024)
      << r.err;
}

INSTANTIATE_TEST_SUITE_P(Mosaics, GdalBig,
                         ::testing::Values(BigMosaic{"square", 31618 / 12000.0, 31618 / 12000.0},
                                           BigMosaic{"tall", 0.0, 3e8 / 12000.0}),
                         [](const auto &testInfo) { return std::string(testInfo.param.label); });

// A coordinate system the user gave in the .aux.xml is shown; a geotransform
// there is not, the samples' places being the file's own.
TEST_F(GdalTools, TheUsersCoordinateSystemIsShownNotTheirGeotransform) {
  const json own = info({ded});
  const std::string aux = "<PAMDataset><SRS>EPSG:4269</SRS>"
                          "<GeoTransform>0, 1, 0, 0, 0, -1</GeoTransform></PAMDataset>";
  work.write("m.ded.aux.xml", std::vector<uint8_t>(aux.begin(), aux.end()));
  const json shown = info({ded});
  EXPECT_EQ(shown["stac"]["proj:epsg"], 4269);
  EXPECT_EQ(shown["geoTransform"], own["geoTransform"]);
}

TEST_F(GdalTools, AnUnusableFileIsRefusedWithItsReason) {
  const std::string bad =
      work.write("zone61.ded", dedtest::encode(dedtest::utmFile("61", 'N', 3, 3)));
  dedtest::File apart = dedtest::utmFile("33", 'N', 4, 4);
  // The first cell lies east: the cells are named as the frame finds them.
  apart.cells.insert(apart.cells.begin(), dedtest::utmCell(3500000.0, 3000000.0, 4, 4, 30.0f));
  apart.cellCount = 2;
  const std::string far = work.write("apart.ded", dedtest::encode(apart));
  std::vector<uint8_t> headers = dedtest::encode(apart); // and no sample
  headers.resize(dedtest::samplesOffset(2));
  const std::string empty = work.write("headers.ded", headers);
  struct Case {
    std::vector<std::string> args;
    std::string says;
  } const cases[] = {
      {{bad}, bad + ": UTM zone 61 is outside 1..60"},
      {{far},
       far + ": the image is larger than 2 GiB of samples: it would hold cells 2 and 1, too "
             "far apart"},
      {{empty},
       empty + ": the samples are cut short: the file has " + std::to_string(headers.size()) +
           " bytes, " + std::to_string(headers.size() + 2) + " needed"},
      {{"-oo", "FRAME=SIDEWAYS", ded}, ded + ": FRAME must be DATA or HOST, not SIDEWAYS"},
  };
  for (const Case &c : cases) {
    const clitest::ToolRun r = run("gdalinfo", c.args);
    EXPECT_NE(r.exitCode, 0);
    const size_t error = r.err.find("ERROR");
    EXPECT_NE(r.err.find(": " + c.says + "\n", error), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("ERROR", error + 1), std::string::npos) << r.err; // one error, no other
  }
  // elvarin-host's Int16 image has the driver's frame, and its refusals.
  for (const Case &c : {cases[1], cases[2]}) {
    const clitest::ToolRun r =
        run(ELVARIN_HOST_EXE, {"convert", c.args[0], at("i.tif"), "--type", "int16"});
    EXPECT_NE(r.err.find(c.says + "\n"), std::string::npos) << r.err;
  }
}

// Standard input read past GDAL's buffer cannot go back: said so.
TEST_F(GdalTools, AStreamThatCannotSeekBackIsSaidToBeOne) {
  const std::string big = work.write("s.ded", dedtest::encode(dedtest::geographicFile(800, 800)));
  const clitest::ToolRun r =
      run("sh", {"-c", "gdal_translate -q -of EHdr /vsistdin/ " + at("o.bil") + " < " + big});
  EXPECT_NE(r.exitCode, 0);
  EXPECT_NE(r.err.find("DED: the stream cannot seek back to the samples at byte "),
            std::string::npos)
      << r.err;
}

TEST_F(GdalTools, PythonReadsTheSamplesAndIsRefusedUpdate) {
  const char *script = R"(
import sys
from osgeo import gdal
import rasterio
path, out = sys.argv[1], sys.argv[2]
samples = gdal.Open(path).ReadAsArray()
with rasterio.open(path) as r:
    assert r.nodata == -32768 and r.dtypes == ('int16',), (r.nodata, r.dtypes)
    assert (r.read(1) == samples).all()
open(out, 'wb').write(samples.astype('=i2').tobytes())
gdal.PushErrorHandler('CPLQuietErrorHandler')
print(gdal.Open(path, gdal.GA_Update), gdal.GetLastErrorMsg())
)";
  const clitest::ToolRun r = run(ELVARIN_PYTHON, {"-c", script, ded, at("p.raw")});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(gdaltest::readSamples(at("p.raw")), gdaltest::decodeElevations(bytes).samples);
  EXPECT_EQ(r.out.rfind("None ", 0), 0u) << r.out;
  EXPECT_NE(r.out.find("read-only"), std::string::npos) << r.out;
}

} // namespace

// A read of a million samples or more goes around the block cache; the
// samples must be those the cache gives (reads of a small swath), for the
// whole image and for a window of parts of cells.
TEST_F(GdalTools, LargeReadsGiveWhatTheBlocksGive) {
  std::vector<dedtest::Cell> cells;
  for (const auto &[east, north] : {std::pair{0.0, 0.0}, {0.05, 0.0}, {0.0, 0.05}, {0.06, 0.06}}) {
    cells.push_back(
        dedtest::geographicCell(10.0 + east, 45.0 + north, 601, 601, 3.0f, gdaltest::elevationAt));
  }
  const std::string big = work.write("big.ded", dedtest::encode(gdaltest::mosaicOf(cells)));
  const json size = info({big})["size"];
  const int w = size[0].get<int>(), h = size[1].get<int>();
  ASSERT_GE(int64_t{w} * h, 1 << 20);
  for (const std::vector<std::string> &window :
       {std::vector<std::string>{},
        {"-srcwin", "3", "5", std::to_string(w - 10), std::to_string(h - 20)}}) {
    std::vector<int16_t> read[2];
    for (const int swath : {0, 1}) {
      std::vector<std::string> args = {"-q", "-of", "EHdr", big, at("w.bil")};
      if (swath == 1) {
        args.insert(args.begin(), {"--config", "GDAL_SWATH_SIZE", "100000"});
      }
      args.insert(args.end() - 2, window.begin(), window.end());
      const clitest::ToolRun r = run("gdal_translate", args);
      ASSERT_EQ(r.exitCode, 0) << r.err;
      read[swath] = gdaltest::readSamples(at("w.bil"));
    }
    EXPECT_EQ(read[0].size(), window.empty() ? size_t(w) * h : size_t(w - 10) * (h - 20));
    EXPECT_TRUE(read[0] == read[1]) << window.size();
  }
  // Into other types, the same samples converted; a progress that says stop stops it.
  const char *script = R"(
import sys
from osgeo import gdal
ds = gdal.Open(sys.argv[1])
band = ds.GetRasterBand(1)
s = band.ReadAsArray()
print((band.ReadAsArray(buf_type=gdal.GDT_Float32) == s).all(),
      (band.ReadAsArray(buf_type=gdal.GDT_UInt16) == s.clip(0)).all(),
      band.ReadAsArray(callback=lambda *a: 0), gdal.GetLastErrorMsg(),
      band.ReadAsArray(0, 0, 9, 9, callback=lambda *a: 0))
)";
  const clitest::ToolRun r = run(ELVARIN_PYTHON, {"-c", script, big});
  EXPECT_EQ(r.out, "True True None DED: stopped by the user None\n") << r.err;
}
