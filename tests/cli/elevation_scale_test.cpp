// The way back from grey levels to metres: held to the plug-in's grey
// mapping over every elevation, read from the DED file, and written into the
// auxiliary file where GDAL finds it.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>

#include "cli/formats/pgm_writer.h"
#include "cli/formats/side_files.h"
#include "cli/geo/elevation_scale.h"
#include "tests/cli/gdal_info.h"
#include "tests/support/ded_writer.h"
#include "tests/support/plain_grey.h"

namespace {

struct Range {
  int16_t min, max;
};

class ElevationScales : public ::testing::TestWithParam<Range> {};

// Grey g read back as g x scale + offset must lie within half a grey step of
// every elevation the plug-in shows as g, up to its single-precision rounding.
TEST_P(ElevationScales, GiveEachGreyLevelsCentre) {
  const Range range = GetParam();
  const elvhost::ElevationScale s = elvhost::elevationScaleFor(range.min, range.max);
  const double slack = 1e-5 * s.scale;
  for (int32_t e = range.min; e <= range.max; ++e) {
    const int g = dedtest::plainGrey(static_cast<int16_t>(e), range.min, range.max);
    ASSERT_LE(std::abs(g * s.scale + s.offset - e), s.scale / 2 + slack)
        << "elevation " << e << " grey " << g;
  }
}

INSTANTIATE_TEST_SUITE_P(Ranges, ElevationScales,
                         ::testing::Values(Range{12, 1959}, Range{0, 255}, Range{-430, 8848},
                                           Range{-32768, 32767}, Range{100, 101}));

TEST(AuxXmlScale, IsWhatGdalReportsForTheImage) {
  if (!clitest::haveGdalInfo()) {
    GTEST_SKIP() << "gdalinfo is not installed";
  }
  dedtest::TempDir dir;
  const std::string path = (dir.path() / "a.pgm").string();
  const uint8_t pixels[4] = {0, 1, 2, 3};
  std::string error;
  std::FILE *stream = std::fopen(path.c_str(), "wb");
  ASSERT_NE(stream, nullptr);
  ASSERT_TRUE(elvhost::writePgm(stream, {pixels, 2, 2, 2}, true, &error)) << error;
  ASSERT_EQ(std::fclose(stream), 0);
  const elvhost::Georeference geo = elvhost::georeferenceFor(
      {30, 0, 0, -30, 15, 45}, {4, 32, 1}, elvhost::elevationScaleFor(-430, 8848));
  ASSERT_TRUE(geo.crs) << geo.crsProblem;
  std::ofstream(elvhost::auxXmlPath(path)) << elvhost::auxXmlText(geo);

  nlohmann::json info;
  ASSERT_TRUE(clitest::gdalInfo(path, &info, &error)) << error;
  EXPECT_DOUBLE_EQ(info["bands"][0]["offset"].get<double>(), geo.elevation->offset);
  EXPECT_DOUBLE_EQ(info["bands"][0]["scale"].get<double>(), geo.elevation->scale);
}

} // namespace
