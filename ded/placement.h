// Where a block of a cell's samples lands in the image: the one geometry
// every program that places samples uses (the plug-in's grey levels, the
// GDAL driver's elevations), so they agree on every pixel.
#pragma once

#include <cstdint>

#include "ded/describe.h"

// A column-major block of columns x rows samples placed with its first
// sample at image column imageColumn, row imageRow (row 0 at the image's
// southern edge): block (j, i) lands on pixel (imageColumn + j, imageRow + i).
// Only the block's columns [firstColumn, endColumn) and, within each, rows
// [firstRow, endRow) land inside the image.
struct DedPlacement {
  bool shown;      // some sample lands inside the image (the ranges are not empty)
  bool clipped;    // shown, but some of the block's samples fall outside
  int64_t columns; // the block's size; rows is also its column pitch
  int64_t rows;
  int64_t imageColumn;
  int64_t imageRow;
  int64_t firstColumn;
  int64_t endColumn;
  int64_t firstRow;
  int64_t endRow;
};

// The placement of a block of columns x rows samples at (imageColumn,
// imageRow) in an image of width x height pixels.
DedPlacement dedClipBlock(int64_t columns, int64_t rows, int64_t imageColumn, int64_t imageRow,
                          int32_t width, int32_t height);

// placement with its block cut to the first columns columns (those a file
// stores samples of); placement itself when the block has no more.
DedPlacement dedKeepColumns(const DedPlacement &placement, int64_t columns);

// The samples of a placed block that land in a window of the image, its
// columns [left, left + columns) and rows [bottom, bottom + rows), as they
// are read on their own: from each of the block's columns [firstColumn,
// endColumn) of placement, the rows [firstRow, firstRow + placement.rows),
// packed one column after another, placed with the window's row bottom as
// row 0 (so placed into a window of rows rows).
struct DedWindowPart {
  int64_t firstRow;       // the block's row that is each packed column's first
  DedPlacement placement; // not shown when no sample lands in the window
};
DedWindowPart dedWindowPart(const DedPlacement &placement, int64_t left, int64_t columns,
                            int64_t bottom, int64_t rows);

// The placement of a cell's block in a mosaic's image: its first sample at
// dedCellOrigin, trunc(columnCount) columns of trunc(rowCount) rows. A cell
// whose origin is not usable (see dedCellOrigin) is not shown. The cell of a
// one-cell file is its image: placed at (0, 0) whatever its bounds.
DedPlacement dedPlaceCell(const DedImageInfo &info, const DedCellHeader &cell);
