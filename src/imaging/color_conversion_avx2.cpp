// Luminance and the pseudo-colour rows with AVX2.
//
// Luminance, 16 pixels a step:
// x = 59 green + 30 red + 11 blue is at most 25500, and x / 100 = (x x 5243) >> 19 for every
// x up to 43689 (5243 / 2^19 exceeds 1 / 100 by less than 2.3e-7, so x x 5243 / 2^19 is never
// as much as 0.01 above x / 100, which lies at least 0.01 below the next integer), so the
// division is a high multiply and a shift.

#include <array>
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

namespace {

// 32 bytes: pattern(lane, q) at byte q of each 16-byte lane.
template <typename Pattern>
constexpr std::array<std::uint8_t, 32> LaneBytes(Pattern pattern) {
  std::array<std::uint8_t, 32> bytes{};
  for (int q = 0; q < 32; ++q) bytes[q] = static_cast<std::uint8_t>(pattern(q / 16, q % 16));
  return bytes;
}

inline __m256i Load(const std::array<std::uint8_t, 32>& bytes) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes.data()));
}

// Sixteen pixels of three planes make 48 bytes, three parts of 16, in which pixel i's plane c
// byte lies at 3 i + c. As 3 is prime to 16, 3 i + c (mod 16) differs for every i: one shuffle
// of a plane puts each of its bytes where it lies within its part (position q takes sample
// 11 (q - c) mod 16, 11 being 3's inverse), and part k takes its byte q from plane
// (k + q) mod 3. Each lane makes the part that its register stores: the low lanes hold the
// first 16 pixels and the high lanes the next 16, so the three registers are parts 0 and 1,
// 1 and 2, 2 and 0, and only the first and last need their lanes rearranged.
constexpr auto kSpreadBlue = LaneBytes([](int, int q) { return (11 * q) & 15; });
constexpr auto kSpreadGreen = LaneBytes([](int, int q) { return (11 * (q + 15)) & 15; });
constexpr auto kSpreadRed = LaneBytes([](int, int q) { return (11 * (q + 14)) & 15; });
template <int kFirstPart, int kPlane>
constexpr auto kPlaneBytes = LaneBytes([](int lane, int q) {
  return (kFirstPart + lane + q) % 3 == kPlane ? 0xFF : 0;
});

template <int kFirstPart>
inline __m256i Parts(__m256i b, __m256i g, __m256i r) {
  return _mm256_blendv_epi8(_mm256_blendv_epi8(b, g, Load(kPlaneBytes<kFirstPart, 1>)), r,
                            Load(kPlaneBytes<kFirstPart, 2>));
}

// 32 pixels of blue, green and red planes as 96 bytes of packed pixels at `to`.
inline void StorePlanes32(std::uint8_t* to, __m256i blue, __m256i green, __m256i red) {
  const __m256i b = _mm256_shuffle_epi8(blue, Load(kSpreadBlue));
  const __m256i g = _mm256_shuffle_epi8(green, Load(kSpreadGreen));
  const __m256i r = _mm256_shuffle_epi8(red, Load(kSpreadRed));
  const __m256i parts01 = Parts<0>(b, g, r), parts12 = Parts<1>(b, g, r);
  auto* out = reinterpret_cast<__m256i*>(to);
  _mm256_storeu_si256(out, _mm256_permute2x128_si256(parts01, parts12, 0x20));
  _mm256_storeu_si256(out + 1, Parts<2>(b, g, r));
  _mm256_storeu_si256(out + 2, _mm256_permute2x128_si256(parts01, parts12, 0x31));
}

// floor(254 t / 60) = floor(127 t / 30) of bytes t up to 60: 127 t in 16-bit lanes, even and
// odd bytes apart, divided by 30 as a high multiply by 2^18 / 30 (rounded up) and a shift; the
// rounding adds less than 127 x 60 x 3.4e-6 < 1 / 30, which floor(127 t / 30) leaves room for.
inline __m256i Ramp32(__m256i t) {
  const __m256i divide30 = _mm256_set1_epi16(8739);
  const __m256i even =
      _mm256_mulhi_epu16(_mm256_maddubs_epi16(t, _mm256_set1_epi16(0x007F)), divide30);
  const __m256i odd =
      _mm256_mulhi_epu16(_mm256_maddubs_epi16(t, _mm256_set1_epi16(0x7F00)), divide30);
  return _mm256_or_si256(
      _mm256_srli_epi16(even, 2),
      _mm256_and_si256(_mm256_slli_epi16(odd, 6), _mm256_set1_epi16(static_cast<short>(0xFF00))));
}

