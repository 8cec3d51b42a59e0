// One vector of bytes and the few operations the scanner's engine needs on
// it: 32 bytes with AVX2, 16 with SSE2; nothing without either, where the
// engine falls back to tables. Included by the engine's headers, which
// are compiled once per instruction set (scanner.cc, scanner_avx2.cc), and
// by the lexer's walk of a directive and the count of lines of the
// positions, so everything here lives in an unnamed namespace.
#ifndef KOLVU_SCANNER_ENGINE_VECTOR_H_
#define KOLVU_SCANNER_ENGINE_VECTOR_H_

#if defined(__AVX2__)
#include <immintrin.h>
#elif defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kolvu {
namespace {

#if defined(__AVX2__) || defined(__SSE2__)
// One vector of bytes and the few operations the scanner needs on it.
#if defined(__AVX2__)
using Vec = __m256i;
const int kVecBytes = 32;
inline Vec load(const char *p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i *>(p)); }
inline Vec splat(char c) { return _mm256_set1_epi8(c); }
inline Vec zero() { return _mm256_setzero_si256(); }
inline Vec eq(Vec a, Vec b) { return _mm256_cmpeq_epi8(a, b); }
inline Vec either(Vec a, Vec b) { return _mm256_or_si256(a, b); }
inline Vec both(Vec a, Vec b) { return _mm256_and_si256(a, b); }
inline Vec minus(Vec a, Vec b) { return _mm256_sub_epi8(a, b); }
inline Vec minus_sat(Vec a, Vec b) { return _mm256_subs_epu8(a, b); }
inline unsigned bits_of(Vec v) { return static_cast<unsigned>(_mm256_movemask_epi8(v)); }
// The sum of v's bytes, each taken as unsigned.
inline size_t byte_sum(Vec v) {
  __m256i s = _mm256_sad_epu8(v, _mm256_setzero_si256());
  return static_cast<size_t>(_mm256_extract_epi64(s, 0) + _mm256_extract_epi64(s, 1) +
                             _mm256_extract_epi64(s, 2) + _mm256_extract_epi64(s, 3));
}
#else
using Vec = __m128i;
const int kVecBytes = 16;
inline Vec load(const char *p) { return _mm_loadu_si128(reinterpret_cast<const __m128i *>(p)); }
inline Vec splat(char c) { return _mm_set1_epi8(c); }
inline Vec zero() { return _mm_setzero_si128(); }
inline Vec eq(Vec a, Vec b) { return _mm_cmpeq_epi8(a, b); }
inline Vec either(Vec a, Vec b) { return _mm_or_si128(a, b); }
inline Vec both(Vec a, Vec b) { return _mm_and_si128(a, b); }
inline Vec minus(Vec a, Vec b) { return _mm_sub_epi8(a, b); }
inline Vec minus_sat(Vec a, Vec b) { return _mm_subs_epu8(a, b); }
inline unsigned bits_of(Vec v) { return static_cast<unsigned>(_mm_movemask_epi8(v)); }
inline size_t byte_sum(Vec v) {
  __m128i s = _mm_sad_epu8(v, _mm_setzero_si128());
  return static_cast<size_t>(_mm_cvtsi128_si32(s)) +
         static_cast<size_t>(_mm_cvtsi128_si32(_mm_unpackhi_epi64(s, s)));
}
#endif

inline Vec eq(Vec v, char c) { return eq(v, splat(c)); }
// 0xFF in each lane of v that holds one of the bytes of list.
template <size_t N>
inline Vec eq_any(Vec v, const char (&list)[N]) {
  Vec m = eq(v, list[0]);
  for (size_t i = 1; i + 1 < N; ++i) m = either(m, eq(v, list[i]));
  return m;
}

// 0xFF in each lane whose byte is a blank of the "C" locale (0x09-0x0D, 0x20).
inline Vec c_space(Vec v) {
  return either(eq(minus_sat(minus(v, splat(0x09)), splat(4)), zero()), eq(v, ' '));
}
#endif

}  // namespace
}  // namespace kolvu

#endif  // KOLVU_SCANNER_ENGINE_VECTOR_H_
