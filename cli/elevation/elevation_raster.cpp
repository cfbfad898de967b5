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

// Reads samples [first, first + count) of a block into dest, kInt16NoData
// past those the file held when its facts were read. False, with the reason
// in error, when the system fails a read or the file no longer holds them.
bool readSamples(const DedInput &input, const DedCellBlock &block, int64_t first, int64_t count,
                 uint16_t *dest, std::string *error) {
  const DedSamplesRead read =
      dedReadBlockSamples(input, block, first, count, dedEncodeSample(kInt16NoData), dest);
  const int64_t at = block.offset + (first + read.got) * DED_SAMPLE_SIZE;
  if (read.error != 0) {
    *error = sampleReadFailure(read.error, at);
    return false;
  }
  if (read.got < std::clamp<int64_t>(block.samples - block.missing - first, 0, count)) {
    *error = "changed while it was read (it ends at byte " + std::to_string(at) +
             ", before samples it held)";
    return false;
  }
  return true;
}

// Places the shown part of one cell's block, a chunk of columns at a time,
// reading only the rows that land in the image; the samples the file does
// not give are kInt16NoData. False, with the reason in error, when a read
// fails (see readSamples).
bool placeCell(const DedInput &input, const CellFacts &cell, const DedPlacement &placement,
               const DedInt16Window &window, std::vector<uint16_t> *chunk, std::string *error) {
  const DedWindowPart part = dedWindowPart(placement, 0, window.columns, 0, window.height);
  const DedPlacement &shown = part.placement;
  const DedCellBlock block = cellBlock(cell);
  const bool wholeColumns = shown.rows == placement.rows;
  const int64_t perChunk = std::max<int64_t>(1, kChunkSamples / shown.rows);
  chunk->resize(
      static_cast<size_t>(std::min(perChunk, shown.endColumn - shown.firstColumn) * shown.rows));
  for (int64_t j = shown.firstColumn; j < shown.endColumn; j += perChunk) {
    const int64_t columns = std::min(perChunk, shown.endColumn - j);
    const int64_t first = j * placement.rows + part.firstRow;
    // Whole columns are read at once, parts of columns one each.
    const int64_t pieces = wholeColumns ? 1 : columns;
    const int64_t piece = wholeColumns ? columns * shown.rows : shown.rows;
    for (int64_t k = 0; k < pieces; ++k) {
      if (!readSamples(input, block, first + k * placement.rows, piece,
                       chunk->data() + k * shown.rows, error)) {
        return false;
      }
    }
    dedPlaceInt16(chunk->data(), j, columns, shown, window);
  }
  return true;
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
    if (placement.shown && !placeCell(input, facts.cells[i], placement, window, &chunk, error)) {
      return false;
    }
  }
  return true;
}

} // namespace elvhost
