#include "ded/writer.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#include "ded/cells.h"
#include "ded/encode.h"

namespace {

// Bytes of source values a window holds at most: 8 Mi doubles, 32 Mi int16_t.
constexpr int64_t kWindowBytes = int64_t{64} << 20;

// Columns turned into the file's order at a time: their lines stay in the
// cache while each source row is read in order.
constexpr int64_t kTransposeColumns = 64;

// Samples put in the file's order at a time: 8 MiB.
constexpr int64_t kBlockSamples = int64_t{1} << 22;

// Bytes copied at a time from a temporary to an output that cannot seek.
constexpr size_t kCopyBytes = size_t{1} << 20;

// The output, written at offsets.
struct Sink {
  const DedOutput *output;
  bool put(int64_t offset, const void *data, size_t bytes) const {
    return output->writeAt(output->context, offset, data, bytes);
  }
};

template <size_t N> bool writeRecord(const Sink &sink, int64_t offset, const uint8_t (&bytes)[N]) {
  return sink.put(offset, bytes, N);
}

bool writeStatistics(const Sink &sink, int32_t cellCount, int16_t lowest, int16_t highest) {
  DedStatistics statistics{};
  statistics.cellCount = cellCount;
  statistics.minElevation = lowest;
  statistics.maxElevation = highest;
  uint8_t bytes[DED_STATISTICS_SIZE];
  dedEncodeStatistics(statistics, bytes);
  return writeRecord(sink, DED_HEADER_SIZE, bytes);
}

bool writeRecords(const Sink &sink, const DedLayout &layout) {
  uint8_t header[DED_HEADER_SIZE];
  dedEncodeHeader(layout.header, header);
  if (!writeRecord(sink, 0, header) ||
      !writeStatistics(sink, static_cast<int32_t>(layout.cells.size()), 0, 0)) {
    return false;
  }
  int64_t offset = DED_FIRST_CELL_HEADER;
  for (const DedCellHeader &cell : layout.cells) {
    uint8_t bytes[DED_CELL_HEADER_SIZE];
    dedEncodeCellHeader(cell, bytes);
    if (!writeRecord(sink, offset, bytes)) {
      return false;
    }
    offset += DED_CELL_HEADER_SIZE;
  }
  return true;
}

// What the source values read so far come to.
struct Tally {
  int16_t lowest = std::numeric_limits<int16_t>::max();
  int16_t highest = std::numeric_limits<int16_t>::min(); // the void: below every sample
  int64_t voids = 0;
  int64_t clamped = 0;
};

// Values encoded at a time with 16-bit counts, so the loop runs in 16-bit
// lanes.
constexpr size_t kEncodeRun = 32767;

// count int16_t source values as the file stores their samples, in place,
// and tally widened by them. Locals, not the tally, in the loop: registers.
void encodeValues(const DedValueRule &rule, int16_t *values, size_t count, Tally *tally) {
  // DedValueRule's int16_t rule in masks of all ones or none, free of
  // branches, so the compiler runs it in vector lanes.
  const auto noData = static_cast<int16_t>(rule.hasNoData ? rule.noData : 0);
  const int16_t noDataMask = rule.hasNoData ? -1 : 0;
  int16_t lowest = tally->lowest, highest = tally->highest;
  for (size_t start = 0; start < count; start += kEncodeRun) {
    const size_t end = std::min(count, start + kEncodeRun);
    uint16_t voids = 0, clamped = 0;
    for (size_t i = start; i < end; ++i) {
      const int16_t v = values[i];
      const auto isNoData = static_cast<int16_t>((v == noData ? -1 : 0) & noDataMask);
      const auto isMinimum = static_cast<int16_t>((v == DED_VOID ? -1 : 0) & ~isNoData);
      clamped = static_cast<uint16_t>(clamped - isMinimum);
      voids = static_cast<uint16_t>(voids - isNoData);
      const auto kept = static_cast<int16_t>((v - isMinimum) & ~isNoData); // -32768 to -32767
      const auto sample = static_cast<int16_t>(kept | (DED_VOID & isNoData));
      lowest = std::min(lowest, static_cast<int16_t>(kept | (INT16_MAX & isNoData)));
      highest = std::max(highest, sample);
      const auto u = static_cast<uint16_t>(sample);
      values[i] = static_cast<int16_t>((u >> 8) | (u << 8)); // big-endian, as dedEncodeSample
    }
    tally->voids += voids;
    tally->clamped += clamped;
  }
  tally->lowest = lowest;
  tally->highest = highest;
}

// count double source values as the file stores their samples, at out.
void encodeValues(const DedValueRule &rule, const double *values, size_t count, uint16_t *out,
                  Tally *tally) {
  int16_t lowest = tally->lowest, highest = tally->highest;
  int64_t voids = 0, clamped = 0;
  for (size_t i = 0; i < count; ++i) {
    const int16_t s = dedSampleFor(rule, values[i], &clamped);
    const bool isVoid = s == DED_VOID;
    voids += isVoid ? 1 : 0;
    lowest = std::min(lowest, isVoid ? std::numeric_limits<int16_t>::max() : s);
    highest = std::max(highest, s);
    out[i] = dedEncodeSample(s);
  }
  *tally = Tally{lowest, highest, tally->voids + voids, tally->clamped + clamped};
}

// The columns [first, first + count) of a window of rows samples a row (rows
// north first, stride apart) into out, each column's southern sample first,
// one column after another.
void southFirst(const uint16_t *window, int64_t stride, int32_t rows, int64_t first, int64_t count,
                uint16_t *out) {
  for (int64_t left = 0; left < count; left += kTransposeColumns) {
    const int64_t width = std::min(kTransposeColumns, count - left);
    for (int32_t i = 0; i < rows; ++i) {
      const uint16_t *row = window + (rows - 1 - i) * stride + first + left;
      uint16_t *column = out + left * rows + i;
      for (int64_t j = 0; j < width; ++j) {
        column[j * rows] = row[j];
      }
    }
  }
}

// A window of a band of cells: the raster's columns [column, column +
// columns) of the band's rows [fromRow, fromRow + rows), counted from the
// band's northern row.
struct Window {
  int64_t column;
  int32_t columns;
  int32_t fromRow;
  int32_t rows;
};

class Writer {
public:
  Writer(const DedOutput &output, const DedLayout &layout, const DedValueRule &rule,
         const DedWindowSource &source, const DedWriteProgress &progress, DedWriteReport *report)
      : sink_{&output}, layout_(layout), rule_(rule), source_(source), progress_(progress),
        report_(report) {}

