#include "cli/elevation/elevation_raster.h"

#include <algorithm>
#include <new>
#include <vector>

#include "cli/elevation/cell_block.h"
#include "ded/blocks.h"
#include "ded/finding_message.h"
#include "ded/placement.h"
#include "image/place.h"
#include "image/window_read.h"

namespace elvhost {

bool elevationFrame(const FileFacts &facts, bool hostFrameOnly, DedGisFrame *frame,
                    std::string *error) {
  if (!facts.described) {
    *error = facts.problem;
    return false;
  }
  std::vector<DedCellHeader> headers;
  std::vector<DedCellBlock> blocks;
  for (const CellFacts &cell : facts.cells) {
    headers.push_back(cell.header);
  }
  DedBlockWalk walk = dedStartBlockWalk(headers.data(), static_cast<int32_t>(headers.size()),
                                        facts.bytes, dedBlockLimit(facts.image));
  for (DedCellBlock block{}; dedNextBlock(&walk, &block);) {
    blocks.push_back(block);
  }
  const auto count = static_cast<int32_t>(headers.size());
  DedFindingFacts told;
  told.header = &facts.header;
  told.cellHeader = headers.data();
  DedFinding finding = dedGisCheckBlocks(facts.image, blocks.data(), count, &told.cell);
  if (finding == DedFinding::None) {
    int32_t apart[2] = {};
    finding = dedMakeGisFrame(facts.image, headers.data(), blocks.data(), count, hostFrameOnly,
                              frame, apart);
    told.cell = apart[0];
    told.otherCell = apart[1];
    told.fileBytes = facts.bytes;
    told.neededBytes = blocks.empty() ? -1 : blocks[0].offset + DED_SAMPLE_SIZE;
  }
  if (finding != DedFinding::None) {
    *error = dedFindingMessage(finding, told);
    return false;
  }
  return true;
}

bool readElevations(const DedInput &input, const FileFacts &facts, const DedGisFrame &frame,
                    bool northUp, ElevationRaster *raster, std::string *error) {
  const size_t pixels = static_cast<size_t>(frame.width) * static_cast<size_t>(frame.height);
  raster->samples.reset(new (std::nothrow) int16_t[pixels]);
  if (!raster->samples) {
    *error = "out of memory for the elevations";
    return false;
  }
  raster->width = frame.width;
  raster->height = frame.height;
  const DedInt16Window window{raster->samples.get(), 0,           frame.width,
                              frame.height,          frame.width, northUp};
  dedFillInt16(window, kInt16NoData);
  std::vector<DedCellBlock> blocks;
  for (const CellFacts &cell : facts.cells) {
    blocks.push_back(cellBlock(cell));
  }
  DedWindowFailure failure;
  if (!dedReadWindowCells(input, {frame.placements.data(), blocks.data(), nullptr, blocks.size()},
                          window, 0, kInt16NoData, &failure)) {
    *error = failure.error != 0 ? sampleReadFailure(failure.error, failure.offset)
                                : "changed while it was read (it ends at byte " +
                                      std::to_string(failure.offset) + ", before samples it held)";
    return false;
  }
  return true;
}

} // namespace elvhost
