// Writes a DED file front to back from a north-up raster of elevations,
// holding only a window of one cell at a time: the records, a statistics
// record whose elevation range is filled in at the end, then each cell's
// block, columns west first, each column south first.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "ded/layout.h"
#include "ded/output.h"

// How source values become the file's samples: the no-data value (when
// hasNoData) and NaN become the void -32768, a value that rounds to -32768
// stays the void, others are rounded to the nearest integer (halves away from
// zero) and clamped to -32767..32767.
struct DedValueRule {
  bool hasNoData = false;
  double noData = 0;
  bool int16Values = false; // the source gives int16_t values, not double
};

constexpr int16_t DED_VOID = -32768;

// Returns the file's sample for a source value, counting clamped values in
// *clamped. Inline: it runs once for every sample written.
inline int16_t dedSampleFor(const DedValueRule &rule, double value, int64_t *clamped) {
  if (value != value || (rule.hasNoData && value == rule.noData)) { // NaN, or NoData
    return DED_VOID;
  }
  if (!(value > -32768.5 && value < 32767.5)) {
    ++*clamped;
    return value < 0 ? -32767 : 32767;
  }
  // Nearest, halves away from zero, without a library call: the fraction
  // left by truncation is exact at these magnitudes.
  auto whole = static_cast<int32_t>(value);
  const double fraction = value - static_cast<double>(whole);
  whole += fraction >= 0.5 ? 1 : fraction <= -0.5 ? -1 : 0;
  return static_cast<int16_t>(whole);
}

// Fills dest, double or int16_t values as the rule says, with the raster's
// columns [column, column + columns) of rows [row, row + rows) (row 0 the
// northern), column after column, each column's northern sample first.
// False, having said why its own way, when it cannot.
using DedWindowSource =
    std::function<bool(int64_t column, int64_t row, int32_t columns, int32_t rows, void *dest)>;

// Hears the fraction (0..1) of the samples written; false stops the write.
using DedWriteProgress = std::function<bool(double fraction)>;

struct DedWriteReport {
  int64_t clamped = 0; // values outside -32767..32767, clamped
  int64_t voids = 0;   // samples written as the void
  int16_t minElevation = 0;
  int16_t maxElevation = 0;
};

// Writes layout's file to output, positioned at the file's start, reading
// its samples from source in windows of at most a cell's rows and a few
// million samples. Returns false, with the reason in error, when a write or
// a seek fails, the source or progress stops it (error then empty), or every
// sample is a void (no elevation range to give); the output then holds part
// of a file, which the caller removes.
bool dedWriteFile(const DedOutput &output, const DedLayout &layout, const DedValueRule &rule,
                  const DedWindowSource &source, const DedWriteProgress &progress,
                  DedWriteReport *report, std::string *error);