inline __m256i Steps(const std::uint8_t (*steps)[16], int j) {
  return _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(steps[j])));
}

// The XOR of the four steps' entries at the indices below.
inline __m256i Correction(__m256i s0, __m256i s1, __m256i s2, __m256i s3, __m256i i0, __m256i i1,
                          __m256i i2, __m256i i3) {
  return _mm256_xor_si256(
      _mm256_xor_si256(_mm256_shuffle_epi8(s0, i0), _mm256_shuffle_epi8(s1, i1)),
      _mm256_xor_si256(_mm256_shuffle_epi8(s2, i2), _mm256_shuffle_epi8(s3, i3)));
}

}  // namespace

ORVEX_ALIGN_STACK void PseudoColorRow_RampsAVX2(std::uint8_t* to, const std::uint8_t* from,
                                                std::int32_t pixels, const PseudoColorRamps& ramps,
                                                const std::uint8_t (*colors)[4]) {
  const __m256i blue0 = Steps(ramps.blueSteps, 0), blue1 = Steps(ramps.blueSteps, 1);
  const __m256i blue2 = Steps(ramps.blueSteps, 2), blue3 = Steps(ramps.blueSteps, 3);
  const __m256i red0 = Steps(ramps.redSteps, 0), red1 = Steps(ramps.redSteps, 1);
  const __m256i red2 = Steps(ramps.redSteps, 2), red3 = Steps(ramps.redSteps, 3);
  const __m256i zero = _mm256_setzero_si256();
  const __m256i full = _mm256_set1_epi8(static_cast<char>(254));
  const __m256i redStart = _mm256_set1_epi8(static_cast<char>(kPseudoColorRedStart));
  const __m256i rampStart = _mm256_set1_epi8(static_cast<char>(kPseudoColorRampStart));
  const __m256i greenEnd = _mm256_set1_epi8(static_cast<char>(kPseudoColorGreenEnd & 0xFF));
  std::int32_t i = 0;
  // 32 pixels a step, in three stores of exactly their 96 bytes.
  for (; i + 32 <= pixels; i += 32) {
    const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(from + i));
    // The ramps (PseudoColorRampValues).
    const __m256i above = _mm256_subs_epu8(v, redStart);
    const __m256i blueOrRedDistance = _mm256_or_si256(above, _mm256_subs_epu8(redStart, v));
    const __m256i greenDistance =
        _mm256_min_epu8(_mm256_subs_epu8(v, rampStart), _mm256_sub_epi8(greenEnd, v));
    const __m256i nearest = _mm256_min_epu8(blueOrRedDistance, greenDistance);
    const __m256i ramp = Ramp32(nearest);
    const __m256i blueOrRed =
        _mm256_blendv_epi8(full, ramp, _mm256_cmpeq_epi8(blueOrRedDistance, nearest));
    const __m256i blueSide = _mm256_cmpeq_epi8(above, zero);
    // The corrections, at w = u + 68 = v + 69 (saturated) and the steps' indices after it.
    const __m256i u = _mm256_add_epi8(v, _mm256_set1_epi8(1));
    const __m256i i3 = _mm256_adds_epu8(u, _mm256_set1_epi8(68));
    const __m256i i2 = _mm256_adds_epu8(u, _mm256_set1_epi8(68 + 16));
    const __m256i i1 = _mm256_adds_epu8(u, _mm256_set1_epi8(68 + 32));
    const __m256i i0 = _mm256_adds_epu8(u, _mm256_set1_epi8(68 + 48));
    const __m256i blue = _mm256_xor_si256(_mm256_and_si256(blueOrRed, blueSide),
                                          Correction(blue0, blue1, blue2, blue3, i0, i1, i2, i3));
    const __m256i red = _mm256_xor_si256(_mm256_andnot_si256(blueSide, blueOrRed),
                                         Correction(red0, red1, red2, red3, i0, i1, i2, i3));
    const __m256i green =
        _mm256_or_si256(_mm256_blendv_epi8(full, ramp, _mm256_cmpeq_epi8(greenDistance, nearest)),
                        _mm256_cmpeq_epi8(u, zero));
    StorePlanes32(to + 3 * i, blue, green, red);
  }
  PseudoColorRow_AVX2(to + 3 * i, from + i, pixels - i, colors);
}

ORVEX_TARGET_END

}  // namespace orvex

#endif  // ORVEX_X86
