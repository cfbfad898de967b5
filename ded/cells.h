// The cells of a DED file: their headers, where each one's block of samples
// lies in the file, and where the cell lies in the mosaic.
#pragma once

#include <cstdint>
#include <cstdio>

#include "ded/records.h"

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

// Reads count cell headers at the stream's position into cells. Returns
// DED_OK, DED_ERR_READ (the reader prints why) or DED_ERR_BADARG for a cell
// whose values are unusable (see dedCellUsable).
int32_t dedReadCellHeaders(std::FILE *stream, int32_t count, DedCellHeader *cells);

// Samples a cell's block holds: trunc(columnCount x rowCount) in double.
// Whole counts give columns x rows; others may give more, all of them read.
double dedCellSamples(const DedCellHeader &cell);

// Decides, from the file's length now, what reading the cells' blocks one
// after another from the first one on would come to: DED_ERR_BADARG at a cell
// with more samples than scratchSamples, DED_ERR_READ at a block of which
// nothing could be read (it has no samples, or starts at or past the end of
// the file), otherwise DED_OK. The stream's position is kept.
int32_t dedCheckBlocks(std::FILE *stream, const DedCellHeader *cells, int32_t count,
                       int64_t scratchSamples);

// The whole number a sizing or placing quotient stands for: the nearest whole
// number when the quotient lies within 1/16 of it (single-precision bounds
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
