// Sharpness: an unsharp mask against a 4 x 4 box blur that reaches two rows and columns back
// and one forward, read from the untouched copy of the image.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

#include "imaging/filters/filter_common.h"
#include "imaging/filters/filter_kernels.h"

#if ORVEX_FILTERS_X86
#include <immintrin.h>
#endif

namespace orvex::filters {
namespace {

// Beyond ten times full scale every non-zero difference already saturates, so larger settings
// give the same bytes; the bound keeps s x (k - B) within 32 bits.
int ClampedSharpness(std::int32_t s, int full) {
  const int limit = 10 * full + 10;
  return s < -limit ? -limit : s > limit ? limit : s;
}

// The sharpen table T[k] = (s x (k - B)) / 10, 2 x (B + 1) entries.
struct SharpenTable {
  int full = 0;
  int s = 0;
  int entries[2 * (kMax16 + 1)];

  SharpenTable(std::int32_t setting, int fullScale)
      : full(fullScale), s(ClampedSharpness(setting, fullScale)) {
    for (int k = 0; k < 2 * (full + 1); ++k) entries[k] = (s * (k - full)) / 10;
  }
  int Apply(int o, int b) const {
    const int v = o + entries[o - b + full];
    return v < 0 ? 0 : v > full ? full : v;
  }
};

// The blur writes into the destination before the sharpen pass reads the source again, so a
// destination that shares bytes with the source would feed blurred values back into later
// sums. Such a call reads a private copy of the source instead, which gives the result that
// does not depend on the visiting order.
class SourceSnapshot {
 public:
  // False when memory for the copy is short.
  bool Take(KernelCall* call) {
    if (ClassifyLayout(*call) == Layout::kDisjoint) return true;
    const std::size_t rowBytes = static_cast<std::size_t>(call->width) * call->sourceBytes;
    bytes_.reset(new (std::nothrow) std::uint8_t[rowBytes * call->height]);
    if (!bytes_) return false;
    for (std::int32_t j = 0; j < call->height; ++j) {
      std::memcpy(bytes_.get() + rowBytes * j, call->SourceRow(j), rowBytes);
    }
    call->source = bytes_.get();
    call->left = 0;
    call->top = 0;
    call->sourceStride = static_cast<std::ptrdiff_t>(rowBytes);
    return true;
  }

