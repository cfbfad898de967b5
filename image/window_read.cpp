#include "image/window_read.h"

#include <algorithm>
#include <cerrno>
#include <new>
#include <vector>

#include "ded/block_samples.h"
#include "ded/records.h"

namespace {

// Samples read at a time (2 MiB): whole columns of a cell where they fit,
// one run of the column-major file each.
constexpr int64_t kRunSamples = int64_t{1} << 20;

// Reads samples [first, first + count) of block into dest, fill past those
// the file held; false with *failure as dedReadWindowCells says.
bool readRun(const DedInput &input, const DedCellBlock &block, int64_t first, int64_t count,
             uint16_t fill, uint16_t *dest, DedWindowFailure *failure) {
  const int64_t readable = std::clamp<int64_t>(block.samples - block.missing - first, 0, count);
  const int64_t offset = block.offset + first * DED_SAMPLE_SIZE;
  if (readable > 0) {
    const int64_t size = input.size(input.context);
    if (size < offset + readable * DED_SAMPLE_SIZE) {
      *failure = {0, std::max(size, offset)};
      return false;
    }
  }
  const DedSamplesRead read = dedReadBlockSamples(input, block, first, count, fill, dest);
  if (read.error != 0 || read.got < readable) {
    *failure = {read.error, offset + read.got * DED_SAMPLE_SIZE};
    return false;
  }
  return true;
}

// Places one cell's part of the window, a run of columns at a time: whole
// columns read at once, parts of columns one each, then placed together.
bool readCell(const DedInput &input, const DedPlacement &placement, const DedCellBlock &block,
              const DedInt16Window &window, int64_t bottom, uint16_t fill,
              std::vector<uint16_t> *run, DedWindowFailure *failure) {
  const DedWindowPart part =
      dedWindowPart(placement, window.firstColumn, window.columns, bottom, window.height);
  const DedPlacement &shown = part.placement;
  if (!shown.shown) {
    return true;
  }
  const bool wholeColumns = shown.rows == placement.rows;
  const int64_t perRun = std::max<int64_t>(1, kRunSamples / shown.rows);
  run->resize(
      static_cast<size_t>(std::min(perRun, shown.endColumn - shown.firstColumn) * shown.rows));
  for (int64_t j = shown.firstColumn; j < shown.endColumn; j += perRun) {
    const int64_t columns = std::min(perRun, shown.endColumn - j);
    const int64_t first = j * placement.rows + part.firstRow;
    const int64_t pieces = wholeColumns ? 1 : columns;
    const int64_t piece = wholeColumns ? columns * shown.rows : shown.rows;
    for (int64_t k = 0; k < pieces; ++k) {
      if (!readRun(input, block, first + k * placement.rows, piece, fill,
                   run->data() + k * shown.rows, failure)) {
        return false;
      }
    }
    dedPlaceInt16(run->data(), j, columns, shown, window);
  }
  return true;
}

} // namespace

bool dedReadWindowCells(const DedInput &input, const DedWindowCells &cells,
                        const DedInt16Window &window, int64_t bottom, int16_t fill,
                        DedWindowFailure *failure) {
  try {
    std::vector<uint16_t> run;
    for (size_t k = 0; k < cells.count; ++k) {
      const size_t i = cells.cells != nullptr ? static_cast<size_t>(cells.cells[k]) : k;
      if (!readCell(input, cells.placements[i], cells.blocks[i], window, bottom,
                    dedEncodeSample(fill), &run, failure)) {
        return false;
      }
    }
  } catch (const std::bad_alloc &) {
    *failure = {ENOMEM, 0};
    return false;
  }
  return true;
}
