#include "ded/block_samples.h"

#include <algorithm>
#include <cerrno>

#include "ded/records.h"

namespace {

// Samples asked of the input at once: their bytes fit a 32-bit size_t.
constexpr int64_t kMostSamplesAtOnce = int64_t{1} << 29;

} // namespace

DedSamplesRead dedReadBlockSamples(const DedInput &input, const DedCellBlock &block, int64_t first,
                                   int64_t count, uint16_t fill, uint16_t *dest) {
  // block.bytes is cut where the offset would pass INT64_MAX, so no sample
  // read lies beyond it.
  const int64_t held = std::min(block.samples - block.missing, block.bytes / DED_SAMPLE_SIZE);
  const int64_t wanted = std::clamp<int64_t>(held - first, 0, count);
  DedSamplesRead result{0, 0};
  if (wanted > 0 && !input.seek(input.context, block.offset + first * DED_SAMPLE_SIZE)) {
    result.error = EIO;
  }
  while (result.error == 0 && result.got < wanted) {
    const int64_t piece = std::min(wanted - result.got, kMostSamplesAtOnce);
    const auto bytes = static_cast<size_t>(piece * DED_SAMPLE_SIZE);
    const size_t read = input.read(input.context, dest + result.got, bytes);
    result.got += static_cast<int64_t>(read / DED_SAMPLE_SIZE);
    if (read < bytes) {
      result.error = input.readError != nullptr ? input.readError(input.context) : 0;
      break;
    }
  }
  std::fill(dest + result.got, dest + count, fill);
  return result;
}
