#include "ded/gis_frame.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "ded/area.h"
#include "ded/records.h"

namespace {

constexpr double kNoValue = std::numeric_limits<double>::quiet_NaN();

bool usableSpacing(double spacing) { return std::isfinite(spacing) && spacing > 0.0; }

// A cell's block holds a sample the file stores.
bool holdsSamples(const DedCellBlock &block) { return block.samples - block.missing > 0; }

// The columns of a cell's block of columns x rows samples that its stored
// samples reach: samples are stored column by column, the last reached in
// part, perhaps. 0 when the file stores none of them.
int64_t storedColumns(const DedCellBlock &block, int64_t columns, int64_t rows) {
  const int64_t held = std::min(block.samples - block.missing, block.bytes / DED_SAMPLE_SIZE);
  if (held <= 0 || rows <= 0 || columns <= 0) {
    return 0;
  }
  return std::min(columns, held / rows + (held % rows != 0 ? 1 : 0));
}

int64_t storedColumns(const DedCellBlock &block, const DedCellHeader &cell) {
  return storedColumns(block, static_cast<int64_t>(cell.columnCount),
                       static_cast<int64_t>(cell.rowCount));
}

// The frame's column (or row) of a cell's first sample on the first cell's
// grid: the nearest whole number of steps from origin. False when it is not
// finite or leaves the int32 range. *offGrid when the cell's own first sample
// lies more than DED_SNAP of a step from it.
bool gridIndex(double low, double origin, double step, int64_t *index, bool *offGrid) {
  const double quotient = (low - origin) / step;
  const double nearest = std::nearbyint(quotient);
  if (!std::isfinite(nearest) || std::fabs(nearest) > static_cast<double>(INT32_MAX)) {
    return false;
  }
  *index = static_cast<int64_t>(nearest);
  *offGrid = *offGrid || std::fabs(quotient - nearest) > DED_SNAP;
  return true;
}

void noteSpacing(const DedCellHeader &cell, int32_t i, double units, DedGisNotes *notes) {
  const DedAxisSpacing x =
      dedAxisSpacing(cell.xSpacing, cell.xMin, cell.xMax, cell.columnCount, units);
  const DedAxisSpacing y =
      dedAxisSpacing(cell.ySpacing, cell.yMin, cell.yMax, cell.rowCount, units);
  if ((x.replaced || y.replaced) && notes->replacedCell < 0) {
    notes->replacedCell = i;
    notes->replacedX = x;
    notes->replacedY = y;
  }
  if (x.contradicts || y.contradicts) {
    if (notes->contradictingCell < 0) {
      notes->contradictingCell = i;
      notes->contradictingX = x;
      notes->contradictingY = y;
    }
    ++notes->contradictingCells;
  }
}

// The first cell's steps, coordinate units. False when either is unusable.
bool firstSteps(const DedImageInfo &info, const DedCellHeader &first, double *xStep,
                double *yStep) {
  const double units = dedSpacingUnits(info.projection);
  *xStep =
      dedAxisSpacing(first.xSpacing, first.xMin, first.xMax, first.columnCount, units).used / units;
  *yStep =
      dedAxisSpacing(first.ySpacing, first.yMin, first.yMax, first.rowCount, units).used / units;
  return usableSpacing(*xStep) && usableSpacing(*yStep);
}

// The plug-in's frame, its geotransform's steps from the spacing rule; each
// cell spans the columns its stored samples reach. Returns whether some cell
// spans fewer columns than its counts claim (a cell the file ends in or
// before).
bool placeAsHost(const DedImageInfo &info, const DedCellHeader *headers, const DedCellBlock *blocks,
                 int32_t count, DedGisFrame *frame) {
  frame->host = true;
  frame->width = info.width;
  frame->height = info.height;
  DedSampleGrid grid{};
  (void)dedHostGrid(info, headers[0], &grid); // the steps are usable: the caller checked
  frame->west = grid.west;
  frame->north = grid.north;
  frame->placements.resize(static_cast<size_t>(count));
  bool narrowed = false;
  for (int32_t i = 0; i < count; ++i) {
    const DedPlacement whole = dedPlaceCell(info, headers[i]);
    const int64_t reach = storedColumns(blocks[i], headers[i]);
    DedPlacement &p = frame->placements[static_cast<size_t>(i)];
    p = dedKeepColumns(whole, reach);
    narrowed = narrowed || reach < whole.columns;
    if (reach > 0) {
      frame->notes.cellsNotShown += p.shown ? 0 : 1;
      frame->notes.cellsClipped += p.clipped ? 1 : 0;
    }
  }
  return narrowed;
}

struct Extent {
  int64_t low = INT64_MAX, high = INT64_MIN; // [low, high) of the frame's columns or rows
  int32_t lowCell = 0, highCell = 0;
  void cover(int64_t from, int64_t to, int32_t cell) {
    if (from < low) {
      low = from;
      lowCell = cell;
    }
    if (to > high) {
      high = to;
      highCell = cell;
    }
  }
};

// The union of the cells holding samples on the first cell's grid; each
// placed whole. ImageTooLarge, naming the cells farthest apart, when the
// union passes the image size checks.
DedFinding unionFrame(const DedCellHeader *headers, const DedCellBlock *blocks, int32_t count,
                      DedGisFrame *frame, int32_t cells[2]) {
  const DedCellHeader &first = headers[0];
  std::vector<int64_t> origins(static_cast<size_t>(count) * 2);
  Extent columns, rows;
  std::vector<int64_t> reach(static_cast<size_t>(count));
  for (int32_t i = 0; i < count; ++i) {
    reach[static_cast<size_t>(i)] = storedColumns(blocks[i], headers[i]);
    if (reach[static_cast<size_t>(i)] == 0) {
      continue;
    }
    const DedCellHeader &c = headers[i];
    int64_t *at = &origins[static_cast<size_t>(i) * 2];
    bool offGrid = c.xSpacing != first.xSpacing || c.ySpacing != first.ySpacing;
    if (!gridIndex(c.xMin, first.xMin, frame->xStep, &at[0], &offGrid) ||
        !gridIndex(c.yMin, first.yMin, frame->yStep, &at[1], &offGrid)) {
      cells[0] = 0;
      cells[1] = i;
      return DedFinding::ImageTooLarge;
    }
    if (offGrid && frame->notes.offGridCells++ == 0) {
      frame->notes.offGridCell = i;
    }
    columns.cover(at[0], at[0] + reach[static_cast<size_t>(i)], i);
    rows.cover(at[1], at[1] + static_cast<int64_t>(c.rowCount), i);
  }
  const int64_t width = columns.high - columns.low, height = rows.high - rows.low;
  // Each side is below 2^32 when its product is taken, so it cannot overflow.
  if (width > INT32_MAX || height > INT32_MAX || width * height > DED_MAX_SAMPLES) {
    const bool wide = width > height;
    cells[0] = wide ? columns.lowCell : rows.lowCell;
    cells[1] = wide ? columns.highCell : rows.highCell;
    return DedFinding::ImageTooLarge;
  }
  frame->width = static_cast<int32_t>(width);
  frame->height = static_cast<int32_t>(height);
  frame->west = static_cast<double>(first.xMin) + static_cast<double>(columns.low) * frame->xStep;
  frame->north =
      static_cast<double>(first.yMin) + static_cast<double>(rows.high - 1) * frame->yStep;
  frame->placements.assign(static_cast<size_t>(count), DedPlacement{});
  for (int32_t i = 0; i < count; ++i) {
    if (reach[static_cast<size_t>(i)] > 0) {
      const int64_t *at = &origins[static_cast<size_t>(i) * 2];
      frame->placements[static_cast<size_t>(i)] = dedKeepColumns(
          dedClipBlock(static_cast<int64_t>(headers[i].columnCount),
                       static_cast<int64_t>(headers[i].rowCount), at[0] - columns.low,
                       at[1] - rows.low, frame->width, frame->height),
          reach[static_cast<size_t>(i)]);
    }
  }
  return DedFinding::None;
}

// The first cell's finding (BlockPastEnd or CellEmpty) when no cell's
// stored samples reach a column of its block, None otherwise.
DedFinding nothingStored(const DedCellHeader *headers, const DedCellBlock *blocks, int32_t count) {
  for (int32_t i = 0; i < count; ++i) {
    if (storedColumns(blocks[i], headers[i]) > 0) {
      return DedFinding::None;
    }
  }
  return blocks[0].finding == DedFinding::BlockPastEnd ? DedFinding::BlockPastEnd
                                                       : DedFinding::CellEmpty;
}

} // namespace

