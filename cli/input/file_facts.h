// What a DED file's own headers say, read through the plug-in's file readers
// as any program may: the description the plug-in would make, the records
// behind it, and, when the file is unusable, why in the user's words. The
// host learns only a status code; this is how elvarin-host says more.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli/input/pinned_file.h"
#include "ded/blocks.h"
#include "ded/describe.h"
#include "ded/records.h"

namespace elvhost {

// A cell: its header, and its block of samples as ded/'s walk over the
// blocks found it in the file (for ded/'s readers as it is).
struct CellFacts : DedCellBlock {
  DedCellHeader header{};
};

struct FileFacts {
  std::string problem; // why the file cannot be imported; empty when it can
  int64_t bytes = 0;   // the file's length
  DedHeader header{};
  DedStatistics statistics{};
  std::vector<CellFacts> cells;
  bool described = false; // image holds the plug-in's description
  DedImageInfo image{};
  int64_t missingSamples() const;
};

// Reads the pinned file's records through its descriptor. Never fails as
// such: what cannot be read is said in problem ("is a folder", "UTM zone 61
// is outside 1..60", ...); the records read before that are kept.
FileFacts readFileFacts(const PinnedFile &pin);

} // namespace elvhost
