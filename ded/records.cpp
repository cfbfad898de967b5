#include "ded/records.h"

#include <cstring>
#include <iterator>

namespace {

// Positions beyond 2 GiB need the 64-bit calls where long is 32 bits.
#if defined(_WIN32)
int64_t tell64(std::FILE *stream) { return _ftelli64(stream); }
int seek64(std::FILE *stream, int64_t offset, int origin) {
  return _fseeki64(stream, offset, origin);
}
#else
int64_t tell64(std::FILE *stream) { return ftello(stream); }
int seek64(std::FILE *stream, int64_t offset, int origin) {
  return fseeko(stream, static_cast<off_t>(offset), origin);
}
#endif

uint32_t loadBig32(const uint8_t *src) {
  uint32_t word;
  std::memcpy(&word, src, 4);
  return swap32(word);
}

uint16_t loadBig16(const uint8_t *src) {
  uint16_t half;
  std::memcpy(&half, src, 2);
  return swap16(half);
}

// One whole record of size bytes from the input, decoded into dest: anything
// less is a failure, which the input is told of with message.
template <size_t size, typename Record>
bool readRecord(const DedInput &input, Record *dest, const char *message,
                void (*decode)(const uint8_t *, Record *)) {
  uint8_t bytes[size];
  if (input.read(input.context, bytes, size) != size) {
    input.readFailed(input.context, message);
    return false;
  }
  decode(bytes, dest);
  return true;
}

} // namespace

void dedDecodeHeader(const uint8_t *bytes, DedHeader *dest) {
  const uint32_t word0 = loadBig32(bytes + DED_WORD0_OFFSET);
  std::memcpy(&dest->word0, &word0, 4);
  std::memcpy(dest->magic, bytes + DED_MAGIC_OFFSET, sizeof dest->magic);
  std::memcpy(dest->projection, bytes + DED_PROJECTION_OFFSET, sizeof dest->projection);
  std::memcpy(&dest->hemisphere, bytes + DED_HEMISPHERE_OFFSET, 1);
  std::memcpy(dest->zone, bytes + DED_ZONE_OFFSET, sizeof dest->zone);
}

void dedDecodeStatistics(const uint8_t *bytes, DedStatistics *dest) {
  const uint32_t count = loadBig32(bytes + DED_CELL_COUNT_FIELD);
  const uint16_t minimum = loadBig16(bytes + DED_MIN_ELEVATION_FIELD);
  const uint16_t maximum = loadBig16(bytes + DED_MAX_ELEVATION_FIELD);
  std::memcpy(&dest->cellCount, &count, 4);
  std::memcpy(&dest->minElevation, &minimum, 2);
  std::memcpy(&dest->maxElevation, &maximum, 2);
  std::memcpy(dest->reserved, bytes + DED_STATISTICS_RESERVED_FIELD, sizeof dest->reserved);
}

void dedDecodeCellHeader(const uint8_t *bytes, DedCellHeader *dest) {
  // Ten words, floats included, turned around as raw bits.
  uint32_t words[DED_CELL_HEADER_SIZE / DED_CELL_HEADER_WORD];
  for (size_t i = 0; i < std::size(words); ++i) {
    words[i] = loadBig32(bytes + DED_CELL_HEADER_WORD * i);
  }
  std::memcpy(dest, words, sizeof words);
}

bool dedReadHeader(const DedInput &input, DedHeader *dest) {
  return readRecord<DED_HEADER_SIZE>(input, dest, "Reading ded file header", dedDecodeHeader);
}

bool dedReadStatistics(const DedInput &input, DedStatistics *dest) {
  return readRecord<DED_STATISTICS_SIZE>(input, dest, "Reading ded cell statistics",
                                         dedDecodeStatistics);
}

bool dedReadCellHeader(const DedInput &input, DedCellHeader *dest) {
  return readRecord<DED_CELL_HEADER_SIZE>(input, dest, "Reading ded cell header",
                                          dedDecodeCellHeader);
}

uint16_t *dedReadStoredSamples(std::FILE *stream, int32_t count, uint16_t *dest, int32_t *read) {
  if (read != nullptr) {
    *read = 0;
  }
  if (count <= 0) {
    return nullptr;
  }
  const size_t wanted = static_cast<size_t>(count);
  const size_t got = std::fread(dest, DED_SAMPLE_SIZE, wanted, stream);
  if (got == 0) {
    return nullptr;
  }
  std::memset(dest + got, 0, (wanted - got) * sizeof(uint16_t));
  if (read != nullptr) {
    *read = static_cast<int32_t>(got);
  }
  return dest;
}

bool dedSeekTo(std::FILE *stream, int64_t offset) { return seek64(stream, offset, SEEK_SET) == 0; }

int64_t dedStreamSize(std::FILE *stream) {
  const int64_t position = tell64(stream);
  if (position < 0 || seek64(stream, 0, SEEK_END) != 0) {
    return -1;
  }
  const int64_t size = tell64(stream);
  if (seek64(stream, position, SEEK_SET) != 0) {
    return -1;
  }
  return size;
}
