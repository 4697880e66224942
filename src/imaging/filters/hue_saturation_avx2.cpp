// The hue and saturation stage with AVX2. Sixteen pixels a step, in 16-bit lanes: every
// intermediate value fits 16 bits once the offsets are normalised, and products that do not are
// shifted down from their full 32-bit value. The two divisions are single-precision divisions,
// truncated: numerators are integers below 2^16 (exact in a float), quotients are below 256,
// and a quotient that is not an integer lies at least 1/255 below the next one, far more than
// the division's rounding error of at most 2^-17; an integer quotient is exact.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "imaging/filters/filter_common.h"
#include "imaging/filters/hue_saturation.h"
#include "imaging/filters/table_map.h"

#if ORVEX_X86
#include <immintrin.h>

namespace orvex::filters {
namespace {

ORVEX_TARGET_BEGIN("avx2")

// Per call: the three channels' angle offsets hue offset + 120, + 0, - 120, each reduced so
// that a hue of 0..359 plus it lands where the remainder of the full angle decides the same
// weight: an offset of 0 or more is taken modulo 360 (the angle is then below 720 and one
// subtraction finds the remainder); a negative one is kept, since a negative angle gives m1
// whatever its remainder and a non-negative one is already below 360.
struct Constants {
  __m256i channelOffset[3];  // red, green, blue
  // The same offsets in eighths of a degree, as they are and less a full turn.
  __m256i eighthsOffset[3], eighthsOffsetLessTurn[3];
  __m256i lightness, saturation;
  // For hue offsets of 0 or more: that offset modulo 360, in eighths, plus each sector's start.
  __m256i sectorOffset8[3];
  __m256i c479, c959, c960, c1919, cMinus960, cMinus1920;
};

struct Channels {
  __m256i blue, green, red;  // 16-bit lanes
};

// What the second part of the stage needs of sixteen pixels: S and the hue's quotient
// |numerator| x 64 / d, the sum of the largest and smallest channel, the start of the hue's
// sector in eighths (with the hue offset, for a turn's form) and the numerator's sign as +-1.
struct Quotients {
  __m256i saturation, hue, sum, sector, sign;
};

ORVEX_ALWAYS_INLINE __m256i Select(__m256i mask, __m256i ifTrue, __m256i ifFalse) {
  return _mm256_blendv_epi8(ifFalse, ifTrue, mask);
}

// Select for a mask that several selects share. The compiler folds a blend into a select on
// the mask's bytes and, for a mask with more than one use, tests their signs again each time
// (a comparison more a mask); the instruction written out keeps it one operation.
ORVEX_ALWAYS_INLINE __m256i SelectShared(__m256i mask, __m256i ifTrue, __m256i ifFalse) {
#if defined(__GNUC__)
  __m256i r;
  __asm__("vpblendvb {%3, %2, %1, %0|%0, %1, %2, %3}"
          : "=x"(r)
          : "x"(ifFalse), "xm"(ifTrue), "x"(mask));
  return r;
#else
  return _mm256_blendv_epi8(ifFalse, ifTrue, mask);
#endif
}

// A value the compiler cannot see through, so that constants kept in the per-call block are
// read from it rather than built again in the loop.
ORVEX_ALWAYS_INLINE __m256i Opaque(__m256i v) {
#if defined(__GNUC__)
  __asm__("" : "+x"(v));
#endif
  return v;
}

ORVEX_ALWAYS_INLINE __m256i Set16(int v) {
  return _mm256_set1_epi16(static_cast<short>(v));
}

// (a x b) >> shift from the full 32-bit product, for results that fit 16 bits.
template <int kShift>
ORVEX_ALWAYS_INLINE __m256i MultiplyShift(__m256i a, __m256i b) {
  return _mm256_or_si256(_mm256_slli_epi16(_mm256_mulhi_epi16(a, b), 16 - kShift),
                         _mm256_srli_epi16(_mm256_mullo_epi16(a, b), kShift));
}

// trunc(n / d) for 16-bit lanes; n unsigned or signed as kSigned says, d in 1..510.
template <bool kSigned>
ORVEX_ALWAYS_INLINE __m256i Quotient(__m256i n, __m256i d) {
  const __m128i nLo = _mm256_castsi256_si128(n), nHi = _mm256_extracti128_si256(n, 1);
  const __m256i n0 = kSigned ? _mm256_cvtepi16_epi32(nLo) : _mm256_cvtepu16_epi32(nLo);
  const __m256i n1 = kSigned ? _mm256_cvtepi16_epi32(nHi) : _mm256_cvtepu16_epi32(nHi);
  const __m256i d0 = _mm256_cvtepu16_epi32(_mm256_castsi256_si128(d));
  const __m256i d1 = _mm256_cvtepu16_epi32(_mm256_extracti128_si256(d, 1));
  const __m256i q0 =
      _mm256_cvttps_epi32(_mm256_div_ps(_mm256_cvtepi32_ps(n0), _mm256_cvtepi32_ps(d0)));
  const __m256i q1 =
      _mm256_cvttps_epi32(_mm256_div_ps(_mm256_cvtepi32_ps(n1), _mm256_cvtepi32_ps(d1)));
  return _mm256_permute4x64_epi64(_mm256_packs_epi32(q0, q1), 0xD8);
}

// m1 + (((m2 - m1) x w) >> 6) with w the weight in 64ths at the channel's angle: the rising,
// flat and falling pieces of the rule as one interpolation (64/64 is m2 exactly, 0 is m1). A
// negative angle gets weight 0.
ORVEX_ALWAYS_INLINE __m256i ChannelWithLightness(__m256i hue, __m256i offset, __m256i m1,
                                                 __m256i difference) {
  __m256i h = _mm256_add_epi16(hue, offset);
  h = _mm256_sub_epi16(h, _mm256_and_si256(_mm256_cmpgt_epi16(h, Set16(359)), Set16(360)));
  __m256i w = _mm256_min_epi16(h, _mm256_sub_epi16(Set16(240), h));
  w = _mm256_max_epi16(w, _mm256_setzero_si256());
  const __m256i flat =
      _mm256_and_si256(_mm256_cmpgt_epi16(h, Set16(59)), _mm256_cmpgt_epi16(Set16(180), h));
  w = Select(flat, Set16(64), w);
  return _mm256_add_epi16(m1, MultiplyShift<6>(difference, w));
}

// The stage on sixteen pixels of 8-bit channels with a lightness offset, which may take L'
// outside 0..255 and the products past 16 bits; results are still to be clamped to 0..255.
ORVEX_ALWAYS_INLINE Channels CoreWithLightness_AVX2(const Channels& in, const Constants& k) {
  const __m256i red = in.red, green = in.green, blue = in.blue;
  const __m256i zero = _mm256_setzero_si256();
  const __m256i one = Set16(1);
  const __m256i c128 = Set16(128);

  const __m256i mx = _mm256_max_epi16(red, _mm256_max_epi16(green, blue));
  const __m256i mn = _mm256_min_epi16(red, _mm256_min_epi16(green, blue));
  const __m256i sum = _mm256_add_epi16(mx, mn);
  const __m256i lightness = _mm256_srli_epi16(sum, 1);
  const __m256i d = _mm256_sub_epi16(mx, mn);

  // Gray pixels divide 0 by 1 and take the red branch with a zero numerator: S = H = 0.
  const __m256i denominator =
      Select(_mm256_cmpgt_epi16(c128, lightness), sum, _mm256_sub_epi16(Set16(510), sum));
  const __m256i saturation = Quotient<false>(_mm256_sub_epi16(_mm256_slli_epi16(d, 8), d),
                                             _mm256_max_epi16(denominator, one));
  const __m256i redMax = _mm256_cmpeq_epi16(red, mx);
  const __m256i greenMax = _mm256_cmpeq_epi16(green, mx);
  const __m256i numerator =
      Select(redMax, _mm256_sub_epi16(green, blue),
             Select(greenMax, _mm256_sub_epi16(blue, red), _mm256_sub_epi16(red, green)));
  const __m256i sector = _mm256_andnot_si256(redMax, Select(greenMax, Set16(120), Set16(240)));
  __m256i hue = _mm256_add_epi16(
      Quotient<true>(_mm256_slli_epi16(numerator, 6), _mm256_max_epi16(d, one)), sector);
  hue = _mm256_add_epi16(hue, _mm256_and_si256(_mm256_cmpgt_epi16(zero, hue), Set16(360)));

  const __m256i l2 = _mm256_add_epi16(lightness, k.lightness);
  const __m256i s2 = _mm256_add_epi16(saturation, k.saturation);
  const __m256i grayOut = _mm256_cmpgt_epi16(one, s2);
  const __m256i s3 = _mm256_min_epi16(s2, Set16(255));
  const __m256i m2Low = MultiplyShift<8>(_mm256_add_epi16(s3, Set16(255)), l2);
  const __m256i m2High = _mm256_sub_epi16(_mm256_add_epi16(s3, l2), MultiplyShift<8>(s3, l2));
  const __m256i m2 = Select(_mm256_cmpgt_epi16(c128, l2), m2Low, m2High);
  // Without saturation every channel is L': m1 = L' and no difference to interpolate.
  const __m256i m1 = Select(grayOut, l2, _mm256_sub_epi16(_mm256_add_epi16(l2, l2), m2));
  const __m256i difference = _mm256_andnot_si256(grayOut, _mm256_sub_epi16(m2, m1));
  return {ChannelWithLightness(hue, k.channelOffset[2], m1, difference),
          ChannelWithLightness(hue, k.channelOffset[1], m1, difference),
          ChannelWithLightness(hue, k.channelOffset[0], m1, difference)};
}

// One channel without a lightness offset: m1 + ((2e x w) >> 6) = m1 + ((e x w) >> 5), with the
// hue and the weight w in eighths (w8 = 8w), so that one high-half product (e << 8) x w8 >> 16
// gives it. The angle h is brought to 0..2879 by an unsigned minimum with h less a full turn
// (a negative angle stays negative either way, and is "large" unsigned). The rising and falling
// pieces are min(h, 1920 - h) with the subtraction saturating at 0, which also gives 0 for a
// negative h; the flat piece 480 <= h < 1440 (60 to 179 degrees) is tested as one unsigned
// comparison, by moving h - 480 into the signed range.
ORVEX_ALWAYS_INLINE __m256i Channel(__m256i hue8, __m256i offset8, __m256i offset8LessTurn,
                                    __m256i m1, __m256i e256) {
  const __m256i h =
      _mm256_min_epu16(_mm256_add_epi16(hue8, offset8), _mm256_add_epi16(hue8, offset8LessTurn));
  const __m256i slope = _mm256_min_epu16(h, _mm256_subs_epu16(Set16(1920), h));
  const __m256i flat =
      _mm256_cmpgt_epi16(Set16(-32768 + 960), _mm256_add_epi16(h, Set16(32768 - 480)));
  return _mm256_add_epi16(m1, _mm256_mulhi_epu16(e256, Select(flat, Set16(512), slope)));
}

// trunc(n / d) of eight lanes of floats, d at least 1.
ORVEX_ALWAYS_INLINE __m256i Truncate(__m256 n, __m256 d) {
  return _mm256_cvttps_epi32(_mm256_div_ps(n, d));
}

// The stage on sixteen pixels of 8-bit channels without a lightness offset, in two parts: the
// divisions (Divide_AVX2), and the rest from their quotients (Finish_AVX2). Results are 0..256
// (m2 reaches 256 at S' = L = 255), still to be clamped.
//
// The hue needs only |numerator| = middle - smallest channel, its sign and the sector: with
// g > r, b > g and b > r as G1, G2 and G3, red is largest unless G1 or G3, green when G1 and
// not G2, and the numerator is negative exactly when G1 ^ G2 ^ G3 (where it is zero the sign
// does not matter), ties included.
//
// With m2 - L = e, m1 = L - e and m2 - m1 = 2e: below L = 128, e = ((S' - 1) x L) >> 8; from
// 128 on, e = S' - ((S' x L) >> 8) = ceil(S' x (256 - L) / 256) = (S' x (256 - L) + 255) >> 8.
// Both are (S'' x M + K) >> 8 with M = min(L, 256 - L), S'' = S' - 1 or S', K = 0 or 255;
// S'' clamped at 0 gives e = 0 where S' <= 0, when every channel is L.
template <bool kTurn>
ORVEX_ALWAYS_INLINE Quotients Divide_AVX2(const Channels& in, const Constants& k) {
  const __m256i red = in.red, green = in.green, blue = in.blue;
  const __m256i zero = _mm256_setzero_si256();

  const __m256i maxRG = _mm256_max_epi16(red, green), minRG = _mm256_min_epi16(red, green);
  const __m256i mx = _mm256_max_epi16(maxRG, blue), mn = _mm256_min_epi16(minRG, blue);
  const __m256i middle = _mm256_max_epi16(minRG, _mm256_min_epi16(maxRG, blue));
  const __m256i sum = _mm256_add_epi16(mx, mn);
  const __m256i d = _mm256_sub_epi16(mx, mn);
  // L < 128 exactly when the sum is below 256, where min picks it.
  const __m256i denominator =
      _mm256_max_epi16(_mm256_min_epi16(sum, _mm256_sub_epi16(Set16(510), sum)), Set16(1));
  const __m256i numerator = _mm256_slli_epi16(_mm256_sub_epi16(middle, mn), 6);

  // Both divisions in floats of the zero-extended lanes, low and high halves of each 128-bit
  // lane, so that packing the quotients back restores the lane order. d is the saturation's
  // numerator (times 255, exact) and, at least 1, the hue's divisor.
  const __m256 one = _mm256_set1_ps(1.0f), c255 = _mm256_set1_ps(255.0f);
  const __m256 dLo = _mm256_cvtepi32_ps(_mm256_unpacklo_epi16(d, zero));
  const __m256 dHi = _mm256_cvtepi32_ps(_mm256_unpackhi_epi16(d, zero));
  const __m256i saturation =
      _mm256_packs_epi32(Truncate(_mm256_mul_ps(dLo, c255),
                                  _mm256_cvtepi32_ps(_mm256_unpacklo_epi16(denominator, zero))),
                         Truncate(_mm256_mul_ps(dHi, c255),
                                  _mm256_cvtepi32_ps(_mm256_unpackhi_epi16(denominator, zero))));
  const __m256i quotient = _mm256_packs_epi32(
      Truncate(_mm256_cvtepi32_ps(_mm256_unpacklo_epi16(numerator, zero)), _mm256_max_ps(dLo, one)),
      Truncate(_mm256_cvtepi32_ps(_mm256_unpackhi_epi16(numerator, zero)),
               _mm256_max_ps(dHi, one)));
  const __m256i g1 = _mm256_cmpgt_epi16(green, red), g2 = _mm256_cmpgt_epi16(blue, green),
                g3 = _mm256_cmpgt_epi16(blue, red);
  const __m256i negative = _mm256_xor_si256(_mm256_xor_si256(g1, g2), g3);
  const __m256i redNotLargest = _mm256_or_si256(g1, g3);
  const __m256i greenLargest = _mm256_andnot_si256(g2, g1);
  __m256i sector;
  if constexpr (kTurn) {
    sector = Select(redNotLargest, Select(greenLargest, k.sectorOffset8[1], k.sectorOffset8[2]),
                    k.sectorOffset8[0]);
  } else {
    sector = _mm256_and_si256(redNotLargest, Select(greenLargest, Set16(120 * 8), Set16(240 * 8)));
  }
  return {saturation, quotient, sum, sector, _mm256_or_si256(negative, Set16(1))};
}

// The rest of the stage from what Divide_AVX2 found of the same pixels.
template <bool kTurn>
ORVEX_ALWAYS_INLINE Channels Finish_AVX2(const Quotients& q, const Constants& k) {
  const __m256i zero = _mm256_setzero_si256();
  const __m256i sum = q.sum;
  const __m256i lightness = _mm256_srli_epi16(sum, 1);
  const __m256i saturation = q.saturation, quotient = q.hue;

  const __m256i signedQuotient8 = _mm256_sign_epi16(_mm256_slli_epi16(quotient, 3), q.sign);

  const __m256i s3 = _mm256_min_epi16(_mm256_add_epi16(saturation, k.saturation), Set16(255));
  const __m256i below128 = _mm256_cmpgt_epi16(Set16(256), sum);
  const __m256i s4 = _mm256_max_epi16(_mm256_add_epi16(s3, below128), zero);
  const __m256i m = _mm256_min_epi16(lightness, _mm256_sub_epi16(Set16(256), lightness));
  const __m256i e = _mm256_srli_epi16(
      _mm256_add_epi16(_mm256_mullo_epi16(s4, m), _mm256_andnot_si256(below128, Set16(255))), 8);
  const __m256i m1 = _mm256_sub_epi16(lightness, e);
  const __m256i e256 = _mm256_slli_epi16(e, 8);

  if constexpr (kTurn) {
    // H' = hue + offset taken modulo a turn, from -64..0..64 past the sector's start plus the
    // offset (at most 2880 + 1920 + 512 eighths): whichever of a, a + turn and a - turn is
    // smallest unsigned.
    const __m256i a = _mm256_add_epi16(q.sector, signedQuotient8);
    const __m256i h = _mm256_min_epu16(
        a, _mm256_min_epu16(_mm256_add_epi16(a, Set16(2880)), _mm256_sub_epi16(a, Set16(2880))));
    // The third of the turn H' lies in, and x, its place in that third.
    const __m256i past120 = _mm256_cmpgt_epi16(h, k.c959);
    const __m256i past240 = _mm256_cmpgt_epi16(h, k.c1919);
    const __m256i x = _mm256_add_epi16(
        h, SelectShared(past240, k.cMinus1920, _mm256_and_si256(past120, k.cMinus960)));
    // The channel at angle x has weight x below 60 degrees and 64 from there; the one at x + 120
    // has 64 below 180 and 240 - (x + 120) from there; the one at x + 240 has 0. So one of the
    // first two is m2 and the other m1 + the interpolation at min(x, 120 - x).
    const __m256i between = _mm256_add_epi16(
        m1, _mm256_mulhi_epu16(e256, _mm256_min_epi16(x, _mm256_sub_epi16(k.c960, x))));
    const __m256i m2 = _mm256_add_epi16(lightness, e);
    const __m256i past60 = _mm256_cmpgt_epi16(x, k.c479);
    const __m256i atX = SelectShared(past60, m2, between);
    const __m256i atX120 = SelectShared(past60, between, m2);
    // Green is at H', red at H' + 120 and blue at H' - 120: in the first third green is at x,
    // red at x + 120; in the second blue at x, green at x + 120; in the last red at x, blue at
    // x + 120.
    return {SelectShared(past240, atX120, SelectShared(past120, atX, m1)),
            SelectShared(past240, m1, SelectShared(past120, atX120, atX)),
            SelectShared(past240, atX, SelectShared(past120, m1, atX120))};
  } else {
    __m256i hue8 = _mm256_add_epi16(q.sector, signedQuotient8);
    hue8 = _mm256_min_epu16(hue8, _mm256_add_epi16(hue8, Set16(360 * 8)));
    return {Channel(hue8, k.eighthsOffset[2], k.eighthsOffsetLessTurn[2], m1, e256),
            Channel(hue8, k.eighthsOffset[1], k.eighthsOffsetLessTurn[1], m1, e256),
            Channel(hue8, k.eighthsOffset[0], k.eighthsOffsetLessTurn[0], m1, e256)};
  }
}

// The cores: any offsets; no lightness offset; no lightness offset and a hue offset of 0 or
// more, where every channel's angle can be taken modulo a turn (a negative one is then at
// least -120 degrees, which gives m1 as the angles of 240 to 359 do).
enum class Form { kLightness, kAngles, kTurn };

ORVEX_ALWAYS_INLINE __m256i Load256(const std::uint8_t* p) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}
ORVEX_ALWAYS_INLINE void Store128(std::uint8_t* p, __m128i v) {
  _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
}
ORVEX_ALWAYS_INLINE void Store256(std::uint8_t* p, __m256i v) {
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
}

// Sixteen pixels of four bytes in two registers to 16-bit lanes: pixel i of p0 and pixel i of
// p1 side by side in the lanes of dword i. The arithmetic is the same in every lane, so any
// order serves that JoinQuads undoes; the fourth bytes are dropped.
ORVEX_ALWAYS_INLINE Channels SplitQuads(__m256i p0, __m256i p1) {
  const __m256i low = Set16(0xFF);
  const __m256i blueGreen = _mm256_blend_epi16(p0, _mm256_slli_epi32(p1, 16), 0xAA);
  const __m256i redFourth = _mm256_blend_epi16(_mm256_srli_epi32(p0, 16), p1, 0xAA);
  return {_mm256_and_si256(blueGreen, low), _mm256_srli_epi16(blueGreen, 8),
          _mm256_and_si256(redFourth, low)};
}

// The inverse of SplitQuads from the bytes of eight pixels a lane: blue and green paired in
// `blueGreen`, red with a zero byte in `redZero`; the fourth bytes are 0.
ORVEX_ALWAYS_INLINE void JoinQuadBytes(__m256i blueGreen, __m256i redZero, __m256i* p0,
                                       __m256i* p1) {
  *p0 = _mm256_blend_epi16(blueGreen, _mm256_slli_epi32(redZero, 16), 0xAA);
  *p1 = _mm256_blend_epi16(_mm256_srli_epi32(blueGreen, 16), redZero, 0xAA);
}

// The inverse of SplitQuads, clamping to 0..255 by saturating packs; the fourth bytes are 0.
ORVEX_ALWAYS_INLINE void JoinQuads(const Channels& v, __m256i* p0, __m256i* p1) {
  const __m256i blueRed = _mm256_packus_epi16(v.blue, v.red);  // a lane: 8 blue, 8 red bytes
  const __m256i green = _mm256_packus_epi16(v.green, _mm256_setzero_si256());
  JoinQuadBytes(_mm256_unpacklo_epi8(blueRed, green), _mm256_unpackhi_epi8(blueRed, green), p0, p1);
}

// Two registers of ten-bit words to bytes of the 8-bit values the arithmetic works on, in the
// order of a saturating pack: min(w, 1023) >> 2 is min(w >> 2, 255), and the pack saturates.
ORVEX_ALWAYS_INLINE __m256i NarrowPack(__m256i a, __m256i b) {
  return _mm256_packus_epi16(_mm256_srli_epi16(a, 2), _mm256_srli_epi16(b, 2));
}

// Two 16-byte loads as the lanes of one register.
ORVEX_ALWAYS_INLINE __m256i LoadLanes(const std::uint8_t* low, const std::uint8_t* high) {
  return _mm256_inserti128_si256(
      _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(low))),
      _mm_loadu_si128(reinterpret_cast<const __m128i*>(high)), 1);
}

