// The grey mapping's AVX2 kernel. This file alone is compiled for AVX2, and
// without FMA, so the compiler cannot fuse the subtraction and the product
// that the exact result depends on; it runs only where the processor has
// AVX2 (dedBestGreyPath). Each 256-bit register holds two 8 x 8 blocks, one
// above the other, and every lane goes through the SSE2 kernel's operations
// in the same order, so every level is the same.
#include <immintrin.h>

#include "image/grey_lanes.h"
#include "image/transpose8.h"

namespace {

constexpr int32_t kTileColumns = 64;
constexpr int32_t kTileRows = 32;

struct Lanes {
  __m256 k;
  __m256 offset;
  __m256 top;
  __m256i exponent;
  __m256i bias;
};

// Big-endian file order to value order: one byte shuffle swaps every pair.
inline __m256i swapLanes(__m256i x) {
  const __m256i pairs = _mm256_setr_epi8(1, 0, 3, 2, 5, 4, 7, 6, 9, 8, 11, 10, 13, 12, 15, 14, 1, 0,
                                         3, 2, 5, 4, 7, 6, 9, 8, 11, 10, 13, 12, 15, 14);
  return _mm256_shuffle_epi8(x, pairs);
}

template <bool kClampTop> inline __m256i levels8(__m256i biased, const Lanes &s) {
  const __m256 value = _mm256_mul_ps(_mm256_sub_ps(_mm256_castsi256_ps(biased), s.offset), s.k);
  return _mm256_cvttps_epi32(kClampTop ? _mm256_min_ps(s.top, value) : value);
}

// Sixteen levels, as 16-bit lanes, from sixteen samples in value order; the
// unpacks and packs work within each 128-bit half, so each half keeps its
// order.
template <bool kClampTop> inline __m256i levels16(__m256i samples, const Lanes &s) {
  const __m256i biased = _mm256_xor_si256(samples, s.bias);
  return _mm256_packs_epi32(levels8<kClampTop>(_mm256_unpacklo_epi16(biased, s.exponent), s),
                            levels8<kClampTop>(_mm256_unpackhi_epi16(biased, s.exponent), s));
}

// Eight columns of sixteen samples: rows 0..7 in the lower halves, 8..15 in
// the upper ones.
template <bool kClampTop>
inline void mapBlock(const uint16_t *block, std::ptrdiff_t columnPitch, bool stored, const Lanes &s,
                     uint8_t *out, std::ptrdiff_t rowStride) {
  __m256i v[8];
  for (int32_t c = 0; c < 8; ++c) {
    const __m256i column =
        _mm256_loadu_si256(reinterpret_cast<const __m256i *>(block + c * columnPitch));
    v[c] = stored ? swapLanes(column) : column;
  }
  transpose8(v);
  uint8_t *lower = out;
  uint8_t *upper = out + 8 * rowStride;
  for (int32_t r = 0; r < 8; r += 2) {
    // Lower half: rows r and r + 1; upper half: rows r + 8 and r + 9.
    const __m256i four =
        _mm256_packus_epi16(levels16<kClampTop>(v[r], s), levels16<kClampTop>(v[r + 1], s));
    const __m128i low = _mm256_castsi256_si128(four);
    const __m128i high = _mm256_extracti128_si256(four, 1);
    _mm_storel_epi64(reinterpret_cast<__m128i *>(lower + r * rowStride), low);
    _mm_storel_epi64(reinterpret_cast<__m128i *>(lower + (r + 1) * rowStride),
                     _mm_srli_si128(low, 8));
    _mm_storel_epi64(reinterpret_cast<__m128i *>(upper + r * rowStride), high);
    _mm_storel_epi64(reinterpret_cast<__m128i *>(upper + (r + 1) * rowStride),
                     _mm_srli_si128(high, 8));
  }
}

template <bool kClampTop>
void mapBlocks(const uint16_t *block, std::ptrdiff_t columnPitch, bool stored, const Lanes &s,
               uint8_t *pixels, int32_t width, int32_t height, std::ptrdiff_t rowStride) {
  for (int32_t c0 = 0; c0 < width; c0 += kTileColumns) {
    const int32_t cEnd = width - c0 < kTileColumns ? width : c0 + kTileColumns;
    for (int32_t r0 = 0; r0 < height; r0 += kTileRows) {
      const int32_t rEnd = height - r0 < kTileRows ? height : r0 + kTileRows;
      for (int32_t r = r0; r < rEnd; r += DED_AVX2_BLOCK_ROWS) {
        for (int32_t c = c0; c < cEnd; c += DED_AVX2_BLOCK_COLUMNS) {
          mapBlock<kClampTop>(block + c * columnPitch + r, columnPitch, stored, s,
                              pixels + c + r * rowStride, rowStride);
        }
      }
    }
  }
}

} // namespace

void dedMapBlocksAvx2(const uint16_t *block, std::ptrdiff_t columnPitch, const DedLaneScale &scale,
                      uint8_t *pixels, int32_t width, int32_t height, std::ptrdiff_t rowStride) {
  const Lanes s{_mm256_set1_ps(scale.k), _mm256_set1_ps(scale.offset), _mm256_set1_ps(255.0f),
                _mm256_set1_epi16(0x4B00), _mm256_set1_epi16(static_cast<int16_t>(0x8000))};
  if (scale.clampTop) {
    mapBlocks<true>(block, columnPitch, scale.stored, s, pixels, width, height, rowStride);
  } else {
    mapBlocks<false>(block, columnPitch, scale.stored, s, pixels, width, height, rowStride);
  }
  // The SSE2 code that runs next must not pay for dirty upper halves.
  _mm256_zeroupper();
}
