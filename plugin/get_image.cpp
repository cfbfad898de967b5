#include "plugin/get_image.h"

#include <algorithm>
#include <cstring>

#include "ded/block_samples.h"
#include "ded/blocks.h"
#include "ded/cells.h"
#include "ded/open_files.h"
#include "ded/placement.h"
#include "ded/records.h"
#include "host/attributes.h"
#include "host/host_block.h"
#include "host/status.h"
#include "image/grey.h"
#include "image/place.h"
#include "image/stream_rows.h"
#include "plugin/describe.h"
#include "plugin/status.h"
#include "plugin/told_size.h"

namespace {

// A single cell is converted in bands of about this many samples (1 MiB),
// which the second-level cache holds; a band has a multiple of this many
// columns where it can, so each output row takes whole cache lines.
constexpr int64_t kBandSamples = int64_t{1} << 19;
constexpr int64_t kBandColumnMultiple = 64;
// Bands of whole lines are mapped into a staging area and streamed out from
// there (image/stream_rows.h) in groups of about this many columns, or one
// band where it is wider.
constexpr int64_t kGroupColumns = 256;
// A mosaic's blocks are read and streamed out in chunks of about this many
// columns, at least this many unless the block has fewer.
constexpr int64_t kChunkColumns = 256;
// Up to this many cells, only the pixels no cell covers are filled first.
constexpr int32_t kMostCellsFilledAround = 64;

// Reads samples [first, first + samples) of a block into dest as part of one
// read of the whole block, a part after another from its start:
// DED_ERR_READ when the block's first part gives nothing or a read fails on
// an error (not the end of the file); once a part has come back short at the
// end of the file, the rest of the block is 0 and nothing more is read
// (exhausted says so), so no sample lands in another's place.
int32_t readBlockPart(const DedInput &input, const DedCellBlock &block, int64_t first,
                      int64_t samples, bool *exhausted, uint16_t *dest) {
  if (*exhausted) {
    std::fill_n(dest, samples, uint16_t{0});
    return DED_OK;
  }
  const DedSamplesRead read = dedReadBlockSamples(input, block, first, samples, 0, dest);
  if (read.error != 0 || (read.got == 0 && first == 0)) {
    return DED_ERR_READ;
  }
  *exhausted = read.got < samples;
  return DED_OK;
}

// A single cell's block is the whole image, column-major as in the file. It
// is read and converted a band of columns at a time, so it never needs to be
// held whole. To the host this is one read of the whole block (see
// readBlockPart): it fails only when nothing at all is read, which the first
// band decides before any pixel is written.
int32_t deliverSingleCell(const DedInput &input, const DedImageInfo &info,
                          const DedGreyScale &scale, const DedPixelImage &image) {
  const int32_t columnSamples = info.height;
  // The block as far as the file gives it: its samples are read until a read
  // comes back short.
  const int64_t samples = int64_t{info.width} * columnSamples;
  const DedCellBlock block{dedFirstBlockOffset(1), samples, samples * DED_SAMPLE_SIZE, 0,
                           DedFinding::None};
  int64_t bandColumns = info.width;
  if (columnSamples > 0 && info.width > 0) {
    bandColumns = std::max<int64_t>(1, kBandSamples / columnSamples);
    if (bandColumns >= kBandColumnMultiple) {
      bandColumns -= bandColumns % kBandColumnMultiple;
    }
    bandColumns = std::min<int64_t>(bandColumns, info.width);
  }
  // Bands of whole lines go through the staging area; narrower ones (very
  // tall or narrow images) straight into the buffer.
  const bool staged = columnSamples > 0 && bandColumns >= kBandColumnMultiple;
  const int64_t groupColumns =
      staged ? std::min(bandColumns * std::max<int64_t>(1, kGroupColumns / bandColumns),
                        int64_t{info.width})
             : 0;
  const int64_t bandBytes = bandColumns * columnSamples * DED_SAMPLE_SIZE;
  const int64_t stagingBytes = staged ? dedStagingBytes(groupColumns, columnSamples) : 0;
  HostBlock<uint8_t> memory = dedHostAlloc<uint8_t>(bandBytes + stagingBytes);
  if (!memory) {
    return DED_ERR_NOMEM;
  }
  auto *band = reinterpret_cast<uint16_t *>(memory.get());
  DedRowStream out = dedStartRowStream(image, memory.get() + bandBytes, groupColumns, 0, info.width,
                                       0, columnSamples);
  bool exhausted = false;
  int64_t column = 0;
  do {
    const int64_t columns = std::min<int64_t>(bandColumns, info.width - column);
    if (readBlockPart(input, block, column * columnSamples, columns * columnSamples, &exhausted,
                      band) != DED_OK) {
      return DED_ERR_READ;
    }
    if (staged) {
      dedMapToGrey(band, columnSamples, DedSampleForm::Stored, scale, dedStagingAt(out, column),
                   static_cast<int32_t>(columns), columnSamples, out.pitch);
    } else {
      dedPlaceBlock(band,
                    dedClipBlock(columns, columnSamples, column, 0, image.width, image.height),
                    scale, image);
    }
    column += columns;
    if (staged && (column - out.groupColumn == groupColumns || column == info.width)) {
      dedStreamGroup(&out, column);
    }
  } while (column < info.width);
  return DED_OK;
}

// Reads a cell's block of samples from its place in the file, a chunk of
// columns at a time, and places its grey levels where placement puts them
// (nowhere when it is not shown). As one read of the whole block (see
// readBlockPart), it fails (DED_ERR_READ) only when nothing of the block is
// read. scratch holds scratchSamples samples, at least the block's.
int32_t deliverCell(const DedInput &input, const DedCellBlock &block, const DedPlacement &placement,
                    uint16_t *scratch, int64_t scratchSamples, const DedGreyScale &scale,
                    const DedPixelImage &image) {
  const int64_t samples = block.samples;
  const int64_t columns = placement.columns;
  const int64_t rows = placement.rows;
  const int64_t column = placement.imageColumn;
  const int64_t row = placement.imageRow;
  // Chunks of equal width: 1025 columns, say, make four chunks, not a fifth
  // of one column.
  const int64_t chunks = std::max<int64_t>(1, columns / kChunkColumns);
  const int64_t chunkColumns = (columns + chunks - 1) / chunks;
  // A block without whole columns is read at once; the samples past its
  // last whole column (counts that are not whole numbers) are read, not placed.
  const int64_t chunkSamples = chunkColumns > 0 && rows > 0 ? chunkColumns * rows : samples;
  const DedPixelRect rect = dedPlacedRect(placement);
  const int64_t rectRows = rect.endRow - rect.firstRow;
  // The staging area takes the scratch block's room past the chunk, where
  // there is enough.
  const bool staged = rect.firstColumn < rect.endColumn && rectRows > 0 &&
                      (chunkSamples * DED_SAMPLE_SIZE + dedStagingBytes(chunkColumns, rectRows) <=
                       scratchSamples * DED_SAMPLE_SIZE);
  DedRowStream out =
      dedStartRowStream(image, reinterpret_cast<uint8_t *>(scratch + chunkSamples), chunkColumns,
                        rect.firstColumn, rect.endColumn, rect.firstRow, rectRows);
  bool exhausted = false;
  for (int64_t done = 0, first = 0; done < samples; done += chunkSamples, first += chunkColumns) {
    const int64_t wanted = std::min(chunkSamples, samples - done);
    if (readBlockPart(input, block, done, wanted, &exhausted, scratch) != DED_OK) {
      return DED_ERR_READ;
    }
    // The chunk holds the block's columns [first, first + chunkColumns).
    const int64_t from = std::max(column + first, rect.firstColumn);
    const int64_t to = std::min(column + first + chunkColumns, rect.endColumn);
    if (from >= to) {
      continue;
    }
    if (staged) {
      dedMapToGrey(scratch + (from - column - first) * rows + (rect.firstRow - row),
                   static_cast<std::ptrdiff_t>(rows), DedSampleForm::Stored, scale,
                   dedStagingAt(out, from), static_cast<int32_t>(to - from),
                   static_cast<int32_t>(rectRows), out.pitch);
      dedStreamGroup(&out, to);
    } else {
      dedPlaceBlock(scratch,
                    dedClipBlock(std::min(chunkColumns, columns - first), rows, column + first, row,
                                 image.width, image.height),
                    scale, image);
    }
  }
  return DED_OK;
}

// Several cells: each block is read into the scratch block and its grey
// levels placed straight into the host's buffer, later cells over earlier
// ones, so no image-sized raster is needed. Pixels no cell covers take the
// minimum elevation's level. Every outcome the file's contents decide is
// settled before the first pixel is written; only a read that fails for
// another reason part way through (an I/O error, the file cut short
// meanwhile) returns DED_ERR_READ after earlier cells were placed.
int32_t deliverMosaic(const DedInput &input, const DedImageInfo &info, const DedCellHeader *cells,
                      int32_t count, const DedGreyScale &scale, const DedPixelImage &image) {
  const int64_t scratchSamples = dedBlockLimit(info);
  HostBlock<uint16_t> scratch = dedHostAlloc<uint16_t>(scratchSamples * DED_SAMPLE_SIZE);
  if (!scratch) {
    return DED_ERR_NOMEM;
  }
  const int64_t fileSize = input.size(input.context);
  if (fileSize < 0) {
    return dedStatusFor(DedFinding::SizeUnknown);
  }
  const DedFinding finding = dedCheckBlocks(cells, count, fileSize, scratchSamples);
  if (finding != DedFinding::None) {
    return dedStatusFor(finding);
  }
  // Filling only what no cell covers saves writing most pixels twice.
  const uint8_t uncovered = dedGreyLevel(static_cast<int16_t>(info.minElevation), scale);
  if (count <= kMostCellsFilledAround) {
    DedPixelRect covered[kMostCellsFilledAround];
    for (int32_t i = 0; i < count; ++i) {
      covered[i] = dedPlacedRect(dedPlaceCell(info, cells[i]));
    }
    dedFillUncovered(image, covered, count, uncovered);
  } else {
    dedFillImage(image, uncovered);
  }
  DedBlockWalk walk = dedStartBlockWalk(cells, count, fileSize, scratchSamples);
  DedCellBlock block;
  while (dedNextBlock(&walk, &block)) {
    // Each block is read from its own place, so a read that comes back
    // short (its missing samples 0) cannot shift the cells after it.
    if (deliverCell(input, block, dedPlaceCell(info, cells[walk.next - 1]), scratch.get(),
                    scratchSamples, scale, image) != DED_OK) {
      return DED_ERR_READ;
    }
  }
  return DED_OK;
}

// Sizes the call indexes or allocates with, checked in 64 bits before any of
// them is used. Returns DED_OK or DED_ERR_BADARG.
int32_t checkSizes(const DedImageInfo &info, int32_t rowStride) {
  if (info.width < 0 || info.height < 0 || info.maxColumns < 0 || info.maxRows < 0) {
    return DED_ERR_BADARG;
  }
  if (int64_t{info.width} * info.height > DED_MAX_SAMPLES) {
    return DED_ERR_BADARG;
  }
  // A narrower row would overlap the next one or run past the host's buffer.
  if (rowStride < info.width) {
    return DED_ERR_BADARG;
  }
  if (info.height > 0 &&
      int64_t{rowStride} * (info.height - 1) + info.width > int64_t{PTRDIFF_MAX}) {
    return DED_ERR_BADARG;
  }
  return dedStatusFor(dedCheckScratch(info));
}

} // namespace

