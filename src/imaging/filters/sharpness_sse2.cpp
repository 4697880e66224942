// The sharpness rows with SSE2: 8 words or 16 bytes a step.

#include <cstdint>

#include "imaging/filters/sharpness_rows.h"

#if ORVEX_X86
#include <immintrin.h>

namespace orvex::filters {

ORVEX_TARGET_BEGIN("sse2")

namespace {

// The chunks of a row (sharpness_rows.h), the tail's step a second copy of the loop body; a
// step that is not the same when repeated gives the tail one that is.
template <int kChunk, class Step, class Tail>
ORVEX_ALWAYS_INLINE void ForEachChunk(int begin, int end, Step step, Tail tail) {
  int p = begin;
  for (; p + kChunk <= end; p += kChunk) step(p);
  if (p < end) tail(end - kChunk);
}
template <int kChunk, class Step>
ORVEX_ALWAYS_INLINE void ForEachChunk(int begin, int end, Step step) {
  ForEachChunk<kChunk>(begin, end, step, step);
}

inline __m128i Load10_SSE2(const std::uint8_t* p) {
  const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  return _mm_sub_epi16(v, _mm_subs_epu16(v, _mm_set1_epi16(kMax16)));
}

// clamp(o + (s x (o - b)) / 10) for 16-bit lanes, with hs the 16-value sums; the tenth as
// sharpness_rows.h says.
inline __m128i SharpenLanes_SSE2(__m128i o, __m128i hs, __m128i s, __m128i full) {
  const __m128i b = _mm_srli_epi16(hs, 4);
  const __m128i product = _mm_mullo_epi16(_mm_sub_epi16(o, b), s);
  const __m128i q =
      _mm_sub_epi16(_mm_srai_epi16(_mm_mulhi_epi16(product, _mm_set1_epi16(kTenthMultiplier)), 2),
                    _mm_srai_epi16(product, 15));
  const __m128i v = _mm_max_epi16(_mm_add_epi16(o, q), _mm_setzero_si128());
  return _mm_min_epi16(v, full);
}

inline __m128i HorizontalSum_SSE2(const std::uint16_t* v, int p, int e) {
  const __m128i* a = reinterpret_cast<const __m128i*>(v + p - 2 * e);
  const __m128i* b = reinterpret_cast<const __m128i*>(v + p - e);
  const __m128i* c = reinterpret_cast<const __m128i*>(v + p);
  const __m128i* d = reinterpret_cast<const __m128i*>(v + p + e);
  return _mm_add_epi16(_mm_add_epi16(_mm_loadu_si128(a), _mm_loadu_si128(b)),
                       _mm_add_epi16(_mm_loadu_si128(c), _mm_loadu_si128(d)));
}

// Keeps the destination's fourth element of every pixel.
inline __m128i KeepFourth_SSE2(__m128i computed, const std::uint8_t* destination, __m128i mask) {
  const __m128i kept = _mm_loadu_si128(reinterpret_cast<const __m128i*>(destination));
  return _mm_or_si128(_mm_and_si128(mask, kept), _mm_andnot_si128(mask, computed));
}

// The stage after sharpness on sharpened lanes (0..full), as SampleScale::Apply computes it.
struct ScaleLanes_SSE2 {
  __m128i up, down, multiplier, full;

  explicit ScaleLanes_SSE2(const SampleScale* scale)
      : up(_mm_cvtsi32_si128(scale ? scale->up : 0)),
        down(_mm_cvtsi32_si128(scale ? scale->down : 0)),
        multiplier(_mm_set1_epi16(static_cast<short>(scale ? scale->multiplier : 0))),
        full(_mm_set1_epi16(static_cast<short>(scale ? scale->full : 0))) {}

