// Grey levels written into the caller's buffer through a staging area: a
// block's levels are mapped a group of columns at a time into a small
// row-major area that the cache holds, and each row's part of the group is
// then copied out. The buffer's cache lines that the block's columns fill
// completely are written once each, whole, with streaming stores that need
// not read the line first; the part of a row that only completes a line
// with the next group's pixels waits in the staging area until then. Lines
// shared with pixels outside the block's columns (the padding past a row's
// width, another row's bytes) take ordinary stores of the block's own bytes
// only, so nothing outside the block's columns is written.
#pragma once

#include <cstddef>
#include <cstdint>

#include "image/place.h"

// The cache line the streaming stores write whole, in bytes.
constexpr int64_t DED_STREAM_LINE = 64;

// A run of groups over image columns [firstColumn, endColumn) of rows
// [firstRow, firstRow + rows), left to right.
struct DedRowStream {
  DedPixelImage image;
  uint8_t *staging;     // rows x pitch bytes, and a line
  std::ptrdiff_t pitch; // the widest group's columns + DED_STREAM_LINE
  int64_t firstColumn;
  int64_t endColumn;
  int64_t firstRow;
  int64_t rows;
  int64_t groupColumn; // image column of the group being staged
};

// Staging bytes for groups of up to groupColumns columns over rows rows.
int64_t dedStagingBytes(int64_t groupColumns, int64_t rows);

// A run over the given columns and rows (inside the image) using staging,
// dedStagingBytes(groupColumns, rows) bytes, whose first group starts at
// firstColumn.
DedRowStream dedStartRowStream(const DedPixelImage &image, uint8_t *staging, int64_t groupColumns,
                               int64_t firstColumn, int64_t endColumn, int64_t firstRow,
                               int64_t rows);

// Where the level of image column `column` of the run's first row goes in
// the staging area (the next row's is pitch bytes on); column lies in the
// group being staged, at most groupColumns from its start.
uint8_t *dedStagingAt(const DedRowStream &stream, int64_t column);

// Writes the staged group, image columns [groupColumn, groupEnd) of every row
// of the run, out to the image and starts the next group at groupEnd. After
// the group that ends at endColumn every pixel of the run is in the image,
// and its streaming stores are ordered before any later store.
void dedStreamGroup(DedRowStream *stream, int64_t groupEnd);
