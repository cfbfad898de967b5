#include "python/src/write.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "ded/epsg.h"
#include "ded/source_rules.h"

namespace {

bool projectionOf(const DedArrayCrs &crs, DedRasterGrid *grid, std::string *error) {
  if (!crs.given) {
    *error = dedNoCrsRefusal();
    return false;
  }
  if (dedProjectionOfEpsg(crs.epsg, &grid->projection, &grid->utmZone, &grid->utmHemisphere)) {
    return true;
  }
  const std::string code = crs.epsg != 0 ? "EPSG:" + std::to_string(crs.epsg) : std::string();
  const std::string system = crs.name.empty() ? code
                             : code.empty()   ? crs.name
                                              : crs.name + " (" + code + ")";
  *error = dedForeignCrsRefusal(system, DED_WARP_ADVICE);
  return false;
}

// Copies the array's columns [column, column + columns) of rows [row, row +
// rows) into dest row after row, the northern first, each row west first,
// each From value converted to To.
template <typename From, typename To>
void copyRows(const DedArraySource &source, int64_t column, int64_t row, int32_t columns,
              int32_t rows, To *dest) {
  const auto *base = static_cast<const unsigned char *>(source.samples);
  for (int64_t i = 0; i < rows; ++i) {
    const unsigned char *from = base + (row + i) * source.rowStride + column * source.columnStride;
    for (int64_t j = 0; j < columns; ++j, from += source.columnStride) {
      From value;
      std::memcpy(&value, from, sizeof value);
      *dest++ = static_cast<To>(value);
    }
  }
}

} // namespace

DedValueRule dedArrayRule(bool int16Array, bool hasNoData, double noData) {
  return dedValueRuleFor(int16Array, false, hasNoData, noData);
}

bool dedPlanArray(const double *transform, const DedArrayCrs &crs, int64_t width, int64_t height,
                  int32_t cellSide, DedLayout *layout, std::string *error) {
  DedRasterGrid grid;
  if (!dedGridFromGeoTransform(transform, &grid, error) || !projectionOf(crs, &grid, error)) {
    return false;
  }
  grid.width = width;
  grid.height = height;
  return dedPlanLayout(grid, cellSide, layout, error);
}

DedWriteResult dedWriteArray(const char *path, const DedLayout &layout, const DedValueRule &rule,
                             const DedArraySource &source, DedWriteReport *report,
                             std::string *error) {
  // Written beside the output and renamed over it at the end, so that a
  // failed write leaves the file that was there, or none.
  // Created exclusively (never through a planted link), with the
  // permissions the umask gives a new file.
  static std::atomic<unsigned> made{0};
  const std::string temporary =
      std::string(path) + ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(made++);
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  std::FILE *file = fd >= 0 ? ::fdopen(fd, "wb") : nullptr;
  if (file == nullptr) {
    const int why = errno;
    if (fd >= 0) {
      (void)::close(fd);
      (void)std::remove(temporary.c_str());
    }
    errno = why;
    return DedWriteResult::NotCreated;
  }
  const DedWindowSource read = [&](int64_t column, int64_t row, int32_t columns, int32_t rows,
                                   void *dest) {
    if (rule.int16Values) {
      copyRows<int16_t>(source, column, row, columns, rows, static_cast<int16_t *>(dest));
    } else if (source.int16) {
      copyRows<int16_t>(source, column, row, columns, rows, static_cast<double *>(dest));
    } else {
      copyRows<double>(source, column, row, columns, rows, static_cast<double *>(dest));
    }
    return true;
  };
  bool written = dedWriteFile(dedStdioOutput(file), layout, rule, read, nullptr, report, error);
  if (std::fclose(file) != 0 && written) {
    written = false;
    *error = "cannot write the file";
  }
  if (written && std::rename(temporary.c_str(), path) != 0) {
    written = false;
    *error = std::strerror(errno);
  }
  if (!written) {
    *error = std::string(path) + ": " + *error;
    (void)std::remove(temporary.c_str());
    return DedWriteResult::Failed;
  }
  return DedWriteResult::Written;
}
