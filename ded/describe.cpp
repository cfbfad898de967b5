#include "ded/describe.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "ded/open_files.h"
#include "host/host_block.h"
#include "host/status.h"

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

// The zone as "%d" reads it from the header's zone text, never past its end.
// Returns false when there is no number; values beyond 60 saturate at 61.
bool parseZone(const char (&text)[sizeof(DedHeader::zone)], int32_t *zone) {
  size_t i = 0;
  const size_t end = sizeof text;
  while (i < end && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) {
    ++i;
  }
  bool negative = false;
  if (i < end && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  int32_t value = 0;
  bool digits = false;
  for (; i < end && text[i] >= '0' && text[i] <= '9'; ++i) {
    digits = true;
    value = value * 10 + (text[i] - '0');
    if (value > DED_MAX_UTM_ZONE) {
      value = DED_MAX_UTM_ZONE + 1;
    }
  }
  *zone = negative ? -value : value;
  return digits;
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
int32_t headerRoom(std::FILE *stream, int32_t count) {
  const int64_t size = dedStreamSize(stream);
  if (size < 0) {
    return count;
  }
  const int64_t held = std::max<int64_t>(0, size - DED_FIRST_CELL_HEADER) / DED_CELL_HEADER_SIZE;
  return static_cast<int32_t>(std::min<int64_t>(count, held + 1));
}

int32_t describeUtm(const DedHeader &header, const DedCellHeader &first, DedImageInfo *info) {
  info->projection = PROJ_UTM;
  if (!dedHemisphereCode(header.hemisphere, &info->utmHemisphere)) {
    return DED_ERR_BADARG;
  }
  int32_t zone = 0;
  if (!parseZone(header.zone, &zone) || zone < 1 || zone > DED_MAX_UTM_ZONE) {
    return DED_ERR_BADARG;
  }
  info->utmZone = zone;
  info->width = static_cast<int32_t>(first.columnCount);
  info->height = static_cast<int32_t>(first.rowCount);
  return DED_OK;
}

int32_t describeGeographic(const DedCellHeader &first, DedImageInfo *info) {
  info->projection = PROJ_GEOGRAPHIC;
  if (info->cellCount <= 1) {
    return DED_OK; // the one cell's counts, set while reading
  }
  if (!(first.xSpacing > 0.0f) || !(first.ySpacing > 0.0f)) {
    return DED_ERR_BADARG;
  }
  const int64_t width = mosaicSize(info->xMin, info->xMax, first.xSpacing);
  const int64_t height = mosaicSize(info->yMin, info->yMax, first.ySpacing);
  if (width < 0 || height < 0) {
    return DED_ERR_BADARG;
  }
  info->width = static_cast<int32_t>(width);
  info->height = static_cast<int32_t>(height);
  return DED_OK;
}

} // namespace

bool dedHemisphereCode(char letter, int32_t *code) {
  switch (letter) {
  case 'S':
  case 's':
    *code = QV_HEMISPHERE_SOUTH;
    return true;
  case 'N':
  case 'n':
    *code = QV_HEMISPHERE_NORTH;
    return true;
  default:
    return false;
  }
}

int32_t dedDescribe(int32_t handle, DedImageInfo *info) {
  std::FILE *stream = dedStreamFor(handle);
  if (stream == nullptr) {
    return DED_ERR_BADARG;
  }
  return dedDescribeStream(stream, info);
}

int32_t dedDescribeStream(std::FILE *stream, DedImageInfo *info) {
  if (info == nullptr) {
    return DED_ERR_BADARG;
  }
  *info = DedImageInfo{};
  info->yMin = kStartLow;
  info->xMin = kStartLow;
  info->yMax = kStartHigh;
  info->xMax = kStartHigh;

  dedSeekFresh(stream, DED_HEADER_OFFSET);
  DedHeader header;
  if (dedReadHeader(stream, &header) == nullptr) {
    return DED_ERR_READ;
  }
  DedStatistics statistics;
  if (dedReadStatistics(stream, &statistics) == nullptr) {
    return DED_ERR_READ;
  }
  const int32_t count = dedCellHeaderCount(statistics.cellCount);
  const int64_t arrayBytes = int64_t{count} * DED_CELL_HEADER_SIZE;
  if (arrayBytes > INT32_MAX) {
    return DED_ERR_BADARG;
  }
  const int32_t room = headerRoom(stream, count);
  HostBlock<DedCellHeader> cells =
      dedHostAlloc<DedCellHeader>(int64_t{room} * DED_CELL_HEADER_SIZE);
  if (!cells) {
    return DED_ERR_NOMEM;
  }
  info->cellCount = statistics.cellCount;
  for (int32_t i = 0; i < count; ++i) {
    DedCellHeader cell;
    const int32_t status = dedReadCellHeaders(stream, 1, &cell);
    if (status != DED_OK) {
      return status;
    }
    if (i < room) {
      cells[i] = cell; // past room only when the file grew since it was measured
    }
    fold(cell, info);
  }
  const DedCellHeader &first = cells[0];
  info->xSpacing = first.xSpacing;
  info->ySpacing = first.ySpacing;
  if (count == 1) {
    info->width = static_cast<int32_t>(first.columnCount);
    info->height = static_cast<int32_t>(first.rowCount);
  }

  const int32_t status = std::memcmp(header.projection, "UTM", 3) == 0
                             ? describeUtm(header, first, info)
                             : describeGeographic(first, info);
  if (status != DED_OK) {
    return status;
  }
  if (int64_t{info->width} * info->height * DED_SAMPLE_SIZE > INT32_MAX) {
    return DED_ERR_BADARG;
  }
  info->minElevation = static_cast<float>(statistics.minElevation);
  info->maxElevation = static_cast<float>(statistics.maxElevation);
  return DED_OK;
}
