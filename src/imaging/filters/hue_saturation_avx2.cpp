// The hue and saturation stage with AVX2. Sixteen pixels a step, in 16-bit lanes: every
// intermediate value fits 16 bits once the offsets are normalised, and products that do not are
// shifted down from their full 32-bit value. The two divisions are single-precision divisions,
// truncated: numerators are integers below 2^16 (exact in a float), quotients are below 256,
// and a quotient that is not an integer lies at least 1/255 below the next one, far more than
// the division's rounding error of at most 2^-17; an integer quotient is exact.

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "imaging/filters/filter_common.h"
#include "imaging/filters/hue_saturation.h"

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
  __m256i lightness, saturation;
};

struct Channels {
  __m256i blue, green, red;  // 16-bit lanes
};

ORVEX_ALWAYS_INLINE __m256i Select(__m256i mask, __m256i ifTrue, __m256i ifFalse) {
  return _mm256_blendv_epi8(ifFalse, ifTrue, mask);
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

// (a x b) >> shift where the product is known to fit 16 bits unsigned: with no lightness
// offset, L' is 0..255 and S' (where it counts) 1..255, so (S' + 255) x L' below 128, S' x L'
// and (m2 - m1) x w (0..254 times 0..64) all do.
template <int kShift, bool kWideProducts>
ORVEX_ALWAYS_INLINE __m256i ProductShift(__m256i a, __m256i b) {
  if constexpr (kWideProducts) {
    return MultiplyShift<kShift>(a, b);
  } else {
    return _mm256_srli_epi16(_mm256_mullo_epi16(a, b), kShift);
  }
}

// m1 + (((m2 - m1) x w) >> 6) with w the weight in 64ths at the channel's angle: the rising,
// flat and falling pieces of the rule as one interpolation (64/64 is m2 exactly, 0 is m1). A
// negative angle gets weight 0.
template <bool kWideProducts>
ORVEX_ALWAYS_INLINE __m256i ChannelAt(__m256i hue, __m256i offset, __m256i m1, __m256i difference) {
  __m256i h = _mm256_add_epi16(hue, offset);
  h = _mm256_sub_epi16(h, _mm256_and_si256(_mm256_cmpgt_epi16(h, Set16(359)), Set16(360)));
  __m256i w = _mm256_min_epi16(h, _mm256_sub_epi16(Set16(240), h));
  w = _mm256_max_epi16(w, _mm256_setzero_si256());
  const __m256i flat =
      _mm256_and_si256(_mm256_cmpgt_epi16(h, Set16(59)), _mm256_cmpgt_epi16(Set16(180), h));
  w = Select(flat, Set16(64), w);
  return _mm256_add_epi16(m1, ProductShift<6, kWideProducts>(difference, w));
}

// The stage on sixteen pixels of 8-bit channels; results are still to be clamped to 0..255.
// kWideProducts: a lightness offset may take L' outside 0..255 (see ProductShift).
template <bool kWideProducts>
ORVEX_ALWAYS_INLINE Channels Core_AVX2(const Channels& in, const Constants& k) {
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
  const __m256i m2Low = ProductShift<8, kWideProducts>(_mm256_add_epi16(s3, Set16(255)), l2);
  const __m256i m2High =
      _mm256_sub_epi16(_mm256_add_epi16(s3, l2), ProductShift<8, kWideProducts>(s3, l2));
  const __m256i m2 = Select(_mm256_cmpgt_epi16(c128, l2), m2Low, m2High);
  // Without saturation every channel is L': m1 = L' and no difference to interpolate.
  const __m256i m1 = Select(grayOut, l2, _mm256_sub_epi16(_mm256_add_epi16(l2, l2), m2));
  const __m256i difference = _mm256_andnot_si256(grayOut, _mm256_sub_epi16(m2, m1));
  return {ChannelAt<kWideProducts>(hue, k.channelOffset[2], m1, difference),
          ChannelAt<kWideProducts>(hue, k.channelOffset[1], m1, difference),
          ChannelAt<kWideProducts>(hue, k.channelOffset[0], m1, difference)};
}

ORVEX_ALWAYS_INLINE __m128i Load128(const std::uint8_t* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}
ORVEX_ALWAYS_INLINE __m256i Load256(const std::uint8_t* p) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}
ORVEX_ALWAYS_INLINE void Store128(std::uint8_t* p, __m128i v) {
  _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
}
ORVEX_ALWAYS_INLINE void Store256(std::uint8_t* p, __m256i v) {
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
}