// Sixteen pixels of three bytes as two registers of four-byte pixels. `a` holds the 48 bytes'
// bytes 0..15 and 12..27 in its lanes, `b` bytes 24..39 and 32..47 (so that nothing past them
// is read): four triples a lane, the last ones four bytes in, which a byte shuffle in each
// lane spreads to four dwords.
ORVEX_ALWAYS_INLINE void TriplesToQuads(__m256i a, __m256i b, __m256i* p0, __m256i* p1) {
  *p0 = _mm256_shuffle_epi8(
      a, _mm256_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1, 0, 1, 2, -1, 3, 4,
                          5, -1, 6, 7, 8, -1, 9, 10, 11, -1));
  *p1 = _mm256_shuffle_epi8(
      b, _mm256_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1, 4, 5, 6, -1, 7, 8,
                          9, -1, 10, 11, 12, -1, 13, 14, 15, -1));
}

// The inverse: two registers of four-byte pixels to the 48 bytes of their triples, bytes 0..31
// in *first and 32..47 in *last.
ORVEX_ALWAYS_INLINE void QuadsToTriples(__m256i p0, __m256i p1, __m256i* first, __m128i* last) {
  const __m256i gather = _mm256_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1, 0,
                                          1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
  const __m256i x = _mm256_shuffle_epi8(p0, gather), y = _mm256_shuffle_epi8(p1, gather);
  *first = _mm256_blend_epi32(
      _mm256_permutevar8x32_epi32(x, _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 0, 0)),
      _mm256_permutevar8x32_epi32(y, _mm256_setr_epi32(0, 0, 0, 0, 0, 0, 0, 1)), 0xC0);
  *last = _mm256_castsi256_si128(
      _mm256_permutevar8x32_epi32(y, _mm256_setr_epi32(2, 4, 5, 6, 0, 0, 0, 0)));
}

