#include "gdal/create_copy.h"

#include <cerrno>
#include <cmath>
#include <exception>
#include <limits>

#include <cpl_string.h>
#include <cpl_vsi.h>

#include "ded/source_rules.h"
#include "gdal/copy_output.h"
#include "gdal/source_grid.h"

namespace {

// The bands written from: the first, and no alpha band, which is its mask.
int valueBands(GDALDataset *source) {
  int count = 0;
  for (int i = 1; i <= source->GetRasterCount(); ++i) {
    count += source->GetRasterBand(i)->GetColorInterpretation() == GCI_AlphaBand ? 0 : 1;
  }
  return count;
}

void noteWhatIsLeftOut(GDALDataset *source, DedCopyPlan *plan) {
  const int bands = valueBands(source);
  if (bands > 1) {
    plan->warnings.push_back("only the first of its " + std::to_string(bands) +
                             " bands is written");
  }
  const GDALDataType type = plan->band->GetRasterDataType();
  if (GDALDataTypeIsComplex(type) != 0) {
    plan->warnings.push_back(std::string("its band is complex (") + GDALGetDataTypeName(type) +
                             "): only the real part is written");
  }
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

// Writes the planned file to filename, tells its warnings and opens it for
// reading; null after a CPLError, filename as it was.
GDALDataset *writeFile(const char *filename, const DedCopyPlan &plan, GDALProgressFunc progress,
                       void *progressData, DedWriteReport *report) {
  std::string error;
  GDALDataset *opened = nullptr;
  const bool written = dedWriteOutput(
      filename,
      [&](const DedOutput &output, std::string *why) {
        return dedWriteFromBand(plan, output, progress, progressData, report, why);
      },
      [&](std::string *why) {
        for (const std::string &warning : dedCopyWarnings(plan, *report)) {
          CPLError(CE_Warning, CPLE_AppDefined, "%s: %s", filename, warning.c_str());
        }
        opened = GDALDataset::FromHandle(GDALOpen(filename, GA_ReadOnly));
        if (opened == nullptr) {
          *why = std::string("cannot read the written file: ") + CPLGetLastErrorMsg();
        }
        return opened != nullptr;
      },
      &error);
  if (!written) {
    CPLError(CE_Failure, CPLE_FileIO, "%s: %s", filename, error.c_str());
  }
  return opened;
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
  return writeFile(filename, plan, progress, progressData, &report);
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
  const double noData = plan->band->GetNoDataValue(&hasNoData);
  // A mask of its own (per dataset, an alpha band) marks voids NoData does not.
  const int flags = plan->band->GetMaskFlags();
  if ((flags & (GMF_ALL_VALID | GMF_NODATA)) == 0) {
    plan->mask = plan->band->GetMaskBand();
  }
  plan->rule = dedValueRuleFor(plan->band->GetRasterDataType() == GDT_Int16, plan->mask != nullptr,
                               hasNoData != 0, noData);
  noteWhatIsLeftOut(source, plan);
  return true;
}

std::vector<std::string> dedCopyWarnings(const DedCopyPlan &plan, const DedWriteReport &report) {
  std::vector<std::string> warnings = plan.warnings;
  const std::string clamped = dedWriteWarning(report);
  if (!clamped.empty()) {
    warnings.push_back(clamped);
  }
  return warnings;
}

bool dedWriteFromBand(const DedCopyPlan &plan, const DedOutput &output, GDALProgressFunc progress,
                      void *progressData, DedWriteReport *report, std::string *error) {
  bool stopped = false;
  const GDALDataType type = plan.rule.int16Values ? GDT_Int16 : GDT_Float64;
  std::vector<GByte> valid;
  const DedWindowSource read = [&](int64_t column, int64_t row, int32_t columns, int32_t rows,
                                   void *dest) {
    const auto x = static_cast<int>(column), y = static_cast<int>(row);
    if (plan.band->RasterIO(GF_Read, x, y, columns, rows, dest, columns, rows, type, 0, 0,
                            nullptr) != CE_None) {
      return false;
    }
    if (plan.mask == nullptr) {
      return true;
    }
    valid.resize(static_cast<size_t>(columns) * static_cast<size_t>(rows));
    if (plan.mask->RasterIO(GF_Read, x, y, columns, rows, valid.data(), columns, rows, GDT_Byte, 0,
                            0, nullptr) != CE_None) {
      return false;
    }
    auto *values = static_cast<double *>(dest);
    for (size_t i = 0; i < valid.size(); ++i) {
      values[i] = valid[i] == 0 ? std::numeric_limits<double>::quiet_NaN() : values[i];
    }
    return true;
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
  GDALDataset *written = nullptr;
  try {
    written = createCopy(filename, source, options, progress, progressData);
  } catch (const std::exception &e) {
    CPLError(CE_Failure, CPLE_OutOfMemory, "%s: %s", filename, e.what());
  } catch (...) {
    CPLError(CE_Failure, CPLE_AppDefined, "%s: cannot be written", filename);
  }
  dedSettleDeleted(filename);
  return written;
}
