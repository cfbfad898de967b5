#include "ded/placement.h"

#include <algorithm>

DedPlacement dedClipBlock(int64_t columns, int64_t rows, int64_t imageColumn, int64_t imageRow,
                          int32_t width, int32_t height) {
  DedPlacement p{};
  p.columns = columns;
  p.rows = rows;
  p.imageColumn = imageColumn;
  p.imageRow = imageRow;
  p.firstColumn = std::max<int64_t>(0, -imageColumn);
  p.endColumn = std::min<int64_t>(columns, int64_t{width} - imageColumn);
  p.firstRow = std::max<int64_t>(0, -imageRow);
  p.endRow = std::min<int64_t>(rows, int64_t{height} - imageRow);
  p.shown = p.firstColumn < p.endColumn && p.firstRow < p.endRow;
  p.clipped =
      p.shown && (p.firstColumn > 0 || p.endColumn < columns || p.firstRow > 0 || p.endRow < rows);
  return p;
}

DedPlacement dedKeepColumns(const DedPlacement &placement, int64_t columns) {
  if (columns >= placement.columns) {
    return placement;
  }
  DedPlacement p = placement;
  p.columns = std::max<int64_t>(0, columns);
  p.endColumn = std::min(p.endColumn, p.columns);
  p.shown = placement.shown && p.firstColumn < p.endColumn; // its rows are the same
  p.clipped = p.shown &&
              (p.firstColumn > 0 || p.endColumn < p.columns || p.firstRow > 0 || p.endRow < p.rows);
  return p;
}

DedWindowPart dedWindowPart(const DedPlacement &placement, int64_t left, int64_t columns,
                            int64_t bottom, int64_t rows) {
  const int64_t i0 = std::max(placement.firstRow, bottom - placement.imageRow);
  const int64_t i1 = std::min(placement.endRow, bottom + rows - placement.imageRow);
  DedPlacement p = placement;
  p.rows = std::max<int64_t>(0, i1 - i0);
  p.imageRow = placement.imageRow + i0 - bottom;
  p.firstRow = 0;
  p.endRow = p.rows;
  p.firstColumn = std::max(placement.firstColumn, left - placement.imageColumn);
  p.endColumn = std::min(placement.endColumn, left + columns - placement.imageColumn);
  p.shown = p.firstColumn < p.endColumn && p.rows > 0;
  p.clipped = p.shown && (p.firstColumn > 0 || p.endColumn < p.columns);
  return {i0, p};
}

DedPlacement dedPlaceCell(const DedImageInfo &info, const DedCellHeader &cell) {
  const auto columns = static_cast<int64_t>(cell.columnCount);
  const auto rows = static_cast<int64_t>(cell.rowCount);
  int64_t column = 0;
  int64_t row = 0;
  // A file of one cell is that cell's image, whatever its bounds say.
  if (dedCellHeaderCount(info.cellCount) > 1 &&
      !dedCellOrigin(cell, info.xMin, info.yMin, info.projection, &column, &row)) {
    DedPlacement nowhere{};
    nowhere.columns = columns;
    nowhere.rows = rows;
    return nowhere;
  }
  return dedClipBlock(columns, rows, column, row, info.width, info.height);
}
