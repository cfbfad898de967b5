// One whole import per file, through the loaded plug-in: open, get-info,
// geo-info, get-image, close, and every call the plug-in makes to the host
// on the way.
#include <gtest/gtest.h>

#include "tests/e2e/plugin_host.h"

namespace {

using dedtest::Cell;
using dedtest::File;

// Elevations that spread over and beyond -100..900, so grey levels saturate
// at both ends.
int16_t relief(int column, int row) {
  return static_cast<int16_t>((column * 37 + row * 101) % 1300 - 200);
}

File withRange(File file, int16_t minElevation, int16_t maxElevation) {
  file.minElevation = minElevation;
  file.maxElevation = maxElevation;
  return file;
}

File mosaic(const std::string &projection, std::vector<Cell> cells) {
  File file;
  file.projection = projection;
  file.cellCount = static_cast<int32_t>(cells.size());
  file.cells = std::move(cells);
  file.minElevation = -100;
  file.maxElevation = 900;
  return file;
}

File utmMosaic() {
  File file = mosaic("UTM", {dedtest::utmCell(500000, 4000000, 4, 3, 30.0f, relief),
                             // two columns and a row past the first cell's size
                             dedtest::utmCell(500060, 4000030, 3, 3, 30.0f,
                                              [](int c, int r) { return int16_t(850 + c + r); })});
  file.hemisphere = 'S';
  file.zone = "17";
  return file;
}

File truncatedSingleCell() {
  File file = withRange(dedtest::geographicFile(5, 4, relief), -100, 900);
  file.cells[0].samples.resize(17);
  return file;
}

File countZeroSingleCell() {
  File file = withRange(dedtest::geographicFile(7, 2, relief), -100, 900);
  file.cellCount = 0;
  return file;
}

// A geographic cell with x and y spacings of its own (1/36000 degree) and its
// bounds given outright, so that a cell can lie partly outside the mosaic its
// bounds keep to.
Cell spacedCell(float xMin, float yMin, float xMax, float yMax, int columns, int rows,
                float xSpacing, float ySpacing, int16_t base) {
  Cell cell = dedtest::geographicCell(xMin, yMin, columns, rows, xSpacing,
                                      [base](int c, int r) { return int16_t(base + c * 9 + r); });
  cell.xMax = xMax;
  cell.yMax = yMax;
  cell.ySpacing = ySpacing;
  return cell;
}

// South and west of the origin, 6 x 4 samples at 0.05 x 0.1 degree. The second
// cell runs past the top and the right edge; the third, with negative
// spacings and more rows than columns, starts two columns left of the mosaic
// and one row below it.
File southWestClipped() {
  return mosaic("GEO", {spacedCell(-71.0f, -34.0f, -70.75f, -33.7f, 6, 4, 1800, 3600, 100),
                        spacedCell(-70.85f, -33.8f, -70.8f, -33.8f, 5, 4, 1800, 3600, 400),
                        spacedCell(-70.9f, -33.9f, -70.9f, -33.9f, 3, 4, -1800, -3600, 700)});
}

// A UTM file in the south: 5 columns of 3 samples at 30 m east, 90 m north;
// the second cell is clipped at the top and the right.
File utmSouthAsymmetric() {
  Cell first = dedtest::utmCell(300000, 6200000, 5, 3, 30.0f, relief);
  first.ySpacing = 90.0f;
  first.yMax = 6200180.0f;
  Cell second = dedtest::utmCell(300060, 6200090, 4, 3, 30.0f,
                                 [](int c, int r) { return int16_t(500 + c * 40 + r); });
  second.ySpacing = 90.0f;
  second.yMax = 6200270.0f;
  File file = mosaic("UTM", {first, second});
  file.hemisphere = 's';
  file.zone = "19";
  return file;
}

struct Case {
  const char *name;
  File file;
  e2e::Expected expected;
};

std::vector<Case> cases() {
  const auto step = [](int c, int r) { return static_cast<int16_t>(1 + c * 2 + r); };
  return {
      {"geographic_121_square",
       withRange(dedtest::geographicFile(121, 121, relief), -100, 900),
       {121, 121}},
      {"geographic_3x2_identity", withRange(dedtest::geographicFile(3, 2, step), 0, 255), {3, 2}},
      {"geographic_one_column",
       withRange(dedtest::geographicFile(1, 4, relief), -100, 900),
       {1, 4}},
      {"geographic_flat_range", withRange(dedtest::geographicFile(6, 3, relief), 300, 300), {6, 3}},
      {"geographic_truncated_samples", truncatedSingleCell(), {5, 4}},
      {"geographic_cell_count_zero", countZeroSingleCell(), {7, 2}},
      {"utm_zone33_north",
       withRange(dedtest::utmFile("33", 'n', 5, 7, relief), -100, 900),
       {5, 7, 33, 1}},
      {"utm_zone60_south",
       withRange(dedtest::utmFile("60", 'S', 6, 3, relief), -100, 900),
       {6, 3, 60, 0}},
      // Two one-degree cells sharing a column: the later cell wins it.
      {"geographic_overlap",
       mosaic("GEO",
              {dedtest::geographicCell(0, 0, 2, 2, 36000.0f, relief),
               dedtest::geographicCell(1, 0, 2, 2, 36000.0f,
                                       [](int c, int r) { return int16_t(800 + c * 2 + r); })}),
       {3, 2}},
      // Three 0.1-degree tiles of an L; the fourth quadrant stays empty.
      {"geographic_gap",
       mosaic("GEO", {dedtest::geographicCell(10, 45, 11, 11, 3600.0f, relief),
                      dedtest::geographicCell(11, 45, 11, 11, 3600.0f,
                                              [](int c, int r) { return int16_t(400 + c + r); }),
                      dedtest::geographicCell(10, 46, 11, 11, 3600.0f,
                                              [](int c, int r) { return int16_t(600 - c - r); })}),
       {21, 21}},
      // The second tile's single-precision edge makes its column offset
      // 6.999998: it still lands on column 7, next to the first tile.
      {"geographic_near_whole_offset",
       mosaic("GEO", {dedtest::geographicCell(10.0, 45, 8, 3, 3600.0f, relief),
                      dedtest::geographicCell(10.7, 45, 4, 3, 3600.0f,
                                              [](int c, int r) { return int16_t(700 + c + r); })}),
       {11, 3}},
      {"utm_mosaic_clipped", utmMosaic(), {4, 3, 17, 0}},
      {"geographic_south_west_clipped_on_every_side", southWestClipped(), {6, 4}},
      {"utm_south_rows_and_columns_differ", utmSouthAsymmetric(), {5, 3, 19, 0}},
  };
}

void PrintTo(const Case &c, std::ostream *out) { *out << c.name; }

class Conversation : public e2e::PluginTest, public ::testing::WithParamInterface<Case> {};

TEST_P(Conversation, WholeImport) {
  const Case &c = GetParam();
  const int32_t handle = open(c.file);

  qvstandin::ImageRecord info;
  EXPECT_EQ(qvstandin::hostGetInfo(handle, &info), 0);
  EXPECT_EQ(e2e::describeCalls(info.calls), e2e::expectedInfoCalls(c.expected));

  qvstandin::ImageRecord geo;
  EXPECT_EQ(qvstandin::hostGetGeoInfo(handle, &geo), 0);
  EXPECT_EQ(e2e::describeCalls(geo.calls), e2e::expectedGeoCalls(c.file, c.expected));

  // Two canaries, so a stray write of either value still shows.
  const int32_t stride = qvstandin::rowWidthFor(c.expected.width);
  const size_t bytes = static_cast<size_t>(stride) * static_cast<size_t>(c.expected.height) + 8;
  for (const uint8_t canary : {uint8_t{0xA5}, uint8_t{0x5A}}) {
    std::vector<uint8_t> pixels(bytes, canary);
    EXPECT_EQ(qvstandin::hostGetImage(handle, pixels.data()), 0);
    const std::vector<uint8_t> expected =
        e2e::referencePixels(c.file, c.expected, stride, bytes, canary);
    EXPECT_EQ(e2e::pixelMismatch(pixels, expected, c.expected.width, stride), "")
        << "canary " << int{canary};
  }
  EXPECT_EQ(qvstandin::lastRowWidthArgs(), (std::vector<int32_t>{c.expected.width, 8, 2}));

  close(handle);
  EXPECT_EQ(qvstandin::openStreams(), 0);
  EXPECT_EQ(qvstandin::outstandingBlocks(), 0);
}

INSTANTIATE_TEST_SUITE_P(Files, Conversation, ::testing::ValuesIn(cases()),
                         [](const auto &param) { return std::string(param.param.name); });

} // namespace
