#include "cli/elevation/elevation_raster.h"

#include <algorithm>
#include <new>
#include <vector>

#include "cli/elevation/cell_block.h"
#include "ded/block_samples.h"
#include "ded/blocks.h"
#include "ded/finding_message.h"
#include "ded/placement.h"
#include "image/place.h"

namespace elvhost {

namespace {

// Samples read at a time: a few MiB, whatever the cells' shapes.
constexpr int64_t kChunkSamples = int64_t{1} << 20;

// Places the shown part of one cell's block, a chunk of columns at a time,
// reading only the rows that land in the image; the samples the file does
// not give are kInt16NoData.
void placeCell(const DedInput &input, const CellFacts &cell, const DedPlacement &placement,
               const DedInt16Window &window, std::vector<uint16_t> *chunk) {
  const DedWindowPart part = dedWindowPart(placement, 0, window.columns, 0, window.height);
  const DedPlacement &shown = part.placement;
  const DedCellBlock block = cellBlock(cell);
  const uint16_t noData = dedEncodeSample(kInt16NoData);
  const bool wholeColumns = shown.rows == placement.rows;
  const int64_t perChunk = std::max<int64_t>(1, kChunkSamples / shown.rows);
  chunk->resize(
      static_cast<size_t>(std::min(perChunk, shown.endColumn - shown.firstColumn) * shown.rows));
  for (int64_t j = shown.firstColumn; j < shown.endColumn; j += perChunk) {
    const int64_t columns = std::min(perChunk, shown.endColumn - j);
    const int64_t first = j * placement.rows + part.firstRow;
    if (wholeColumns) {
      (void)dedReadBlockSamples(input, block, first, columns * shown.rows, noData, chunk->data());
    } else {
      for (int64_t k = 0; k < columns; ++k) {
        (void)dedReadBlockSamples(input, block, first + k * placement.rows, shown.rows, noData,
                                  chunk->data() + k * shown.rows);
      }
    }
    dedPlaceInt16(chunk->data(), j, columns, shown, window);
  }
}

} // namespace

bool elevationFrame(const FileFacts &facts, bool hostFrame, DedGisFrame *frame,
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
    finding =
        dedMakeGisFrame(facts.image, headers.data(), blocks.data(), count, hostFrame, frame, apart);
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
  std::vector<uint16_t> chunk;
  for (size_t i = 0; i < facts.cells.size(); ++i) {
    const DedPlacement &placement = frame.placements[i];
    if (placement.shown) {
      placeCell(input, facts.cells[i], placement, window, &chunk);
    }
  }
  return true;
}

} // namespace elvhost
