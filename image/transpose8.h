// The 8 x 8 transpose of 16-bit samples that both grey kernels use: on
// 128-bit registers, and in a file compiled for AVX2 on 256-bit ones, which
// hold two blocks side by side (the unpacks work within each 128-bit half).
// Each kernel's file compiles its own copy for its own instruction set, so
// everything here has internal linkage: the linker must never hand one
// file's copy to the other.
#pragma once

#include <emmintrin.h>
#ifdef __AVX2__
#include <immintrin.h>
#endif

namespace {

inline __m128i unpack16(__m128i a, __m128i b, bool high) {
  return high ? _mm_unpackhi_epi16(a, b) : _mm_unpacklo_epi16(a, b);
}
inline __m128i unpack32(__m128i a, __m128i b, bool high) {
  return high ? _mm_unpackhi_epi32(a, b) : _mm_unpacklo_epi32(a, b);
}
inline __m128i unpack64(__m128i a, __m128i b, bool high) {
  return high ? _mm_unpackhi_epi64(a, b) : _mm_unpacklo_epi64(a, b);
}

#ifdef __AVX2__
inline __m256i unpack16(__m256i a, __m256i b, bool high) {
  return high ? _mm256_unpackhi_epi16(a, b) : _mm256_unpacklo_epi16(a, b);
}
inline __m256i unpack32(__m256i a, __m256i b, bool high) {
  return high ? _mm256_unpackhi_epi32(a, b) : _mm256_unpacklo_epi32(a, b);
}
inline __m256i unpack64(__m256i a, __m256i b, bool high) {
  return high ? _mm256_unpackhi_epi64(a, b) : _mm256_unpacklo_epi64(a, b);
}
#endif

// Eight columns of eight samples, v[c], into eight rows, v[r]: pairs of
// 16-bit lanes, then of 32-bit ones, then of 64-bit ones interleaved.
template <typename V> inline void transpose8(V v[8]) {
  V a[8];
  V b[8];
  for (int i = 0; i < 8; i += 2) {
    a[i] = unpack16(v[i], v[i + 1], false);
    a[i + 1] = unpack16(v[i], v[i + 1], true);
  }
  for (int i = 0; i < 8; i += 4) {
    b[i] = unpack32(a[i], a[i + 2], false);
    b[i + 1] = unpack32(a[i], a[i + 2], true);
    b[i + 2] = unpack32(a[i + 1], a[i + 3], false);
    b[i + 3] = unpack32(a[i + 1], a[i + 3], true);
  }
  for (int i = 0; i < 8; i += 2) {
    v[i] = unpack64(b[i / 2], b[i / 2 + 4], false);
    v[i + 1] = unpack64(b[i / 2], b[i / 2 + 4], true);
  }
}

} // namespace
