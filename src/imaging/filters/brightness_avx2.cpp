// Brightness of 10-bit words with AVX2, by its own arithmetic instead of a table: sixteen words
// a step, each min(word, 1023) times the factor in double precision as the plain form computes
// it, limited to 0..1023 and truncated. (Limiting before truncating gives the same integers as
// truncating first: the limits are integers.)

#include <cstddef>
#include <cstdint>

#include "imaging/filters/filter_common.h"
#include "imaging/filters/table_map.h"

#if ORVEX_X86
#include <immintrin.h>

namespace orvex::filters {

ORVEX_TARGET_BEGIN("avx2")

namespace {

inline __m128i Scale4(__m128i v, __m256d f) {
  const __m256d p = _mm256_mul_pd(_mm256_cvtepi32_pd(v), f);
  const __m256d limited = _mm256_min_pd(_mm256_max_pd(p, _mm256_setzero_pd()),
                                        _mm256_set1_pd(static_cast<double>(kMax16)));
  return _mm256_cvttpd_epi32(limited);
}

inline __m256i Scale8(__m128i words, __m256d f) {
  const __m256i v = _mm256_cvtepu16_epi32(_mm_min_epu16(words, _mm_set1_epi16(kMax16)));
  return _mm256_setr_m128i(Scale4(_mm256_castsi256_si128(v), f),
                           Scale4(_mm256_extracti128_si256(v, 1), f));
}

inline __m256i Scale16(const std::uint8_t* s, __m256d f) {
  const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s));
  const __m256i lo = Scale8(_mm256_castsi256_si128(v), f);
  const __m256i hi = Scale8(_mm256_extracti128_si256(v, 1), f);
  return _mm256_permute4x64_epi64(_mm256_packus_epi32(lo, hi), 0xD8);
}

}  // namespace

void BrightnessWords_AVX2(std::uint8_t* d, const std::uint8_t* s, std::size_t words, double factor,
                          const std::uint16_t* table) {
  const __m256d f = _mm256_set1_pd(factor);
  std::size_t i = 0;
  for (; i + 16 <= words; i += 16) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + 2 * i), Scale16(s + 2 * i, f));
  }
  Lookup16Run_C(d + 2 * i, s + 2 * i, words - i, table);
}

ORVEX_TARGET_END

}  // namespace orvex::filters

#endif  // ORVEX_X86
