#include "tests/support/reference_image.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "tests/support/plain_grey.h"

namespace dedtest {

namespace {

constexpr size_t kStatistics = 128;
constexpr size_t kFirstCell = 160;
constexpr size_t kCellBytes = 40;
constexpr int64_t kLargestCell = int64_t{1} << 20; // samples

uint32_t be32(const uint8_t *p) {
  return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | uint32_t{p[3]};
}

int16_t be16(const uint8_t *p) {
  const auto bits = static_cast<uint16_t>(p[0] << 8 | p[1]);
  int16_t value;
  std::memcpy(&value, &bits, 2);
  return value;
}

float beFloat(const uint8_t *p) {
  const uint32_t bits = be32(p);
  float value;
  std::memcpy(&value, &bits, 4);
  return value;
}

struct Cell {
  float yMin, yMax, xMin, xMax, ySpacing, xSpacing, rowCount, columnCount;
};

// The samples of a file read in order from an offset; a sample past the end
// of the file reads as 0, as a short read leaves it.
struct SampleStream {
  const uint8_t *file;
  size_t size;
  size_t at;
  // Whole samples left in the file.
  int64_t available() const { return at >= size ? 0 : static_cast<int64_t>((size - at) / 2); }
  int16_t next() {
    const int16_t value = at + 2 <= size ? be16(file + at) : int16_t{0};
    at += 2;
    return value;
  }
};

// A placing quotient within 1/16 of a whole number stands for that number;
// otherwise it is truncated.
double whole(double quotient) {
  if (!std::isfinite(quotient)) {
    return quotient;
  }
  const double nearest = std::nearbyint(quotient);
  return std::fabs(quotient - nearest) <= 1.0 / 16.0 ? nearest : std::trunc(quotient);
}

// A cell's offset from the mosaic's origin in samples; false when the cell
// lies nowhere a 32-bit index reaches (it is dropped).
bool offsetOf(float cellLow, float low, float spacing, double scale, int64_t *offset) {
  const double offsetWhole = whole((static_cast<double>(cellLow) - static_cast<double>(low)) /
                                   (static_cast<double>(spacing) / scale));
  if (!std::isfinite(offsetWhole) || offsetWhole < INT32_MIN || offsetWhole > INT32_MAX) {
    return false;
  }
  *offset = static_cast<int64_t>(offsetWhole);
  return true;
}

} // namespace

ReferenceImage referenceImage(const uint8_t *file, size_t size, int32_t width, int32_t height,
                              int32_t rowWidth, uint8_t pad) {
  ReferenceImage image;
  const auto cellCount = static_cast<int32_t>(be32(file + kStatistics));
  const float minElevation = be16(file + kStatistics + 4);
  const float maxElevation = be16(file + kStatistics + 6);
  const int64_t count = cellCount > 1 ? cellCount : 1;
  const double scale = std::memcmp(file + 8, "UTM", 3) == 0 ? 1.0 : 36000.0;

  std::vector<Cell> cells(static_cast<size_t>(count));
  float xMin = 1.0e10f;
  float yMin = 1.0e10f;
  int64_t maxColumns = 0;
  int64_t maxRows = 0;
  for (int64_t i = 0; i < count; ++i) {
    const uint8_t *at = file + kFirstCell + kCellBytes * static_cast<size_t>(i);
    Cell &c = cells[static_cast<size_t>(i)];
    c = Cell{beFloat(at),      beFloat(at + 4),  beFloat(at + 8),  beFloat(at + 12),
             beFloat(at + 16), beFloat(at + 20), beFloat(at + 24), beFloat(at + 28)};
    xMin = c.xMin < xMin ? c.xMin : xMin;
    yMin = c.yMin < yMin ? c.yMin : yMin;
    maxColumns = std::max(maxColumns, static_cast<int64_t>(c.columnCount));
    maxRows = std::max(maxRows, static_cast<int64_t>(c.rowCount));
  }

  const int64_t w = width;
  const int64_t h = height;
  std::vector<int16_t> raster(static_cast<size_t>(w * h), static_cast<int16_t>(minElevation));
  SampleStream samples{file, size, kFirstCell + kCellBytes * static_cast<size_t>(count)};
  if (count == 1) {
    if (w * h == 0 || samples.available() == 0) {
      image.status = -3;
      return image;
    }
    for (int16_t &s : raster) {
      s = samples.next();
    }
  } else {
    if (maxColumns * maxRows * 2 > INT32_MAX) {
      image.status = -8;
      return image;
    }
    if (maxColumns * maxRows > kLargestCell) {
      image.status = kNoReference;
      return image;
    }
    for (const Cell &c : cells) {
      const int64_t columns = static_cast<int64_t>(c.columnCount);
      const int64_t rows = static_cast<int64_t>(c.rowCount);
      const double n =
          std::trunc(static_cast<double>(c.columnCount) * static_cast<double>(c.rowCount));
      if (n > static_cast<double>(maxColumns * maxRows)) {
        image.status = -8;
        return image;
      }
      if (n == 0.0 || samples.available() == 0) {
        image.status = -3;
        return image;
      }
      std::vector<int16_t> block(static_cast<size_t>(n));
      for (int16_t &s : block) {
        s = samples.next();
      }
      int64_t c0 = 0;
      int64_t r0 = 0;
      if (!offsetOf(c.xMin, xMin, c.xSpacing, scale, &c0) ||
          !offsetOf(c.yMin, yMin, c.ySpacing, scale, &r0)) {
        continue;
      }
      for (int64_t j = 0; j < columns; ++j) {
        for (int64_t r = 0; r < rows; ++r) {
          const int64_t column = c0 + j;
          const int64_t row = r0 + r;
          if (column >= 0 && column < w && row >= 0 && row < h) {
            raster[static_cast<size_t>(column * h + row)] =
                block[static_cast<size_t>(j * rows + r)];
          }
        }
      }
    }
  }

  image.pixels.assign(static_cast<size_t>(std::max<int64_t>(int64_t{rowWidth} * h, 1)), pad);
  for (int64_t column = 0; column < w; ++column) {
    for (int64_t row = 0; row < h; ++row) {
      image.pixels[static_cast<size_t>(column + row * rowWidth)] = dedtest::plainGrey(
          raster[static_cast<size_t>(column * h + row)], minElevation, maxElevation);
    }
  }
  return image;
}

} // namespace dedtest
