// elvarin-host convert --type int16 end to end: the GeoTIFF, decoded by
// libtiff, holds exactly the file's samples where the test's own placement
// puts them, NoData elsewhere; GDAL reads its NoData, unit and geo-reference
// (the grey conversion's), and tiles converted one by one mosaic into the
// multi-cell file's image.
#include <gtest/gtest.h>
#include <tiffio.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <ostream>

#include "tests/cli/gdal_info.h"
#include "tests/cli/run_tool.h"
#include "tests/support/ded_writer.h"

namespace {

constexpr int16_t kNoData = -32768;

struct Raster {
  int width = 0, height = 0;
  std::vector<int16_t> samples; // north-up rows
  bool operator==(const Raster &) const = default;
};

// The elevations as a GIS tool expects them from the file: each cell's
// sample (j, i) at column (xMin_cell - xMin) / xStep + j and row up from
// the southern edge likewise, later cells over earlier; NoData where no
// cell lands and for samples past the first `kept` bytes.
Raster expected(const dedtest::File &file, size_t kept) {
  const bool utm = file.projection == "UTM";
  const double units = utm ? 1.0 : 36000.0;
  const dedtest::Cell &first = file.cells[0];
  double xMin = first.xMin, yMin = first.yMin, xMax = first.xMax, yMax = first.yMax;
  for (const dedtest::Cell &c : file.cells) {
    xMin = std::min<double>(xMin, c.xMin), yMin = std::min<double>(yMin, c.yMin);
    xMax = std::max<double>(xMax, c.xMax), yMax = std::max<double>(yMax, c.yMax);
  }
  Raster r;
  const bool mosaic = !utm && file.cells.size() > 1;
  r.width = mosaic ? int(std::lround((xMax - xMin) / (first.xSpacing / units))) + 1
                   : int(first.columnCount);
  r.height =
      mosaic ? int(std::lround((yMax - yMin) / (first.ySpacing / units))) + 1 : int(first.rowCount);
  r.samples.assign(size_t(r.width) * r.height, kNoData);
  size_t at = dedtest::samplesOffset(file.cells.size());
  for (const dedtest::Cell &c : file.cells) {
    const long c0 = std::lround((c.xMin - xMin) / (c.xSpacing / units));
    const long r0 = std::lround((c.yMin - yMin) / (c.ySpacing / units));
    for (int j = 0; j < int(c.columnCount); ++j) {
      for (int i = 0; i < int(c.rowCount); ++i, at += 2) {
        const long x = c0 + j, y = r0 + i;
        if (x < r.width && y < r.height) {
          r.samples[size_t(r.height - 1 - y) * r.width + x] =
              at + 2 <= kept ? c.samples[size_t(j) * int(c.rowCount) + i] : kNoData;
        }
      }
    }
  }
  return r;
}

// The first band of an Int16 tiled TIFF, as libtiff decodes it.
bool readInt16Tiff(const std::string &path, Raster *r) {
  TIFF *tif = TIFFOpen(path.c_str(), "r");
  uint32_t width = 0, height = 0, tw = 0, th = 0;
  uint16_t bits = 0, format = 0;
  bool ok = tif != nullptr && TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width) &&
            TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height) &&
            TIFFGetField(tif, TIFFTAG_TILEWIDTH, &tw) &&
            TIFFGetField(tif, TIFFTAG_TILELENGTH, &th) &&
            TIFFGetField(tif, TIFFTAG_BITSPERSAMPLE, &bits) && bits == 16 &&
            TIFFGetField(tif, TIFFTAG_SAMPLEFORMAT, &format) && format == SAMPLEFORMAT_INT;
  r->width = int(width), r->height = int(height);
  r->samples.assign(size_t(width) * height, 0);
  std::vector<int16_t> tile(size_t(tw) * th);
  for (uint32_t y = 0; ok && y < height; y += th) {
    for (uint32_t x = 0; ok && x < width; x += tw) {
      ok = TIFFReadTile(tif, tile.data(), x, y, 0, 0) > 0;
      for (uint32_t i = 0; i < th && y + i < height; ++i) {
        for (uint32_t j = 0; j < tw && x + j < width; ++j) {
          r->samples[size_t(y + i) * width + x + j] = tile[size_t(i) * tw + j];
        }
      }
    }
  }
  if (tif != nullptr) {
    TIFFClose(tif);
  }
  return ok;
}

int16_t terrain(int column, int row) { return int16_t(37 * column - 11 * row + 5); }

// Cells of 4 x 3 samples 0.1 degree apart, at column and row offsets of a
// grid, each sample the terrain's at its place in the grid.
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
  size_t cut = 0; // bytes cut from the file's end
};
void PrintTo(const Int16Case &c, std::ostream *os) { *os << c.label; }

dedtest::File utmCells() {
  // A 4 x 3 cell, one overlapping its east edge (clipped), one far north (dropped).
  const auto ramp = [](int j, int i) { return int16_t(1000 + 10 * j + i); };
  return withCells(dedtest::utmFile("33", 'N', 4, 3),
                   {dedtest::utmCell(500000, 4000000, 4, 3, 30.0f, terrain),
                    dedtest::utmCell(500060, 4000000, 4, 3, 30.0f, ramp),
                    dedtest::utmCell(500000, 4003000, 2, 2, 30.0f, ramp)});
}

