// Positions of the host's image that no cell covers: the plug-in fills them
// with the minimum elevation (grey 0), so they look like terrain. Counted
// from ded/'s placement of each cell (dedPlaceCell), as the grey picture
// places them.
#pragma once

#include <cstdint>
#include <vector>

#include "ded/describe.h"
#include "ded/placement.h"

namespace elvhost {

// The image's width x height positions that no placed cell's samples reach.
// Costs O(n log n) for n cells, whatever the image's size.
int64_t uncoveredPositions(const DedImageInfo &image, const std::vector<DedPlacement> &placements);

} // namespace elvhost
