#include "python/src/write.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "ded/epsg.h"

namespace {

constexpr const char *kWarpAdvice = "gdalwarp -t_srs EPSG:4326";

bool gridOfTransform(const double *t, DedRasterGrid *grid, std::string *error) {
  if (t == nullptr) {
    *error = std::string("it has no geotransform; give it one (gdal_translate -a_ullr) or "
                         "reproject it (") +
             kWarpAdvice + ")";
    return false;
  }
  if (t[2] != 0.0 || t[4] != 0.0) {
    *error = std::string("its geotransform is rotated or sheared; make it north-up first: ") +
             kWarpAdvice + " (or its UTM zone)";
    return false;
  }
  if (!(t[1] > 0.0) || !(t[5] < 0.0)) {
    *error = "its geotransform is not north-up (pixel width " + std::to_string(t[1]) + ", height " +
             std::to_string(t[5]) + "); make it north-up first: " + kWarpAdvice;
    return false;
  }
  // A pixel's centre is its sample.
  grid->xStep = t[1];
  grid->yStep = -t[5];
  grid->west = t[0] + t[1] / 2;
  grid->north = t[3] + t[5] / 2;
  return true;
}

bool projectionOf(const DedArrayCrs &crs, DedRasterGrid *grid, std::string *error) {
  if (!crs.given) {
    *error = std::string("it has no coordinate system; a DED file is WGS 84 (EPSG:4326) or "
                         "WGS 84 / UTM: give it one (gdal_translate -a_srs) or reproject it (") +
             kWarpAdvice + ")";
    return false;
  }
  if (dedProjectionOfEpsg(crs.epsg, &grid->projection, &grid->utmZone, &grid->utmHemisphere)) {
    return true;
  }
  const std::string code = crs.epsg != 0 ? "EPSG:" + std::to_string(crs.epsg) : std::string();
  const std::string system = crs.name.empty() ? code
                             : code.empty()   ? crs.name
                                              : crs.name + " (" + code + ")";
  *error = "its coordinate system " + system +
           " is neither WGS 84 (EPSG:4326) nor WGS 84 / UTM (EPSG:326zz, 327zz); reproject it "
           "first: " +
           kWarpAdvice;
  return false;
}

// Copies the array's columns [column, column + columns) of rows [row, row +
// rows) into dest, column after column, each column's northern value first,
// each From value converted to To.
template <typename From, typename To>
void copyColumns(const DedArraySource &source, int64_t column, int64_t row, int32_t columns,
                 int32_t rows, To *dest) {
  const auto *base = static_cast<const unsigned char *>(source.samples);
  for (int64_t j = 0; j < columns; ++j) {
    const unsigned char *from = base + (column + j) * source.columnStride + row * source.rowStride;
    for (int64_t i = 0; i < rows; ++i, from += source.rowStride) {
      From value;
      std::memcpy(&value, from, sizeof value);
      *dest++ = static_cast<To>(value);
    }
  }
}

} // namespace

DedValueRule dedArrayRule(bool int16Array, bool hasNoData, double noData) {
  DedValueRule rule;
  rule.hasNoData = hasNoData;
  rule.noData = noData;
  // An int16 array's values are the samples already, but for its NoData,
  // which a whole number in range names exactly.
  rule.int16Values =
      int16Array &&
      (!hasNoData || (noData == std::trunc(noData) && noData >= -32768 && noData <= 32767));
  return rule;
}

bool dedPlanArray(const double *transform, const DedArrayCrs &crs, int64_t width, int64_t height,
                  int32_t cellSide, DedLayout *layout, std::string *error) {
  DedRasterGrid grid;
  if (!gridOfTransform(transform, &grid, error) || !projectionOf(crs, &grid, error)) {
    return false;
  }
  grid.width = width;
  grid.height = height;
  return dedPlanLayout(grid, cellSide, layout, error);
}

DedWriteResult dedWriteArray(const char *path, const DedLayout &layout, const DedValueRule &rule,
                             const DedArraySource &source, DedWriteReport *report,
                             std::string *error) {
  std::FILE *file = std::fopen(path, "wb");
  if (file == nullptr) {
    return DedWriteResult::NotCreated;
  }
  const DedWindowSource read = [&](int64_t column, int64_t row, int32_t columns, int32_t rows,
                                   void *dest) {
    if (rule.int16Values) {
      copyColumns<int16_t>(source, column, row, columns, rows, static_cast<int16_t *>(dest));
    } else if (source.int16) {
      copyColumns<int16_t>(source, column, row, columns, rows, static_cast<double *>(dest));
    } else {
      copyColumns<double>(source, column, row, columns, rows, static_cast<double *>(dest));
    }
    return true;
  };
  bool written = dedWriteFile(dedStdioOutput(file), layout, rule, read, nullptr, report, error);
  if (std::fclose(file) != 0 && written) {
    written = false;
    *error = "cannot write the file";
  }
  if (!written) {
    *error = std::string(path) + ": " + *error;
    (void)std::remove(path);
    return DedWriteResult::Failed;
  }
  return DedWriteResult::Written;
}
