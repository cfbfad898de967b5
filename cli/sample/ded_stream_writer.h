// Writes a DED elevation file front to back without holding it in memory:
// the records first, then each cell's samples column by column, south first.
// The statistics' elevation range is only known at the end and is written
// into its place then.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace elvhost {

struct DedCellLayout {
  float yMin = 0, yMax = 0, xMin = 0, xMax = 0; // bounds, coordinate units
  float ySpacing = 0, xSpacing = 0;             // 1/36000 unit (geographic) or units (UTM)
  int32_t rows = 0, columns = 0;                // samples per column, columns
  int64_t firstColumn = 0, firstRow = 0;        // the cell's south-west sample in the global grid
};

struct DedFileLayout {
  bool utm = false;
  char hemisphere = 'N'; // UTM only
  int32_t zone = 0;      // UTM only
  std::vector<DedCellLayout> cells;
};

// Produces rows elevations of global column x from global row y0 northwards.
using DedColumnSource = std::function<void(int64_t x, int64_t y0, int32_t rows, int16_t *out)>;

// Hears of the columns written so far, of all the cells' columns.
using DedProgress = std::function<void(int64_t columnsDone, int64_t columnsTotal)>;

// Writes the whole file to stream, which must be seekable and positioned at
// its start. Returns false, with the system's reason in error, when a write
// or the seek back to the statistics fails. progress, when given, hears of
// every column written.
bool writeDed(std::FILE *stream, const DedFileLayout &layout, const DedColumnSource &source,
              std::string *error, const DedProgress &progress = {});

} // namespace elvhost