  __m128i Apply(__m128i v) const {
    const __m128i r = _mm_srl_epi16(_mm_mulhi_epu16(_mm_sll_epi16(v, up), multiplier), down);
    return _mm_sub_epi16(r, _mm_subs_epu16(r, full));
  }
};

// Moving the sums on a row is not the same when repeated, so the overlapping tail sums anew.
template <bool kWide>
void VerticalSums_SSE2(const RowJob& job) {
  std::uint16_t* sums = job.sums;
  const int n = job.elements;
  const std::uint8_t* dropped = job.dropped;
  if (n < (kWide ? 8 : 16)) {
    VerticalSum_C<kWide>(job, 0, n);
    return;
  }
  if constexpr (kWide) {
    const auto step = [&](int p, bool moving) ORVEX_INLINE_STEP {
      __m128i* at = reinterpret_cast<__m128i*>(sums + p);
      __m128i sum;
      if (moving) {
        sum = _mm_sub_epi16(_mm_add_epi16(_mm_loadu_si128(at), Load10_SSE2(job.rows[3] + 2 * p)),
                            Load10_SSE2(dropped + 2 * p));
      } else {
        sum = _mm_add_epi16(
            _mm_add_epi16(Load10_SSE2(job.rows[0] + 2 * p), Load10_SSE2(job.rows[1] + 2 * p)),
            _mm_add_epi16(Load10_SSE2(job.rows[2] + 2 * p), Load10_SSE2(job.rows[3] + 2 * p)));
      }
      _mm_storeu_si128(at, sum);
    };
    ForEachChunk<8>(
        0, n, [&](int p) ORVEX_INLINE_STEP { step(p, dropped != nullptr); },
        [&](int p) ORVEX_INLINE_STEP { step(p, false); });
  } else {
    const __m128i zero = _mm_setzero_si128();
    const auto step = [&](int p, bool moving) ORVEX_INLINE_STEP {
      __m128i* at = reinterpret_cast<__m128i*>(sums + p);
      __m128i lo = zero, hi = zero;
      const auto add = [&](const std::uint8_t* row) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + p));
        lo = _mm_add_epi16(lo, _mm_unpacklo_epi8(v, zero));
        hi = _mm_add_epi16(hi, _mm_unpackhi_epi8(v, zero));
      };
      if (moving) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dropped + p));
        lo = _mm_sub_epi16(_mm_loadu_si128(at), _mm_unpacklo_epi8(v, zero));
        hi = _mm_sub_epi16(_mm_loadu_si128(at + 1), _mm_unpackhi_epi8(v, zero));
        add(job.rows[3]);
      } else {
        for (const std::uint8_t* row : job.rows) add(row);
      }
      _mm_storeu_si128(at, lo);
      _mm_storeu_si128(at + 1, hi);
    };
    ForEachChunk<16>(
        0, n, [&](int p) ORVEX_INLINE_STEP { step(p, dropped != nullptr); },
        [&](int p) ORVEX_INLINE_STEP { step(p, false); });
  }
}

template <bool kWide, bool kScaled>
void SharpenRow_SSE2(const RowJob& job, const SharpenTable& table) {
  const int e = job.e;
  const std::uint16_t* sums = job.sums;
  const int begin = 2 * e, end = job.elements - 2 * e;
  const __m128i s = _mm_set1_epi16(static_cast<short>(table.s));
  const __m128i full = _mm_set1_epi16(static_cast<short>(table.full));
  const ScaleLanes_SSE2 scale(job.scale);
  const auto sharpen = [&](__m128i o, int p) ORVEX_INLINE_STEP {
    const __m128i v = SharpenLanes_SSE2(o, HorizontalSum_SSE2(sums, p, e), s, full);
    return kScaled ? scale.Apply(v) : v;
  };
  if constexpr (kWide) {
    const __m128i mask = _mm_set_epi16(-1, 0, 0, 0, -1, 0, 0, 0);
    if (end - begin < 8) {
      Sharpen_C<true>(job, table, begin, end);
      return;
    }
    ForEachChunk<8>(begin, end, [&](int p) ORVEX_INLINE_STEP {
      __m128i r = sharpen(Load10_SSE2(job.source + 2 * p), p);
      if (e == 4) r = KeepFourth_SSE2(r, job.destination + 2 * p, mask);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(job.destination + 2 * p), r);
    });
  } else {
    const __m128i zero = _mm_setzero_si128();
    const __m128i mask = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    if (end - begin < 16) {
      Sharpen_C<false>(job, table, begin, end);
      return;
    }
    ForEachChunk<16>(begin, end, [&](int p) ORVEX_INLINE_STEP {
      const __m128i o = _mm_loadu_si128(reinterpret_cast<const __m128i*>(job.source + p));
      const __m128i lo = sharpen(_mm_unpacklo_epi8(o, zero), p);
      const __m128i hi = sharpen(_mm_unpackhi_epi8(o, zero), p + 8);
      __m128i r = _mm_packus_epi16(lo, hi);
      if (e == 4) r = KeepFourth_SSE2(r, job.destination + p, mask);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(job.destination + p), r);
    });
  }
}

}  // namespace

template <bool kWide>
ORVEX_ALIGN_STACK void SharpnessRow_SSE2(const RowJob& job, const SharpenTable& table) {
  VerticalSums_SSE2<kWide>(job);
  if (job.scale != nullptr) {
    SharpenRow_SSE2<kWide, true>(job, table);
  } else {
    SharpenRow_SSE2<kWide, false>(job, table);
  }
}

template void SharpnessRow_SSE2<false>(const RowJob& job, const SharpenTable& table);
template void SharpnessRow_SSE2<true>(const RowJob& job, const SharpenTable& table);

ORVEX_TARGET_END

}  // namespace orvex::filters

#endif  // ORVEX_X86
