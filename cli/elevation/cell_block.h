// A cell's facts as ded/'s block, for ded/'s reader of a block's samples.
#pragma once

#include "cli/input/file_facts.h"
#include "ded/blocks.h"

namespace elvhost {

// The finding is not the reader's business: the facts' checks tell it.
inline DedCellBlock cellBlock(const CellFacts &cell) {
  return {cell.offset, cell.samples, cell.bytes, cell.missing, DedFinding::None};
}

} // namespace elvhost
