// What the driver's tests share: a folder to run GDAL's programs in with the
// driver from the build folder, tiles of a mosaic whose samples agree where
// cells meet, and the samples gdal_translate wrote.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "tests/cli/run_tool.h"
#include "tests/support/ded_writer.h"

namespace gdaltest {

class GdalFolder : public ::testing::Test {
protected:
  dedtest::TempDir work;
  std::string at(const std::string &name) const { return (work.path() / name).string(); }
  // Runs a program (gdalinfo, gdal_translate, ..., python3) with args in the
  // folder, GDAL_DRIVER_PATH naming the folder that holds gdal_DED.so.
  clitest::ToolRun run(const std::string &program, std::vector<std::string> args) const;
  // gdalinfo -json's report with args (options, then the path).
  nlohmann::json info(std::vector<std::string> args) const;
};

// The elevation of the mosaic's sample at (column, row), counted from its
// south-west corner: every sample tells its place, some are voids.
int16_t elevationAt(int column, int row);

// Geographic cells of 4 x 3 samples, 1/120 degree apart, wide x high of
// them sharing their edges, from the south-west; none where gap(i, k).
std::vector<dedtest::Cell> tiles(int wide, int high, bool (*gap)(int, int) = nullptr);

// The file of those cells, a mosaic when there are several.
dedtest::File mosaicOf(std::vector<dedtest::Cell> cells);

// The samples of a raw raster file (gdal_translate -of EHdr), native order.
std::vector<int16_t> readSamples(const std::string &path);

} // namespace gdaltest