class Int16Convert : public ::testing::TestWithParam<Int16Case> {
protected:
  std::string at(const std::string &name) const { return (work.path() / name).string(); }
  clitest::ToolRun run(const std::vector<std::string> &args) {
    return clitest::runTool(args, logs.path().string());
  }
  dedtest::TempDir work, logs;
};

TEST_P(Int16Convert, HoldsTheFilesSamplesAndNoDataElsewhere) {
  const Int16Case &c = GetParam();
  std::vector<uint8_t> bytes = dedtest::encode(c.file);
  bytes.resize(bytes.size() - c.cut);
  const std::string ded = work.write("in.ded", bytes);
  clitest::ToolRun r = run({"convert", ded, at("e.tif"), "--type", "int16", "-q"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  Raster got;
  ASSERT_TRUE(readInt16Tiff(at("e.tif"), &got));
  EXPECT_EQ(got, expected(c.file, bytes.size()));

  // The grey conversion's geo-reference, and GDAL's NoData and unit.
  r = run({"convert", ded, at("g.tif"), "-q"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(clitest::slurp(at("e.wld")), clitest::slurp(at("g.wld")));
  EXPECT_EQ(clitest::slurp(at("e.prj")), clitest::slurp(at("g.prj")));
  if (clitest::haveGdalInfo()) {
    nlohmann::json info;
    std::string error;
    ASSERT_TRUE(clitest::gdalInfo(at("e.tif"), &info, &error)) << error;
    EXPECT_EQ(info["bands"][0]["type"], "Int16");
    EXPECT_EQ(info["bands"][0]["noDataValue"], kNoData);
    EXPECT_EQ(info["bands"][0]["unit"], "m");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Files, Int16Convert,
    ::testing::Values(Int16Case{"geographicCell", dedtest::geographicFile(300, 270, terrain)},
                      Int16Case{"geographicMosaic",
                                withCells({}, {gridCell(0, 0), gridCell(3, 0), gridCell(0, 2),
                                               gridCell(3, 2)})},
                      Int16Case{"utmCell", dedtest::utmFile("56", 'S', 101, 51, terrain)},
                      Int16Case{"utmCells", utmCells()},
                      Int16Case{"cutShort", dedtest::geographicFile(30, 20, terrain), 14},
                      Int16Case{"mosaicWithGap",
                                withCells({}, {gridCell(0, 0), gridCell(3, 0), gridCell(3, 2)})}),
    [](const auto &param) { return std::string(param.param.label); });

TEST_F(Int16Convert, TilesConvertedOneByOneMosaicIntoTheWhole) {
  if (std::system("gdalbuildvrt --version >/dev/null 2>&1") != 0) {
    GTEST_SKIP() << "gdalbuildvrt is not installed";
  }
  const std::vector<dedtest::Cell> cells = {gridCell(0, 0), gridCell(3, 0), gridCell(0, 2),
                                            gridCell(3, 2)};
  const std::string whole = work.write("whole.ded", dedtest::encode(withCells({}, cells)));
  ASSERT_EQ(run({"convert", whole, at("whole.tif"), "--type", "int16"}).exitCode, 0);
  std::vector<std::string> tiles;
  for (size_t i = 0; i < cells.size(); ++i) {
    const std::string name = "tile" + std::to_string(i);
    const std::string ded = work.write(name + ".ded", dedtest::encode(withCells({}, {cells[i]})));
    ASSERT_EQ(run({"convert", ded, at(name + ".tif"), "--type", "int16"}).exitCode, 0);
    tiles.push_back(at(name + ".tif"));
  }
  std::string command = "gdalbuildvrt -q";
  for (const std::string &path : {at("m.vrt"), tiles[0], tiles[1], tiles[2], tiles[3]}) {
    command.append(" '").append(path).append("'");
  }
  command.append(" && gdal_translate -q -co TILED=YES");
  for (const std::string &path : {at("m.vrt"), at("m.tif")}) {
    command.append(" '").append(path).append("'");
  }
  ASSERT_EQ(std::system(command.c_str()), 0);
  Raster mosaic, rebuilt;
  ASSERT_TRUE(readInt16Tiff(at("whole.tif"), &mosaic));
  ASSERT_TRUE(readInt16Tiff(at("m.tif"), &rebuilt));
  EXPECT_EQ(rebuilt, mosaic);
}

TEST_F(Int16Convert, OnlyGeoTiffHoldsElevations) {
  const std::string ded = work.write("in.ded", dedtest::encode(dedtest::geographicFile(5, 5)));
  for (const char *out : {"e.png", "e.pgm"}) {
    const clitest::ToolRun r = run({"convert", ded, at(out), "--type", "int16"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("--type int16 writes only GeoTIFF"), std::string::npos) << r.err;
  }
  EXPECT_EQ(run({"convert", ded, "--output-dir", at("out"), "--type", "int16", "--format", "png"})
                .exitCode,
            2);
  EXPECT_EQ(clitest::namesIn(work.path()), std::vector<std::string>{"in.ded"});
  // A batch's elevations are GeoTIFFs unless told otherwise.
  ASSERT_EQ(run({"convert", ded, "--output-dir", at("out"), "--type", "int16", "-q"}).exitCode, 0);
  EXPECT_EQ(clitest::namesIn(at("out")),
            (std::vector<std::string>{"in.prj", "in.tif", "in.tif.aux.xml", "in.wld"}));
}

} // namespace
