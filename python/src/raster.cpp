#include "python/src/raster.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "ded/block_samples.h"
#include "ded/epsg.h"
#include "ded/finding_message.h"
#include "ded/open_files.h"
#include "image/place.h"
#include "image/window_read.h"

namespace {

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
bool frameCells(DedRaster *raster, bool hostFrameOnly, std::string *error) {
  DedRecords records{};
  DedFindingFacts facts;
  DedFinding finding = describeCells(raster, &records, &facts);
  if (finding == DedFinding::None) {
    int32_t apart[2] = {};
    finding = dedMakeGisFrame(raster->info, raster->cells.data(), raster->blocks.data(),
                              static_cast<int32_t>(raster->cells.size()), hostFrameOnly,
                              &raster->frame, apart);
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

} // namespace

DedOpenResult dedOpenRaster(const char *path, bool hostFrameOnly, DedRaster *raster,
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
  if (!frameCells(raster, hostFrameOnly, error)) {
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
  DedInput input = dedStdioSampleInput(raster->file);
  input.readFailed = quiet;
  DedWindowFailure failure;
  if (!dedReadWindowCells(
          input,
          {raster->frame.placements.data(), raster->blocks.data(), nullptr, raster->blocks.size()},
          window, bottom, DED_PY_NODATA, &failure)) {
    *error = failure.error != 0
                 ? "cannot read the samples at byte " + std::to_string(failure.offset) + ": " +
                       std::strerror(failure.error)
                 : std::string("samples the file held when it was opened are gone");
    return false;
  }
  return true;
}
