// The cells of a DED file: their headers, how many samples each holds and
// where a cell's first sample lies in the mosaic.
#pragma once

#include <cstdint>

#include "ded/finding.h"
#include "ded/records.h"

// How near, in samples (or spacings), a quotient of single-precision bounds
// must lie to a whole number to be read as it: nearer than such bounds can
// err, far from the next sample.
constexpr double DED_SNAP = 1.0 / 16.0;

// Cell headers stored in a file with this statistics cell count: a count of
// one or less is read as one cell.
inline int32_t dedCellHeaderCount(int32_t cellCount) { return cellCount > 1 ? cellCount : 1; }

// File offset of the first sample block when headerCount cell headers precede it.
inline int64_t dedFirstBlockOffset(int32_t headerCount) {
  return DED_FIRST_CELL_HEADER + int64_t{headerCount} * DED_CELL_HEADER_SIZE;
}

// A cell's counts are finite, not negative and fit a signed 32-bit integer
// once truncated; its bounds and spacings are finite.
bool dedCellUsable(const DedCellHeader &cell);

// Reads count cell headers at the input's position into cells. Returns None;
// CellHeaderShort (the input's readFailed was told) or CellUnusable (see
// dedCellUsable), with the index of that cell in *failed when failed is
// given. The cells before it are read.
DedFinding dedReadCellHeaders(const DedInput &input, int32_t count, DedCellHeader *cells,
                              int32_t *failed = nullptr);

// Samples a cell's block holds: trunc(columnCount x rowCount) in double.
// Whole counts give columns x rows; others may give more, all of them read.
// For a usable cell at most 2^62, exactly.
double dedCellSamples(const DedCellHeader &cell);

// The whole number a sizing or placing quotient stands for: the nearest whole
// number when the quotient lies within DED_SNAP of it (single-precision bounds
// leave quotients like 3599.9999999999995 for 3600), otherwise the quotient
// truncated toward zero. Non-finite values pass through.
double dedWholePart(double quotient);

// Spacing units per coordinate unit for a file of this projection.
double dedSpacingUnits(int32_t projection);

// The mosaic column and row of a cell's first sample: (cell.xMin - xMin) /
// (xSpacing / units) and likewise for y, in double precision, made whole.
// False when either is not finite or leaves the int32 range (a zero
// spacing, say): such a cell lies nowhere in the mosaic.
bool dedCellOrigin(const DedCellHeader &cell, float xMin, float yMin, int32_t projection,
                   int64_t *column, int64_t *row);
