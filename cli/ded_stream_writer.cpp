#include "cli/ded_stream_writer.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <limits>

namespace elvhost {

namespace {

void put32(uint8_t *out, uint32_t v) {
  out[0] = static_cast<uint8_t>(v >> 24);
  out[1] = static_cast<uint8_t>(v >> 16);
  out[2] = static_cast<uint8_t>(v >> 8);
  out[3] = static_cast<uint8_t>(v);
}

void put16(uint8_t *out, int16_t v) {
  const auto u = static_cast<uint16_t>(v);
  out[0] = static_cast<uint8_t>(u >> 8);
  out[1] = static_cast<uint8_t>(u);
}

void putFloat(uint8_t *out, float f) {
  uint32_t bits = 0;
  std::memcpy(&bits, &f, sizeof bits);
  put32(out, bits);
}

std::array<uint8_t, kDedHeaderBytes> headerBytes(const DedFileLayout &layout) {
  std::array<uint8_t, kDedHeaderBytes> header{};
  put32(header.data(), 1);
  std::memcpy(header.data() + 4, "KVTR", 4);
  if (layout.utm) {
    std::memcpy(header.data() + 8, "UTM", 3);
    header[11] = static_cast<uint8_t>(layout.hemisphere);
    const std::string zone = std::to_string(layout.zone);
    std::memcpy(header.data() + 12, zone.data(), std::min<size_t>(zone.size(), 100));
  } else {
    std::memcpy(header.data() + 8, "GEO", 3);
  }
  return header;
}

std::array<uint8_t, kDedStatisticsBytes> statisticsBytes(int32_t cellCount, int16_t min,
                                                         int16_t max) {
  std::array<uint8_t, kDedStatisticsBytes> statistics{};
  put32(statistics.data(), static_cast<uint32_t>(cellCount));
  put16(statistics.data() + 4, min);
  put16(statistics.data() + 6, max);
  return statistics;
}

std::array<uint8_t, kDedCellHeaderBytes> cellHeaderBytes(const DedCellLayout &cell) {
  std::array<uint8_t, kDedCellHeaderBytes> bytes{};
  const float words[] = {cell.yMin,
                         cell.yMax,
                         cell.xMin,
                         cell.xMax,
                         cell.ySpacing,
                         cell.xSpacing,
                         static_cast<float>(cell.rows),
                         static_cast<float>(cell.columns)};
  for (size_t i = 0; i < std::size(words); ++i) {
    putFloat(bytes.data() + 4 * i, words[i]);
  }
  return bytes;
}

bool writeAll(std::FILE *stream, const uint8_t *bytes, size_t size) {
  return std::fwrite(bytes, 1, size, stream) == size;
}

} // namespace

bool writeDed(std::FILE *stream, const DedFileLayout &layout, const DedColumnSource &source,
              std::string *error) {
  const auto fail = [&] {
    *error = std::strerror(errno != 0 ? errno : EIO);
    return false;
  };
  errno = 0;
  const auto cellCount = static_cast<int32_t>(layout.cells.size());
  const auto header = headerBytes(layout);
  const auto placeholder = statisticsBytes(cellCount, 0, 0);
  if (!writeAll(stream, header.data(), header.size()) ||
      !writeAll(stream, placeholder.data(), placeholder.size())) {
    return fail();
  }
  for (const DedCellLayout &cell : layout.cells) {
    const auto bytes = cellHeaderBytes(cell);
    if (!writeAll(stream, bytes.data(), bytes.size())) {
      return fail();
    }
  }

  int16_t lowest = std::numeric_limits<int16_t>::max();
  int16_t highest = std::numeric_limits<int16_t>::min();
  std::vector<int16_t> column;
  std::vector<uint8_t> encoded;
  for (const DedCellLayout &cell : layout.cells) {
    column.resize(static_cast<size_t>(std::max(cell.rows, 0)));
    encoded.resize(column.size() * 2);
    for (int32_t c = 0; c < cell.columns; ++c) {
      source(cell.firstColumn + c, cell.firstRow, cell.rows, column.data());
      for (size_t r = 0; r < column.size(); ++r) {
        lowest = std::min(lowest, column[r]);
        highest = std::max(highest, column[r]);
        put16(encoded.data() + 2 * r, column[r]);
      }
      if (!writeAll(stream, encoded.data(), encoded.size())) {
        return fail();
      }
    }
  }
  if (lowest > highest) {
    lowest = highest = 0; // no samples at all
  }
  const auto statistics = statisticsBytes(cellCount, lowest, highest);
  if (std::fseek(stream, kDedStatisticsOffset, SEEK_SET) != 0 ||
      !writeAll(stream, statistics.data(), statistics.size()) ||
      std::fseek(stream, 0, SEEK_END) != 0) {
    return fail();
  }
  return true;
}

} // namespace elvhost
