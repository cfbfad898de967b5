#include "ded/records.h"

#include <cerrno>
#include <cstring>

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

uint32_t loadBig32(const unsigned char *src) {
  uint32_t word;
  std::memcpy(&word, src, 4);
  return swap32(word);
}

uint16_t loadBig16(const unsigned char *src) {
  uint16_t half;
  std::memcpy(&half, src, 2);
  return swap16(half);
}

// One whole record as one item: anything less is a failure. The end of the
// file sets no error number, so perror is given EIO there rather than
// whatever errno last held ("Success", say).
bool readRecord(std::FILE *stream, unsigned char *bytes, size_t size, const char *message) {
  if (std::fread(bytes, size, 1, stream) != 1) {
    if (std::ferror(stream) == 0) {
      errno = EIO;
    }
    std::perror(message);
    return false;
  }
  return true;
}

} // namespace

DedHeader *dedReadHeader(std::FILE *stream, DedHeader *dest) {
  unsigned char bytes[DED_HEADER_SIZE];
  if (!readRecord(stream, bytes, sizeof bytes, "Reading ded file header")) {
    return nullptr;
  }
  const uint32_t word0 = loadBig32(bytes);
  std::memcpy(&dest->word0, &word0, 4);
  std::memcpy(dest->magic, bytes + 4, sizeof dest->magic);
  std::memcpy(dest->projection, bytes + 8, sizeof dest->projection);
  std::memcpy(&dest->hemisphere, bytes + 11, 1);
  std::memcpy(dest->zone, bytes + 12, sizeof dest->zone);
  return dest;
}

DedStatistics *dedReadStatistics(std::FILE *stream, DedStatistics *dest) {
  unsigned char bytes[DED_STATISTICS_SIZE];
  if (!readRecord(stream, bytes, sizeof bytes, "Reading ded cell statistics")) {
    return nullptr;
  }
  const uint32_t count = loadBig32(bytes);
  const uint16_t minimum = loadBig16(bytes + 4);
  const uint16_t maximum = loadBig16(bytes + 6);
  std::memcpy(&dest->cellCount, &count, 4);
  std::memcpy(&dest->minElevation, &minimum, 2);
  std::memcpy(&dest->maxElevation, &maximum, 2);
  std::memcpy(dest->reserved, bytes + 8, sizeof dest->reserved);
  return dest;
}

DedCellHeader *dedReadCellHeader(std::FILE *stream, DedCellHeader *dest) {
  unsigned char bytes[DED_CELL_HEADER_SIZE];
  if (!readRecord(stream, bytes, sizeof bytes, "Reading ded cell header")) {
    return nullptr;
  }
  // Ten words, floats included, turned around as raw bits.
  uint32_t words[DED_CELL_HEADER_SIZE / 4];
  for (size_t i = 0; i < DED_CELL_HEADER_SIZE / 4; ++i) {
    words[i] = loadBig32(bytes + 4 * i);
  }
  std::memcpy(dest, words, sizeof words);
  return dest;
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

void dedSeekFresh(std::FILE *stream, long offset) {
  (void)std::fseek(stream, offset, SEEK_SET); // a failed seek shows in the next read
  // On an input stream both glibc and Microsoft's runtimes discard the
  // buffered input; glibc also moves the descriptor back to the stream's
  // position first. Without it glibc serves a seek into its buffer from the
  // buffer.
  (void)std::fflush(stream);
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
