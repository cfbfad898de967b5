// Writes a DED file from a north-up raster of elevations, holding only a
// window of a few million of its samples at a time, whatever its shape: the
// raster is read in bands of rows, north first (the order most rasters keep
// their blocks in), and each band's samples are put at their places in the
// cells' blocks. The elevation range goes into the statistics record before
// the file is complete, so an output that cannot seek gets the file through
// a temporary.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "ded/layout.h"
#include "ded/output.h"

// How source values become the file's samples: the no-data value (when
// hasNoData) and NaN become the void -32768; others are rounded to the
// nearest integer (halves away from zero) and clamped to -32767..32767, so a
// value that rounds to -32768 is clamped to -32767, never a void.
struct DedValueRule {
  bool hasNoData = false;
  double noData = 0;
  // The source gives int16_t values, not double: each is its sample but the
  // no-data value (a whole number in range), which is the void, and a
  // -32768 that is not the no-data value, which is clamped to -32767.
  bool int16Values = false;
};

// Returns the file's sample for a source value, counting clamped values in
// *clamped. Inline: it runs once for every sample written.
inline int16_t dedSampleFor(const DedValueRule &rule, double value, int64_t *clamped) {
  if (value != value || (rule.hasNoData && value == rule.noData)) { // NaN, or NoData
    return DED_VOID;
  }
  // Beyond these, rounding gives a value outside -32767..32767.
  if (!(value > -32767.5 && value < 32767.5)) {
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
// rows [row, row + rows) of columns [column, column + columns) (row 0 the
// northern), row after row, each row's western value first. False, having
// said why its own way, when it cannot.
using DedWindowSource =
    std::function<bool(int64_t column, int64_t row, int32_t columns, int32_t rows, void *dest)>;

// Hears the fraction (0..1) of the samples written; false stops the write.
using DedWriteProgress = std::function<bool(double fraction)>;

struct DedWriteReport {
  int64_t clamped = 0; // samples written clamped to -32767..32767
  int64_t voids = 0;   // samples written as the void
  int16_t minElevation = 0;
  int16_t maxElevation = 0;
};

// Writes layout's file to output, positioned at the file's start, reading
// its samples from source in windows of at most a few million samples.
// Where output cannot seek (its seek is null), the file is made in an
// anonymous temporary file first and copied to output only once complete,
// so output gets nothing from a write that fails before then. Returns false,
// with the reason in error, when a write or a seek fails, the source or
// progress stops it (error then empty), or every sample is a void (no
// elevation range to give); a seekable output then holds part of a file,
// which the caller removes.
bool dedWriteFile(const DedOutput &output, const DedLayout &layout, const DedValueRule &rule,
                  const DedWindowSource &source, const DedWriteProgress &progress,
                  DedWriteReport *report, std::string *error);

// The warning a person reads about a report: empty when nothing was clamped.
std::string dedWriteWarning(const DedWriteReport &report);
