#include "ded/writer.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <memory>
#include <type_traits>
#include <vector>

#include "ded/cells.h"
#include "ded/encode.h"

namespace {

// Source values a window holds at most: 32 MiB of doubles.
constexpr int64_t kWindowSamples = int64_t{1} << 22;

// Bytes copied at a time from a temporary to an output that cannot seek.
constexpr size_t kCopyBytes = size_t{1} << 20;

struct Range {
  int16_t lowest = std::numeric_limits<int16_t>::max();
  int16_t highest = std::numeric_limits<int16_t>::min();
};

// The output and where it stands, so that runs written one after another
// need no seek between them.
struct Sink {
  const DedOutput *output;
  int64_t position;
  bool put(int64_t offset, const void *data, size_t bytes) {
    if (offset != position && !output->seek(output->context, offset)) {
      return false;
    }
    if (!output->write(output->context, data, bytes)) {
      return false;
    }
    position = offset + static_cast<int64_t>(bytes);
    return true;
  }
};

template <size_t N> bool writeRecord(Sink *sink, int64_t offset, const uint8_t (&bytes)[N]) {
  return sink->put(offset, bytes, N);
}

bool writeStatistics(Sink *sink, int32_t cellCount, const Range &range) {
  DedStatistics statistics{};
  statistics.cellCount = cellCount;
  statistics.minElevation = range.lowest;
  statistics.maxElevation = range.highest;
  uint8_t bytes[DED_STATISTICS_SIZE];
  dedEncodeStatistics(statistics, bytes);
  return writeRecord(sink, DED_HEADER_SIZE, bytes);
}

bool writeRecords(Sink *sink, const DedLayout &layout) {
  uint8_t header[DED_HEADER_SIZE];
  dedEncodeHeader(layout.header, header);
  if (!writeRecord(sink, 0, header) ||
      !writeStatistics(sink, static_cast<int32_t>(layout.cells.size()), Range{0, 0})) {
    return false;
  }
  for (const DedCellHeader &cell : layout.cells) {
    uint8_t bytes[DED_CELL_HEADER_SIZE];
    dedEncodeCellHeader(cell, bytes);
    if (!writeRecord(sink, sink->position, bytes)) {
      return false;
    }
  }
  return true;
}

// The columns [first, first + count) of a window of rows values a row
// (rows north first) as samples, each column's southern sample first, one
// column after another.
template <typename Value>
void southFirst(const DedValueRule &rule, const Value *values, int64_t stride, int32_t rows,
                int64_t first, int64_t count, int16_t *samples, int64_t *clamped) {
  for (int64_t j = 0; j < count; ++j) {
    const Value *south = values + first + j + (rows - 1) * stride;
    int16_t *out = samples + j * rows;
    for (int32_t i = 0; i < rows; ++i) {
      if constexpr (std::is_same_v<Value, int16_t>) {
        out[i] = dedSampleForInt16(rule, *(south - i * stride), clamped);
      } else {
        out[i] = dedSampleFor(rule, *(south - i * stride), clamped);
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
      : sink_{&output, 0}, layout_(layout), rule_(rule), source_(source), progress_(progress),
        report_(report) {}

  // Writes the whole file; false with the reason in error (empty when the
  // source or progress stopped it).
  bool write(std::string *error);

private:
  bool writeBand(size_t first, size_t end, std::string *error);
  bool writeWindow(size_t first, size_t end, const Window &window, std::string *error);
  bool putCell(size_t cell, const Window &window);
  void fold(const int16_t *samples, size_t count);

  Sink sink_;
  const DedLayout &layout_;
  const DedValueRule &rule_;
  const DedWindowSource &source_;
  const DedWriteProgress &progress_;
  DedWriteReport *report_;
  std::vector<int64_t> offsets_; // each cell's block, bytes from the file's start
  std::vector<double> values_;
  std::vector<int16_t> whole_; // the values of an int16 source
  std::vector<int16_t> samples_;
  std::vector<uint8_t> bytes_;
  Range range_;
  int64_t done_ = 0;
  int64_t total_ = 0;
};

void Writer::fold(const int16_t *samples, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    const int16_t s = samples[i];
    if (s == DED_VOID) {
      ++report_->voids;
    } else {
      range_.lowest = std::min(range_.lowest, s);
      range_.highest = std::max(range_.highest, s);
    }
  }
}

// Puts the part of the window that falls in cell at its places in the
// cell's block: one run when the window holds the cell's whole columns,
// else a run a column.
bool Writer::putCell(size_t cell, const Window &window) {
  const DedCellSource &s = layout_.sources[cell];
  const int64_t from = std::max(s.column, window.column);
  const int64_t to = std::min(s.column + s.columns, window.column + window.columns);
  if (from >= to) {
    return true;
  }
  const auto rows = static_cast<size_t>(window.rows);
  const size_t count = static_cast<size_t>(to - from) * rows;
  samples_.resize(count);
  bytes_.resize(count * DED_SAMPLE_SIZE);
  if (rule_.int16Values) {
    southFirst(rule_, whole_.data(), window.columns, window.rows, from - window.column, to - from,
               samples_.data(), &report_->clamped);
  } else {
    southFirst(rule_, values_.data(), window.columns, window.rows, from - window.column, to - from,
               samples_.data(), &report_->clamped);
  }
  fold(samples_.data(), count);
  dedEncodeSamples(samples_.data(), count, bytes_.data());
  done_ += static_cast<int64_t>(count);
  // Sample (column c, row r from the north) of the cell lies at index
  // c x s.rows + (s.rows - 1 - r) of its block.
  const int64_t southern = s.rows - window.fromRow - window.rows;
  const int64_t at =
      offsets_[cell] + ((from - s.column) * s.rows + southern) * int64_t{DED_SAMPLE_SIZE};
  if (window.rows == s.rows) {
    return sink_.put(at, bytes_.data(), bytes_.size());
  }
  const size_t run = rows * DED_SAMPLE_SIZE;
  for (int64_t c = 0; c < to - from; ++c) {
    if (!sink_.put(at + c * s.rows * int64_t{DED_SAMPLE_SIZE},
                   bytes_.data() + static_cast<size_t>(c) * run, run)) {
      return false;
    }
  }
  return true;
}

bool Writer::writeWindow(size_t first, size_t end, const Window &window, std::string *error) {
  const DedCellSource &band = layout_.sources[first];
  const size_t count = static_cast<size_t>(window.columns) * static_cast<size_t>(window.rows);
  void *dest = nullptr;
  if (rule_.int16Values) {
    whole_.resize(count);
    dest = whole_.data();
  } else {
    values_.resize(count);
    dest = values_.data();
  }
  if (!source_(window.column, band.row + window.fromRow, window.columns, window.rows, dest)) {
    return false;
  }
  for (size_t cell = first; cell < end; ++cell) {
    if (!putCell(cell, window)) {
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
  const auto rows = static_cast<int32_t>(std::clamp<int64_t>(kWindowSamples / width, 1, west.rows));
  const int64_t columns = std::clamp<int64_t>(kWindowSamples / rows, 1, width);
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
  if (!writeRecords(&sink_, layout_)) {
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
  if (range_.lowest > range_.highest) {
    *error = "every sample is NoData or NaN: there are no elevations to write";
    return false;
  }
  report_->minElevation = range_.lowest;
  report_->maxElevation = range_.highest;
  if (!writeStatistics(&sink_, static_cast<int32_t>(layout_.cells.size()), range_)) {
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
  if (output.seek != nullptr) {
    return Writer(output, layout, rule, source, progress, report).write(error);
  }
  // The elevation range is known only at the end: made where it can be
  // patched, then copied.
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
