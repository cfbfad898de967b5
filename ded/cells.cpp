#include "ded/cells.h"

#include <cmath>

#include "ded/header.h"

namespace {

// 2^31: the first float a signed 32-bit integer cannot hold.
constexpr float kInt32Limit = 2147483648.0f;

bool countUsable(float count) {
  return std::isfinite(count) && count >= 0.0f && count < kInt32Limit;
}

bool axisOrigin(float cellLow, float mosaicLow, float spacing, double units, int64_t *offset) {
  const double step = static_cast<double>(spacing) / units;
  const double whole =
      dedWholePart((static_cast<double>(cellLow) - static_cast<double>(mosaicLow)) / step);
  if (!std::isfinite(whole) || whole < static_cast<double>(INT32_MIN) ||
      whole > static_cast<double>(INT32_MAX)) {
    return false;
  }
  *offset = static_cast<int64_t>(whole);
  return true;
}

} // namespace

bool dedCellUsable(const DedCellHeader &cell) {
  return countUsable(cell.columnCount) && countUsable(cell.rowCount) && std::isfinite(cell.xMin) &&
         std::isfinite(cell.xMax) && std::isfinite(cell.yMin) && std::isfinite(cell.yMax) &&
         std::isfinite(cell.xSpacing) && std::isfinite(cell.ySpacing);
}

DedFinding dedReadCellHeaders(const DedInput &input, int32_t count, DedCellHeader *cells,
                              int32_t *failed) {
  for (int32_t i = 0; i < count; ++i) {
    DedFinding finding = DedFinding::None;
    if (!dedReadCellHeader(input, &cells[i])) {
      finding = DedFinding::CellHeaderShort;
    } else if (!dedCellUsable(cells[i])) {
      finding = DedFinding::CellUnusable;
    }
    if (finding != DedFinding::None) {
      if (failed != nullptr) {
        *failed = i;
      }
      return finding;
    }
  }
  return DedFinding::None;
}

double dedCellSamples(const DedCellHeader &cell) {
  return std::trunc(static_cast<double>(cell.columnCount) * static_cast<double>(cell.rowCount));
}

double dedWholePart(double quotient) {
  if (!std::isfinite(quotient)) {
    return quotient;
  }
  const double nearest = std::nearbyint(quotient);
  if (std::fabs(quotient - nearest) <= DED_SNAP) {
    return nearest;
  }
  return std::trunc(quotient);
}

double dedSpacingUnits(int32_t projection) {
  return projection == PROJ_UTM ? 1.0 : DED_GEOGRAPHIC_SPACING_UNITS;
}

bool dedCellOrigin(const DedCellHeader &cell, float xMin, float yMin, int32_t projection,
                   int64_t *column, int64_t *row) {
  const double units = dedSpacingUnits(projection);
  return axisOrigin(cell.xMin, xMin, cell.xSpacing, units, column) &&
         axisOrigin(cell.yMin, yMin, cell.ySpacing, units, row);
}
