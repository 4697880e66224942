// The sharpness rows with AVX2: 16 words or 32 bytes a step.

#include <cstdint>

#include "imaging/filters/sharpness_rows.h"

#if ORVEX_X86
#include <immintrin.h>

namespace orvex::filters {

ORVEX_TARGET_BEGIN("avx2")

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

inline __m256i Load10_AVX2(const std::uint8_t* p) {
  const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
  return _mm256_min_epu16(v, _mm256_set1_epi16(kMax16));
}

inline __m256i Widen_AVX2(const std::uint8_t* p) {
  return _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
}

// trunc(x / 10) (sharpness_rows.h).
template <bool kShortTenth>
inline __m256i Tenth_AVX2(__m256i x) {
  __m256i q;
  if constexpr (kShortTenth) {
    q = _mm256_mulhi_epi16(x, _mm256_set1_epi16(kShortTenthMultiplier));
  } else {
    q = _mm256_srai_epi16(_mm256_mulhi_epi16(x, _mm256_set1_epi16(kTenthMultiplier)), 2);
  }
  return _mm256_sub_epi16(q, _mm256_srai_epi16(x, 15));
}

// o + (s x (o - b)) / 10 for 16-bit lanes, with hs the 16-value sums; limited to 0..full unless
// a pack to bytes does that after.
template <bool kShortTenth, bool kLimit>
inline __m256i SharpenLanes_AVX2(__m256i o, __m256i hs, __m256i s, __m256i full) {
  const __m256i b = _mm256_srli_epi16(hs, 4);
  const __m256i v =
      _mm256_add_epi16(o, Tenth_AVX2<kShortTenth>(_mm256_mullo_epi16(_mm256_sub_epi16(o, b), s)));
  if constexpr (!kLimit) return v;
  return _mm256_min_epi16(_mm256_max_epi16(v, _mm256_setzero_si256()), full);
}

inline __m256i HorizontalSum_AVX2(const std::uint16_t* v, int p, int e) {
  const __m256i* a = reinterpret_cast<const __m256i*>(v + p - 2 * e);
  const __m256i* b = reinterpret_cast<const __m256i*>(v + p - e);
  const __m256i* c = reinterpret_cast<const __m256i*>(v + p);
  const __m256i* d = reinterpret_cast<const __m256i*>(v + p + e);
  return _mm256_add_epi16(_mm256_add_epi16(_mm256_loadu_si256(a), _mm256_loadu_si256(b)),
                          _mm256_add_epi16(_mm256_loadu_si256(c), _mm256_loadu_si256(d)));
}

inline __m256i KeepFourth_AVX2(__m256i computed, const std::uint8_t* destination, __m256i mask) {
  const __m256i kept = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(destination));
  return _mm256_blendv_epi8(computed, kept, mask);
}

enum class Scaled { kNo, kUp, kDown };

// The stage after sharpness on sharpened lanes (0..full), as SampleScale::Apply computes it with
// one of its shifts 0; what it gives stays below 32768, so that the pack to bytes limits it.
template <Scaled kScaled, bool kWide>
struct ScaleLanes_AVX2 {
  __m128i shift;
  __m256i multiplier, full;

  explicit ScaleLanes_AVX2(const SampleScale* scale)
      : shift(_mm_cvtsi32_si128(!scale                   ? 0
                                : kScaled == Scaled::kUp ? scale->up
                                                         : scale->down)),
        multiplier(_mm256_set1_epi16(static_cast<short>(scale ? scale->multiplier : 0))),
        full(_mm256_set1_epi16(static_cast<short>(scale ? scale->full : 0))) {}

  __m256i Apply(__m256i v) const {
    __m256i r;
    if constexpr (kScaled == Scaled::kNo) {
      return v;
    } else if constexpr (kScaled == Scaled::kUp) {
      r = _mm256_mulhi_epu16(_mm256_sll_epi16(v, shift), multiplier);
    } else {
      r = _mm256_srl_epi16(_mm256_mulhi_epu16(v, multiplier), shift);
    }
    return kWide ? _mm256_min_epi16(r, full) : r;
  }
};

template <bool kWide>
inline __m256i LoadLanes_AVX2(const std::uint8_t* row, int p) {
  if constexpr (kWide) {
    return Load10_AVX2(row + 2 * p);
  } else {
    return Widen_AVX2(row + p);
  }
}

