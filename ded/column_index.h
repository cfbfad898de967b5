// Which cells of a GIS frame reach a run of its columns, so that a reader of
// one block looks at those cells only, however many the file holds.
#pragma once

#include <cstdint>
#include <vector>

#include "ded/gis_frame.h"

// The frame's columns cut in runs of runColumns; run k's cells are
// cells[starts[k]] up to cells[starts[k + 1]], in file order. Holds each
// shown cell once for every run its shown columns reach.
struct DedColumnIndex {
  int64_t runColumns = 1;
  std::vector<int64_t> starts;
  std::vector<int32_t> cells;
};

// The index of a frame's shown cells. Its size follows the cells and the
// columns they reach, not the frame's width alone: at most 65,536 runs.
DedColumnIndex dedIndexColumns(const DedGisFrame &frame);

// The cells whose shown columns may reach the frame's columns [left, left +
// columns), in file order (later cells land over earlier ones), into *out.
void dedCellsReaching(const DedColumnIndex &index, int64_t left, int64_t columns,
                      std::vector<int32_t> *out);