  // Writes the whole file; false with the reason in error (empty when the
  // source or progress stopped it).
  bool write(std::string *error);

private:
  bool writeBand(size_t first, size_t end, std::string *error);
  bool writeWindow(size_t first, size_t end, const Window &window, std::string *error);
  bool putCell(size_t cell, const Window &window, const uint16_t *stored);

  Sink sink_;
  const DedLayout &layout_;
  const DedValueRule &rule_;
  const DedWindowSource &source_;
  const DedWriteProgress &progress_;
  DedWriteReport *report_;
  std::vector<int64_t> offsets_; // each cell's block, bytes from the file's start
  std::vector<double> values_;
  std::vector<int16_t> whole_;   // the values of an int16 source
  std::vector<uint16_t> stored_; // a double window's samples as the file stores them
  std::vector<uint16_t> block_;  // columns of a cell's part of the window, in the file's order
  Tally tally_;
  int64_t done_ = 0;
  int64_t total_ = 0;
};

// Puts the part of the window (stored, as the file stores it) that falls in
// cell at its places in the cell's block, a group of columns at a time: one
// run a group when the window holds the cell's whole columns, else a run a
// column.
bool Writer::putCell(size_t cell, const Window &window, const uint16_t *stored) {
  const DedCellSource &s = layout_.sources[cell];
  const int64_t from = std::max(s.column, window.column);
  const int64_t to = std::min(s.column + s.columns, window.column + window.columns);
  const auto rows = static_cast<size_t>(window.rows);
  const int64_t group = std::max<int64_t>(1, kBlockSamples / window.rows);
  // Sample (column c, row r from the north) of the cell lies at index
  // c x s.rows + (s.rows - 1 - r) of its block.
  const int64_t southern = s.rows - window.fromRow - window.rows;
  for (int64_t first = from; first < to; first += group) {
    const int64_t count = std::min(group, to - first);
    block_.resize(static_cast<size_t>(count) * rows);
    southFirst(stored, window.columns, window.rows, first - window.column, count, block_.data());
    const int64_t at =
        offsets_[cell] + ((first - s.column) * s.rows + southern) * int64_t{DED_SAMPLE_SIZE};
    if (window.rows == s.rows) {
      if (!sink_.put(at, block_.data(), block_.size() * DED_SAMPLE_SIZE)) {
        return false;
      }
      continue;
    }
    for (int64_t c = 0; c < count; ++c) {
      if (!sink_.put(at + c * s.rows * int64_t{DED_SAMPLE_SIZE},
                     block_.data() + static_cast<size_t>(c) * rows, rows * DED_SAMPLE_SIZE)) {
        return false;
      }
    }
  }
  done_ += std::max<int64_t>(0, to - from) * window.rows;
  return true;
}

bool Writer::writeWindow(size_t first, size_t end, const Window &window, std::string *error) {
  const DedCellSource &band = layout_.sources[first];
  const size_t count = static_cast<size_t>(window.columns) * static_cast<size_t>(window.rows);
  const int64_t row = band.row + window.fromRow;
  const uint16_t *stored = nullptr;
  if (rule_.int16Values) {
    whole_.resize(count);
    if (!source_(window.column, row, window.columns, window.rows, whole_.data())) {
      return false;
    }
    encodeValues(rule_, whole_.data(), count, &tally_);
    stored = reinterpret_cast<const uint16_t *>(whole_.data()); // the same bits

  } else {
    values_.resize(count);
    if (!source_(window.column, row, window.columns, window.rows, values_.data())) {
      return false;
    }
    stored_.resize(count);
    encodeValues(rule_, values_.data(), count, stored_.data(), &tally_);
    stored = stored_.data();
  }
  for (size_t cell = first; cell < end; ++cell) {
    if (!putCell(cell, window, stored)) {
      *error = "cannot write the samples";
      return false;
    }
  }
  return !progress_ || progress_(static_cast<double>(done_) / static_cast<double>(total_));
}

// Writes the cells [first, end), which share their rows, in windows of whole
// rows of the band where they fit, north first.
bool Writer::writeBand(size_t first, size_t end, std::string *error) {
  const DedCellSource &west = layout_.sources[first];
  const DedCellSource &east = layout_.sources[end - 1];
  const int64_t width = east.column + east.columns - west.column;
  const int64_t budget =
      kWindowBytes / static_cast<int64_t>(rule_.int16Values ? sizeof(int16_t) : sizeof(double));
  const auto rows = static_cast<int32_t>(std::clamp<int64_t>(budget / width, 1, west.rows));
  const int64_t columns = std::clamp<int64_t>(budget / rows, 1, width);
  for (int32_t fromRow = 0; fromRow < west.rows; fromRow += rows) {
    for (int64_t column = west.column; column < west.column + width; column += columns) {
      const Window window{column,
                          static_cast<int32_t>(std::min(columns, west.column + width - column)),
                          fromRow, std::min(rows, west.rows - fromRow)};
      if (!writeWindow(first, end, window, error)) {
        return false;
      }
    }
  }
  return true;
}

bool Writer::write(std::string *error) {
  *report_ = DedWriteReport{};
  if (!writeRecords(sink_, layout_)) {
    *error = "cannot write the file's headers";
    return false;
  }
  int64_t offset = dedFirstBlockOffset(static_cast<int32_t>(layout_.cells.size()));
  for (const DedCellSource &cell : layout_.sources) {
    offsets_.push_back(offset);
    offset += int64_t{cell.columns} * cell.rows * DED_SAMPLE_SIZE;
    total_ += int64_t{cell.columns} * cell.rows;
  }
  for (size_t first = 0; first < layout_.sources.size();) {
    size_t end = first + 1;
    while (end < layout_.sources.size() && layout_.sources[end].row == layout_.sources[first].row) {
      ++end;
    }
    if (!writeBand(first, end, error)) {
      return false;
    }
    first = end;
  }
  report_->clamped = tally_.clamped;
  report_->voids = tally_.voids;
  if (tally_.lowest > tally_.highest) {
    *error = "every sample is NoData or NaN: there are no elevations to write";
    return false;
  }
  report_->minElevation = tally_.lowest;
  report_->maxElevation = tally_.highest;
  if (!writeStatistics(sink_, static_cast<int32_t>(layout_.cells.size()), tally_.lowest,
                       tally_.highest)) {
    *error = "cannot write the elevation range";
    return false;
  }
  return true;
}

struct CloseFile {
  void operator()(std::FILE *file) const { (void)std::fclose(file); }
};

// Copies the complete file in spill to output, from its start.
bool copyOut(std::FILE *spill, const DedOutput &output, std::string *error) {
  std::vector<uint8_t> buffer(kCopyBytes);
  if (std::fflush(spill) != 0 || !dedSeekTo(spill, 0)) {
    *error = std::string("cannot read the temporary file back: ") + std::strerror(errno);
    return false;
  }
  for (;;) {
    const size_t n = std::fread(buffer.data(), 1, buffer.size(), spill);
    if (n > 0 && !output.write(output.context, buffer.data(), n)) {
      *error = "cannot write the file";
      return false;
    }
    if (n < buffer.size()) {
      break;
    }
  }
  if (std::ferror(spill) != 0) {
    *error = std::string("cannot read the temporary file back: ") + std::strerror(errno);
    return false;
  }
  return true;
}

} // namespace

bool dedWriteFile(const DedOutput &output, const DedLayout &layout, const DedValueRule &rule,
                  const DedWindowSource &source, const DedWriteProgress &progress,
                  DedWriteReport *report, std::string *error) {
  error->clear();
  if (output.writeAt != nullptr) {
    return Writer(output, layout, rule, source, progress, report).write(error);
  }
  // The elevation range and the samples' places are settled only as the
  // source is read: the file is made where they can be written at their
  // offsets, then copied.
  const std::unique_ptr<std::FILE, CloseFile> spill(std::tmpfile());
  if (!spill) {
    *error = std::string("cannot make a temporary file: ") + std::strerror(errno);
    return false;
  }
  const DedOutput temporary = dedStdioOutput(spill.get());
  return Writer(temporary, layout, rule, source, progress, report).write(error) &&
         copyOut(spill.get(), output, error);
}

std::string dedWriteWarning(const DedWriteReport &report) {
  if (report.clamped == 0) {
    return std::string();
  }
  return std::to_string(report.clamped) +
         " values outside -32767..32767 were clamped to that range";
}
