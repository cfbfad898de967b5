#include "ded/cells.h"

#include <cmath>

#include "host/attributes.h"
#include "host/status.h"

namespace {

constexpr double kSnapDistance = 1.0 / 16.0;

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

int32_t dedReadCellHeaders(std::FILE *stream, int32_t count, DedCellHeader *cells) {
  for (int32_t i = 0; i < count; ++i) {
    if (dedReadCellHeader(stream, &cells[i]) == nullptr) {
      return DED_ERR_READ;
    }
    if (!dedCellUsable(cells[i])) {
      return DED_ERR_BADARG;
    }
  }
  return DED_OK;
}

double dedCellSamples(const DedCellHeader &cell) {
  return std::trunc(static_cast<double>(cell.columnCount) * static_cast<double>(cell.rowCount));
}

int32_t dedCheckBlocks(std::FILE *stream, const DedCellHeader *cells, int32_t count,
                       int64_t scratchSamples) {
  const int64_t fileSize = dedStreamSize(stream);
  if (fileSize < 0) {
    return DED_ERR_READ;
  }
  int64_t offset = dedFirstBlockOffset(count);
  for (int32_t i = 0; i < count; ++i) {
    const double samples = dedCellSamples(cells[i]);
    if (samples > static_cast<double>(scratchSamples)) {
      return DED_ERR_BADARG;
    }
    if (samples < 1.0 || offset + DED_SAMPLE_SIZE > fileSize) {
      return DED_ERR_READ;
    }
    offset += static_cast<int64_t>(samples) * DED_SAMPLE_SIZE;
  }
  return DED_OK;
}

double dedWholePart(double quotient) {
  if (!std::isfinite(quotient)) {
    return quotient;
  }
  const double nearest = std::nearbyint(quotient);
  if (std::fabs(quotient - nearest) <= kSnapDistance) {
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
