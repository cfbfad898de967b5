#include "cli/sample/ded_stream_writer.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>

#include "ded/encode.h"
#include "ded/records.h"

namespace elvhost {

namespace {

template <size_t N> bool writeAll(std::FILE *stream, const uint8_t (&bytes)[N]) {
  return std::fwrite(bytes, 1, N, stream) == N;
}

void encodeHeader(const DedFileLayout &layout, uint8_t (&out)[DED_HEADER_SIZE]) {
  DedHeader header{};
  header.word0 = 1;
  std::memcpy(header.magic, DED_MAGIC, sizeof header.magic);
  if (layout.utm) {
    std::memcpy(header.projection, "UTM", 3);
    header.hemisphere = layout.hemisphere;
    const std::string zone = std::to_string(layout.zone);
    std::memcpy(header.zone, zone.data(), std::min(zone.size(), sizeof header.zone - 1));
  } else {
    std::memcpy(header.projection, "GEO", 3);
  }
  dedEncodeHeader(header, out);
}

void encodeStatistics(int32_t cellCount, int16_t min, int16_t max,
                      uint8_t (&out)[DED_STATISTICS_SIZE]) {
  DedStatistics statistics{};
  statistics.cellCount = cellCount;
  statistics.minElevation = min;
  statistics.maxElevation = max;
  dedEncodeStatistics(statistics, out);
}

void encodeCellHeader(const DedCellLayout &cell, uint8_t (&out)[DED_CELL_HEADER_SIZE]) {
  const DedCellHeader header{cell.yMin,
                             cell.yMax,
                             cell.xMin,
                             cell.xMax,
                             cell.ySpacing,
                             cell.xSpacing,
                             static_cast<float>(cell.rows),
                             static_cast<float>(cell.columns),
                             {0, 0}};
  dedEncodeCellHeader(header, out);
}

} // namespace

bool writeDed(std::FILE *stream, const DedFileLayout &layout, const DedColumnSource &source,
              std::string *error, const DedProgress &progress) {
  const auto fail = [&] {
    *error = std::strerror(errno != 0 ? errno : EIO);
    return false;
  };
  errno = 0;
  const auto cellCount = static_cast<int32_t>(layout.cells.size());
  uint8_t header[DED_HEADER_SIZE];
  encodeHeader(layout, header);
  uint8_t statistics[DED_STATISTICS_SIZE];
  encodeStatistics(cellCount, 0, 0, statistics); // the range is known only at the end
  if (!writeAll(stream, header) || !writeAll(stream, statistics)) {
    return fail();
  }
  for (const DedCellLayout &cell : layout.cells) {
    uint8_t bytes[DED_CELL_HEADER_SIZE];
    encodeCellHeader(cell, bytes);
    if (!writeAll(stream, bytes)) {
      return fail();
    }
  }

  int16_t lowest = std::numeric_limits<int16_t>::max();
  int16_t highest = std::numeric_limits<int16_t>::min();
  std::vector<int16_t> column;
  std::vector<uint8_t> encoded;
  int64_t columnsTotal = 0;
  for (const DedCellLayout &cell : layout.cells) {
    columnsTotal += std::max(cell.columns, 0);
  }
  int64_t columnsDone = 0;
  for (const DedCellLayout &cell : layout.cells) {
    column.resize(static_cast<size_t>(std::max(cell.rows, 0)));
    encoded.resize(column.size() * 2);
    for (int32_t c = 0; c < cell.columns; ++c) {
      source(cell.firstColumn + c, cell.firstRow, cell.rows, column.data());
      for (const int16_t sample : column) {
        lowest = std::min(lowest, sample);
        highest = std::max(highest, sample);
      }
      dedEncodeSamples(column.data(), column.size(), encoded.data());
      if (std::fwrite(encoded.data(), 1, encoded.size(), stream) != encoded.size()) {
        return fail();
      }
      if (progress) {
        progress(++columnsDone, columnsTotal);
      }
    }
  }
  if (lowest > highest) {
    lowest = highest = 0; // no samples at all
  }
  encodeStatistics(cellCount, lowest, highest, statistics);
  if (std::fseek(stream, DED_HEADER_SIZE, SEEK_SET) != 0 || !writeAll(stream, statistics) ||
      std::fseek(stream, 0, SEEK_END) != 0) {
    return fail();
  }
  return true;
}

} // namespace elvhost