// Four pixels of words, keeping the fourth words at d.
ORVEX_ALWAYS_INLINE void StoreKeepingFourth(std::uint8_t* d, __m256i words) {
  Store256(d, _mm256_blend_epi16(words, Load256(d), 0x88));
}

// Four pixels of 8-bit values in words, as ten-bit words, keeping the fourth words at d.
ORVEX_ALWAYS_INLINE void StoreWords(std::uint8_t* d, __m256i bytes) {
  StoreKeepingFourth(d, _mm256_slli_epi16(bytes, 2));
}

// Sixteen pixels of kBytes bytes at s as 16-bit lanes of 8-bit values.
//
// Six bytes: packing words 0..7 with 8..15 and 12..19 with 20..27 gives the bytes
// TriplesToQuads takes from pixels 0..7, words 24..31 with 32..39 and 32..39 with 40..47 those
// of pixels 8..15. Eight bytes: packing two registers of narrowed words gives pixels of four
// bytes (in an order of their own, which Write undoes by unpacking the results with zeros).
template <int kBytes>
ORVEX_ALWAYS_INLINE Channels Read_AVX2(const std::uint8_t* s) {
  __m256i p0, p1;
  if constexpr (kBytes == 3) {
    TriplesToQuads(LoadLanes(s, s + 12), LoadLanes(s + 24, s + 32), &p0, &p1);
  } else if constexpr (kBytes == 4) {
    p0 = Load256(s);
    p1 = Load256(s + 32);
  } else if constexpr (kBytes == 6) {
    TriplesToQuads(NarrowPack(LoadLanes(s, s + 24), LoadLanes(s + 16, s + 40)),
                   NarrowPack(LoadLanes(s + 48, s + 64), LoadLanes(s + 64, s + 80)), &p0, &p1);
  } else {
    p0 = NarrowPack(Load256(s), Load256(s + 32));
    p1 = NarrowPack(Load256(s + 64), Load256(s + 96));
  }
  return SplitQuads(p0, p1);
}

