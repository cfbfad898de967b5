#include "image/grey.h"

#include <cmath>

#include "image/grey_lanes.h"

#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#define DED_GREY_SSE2 1
#include <emmintrin.h>

#include "image/transpose8.h"
#endif

namespace {

// The one place the pixels know the file's byte order: stored samples are
// big-endian, and turning them around is folded into the mapping (here and in
// swapLanes below) rather than made a pass of its own.
int16_t decode(uint16_t bits, DedSampleForm form) {
  if (form == DedSampleForm::Stored) {
    bits = static_cast<uint16_t>((bits >> 8) | (bits << 8));
  }
  return static_cast<int16_t>(bits);
}

// One pixel at a time: the edges of a block, and whatever the vector path
// does not take.
void mapEachPixel(const uint16_t *block, std::ptrdiff_t columnPitch, DedSampleForm form,
                  const DedGreyScale &scale, uint8_t *pixels, int32_t width, int32_t height,
                  std::ptrdiff_t rowStride) {
  for (int32_t r = 0; r < height; ++r) {
    uint8_t *out = pixels + r * rowStride;
    for (int32_t c = 0; c < width; ++c) {
      out[c] = dedGreyLevel(decode(block[c * columnPitch + r], form), scale);
    }
  }
}

#if DED_GREY_SSE2

// Blocks of 8 x 8 samples are taken a tile at a time: 64 columns give each
// output row a whole cache line, 32 rows keep the tile's samples (4 KiB) and
// pixels (2 KiB) in the first-level cache.
constexpr int32_t kTileColumns = 64;
constexpr int32_t kTileRows = 32;
constexpr int32_t kBlock = 8;

// Why four lanes of single precision give dedGreyLevel's result exactly:
// with negMin whole and within -32767..32768, sample + negMin is a whole
// number of at most 17 bits, exact in single precision. Its product with k
// has at most 17 + 24 significant bits, so the double-precision product is
// exact and rounding it to single precision is the single-precision product.
// The sample becomes a float without a conversion: the bits 0x4B00 << 16 |
// (sample + 32768) are the float 2^23 + sample + 32768, and subtracting
// 2^23 + 32768 - negMin leaves sample + negMin.
struct LaneScale {
  __m128 k;
  __m128 offset;
  __m128 top;
  __m128i exponent;
  __m128i bias;
  bool stored;
};

bool lanesExact(const DedGreyScale &scale) {
  return std::nearbyint(scale.negMin) == scale.negMin && scale.negMin >= -32767.0f &&
         scale.negMin <= 32768.0f;
}

// sample + negMin lies within -65535..65535, so with |k| at most 2^14 every
// product stays below 2^31 in magnitude: its truncation is a 32-bit integer
// and the saturating packs make each one above 255 exactly 255. A larger k
// (an infinite one included) needs min(255, v) first.
constexpr float kLargestUnclampedK = 16384.0f;

DedLaneScale lanesFor(const DedGreyScale &scale, DedSampleForm form) {
  const float offset = 8388608.0f + 32768.0f - scale.negMin; // whole, below 2^24: exact
  return {scale.k, offset, !(std::fabs(scale.k) <= kLargestUnclampedK),
          form == DedSampleForm::Stored};
}

LaneScale laneScale(const DedLaneScale &scale) {
  return {_mm_set1_ps(scale.k),
          _mm_set1_ps(scale.offset),
          _mm_set1_ps(255.0f),
          _mm_set1_epi16(0x4B00),
          _mm_set1_epi16(static_cast<int16_t>(0x8000)),
          scale.stored};
}

// Big-endian file order to value order, lane by lane.
inline __m128i swapLanes(__m128i x) {
  return _mm_or_si128(_mm_slli_epi16(x, 8), _mm_srli_epi16(x, 8));
}

// Four levels from four biased samples (bits 0x4B00 << 16 | sample + 32768).
// min(255, v) keeps a NaN (minps returns its second operand then); the
// truncation turns NaN, infinities and negative values into negative
// integers, which the unsigned saturating pack below makes 0.
template <bool kClampTop> inline __m128i levels4(__m128i biased, const LaneScale &s) {
  const __m128 value = _mm_mul_ps(_mm_sub_ps(_mm_castsi128_ps(biased), s.offset), s.k);
  return _mm_cvttps_epi32(kClampTop ? _mm_min_ps(s.top, value) : value);
}

// Eight levels, as 16-bit lanes, from eight samples in value order.
template <bool kClampTop> inline __m128i levels8(__m128i samples, const LaneScale &s) {
  const __m128i biased = _mm_xor_si128(samples, s.bias);
  return _mm_packs_epi32(levels4<kClampTop>(_mm_unpacklo_epi16(biased, s.exponent), s),
                         levels4<kClampTop>(_mm_unpackhi_epi16(biased, s.exponent), s));
}

// An 8 x 8 block: eight rows of eight pixels, each stored as one word.
template <bool kClampTop>
inline void mapBlock(const uint16_t *block, std::ptrdiff_t columnPitch, const LaneScale &s,
                     uint8_t *out, std::ptrdiff_t rowStride) {
  __m128i v[kBlock];
  for (int32_t c = 0; c < kBlock; ++c) {
    const __m128i column =
        _mm_loadu_si128(reinterpret_cast<const __m128i *>(block + c * columnPitch));
    v[c] = s.stored ? swapLanes(column) : column;
  }
  transpose8(v);
  for (int32_t r = 0; r < kBlock; r += 2) {
    const __m128i two =
        _mm_packus_epi16(levels8<kClampTop>(v[r], s), levels8<kClampTop>(v[r + 1], s));
    _mm_storel_epi64(reinterpret_cast<__m128i *>(out + r * rowStride), two);
    _mm_storel_epi64(reinterpret_cast<__m128i *>(out + (r + 1) * rowStride),
                     _mm_srli_si128(two, 8));
  }
}

// The whole 8 x 8 blocks of columns below width and rows below height, both
// multiples of 8.
template <bool kClampTop>
void mapBlocks(const uint16_t *block, std::ptrdiff_t columnPitch, const LaneScale &s,
               uint8_t *pixels, int32_t width, int32_t height, std::ptrdiff_t rowStride) {
  for (int32_t c0 = 0; c0 < width; c0 += kTileColumns) {
    const int32_t cEnd = width - c0 < kTileColumns ? width : c0 + kTileColumns;
    for (int32_t r0 = 0; r0 < height; r0 += kTileRows) {
      const int32_t rEnd = height - r0 < kTileRows ? height : r0 + kTileRows;
      for (int32_t r = r0; r < rEnd; r += kBlock) {
        for (int32_t c = c0; c < cEnd; c += kBlock) {
          mapBlock<kClampTop>(block + c * columnPitch + r, columnPitch, s,
                              pixels + c + r * rowStride, rowStride);
        }
      }
    }
  }
}

// The SSE2 path, with the AVX2 kernel taking the rows it can when allowed.
void mapLanes(const uint16_t *block, std::ptrdiff_t columnPitch, DedSampleForm form,
              const DedGreyScale &scale, uint8_t *pixels, int32_t width, int32_t height,
              std::ptrdiff_t rowStride, bool avx2) {
  const DedLaneScale lanes = lanesFor(scale, form);
  const int32_t width8 = width - width % kBlock;
  const int32_t height8 = height - height % kBlock;
  int32_t done = 0; // rows mapped
  if (avx2) {
    done = height - height % DED_AVX2_BLOCK_ROWS;
    dedMapBlocksAvx2(block, columnPitch, lanes, pixels, width8, done, rowStride);
  }
  const LaneScale s = laneScale(lanes);
  if (lanes.clampTop) {
    mapBlocks<true>(block + done, columnPitch, s, pixels + done * rowStride, width8, height8 - done,
                    rowStride);
  } else {
    mapBlocks<false>(block + done, columnPitch, s, pixels + done * rowStride, width8,
                     height8 - done, rowStride);
  }
  // The columns right of the last whole block, then the rows below it.
  mapEachPixel(block + width8 * columnPitch, columnPitch, form, scale, pixels + width8,
               width - width8, height, rowStride);
  mapEachPixel(block + height8, columnPitch, form, scale, pixels + height8 * rowStride, width8,
               height - height8, rowStride);
}

#endif

} // namespace

