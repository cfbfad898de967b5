#include "ded/block_samples.h"

#include <algorithm>

#include "ded/records.h"

namespace {

// Samples asked of the input at once: their bytes fit a 32-bit size_t.
constexpr int64_t kMostSamplesAtOnce = int64_t{1} << 29;

} // namespace

int64_t dedReadBlockSamples(const DedInput &input, const DedCellBlock &block, int64_t first,
                            int64_t count, uint16_t fill, uint16_t *dest) {
  // block.bytes is cut where the offset would pass INT64_MAX, so no sample
  // read lies beyond it.
  const int64_t held = std::min(block.samples - block.missing, block.bytes / DED_SAMPLE_SIZE);
  const int64_t wanted = std::clamp<int64_t>(held - first, 0, count);
  int64_t got = 0;
  if (wanted > 0 && input.seek(input.context, block.offset + first * DED_SAMPLE_SIZE)) {
    while (got < wanted) {
      const int64_t piece = std::min(wanted - got, kMostSamplesAtOnce);
      const auto bytes = static_cast<size_t>(piece * DED_SAMPLE_SIZE);
      const size_t read = input.read(input.context, dest + got, bytes);
      got += static_cast<int64_t>(read / DED_SAMPLE_SIZE);
      if (read < bytes) {
        break;
      }
    }
  }
  std::fill(dest + got, dest + count, fill);
  return got;
}