// Sixteen pixels of 8-bit values as SplitQuads had them (high bytes beside them in hi0 and hi1
// for words) to d in the layout Read_AVX2<kBytes> read them from, leaving the fourth bytes or
// words there as they are. Without high bytes, words are the values x 4.
template <int kBytes, bool kHigh = false>
ORVEX_ALWAYS_INLINE void WriteQuads(std::uint8_t* d, __m256i p0, __m256i p1,
                                    __m256i hi0 = _mm256_setzero_si256(),
                                    __m256i hi1 = _mm256_setzero_si256()) {
  if constexpr (kBytes == 3 || kBytes == 6) {
    __m256i first;
    __m128i last;
    QuadsToTriples(p0, p1, &first, &last);
    if constexpr (kBytes == 3) {
      Store256(d, first);
      Store128(d + 32, last);
    } else if constexpr (kHigh) {
      __m256i highFirst;
      __m128i highLast;
      QuadsToTriples(hi0, hi1, &highFirst, &highLast);
      const __m256i lo = _mm256_unpacklo_epi8(first, highFirst);
      const __m256i hi = _mm256_unpackhi_epi8(first, highFirst);
      Store256(d, _mm256_permute2x128_si256(lo, hi, 0x20));
      Store256(d + 32, _mm256_permute2x128_si256(lo, hi, 0x31));
      Store128(d + 64, _mm_unpacklo_epi8(last, highLast));
      Store128(d + 80, _mm_unpackhi_epi8(last, highLast));
    } else {
      Store256(d, _mm256_slli_epi16(_mm256_cvtepu8_epi16(_mm256_castsi256_si128(first)), 2));
      Store256(d + 32,
               _mm256_slli_epi16(_mm256_cvtepu8_epi16(_mm256_extracti128_si256(first, 1)), 2));
      Store256(d + 64, _mm256_slli_epi16(_mm256_cvtepu8_epi16(last), 2));
    }
  } else if constexpr (kBytes == 4) {
    const __m256i fourth = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
    Store256(d, _mm256_blendv_epi8(p0, Load256(d), fourth));
    Store256(d + 32, _mm256_blendv_epi8(p1, Load256(d + 32), fourth));
  } else if constexpr (kHigh) {
    StoreKeepingFourth(d, _mm256_unpacklo_epi8(p0, hi0));
    StoreKeepingFourth(d + 32, _mm256_unpackhi_epi8(p0, hi0));
    StoreKeepingFourth(d + 64, _mm256_unpacklo_epi8(p1, hi1));
    StoreKeepingFourth(d + 96, _mm256_unpackhi_epi8(p1, hi1));
  } else {
    const __m256i zero = _mm256_setzero_si256();
    StoreWords(d, _mm256_unpacklo_epi8(p0, zero));
    StoreWords(d + 32, _mm256_unpackhi_epi8(p0, zero));
    StoreWords(d + 64, _mm256_unpacklo_epi8(p1, zero));
    StoreWords(d + 96, _mm256_unpackhi_epi8(p1, zero));
  }
}