 private:
  std::unique_ptr<std::uint8_t[]> bytes_;
};

template <bool kWide>
int ReadSample(const std::uint8_t* p) {
  if constexpr (kWide) {
    return Load10(p);
  } else {
    return *p;
  }
}

template <bool kWide>
void WriteSample(std::uint8_t* p, int v) {
  if constexpr (kWide) {
    Store16(p, static_cast<std::uint16_t>(v));
  } else {
    *p = static_cast<std::uint8_t>(v);
  }
}

template <bool kWide>
std::int32_t SharpnessReference(int channels, KernelCall call) {
  SourceSnapshot snapshot;
  if (!snapshot.Take(&call)) return 0;
  const SharpenTable table(call.Setting(), kWide ? kMax16 : 255);
  const int sampleBytes = kWide ? 2 : 1;
  auto source = [&](int i, int j, int c) {
    return call.SourceRow(j) + static_cast<std::ptrdiff_t>(i) * call.sourceBytes + c * sampleBytes;
  };
  auto destination = [&](int i, int j, int c) {
    return call.DestinationRow(j) + static_cast<std::ptrdiff_t>(i) * call.destinationBytes +
           c * sampleBytes;
  };
  const int w = call.width, h = call.height;
  for (int r = 2; r <= h - 3; ++r) {
    for (int x = 2; x <= w - 3; ++x) {
      for (int c = 0; c < channels; ++c) {
        int sum = 0;
        for (int rr = r - 2; rr <= r + 1; ++rr) {
          for (int xx = x - 2; xx <= x + 1; ++xx) sum += ReadSample<kWide>(source(xx, rr, c));
        }
        WriteSample<kWide>(destination(x, r, c), sum >> 4);
      }
    }
  }
  for (int r = 2; r <= h - 3; ++r) {
    for (int x = 2; x <= w - 3; ++x) {
      for (int c = 0; c < channels; ++c) {
        const int o = ReadSample<kWide>(source(x, r, c));
        const int b = ReadSample<kWide>(destination(x, r, c));
        WriteSample<kWide>(destination(x, r, c), table.Apply(o, b));
      }
    }
  }
  return 1;
}

template <bool kWide>
std::int32_t SharpnessReferenceKernel(FilterVariant variant, ORVEX_FILTER_KERNEL_PARAMS) {
  (void)spare;
  KernelCall call;
  const CallState state =
      DecodeCall(destination, source, region, x, y, destinationBytes, sourceBytes,
                 destinationStride, sourceStride, parameter, MinimumPixelBytes(variant), &call);
  if (state != CallState::kReady) return ResultOf(state);
  return SharpnessReference<kWide>(ChannelsOf(variant), call);
}

// ---- Row forms ---------------------------------------------------------------------------
//
// A row is a run of elements (bytes, or 16-bit words), `e` of them a pixel. The fast forms sum
// the four source rows per element first, then four of those sums `e` apart. Element p of an
// output row is written only when it is a channel (p % e < 3); the fourth is kept.

struct RowJob {
  const std::uint8_t* rows[4];  // source rows r - 2 .. r + 1
  const std::uint8_t* source;   // source row r
  std::uint8_t* destination;    // destination row r
  int elements;                 // a row, width x e
  int e;
  std::uint16_t* sums;  // the vertical sums, `elements` of them
};

template <bool kWide>
void VerticalSum_Plain(const RowJob& job, int begin, int end) {
  const int size = kWide ? 2 : 1;
  for (int p = begin; p < end; ++p) {
    job.sums[p] = static_cast<std::uint16_t>(
        ReadSample<kWide>(job.rows[0] + size * p) + ReadSample<kWide>(job.rows[1] + size * p) +
        ReadSample<kWide>(job.rows[2] + size * p) + ReadSample<kWide>(job.rows[3] + size * p));
  }
}

template <bool kWide>
void Sharpen_Plain(const RowJob& job, const SharpenTable& table, int begin, int end) {
  const int size = kWide ? 2 : 1;
  const int e = job.e;
  const std::uint16_t* v = job.sums;
  for (int p = begin; p < end; ++p) {
    if (e == 4 && (p & 3) == 3) continue;
    const int b = (v[p - 2 * e] + v[p - e] + v[p] + v[p + e]) >> 4;
    const int o = ReadSample<kWide>(job.source + size * p);
    WriteSample<kWide>(job.destination + size * p, table.Apply(o, b));
  }
}

// The vector forms compute T[k] = (s x d) / 10 instead of looking it up: |s x d| fits 16 bits,
// and for 0 <= a < 65536, a / 10 = (a x 52429) >> 19 exactly.
constexpr int kTenthMultiplier = 52429;
constexpr int VectorSharpnessLimit(int full) {
  return 32767 / full;
}

// Vector rows run in chunks starting at begin, begin + chunk, ... and, for the rest, once more
// ending exactly at `end`: each element is computed from the source alone, so the overlap
// writes the same values again. Spans shorter than a chunk take the plain form.
inline int NextChunk(int p, int end, int chunk) {
  p += chunk;
  return (p < end && p + chunk > end) ? end - chunk : p;
}

#if ORVEX_FILTERS_X86

#define ORVEX_SSE2 __attribute__((target("sse2")))
#define ORVEX_AVX2 __attribute__((target("avx2")))

ORVEX_SSE2 inline __m128i Load10_SSE2(const std::uint8_t* p) {
  const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  return _mm_sub_epi16(v, _mm_subs_epu16(v, _mm_set1_epi16(kMax16)));
}

// clamp(o + (s x (o - b)) / 10) for 16-bit lanes, with hs the 16-value sums.
ORVEX_SSE2 inline __m128i SharpenLanes_SSE2(__m128i o, __m128i hs, __m128i s, __m128i full) {
  const __m128i b = _mm_srli_epi16(hs, 4);
  const __m128i product = _mm_mullo_epi16(_mm_sub_epi16(o, b), s);
  const __m128i sign = _mm_srai_epi16(product, 15);
  const __m128i magnitude = _mm_sub_epi16(_mm_xor_si128(product, sign), sign);
  __m128i q = _mm_srli_epi16(
      _mm_mulhi_epu16(magnitude, _mm_set1_epi16(static_cast<short>(kTenthMultiplier))), 3);
  q = _mm_sub_epi16(_mm_xor_si128(q, sign), sign);
  const __m128i v = _mm_max_epi16(_mm_add_epi16(o, q), _mm_setzero_si128());
  return _mm_min_epi16(v, full);
}

ORVEX_SSE2 inline __m128i HorizontalSum_SSE2(const std::uint16_t* v, int p, int e) {
  const __m128i* a = reinterpret_cast<const __m128i*>(v + p - 2 * e);
  const __m128i* b = reinterpret_cast<const __m128i*>(v + p - e);
  const __m128i* c = reinterpret_cast<const __m128i*>(v + p);
  const __m128i* d = reinterpret_cast<const __m128i*>(v + p + e);
  return _mm_add_epi16(_mm_add_epi16(_mm_loadu_si128(a), _mm_loadu_si128(b)),
                       _mm_add_epi16(_mm_loadu_si128(c), _mm_loadu_si128(d)));
}

// Keeps the destination's fourth element of every pixel.
ORVEX_SSE2 inline __m128i KeepFourth_SSE2(__m128i computed, const std::uint8_t* destination,
                                          __m128i mask) {
  const __m128i kept = _mm_loadu_si128(reinterpret_cast<const __m128i*>(destination));
  return _mm_or_si128(_mm_and_si128(mask, kept), _mm_andnot_si128(mask, computed));
}

template <bool kWide>
ORVEX_SSE2 void Row_SSE2(const RowJob& job, const SharpenTable& table) {
  const int e = job.e;
  std::uint16_t* sums = job.sums;
  const int n = job.elements, begin = 2 * e, end = job.elements - 2 * e;
  const __m128i s = _mm_set1_epi16(static_cast<short>(table.s));
  const __m128i full = _mm_set1_epi16(static_cast<short>(table.full));
  if constexpr (kWide) {
    const __m128i mask = _mm_set_epi16(-1, 0, 0, 0, -1, 0, 0, 0);
    if (n < 8) {
      VerticalSum_Plain<true>(job, 0, n);
    } else {
      for (int p = 0; p < n; p = NextChunk(p, n, 8)) {
        const __m128i a =
            _mm_add_epi16(Load10_SSE2(job.rows[0] + 2 * p), Load10_SSE2(job.rows[1] + 2 * p));
        const __m128i b =
            _mm_add_epi16(Load10_SSE2(job.rows[2] + 2 * p), Load10_SSE2(job.rows[3] + 2 * p));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(sums + p), _mm_add_epi16(a, b));
      }
    }
    if (end - begin < 8) {
      Sharpen_Plain<true>(job, table, begin, end);
      return;
    }
    for (int p = begin; p < end; p = NextChunk(p, end, 8)) {
      const __m128i o = Load10_SSE2(job.source + 2 * p);
      __m128i r = SharpenLanes_SSE2(o, HorizontalSum_SSE2(sums, p, e), s, full);
      if (e == 4) r = KeepFourth_SSE2(r, job.destination + 2 * p, mask);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(job.destination + 2 * p), r);
    }
  } else {
    const __m128i zero = _mm_setzero_si128();
    const __m128i mask = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    if (n < 16) {
      VerticalSum_Plain<false>(job, 0, n);
    } else {
      for (int p = 0; p < n; p = NextChunk(p, n, 16)) {
        __m128i lo = zero, hi = zero;
        for (const std::uint8_t* row : job.rows) {
          const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + p));
          lo = _mm_add_epi16(lo, _mm_unpacklo_epi8(v, zero));
          hi = _mm_add_epi16(hi, _mm_unpackhi_epi8(v, zero));
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(sums + p), lo);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(sums + p + 8), hi);
      }
    }
    if (end - begin < 16) {
      Sharpen_Plain<false>(job, table, begin, end);
      return;
    }
    for (int p = begin; p < end; p = NextChunk(p, end, 16)) {
      const __m128i o = _mm_loadu_si128(reinterpret_cast<const __m128i*>(job.source + p));
      const __m128i lo =
          SharpenLanes_SSE2(_mm_unpacklo_epi8(o, zero), HorizontalSum_SSE2(sums, p, e), s, full);
      const __m128i hi = SharpenLanes_SSE2(_mm_unpackhi_epi8(o, zero),
                                           HorizontalSum_SSE2(sums, p + 8, e), s, full);
      __m128i r = _mm_packus_epi16(lo, hi);
      if (e == 4) r = KeepFourth_SSE2(r, job.destination + p, mask);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(job.destination + p), r);
    }
  }
}

