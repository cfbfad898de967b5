// The converted images as GDAL reads them: every sample of a DED file lands
// on the pixel that shows it, at the sample's own coordinates.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <ostream>
#include <sstream>

#include <nlohmann/json.hpp>

#include "tests/cli/run_tool.h"
#include "tests/support/ded_writer.h"

namespace {

bool haveGdal() { return std::system("gdallocationinfo --version >/dev/null 2>&1") == 0; }

// Sample values that tell every sample of a small file apart, grey = value.
int16_t distinct(int column, int row) {
  return static_cast<int16_t>((column * 37 + row * 11) % 251);
}

dedtest::File geographicMosaic() {
  dedtest::File file;
  file.cellCount = 4;
  for (int south = 0; south < 2; ++south) {
    for (int west = 0; west < 2; ++west) {
      // Cells of 4 x 3 samples sharing their edges, 1/120 degree apart.
      file.cells.push_back(dedtest::geographicCell(
          10.0 + west * 3 / 120.0, 45.0 + south * 2 / 120.0, 4, 3, 300.0f,
          [west, south](int c, int r) { return distinct(c + 3 * west, r + 2 * south); }));
    }
  }
  return file;
}

// The image of a UTM file of several cells has the first cell's size and
// shows the area from the overall south-west corner: here the second cell.
dedtest::File utmTwoCells() {
  dedtest::File file = dedtest::utmFile("33", 'N', 5, 4);
  file.cellCount = 2;
  file.cells[0] = dedtest::utmCell(500300.0, 4000300.0, 5, 4, 30.0f, [](int, int) { return 0; });
  file.cells.push_back(dedtest::utmCell(500000.0, 4000000.0, 5, 4, 30.0f, distinct));
  return file;
}

struct GdalCase {
  const char *label;
  dedtest::File file;
  double units;      // spacing units per coordinate unit
  size_t firstShown; // the cells from this one on are in the image
};

void PrintTo(const GdalCase &value, std::ostream *os) { *os << value.label; }

class Gdal : public ::testing::TestWithParam<GdalCase> {};

TEST_P(Gdal, EverySampleLandsOnItsPixel) {
  if (!haveGdal()) {
    GTEST_SKIP() << "gdal-bin is not installed";
  }
  const GdalCase &c = GetParam();
  dedtest::TempDir work;
  const std::string ded = work.write("f.ded", dedtest::encode(c.file));
  const std::string png = (work.path() / "f.png").string();
  const clitest::ToolRun r = clitest::runTool({"convert", ded, png}, work.path().string());
  ASSERT_EQ(r.exitCode, 0) << r.err;

  std::ostringstream where;
  std::vector<int> expected;
  for (size_t i = c.firstShown; i < c.file.cells.size(); ++i) {
    const dedtest::Cell &cell = c.file.cells[i];
    const int columns = static_cast<int>(cell.columnCount), rows = static_cast<int>(cell.rowCount);
    for (int col = 0; col < columns; ++col) {
      for (int row = 0; row < rows; ++row) {
        where.precision(17);
        where << cell.xMin + col * static_cast<double>(cell.xSpacing) / c.units << ' '
              << cell.yMin + row * static_cast<double>(cell.ySpacing) / c.units << '\n';
        expected.push_back(cell.samples[static_cast<size_t>(col) * static_cast<size_t>(rows) +
                                        static_cast<size_t>(row)]);
      }
    }
  }
  const std::string points = work.write("points", {});
  std::ofstream(points) << where.str();
  const std::string values = (work.path() / "values").string();
  ASSERT_EQ(std::system(("gdallocationinfo -geoloc -valonly " + png + " <" + points + " >" +
                         values + " 2>&1")
                            .c_str()),
            0);
  std::ifstream in(values);
  std::vector<int> got;
  for (std::string line; std::getline(in, line);) {
    got.push_back(line.empty() ? -1 : std::atoi(line.c_str()));
  }
  EXPECT_EQ(got, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Files, Gdal,
    ::testing::Values(GdalCase{"geographicCell", dedtest::geographicFile(5, 4, distinct), 36000, 0},
                      GdalCase{"geographicMosaic", geographicMosaic(), 36000, 0},
                      GdalCase{"utmCell", dedtest::utmFile("33", 'N', 5, 4, distinct), 1, 0},
                      GdalCase{"utmSeveralCells", utmTwoCells(), 1, 1}),
    [](const auto &testInfo) { return std::string(testInfo.param.label); });

struct AgreeCase {
  const char *label;
  dedtest::File file;
  bool utm;
};

void PrintTo(const AgreeCase &value, std::ostream *os) { *os << value.label; }

class GdalInfo : public ::testing::TestWithParam<AgreeCase> {};

TEST_P(GdalInfo, InfoJsonAgreesWithGdalinfoOfTheConvertedImage) {
  if (!haveGdal()) {
    GTEST_SKIP() << "gdal-bin is not installed";
  }
  const AgreeCase &c = GetParam();
  dedtest::TempDir work;
  const std::string ded = work.write("f.ded", dedtest::encode(c.file));
  const std::string png = (work.path() / "f.png").string();
  ASSERT_EQ(clitest::runTool({"convert", ded, png}, work.path().string()).exitCode, 0);
  const clitest::ToolRun info = clitest::runTool({"info", ded, "--json"}, work.path().string());
  ASSERT_EQ(info.exitCode, 0) << info.err;
  const std::string gdalOut = (work.path() / "gdal.json").string();
  ASSERT_EQ(std::system(("gdalinfo -json " + png + " >" + gdalOut).c_str()), 0);
  using nlohmann::json;
  const json ours = json::parse(info.out)["greyImage"], gdal = json::parse(std::ifstream(gdalOut));

  // gdalinfo prints corners to 7 decimals of a degree or 3 of a metre.
  const double tolerance = c.utm ? 1e-6 : 1e-9, printed = c.utm ? 5e-4 : 5e-8;
  EXPECT_EQ(ours["size"], gdal["size"]);
  // The band's way back to metres, as GDAL reads it from the .aux.xml.
  for (const char *key : {"offset", "scale"}) {
    EXPECT_DOUBLE_EQ(ours["bands"][0][key].get<double>(), gdal["bands"][0][key].get<double>())
        << key;
  }
  const json &gt = gdal["geoTransform"];
  for (size_t i = 0; i < 6; ++i) {
    EXPECT_NEAR(ours["geoTransform"][i].get<double>(), gt[i].get<double>(), tolerance) << i;
  }
  const double w = gdal["size"][0], h = gdal["size"][1];
  const std::pair<const char *, std::pair<double, double>> corners[] = {{"upperLeft", {0, 0}},
                                                                        {"lowerLeft", {0, h}},
                                                                        {"lowerRight", {w, h}},
                                                                        {"upperRight", {w, 0}},
                                                                        {"center", {w / 2, h / 2}}};
  for (const auto &[name, at] : corners) {
    const json &mine = ours["cornerCoordinates"][name];
    const double exact[2] = {gt[0].get<double>() + at.first * gt[1].get<double>(),
                             gt[3].get<double>() + at.second * gt[5].get<double>()};
    for (size_t axis = 0; axis < 2; ++axis) {
      EXPECT_NEAR(mine[axis].get<double>(), exact[axis], tolerance) << name;
      EXPECT_NEAR(mine[axis].get<double>(), gdal["cornerCoordinates"][name][axis].get<double>(),
                  tolerance + printed)
          << name;
    }
  }
  const json &ring = ours["wgs84Extent"]["coordinates"][0];
  const json &gdalRing = gdal["wgs84Extent"]["coordinates"][0];
  ASSERT_EQ(ring.size(), gdalRing.size());
  for (size_t i = 0; i < ring.size(); ++i) {
    for (size_t axis = 0; axis < 2; ++axis) {
      EXPECT_NEAR(ring[i][axis].get<double>(), gdalRing[i][axis].get<double>(), 1e-9 + 5e-8)
          << "point " << i;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Files, GdalInfo,
    ::testing::Values(AgreeCase{"utm", dedtest::utmFile("33", 'N', 5, 4), true},
                      AgreeCase{"geographic", dedtest::geographicFile(5, 4), false},
                      AgreeCase{"geographicMosaic", geographicMosaic(), false},
                      AgreeCase{"utmSeveralCells", utmTwoCells(), true}),
    [](const auto &testInfo) { return std::string(testInfo.param.label); });

} // namespace
