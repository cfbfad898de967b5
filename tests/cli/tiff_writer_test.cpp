// The GeoTIFF writer: layout and every pixel read back with libtiff, then the
// geo-reference, coordinate system and elevation scale as GDAL reads them.
#include <gtest/gtest.h>

#include <tiffio.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>
#include <ostream>
#include <random>
#include <vector>

#include "cli/formats/tiff_writer.h"
#include "tests/cli/gdal_info.h"
#include "tests/support/ded_writer.h"

namespace {

constexpr int32_t kTile = 256;
constexpr tmsize_t kTileBytes = tmsize_t{kTile} * kTile;

uint8_t pixelAt(int32_t column, int32_t hostRow) {
  return static_cast<uint8_t>(column * 7 + hostRow * 13);
}

struct TiffCase {
  const char *label;
  elvhost::WorldFile world;
  std::array<double, 6> geoTransform; // what GDAL should make of world
  int32_t width, height, stride;
  int32_t projection, zone, hemisphere; // projection -1: no coordinate system
  bool northUp, elevation;
};

void PrintTo(const TiffCase &value, std::ostream *os) { *os << value.label; }

TiffCase tiffCase(const char *label, int32_t width, int32_t height, int32_t stride, bool northUp,
                  int32_t projection, int32_t zone, int32_t hemisphere,
                  const elvhost::WorldFile &world, const std::array<double, 6> &geoTransform,
                  bool elevation) {
  return {label,      world, geoTransform, width,   height,   stride,
          projection, zone,  hemisphere,   northUp, elevation};
}

const TiffCase kCases[] = {
    // Partial tiles along both edges.
    tiffCase("geographicNorthUp", 300, 260, 304, true, 0, 0, 0,
             {0.001, 0, 0, -0.001, 7.0005, 46.9995}, {7, 0.001, 0, 47, 0, -0.001}, true),
    // Rows running north need the full matrix.
    tiffCase("utmSouthAsHost", 512, 256, 512, false, 4, 33, 0, {30, 0, 0, 30, 500015, 5000015},
             {500000, 30, 0, 5000000, 0, 30}, true),
    tiffCase("utmNorthTiny", 5, 3, 8, true, 4, 60, 1, {30, 0, 0, -30, 15, 105},
             {0, 30, 0, 120, 0, -30}, false),
    tiffCase("noCrs", 257, 1, 260, true, -1, 0, 0, {2, 0, 0, -2, 1, -1}, {0, 2, 0, 0, 0, -2},
             false),
    // More tiles than are compressed between two writes, partial ones last.
    tiffCase("tilesInRounds", 2600, 1800, 2600, true, 0, 0, 0,
             {0.001, 0, 0, -0.001, 7.0005, 46.9995}, {7, 0.001, 0, 47, 0, -0.001}, false),
};

template <typename T> T field(TIFF *tif, ttag_t tag) {
  T value{};
  EXPECT_EQ(TIFFGetField(tif, tag, &value), 1) << "tag " << tag;
  return value;
}

class TiffWriter : public ::testing::TestWithParam<TiffCase> {};

TEST_P(TiffWriter, WritesDeflatedTilesAndTheGeoreferenceGdalReads) {
  const TiffCase &c = GetParam();
  std::vector<uint8_t> host(static_cast<size_t>(c.stride) * c.height, 0xEE);
  for (int32_t r = 0; r < c.height; ++r) {
    for (int32_t col = 0; col < c.width; ++col) {
      host[static_cast<size_t>(r) * c.stride + col] = pixelAt(col, r);
    }
  }
  std::string error;
  const elvhost::Georeference geo = elvhost::georeferenceFor(
      c.world,
      c.projection >= 0 ? elvhost::CrsCodes{c.projection, c.zone, c.hemisphere}
                        : elvhost::CrsCodes{},
      c.elevation ? std::optional(elvhost::elevationScaleFor(12, 1959)) : std::nullopt);
  const bool haveCrs = geo.crs.has_value();
  dedtest::TempDir dir;
  const std::string path = (dir.path() / "out.tif").string();
  std::FILE *stream = std::fopen(path.c_str(), "wb");
  ASSERT_NE(stream, nullptr);
  const bool ok = elvhost::writeGeoTiff(stream, {host.data(), c.width, c.height, c.stride},
                                        c.northUp, geo, &error);
  ASSERT_EQ(std::fclose(stream), 0);
  ASSERT_TRUE(ok) << error;

  TIFFSetWarningHandler(nullptr); // the GeoTIFF and GDAL tags are unknown to plain libtiff
  TIFF *tif = TIFFOpen(path.c_str(), "r");
  ASSERT_NE(tif, nullptr);
  EXPECT_EQ(field<uint32_t>(tif, TIFFTAG_IMAGEWIDTH), static_cast<uint32_t>(c.width));
  EXPECT_EQ(field<uint32_t>(tif, TIFFTAG_IMAGELENGTH), static_cast<uint32_t>(c.height));
  EXPECT_EQ(field<uint32_t>(tif, TIFFTAG_TILEWIDTH), static_cast<uint32_t>(kTile));
  EXPECT_EQ(field<uint32_t>(tif, TIFFTAG_TILELENGTH), static_cast<uint32_t>(kTile));
  EXPECT_EQ(field<uint16_t>(tif, TIFFTAG_COMPRESSION), COMPRESSION_ADOBE_DEFLATE);
  EXPECT_EQ(field<uint16_t>(tif, TIFFTAG_PREDICTOR), PREDICTOR_HORIZONTAL);
  EXPECT_EQ(field<uint16_t>(tif, TIFFTAG_BITSPERSAMPLE), 8);
  EXPECT_EQ(field<uint16_t>(tif, TIFFTAG_SAMPLESPERPIXEL), 1);
  std::vector<uint8_t> tile(static_cast<size_t>(kTileBytes));
  for (int32_t y0 = 0; y0 < c.height; y0 += kTile) {
    for (int32_t x0 = 0; x0 < c.width; x0 += kTile) {
      const auto number =
          TIFFComputeTile(tif, static_cast<uint32_t>(x0), static_cast<uint32_t>(y0), 0, 0);
      ASSERT_EQ(TIFFReadEncodedTile(tif, number, tile.data(), kTileBytes), kTileBytes);
      for (int32_t r = y0; r < std::min(y0 + kTile, c.height); ++r) {
        for (int32_t col = x0; col < std::min(x0 + kTile, c.width); ++col) {
          ASSERT_EQ(tile[static_cast<size_t>((r - y0) * kTile + col - x0)],
                    pixelAt(col, c.northUp ? c.height - 1 - r : r))
              << "row " << r << " column " << col;
        }
      }
    }
  }
  TIFFClose(tif);

  if (!clitest::haveGdalInfo()) {
    GTEST_SKIP() << "gdalinfo is not installed";
  }
  nlohmann::json info;
  ASSERT_TRUE(clitest::gdalInfo(path, &info, &error)) << error;
  EXPECT_EQ(info["size"][0].get<double>(), c.width);
  EXPECT_EQ(info["size"][1].get<double>(), c.height);
  for (size_t i = 0; i < 6; ++i) {
    EXPECT_NEAR(info["geoTransform"][i].get<double>(), c.geoTransform[i],
                1e-9 * (1 + std::abs(c.geoTransform[i])))
        << "term " << i;
  }
  const std::string wkt = info.value("/coordinateSystem/wkt"_json_pointer, std::string());
  const std::string code = haveCrs ? "ID[\"EPSG\"," + std::to_string(geo.crs->epsg) + "]]" : "";
  EXPECT_EQ(wkt.rfind(code), wkt.size() - code.size()) << wkt;
  // A band without an elevation mapping has neither term.
  EXPECT_DOUBLE_EQ(info.value("/bands/0/offset"_json_pointer, 0.0),
                   c.elevation ? geo.elevation->offset : 0);
  EXPECT_DOUBLE_EQ(info.value("/bands/0/scale"_json_pointer, 0.0),
                   c.elevation ? geo.elevation->scale : 0);
}

INSTANTIATE_TEST_SUITE_P(Cases, TiffWriter, ::testing::ValuesIn(kCases),
                         [](const auto &param) { return std::string(param.param.label); });

// In the system's words: libtiff's own are about scanlines and file sizes.
TEST(TiffWriterFailure, ReportsAFailedWrite) {
  std::vector<uint8_t> pixels(size_t{600} * 600);
  std::mt19937 noise(7); // no deflating it into the stream's buffer
  for (uint8_t &pixel : pixels) {
    pixel = static_cast<uint8_t>(noise());
  }
  std::FILE *full = std::fopen("/dev/full", "wb");
  if (full == nullptr) {
    GTEST_SKIP() << "needs /dev/full";
  }
  std::string error;
  const bool ok = elvhost::writeGeoTiff(full, {pixels.data(), 600, 600, 600}, true, {}, &error);
  (void)std::fclose(full);
  EXPECT_FALSE(ok);
  EXPECT_EQ(error, std::strerror(ENOSPC));
}

} // namespace