template <bool kWide, bool kSlide>
void VerticalSums_AVX2(const RowJob& job) {
  std::uint16_t* sums = job.sums;
  const int n = job.elements;
  if (n < 16) {
    VerticalSum_C<kWide>(job, 0, n);
    return;
  }
  const std::uint8_t *r0 = job.rows[0], *r1 = job.rows[1], *r2 = job.rows[2], *r3 = job.rows[3];
  const std::uint8_t* dropped = job.dropped;
  // Moving the sums on a row is not the same when repeated, so the overlapping tail sums anew.
  const auto sum = [&](int p) ORVEX_INLINE_STEP {
    const __m256i v = _mm256_add_epi16(
        _mm256_add_epi16(LoadLanes_AVX2<kWide>(r0, p), LoadLanes_AVX2<kWide>(r1, p)),
        _mm256_add_epi16(LoadLanes_AVX2<kWide>(r2, p), LoadLanes_AVX2<kWide>(r3, p)));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(sums + p), v);
  };
  const auto slide = [&](int p) ORVEX_INLINE_STEP {
    __m256i* at = reinterpret_cast<__m256i*>(sums + p);
    const __m256i v = _mm256_add_epi16(_mm256_loadu_si256(at), LoadLanes_AVX2<kWide>(r3, p));
    _mm256_storeu_si256(at, _mm256_sub_epi16(v, LoadLanes_AVX2<kWide>(dropped, p)));
  };
  if constexpr (kSlide) {
    ForEachChunk<16>(0, n, slide, sum);
  } else {
    ForEachChunk<16>(0, n, sum);
  }
}

template <bool kWide, Scaled kScaled, bool kShortTenth>
void SharpenRow_AVX2(const RowJob& job, const SharpenTable& table) {
  const int e = job.e;
  const std::uint16_t* sums = job.sums;
  const int begin = 2 * e, end = job.elements - 2 * e;
  // Held apart from `job`, which the stores might otherwise be taken to change.
  const std::uint8_t* const source = job.source;
  std::uint8_t* const destination = job.destination;
  const __m256i s = _mm256_set1_epi16(static_cast<short>(table.s));
  const __m256i full = _mm256_set1_epi16(static_cast<short>(table.full));
  const ScaleLanes_AVX2<kScaled, kWide> scale(job.scale);
  // Unscaled bytes are limited to 0..255 by the pack alone.
  constexpr bool kLimit = kWide || kScaled != Scaled::kNo;
  const auto sharpen = [&](__m256i o, int p) ORVEX_INLINE_STEP {
    return scale.Apply(
        SharpenLanes_AVX2<kShortTenth, kLimit>(o, HorizontalSum_AVX2(sums, p, e), s, full));
  };
  if constexpr (kWide) {
    if (end - begin < 16) {
      Sharpen_C<true>(job, table, begin, end);
      return;
    }
    ForEachChunk<16>(begin, end, [&](int p) ORVEX_INLINE_STEP {
      __m256i r = sharpen(Load10_AVX2(source + 2 * p), p);
      if (e == 4) {
        const __m256i kept =
            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(destination + 2 * p));
        r = _mm256_blend_epi16(r, kept, 0x88);
      }
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(destination + 2 * p), r);
    });
  } else {
    const __m256i mask = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
    if (end - begin < 32) {
      Sharpen_C<false>(job, table, begin, end);
      return;
    }
    ForEachChunk<32>(begin, end, [&](int p) ORVEX_INLINE_STEP {
      const __m256i lo = sharpen(Widen_AVX2(source + p), p);
      const __m256i hi = sharpen(Widen_AVX2(source + p + 16), p + 16);
      __m256i r = _mm256_permute4x64_epi64(_mm256_packus_epi16(lo, hi), 0xD8);
      if (e == 4) r = KeepFourth_AVX2(r, destination + p, mask);
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(destination + p), r);
    });
  }
}

template <bool kWide, Scaled kScaled>
void SharpenRow_AVX2(const RowJob& job, const SharpenTable& table) {
  if (ShortTenth(table)) {
    SharpenRow_AVX2<kWide, kScaled, true>(job, table);
  } else {
    SharpenRow_AVX2<kWide, kScaled, false>(job, table);
  }
}

}  // namespace

template <bool kWide>
ORVEX_ALIGN_STACK void SharpnessRow_AVX2(const RowJob& job, const SharpenTable& table) {
  if (job.dropped != nullptr) {
    VerticalSums_AVX2<kWide, true>(job);
  } else {
    VerticalSums_AVX2<kWide, false>(job);
  }
  if (job.scale == nullptr) {
    SharpenRow_AVX2<kWide, Scaled::kNo>(job, table);
  } else if (job.scale->up > 0) {
    SharpenRow_AVX2<kWide, Scaled::kUp>(job, table);
  } else {
    SharpenRow_AVX2<kWide, Scaled::kDown>(job, table);
  }
}

template void SharpnessRow_AVX2<false>(const RowJob& job, const SharpenTable& table);
template void SharpnessRow_AVX2<true>(const RowJob& job, const SharpenTable& table);

ORVEX_TARGET_END

}  // namespace orvex::filters

#endif  // ORVEX_X86
