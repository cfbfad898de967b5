// The GIS frame's notes in a person's words: the one text the GDAL driver
// and elvarin-host print.
#include <cmath>
#include <cstdio>

#include "ded/gis_frame.h"

namespace {

// A spacing the bounds and counts give none for (a single sample) is "none".
std::string number(double value) {
  if (!std::isfinite(value)) {
    return "none";
  }
  char text[32];
  (void)std::snprintf(text, sizeof text, "%.9g", value);
  return text;
}

std::string count(int64_t n, const char *one, const char *many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::string cellName(int32_t cell) { return "cell " + std::to_string(int64_t{cell} + 1); }

std::string xy(double x, double y) { return number(x) + " x " + number(y); }

} // namespace

std::vector<std::string> dedGisWarnings(const DedGisNotes &notes, const char *unit) {
  std::vector<std::string> lines;
  if (notes.replacedCell >= 0) {
    const DedAxisSpacing &x = notes.replacedX, &y = notes.replacedY;
    lines.push_back(cellName(notes.replacedCell) + "'s spacing " + xy(x.field, y.field) + " (" +
                    unit + ") is not above 0; its bounds and counts give " + xy(x.used, y.used) +
                    ", used instead");
  }
  if (notes.contradictingCell >= 0) {
    const DedAxisSpacing &x = notes.contradictingX, &y = notes.contradictingY;
    const int64_t others = notes.contradictingCells - 1;
    lines.push_back(cellName(notes.contradictingCell) + "'s spacing " + xy(x.field, y.field) +
                    " (" + unit + ") contradicts its bounds and counts, which give " +
                    xy(x.bounds, y.bounds) +
                    (others > 0 ? " (and " + count(others, "more cell", "more cells") + ")" : "") +
                    "; the spacing places the samples");
  }
  if (notes.offGridCell >= 0) {
    lines.push_back(cellName(notes.offGridCell) +
                    (notes.offGridCells > 1
                         ? " and " + count(notes.offGridCells - 1, "more cell", "more cells")
                         : std::string()) +
                    " lie off the first cell's grid; placed at the nearest sample");
  }
  if (notes.emptyCells > 0) {
    lines.push_back(count(notes.emptyCells, "cell holds", "cells hold") +
                    " no sample the file stores");
  }
  if (notes.missingSamples > 0) {
    lines.push_back("the file ends " + count(notes.missingSamples, "sample", "samples") +
                    " short of its cells; those in a column it stores in part read as NoData");
  }
  if (notes.cellsNotShown > 0 || notes.cellsClipped > 0) {
    lines.push_back("the plug-in's frame leaves out " +
                    count(notes.cellsNotShown, "cell", "cells") + " and shows " +
                    std::to_string(notes.cellsClipped) + " clipped");
  }
  return lines;
}
