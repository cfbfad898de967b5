#include "ded/describe.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr float kStartLow = 1.0e10f;
constexpr float kStartHigh = -1.0e10f;

void fold(const DedCellHeader &cell, DedImageInfo *info) {
  if (cell.yMin < info->yMin) {
    info->yMin = cell.yMin;
  }
  if (cell.xMin < info->xMin) {
    info->xMin = cell.xMin;
  }
  if (cell.yMax > info->yMax) {
    info->yMax = cell.yMax;
  }
  if (cell.xMax > info->xMax) {
    info->xMax = cell.xMax;
  }
  if (static_cast<double>(info->maxColumns) < static_cast<double>(cell.columnCount)) {
    info->maxColumns = static_cast<int32_t>(cell.columnCount);
  }
  if (static_cast<double>(info->maxRows) < static_cast<double>(cell.rowCount)) {
    info->maxRows = static_cast<int32_t>(cell.rowCount);
  }
}

// trunc or snap of (high - low) / (spacing / 36000) + 1, or -1 when that
// does not give a usable image dimension.
int64_t mosaicSize(float low, float high, float spacing) {
  const double quotient = (static_cast<double>(high) - static_cast<double>(low)) /
                          (static_cast<double>(spacing) / DED_GEOGRAPHIC_SPACING_UNITS);
  const double whole = dedWholePart(quotient);
  if (!std::isfinite(whole) || whole < -1.0 || whole >= static_cast<double>(INT32_MAX)) {
    return -1;
  }
  return static_cast<int64_t>(whole) + 1;
}

// Cell headers worth room in the array: all count of them, unless the file
// is too short to hold them, when only those it holds and the one whose read
// then fails. A tiny file claiming millions of cells must not have the host
// hand over a block of up to 2 GiB (on a 32-bit host: fail with "no memory")
// just to report that the file ends early.
int32_t headerRoom(const DedInput &input, int32_t count) {
  const int64_t size = input.size(input.context);
  if (size < 0) {
    return count;
  }
  const int64_t held = std::max<int64_t>(0, size - DED_FIRST_CELL_HEADER) / DED_CELL_HEADER_SIZE;
  return static_cast<int32_t>(std::min<int64_t>(count, held + 1));
}

DedFinding describeUtm(const DedHeader &header, const DedCellHeader &first, DedImageInfo *info) {
  info->projection = PROJ_UTM;
  if (!dedHemisphereCode(header.hemisphere, &info->utmHemisphere)) {
    return DedFinding::BadHemisphere;
  }
  int32_t zone = 0;
  if (!dedParseZone(header, &zone)) {
    return DedFinding::ZoneNotANumber;
  }
  if (zone < 1 || zone > DED_MAX_UTM_ZONE) {
    return DedFinding::ZoneOutOfRange;
  }
  info->utmZone = zone;
  info->width = static_cast<int32_t>(first.columnCount);
  info->height = static_cast<int32_t>(first.rowCount);
  return DedFinding::None;
}

DedFinding describeGeographic(const DedCellHeader &first, DedImageInfo *info) {
  info->projection = PROJ_GEOGRAPHIC;
  if (info->cellCount <= 1) {
    return DedFinding::None; // the one cell's counts, set while reading
  }
  if (!(first.xSpacing > 0.0f) || !(first.ySpacing > 0.0f)) {
    return DedFinding::SpacingUnusable;
  }
  const int64_t width = mosaicSize(info->xMin, info->xMax, first.xSpacing);
  const int64_t height = mosaicSize(info->yMin, info->yMax, first.ySpacing);
  if (width < 0 || height < 0) {
    return DedFinding::SizeUnusable;
  }
  info->width = static_cast<int32_t>(width);
  info->height = static_cast<int32_t>(height);
  return DedFinding::None;
}

} // namespace

DedFinding dedDescribeInput(const DedInput &input, const DedAllocator &allocator,
                            DedImageInfo *info, DedRecords *records,
                            DedBlock<DedCellHeader> *headers) {
  DedRecords local;
  DedRecords &read = records != nullptr ? *records : local;
  read = DedRecords{};
  read.cell = -1;
  if (info == nullptr) {
    return DedFinding::NoArgument;
  }
  *info = DedImageInfo{};
  info->yMin = kStartLow;
  info->xMin = kStartLow;
  info->yMax = kStartHigh;
  info->xMax = kStartHigh;

  (void)input.seek(input.context, DED_HEADER_OFFSET); // a failed seek shows in the next read
  if (!dedReadHeader(input, &read.header)) {
    return DedFinding::HeaderShort;
  }
  read.hasHeader = true;
  if (!dedReadStatistics(input, &read.statistics)) {
    return DedFinding::StatisticsShort;
  }
  read.hasStatistics = true;
  const int32_t count = dedCellHeaderCount(read.statistics.cellCount);
  const int64_t arrayBytes = int64_t{count} * DED_CELL_HEADER_SIZE;
  if (arrayBytes > INT32_MAX) {
    return DedFinding::TooManyCells;
  }
  const int32_t room = headerRoom(input, count);
  DedBlock<DedCellHeader> cells =
      dedAllocate<DedCellHeader>(allocator, int64_t{room} * DED_CELL_HEADER_SIZE);
  if (!cells) {
    return DedFinding::NoMemory;
  }
  info->cellCount = read.statistics.cellCount;
  for (int32_t i = 0; i < count; ++i) {
    DedCellHeader cell;
    const DedFinding finding = dedReadCellHeaders(input, 1, &cell);
    if (finding != DedFinding::None) {
      read.cell = i;
      return finding;
    }
    if (i < room) {
      cells[i] = cell; // past room only when the file grew since it was measured
    }
    fold(cell, info);
  }
  const DedCellHeader first = cells[0];
  if (headers != nullptr && count <= room) {
    *headers = std::move(cells);
  }
  info->xSpacing = first.xSpacing;
  info->ySpacing = first.ySpacing;
  if (count == 1) {
    info->width = static_cast<int32_t>(first.columnCount);
    info->height = static_cast<int32_t>(first.rowCount);
  }

  const DedFinding finding = dedIsUtm(read.header) ? describeUtm(read.header, first, info)
                                                   : describeGeographic(first, info);
  if (finding != DedFinding::None) {
    return finding;
  }
  if (int64_t{info->width} * info->height > DED_MAX_SAMPLES) {
    return DedFinding::ImageTooLarge;
  }
  info->minElevation = static_cast<float>(read.statistics.minElevation);
  info->maxElevation = static_cast<float>(read.statistics.maxElevation);
  return DedFinding::None;
}

int64_t dedBlockLimit(const DedImageInfo &info) {
  if (dedCellHeaderCount(info.cellCount) == 1) {
    return INT64_MAX;
  }
  return int64_t{info.maxRows} * info.maxColumns;
}

DedFinding dedCheckScratch(const DedImageInfo &info) {
  const int64_t limit = dedBlockLimit(info);
  return limit != INT64_MAX && limit > DED_MAX_SAMPLES ? DedFinding::ScratchTooLarge
                                                       : DedFinding::None;
}
