// The GeoTIFF writer: every pixel and the file's layout read back with
// libtiff, and the geo-reference, coordinate system and elevation scale as
// GDAL reads them.
#include <gtest/gtest.h>

#include <tiffio.h>

#include <cstdio>
#include <ostream>
#include <vector>

#include "cli/tiff_writer.h"
#include "tests/cli/gdal_info.h"
#include "tests/support/ded_writer.h"

namespace {

constexpr uint8_t kPadding = 0xEE;
constexpr int32_t kTileSide = 256;

uint8_t pixelAt(int32_t column, int32_t hostRow) {
  return static_cast<uint8_t>(column * 7 + hostRow * 13);
}

struct TiffCase {
  const char *label;
  int32_t width, height, stride;
  bool northUp;
  int32_t projection, zone, hemisphere; // projection -1: no coordinate system
  elvhost::WorldFile world;
  double geoTransform[6]; // what GDAL should make of world
  bool elevation;
};

void PrintTo(const TiffCase &value, std::ostream *os) { *os << value.label; }

// A scale and offset no other case has: 12..1959 m.
const elvhost::ElevationScale kElevation = elvhost::elevationScaleFor(12, 1959);

class TiffWriter : public ::testing::TestWithParam<TiffCase> {
protected:
  // Writes the case's image into the temporary folder; returns its path.
  std::string write() {
    const TiffCase &c = GetParam();
    host_.assign(static_cast<size_t>(c.stride) * static_cast<size_t>(c.height), kPadding);
    for (int32_t r = 0; r < c.height; ++r) {
      for (int32_t col = 0; col < c.width; ++col) {
        host_[static_cast<size_t>(r) * static_cast<size_t>(c.stride) + static_cast<size_t>(col)] =
            pixelAt(col, r);
      }
    }
    std::string error;
    haveCrs_ =
        c.projection >= 0 && elvhost::crsFor(c.projection, c.zone, c.hemisphere, &crs_, &error);
    const elvhost::GreyImage image{host_.data(), c.width, c.height, c.stride};
    const elvhost::TiffGeoreference geo{c.world, haveCrs_ ? &crs_ : nullptr,
                                        c.elevation ? &kElevation : nullptr};
    std::string path = (dir_.path() / "out.tif").string();
    std::FILE *stream = std::fopen(path.c_str(), "wb");
    EXPECT_NE(stream, nullptr);
    const bool ok =
        stream != nullptr && elvhost::writeGeoTiff(stream, image, c.northUp, geo, &error);
    EXPECT_TRUE(ok) << error;
    if (stream != nullptr) {
      EXPECT_EQ(std::fclose(stream), 0);
    }
    return path;
  }