ORVEX_AVX2 inline __m256i Load10_AVX2(const std::uint8_t* p) {
  const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
  return _mm256_min_epu16(v, _mm256_set1_epi16(kMax16));
}

ORVEX_AVX2 inline __m256i Widen_AVX2(const std::uint8_t* p) {
  return _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
}

ORVEX_AVX2 inline __m256i SharpenLanes_AVX2(__m256i o, __m256i hs, __m256i s, __m256i full) {
  const __m256i b = _mm256_srli_epi16(hs, 4);
  const __m256i product = _mm256_mullo_epi16(_mm256_sub_epi16(o, b), s);
  __m256i q =
      _mm256_srli_epi16(_mm256_mulhi_epu16(_mm256_abs_epi16(product),
                                           _mm256_set1_epi16(static_cast<short>(kTenthMultiplier))),
                        3);
  q = _mm256_sign_epi16(q, product);
  const __m256i v = _mm256_max_epi16(_mm256_add_epi16(o, q), _mm256_setzero_si256());
  return _mm256_min_epi16(v, full);
}

ORVEX_AVX2 inline __m256i HorizontalSum_AVX2(const std::uint16_t* v, int p, int e) {
  const __m256i* a = reinterpret_cast<const __m256i*>(v + p - 2 * e);
  const __m256i* b = reinterpret_cast<const __m256i*>(v + p - e);
  const __m256i* c = reinterpret_cast<const __m256i*>(v + p);
  const __m256i* d = reinterpret_cast<const __m256i*>(v + p + e);
  return _mm256_add_epi16(_mm256_add_epi16(_mm256_loadu_si256(a), _mm256_loadu_si256(b)),
                          _mm256_add_epi16(_mm256_loadu_si256(c), _mm256_loadu_si256(d)));
}