// Byte shuffles between 48 bytes of blue, green, red triples and three planes of 16 bytes:
// kSplit[c][k] picks plane c's bytes from block k, kJoin[k][c] block k's bytes from plane c.
struct Shuffles {
  alignas(16) std::int8_t split[3][3][16];
  alignas(16) std::int8_t join[3][3][16];
};

constexpr Shuffles MakeShuffles() {
  Shuffles t{};
  for (int c = 0; c < 3; ++c) {
    for (int k = 0; k < 3; ++k) {
      for (int p = 0; p < 16; ++p) {
        const int from = 3 * p + c;
        t.split[c][k][p] = static_cast<std::int8_t>(from / 16 == k ? from % 16 : -1);
        const int to = 16 * k + p;
        t.join[k][c][p] = static_cast<std::int8_t>(to % 3 == c ? to / 3 : -1);
      }
    }
  }
  return t;
}

constexpr Shuffles kShuffles = MakeShuffles();

ORVEX_ALWAYS_INLINE __m128i Shuffle(__m128i v, const std::int8_t* mask) {
  return _mm_shuffle_epi8(v, _mm_load_si128(reinterpret_cast<const __m128i*>(mask)));
}

ORVEX_ALWAYS_INLINE Channels SplitTriples(const __m128i block[3]) {
  __m128i plane[3];
  for (int c = 0; c < 3; ++c) {
    plane[c] = _mm_or_si128(_mm_or_si128(Shuffle(block[0], kShuffles.split[c][0]),
                                         Shuffle(block[1], kShuffles.split[c][1])),
                            Shuffle(block[2], kShuffles.split[c][2]));
  }
  return {_mm256_cvtepu8_epi16(plane[0]), _mm256_cvtepu8_epi16(plane[1]),
          _mm256_cvtepu8_epi16(plane[2])};
}

// Clamps to 0..255 (by saturating packs) and returns the planes blue, green, red.
ORVEX_ALWAYS_INLINE void Planes(const Channels& v, __m128i plane[3]) {
  const __m256i bg = _mm256_permute4x64_epi64(_mm256_packus_epi16(v.blue, v.green), 0xD8);
  const __m256i rr = _mm256_permute4x64_epi64(_mm256_packus_epi16(v.red, v.red), 0xD8);
  plane[0] = _mm256_castsi256_si128(bg);
  plane[1] = _mm256_extracti128_si256(bg, 1);
  plane[2] = _mm256_castsi256_si128(rr);
}

ORVEX_ALWAYS_INLINE void JoinTriples(const Channels& v, __m128i block[3]) {
  __m128i plane[3];
  Planes(v, plane);
  for (int k = 0; k < 3; ++k) {
    block[k] = _mm_or_si128(_mm_or_si128(Shuffle(plane[0], kShuffles.join[k][0]),
                                         Shuffle(plane[1], kShuffles.join[k][1])),
                            Shuffle(plane[2], kShuffles.join[k][2]));
  }
}

// Sixteen pixels of four bytes in two registers; the fourth bytes are dropped.
ORVEX_ALWAYS_INLINE Channels SplitQuads(__m256i p0, __m256i p1) {
  const __m256i byte = _mm256_set1_epi32(0xFF);
  const __m256i b = _mm256_packus_epi32(_mm256_and_si256(p0, byte), _mm256_and_si256(p1, byte));
  const __m256i g = _mm256_packus_epi32(_mm256_and_si256(_mm256_srli_epi32(p0, 8), byte),
                                        _mm256_and_si256(_mm256_srli_epi32(p1, 8), byte));
  const __m256i r = _mm256_packus_epi32(_mm256_and_si256(_mm256_srli_epi32(p0, 16), byte),
                                        _mm256_and_si256(_mm256_srli_epi32(p1, 16), byte));
  return {_mm256_permute4x64_epi64(b, 0xD8), _mm256_permute4x64_epi64(g, 0xD8),
          _mm256_permute4x64_epi64(r, 0xD8)};
}