  dedtest::TempDir dir_;
  std::vector<uint8_t> host_;
  elvhost::Crs crs_;
  bool haveCrs_ = false;
};

template <typename T> T field(TIFF *tif, ttag_t tag) {
  T value{};
  EXPECT_EQ(TIFFGetField(tif, tag, &value), 1) << "tag " << tag;
  return value;
}

TEST_P(TiffWriter, WritesEveryPixelInDeflatedTilesWithThePredictor) {
  const TiffCase &c = GetParam();
  const std::string path = write();
  TIFFSetWarningHandler(nullptr); // the GeoTIFF and GDAL tags are unknown to plain libtiff
  TIFF *tif = TIFFOpen(path.c_str(), "r");
  ASSERT_NE(tif, nullptr);
  EXPECT_EQ(field<uint32_t>(tif, TIFFTAG_IMAGEWIDTH), static_cast<uint32_t>(c.width));
  EXPECT_EQ(field<uint32_t>(tif, TIFFTAG_IMAGELENGTH), static_cast<uint32_t>(c.height));
  EXPECT_TRUE(TIFFIsTiled(tif));
  EXPECT_EQ(field<uint32_t>(tif, TIFFTAG_TILEWIDTH), static_cast<uint32_t>(kTileSide));
  EXPECT_EQ(field<uint32_t>(tif, TIFFTAG_TILELENGTH), static_cast<uint32_t>(kTileSide));
  EXPECT_EQ(field<uint16_t>(tif, TIFFTAG_COMPRESSION), COMPRESSION_ADOBE_DEFLATE);
  EXPECT_EQ(field<uint16_t>(tif, TIFFTAG_PREDICTOR), PREDICTOR_HORIZONTAL);
  EXPECT_EQ(field<uint16_t>(tif, TIFFTAG_BITSPERSAMPLE), 8);
  EXPECT_EQ(field<uint16_t>(tif, TIFFTAG_SAMPLESPERPIXEL), 1);

  std::vector<uint8_t> tile(static_cast<size_t>(kTileSide * kTileSide));
  for (int32_t y0 = 0; y0 < c.height; y0 += kTileSide) {
    for (int32_t x0 = 0; x0 < c.width; x0 += kTileSide) {
      const auto number =
          TIFFComputeTile(tif, static_cast<uint32_t>(x0), static_cast<uint32_t>(y0), 0, 0);
      ASSERT_EQ(TIFFReadEncodedTile(tif, number, tile.data(), static_cast<tmsize_t>(tile.size())),
                static_cast<tmsize_t>(tile.size()));
      for (int32_t r = y0; r < std::min<int32_t>(y0 + kTileSide, c.height); ++r) {
        const int32_t hostRow = c.northUp ? c.height - 1 - r : r;
        for (int32_t col = x0; col < std::min<int32_t>(x0 + kTileSide, c.width); ++col) {
          ASSERT_EQ(tile[static_cast<size_t>((r - y0) * kTileSide + (col - x0))],
                    pixelAt(col, hostRow))
              << "row " << r << " column " << col;
        }
      }
    }
  }
  TIFFClose(tif);
}

TEST_P(TiffWriter, GdalReadsTheGeoreferenceAndTheElevationScale) {
  if (!clitest::haveGdalInfo()) {
    GTEST_SKIP() << "gdalinfo is not installed";
  }
  const TiffCase &c = GetParam();
  const std::string path = write();
  clitest::Json info;
  std::string error;
  ASSERT_TRUE(clitest::gdalInfo(path, &info, &error)) << error;
  EXPECT_EQ(info["size"][0].number, c.width);
  EXPECT_EQ(info["size"][1].number, c.height);
  ASSERT_EQ(info["geoTransform"].items.size(), 6u);
  for (size_t i = 0; i < 6; ++i) {
    EXPECT_NEAR(info["geoTransform"][i].number, c.geoTransform[i],
                1e-9 * (1 + std::abs(c.geoTransform[i])))
        << "term " << i;
  }
  const std::string &wkt = info["coordinateSystem"]["wkt"].text;
  if (haveCrs_) {
    const std::string code = "ID[\"EPSG\"," + std::to_string(crs_.epsg) + "]]";
    EXPECT_EQ(wkt.rfind(code), wkt.size() - code.size()) << wkt;
  } else {
    EXPECT_EQ(wkt, "");
  }
  const clitest::Json &band = info["bands"][0];
  if (c.elevation) {
    EXPECT_DOUBLE_EQ(band["offset"].number, 12);
    EXPECT_DOUBLE_EQ(band["scale"].number, (1959.0 - 12.0) / 255.0);
  } else {
    EXPECT_TRUE(band["scale"].isNull());
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, TiffWriter,
                         ::testing::Values(
                             // Partial tiles along both edges, geographic, north-up.
                             TiffCase{"geographicNorthUp",
                                      300,
                                      260,
                                      304,
                                      true,
                                      0,
                                      0,
                                      0,
                                      {0.001, 0, 0, -0.001, 7.0005, 46.9995},
                                      {7, 0.001, 0, 47, 0, -0.001},
                                      true},
                             // UTM south, the host's row order: rows run north, so the full matrix.
                             TiffCase{"utmSouthAsHost",
                                      512,
                                      256,
                                      512,
                                      false,
                                      4,
                                      33,
                                      0,
                                      {30, 0, 0, 30, 500015, 5000015},
                                      {500000, 30, 0, 5000000, 0, 30},
                                      true},
                             // Smaller than one tile, UTM north, no elevation range known.
                             TiffCase{"utmNorthTiny",
                                      5,
                                      3,
                                      8,
                                      true,
                                      4,
                                      60,
                                      1,
                                      {30, 0, 0, -30, 15, 105},
                                      {0, 30, 0, 120, 0, -30},
                                      false},
                             // No coordinate system: the geotransform alone.
                             TiffCase{"noCrs",
                                      257,
                                      1,
                                      260,
                                      true,
                                      -1,
                                      0,
                                      0,
                                      {2, 0, 0, -2, 1, -1},
                                      {0, 2, 0, 0, 0, -2},
                                      false}),
                         [](const auto &testInfo) { return std::string(testInfo.param.label); });

TEST(TiffWriterFailure, ReportsAFailedWrite) {
#if defined(__linux__)
  std::vector<uint8_t> pixels(size_t{600} * 600, 1);
  const elvhost::GreyImage image{pixels.data(), 600, 600, 600};
  std::FILE *full = std::fopen("/dev/full", "wb");
  ASSERT_NE(full, nullptr);
  std::string error;
  const bool ok = elvhost::writeGeoTiff(full, image, true, {}, &error);
  const bool flushed = std::fflush(full) == 0;
  (void)std::fclose(full);
  EXPECT_FALSE(ok && flushed);
#else
  GTEST_SKIP() << "needs /dev/full";
#endif
}

} // namespace
