// Builds DED files byte by byte from a description, right or deliberately
// wrong (bad magic, odd counts, truncation anywhere), for the tests.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "ded/records.h"

namespace dedtest {

struct Cell {
  float yMin = 0, yMax = 0, xMin = 0, xMax = 0;
  float ySpacing = 0, xSpacing = 0;
  float rowCount = 0, columnCount = 0;
  uint32_t reserved[2] = {0, 0};
  std::vector<int16_t> samples; // column-major, first sample of a column at yMin
};

struct File {
  int32_t word0 = 1;
  std::string magic = "KVTR";     // bytes 4..7, padded with zeros
  std::string projection = "GEO"; // bytes 8..10
  char hemisphere = ' ';          // byte 11
  std::string zone;               // from byte 12, the rest of the header zero
  int32_t cellCount = 1;          // as stored, whatever cells holds
  int16_t minElevation = 0;
  int16_t maxElevation = 255;
  std::vector<Cell> cells;       // headers first, then every cell's samples
  std::vector<uint8_t> trailing; // appended after the samples
};

// The file's bytes, big-endian as on disk.
std::vector<uint8_t> encode(const File &file);

// Sample value at (column, row) of a cell.
using SampleFn = std::function<int16_t(int column, int row)>;

// A geographic cell whose south-west sample is at (xMin, yMin) in degrees,
// spacing in 1/36000 degree, filled from fn (zeros when fn is empty).
Cell geographicCell(double xMin, double yMin, int columns, int rows, float spacing,
                    const SampleFn &fn = {});

// A UTM cell at (xMin, yMin) metres with spacing in metres.
Cell utmCell(double xMin, double yMin, int columns, int rows, float spacing,
             const SampleFn &fn = {});

// One-cell files.
File geographicFile(int columns, int rows, const SampleFn &fn = {});
File utmFile(const std::string &zone, char hemisphere, int columns, int rows,
             const SampleFn &fn = {});

// A folder under the system's temporary folder, removed with everything in it.
class TempDir {
public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir &) = delete;
  TempDir &operator=(const TempDir &) = delete;
  const std::filesystem::path &path() const { return path_; }
  // Writes bytes to name inside the folder and returns the full path.
  std::string write(const std::string &name, const std::vector<uint8_t> &bytes) const;

private:
  std::filesystem::path path_;
};

// Offsets of the records in an encoded file with cellCount headers: the
// file's layout as the encoder writes it.
constexpr size_t kHeaderBytes = DED_HEADER_SIZE;
constexpr size_t kStatisticsOffset = DED_HEADER_SIZE;
constexpr size_t kFirstCellOffset = DED_FIRST_CELL_HEADER;
constexpr size_t kCellHeaderBytes = DED_CELL_HEADER_SIZE;
inline size_t samplesOffset(size_t headers) {
  return kFirstCellOffset + kCellHeaderBytes * headers;
}

} // namespace dedtest
