// The frame GIS outputs (the GDAL driver, Int16 GeoTIFFs) show a DED file
// in: every sample of every cell the file holds at its own position, cell
// sample (c, r) at (xMin + c x xSpacing, yMin + r x ySpacing). Where the
// plug-in's image already shows each such cell whole, the frame is the
// plug-in's, pixel for pixel; otherwise it is the union of those cells on
// the first cell's grid. Plain arithmetic over ded/'s description, cells and
// blocks: no host, no GDAL.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ded/area.h"
#include "ded/blocks.h"
#include "ded/cells.h"
#include "ded/describe.h"
#include "ded/placement.h"

// How many cells a GIS output lists one by one; the rest are counted.
constexpr int32_t DED_GIS_LISTED_CELLS = 1000;

// A cell's spacing along one axis, in spacing units, as GIS outputs use it:
// the header's field when it is finite and above 0, otherwise what the
// bounds and counts give, (high - low) x units / (trunc(count) - 1).
struct DedAxisSpacing {
  double field;  // the header's value
  double bounds; // the bounds and counts' value; NaN when they give none
  double used;   // field or bounds; NaN when neither is usable
  bool replaced; // the field was unusable and bounds stands in for it
  // The field is used, but the samples it spaces span the bounds more than
  // DED_SNAP of a spacing off ((count - 1) x field against high - low).
  bool contradicts;
};

DedAxisSpacing dedAxisSpacing(float field, float low, float high, float count, double units);

// value moved onto the nearest multiple of step when single precision's
// rounding is all that separates them (within one float step at value's
// size: the bounds are floats, and tiles cut from one grid must meet on
// whole pixels); otherwise, or when it is a multiple already, value itself.
// A real offset from the grid, however small, is kept.
double dedSnapToGrid(double value, double step);

// What a GIS output says about a frame it shows: one warning per kind, with
// the first cell concerned (numbered from 0) and the count.
struct DedGisNotes {
  int32_t replacedCell = -1; // first cell whose unusable spacing the bounds replaced
  DedAxisSpacing replacedX{}, replacedY{};
  int32_t contradictingCell = -1; // first cell whose spacing contradicts its bounds
  DedAxisSpacing contradictingX{}, contradictingY{};
  int64_t contradictingCells = 0;
  int32_t offGridCell = -1; // first cell placed by nearest sample
  int64_t offGridCells = 0;
  int64_t emptyCells = 0;     // cells holding no sample the file stores
  int64_t missingSamples = 0; // samples past the end of the file (NoData)
  int64_t cellsNotShown = 0;  // the plug-in's frame, asked for, leaves these out
  int64_t cellsClipped = 0;   // ... and shows these in part
};

// The frame: width x height pixels, one a sample, the north-west sample at
// (west, north), xStep and yStep apart (coordinate units: degrees or metres).
struct DedGisFrame {
  int32_t width = 0;
  int32_t height = 0;
  double west = 0, north = 0, xStep = 0, yStep = 0;
  bool host = false;                    // the plug-in's frame
  std::vector<DedPlacement> placements; // each cell's block in the frame; not shown: read nothing
  DedGisNotes notes;
};

// Why a GIS output refuses a described file: a scratch block or a cell too
// large (the reasons the plug-in refuses it for its size), with the cell in
// *cell. A file ending early and cells holding no samples are read (see
// dedMakeGisFrame). None otherwise.
DedFinding dedGisCheckBlocks(const DedImageInfo &info, const DedCellBlock *blocks, int32_t count,
                             int32_t *cell);

// The frame of a described file's count cells and their blocks. With
// hostFrameOnly, the plug-in's frame whatever it leaves out. Each cell spans
// only the columns its stored samples reach; one that stores none takes no
// part and is placed nowhere. The plug-in's frame is the default only when
// it shows every cell's stored samples and no cell is cut short of a column.
// Returns None; BlockPastEnd or CellEmpty (the first cell's reason) when the
// file stores no sample a cell places; SpacingUnusable (the first cell's
// spacing is unusable and its bounds give none); or ImageTooLarge (the union
// is not an image the size checks allow; *cells[0] and cells[1] name the
// cells farthest apart). frame is not to be relied on after a failure.
DedFinding dedMakeGisFrame(const DedImageInfo &info, const DedCellHeader *headers,
                           const DedCellBlock *blocks, int32_t count, bool hostFrameOnly,
                           DedGisFrame *frame, int32_t cells[2]);

// The plug-in's image's grid as GIS outputs place it (the grey image's world
// file, info, the plug-in's frame): the first cell's steps (its bounds
// standing in for an unusable spacing), the north-west sample at the image
// area's west and north (a UTM file of several cells: height - 1 steps
// north of the overall yMin), snapped to the grid. False, grid untouched,
// when the first cell's steps are unusable: no georeference can be had.
bool dedHostGrid(const DedImageInfo &info, const DedCellHeader &first, DedSampleGrid *grid);

// The frame's north-up geotransform in GDAL's convention (the top-left
// pixel's outer corner, the pixel centred on its sample).
void dedGisGeoTransform(const DedGisFrame &frame, double geoTransform[6]);

// The notes as warnings in a person's words, one line each, without the
// file's name; unit names the spacing unit ("1/36000 degree", "metre").
std::vector<std::string> dedGisWarnings(const DedGisNotes &notes, const char *unit);
