// The description of a DED file: the image made of it and the numbers the
// attributes, the geo-reference and the pixels need.
#pragma once

#include <cstdint>

#include "ded/allocator.h"
#include "ded/cells.h"
#include "ded/finding.h"
#include "ded/header.h"
#include "ded/input.h"
#include "ded/records.h"

struct DedImageInfo {
  int32_t width;         // columns of the mosaic
  int32_t height;        // samples per column of the mosaic
  int32_t projection;    // PROJ_UTM or PROJ_GEOGRAPHIC
  int32_t utmZone;       // 1..60, UTM only
  int32_t utmHemisphere; // DED_HEMISPHERE_SOUTH or _NORTH, UTM only
  int32_t cellCount;     // as read from the statistics
  int32_t maxColumns;    // largest columnCount, truncated
  int32_t maxRows;       // largest rowCount, truncated
  float minElevation;
  float maxElevation;
  float yMin;
  float xMin;
  float yMax;
  float xMax;
  float xSpacing; // the first cell's, which sizes the mosaic: spacing units
  float ySpacing;
};

// What describing read before it stopped, for programs that say more than
// the finding: the records are valid when their flags say so.
struct DedRecords {
  bool hasHeader;     // header was read whole
  bool hasStatistics; // statistics were read whole
  DedHeader header;
  DedStatistics statistics;
  int32_t cell; // the cell a CellHeaderShort or CellUnusable is about, else -1
};

// Describes the file behind input, reading it from its first byte as it is
// now (the input is sought to 0 first). The cell headers' array comes from
// allocator: as many headers as the file's length can hold plus one, at most
// the count the statistics give. Returns None or the first check that
// failed: HeaderShort, StatisticsShort, CellHeaderShort (the input's
// readFailed was told), TooManyCells, NoMemory, CellUnusable, BadHemisphere,
// ZoneNotANumber, ZoneOutOfRange, SpacingUnusable, SizeUnusable,
// ImageTooLarge. Leaves the input somewhere inside the file and nothing
// allocated; info is not to be relied on after a failure. When records is
// given it receives what was read. When headers is given and every cell
// header was read into the array (whatever the finding after that), it
// receives the array, dedCellHeaderCount(info->cellCount) headers, so no
// caller reads them again; otherwise it is left as it was.
DedFinding dedDescribeInput(const DedInput &input, const DedAllocator &allocator,
                            DedImageInfo *info, DedRecords *records = nullptr,
                            DedBlock<DedCellHeader> *headers = nullptr);

// The most samples one block may hold when the image is made: a mosaic's
// blocks pass through a scratch block of the largest cell's maxColumns x
// maxRows samples; a single cell's block is the image, read in bands, so it
// has no limit (INT64_MAX).
int64_t dedBlockLimit(const DedImageInfo &info);

// ScratchTooLarge when a mosaic's scratch block (dedBlockLimit samples of 2
// bytes) would pass INT32_MAX bytes, otherwise None.
DedFinding dedCheckScratch(const DedImageInfo &info);