ORVEX_AVX2 inline __m256i KeepFourth_AVX2(__m256i computed, const std::uint8_t* destination,
                                          __m256i mask) {
  const __m256i kept = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(destination));
  return _mm256_blendv_epi8(computed, kept, mask);
}

template <bool kWide>
ORVEX_AVX2 void Row_AVX2(const RowJob& job, const SharpenTable& table) {
  const int e = job.e;
  std::uint16_t* sums = job.sums;
  const int n = job.elements, begin = 2 * e, end = job.elements - 2 * e;
  const __m256i s = _mm256_set1_epi16(static_cast<short>(table.s));
  const __m256i full = _mm256_set1_epi16(static_cast<short>(table.full));
  if (n < 16) {
    VerticalSum_Plain<kWide>(job, 0, n);
  } else {
    for (int p = 0; p < n; p = NextChunk(p, n, 16)) {
      __m256i a, b;
      if constexpr (kWide) {
        a = _mm256_add_epi16(Load10_AVX2(job.rows[0] + 2 * p), Load10_AVX2(job.rows[1] + 2 * p));
        b = _mm256_add_epi16(Load10_AVX2(job.rows[2] + 2 * p), Load10_AVX2(job.rows[3] + 2 * p));
      } else {
        a = _mm256_add_epi16(Widen_AVX2(job.rows[0] + p), Widen_AVX2(job.rows[1] + p));
        b = _mm256_add_epi16(Widen_AVX2(job.rows[2] + p), Widen_AVX2(job.rows[3] + p));
      }
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(sums + p), _mm256_add_epi16(a, b));
    }
  }
  if constexpr (kWide) {
    const __m256i mask = _mm256_set1_epi64x(static_cast<long long>(0xFFFF000000000000ull));
    if (end - begin < 16) {
      Sharpen_Plain<true>(job, table, begin, end);
      return;
    }
    for (int p = begin; p < end; p = NextChunk(p, end, 16)) {
      const __m256i o = Load10_AVX2(job.source + 2 * p);
      __m256i r = SharpenLanes_AVX2(o, HorizontalSum_AVX2(sums, p, e), s, full);
      if (e == 4) r = KeepFourth_AVX2(r, job.destination + 2 * p, mask);
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(job.destination + 2 * p), r);
    }
  } else {
    const __m256i mask = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
    if (end - begin < 32) {
      Sharpen_Plain<false>(job, table, begin, end);
      return;
    }
    for (int p = begin; p < end; p = NextChunk(p, end, 32)) {
      const __m256i lo =
          SharpenLanes_AVX2(Widen_AVX2(job.source + p), HorizontalSum_AVX2(sums, p, e), s, full);
      const __m256i hi = SharpenLanes_AVX2(Widen_AVX2(job.source + p + 16),
                                           HorizontalSum_AVX2(sums, p + 16, e), s, full);
      __m256i r = _mm256_permute4x64_epi64(_mm256_packus_epi16(lo, hi), 0xD8);
      if (e == 4) r = KeepFourth_AVX2(r, job.destination + p, mask);
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(job.destination + p), r);
    }
  }
}

