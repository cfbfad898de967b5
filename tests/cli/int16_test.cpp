// convert --type int16 end to end: GDAL decodes exactly the file's samples
// where the test's own placement puts them and NoData elsewhere, with the
// grey conversion's geo-reference; tiles converted one by one mosaic with
// gdalbuildvrt into the multi-cell file's image.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ostream>
#include <sstream>

#include "tests/cli/gdal_info.h"
#include "tests/cli/run_tool.h"
#include "tests/gdal/elevations.h"
#include "tests/support/ded_writer.h"

namespace {

constexpr int16_t kNoData = -32768;

// The first band's samples as GDAL decodes them (raw, this machine's order).
std::vector<int16_t> decoded(const std::string &image) {
  const std::string raw = image + ".raw";
  std::string command = "gdal_translate -q -of ENVI";
  command.append(" '").append(image).append("' '").append(raw).append("'");
  EXPECT_EQ(std::system(command.c_str()), 0);
  const std::string bytes = clitest::slurp(raw);
  std::vector<int16_t> samples(bytes.size() / 2);
  std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
  return samples;
}

int16_t terrain(int column, int row) { return int16_t(37 * column - 11 * row + 5); }

// A cell of 4 x 3 samples 0.1 degree apart at a grid's column and row, each
// sample the terrain's at its place in the grid.
dedtest::Cell gridCell(int column, int row) {
  return dedtest::geographicCell(10.0 + column * 0.1, 45.0 + row * 0.1, 4, 3, 3600.0f,
                                 [=](int j, int i) { return terrain(column + j, row + i); });
}

dedtest::File withCells(dedtest::File file, std::vector<dedtest::Cell> cells) {
  file.cells = std::move(cells);
  file.cellCount = int32_t(file.cells.size());
  return file;
}

struct Int16Case {
  const char *label;
  dedtest::File file;
  size_t cut = 0;           // bytes cut from the file's end
  bool grows = false;       // the plug-in's image cannot hold every cell: the frame grows
  bool greyRefused = false; // a cell holds no samples: the plug-in refuses the file
};

// The six numbers of a world file.
std::vector<double> worldFile(const std::string &path) {
  std::stringstream text(clitest::slurp(path));
  std::vector<double> numbers;
  for (double value = 0; text >> value;) {
    numbers.push_back(value);
  }
  return numbers;
}
void PrintTo(const Int16Case &c, std::ostream *os) { *os << c.label; }

class Int16Convert : public ::testing::TestWithParam<Int16Case> {
protected:
  void SetUp() override {
    if (!clitest::haveGdalInfo()) {
      GTEST_SKIP() << "GDAL's programs are not installed";
    }
  }
  std::string at(const std::string &name) const { return (work.path() / name).string(); }
  int convert(const std::string &ded, const std::string &out, bool int16,
              bool hostFrameOnly = false) {
    std::vector<std::string> args{"convert", ded, at(out), "-q"};
    if (int16) {
      args.insert(args.end(), {"--type", "int16"});
    }
    if (hostFrameOnly) {
      args.insert(args.end(), {"--frame", "host"});
    }
    return clitest::runTool(args, logs.path().string()).exitCode;
  }
  dedtest::TempDir work, logs;
};

TEST_P(Int16Convert, HoldsTheFilesSamplesAndNoDataElsewhere) {
  const Int16Case &c = GetParam();
  std::vector<uint8_t> bytes = dedtest::encode(c.file);
  bytes.resize(bytes.size() - c.cut);
  const std::string ded = work.write("in.ded", bytes);
  ASSERT_EQ(convert(ded, "e.tif", true), 0);
  ASSERT_EQ(convert(ded, "g.tif", false) != 0, c.greyRefused);
  const gdaltest::Elevations reference = gdaltest::decodeElevations(bytes);
  EXPECT_EQ(decoded(at("e.tif")), reference.samples);
  const std::vector<double> world = worldFile(at("e.wld"));
  ASSERT_EQ(world.size(), 6u);
  const double expected[6] = {reference.xStep, 0, 0, -reference.yStep, reference.west,
                              reference.north};
  for (size_t i = 0; i < 6; ++i) {
    EXPECT_NEAR(world[i], expected[i], 1e-9 * (1 + std::fabs(expected[i]))) << i;
  }
  ASSERT_EQ(convert(ded, "h.tif", true, true), 0);
  if (c.grows) { // the plug-in's frame cuts cells: some columns are read in part
    EXPECT_EQ(decoded(at("h.tif")), gdaltest::decodeElevations(bytes, true).samples);
  }
  if (!c.greyRefused) {
    EXPECT_EQ(clitest::slurp(at("e.wld")) == clitest::slurp(at("g.wld")), !c.grows);
    EXPECT_EQ(clitest::slurp(at("h.wld")), clitest::slurp(at("g.wld"))); // the plug-in's frame
    EXPECT_EQ(clitest::slurp(at("e.prj")), clitest::slurp(at("g.prj")));
  }
  nlohmann::json info;
  std::string error;
  ASSERT_TRUE(clitest::gdalInfo(at("e.tif"), &info, &error)) << error;
  EXPECT_EQ(info["bands"][0]["type"], "Int16");
  EXPECT_EQ(info["bands"][0]["noDataValue"], kNoData);
  EXPECT_EQ(info["bands"][0]["unit"], "m");
  EXPECT_FALSE(info["bands"][0].contains("scale")) << info["bands"][0];
  EXPECT_FALSE(info["bands"][0].contains("offset")) << info["bands"][0];
}

const std::vector<dedtest::Cell> kQuads = {gridCell(0, 0), gridCell(3, 0), gridCell(0, 2),
                                           gridCell(3, 2)};

dedtest::File utmCells() {
  // A 4 x 3 cell, one overlapping its east edge (clipped), one far north (dropped).
  const auto ramp = [](int j, int i) { return int16_t(1000 + 10 * j + i); };
  return withCells(dedtest::utmFile("33", 'N', 4, 3),
                   {dedtest::utmCell(500000, 4000000, 4, 3, 30.0f, terrain),
                    dedtest::utmCell(500060, 4000000, 4, 3, 30.0f, ramp),
                    dedtest::utmCell(500000, 4003000, 2, 2, 30.0f, ramp)});
}

// A cell of no columns where the mosaic's south-east cell would be.
dedtest::Cell emptyCell() {
  dedtest::Cell cell = gridCell(3, 0);
  cell.columnCount = 0;
  cell.samples.clear();
  return cell;
}

// A UTM cell running past the northern edge of the first cell's image.
dedtest::File utmCutAtTheNorth() {
  return withCells(dedtest::utmFile("33", 'N', 4, 3),
                   {dedtest::utmCell(500000, 4000000, 4, 3, 30.0f, terrain),
                    dedtest::utmCell(500030, 4000060, 2, 4, 30.0f, terrain)});
}

// Two UTM cells, the first of 10 rows whose y spacing field is 0: its bounds
// give 30 m, which places the plug-in's frame's north row 270 m up.
dedtest::File utmFirstSpacingZero() {
  dedtest::File file = withCells(dedtest::utmFile("33", 'N', 4, 10),
                                 {dedtest::utmCell(500000, 5000000, 4, 10, 30.0f, terrain),
                                  dedtest::utmCell(500060, 5000000, 4, 3, 30.0f, terrain)});
  file.cells[0].ySpacing = 0.0f;
  return file;
}

INSTANTIATE_TEST_SUITE_P(
    Files, Int16Convert,
    ::testing::Values(Int16Case{"geographicCell", dedtest::geographicFile(300, 270, terrain)},
                      Int16Case{"geographicMosaic", withCells({}, kQuads)},
                      Int16Case{"utmCell", dedtest::utmFile("56", 'S', 101, 51, terrain)},
                      Int16Case{"utmCells", utmCells(), 0, true},
                      Int16Case{"utmCutAtTheNorth", utmCutAtTheNorth(), 0, true},
                      Int16Case{"utmFirstSpacingZero", utmFirstSpacingZero()},
                      Int16Case{"cellPastTheEnd", withCells({}, kQuads), 24, false, true},
                      Int16Case{"emptyCell", withCells({}, {kQuads[0], emptyCell(), kQuads[3]}), 0,
                                false, true},
                      Int16Case{"cutShort", dedtest::geographicFile(30, 20, terrain), 14},
                      Int16Case{"mosaicWithGap", withCells({}, {kQuads[0], kQuads[1], kQuads[3]})}),
    [](const auto &param) { return std::string(param.param.label); });

TEST_F(Int16Convert, TilesConvertedOneByOneMosaicIntoTheWhole) {
  ASSERT_EQ(convert(work.write("whole.ded", dedtest::encode(withCells({}, kQuads))), "w.tif", true),
            0);
  std::string command = "gdalbuildvrt -q";
  command.append(" '").append(at("m.vrt")).append("'");
  for (size_t i = 0; i < kQuads.size(); ++i) {
    const std::string tile = std::string(1, 't').append(std::to_string(i));
    ASSERT_EQ(convert(work.write(tile + ".ded", dedtest::encode(withCells({}, {kQuads[i]}))),
                      tile + ".tif", true),
              0);
    command.append(" '").append(at(tile + ".tif")).append("'");
  }
  ASSERT_EQ(std::system(command.c_str()), 0);
  EXPECT_EQ(decoded(at("m.vrt")), decoded(at("w.tif")));
}

} // namespace