// Sixteen pixels of four bytes, blue, green, red and a zero fourth byte, in two registers.
ORVEX_ALWAYS_INLINE void JoinQuads(const Channels& v, __m256i* p0, __m256i* p1) {
  __m128i plane[3];
  Planes(v, plane);
  const __m128i zero = _mm_setzero_si128();
  const __m128i bgLo = _mm_unpacklo_epi8(plane[0], plane[1]);
  const __m128i bgHi = _mm_unpackhi_epi8(plane[0], plane[1]);
  const __m128i rLo = _mm_unpacklo_epi8(plane[2], zero);
  const __m128i rHi = _mm_unpackhi_epi8(plane[2], zero);
  *p0 = _mm256_setr_m128i(_mm_unpacklo_epi16(bgLo, rLo), _mm_unpackhi_epi16(bgLo, rLo));
  *p1 = _mm256_setr_m128i(_mm_unpacklo_epi16(bgHi, rHi), _mm_unpackhi_epi16(bgHi, rHi));
}

// Ten-bit words to the 8-bit values the arithmetic works on.
ORVEX_ALWAYS_INLINE __m128i Narrow(__m128i words) {
  return _mm_srli_epi16(_mm_min_epu16(words, _mm_set1_epi16(kMax16)), 2);
}
ORVEX_ALWAYS_INLINE __m256i Narrow(__m256i words) {
  return _mm256_srli_epi16(_mm256_min_epu16(words, _mm256_set1_epi16(kMax16)), 2);
}

// Sixteen pixels from s to d, for each pixel size.
template <bool kWideProducts>
ORVEX_ALWAYS_INLINE void Step3_AVX2(std::uint8_t* d, const std::uint8_t* s, const Constants& k) {
  __m128i block[3] = {Load128(s), Load128(s + 16), Load128(s + 32)};
  const Channels out = Core_AVX2<kWideProducts>(SplitTriples(block), k);
  JoinTriples(out, block);
  for (int i = 0; i < 3; ++i) Store128(d + 16 * i, block[i]);
}

template <bool kWideProducts>
ORVEX_ALWAYS_INLINE void Step4_AVX2(std::uint8_t* d, const std::uint8_t* s, const Constants& k) {
  const Channels out = Core_AVX2<kWideProducts>(SplitQuads(Load256(s), Load256(s + 32)), k);
  __m256i p0, p1;
  JoinQuads(out, &p0, &p1);
  const __m256i fourth = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
  Store256(d, _mm256_or_si256(p0, _mm256_and_si256(Load256(d), fourth)));
  Store256(d + 32, _mm256_or_si256(p1, _mm256_and_si256(Load256(d + 32), fourth)));
}

template <bool kWideProducts>
ORVEX_ALWAYS_INLINE void Step6_AVX2(std::uint8_t* d, const std::uint8_t* s, const Constants& k) {
  __m128i block[3];
  for (int i = 0; i < 3; ++i) {
    block[i] = _mm_packus_epi16(Narrow(Load128(s + 32 * i)), Narrow(Load128(s + 32 * i + 16)));
  }
  const Channels out = Core_AVX2<kWideProducts>(SplitTriples(block), k);
  JoinTriples(out, block);
  for (int i = 0; i < 3; ++i) {
    Store256(d + 32 * i, _mm256_slli_epi16(_mm256_cvtepu8_epi16(block[i]), 2));
  }
}

