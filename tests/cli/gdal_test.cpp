// The converted images as GDAL reads them: every sample of a DED file lands
// on the pixel that shows it, at the sample's own coordinates.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <ostream>
#include <sstream>

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
        expected.push_back(cell.samples[static_cast<size_t>(col * rows + row)]);
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

} // namespace
