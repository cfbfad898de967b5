// Why the DED reader could not go on: one narrow finding per check, with a
// short English text for programs that tell a person (the command-line host,
// the GDAL driver). The plug-in turns each into one of the host's codes.
#pragma once

#include <cstdint>

enum class DedFinding : uint8_t {
  None,            // nothing wrong
  NoArgument,      // a null path, mode, handle or record pointer
  NotForReading,   // an open mode that does not start with 'r'
  TableFull,       // every slot of the open-file table is taken
  NotOpened,       // the path does not open, or is not a regular file
  NoMemory,        // the caller's allocator returned nothing
  BadMagic,        // no "KVTR" at bytes 4..7
  HeaderShort,     // the 128-byte header is cut short
  StatisticsShort, // the 32-byte statistics record is cut short
  TooManyCells,    // 40 x the cell count is beyond INT32_MAX bytes
  CellHeaderShort, // a 40-byte cell header is cut short
  CellUnusable,    // a cell's counts are non-finite, negative or beyond int32, or its
                   // bounds or spacings are non-finite
  BadHemisphere,   // a UTM header's hemisphere letter is not N, n, S or s
  ZoneNotANumber,  // a UTM header's zone text holds no digits
  ZoneOutOfRange,  // a UTM header's zone is outside 1..60
  SpacingUnusable, // the first cell's spacing, which sizes a mosaic, is not above 0
  SizeUnusable,    // the mosaic's width or height falls outside 0..INT32_MAX
  ImageTooLarge,   // width x height x 2 bytes is beyond INT32_MAX
  ScratchTooLarge, // the largest cell, maxColumns x maxRows x 2 bytes, is beyond INT32_MAX
  SizeUnknown,     // the file's length cannot be told
  CellTooLarge,    // a cell holds more samples than the largest cell's counts allow
  CellEmpty,       // a cell holds no samples
  BlockPastEnd,    // a cell's block starts at or past the end of the file
};

// A short English phrase for the finding, without the file's name or any
// number ("the header is cut short"); never null.
const char *dedFindingText(DedFinding finding);
