// Table mapping with AVX2: 32 bytes a step through byte shuffles, 16 words through gathers.

#include <cstddef>
#include <cstdint>

#include "imaging/filters/filter_common.h"
#include "imaging/filters/table_map.h"

#if ORVEX_X86
#include <immintrin.h>

namespace orvex::filters {

ORVEX_TARGET_BEGIN("avx2")

namespace {

struct ShuffleRegisters {
  __m256i lower[8];
  __m256i upper[8];
};

inline __m256i Lookup32(const ShuffleRegisters& r, __m256i x) {
  const __m256i sixteen = _mm256_set1_epi8(16);
  const __m256i half = _mm256_set1_epi8(static_cast<char>(0x80));
  __m256i index = x;
  __m256i lo = _mm256_shuffle_epi8(r.lower[0], index);
  __m256i hi = _mm256_shuffle_epi8(r.upper[0], _mm256_xor_si256(index, half));
  for (int k = 1; k < 8; ++k) {
    index = _mm256_sub_epi8(index, sixteen);
    lo = _mm256_xor_si256(lo, _mm256_shuffle_epi8(r.lower[k], index));
    hi = _mm256_xor_si256(hi, _mm256_shuffle_epi8(r.upper[k], _mm256_xor_si256(index, half)));
  }
  return _mm256_blendv_epi8(lo, hi, x);
}

void LoadShuffle(const ShuffleTable& t, ShuffleRegisters* r) {
  for (int k = 0; k < 8; ++k) {
    r->lower[k] = _mm256_load_si256(reinterpret_cast<const __m256i*>(t.lower[k]));
    r->upper[k] = _mm256_load_si256(reinterpret_cast<const __m256i*>(t.upper[k]));
  }
}

// Eight words through gathers from the table widened to 32 bits (so that no gather reads past
// its entry), as eight 32-bit lanes; indices are clamped to 1023 first.
inline __m256i Gather8(__m128i words, const std::uint32_t* wide) {
  const __m128i index = _mm_min_epu16(words, _mm_set1_epi16(kMax16));
  return _mm256_i32gather_epi32(reinterpret_cast<const int*>(wide), _mm256_cvtepu16_epi32(index),
                                4);
}

inline __m256i Lookup16x16(const std::uint8_t* s, const std::uint32_t* wide) {
  const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s));
  const __m256i lo = Gather8(_mm256_castsi256_si128(v), wide);
  const __m256i hi = Gather8(_mm256_extracti128_si256(v, 1), wide);
  return _mm256_permute4x64_epi64(_mm256_packus_epi32(lo, hi), 0xD8);
}

}  // namespace

void LookupRun_AVX2(std::uint8_t* d, const std::uint8_t* s, std::size_t n,
                    const std::uint8_t* table, const ShuffleTable& t) {
  ShuffleRegisters r;
  LoadShuffle(t, &r);
  std::size_t i = 0;
  for (; i + 32 <= n; i += 32) {
    const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + i));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + i), Lookup32(r, x));
  }
  LookupRun_C(d + i, s + i, n - i, table);
}

void LookupBgrx_AVX2(std::uint8_t* d, const std::uint8_t* s, std::size_t pixels,
                     const std::uint8_t* table, const ShuffleTable& t) {
  ShuffleRegisters r;
  LoadShuffle(t, &r);
  const __m256i fourth = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
  std::size_t i = 0;
  for (; i + 8 <= pixels; i += 8) {
    const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + 4 * i));
    const __m256i kept = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(d + 4 * i));
    const __m256i mapped = Lookup32(r, x);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + 4 * i),
                        _mm256_blendv_epi8(mapped, kept, fourth));
  }
  LookupBgrx_C(d + 4 * i, s + 4 * i, pixels - i, table);
}

void Lookup16Run_AVX2(std::uint8_t* d, const std::uint8_t* s, std::size_t words,
                      const std::uint16_t* table, const std::uint32_t* wide) {
  std::size_t i = 0;
  for (; i + 16 <= words; i += 16) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + 2 * i), Lookup16x16(s + 2 * i, wide));
  }
  Lookup16Run_C(d + 2 * i, s + 2 * i, words - i, table);
}

ORVEX_TARGET_END

}  // namespace orvex::filters

#endif  // ORVEX_X86
