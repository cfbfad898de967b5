#include "ded/writer.h"

#include <algorithm>
#include <limits>
#include <type_traits>
#include <vector>

#include "ded/encode.h"

namespace {

// Samples a source window holds at most: 32 MiB of doubles.
constexpr int64_t kWindowSamples = int64_t{1} << 22;

struct Range {
  int16_t lowest = std::numeric_limits<int16_t>::max();
  int16_t highest = std::numeric_limits<int16_t>::min();
};

template <size_t N> bool writeRecord(const DedOutput &output, const uint8_t (&bytes)[N]) {
  return output.write(output.context, bytes, N);
}

bool writeStatistics(const DedOutput &output, int32_t cellCount, const Range &range) {
  DedStatistics statistics{};
  statistics.cellCount = cellCount;
  statistics.minElevation = range.lowest;
  statistics.maxElevation = range.highest;
  uint8_t bytes[DED_STATISTICS_SIZE];
  dedEncodeStatistics(statistics, bytes);
  return writeRecord(output, bytes);
}

bool writeRecords(const DedOutput &output, const DedLayout &layout) {
  uint8_t header[DED_HEADER_SIZE];
  dedEncodeHeader(layout.header, header);
  if (!writeRecord(output, header) ||
      !writeStatistics(output, static_cast<int32_t>(layout.cells.size()), Range{0, 0})) {
    return false;
  }
  for (const DedCellHeader &cell : layout.cells) {
    uint8_t bytes[DED_CELL_HEADER_SIZE];
    dedEncodeCellHeader(cell, bytes);
    if (!writeRecord(output, bytes)) {
      return false;
    }
  }
  return true;
}

// The window's values (columns of rows, each north first) as the block's
// columns, each south first, into samples.
template <typename Value>
void toColumns(const DedValueRule &rule, const Value *values, int32_t columns, int32_t rows,
               int16_t *samples, DedWriteReport *report) {
  const size_t count = static_cast<size_t>(columns) * static_cast<size_t>(rows);
  for (size_t start = 0; start < count; start += static_cast<size_t>(rows)) {
    const Value *north = values + start;
    int16_t *south = samples + start + static_cast<size_t>(rows) - 1;
    if constexpr (std::is_same_v<Value, int16_t>) {
      // Exact, but for the no-data value, which becomes the void.
      const auto noData = rule.hasNoData ? static_cast<int32_t>(rule.noData) : int32_t{DED_VOID};
      for (int32_t r = 0; r < rows; ++r) {
        *(south - r) = north[r] == noData ? DED_VOID : north[r];
      }
    } else {
      for (int32_t r = 0; r < rows; ++r) {
        *(south - r) = dedSampleFor(rule, north[r], &report->clamped);
      }
    }
  }
}

void fold(const int16_t *samples, size_t count, Range *range, DedWriteReport *report) {
  for (size_t i = 0; i < count; ++i) {
    const int16_t s = samples[i];
    if (s == DED_VOID) {
      ++report->voids;
    } else {
      range->lowest = std::min(range->lowest, s);
      range->highest = std::max(range->highest, s);
    }
  }
}

} // namespace

bool dedWriteFile(const DedOutput &output, const DedLayout &layout, const DedValueRule &rule,
                  const DedWindowSource &source, const DedWriteProgress &progress,
                  DedWriteReport *report, std::string *error) {
  *report = DedWriteReport{};
  error->clear();
  if (!writeRecords(output, layout)) {
    *error = "cannot write the file's headers";
    return false;
  }
  int64_t total = 0;
  for (const DedCellSource &cell : layout.sources) {
    total += int64_t{cell.columns} * cell.rows;
  }
  std::vector<double> values;
  std::vector<int16_t> whole; // the values of an int16 source
  std::vector<int16_t> samples;
  std::vector<uint8_t> bytes;
  Range range;
  int64_t done = 0;
  for (const DedCellSource &cell : layout.sources) {
    const auto stripColumns =
        static_cast<int32_t>(std::clamp<int64_t>(kWindowSamples / cell.rows, 1, cell.columns));
    for (int32_t first = 0; first < cell.columns; first += stripColumns) {
      const int32_t columns = std::min(stripColumns, cell.columns - first);
      const size_t count = static_cast<size_t>(columns) * static_cast<size_t>(cell.rows);
      if (rule.int16Values) {
        whole.resize(count);
      } else {
        values.resize(count);
      }
      samples.resize(count);
      bytes.resize(count * DED_SAMPLE_SIZE);
      if (!source(cell.column + first, cell.row, columns, cell.rows,
                  rule.int16Values ? static_cast<void *>(whole.data()) : values.data())) {
        return false;
      }
      if (rule.int16Values) {
        toColumns(rule, whole.data(), columns, cell.rows, samples.data(), report);
      } else {
        toColumns(rule, values.data(), columns, cell.rows, samples.data(), report);
      }
      fold(samples.data(), count, &range, report);
      dedEncodeSamples(samples.data(), count, bytes.data());
      if (!output.write(output.context, bytes.data(), bytes.size())) {
        *error = "cannot write the samples";
        return false;
      }
      done += static_cast<int64_t>(count);
      if (progress && !progress(static_cast<double>(done) / static_cast<double>(total))) {
        return false;
      }
    }
  }
  if (range.lowest > range.highest) {
    *error = "every sample is NoData or NaN: there are no elevations to write";
    return false;
  }
  report->minElevation = range.lowest;
  report->maxElevation = range.highest;
  if (!output.seek(output.context, DED_HEADER_SIZE) ||
      !writeStatistics(output, static_cast<int32_t>(layout.cells.size()), range)) {
    *error = "cannot write the elevation range";
    return false;
  }
  return true;
}
