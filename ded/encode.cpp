#include "ded/encode.h"

#include <cstring>
#include <iterator>

namespace {

void storeBig32(uint32_t word, uint8_t *out) {
  word = swap32(word);
  std::memcpy(out, &word, 4);
}

} // namespace

void dedEncodeHeader(const DedHeader &header, uint8_t (&out)[DED_HEADER_SIZE]) {
  uint32_t word0;
  std::memcpy(&word0, &header.word0, 4);
  storeBig32(word0, out + DED_WORD0_OFFSET);
  std::memcpy(out + DED_MAGIC_OFFSET, header.magic, sizeof header.magic);
  std::memcpy(out + DED_PROJECTION_OFFSET, header.projection, sizeof header.projection);
  std::memcpy(out + DED_HEMISPHERE_OFFSET, &header.hemisphere, 1);
  std::memcpy(out + DED_ZONE_OFFSET, header.zone, sizeof header.zone);
}

void dedEncodeStatistics(const DedStatistics &statistics, uint8_t (&out)[DED_STATISTICS_SIZE]) {
  uint32_t count;
  std::memcpy(&count, &statistics.cellCount, 4);
  storeBig32(count, out + DED_CELL_COUNT_FIELD);
  dedEncodeSamples(&statistics.minElevation, 1, out + DED_MIN_ELEVATION_FIELD);
  dedEncodeSamples(&statistics.maxElevation, 1, out + DED_MAX_ELEVATION_FIELD);
  std::memcpy(out + DED_STATISTICS_RESERVED_FIELD, statistics.reserved, sizeof statistics.reserved);
}

void dedEncodeCellHeader(const DedCellHeader &cell, uint8_t (&out)[DED_CELL_HEADER_SIZE]) {
  // Ten words, floats included, turned around as raw bits.
  uint32_t words[DED_CELL_HEADER_SIZE / DED_CELL_HEADER_WORD];
  std::memcpy(words, &cell, sizeof words);
  for (size_t i = 0; i < std::size(words); ++i) {
    storeBig32(words[i], out + DED_CELL_HEADER_WORD * i);
  }
}

void dedEncodeSamples(const int16_t *samples, size_t count, uint8_t *out) {
  for (size_t i = 0; i < count; ++i) {
    const uint16_t stored = dedEncodeSample(samples[i]);
    std::memcpy(out + 2 * i, &stored, 2);
  }
}