DedGreyScale dedGreyScale(float minElevation, float maxElevation) {
  const float k = 255.0f / (maxElevation - minElevation);
  const float negMin = -minElevation;
  return {k, negMin};
}

uint8_t dedGreyLevel(int16_t sample, const DedGreyScale &scale) {
  // The sum is exact in double; the product is rounded to single precision
  // before the checks, which decides values a hair below a whole number.
  const float v =
      static_cast<float>((static_cast<double>(sample) + static_cast<double>(scale.negMin)) *
                         static_cast<double>(scale.k));
  if (!(v >= 0.0f)) {
    return 0;
  }
  if (v > 255.0f) {
    return 255;
  }
  return static_cast<uint8_t>(v);
}

namespace {

DedGreyPath detectedPath() {
#if DED_GREY_SSE2 && (defined(__GNUC__) || defined(__clang__))
  __builtin_cpu_init();
  // Tells apart what the processor has and what the system saves for it.
  if (__builtin_cpu_supports("avx2")) {
    return DedGreyPath::Avx2;
  }
#endif
#if DED_GREY_SSE2
  return DedGreyPath::Sse2;
#else
  return DedGreyPath::Plain;
#endif
}

// The path the processor is asked once; a test may choose a slower one.
DedGreyPath &chosenPath() {
  static DedGreyPath path = dedBestGreyPath();
  return path;
}

} // namespace

DedGreyPath dedBestGreyPath() {
  static const DedGreyPath best = detectedPath();
  return best;
}

bool dedUseGreyPath(DedGreyPath path) {
  if (static_cast<int>(path) > static_cast<int>(dedBestGreyPath())) {
    return false;
  }
  chosenPath() = path;
  return true;
}

void dedMapToGrey(const uint16_t *block, std::ptrdiff_t columnPitch, DedSampleForm form,
                  const DedGreyScale &scale, uint8_t *pixels, int32_t width, int32_t height,
                  std::ptrdiff_t rowStride) {
#if DED_GREY_SSE2
  const DedGreyPath path = chosenPath();
  if (path != DedGreyPath::Plain && lanesExact(scale)) {
    mapLanes(block, columnPitch, form, scale, pixels, width, height, rowStride,
             path == DedGreyPath::Avx2);
    return;
  }
#endif
  mapEachPixel(block, columnPitch, form, scale, pixels, width, height, rowStride);
}
