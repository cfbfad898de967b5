#include "tests/gdal/elevations.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace gdaltest {

namespace {

// Big-endian words at a byte cursor.
struct Cursor {
  const std::vector<uint8_t> &bytes;
  size_t at;
  uint32_t word() {
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i) {
      value = value << 8 | bytes[at++];
    }
    return value;
  }
  float real() {
    const uint32_t bits = word();
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
  }
};

struct CellBox {
  double south, north, west, east, ySpacing, xSpacing;
  int rows, columns;
  size_t at;   // where its samples start in the file
  long stored; // the columns its stored samples reach
};

// A quotient as the plug-in makes it whole: within 1/16 of a whole number
// that number, otherwise truncated.
long whole(double quotient) {
  const double nearest = std::round(quotient);
  return static_cast<long>(std::fabs(quotient - nearest) <= 1.0 / 16 ? nearest
                                                                     : std::trunc(quotient));
}

} // namespace

Elevations decodeElevations(const std::vector<uint8_t> &file, bool hostFrameOnly) {
  Cursor statistics{file, 128};
  const auto claimed = static_cast<int32_t>(statistics.word());
  const size_t count = claimed > 1 ? static_cast<size_t>(claimed) : 1;
  const bool utm = std::memcmp(file.data() + 8, "UTM", 3) == 0;
  const double units = utm ? 1.0 : 36000.0; // spacing units per coordinate unit

  std::vector<CellBox> cells;
  Cursor headers{file, 160};
  size_t offset = 160 + 40 * count; // of the next cell's samples
  for (size_t i = 0; i < count; ++i) {
    CellBox c{};
    c.south = headers.real();
    c.north = headers.real();
    c.west = headers.real();
    c.east = headers.real();
    c.ySpacing = headers.real() / units;
    c.xSpacing = headers.real() / units;
    c.rows = static_cast<int>(headers.real());
    c.columns = static_cast<int>(headers.real());
    // A spacing of 0 or below: the bounds spread the samples.
    c.xSpacing = c.xSpacing > 0 ? c.xSpacing : (c.east - c.west) / (c.columns - 1);
    c.ySpacing = c.ySpacing > 0 ? c.ySpacing : (c.north - c.south) / (c.rows - 1);
    headers.at += 8;
    // Samples are stored column by column: a column any of whose samples
    // the file holds is shown, the others are not.
    const long samples = long{c.columns} * c.rows;
    const long held = std::clamp<long>(
        static_cast<long>(file.size() - std::min(offset, file.size())) / 2, 0, samples);
    c.stored = c.rows > 0 ? (held + c.rows - 1) / c.rows : 0;
    c.at = offset;
    offset += static_cast<size_t>(samples) * 2;
    cells.push_back(c);
  }
  if (std::all_of(cells.begin(), cells.end(), [](const CellBox &c) { return c.stored == 0; })) {
    return {}; // a file that stores no sample shows nothing
  }
  double west = cells[0].west, south = cells[0].south, east = cells[0].east, north = cells[0].north;
  for (const CellBox &c : cells) { // the plug-in's mosaic: every cell's bounds
    west = std::min(west, c.west);
    south = std::min(south, c.south);
    east = std::max(east, c.east);
    north = std::max(north, c.north);
  }
  // One cell, or UTM: the first cell's size, from the south-west corner of
  // all cells; otherwise the mosaic of every cell at the first one's spacing.
  Elevations out;
  out.xStep = cells[0].xSpacing;
  out.yStep = cells[0].ySpacing;
  out.width = cells[0].columns;
  out.height = cells[0].rows;
  if (count > 1 && !utm) {
    out.width = static_cast<int>(whole((east - west) / cells[0].xSpacing)) + 1;
    out.height = static_cast<int>(whole((north - south) / cells[0].ySpacing)) + 1;
  }
  // The plug-in's image when it shows every stored sample and every cell's
  // samples reach all its columns; otherwise the union of the columns the
  // stored samples reach, every cell on the first one's grid.
  bool host = true; // or hostFrameOnly, asked for
  for (const CellBox &c : cells) {
    const long x = whole((c.west - west) / c.xSpacing);
    const long y = whole((c.south - south) / c.ySpacing);
    host = host && c.stored == c.columns &&
           (c.stored == 0 || (x + c.columns <= out.width && y + c.rows <= out.height));
  }
  host = host || hostFrameOnly;
  long columnLow = INT32_MAX, rowLow = INT32_MAX;
  if (!host) {
    west = cells[0].west, south = cells[0].south;
    long columnHigh = INT32_MIN, rowHigh = INT32_MIN;
    for (const CellBox &c : cells) {
      if (c.stored == 0) {
        continue;
      }
      const long x = std::lround((c.west - west) / out.xStep);
      const long y = std::lround((c.south - south) / out.yStep);
      columnLow = std::min(columnLow, x), rowLow = std::min(rowLow, y);
      columnHigh = std::max(columnHigh, x + c.stored), rowHigh = std::max(rowHigh, y + c.rows);
    }
    out.width = static_cast<int>(columnHigh - columnLow);
    out.height = static_cast<int>(rowHigh - rowLow);
    west += static_cast<double>(columnLow) * out.xStep;
    south += static_cast<double>(rowLow) * out.yStep;
    north = south + (out.height - 1) * out.yStep;
  } else if (utm && count > 1) {
    north = south + (out.height - 1) * out.yStep;
  }
  // Single-precision bounds are noise around the grid of the spacing: the
  // north-west sample sits on it when it is within one float step of it.
  const auto onGrid = [](double at, double step) {
    const double steps = std::round(at / step);
    const double floatStep = std::ldexp(1.0, std::ilogb(static_cast<float>(at)) - 23);
    return at != 0 && std::fabs(at - steps * step) <= floatStep ? steps * step : at;
  };
  out.west = onGrid(west, out.xStep);
  out.north = onGrid(north, out.yStep);
  out.samples.assign(static_cast<size_t>(out.width) * static_cast<size_t>(out.height), kNoData);

  for (const CellBox &c : cells) {
    const long column0 =
        host ? whole((c.west - west) / c.xSpacing) : std::lround((c.west - west) / out.xStep);
    const long row0 =
        host ? whole((c.south - south) / c.ySpacing) : std::lround((c.south - south) / out.yStep);
    for (long j = 0; j < c.stored; ++j) {
      for (long r = 0; r < c.rows; ++r) {
        const size_t at = c.at + static_cast<size_t>(j * c.rows + r) * 2;
        const long x = column0 + j, y = row0 + r;
        if (x < 0 || x >= out.width || y < 0 || y >= out.height) {
          continue;
        }
        const auto stored = at + 2 <= file.size()
                                ? static_cast<uint16_t>(file[at] << 8 | file[at + 1])
                                : static_cast<uint16_t>(kNoData);
        int16_t value;
        std::memcpy(&value, &stored, sizeof value);
        out.samples[static_cast<size_t>((out.height - 1 - y) * out.width + x)] = value;
      }
    }
  }
  return out;
}

} // namespace gdaltest