DedAxisSpacing dedAxisSpacing(float field, float low, float high, float count, double units) {
  DedAxisSpacing s{};
  s.field = static_cast<double>(field);
  const double samples = std::trunc(static_cast<double>(count));
  const double span = (static_cast<double>(high) - static_cast<double>(low)) * units;
  s.bounds = samples >= 2.0 ? span / (samples - 1.0) : kNoValue;
  if (!usableSpacing(s.bounds)) {
    s.bounds = kNoValue;
  }
  if (usableSpacing(s.field)) {
    s.used = s.field;
    s.contradicts = std::isfinite(s.bounds) && samples >= 2.0 &&
                    std::fabs(span / s.field - (samples - 1.0)) > DED_SNAP;
  } else {
    s.used = s.bounds;
    s.replaced = true;
  }
  return s;
}

double dedSnapToGrid(double value, double step) {
  const double quotient = value / step;
  const double nearest = std::nearbyint(quotient);
  const auto size = static_cast<float>(std::fabs(value));
  const double noise = std::nextafter(size, std::numeric_limits<float>::infinity()) - size;
  if (!std::isfinite(quotient) || quotient == nearest ||
      std::fabs(value - nearest * step) > noise) {
    return value;
  }
  return nearest * step;
}

DedFinding dedGisCheckBlocks(const DedImageInfo &info, const DedCellBlock *blocks, int32_t count,
                             int32_t *cell) {
  const DedFinding scratch = dedCheckScratch(info);
  if (scratch != DedFinding::None) {
    return scratch;
  }
  for (int32_t i = 0; i < count; ++i) {
    if (blocks[i].finding == DedFinding::CellTooLarge) {
      *cell = i;
      return DedFinding::CellTooLarge;
    }
  }
  return DedFinding::None;
}

