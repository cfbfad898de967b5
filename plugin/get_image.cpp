#include "plugin/get_image.h"

#include <algorithm>
#include <cstring>

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
#include "plugin/describe.h"
#include "plugin/status.h"
#include "plugin/told_size.h"

namespace {

// A single cell is converted in bands of about this many samples (1 MiB),
// which the second-level cache holds; a band has a multiple of this many
// columns where it can, so each output row takes whole cache lines.
constexpr int64_t kBandSamples = int64_t{1} << 19;
constexpr int64_t kBandColumnMultiple = 64;

// A single cell's block is the whole image, column-major as in the file. It
// is read and converted a band of columns at a time, so it never needs to be
// held whole. To the host this is one read of the whole block: it fails only
// when nothing at all is read, which the first band decides before any pixel
// is written, and after the first short read every later position is 0 and
// nothing more is read, so no sample lands in another's place.
int32_t deliverSingleCell(std::FILE *stream, const DedImageInfo &info, const DedGreyScale &scale,
                          const DedPixelImage &image) {
  const int32_t columnSamples = info.height;
  int64_t bandColumns = info.width;
  if (columnSamples > 0 && info.width > 0) {
    bandColumns = std::max<int64_t>(1, kBandSamples / columnSamples);
    if (bandColumns >= kBandColumnMultiple) {
      bandColumns -= bandColumns % kBandColumnMultiple;
    }
    bandColumns = std::min<int64_t>(bandColumns, info.width);
  }
  HostBlock<uint16_t> band = dedHostAlloc<uint16_t>(bandColumns * columnSamples * DED_SAMPLE_SIZE);
  if (!band) {
    return DED_ERR_NOMEM;
  }
  bool exhausted = false;
  int64_t column = 0;
  do {
    const int64_t columns = std::min<int64_t>(bandColumns, info.width - column);
    const int64_t samples = columns * columnSamples;
    int32_t read = 0;
    if (!exhausted) {
      (void)dedReadStoredSamples(stream, static_cast<int32_t>(samples), band.get(), &read);
      if (read == 0 && column == 0) {
        return DED_ERR_READ;
      }
      exhausted = read < samples;
    }
    if (read == 0) {
      std::fill_n(band.get(), samples, uint16_t{0});
    }
    dedPlaceBlock(band.get(),
                  dedClipBlock(columns, columnSamples, column, 0, image.width, image.height), scale,
                  image);
    column += columns;
  } while (column < info.width);
  return DED_OK;
}

// Several cells: each block is read into the scratch block and its grey
// levels placed straight into the host's buffer, later cells over earlier
// ones, so no image-sized raster is needed. Pixels no cell covers take the
// minimum elevation's level. Every outcome the file's contents decide is
// settled before the first pixel is written; only a read that fails for
// another reason part way through (an I/O error, the file cut short
// meanwhile) returns DED_ERR_READ after earlier cells were placed.
int32_t deliverMosaic(std::FILE *stream, const DedImageInfo &info, const DedCellHeader *cells,
                      int32_t count, const DedGreyScale &scale, const DedPixelImage &image) {
  const int64_t scratchSamples = dedBlockLimit(info);
  HostBlock<uint16_t> scratch = dedHostAlloc<uint16_t>(scratchSamples * DED_SAMPLE_SIZE);
  if (!scratch) {
    return DED_ERR_NOMEM;
  }
  const int64_t fileSize = dedStreamSize(stream);
  if (fileSize < 0) {
    return dedStatusFor(DedFinding::SizeUnknown);
  }
  const DedFinding finding = dedCheckBlocks(cells, count, fileSize, scratchSamples);
  if (finding != DedFinding::None) {
    return dedStatusFor(finding);
  }
  dedFillImage(image, dedGreyLevel(static_cast<int16_t>(info.minElevation), scale));
  DedBlockWalk walk = dedStartBlockWalk(cells, count, fileSize, scratchSamples);
  DedCellBlock block;
  while (dedNextBlock(&walk, &block)) {
    // Each block is read from its own place, so a read that comes back
    // short (its missing samples 0) cannot shift the cells after it.
    if (!dedSeekTo(stream, block.offset) ||
        dedReadStoredSamples(stream, static_cast<int32_t>(block.samples), scratch.get()) ==
            nullptr) {
      return DED_ERR_READ;
    }
    dedPlaceBlock(scratch.get(), dedPlaceCell(info, cells[walk.next - 1]), scale, image);
  }
  return DED_OK;
}

// Sizes the call indexes or allocates with, checked in 64 bits before any of
// them is used. Returns DED_OK or DED_ERR_BADARG.
int32_t checkSizes(const DedImageInfo &info, int32_t rowStride) {
  if (info.width < 0 || info.height < 0 || info.maxColumns < 0 || info.maxRows < 0) {
    return DED_ERR_BADARG;
  }
  if (int64_t{info.width} * info.height * DED_SAMPLE_SIZE > INT32_MAX) {
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
                                   void * /*unused*/, uint8_t *pixels) {
  std::FILE *stream = dedStreamFor(handle);
  if (stream == nullptr || pixels == nullptr) {
    return DED_ERR_BADARG;
  }
  DedImageInfo info;
  int32_t status = dedDescribe(handle, &info);
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

  const DedInput input = dedStdioInput(stream);
  (void)input.seek(input.context, DED_FIRST_CELL_HEADER); // a failed seek shows in the read
  const int32_t count = dedCellHeaderCount(info.cellCount);
  const int64_t cellBytes = int64_t{count} * DED_CELL_HEADER_SIZE;
  if (cellBytes > INT32_MAX) {
    return DED_ERR_BADARG;
  }
  HostBlock<DedCellHeader> cells = dedHostAlloc<DedCellHeader>(cellBytes);
  if (!cells) {
    return DED_ERR_NOMEM;
  }
  status = dedStatusFor(dedReadCellHeaders(input, count, cells.get()));
  if (status != DED_OK) {
    return status;
  }

  int32_t padding = 0; // the host's to know
  const int32_t rowStride =
      qvGetImageRowWidth(info.width, QV_SAMPLE_SIZE, QV_TEXTURE_TYPE, &padding);
  status = checkSizes(info, rowStride);
  if (status != DED_OK) {
    return status;
  }
  const DedGreyScale scale = dedGreyScale(info.minElevation, info.maxElevation);
  const DedPixelImage image{pixels, info.width, info.height, rowStride};
  if (count == 1) {
    return deliverSingleCell(stream, info, scale, image);
  }
  return deliverMosaic(stream, info, cells.get(), count, scale, image);
}
