// Positions of the host's image that no cell covers: the plug-in fills them
// with the minimum elevation (grey 0), so they look like terrain. Counted
// from ded/'s placement of each cell, as the grey picture places them.
#pragma once

#include <cstdint>
#include <vector>

#include "cli/input/file_facts.h"

namespace elvhost {

// The image's width x height positions that no cell's placed samples reach.
// Costs O(n log n) for n cells, whatever the image's size.
int64_t uncoveredPositions(const DedImageInfo &image, const std::vector<CellFacts> &cells);

} // namespace elvhost
