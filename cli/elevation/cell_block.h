// A cell's facts as ded/'s block, for ded/'s reader of a block's samples.
#pragma once

#include <cstring>
#include <string>

#include "cli/input/file_facts.h"
#include "ded/blocks.h"

namespace elvhost {

// The block a cell's facts hold, for ded/'s reader of a block's samples.
inline const DedCellBlock &cellBlock(const CellFacts &cell) { return cell; }

// A read of the samples the system failed, in the user's words: "cannot
// read the samples at byte 4096: Input/output error".
inline std::string sampleReadFailure(int error, int64_t offset) {
  return "cannot read the samples at byte " + std::to_string(offset) + ": " + std::strerror(error);
}

} // namespace elvhost
