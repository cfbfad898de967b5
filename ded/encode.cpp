#include "ded/encode.h"

#include <cstring>

namespace {

void storeBig32(uint32_t word, uint8_t *out) {
  word = swap32(word);
  std::memcpy(out, &word, 4);
}

} // namespace

void dedEncodeHeader(const DedHeader &header, uint8_t (&out)[DED_HEADER_SIZE]) {
  uint32_t word0;
  std::memcpy(&word0, &header.word0, 4);
  storeBig32(word0, out);
  std::memcpy(out + 4, header.magic, sizeof header.magic);
  std::memcpy(out + 8, header.projection, sizeof header.projection);
  std::memcpy(out + 11, &header.hemisphere, 1);
  std::memcpy(out + 12, header.zone, sizeof header.zone);
}

void dedEncodeStatistics(const DedStatistics &statistics, uint8_t (&out)[DED_STATISTICS_SIZE]) {
  uint32_t count;
  std::memcpy(&count, &statistics.cellCount, 4);
  storeBig32(count, out);
  dedEncodeSamples(&statistics.minElevation, 1, out + 4);
  dedEncodeSamples(&statistics.maxElevation, 1, out + 6);
  std::memcpy(out + 8, statistics.reserved, sizeof statistics.reserved);
}

void dedEncodeCellHeader(const DedCellHeader &cell, uint8_t (&out)[DED_CELL_HEADER_SIZE]) {
  // Ten words, floats included, turned around as raw bits.
  uint32_t words[DED_CELL_HEADER_SIZE / 4];
  std::memcpy(words, &cell, sizeof words);
  for (size_t i = 0; i < DED_CELL_HEADER_SIZE / 4; ++i) {
    storeBig32(words[i], out + 4 * i);
  }
}

void dedEncodeSamples(const int16_t *samples, size_t count, uint8_t *out) {
  for (size_t i = 0; i < count; ++i) {
    const uint16_t stored = dedEncodeSample(samples[i]);
    std::memcpy(out + 2 * i, &stored, 2);
  }
}
