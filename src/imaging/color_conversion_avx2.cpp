// Luminance and the pseudo-colour rows with AVX2.
//
// Luminance, 16 pixels a step:
// x = 59 green + 30 red + 11 blue is at most 25500, and x / 100 = (x x 5243) >> 19 for every
// x up to 43689 (5243 / 2^19 exceeds 1 / 100 by less than 2.3e-7, so x x 5243 / 2^19 is never
// as much as 0.01 above x / 100, which lies at least 0.01 below the next integer), so the
// division is a high multiply and a shift.

#include <cstdint>
#include <cstring>

#include "imaging/color_conversion.h"
#include "imaging/simd_target.h"

#if ORVEX_X86
#include <immintrin.h>

namespace orvex {

ORVEX_TARGET_BEGIN("avx2")

namespace {

// Eight pixels as blue, green, red and a fourth byte in 32-bit lanes: x = 11 blue + 59 green +
// 30 red by two multiply-adds (the byte products' pairs stay below 2^15), then x / 100.
inline __m256i Luminance8(__m256i bgrx) {
  const __m256i weights = _mm256_set1_epi32(0x001E3B0B);  // 11, 59, 30, 0
  const __m256i pairs = _mm256_maddubs_epi16(bgrx, weights);
  return _mm256_madd_epi16(pairs, _mm256_set1_epi16(1));
}

// Sixteen x of 32-bit lanes -> sixteen luminance bytes in pixel order.
inline __m128i Divide16(__m256i x0, __m256i x1) {
  const __m256i x = _mm256_permute4x64_epi64(_mm256_packs_epi32(x0, x1), 0xD8);
  const __m256i q = _mm256_srli_epi16(_mm256_mulhi_epu16(x, _mm256_set1_epi16(5243)), 3);
  const __m128i lo = _mm256_castsi256_si128(q), hi = _mm256_extracti128_si256(q, 1);
  return _mm_packus_epi16(lo, hi);
}

// Eight pixels of 3 bytes from p (reading 28 bytes from p) as eight of 4 bytes.
inline __m256i Triples8(const std::uint8_t* p) {
  const __m256i spread = _mm256_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1, 0,
                                          1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
  const __m256i v = _mm256_setr_m128i(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)),
                                      _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 12)));
  return _mm256_shuffle_epi8(v, spread);
}

}  // namespace

void LuminanceRow_AVX2(std::uint8_t* gray, const std::uint8_t* colour, std::int32_t pixels,
                       std::int32_t colourBytes) {
  std::int32_t i = 0;
  if (colourBytes == 3) {
    // The last load of a step reads 4 bytes past its 16 pixels: those must lie in the row.
    for (; i + 18 <= pixels; i += 16) {
      const std::uint8_t* p = colour + 3 * i;
      _mm_storeu_si128(reinterpret_cast<__m128i*>(gray + i),
                       Divide16(Luminance8(Triples8(p)), Luminance8(Triples8(p + 24))));
    }
  } else {
    for (; i + 16 <= pixels; i += 16) {
      const std::uint8_t* p = colour + 4 * i;
      const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
      const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(gray + i),
                       Divide16(Luminance8(a), Luminance8(b)));
    }
  }
  LuminanceRow_C(gray + i, colour + static_cast<std::ptrdiff_t>(i) * colourBytes, pixels - i,
                 colourBytes);
}

namespace {

// Eight colour entries (blue, green, red, spare in each 32-bit lane) as the 24 bytes of eight
// packed pixels at the start of the register; its last 8 bytes are left over.
inline __m256i PackTriples8(__m256i entries) {
  const __m256i squeeze = _mm256_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1,
                                           0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
  const __m256i join = _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 3, 7);
  return _mm256_permutevar8x32_epi32(_mm256_shuffle_epi8(entries, squeeze), join);
}

inline int Entry(const std::uint8_t (*colors)[4], unsigned v) {
  int entry;
  std::memcpy(&entry, colors[v], 4);
  return entry;
}

// The entries of eight samples, four of them indexed from a word in registers and four by
// loads of their own: the split keeps both the arithmetic units and the load ports busy (on
// the processors measured, the gather instruction took twice as long as this).
inline __m256i Entries8(const std::uint8_t (*colors)[4], const std::uint8_t* samples) {
  std::uint64_t w;
  std::memcpy(&w, samples, 8);
  __m128i a = _mm_cvtsi32_si128(Entry(colors, w & 0xFF));
  a = _mm_insert_epi32(a, Entry(colors, (w >> 8) & 0xFF), 1);
  a = _mm_insert_epi32(a, Entry(colors, (w >> 16) & 0xFF), 2);
  a = _mm_insert_epi32(a, Entry(colors, (w >> 24) & 0xFF), 3);
  __m128i b = _mm_cvtsi32_si128(Entry(colors, (w >> 32) & 0xFF));
  b = _mm_insert_epi32(b, Entry(colors, samples[5]), 1);
  b = _mm_insert_epi32(b, Entry(colors, samples[6]), 2);
  b = _mm_insert_epi32(b, Entry(colors, samples[7]), 3);
  return _mm256_setr_m128i(a, b);
}

}  // namespace

ORVEX_ALIGN_STACK void PseudoColorRow_AVX2(std::uint8_t* to, const std::uint8_t* from,
                                           std::int32_t pixels, const std::uint8_t (*colors)[4]) {
  std::int32_t i = 0;
  // Eight pixels a step in one 32-byte store, whose last 8 bytes the next step overwrites:
  // they must lie in the row.
  for (; 3 * i + 32 <= 3 * pixels; i += 8) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(to + 3 * i),
                        PackTriples8(Entries8(colors, from + i)));
  }
  PseudoColorRow_C(to + 3 * i, from + i, pixels - i, colors);
}

ORVEX_TARGET_END

}  // namespace orvex

#endif  // ORVEX_X86
