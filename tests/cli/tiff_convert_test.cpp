// elvarin-host convert to GeoTIFF end to end: what GDAL reads from the file
// alone (its sidecar files removed) is the DED file's coordinate system,
// the world file's geo-reference, the elevation range of its statistics and
// the pixels of the PGM the same conversion writes.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <ostream>

#include "tests/cli/gdal_info.h"
#include "tests/cli/png_reader.h"
#include "tests/cli/run_tool.h"
#include "tests/support/ded_writer.h"

namespace {

namespace fs = std::filesystem;

struct TiffCase {
  const char *label;
  dedtest::File file;
  bool asHost;
  int epsg;
};

void PrintTo(const TiffCase &value, std::ostream *os) { *os << value.label; }

int16_t slope(int column, int row) { return static_cast<int16_t>(3 * column - 2 * row); }

dedtest::File withRange(dedtest::File file, int16_t min, int16_t max) {
  file.minElevation = min;
  file.maxElevation = max;
  return file;
}

class ConvertToTiff : public ::testing::TestWithParam<TiffCase> {
protected:
  std::string at(const std::string &name) const { return (work.path() / name).string(); }
  dedtest::TempDir work, logs;
};

TEST_P(ConvertToTiff, CarriesTheGeoreferenceScaleAndPixelsInsideTheFile) {
  if (!clitest::haveGdalInfo()) {
    GTEST_SKIP() << "gdalinfo is not installed";
  }
  const TiffCase &c = GetParam();
  const std::string ded = work.write("a.ded", dedtest::encode(c.file));
  std::vector<std::string> toTiff = {"convert", ded, at("a.tif")};
  std::vector<std::string> toPgm = {"convert", ded, at("b.pgm")};
  if (c.asHost) {
    toTiff.push_back("--as-host");
    toPgm.push_back("--as-host");
  }
  for (const auto &args : {toTiff, toPgm}) {
    const clitest::ToolRun run = clitest::runTool(args, logs.path().string());
    ASSERT_EQ(run.exitCode, 0) << run.err;
  }
  std::ifstream worldFile(at("a.wld"));
  double w[6] = {};
  for (double &term : w) {
    ASSERT_TRUE(worldFile >> term);
  }
  fs::remove(at("a.wld"));
  fs::remove(at("a.tif.aux.xml"));
  fs::remove(at("a.prj"));

  nlohmann::json info;
  std::string error;
  ASSERT_TRUE(clitest::gdalInfo(at("a.tif"), &info, &error)) << error;
  // The world file holds the top-left pixel's centre; GDAL its outer corner.
  const double expected[6] = {w[4] - 0.5 * w[0] - 0.5 * w[2], w[0], w[2],
                              w[5] - 0.5 * w[1] - 0.5 * w[3], w[1], w[3]};
  for (size_t i = 0; i < 6; ++i) {
    EXPECT_NEAR(info["geoTransform"][i].get<double>(), expected[i],
                1e-9 * (1 + std::abs(expected[i])))
        << "term " << i;
  }
  const std::string wkt = info["coordinateSystem"]["wkt"].get<std::string>();
  const std::string code = "ID[\"EPSG\"," + std::to_string(c.epsg) + "]]";
  EXPECT_EQ(wkt.rfind(code), wkt.size() - code.size()) << wkt;
  const double step = (c.file.maxElevation - c.file.minElevation) / 255.0;
  EXPECT_DOUBLE_EQ(info["bands"][0]["offset"].get<double>(), c.file.minElevation + step / 2);
  EXPECT_DOUBLE_EQ(info["bands"][0]["scale"].get<double>(), step);

  const std::string back = at("back.pgm");
  ASSERT_EQ(std::system(("gdal_translate -q -of PNM '" + at("a.tif") + "' '" + back + "'").c_str()),
            0);
  clitest::GreyPicture fromTiff, pgm;
  ASSERT_TRUE(clitest::readPgm(back, &fromTiff, &error)) << error;
  ASSERT_TRUE(clitest::readPgm(at("b.pgm"), &pgm, &error)) << error;
  EXPECT_EQ(fromTiff.width, pgm.width);
  EXPECT_EQ(fromTiff.height, pgm.height);
  EXPECT_TRUE(fromTiff.pixels == pgm.pixels);
}

INSTANTIATE_TEST_SUITE_P(
    Files, ConvertToTiff,
    ::testing::Values(TiffCase{"geographic",
                               withRange(dedtest::geographicFile(300, 270, slope), -540, 900),
                               false, 4326},
                      TiffCase{"utmSouthAsHost",
                               withRange(dedtest::utmFile("56", 'S', 101, 51, slope), -100, 300),
                               true, 32756}),
    [](const auto &param) { return std::string(param.param.label); });

} // namespace
