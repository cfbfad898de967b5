#include "tests/support/ded_writer.h"

#include "ded/encode.h"

#include <atomic>
#include <cstring>
#include <fstream>
#include <random>

namespace dedtest {

namespace {

// Text into a fixed field, cut or padded with zeros.
template <size_t N> void putText(char (&field)[N], const std::string &text) {
  for (size_t i = 0; i < N; ++i) {
    field[i] = i < text.size() ? text[i] : '\0';
  }
}

template <size_t N> void append(std::vector<uint8_t> &out, const uint8_t (&bytes)[N]) {
  out.insert(out.end(), bytes, bytes + N);
}

Cell makeCell(double xMin, double yMin, int columns, int rows, float spacing, double divisor,
              const SampleFn &fn) {
  Cell cell;
  cell.xMin = static_cast<float>(xMin);
  cell.yMin = static_cast<float>(yMin);
  cell.xMax = static_cast<float>(xMin + (columns - 1) * (spacing / divisor));
  cell.yMax = static_cast<float>(yMin + (rows - 1) * (spacing / divisor));
  cell.xSpacing = spacing;
  cell.ySpacing = spacing;
  cell.columnCount = static_cast<float>(columns);
  cell.rowCount = static_cast<float>(rows);
  cell.samples.reserve(static_cast<size_t>(columns) * static_cast<size_t>(rows));
  for (int c = 0; c < columns; ++c) {
    for (int r = 0; r < rows; ++r) {
      cell.samples.push_back(fn ? fn(c, r) : int16_t{0});
    }
  }
  return cell;
}

} // namespace

std::vector<uint8_t> encode(const File &file) {
  std::vector<uint8_t> out;
  size_t sampleCount = 0;
  for (const Cell &cell : file.cells) {
    sampleCount += cell.samples.size();
  }
  out.reserve(kFirstCellOffset + kCellHeaderBytes * file.cells.size() + 2 * sampleCount +
              file.trailing.size());
  DedHeader header{};
  header.word0 = file.word0;
  putText(header.magic, file.magic);
  char projection[3];
  putText(projection, file.projection);
  std::memcpy(header.projection, projection, sizeof projection);
  header.hemisphere = file.hemisphere;
  putText(header.zone, file.zone);
  uint8_t headerBytes[DED_HEADER_SIZE];
  dedEncodeHeader(header, headerBytes);
  append(out, headerBytes);

  DedStatistics statistics{};
  statistics.cellCount = file.cellCount;
  statistics.minElevation = file.minElevation;
  statistics.maxElevation = file.maxElevation;
  uint8_t statisticsBytes[DED_STATISTICS_SIZE];
  dedEncodeStatistics(statistics, statisticsBytes);
  append(out, statisticsBytes);

  for (const Cell &cell : file.cells) {
    const DedCellHeader record{
        cell.yMin,     cell.yMax,        cell.xMin,
        cell.xMax,     cell.ySpacing,    cell.xSpacing,
        cell.rowCount, cell.columnCount, {cell.reserved[0], cell.reserved[1]}};
    uint8_t cellBytes[DED_CELL_HEADER_SIZE];
    dedEncodeCellHeader(record, cellBytes);
    append(out, cellBytes);
  }
  for (const Cell &cell : file.cells) {
    const size_t at = out.size();
    out.resize(at + 2 * cell.samples.size());
    dedEncodeSamples(cell.samples.data(), cell.samples.size(), out.data() + at);
  }
  out.insert(out.end(), file.trailing.begin(), file.trailing.end());
  return out;
}

Cell geographicCell(double xMin, double yMin, int columns, int rows, float spacing,
                    const SampleFn &fn) {
  return makeCell(xMin, yMin, columns, rows, spacing, 36000.0, fn);
}

Cell utmCell(double xMin, double yMin, int columns, int rows, float spacing, const SampleFn &fn) {
  return makeCell(xMin, yMin, columns, rows, spacing, 1.0, fn);
}

File geographicFile(int columns, int rows, const SampleFn &fn) {
  File file;
  file.cells.push_back(geographicCell(10.0, 45.0, columns, rows, 300.0f, fn));
  return file;
}

File utmFile(const std::string &zone, char hemisphere, int columns, int rows, const SampleFn &fn) {
  File file;
  file.projection = "UTM";
  file.hemisphere = hemisphere;
  file.zone = zone;
  file.cells.push_back(utmCell(500000.0, 4000000.0, columns, rows, 30.0f, fn));
  return file;
}

TempDir::TempDir() {
  static std::atomic<unsigned> counter{0};
  std::random_device seed;
  const auto base = std::filesystem::temp_directory_path();
  for (;;) {
    path_ = base / ("elvarin-test-" + std::to_string(seed()) + "-" + std::to_string(counter++));
    if (std::filesystem::create_directory(path_)) {
      break;
    }
  }
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string TempDir::write(const std::string &name, const std::vector<uint8_t> &bytes) const {
  const auto full = path_ / name;
  std::ofstream out(full, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char *>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  return full.string();
}

} // namespace dedtest