// The results of sixteen pixels read by Read_AVX2<kBytes> to d, leaving the fourth bytes or
// words there as they are.
template <int kBytes>
ORVEX_ALWAYS_INLINE void Write_AVX2(std::uint8_t* d, const Channels& v) {
  __m256i p0, p1;
  JoinQuads(v, &p0, &p1);
  WriteQuads<kBytes>(d, p0, p1);
}

// Groups of sixteen pixels handled together, at most.
constexpr std::size_t kGroupsAtOnce = 8;

// One half of a SteppedTable, in registers while a batch is looked up in it.
struct TableHalf {
  __m256i segment[8];
};

ORVEX_ALWAYS_INLINE void LoadHalf(const std::uint8_t (*half)[32], TableHalf* h) {
#pragma GCC unroll 8
  for (int k = 0; k < 8; ++k) {
    h->segment[k] = _mm256_load_si256(reinterpret_cast<const __m256i*>(half[k]));
  }
}

// The table after the stage for `n` vectors of indices x, in two passes, each with its half of
// the table in registers (the table does not fit them whole beside the work): the lower half,
// then the upper half from the same steps x - 16k, which x's top bit picks, and the high bytes
// of quarters when `kHigh`. `lo` gets the entries' low bytes, `hi` their high bytes.
template <bool kHigh>
ORVEX_ALWAYS_INLINE void LookupBatch(const SteppedTable& t, const __m256i* x, std::size_t n,
                                     __m256i* lo, __m256i* hi) {
  const __m256i sixteen = _mm256_set1_epi8(16);
  TableHalf h;
  LoadHalf(t.lower, &h);
  for (std::size_t v = 0; v < n; ++v) {
    __m256i index = x[v];
    __m256i sum = _mm256_shuffle_epi8(h.segment[0], index);
#pragma GCC unroll 7
    for (int k = 1; k < 8; ++k) {
      index = _mm256_sub_epi8(index, sixteen);
      sum = _mm256_xor_si256(sum, _mm256_shuffle_epi8(h.segment[k], index));
    }
    lo[v] = sum;
  }
  LoadHalf(t.upper, &h);
  const __m256i base = _mm256_set1_epi8(static_cast<char>(t.base));
  const __m256i step0 = _mm256_set1_epi8(t.steps[0]), step1 = _mm256_set1_epi8(t.steps[1]),
                step2 = _mm256_set1_epi8(t.steps[2]);
  for (std::size_t v = 0; v < n; ++v) {
    __m256i index = _mm256_sub_epi8(x[v], sixteen);
    __m256i sum = _mm256_shuffle_epi8(h.segment[0], index);
#pragma GCC unroll 7
    for (int k = 1; k < 8; ++k) {
      index = _mm256_sub_epi8(index, sixteen);
      sum = _mm256_xor_si256(sum, _mm256_shuffle_epi8(h.segment[k], index));
    }
    lo[v] = _mm256_blendv_epi8(lo[v], sum, x[v]);
    if constexpr (kHigh) {
      // The high bytes counted from x - 128 (index now), as the word table's quarter form does.
      __m256i high = _mm256_sub_epi8(base, _mm256_cmpgt_epi8(index, step0));
      high = _mm256_sub_epi8(high, _mm256_cmpgt_epi8(index, step1));
      hi[v] = _mm256_sub_epi8(high, _mm256_cmpgt_epi8(index, step2));
    }
  }
}

