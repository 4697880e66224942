// Luminance with AVX2: 32 pixels a step in 16-bit lanes.
//
// x = 59 green + 30 red + 11 blue is at most 25500, and x / 100 = (x x 5243) >> 19 for every
// x up to 43689 (5243 / 2^19 exceeds 1 / 100 by less than 2.3e-7, so x x 5243 / 2^19 is never
// as much as 0.01 above x / 100, which lies at least 0.01 below the next integer), so the
// division is a high multiply and a shift.

#include <cstdint>

#include "imaging/color_conversion.h"
#include "imaging/simd_target.h"

#if ORVEX_X86
#include <immintrin.h>

namespace orvex {

ORVEX_TARGET_BEGIN("avx2")

namespace {

// Luminance of 16 pixels whose channels are in 16-bit lanes.
inline __m256i Luminance16(__m256i blue, __m256i green, __m256i red) {
  const __m256i x =
      _mm256_add_epi16(_mm256_add_epi16(_mm256_mullo_epi16(green, _mm256_set1_epi16(59)),
                                        _mm256_mullo_epi16(red, _mm256_set1_epi16(30))),
                       _mm256_mullo_epi16(blue, _mm256_set1_epi16(11)));
  return _mm256_srli_epi16(_mm256_mulhi_epu16(x, _mm256_set1_epi16(5243)), 3);
}

// 16 bytes of 32 luminance values, in pixel order, from two halves of 16.
inline void Store32(std::uint8_t* gray, __m256i lo, __m256i hi) {
  const __m256i packed = _mm256_permute4x64_epi64(_mm256_packus_epi16(lo, hi), 0xD8);
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(gray), packed);
}

// Sixteen pixels of 3 bytes (48 bytes from p) as planes of 16-bit lanes: byte shuffles pick
// each channel's bytes out of the three 16-byte blocks.
struct Planes {
  __m256i blue, green, red;
};

inline Planes Triples(const std::uint8_t* p) {
  alignas(16) static constexpr std::int8_t kPick[3][3][16] = {
      // blue from blocks 0, 1, 2
      {{0, 3, 6, 9, 12, 15, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
       {-1, -1, -1, -1, -1, -1, 2, 5, 8, 11, 14, -1, -1, -1, -1, -1},
       {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 1, 4, 7, 10, 13}},
      // green
      {{1, 4, 7, 10, 13, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
       {-1, -1, -1, -1, -1, 0, 3, 6, 9, 12, 15, -1, -1, -1, -1, -1},
       {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 2, 5, 8, 11, 14}},
      // red
      {{2, 5, 8, 11, 14, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
       {-1, -1, -1, -1, -1, 1, 4, 7, 10, 13, -1, -1, -1, -1, -1, -1},
       {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 0, 3, 6, 9, 12, 15}}};
  const __m128i block[3] = {_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)),
                            _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16)),
                            _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 32))};
  __m256i plane[3];
  for (int c = 0; c < 3; ++c) {
    __m128i v = _mm_setzero_si128();
    for (int k = 0; k < 3; ++k) {
      v = _mm_or_si128(
          v, _mm_shuffle_epi8(block[k],
                              _mm_load_si128(reinterpret_cast<const __m128i*>(kPick[c][k]))));
    }
    plane[c] = _mm256_cvtepu8_epi16(v);
  }
  return {plane[0], plane[1], plane[2]};
}

// Sixteen pixels of 4 bytes (64 bytes from p); the fourth bytes are not read into any plane.
inline Planes Quads(const std::uint8_t* p) {
  const __m256i byte = _mm256_set1_epi32(0xFF);
  const __m256i p0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
  const __m256i p1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32));
  const auto channel = [&](int shift) {
    const __m256i a = _mm256_and_si256(_mm256_srli_epi32(p0, shift), byte);
    const __m256i b = _mm256_and_si256(_mm256_srli_epi32(p1, shift), byte);
    return _mm256_permute4x64_epi64(_mm256_packus_epi32(a, b), 0xD8);
  };
  return {channel(0), channel(8), channel(16)};
}

}  // namespace

void LuminanceRow_AVX2(std::uint8_t* gray, const std::uint8_t* colour, std::int32_t pixels,
                       std::int32_t colourBytes) {
  std::int32_t i = 0;
  if (colourBytes == 3) {
    for (; i + 32 <= pixels; i += 32) {
      const Planes a = Triples(colour + 3 * i), b = Triples(colour + 3 * i + 48);
      Store32(gray + i, Luminance16(a.blue, a.green, a.red), Luminance16(b.blue, b.green, b.red));
    }
  } else {
    for (; i + 32 <= pixels; i += 32) {
      const Planes a = Quads(colour + 4 * i), b = Quads(colour + 4 * i + 64);
      Store32(gray + i, Luminance16(a.blue, a.green, a.red), Luminance16(b.blue, b.green, b.red));
    }
  }
  LuminanceRow_C(gray + i, colour + static_cast<std::ptrdiff_t>(i) * colourBytes, pixels - i,
                 colourBytes);
}

ORVEX_TARGET_END

}  // namespace orvex

#endif  // ORVEX_X86