DedFinding dedMakeGisFrame(const DedImageInfo &info, const DedCellHeader *headers,
                           const DedCellBlock *blocks, int32_t count, bool hostFrameOnly,
                           DedGisFrame *frame, int32_t cells[2]) {
  *frame = DedGisFrame{};
  cells[0] = cells[1] = 0;
  const double units = dedSpacingUnits(info.projection);
  for (int32_t i = 0; i < count; ++i) {
    noteSpacing(headers[i], i, units, &frame->notes);
    frame->notes.missingSamples += blocks[i].missing;
    frame->notes.emptyCells += holdsSamples(blocks[i]) ? 0 : 1;
  }
  const DedFinding nothing = nothingStored(headers, blocks, count);
  if (nothing != DedFinding::None) {
    return nothing;
  }
  if (!firstSteps(info, headers[0], &frame->xStep, &frame->yStep)) {
    return DedFinding::SpacingUnusable;
  }
  const bool narrowed = placeAsHost(info, headers, blocks, count, frame);
  if (!hostFrameOnly &&
      (narrowed || frame->notes.cellsNotShown > 0 || frame->notes.cellsClipped > 0)) {
    frame->host = false;
    frame->notes.cellsNotShown = frame->notes.cellsClipped = 0;
    const DedFinding finding = unionFrame(headers, blocks, count, frame, cells);
    if (finding != DedFinding::None) {
      return finding;
    }
  }
  frame->west = dedSnapToGrid(frame->west, frame->xStep);
  frame->north = dedSnapToGrid(frame->north, frame->yStep);
  return DedFinding::None;
}

bool dedHostGrid(const DedImageInfo &info, const DedCellHeader &first, DedSampleGrid *grid) {
  double xStep = 0, yStep = 0;
  if (!firstSteps(info, first, &xStep, &yStep)) {
    return false;
  }
  const DedSampleGrid area = dedSampleGrid(info);
  const double north = info.projection == PROJ_UTM && info.cellCount > 1
                           ? static_cast<double>(info.yMin) + (info.height - 1.0) * yStep
                           : area.north;
  *grid = {dedSnapToGrid(area.west, xStep), dedSnapToGrid(north, yStep), xStep, yStep};
  return true;
}

void dedGisGeoTransform(const DedGisFrame &frame, double geoTransform[6]) {
  dedGridGeoTransform({frame.west, frame.north, frame.xStep, frame.yStep}, geoTransform);
}