// Each channel of two groups' results packed to bytes (the quarters of words), for the table.
ORVEX_ALWAYS_INLINE void PackPair(const Channels& a, const Channels& b, __m256i* x) {
  x[0] = _mm256_packus_epi16(a.blue, b.blue);
  x[1] = _mm256_packus_epi16(a.green, b.green);
  x[2] = _mm256_packus_epi16(a.red, b.red);
}

// Group g (0 or 1) of three channels of two groups packed to bytes, as JoinQuads gives them.
ORVEX_ALWAYS_INLINE void JoinGroupBytes(const __m256i v[3], int g, __m256i* p0, __m256i* p1) {
  const __m256i zero = _mm256_setzero_si256();
  if (g == 0) {
    JoinQuadBytes(_mm256_unpacklo_epi8(v[0], v[1]), _mm256_unpacklo_epi8(v[2], zero), p0, p1);
  } else {
    JoinQuadBytes(_mm256_unpackhi_epi8(v[0], v[1]), _mm256_unpackhi_epi8(v[2], zero), p0, p1);
  }
}

// `groups` groups whose results PackPair put in x (two to each three vectors) through the
// table, to d.
template <int kBytes>
ORVEX_ALWAYS_INLINE void WriteTable_AVX2(std::uint8_t* d, const __m256i* x, std::size_t groups,
                                         const SteppedTable& t) {
  constexpr bool kWide = kBytes > 4;
  __m256i lo[kGroupsAtOnce / 2 * 3], hi[kGroupsAtOnce / 2 * 3];
  LookupBatch<kWide>(t, x, (groups + 1) / 2 * 3, lo, hi);
  for (std::size_t g = 0; g < groups; ++g) {
    const std::size_t v = g / 2 * 3;
    __m256i p0, p1;
    JoinGroupBytes(lo + v, static_cast<int>(g % 2), &p0, &p1);
    if constexpr (kWide) {
      __m256i h0, h1;
      JoinGroupBytes(hi + v, static_cast<int>(g % 2), &h0, &h1);
      WriteQuads<kBytes, true>(d + g * 16 * kBytes, p0, p1, h0, h1);
    } else {
      WriteQuads<kBytes>(d + g * 16 * kBytes, p0, p1);
    }
  }
}