#endif  // ORVEX_FILTERS_X86

template <bool kWide>
void Row_Plain(const RowJob& job, const SharpenTable& table) {
  VerticalSum_Plain<kWide>(job, 0, job.elements);
  Sharpen_Plain<kWide>(job, table, 2 * job.e, job.elements - 2 * job.e);
}

template <bool kWide>
std::int32_t RunSharpnessRows(int channels, FilterForm form, KernelCall call) {
  const int size = kWide ? 2 : 1;
  const int bytes = call.sourceBytes;
  const int e = bytes / size;
  const bool supported = call.destinationBytes == bytes && bytes % size == 0 &&
                         (channels == 1 ? e == 1 : (e == 3 || e == 4));
  if (!supported) return SharpnessReference<kWide>(channels, call);
  if (call.width <= 4 || call.height <= 4) return 1;
  SourceSnapshot snapshot;
  if (!snapshot.Take(&call)) return 0;

  const SharpenTable table(call.Setting(), kWide ? kMax16 : 255);
  const int elements = call.width * e;
  std::unique_ptr<std::uint16_t[]> sums(new (std::nothrow) std::uint16_t[elements]);
  if (!sums) return 0;
  const bool vectorArithmetic =
      table.s >= -VectorSharpnessLimit(table.full) && table.s <= VectorSharpnessLimit(table.full);
  using RowForm = void (*)(const RowJob&, const SharpenTable&);
  RowForm row = &Row_Plain<kWide>;
#if ORVEX_FILTERS_X86
  if (vectorArithmetic && form >= FilterForm::kAvx2) {
    row = &Row_AVX2<kWide>;
  } else if (vectorArithmetic && form >= FilterForm::kSse2) {
    row = &Row_SSE2<kWide>;
  }
#else
  (void)form;
  (void)vectorArithmetic;
#endif
  for (int r = 2; r <= call.height - 3; ++r) {
    RowJob job{
        {call.SourceRow(r - 2), call.SourceRow(r - 1), call.SourceRow(r), call.SourceRow(r + 1)},
        call.SourceRow(r),
        call.DestinationRow(r),
        elements,
        e,
        sums.get()};
    row(job, table);
  }
  return 1;
}

}  // namespace

std::int32_t SharpnessGray8_C(ORVEX_FILTER_KERNEL_PARAMS) {
  return SharpnessReferenceKernel<false>(FilterVariant::kGray8, ORVEX_FILTER_KERNEL_ARGS);
}
std::int32_t SharpnessGray16_C(ORVEX_FILTER_KERNEL_PARAMS) {
  return SharpnessReferenceKernel<true>(FilterVariant::kGray16, ORVEX_FILTER_KERNEL_ARGS);
}
std::int32_t SharpnessColor8_C(ORVEX_FILTER_KERNEL_PARAMS) {
  return SharpnessReferenceKernel<false>(FilterVariant::kColor8, ORVEX_FILTER_KERNEL_ARGS);
}
std::int32_t SharpnessColor16_C(ORVEX_FILTER_KERNEL_PARAMS) {
  return SharpnessReferenceKernel<true>(FilterVariant::kColor16, ORVEX_FILTER_KERNEL_ARGS);
}

std::int32_t RunSharpness(FilterVariant variant, FilterForm form, const KernelCall& call) {
  if (IsWide(variant)) return RunSharpnessRows<true>(ChannelsOf(variant), form, call);
  return RunSharpnessRows<false>(ChannelsOf(variant), form, call);
}

}  // namespace orvex::filters