extern "C" int32_t dedGetImageData(void * /*host0*/, void * /*host1*/, int32_t handle,
                                   void * /*unused*/, uint8_t *pixels) noexcept {
  std::FILE *stream = dedStreamFor(handle);
  if (stream == nullptr || pixels == nullptr) {
    return DED_ERR_BADARG;
  }
  DedImageInfo info;
  DedBlock<DedCellHeader> cells(nullptr, DedRelease{dedHostAllocator().release});
  int32_t status = dedDescribe(handle, &info, &cells);
  if (status != DED_OK) {
    return status;
  }
  // The host sized its buffer from what get-info told it; a file rewritten
  // since then must not be written into that buffer at its new size.
  int32_t toldWidth = 0;
  int32_t toldHeight = 0;
  if (dedToldSize(handle, &toldWidth, &toldHeight) &&
      (toldWidth != info.width || toldHeight != info.height)) {
    return DED_ERR_BADARG;
  }
  // Described, yet not every header held: the file grew while it was read.
  if (!cells) {
    return DED_ERR_READ;
  }
  const int32_t count = dedCellHeaderCount(info.cellCount);

  int32_t padding = 0; // the host's to know
  const int32_t rowStride =
      qvGetImageRowWidth(info.width, QV_SAMPLE_SIZE, QV_TEXTURE_TYPE, &padding);
  status = checkSizes(info, rowStride);
  if (status != DED_OK) {
    return status;
  }
  const DedGreyScale scale = dedGreyScale(info.minElevation, info.maxElevation);
  const DedPixelImage image{pixels, info.width, info.height, rowStride};
  const DedInput samples = dedStdioSampleInput(stream);
  if (count == 1) {
    return deliverSingleCell(samples, info, scale, image);
  }
  return deliverMosaic(samples, info, cells.get(), count, scale, image);
}