// `groups` groups of sixteen pixels from s to d. Without a lightness offset, the divisions of
// every group first (with what else the pixels give before them) and the rest after, from what
// the first part kept on the stack: one pass through both would keep the processor's queue full
// of work waiting on the divisions, with the next group's independent work stuck behind it.
// Every group is read before any is written, so in place is safe.
// With a table (`t` not null), the results of each two groups are packed channel by channel
// and the batch goes through the table before anything is written.
template <int kBytes, Form kForm>
ORVEX_ALWAYS_INLINE void Groups_AVX2(std::uint8_t* d, const std::uint8_t* s, std::size_t groups,
                                     const Constants& k, const SteppedTable* t) {
  constexpr std::size_t kGroup = 16 * kBytes;
  __m256i x[kGroupsAtOnce / 2 * 3];
  if constexpr (kForm == Form::kLightness) {
    if (t != nullptr) {
      for (std::size_t g = 0; g < groups; g += 2) {
        const Channels a = CoreWithLightness_AVX2(Read_AVX2<kBytes>(s + g * kGroup), k);
        const bool both = g + 1 < groups;
        PackPair(a, both ? CoreWithLightness_AVX2(Read_AVX2<kBytes>(s + (g + 1) * kGroup), k) : a,
                 x + g / 2 * 3);
      }
      WriteTable_AVX2<kBytes>(d, x, groups, *t);
      return;
    }
    for (std::size_t g = 0; g < groups; ++g) {
      Write_AVX2<kBytes>(d + g * kGroup,
                         CoreWithLightness_AVX2(Read_AVX2<kBytes>(s + g * kGroup), k));
    }
  } else {
    constexpr bool kTurn = kForm == Form::kTurn;
    Quotients q[kGroupsAtOnce];
    for (std::size_t g = 0; g < groups; ++g) {
      q[g] = Divide_AVX2<kTurn>(Read_AVX2<kBytes>(s + g * kGroup), k);
    }
    if (t != nullptr) {
      for (std::size_t g = 0; g < groups; g += 2) {
        const Channels a = Finish_AVX2<kTurn>(q[g], k);
        const bool both = g + 1 < groups;
        PackPair(a, both ? Finish_AVX2<kTurn>(q[g + 1], k) : a, x + g / 2 * 3);
      }
      WriteTable_AVX2<kBytes>(d, x, groups, *t);
      return;
    }
    for (std::size_t g = 0; g < groups; ++g) {
      Write_AVX2<kBytes>(d + g * kGroup, Finish_AVX2<kTurn>(q[g], k));
    }
  }
}

