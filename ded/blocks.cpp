#include "ded/blocks.h"

#include <algorithm>

DedBlockWalk dedStartBlockWalk(const DedCellHeader *cells, int32_t count, int64_t fileSize,
                               int64_t limit) {
  return DedBlockWalk{cells, count, fileSize, limit, 0, dedFirstBlockOffset(count)};
}

bool dedNextBlock(DedBlockWalk *walk, DedCellBlock *block) {
  if (walk->next >= walk->count) {
    return false;
  }
  const double samples = dedCellSamples(walk->cells[walk->next]);
  DedCellBlock b{};
  b.offset = walk->nextOffset;
  // A usable cell holds at most 2^62 samples; a file cannot hold more than
  // INT64_MAX bytes, so counting bytes beyond that is moot.
  b.samples = static_cast<int64_t>(samples);
  b.bytes = std::min(b.samples, (INT64_MAX - b.offset) / DED_SAMPLE_SIZE) * DED_SAMPLE_SIZE;
  const int64_t held = (walk->fileSize - b.offset) / DED_SAMPLE_SIZE;
  b.missing = held <= 0 ? b.samples : std::max<int64_t>(0, b.samples - held);
  if (samples > static_cast<double>(walk->limit)) {
    b.finding = DedFinding::CellTooLarge;
  } else if (samples < 1.0) {
    b.finding = DedFinding::CellEmpty;
  } else if (b.offset > walk->fileSize - DED_SAMPLE_SIZE) {
    b.finding = DedFinding::BlockPastEnd;
  } else {
    b.finding = DedFinding::None;
  }
  walk->nextOffset = b.offset + b.bytes;
  ++walk->next;
  *block = b;
  return true;
}

DedFinding dedCheckBlocks(const DedCellHeader *cells, int32_t count, int64_t fileSize,
                          int64_t limit, int32_t *cell, int64_t *end) {
  DedBlockWalk walk = dedStartBlockWalk(cells, count, fileSize, limit);
  DedFinding first = DedFinding::None;
  DedCellBlock block;
  while (dedNextBlock(&walk, &block)) {
    if (first == DedFinding::None && block.finding != DedFinding::None) {
      first = block.finding;
      if (cell != nullptr) {
        *cell = walk.next - 1;
      }
      if (end == nullptr) {
        break;
      }
    }
  }
  if (end != nullptr) {
    *end = walk.nextOffset;
  }
  return first;
}
