#include "tests/support/ded_writer.h"

#include <atomic>
#include <cstring>
#include <fstream>
#include <random>

namespace dedtest {

namespace {

void put32(std::vector<uint8_t> &out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v >> 24));
  out.push_back(static_cast<uint8_t>(v >> 16));
  out.push_back(static_cast<uint8_t>(v >> 8));
  out.push_back(static_cast<uint8_t>(v));
}

void put16(std::vector<uint8_t> &out, uint16_t v) {
  out.push_back(static_cast<uint8_t>(v >> 8));
  out.push_back(static_cast<uint8_t>(v));
}

void putFloat(std::vector<uint8_t> &out, float f) {
  uint32_t bits;
  std::memcpy(&bits, &f, 4);
  put32(out, bits);
}

void putText(std::vector<uint8_t> &out, const std::string &text, size_t size) {
  for (size_t i = 0; i < size; ++i) {
    out.push_back(i < text.size() ? static_cast<uint8_t>(text[i]) : 0);
  }
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
  put32(out, static_cast<uint32_t>(file.word0));
  putText(out, file.magic, 4);
  putText(out, file.projection, 3);
  out.push_back(static_cast<uint8_t>(file.hemisphere));
  putText(out, file.zone, kHeaderBytes - 12);

  put32(out, static_cast<uint32_t>(file.cellCount));
  put16(out, static_cast<uint16_t>(file.minElevation));
  put16(out, static_cast<uint16_t>(file.maxElevation));
  putText(out, "", 24);

  for (const Cell &cell : file.cells) {
    for (float f : {cell.yMin, cell.yMax, cell.xMin, cell.xMax, cell.ySpacing, cell.xSpacing,
                    cell.rowCount, cell.columnCount}) {
      putFloat(out, f);
    }
    put32(out, cell.reserved[0]);
    put32(out, cell.reserved[1]);
  }
  for (const Cell &cell : file.cells) {
    for (int16_t s : cell.samples) {
      put16(out, static_cast<uint16_t>(s));
    }
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