template <bool kWideProducts>
ORVEX_ALWAYS_INLINE void Step8_AVX2(std::uint8_t* d, const std::uint8_t* s, const Constants& k) {
  const __m256i p0 = _mm256_permute4x64_epi64(
      _mm256_packus_epi16(Narrow(Load256(s)), Narrow(Load256(s + 32))), 0xD8);
  const __m256i p1 = _mm256_permute4x64_epi64(
      _mm256_packus_epi16(Narrow(Load256(s + 64)), Narrow(Load256(s + 96))), 0xD8);
  const Channels out = Core_AVX2<kWideProducts>(SplitQuads(p0, p1), k);
  __m256i q[2];
  JoinQuads(out, &q[0], &q[1]);
  const __m256i fourth = _mm256_set1_epi64x(static_cast<long long>(0xFFFF000000000000ull));
  for (int i = 0; i < 4; ++i) {
    const __m128i part =
        (i & 1) == 0 ? _mm256_castsi256_si128(q[i / 2]) : _mm256_extracti128_si256(q[i / 2], 1);
    const __m256i words = _mm256_slli_epi16(_mm256_cvtepu8_epi16(part), 2);
    Store256(d + 32 * i, _mm256_blendv_epi8(words, Load256(d + 32 * i), fourth));
  }
}

using Step = void (*)(std::uint8_t*, const std::uint8_t*, const Constants&);

template <Step kStep>
void Rows_AVX2(const KernelCall& call, const HueSaturationOffsets& offsets) {
  Constants k;
  const int angle[3] = {offsets.hue + 120, offsets.hue, offsets.hue - 120};
  for (int c = 0; c < 3; ++c) k.channelOffset[c] = Set16(angle[c] >= 0 ? angle[c] % 360 : angle[c]);
  k.lightness = Set16(offsets.lightness);
  k.saturation = Set16(offsets.saturation);
  const std::size_t bytes = static_cast<std::size_t>(call.sourceBytes);
  const std::size_t rowBytes = bytes * static_cast<std::size_t>(call.width);
  for (std::int32_t j = 0; j < call.height; ++j) {
    const std::uint8_t* s = call.SourceRow(j);
    std::uint8_t* d = call.DestinationRow(j);
    std::size_t i = 0;
    for (; i + 16 * bytes <= rowBytes; i += 16 * bytes) kStep(d + i, s + i, k);
    if (i < rowBytes) {
      // The last pixels through a buffer of sixteen, so that nothing past the row is touched.
      alignas(32) std::uint8_t source[128] = {};
      alignas(32) std::uint8_t destination[128] = {};
      std::memcpy(source, s + i, rowBytes - i);
      std::memcpy(destination, d + i, rowBytes - i);
      kStep(destination, source, k);
      std::memcpy(d + i, destination, rowBytes - i);
    }
  }
}

ORVEX_TARGET_END

}  // namespace

bool HueSaturationRows_AVX2(const KernelCall& call, const HueSaturationOffsets& offsets,
                            bool wide) {
  using Rows = void (*)(const KernelCall&, const HueSaturationOffsets&);
  const std::int32_t bytes = call.sourceBytes;
  Rows rows = nullptr;
  if (offsets.lightness == 0) {
    if (wide) {
      rows = bytes == 6   ? &Rows_AVX2<Step6_AVX2<false>>
             : bytes == 8 ? &Rows_AVX2<Step8_AVX2<false>>
                          : nullptr;
    } else {
      rows = bytes == 3   ? &Rows_AVX2<Step3_AVX2<false>>
             : bytes == 4 ? &Rows_AVX2<Step4_AVX2<false>>
                          : nullptr;
    }
  } else if (wide) {
    rows = bytes == 6   ? &Rows_AVX2<Step6_AVX2<true>>
           : bytes == 8 ? &Rows_AVX2<Step8_AVX2<true>>
                        : nullptr;
  } else {
    rows = bytes == 3   ? &Rows_AVX2<Step3_AVX2<true>>
           : bytes == 4 ? &Rows_AVX2<Step4_AVX2<true>>
                        : nullptr;
  }
  if (rows == nullptr) return false;
  rows(call, offsets);
  return true;
}

}  // namespace orvex::filters

#endif  // ORVEX_X86
