#include "python/src/raster.h"

#include <algorithm>
#include <cerrno>

#include "ded/block_samples.h"
#include "ded/epsg.h"
#include "ded/finding_message.h"
#include "ded/open_files.h"
#include "image/place.h"

namespace {

// Samples read from the file at a time (2 MiB): whole columns of a cell
// where they fit, one run of the column-major file each.
constexpr int64_t kRunSamples = int64_t{1} << 20;

// The package reports a short record once, through the finding it leads to.
void quiet(void * /*context*/, const char * /*message*/) {}

DedInput recordInput(std::FILE *file) {
  DedInput input = dedStdioInput(file);
  input.readFailed = quiet;
  return input;
}

// Reads the headers and the blocks' places into raster; the finding that
// stops the file from being shown otherwise, with its facts.
DedFinding describeCells(DedRaster *raster, DedRecords *records, DedFindingFacts *facts) {
  const DedInput input = recordInput(raster->file);
  facts->header = &records->header;
  facts->fileBytes = input.size(input.context);
  DedBlock<DedCellHeader> read(nullptr, DedRelease{dedSystemAllocator().release});
  DedFinding finding = dedDescribeInput(input, dedSystemAllocator(), &raster->info, records, &read);
  facts->cell = records->cell;
  facts->neededBytes = finding == DedFinding::CellHeaderShort
                           ? dedFirstBlockOffset(dedCellHeaderCount(records->statistics.cellCount))
                           : DED_FIRST_CELL_HEADER;
  if (finding != DedFinding::None) {
    return finding;
  }
  // Described means every header was read; the array is short only when
  // the file grew while it was read.
  if (!read) {
    return DedFinding::CellHeaderShort;
  }
  raster->cells.assign(read.get(), read.get() + dedCellHeaderCount(raster->info.cellCount));
  const auto count = static_cast<int32_t>(raster->cells.size());
  DedBlockWalk walk =
      dedStartBlockWalk(raster->cells.data(), count, facts->fileBytes, dedBlockLimit(raster->info));
  raster->blocks.resize(raster->cells.size());
  for (DedCellBlock &block : raster->blocks) {
    (void)dedNextBlock(&walk, &block);
  }
  return facts->fileBytes < 0
             ? DedFinding::SizeUnknown
             : dedGisCheckBlocks(raster->info, raster->blocks.data(), count, &facts->cell);
}

// The frame of the described cells; false with the reason in *error.
bool frameCells(DedRaster *raster, bool hostFrame, std::string *error) {
  DedRecords records{};
  DedFindingFacts facts;
  DedFinding finding = describeCells(raster, &records, &facts);
  if (finding == DedFinding::None) {
    int32_t apart[2] = {};
    finding = dedMakeGisFrame(raster->info, raster->cells.data(), raster->blocks.data(),
                              static_cast<int32_t>(raster->cells.size()), hostFrame, &raster->frame,
                              apart);
    facts.cell = apart[0];
    facts.otherCell = apart[1];
    facts.cellHeader = raster->cells.data();
  }
  if (finding != DedFinding::None) {
    *error = dedFindingMessage(finding, facts);
    return false;
  }
  const DedGisFrame &frame = raster->frame;
  if (frame.width <= 0 || frame.height <= 0) {
    *error = "an image of " + std::to_string(frame.width) + " x " + std::to_string(frame.height) +
             " samples has none to show";
    return false;
  }
  raster->warnings = dedGisWarnings(frame.notes, dedSpacingUnitName(raster->info.projection));
  dedGisGeoTransform(frame, raster->transform);
  raster->epsg = dedEpsgCode(raster->info);
  return true;
}

// Reads samples [first, first + count) of a cell's block as stored; those
// past the samples the file holds become NoData. False when the file no
// longer gives the samples it held at opening: it is measured first, so a
// file cut shorter since is never read from a buffer.
bool readStored(std::FILE *file, const DedCellBlock &cell, int64_t first, int64_t count,
                uint16_t *dest) {
  const int64_t readable = std::clamp<int64_t>(cell.samples - cell.missing - first, 0, count);
  const int64_t offset = cell.offset + first * DED_SAMPLE_SIZE;
  DedInput input = dedStdioSampleInput(file);
  input.readFailed = quiet;
  const bool held =
      readable == 0 || input.size(input.context) >= offset + readable * DED_SAMPLE_SIZE;
  return held && dedReadBlockSamples(input, cell, first, count, dedEncodeSample(DED_PY_NODATA),
                                     dest) >= readable;
}

} // namespace

DedOpenResult dedOpenRaster(const char *path, bool hostFrame, DedRaster *raster,
                            std::string *error) {
  errno = 0;
  raster->file = dedOpenRegular(path, "rb");
  if (raster->file == nullptr) {
    if (errno != 0) {
      return DedOpenResult::NotOpened;
    }
    *error = std::string(path) + ": not a regular file";
    return DedOpenResult::Refused;
  }
  if (!frameCells(raster, hostFrame, error)) {
    *error = std::string(path) + ": " + *error;
    dedCloseRaster(raster);
    return DedOpenResult::Refused;
  }
  return DedOpenResult::Opened;
}

void dedCloseRaster(DedRaster *raster) {
  const std::lock_guard<std::mutex> lock(raster->reading);
  if (raster->file != nullptr) {
    (void)std::fclose(raster->file); // read-only: nothing to lose
    raster->file = nullptr;
  }
}

bool dedReadRasterWindow(DedRaster *raster, int32_t column, int32_t row, int32_t columns,
                         int32_t rows, int16_t *dest, std::string *error) {
  const std::lock_guard<std::mutex> lock(raster->reading);
  if (raster->file == nullptr) {
    *error = "I/O operation on closed file";
    return false;
  }
  const DedInt16Window window{dest, column, columns, rows, columns, true};
  dedFillInt16(window, DED_PY_NODATA);
  const int64_t bottom = int64_t{raster->frame.height} - row - rows;
  std::vector<uint16_t> run;
  for (size_t i = 0; i < raster->cells.size(); ++i) {
    const DedPlacement &p = raster->frame.placements[i];
    const DedWindowPart part = dedWindowPart(p, column, columns, bottom, rows);
    const DedPlacement &piece = part.placement;
    if (!piece.shown) {
      continue;
    }
    // Whole columns are read several at a time, parts of columns one each.
    const int64_t slice = piece.rows;
    const int64_t perRun =
        slice == p.rows
            ? std::clamp<int64_t>(kRunSamples / slice, 1, piece.endColumn - piece.firstColumn)
            : 1;
    run.resize(static_cast<size_t>(perRun * slice));
    for (int64_t j = piece.firstColumn; j < piece.endColumn; j += perRun) {
      const int64_t count = std::min(perRun, piece.endColumn - j);
      if (!readStored(raster->file, raster->blocks[i], j * p.rows + part.firstRow, count * slice,
                      run.data())) {
        *error = "samples the file held when it was opened are gone";
        return false;
      }
      dedPlaceInt16(run.data(), j, count, piece, window);
    }
  }
  return true;
}