template <int kBytes, Form kForm, bool kTable>
void Rows_AVX2(const KernelCall& call, const HueSaturationOffsets& offsets,
               const SteppedTable* table) {
  const SteppedTable* t = kTable ? table : nullptr;
  Constants k;
  const int angle[3] = {offsets.hue + 120, offsets.hue, offsets.hue - 120};
  for (int c = 0; c < 3; ++c) {
    const int offset = angle[c] >= 0 ? angle[c] % 360 : angle[c];
    k.channelOffset[c] = Set16(offset);
    k.eighthsOffset[c] = Set16(8 * offset);
    k.eighthsOffsetLessTurn[c] = Set16(8 * (offset - 360));
  }
  for (int c = 0; c < 3; ++c) k.sectorOffset8[c] = Set16(8 * (offsets.hue % 360 + 120 * c));
  k.c479 = Opaque(Set16(479));
  k.c959 = Opaque(Set16(959));
  k.c960 = Opaque(Set16(960));
  k.c1919 = Opaque(Set16(1919));
  k.cMinus960 = Opaque(Set16(-960));
  k.cMinus1920 = Opaque(Set16(-1920));
  k.lightness = Set16(offsets.lightness);
  k.saturation = Set16(offsets.saturation);
  constexpr std::size_t kGroup = 16 * kBytes;
  const std::size_t rowBytes = kBytes * static_cast<std::size_t>(call.width);
  for (std::int32_t j = 0; j < call.height; ++j) {
    const std::uint8_t* s = call.SourceRow(j);
    std::uint8_t* d = call.DestinationRow(j);
    std::size_t i = 0;
    while (i + kGroup <= rowBytes) {
      const std::size_t groups = std::min(kGroupsAtOnce, (rowBytes - i) / kGroup);
      Groups_AVX2<kBytes, kForm>(d + i, s + i, groups, k, t);
      i += groups * kGroup;
    }
    if (i < rowBytes) {
      // The last pixels through a buffer of sixteen, so that nothing past the row is touched.
      alignas(32) std::uint8_t source[kGroup] = {};
      alignas(32) std::uint8_t destination[kGroup] = {};
      std::memcpy(source, s + i, rowBytes - i);
      std::memcpy(destination, d + i, rowBytes - i);
      Groups_AVX2<kBytes, kForm>(destination, source, 1, k, t);
      std::memcpy(d + i, destination, rowBytes - i);
    }
  }
}

ORVEX_TARGET_END

template <bool kTable>
bool Dispatch(const KernelCall& call, const HueSaturationOffsets& offsets, bool wide,
              const SteppedTable* table) {
  using Rows = void (*)(const KernelCall&, const HueSaturationOffsets&, const SteppedTable*);
  struct Forms {
    Rows bytes3, bytes4, bytes6, bytes8;
  };
  auto forms = []<Form kForm>() {
    return Forms{&Rows_AVX2<3, kForm, kTable>, &Rows_AVX2<4, kForm, kTable>,
                 &Rows_AVX2<6, kForm, kTable>, &Rows_AVX2<8, kForm, kTable>};
  };
  const Forms f = offsets.lightness != 0 ? forms.template operator()<Form::kLightness>()
                  : offsets.hue >= 0     ? forms.template operator()<Form::kTurn>()
                                         : forms.template operator()<Form::kAngles>();
  const std::int32_t bytes = call.sourceBytes;
  Rows rows = nullptr;
  if (wide) {
    rows = bytes == 6 ? f.bytes6 : bytes == 8 ? f.bytes8 : nullptr;
  } else {
    rows = bytes == 3 ? f.bytes3 : bytes == 4 ? f.bytes4 : nullptr;
  }
  if (rows == nullptr) return false;
  rows(call, offsets, table);
  return true;
}

}  // namespace

bool HueSaturationRows_AVX2(const KernelCall& call, const HueSaturationOffsets& offsets,
                            bool wide) {
  return Dispatch<false>(call, offsets, wide, nullptr);
}

bool HueSaturationTableRows_AVX2(const KernelCall& call, const HueSaturationOffsets& offsets,
                                 bool wide, const SteppedTable& table) {
  return Dispatch<true>(call, offsets, wide, &table);
}

}  // namespace orvex::filters

#endif  // ORVEX_X86
