#include "image/stream_rows.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#define DED_STREAM_SSE2 1
#include <emmintrin.h>
#endif

namespace {

// Bytes from p back to the start of its cache line.
int64_t intoLine(const uint8_t *p) {
  return static_cast<int64_t>(reinterpret_cast<uintptr_t>(p) &
                              static_cast<uintptr_t>(DED_STREAM_LINE - 1));
}

// One whole line from the staging area to its aligned place in the image.
inline void streamLine(uint8_t *to, const uint8_t *from) {
#if DED_STREAM_SSE2
  for (int i = 0; i < 4; ++i) {
    const __m128i part = _mm_loadu_si128(reinterpret_cast<const __m128i *>(from) + i);
    _mm_stream_si128(reinterpret_cast<__m128i *>(to) + i, part);
  }
#else
  std::memcpy(to, from, DED_STREAM_LINE);
#endif
}

// Moves the n bytes (fewer than a line) at from to end at to + n, through
// registers: one whole line, whatever n, where SSE2 allows.
inline void carry(uint8_t *to, const uint8_t *from, size_t n) {
#if DED_STREAM_SSE2
  __m128i part[4];
  for (int i = 0; i < 4; ++i) {
    part[i] = _mm_loadu_si128(reinterpret_cast<const __m128i *>(from) + i);
  }
  for (int i = 0; i < 4; ++i) {
    _mm_storeu_si128(reinterpret_cast<__m128i *>(to) + i, part[i]);
  }
  (void)n;
#else
  std::memmove(to, from, n);
#endif
}

} // namespace

int64_t dedStagingBytes(int64_t groupColumns, int64_t rows) {
  // A line more at the end: a row's waiting bytes move as a whole line.
  return (groupColumns + DED_STREAM_LINE) * rows + DED_STREAM_LINE;
}

DedRowStream dedStartRowStream(const DedPixelImage &image, uint8_t *staging, int64_t groupColumns,
                               int64_t firstColumn, int64_t endColumn, int64_t firstRow,
                               int64_t rows) {
  return {image,       staging,    static_cast<std::ptrdiff_t>(groupColumns + DED_STREAM_LINE),
          firstColumn, endColumn,  firstRow,
          rows,        firstColumn};
}

uint8_t *dedStagingAt(const DedRowStream &stream, int64_t column) {
  return stream.staging + DED_STREAM_LINE + (column - stream.groupColumn);
}

void dedStreamGroup(DedRowStream *stream, int64_t groupEnd) {
  const DedRowStream &s = *stream;
  const int64_t g0 = s.groupColumn;
  const bool last = groupEnd == s.endColumn;
  for (int64_t i = 0; i < s.rows; ++i) {
    uint8_t *row = s.image.pixels + (s.firstRow + i) * s.image.rowStride;
    uint8_t *staged = s.staging + i * s.pitch + DED_STREAM_LINE; // column g0
    // The run's first column that starts a line: the columns before it share
    // their line with bytes outside the run.
    const int64_t lineStart =
        s.firstColumn + (DED_STREAM_LINE - intoLine(row + s.firstColumn)) % DED_STREAM_LINE;
    // The bytes an earlier group left waiting sit just before column g0.
    int64_t c = g0 <= lineStart ? g0 : g0 - intoLine(row + g0);
    const uint8_t *from = staged - (g0 - c);
    if (c < lineStart) {
      const int64_t n = std::min(groupEnd, lineStart) - c;
      std::memcpy(row + c, from, static_cast<size_t>(n));
      from += n;
      c += n;
    }
    for (; c + DED_STREAM_LINE <= groupEnd; c += DED_STREAM_LINE, from += DED_STREAM_LINE) {
      streamLine(row + c, from);
    }
    if (c < groupEnd) {
      const auto n = static_cast<size_t>(groupEnd - c);
      if (last) {
        std::memcpy(row + c, from, n); // shares its line with what follows the run
      } else {
        carry(staged - (groupEnd - c), from, n); // completed by the next group
      }
    }
  }
#if DED_STREAM_SSE2
  _mm_sfence();
#endif
  stream->groupColumn = groupEnd;
}
