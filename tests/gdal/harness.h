// What the driver's tests share: GDAL's programs run with the driver from
// the build folder, tiles of a mosaic whose samples agree where cells meet,
// and the samples gdal_translate wrote.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tests/cli/run_tool.h"
#include "tests/support/ded_writer.h"

namespace gdaltest {

// Runs a program (gdalinfo, gdal_translate, ..., or python3) with args in
// folder, GDAL_DRIVER_PATH naming the folder that holds gdal_DED.so.
clitest::ToolRun runGdal(const std::string &program, const std::vector<std::string> &args,
                         const std::string &folder);

// The elevation of the mosaic's sample at (column, row), counted from its
// south-west corner: every sample tells its place, some are voids.
int16_t elevationAt(int column, int row);

// Geographic cells of 4 x 3 samples, 1/120 degree apart, wide x high of
// them sharing their edges, from the south-west; none where gap(i, k).
std::vector<dedtest::Cell> tiles(int wide, int high, bool (*gap)(int, int) = nullptr);

// The file of those cells, a mosaic when there are several.
dedtest::File mosaicOf(std::vector<dedtest::Cell> cells);

// The samples of a raw raster gdal_translate -of EHdr wrote, native order.
std::vector<int16_t> readSamples(const std::string &bilPath);

} // namespace gdaltest
