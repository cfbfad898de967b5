// The walk over the cells' blocks of samples: where each lies in the file,
// how much of it the file holds, and whether it can be read at all. Every
// program that reads samples (the plug-in, the command-line host, the GDAL
// driver) walks the blocks with this, so they agree on every offset.
#pragma once

#include <cstdint>

#include "ded/cells.h"
#include "ded/finding.h"

// One cell's block of samples, as the file's length now has it.
struct DedCellBlock {
  int64_t offset;  // where its first sample lies, bytes from the file's start
  int64_t samples; // dedCellSamples of its header
  int64_t bytes;   // samples x 2, cut where offset + bytes would pass INT64_MAX
  int64_t missing; // of its samples, those that lie past the end of the file
  // What keeps the block from being read: CellTooLarge (more samples than
  // the walk's limit), CellEmpty (no samples) or BlockPastEnd (not one whole
  // sample before the end of the file), in that order; otherwise None.
  DedFinding finding;
};

// A walk over count cells' blocks, one after another from the first block
// (behind count cell headers). limit is the most samples a block may hold
// (see dedBlockLimit); fileSize the file's length in bytes.
struct DedBlockWalk {
  const DedCellHeader *cells;
  int32_t count;
  int64_t fileSize;
  int64_t limit;
  int32_t next;       // the cell whose block comes next
  int64_t nextOffset; // where it starts
};

DedBlockWalk dedStartBlockWalk(const DedCellHeader *cells, int32_t count, int64_t fileSize,
                               int64_t limit);

// The next cell's block into block; false, and block untouched, after the
// last one. Never overflows, whatever the headers claim.
bool dedNextBlock(DedBlockWalk *walk, DedCellBlock *block);

// The first finding of the walk over every block (None when every block can
// be read), with its cell's index in *cell when cell is given, and the end of
// the last block (bytes from the file's start, cut at INT64_MAX) in *end when
// end is given: what a file must hold to hold every sample.
DedFinding dedCheckBlocks(const DedCellHeader *cells, int32_t count, int64_t fileSize,
                          int64_t limit, int32_t *cell = nullptr, int64_t *end = nullptr);
