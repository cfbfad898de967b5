#include "gdal/create_copy.h"

#include <cerrno>
#include <cinttypes>
#include <cmath>
#include <exception>
#include <limits>

#include <cpl_string.h>
#include <cpl_vsi.h>

#include "gdal/source_grid.h"

namespace {

DedOutput vsiOutput(VSILFILE *file) {
  return DedOutput{file,
                   [](void *context, const void *data, size_t bytes) {
                     return VSIFWriteL(data, 1, bytes, static_cast<VSILFILE *>(context)) == bytes;
                   },
                   [](void *context, int64_t offset) {
                     return VSIFSeekL(static_cast<VSILFILE *>(context),
                                      static_cast<vsi_l_offset>(offset), SEEK_SET) == 0;
                   }};
}

// CELL_SIZE's value, 0 when not given. False after a CPLError when it is not
// a whole number of at least 2.
bool cellSideOption(char **options, int32_t *side) {
  const char *text = CSLFetchNameValue(options, "CELL_SIZE");
  *side = 0;
  if (text == nullptr) {
    return true;
  }
  char *end = nullptr;
  errno = 0;
  const long value = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || errno != 0 || value < 2 || value > INT32_MAX) {
    CPLError(CE_Failure, CPLE_IllegalArg,
             "DED: CELL_SIZE=%s: give the samples a side of a cell, a whole number from 2", text);
    return false;
  }
  *side = static_cast<int32_t>(value);
  return true;
}

// Writes the planned file to filename; false after a CPLError, the file
// removed.
bool writeFile(const char *filename, const DedCopyPlan &plan, GDALProgressFunc progress,
               void *progressData, DedWriteReport *report) {
  VSILFILE *file = VSIFOpenL(filename, "wb");
  if (file == nullptr) {
    CPLError(CE_Failure, CPLE_OpenFailed, "%s: cannot create the file: %s", filename,
             VSIStrerror(errno));
    return false;
  }
  std::string error;
  bool written = dedWriteCopy(plan, vsiOutput(file), progress, progressData, report, &error);
  if (VSIFCloseL(file) != 0 && written) {
    written = false;
    error = "cannot write the file";
  }
  if (!written) {
    CPLError(CE_Failure, CPLE_FileIO, "%s: %s", filename, error.c_str());
    (void)VSIUnlink(filename);
  }
  return written;
}

GDALDataset *createCopy(const char *filename, GDALDataset *source, char **options,
                        GDALProgressFunc progress, void *progressData) {
  int32_t side = 0;
  if (!cellSideOption(options, &side)) {
    return nullptr;
  }
  DedCopyPlan plan;
  std::string error;
  if (!dedPlanCopy(source, side, &plan, &error)) {
    CPLError(CE_Failure, CPLE_NotSupported, "%s: cannot be written as DED: %s",
             source->GetDescription(), error.c_str());
    return nullptr;
  }
  DedWriteReport report;
  if (!writeFile(filename, plan, progress, progressData, &report)) {
    return nullptr;
  }
  if (report.clamped > 0) {
    CPLError(CE_Warning, CPLE_AppDefined,
             "%s: %" PRId64 " values outside -32767..32767 were clamped to that range", filename,
             report.clamped);
  }
  return GDALDataset::FromHandle(GDALOpen(filename, GA_ReadOnly));
}

} // namespace

bool dedPlanCopy(GDALDataset *source, int32_t cellSide, DedCopyPlan *plan, std::string *error) {
  if (source->GetRasterCount() < 1) {
    *error = "it has no raster band";
    return false;
  }
  DedRasterGrid grid;
  if (!dedSourceGrid(source, &grid, error) ||
      !dedPlanLayout(grid, cellSide, &plan->layout, error)) {
    return false;
  }
  plan->band = source->GetRasterBand(1);
  int hasNoData = 0;
  plan->rule.noData = plan->band->GetNoDataValue(&hasNoData);
  plan->rule.hasNoData = hasNoData != 0;
  // An Int16 band's values are the samples already, but for its NoData,
  // which a whole number in range names exactly.
  plan->rule.int16Values =
      plan->band->GetRasterDataType() == GDT_Int16 &&
      (!plan->rule.hasNoData || (plan->rule.noData == std::trunc(plan->rule.noData) &&
                                 plan->rule.noData >= -32768 && plan->rule.noData <= 32767));
  return true;
}

bool dedWriteCopy(const DedCopyPlan &plan, const DedOutput &output, GDALProgressFunc progress,
                  void *progressData, DedWriteReport *report, std::string *error) {
  bool stopped = false;
  const GDALDataType type = plan.rule.int16Values ? GDT_Int16 : GDT_Float64;
  const int size = GDALGetDataTypeSizeBytes(type);
  const DedWindowSource read = [&](int64_t column, int64_t row, int32_t columns, int32_t rows,
                                   void *dest) {
    // Column after column, as the file holds them.
    return plan.band->RasterIO(GF_Read, static_cast<int>(column), static_cast<int>(row), columns,
                               rows, dest, columns, rows, type, static_cast<GSpacing>(size) * rows,
                               size, nullptr) == CE_None;
  };
  const DedWriteProgress tell = [&](double fraction) {
    stopped = progress != nullptr && progress(fraction, nullptr, progressData) == 0;
    return !stopped;
  };
  if (dedWriteFile(output, plan.layout, plan.rule, read, tell, report, error)) {
    return true;
  }
  if (error->empty()) {
    *error = stopped ? "stopped by the user"
                     : std::string("cannot read the source: ") + CPLGetLastErrorMsg();
  }
  return false;
}

GDALDataset *DedCreateCopy(const char *filename, GDALDataset *source, int /*strict*/,
                           char **options, GDALProgressFunc progress, void *progressData) {
  try {
    return createCopy(filename, source, options, progress, progressData);
  } catch (const std::exception &e) {
    CPLError(CE_Failure, CPLE_OutOfMemory, "%s: %s", filename, e.what());
    (void)VSIUnlink(filename);
    return nullptr;
  }
}
