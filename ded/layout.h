// How a north-up raster of elevation samples becomes a DED file's cells:
// the header records, and where each cell's block comes from in the raster.
// The layout is checked by describing and placing it with the reader's own
// code, so every file written from it is one the plug-in imports with the
// raster's samples at their own places.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ded/records.h"

// A north-up raster whose pixel centres are the samples.
struct DedRasterGrid {
  int32_t projection = 0;    // PROJ_GEOGRAPHIC or PROJ_UTM
  int32_t utmZone = 0;       // 1..60, UTM only
  int32_t utmHemisphere = 0; // DED_HEMISPHERE_SOUTH or _NORTH, UTM only
  int64_t width = 0;         // columns
  int64_t height = 0;        // rows, the northern first
  double west = 0;           // x of the first column's samples, coordinate units
  double north = 0;          // y of the first row's samples
  double xStep = 0;          // coordinate units between columns, above 0
  double yStep = 0;          // coordinate units between rows, above 0
};

// A cell's block comes from the raster's columns [column, column + columns)
// and rows [row, row + rows), row counted from the north.
struct DedCellSource {
  int64_t column;
  int64_t row;
  int32_t columns;
  int32_t rows;
};

struct DedLayout {
  DedHeader header;
  std::vector<DedCellHeader> cells; // in file order
  std::vector<DedCellSource> sources;
};

// Samples a side of a geographic cell when the caller names none: one
// degree's worth plus the shared edge sample, at most this many.
constexpr int32_t DED_DEFAULT_MAX_CELL_SIDE = 3601;

// The layout of grid in cells of at most cellSide samples a side (0: one
// degree of samples and the shared edge, at most DED_DEFAULT_MAX_CELL_SIDE),
// abutting cells sharing their edge samples, northern band of cells first,
// west to east. A UTM file is always one cell, since the plug-in shows only
// the first cell of a UTM file. False, with the reason in error, when the
// grid cannot be written so: an empty or unusable grid, a cellSide below 2,
// a UTM raster larger than cellSide, or a layout the plug-in would refuse or
// place otherwise than the raster (too large an image or cell, bounds that
// single-precision floats cannot place on whole samples).
bool dedPlanLayout(const DedRasterGrid &grid, int32_t cellSide, DedLayout *layout,
                   std::string *error);

// grid cut into cells as dedPlanLayout cuts it, without its checks: for a
// grid known to be usable whose cells are known to be few (a synthetic one).
void dedCutLayout(const DedRasterGrid &grid, int32_t cellSide, DedLayout *layout);
