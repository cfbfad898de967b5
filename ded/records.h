// The DED file's records in host byte order, the decoders that take them from
// the file's bytes and the readers that take them from an input. This is the
// only place that knows the file is big-endian.
#pragma once

#include <cstdint>
#include <cstdio>

#include "ded/input.h"

// File layout, in bytes.
constexpr long DED_HEADER_OFFSET = 0;
constexpr long DED_HEADER_SIZE = 128;
constexpr long DED_STATISTICS_SIZE = 32;
constexpr long DED_FIRST_CELL_HEADER = DED_HEADER_SIZE + DED_STATISTICS_SIZE; // 160
constexpr long DED_CELL_HEADER_SIZE = 40;
constexpr long DED_SAMPLE_SIZE = 2;

// The header's fields, from its start.
constexpr long DED_WORD0_OFFSET = 0;
constexpr long DED_MAGIC_OFFSET = 4; // every DED file has DED_MAGIC here
constexpr long DED_PROJECTION_OFFSET = 8;
constexpr long DED_HEMISPHERE_OFFSET = 11;
constexpr long DED_ZONE_OFFSET = 12;
constexpr char DED_MAGIC[4] = {'K', 'V', 'T', 'R'};

// The statistics record's fields, from its start.
constexpr long DED_CELL_COUNT_FIELD = 0;
constexpr long DED_MIN_ELEVATION_FIELD = 4;
constexpr long DED_MAX_ELEVATION_FIELD = 6;
constexpr long DED_STATISTICS_RESERVED_FIELD = 8;

// A cell header is ten 32-bit words in DedCellHeader's order, floats among them.
constexpr long DED_CELL_HEADER_WORD = 4;

// The most samples an image, or the block a cell is read into, holds: 2 GiB
// of them, the most bytes a signed 32-bit size counts.
constexpr int64_t DED_MAX_SAMPLES = INT32_MAX / DED_SAMPLE_SIZE;

// The sample that marks a void: a place the file gives no elevation for.
constexpr int16_t DED_VOID = -32768;

// Geographic files give spacings in 1/36000 of a coordinate unit (a tenth of
// an arc-second for degrees); UTM files in coordinate units.
constexpr double DED_GEOGRAPHIC_SPACING_UNITS = 36000.0;

struct DedHeader {
  int32_t word0;      // converted, not otherwise used
  char magic[4];      // "KVTR"
  char projection[3]; // "UTM" marks a UTM file
  char hemisphere;    // N, n, S or s (UTM only)
  char zone[116];     // decimal text (UTM only)
};

struct DedStatistics {
  int32_t cellCount;
  int16_t minElevation; // maps to grey 0
  int16_t maxElevation; // maps to grey 255
  uint8_t reserved[24]; // not interpreted, not converted
};

// Bounds in coordinate units; spacings in 1/36000 units (geographic) or units (UTM).
struct DedCellHeader {
  float yMin;
  float yMax;
  float xMin;
  float xMax;
  float ySpacing;
  float xSpacing;
  float rowCount;    // samples per column
  float columnCount; // columns in the cell
  uint32_t reserved[2];
};

static_assert(sizeof(DedHeader) == DED_HEADER_SIZE);
static_assert(sizeof(DedStatistics) == DED_STATISTICS_SIZE);
static_assert(sizeof(DedCellHeader) == DED_CELL_HEADER_SIZE);

inline uint16_t swap16(uint16_t v) { return static_cast<uint16_t>((v >> 8) | (v << 8)); }
inline uint32_t swap32(uint32_t v) {
  return (v >> 24) | ((v >> 8) & 0x0000ff00u) | ((v << 8) & 0x00ff0000u) | (v << 24);
}

// Each decoder takes its record's bytes exactly as the file stores them
// (DED_HEADER_SIZE, DED_STATISTICS_SIZE or DED_CELL_HEADER_SIZE bytes at
// bytes) and cannot fail: every field is taken as it stands, right or wrong.
void dedDecodeHeader(const uint8_t *bytes, DedHeader *dest);
void dedDecodeStatistics(const uint8_t *bytes, DedStatistics *dest);
void dedDecodeCellHeader(const uint8_t *bytes, DedCellHeader *dest);

// Each reader reads its record at the input's position and advances it;
// none seeks or allocates. False when the record was not read whole, after
// the input's readFailed was told which record ("Reading ded file header",
// "Reading ded cell statistics", "Reading ded cell header"); dest is then not
// to be relied on.
bool dedReadHeader(const DedInput &input, DedHeader *dest);
bool dedReadStatistics(const DedInput &input, DedStatistics *dest);
bool dedReadCellHeader(const DedInput &input, DedCellHeader *dest);

// A sample's value from its two bytes as stored in the file, read into a
// uint16_t without conversion; and back.
inline int16_t dedDecodeSample(uint16_t stored) { return static_cast<int16_t>(swap16(stored)); }
inline uint16_t dedEncodeSample(int16_t value) { return swap16(static_cast<uint16_t>(value)); }

// Reads up to count samples at the stream's position, each left as stored in
// the file (see dedDecodeSample): the pixels fold the conversion into their
// own work. Returns dest; null, silently, only when not a single sample was
// read (so count 0 always fails); positions beyond the samples read are set
// to 0, which stands for elevation 0 either way. count must not be negative.
// When read is given it receives the number of samples the stream gave (0 on
// failure).
uint16_t *dedReadStoredSamples(std::FILE *stream, int32_t count, uint16_t *dest,
                               int32_t *read = nullptr);

// Seeks to offset bytes from the file's start, beyond 2 GiB too. False when
// the stream cannot seek there.
bool dedSeekTo(std::FILE *stream, int64_t offset);

// Size in bytes of the file behind stream, or -1 when it cannot be told (the
// stream does not seek). The stream's position is kept.
int64_t dedStreamSize(std::FILE *stream);
