#include <cstddef>
#include <cstdint>
#include <cstring>

#include "imaging/bayer/balance.h"

#if defined(__GNUC__) && defined(__x86_64__)
#include <emmintrin.h>

namespace orvex::bayer {
namespace {

std::uint64_t HorizontalSum64(__m128i v) {
  return static_cast<std::uint64_t>(_mm_cvtsi128_si64(v)) +
         static_cast<std::uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(v, v)));
}

// Adds a row's sums of its even and odd columns (counted from the row's first sample) to the
// positions they belong to.
void AddRow(const SampleGrid& grid, int row, std::uint64_t evenSum, std::uint64_t oddSum,
            std::uint64_t evenCount, std::uint64_t oddCount, PositionSums* sums) {
  const int rowPhase = grid.RowPhaseOfRow(row);
  const int phase = grid.ColumnPhaseOfRow(row);
  const int even = 2 * rowPhase + phase, odd = 2 * rowPhase + (phase ^ 1);
  // The sums are 32-bit: adding the wider row totals wraps exactly as adding sample by sample.
  sums->sum[even] += static_cast<std::uint32_t>(evenSum);
  sums->sum[odd] += static_cast<std::uint32_t>(oddSum);
  sums->count[even] += static_cast<std::uint32_t>(evenCount);
  sums->count[odd] += static_cast<std::uint32_t>(oddCount);
}

}  // namespace

bool SumPositions8_SSE2(const SampleGrid& grid, bool skipExtremes, PositionSums* sums) {
  if (grid.step != 1) return false;
  const __m128i evenBytes = _mm_set1_epi16(0x00FF), oddBytes = _mm_set1_epi16(-256);
  const __m128i zero = _mm_setzero_si128(), ones = _mm_set1_epi8(1), full = _mm_set1_epi8(-1);
  for (int row = 0; row < grid.height; ++row) {
    const std::uint8_t* s = grid.Row(row);
    __m128i evenSum = zero, oddSum = zero, evenCount = zero, oddCount = zero;
    int c = 0;
    for (; c + 16 <= grid.width; c += 16) {
      __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + c));
      if (skipExtremes) {
        const __m128i skip = _mm_or_si128(_mm_cmpeq_epi8(v, zero), _mm_cmpeq_epi8(v, full));
        v = _mm_andnot_si128(skip, v);
        const __m128i counted = _mm_andnot_si128(skip, ones);
        evenCount = _mm_add_epi64(evenCount, _mm_sad_epu8(_mm_and_si128(counted, evenBytes), zero));
        oddCount = _mm_add_epi64(oddCount, _mm_sad_epu8(_mm_and_si128(counted, oddBytes), zero));
      }
      evenSum = _mm_add_epi64(evenSum, _mm_sad_epu8(_mm_and_si128(v, evenBytes), zero));
      oddSum = _mm_add_epi64(oddSum, _mm_sad_epu8(_mm_and_si128(v, oddBytes), zero));
    }
    std::uint64_t sum[2] = {HorizontalSum64(evenSum), HorizontalSum64(oddSum)};
    std::uint64_t count[2];
    if (skipExtremes) {
      count[0] = HorizontalSum64(evenCount);
      count[1] = HorizontalSum64(oddCount);
    } else {
      count[0] = static_cast<std::uint64_t>(c / 2);
      count[1] = static_cast<std::uint64_t>(c / 2);
    }
    for (; c < grid.width; ++c) {
      const std::uint8_t v = s[c];
      if (skipExtremes && (v == 0 || v == 255)) continue;
      sum[c & 1] += v;
      count[c & 1] += 1;
    }
    AddRow(grid, row, sum[0], sum[1], count[0], count[1], sums);
  }
  return true;
}

bool SumPositions16_SSE2(const SampleGrid& grid, PositionSums* sums) {
  if (grid.step != 2) return false;
  const __m128i low = _mm_set1_epi32(0xFFFF), zero = _mm_setzero_si128();
  for (int row = 0; row < grid.height; ++row) {
    const std::uint8_t* s = grid.Row(row);
    std::uint64_t sum[2] = {0, 0};
    int c = 0;
    while (c + 8 <= grid.width) {
      // 32-bit lanes hold at most 32768 words of 16 bits each before they are folded.
      __m128i even = zero, odd = zero;
      for (int n = 0; n < 32768 && c + 8 <= grid.width; ++n, c += 8) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 2 * c));
        even = _mm_add_epi32(even, _mm_and_si128(v, low));
        odd = _mm_add_epi32(odd, _mm_srli_epi32(v, 16));
      }
      sum[0] += HorizontalSum64(
          _mm_add_epi64(_mm_unpacklo_epi32(even, zero), _mm_unpackhi_epi32(even, zero)));
      sum[1] += HorizontalSum64(
          _mm_add_epi64(_mm_unpacklo_epi32(odd, zero), _mm_unpackhi_epi32(odd, zero)));
    }
    for (int k = c; k < grid.width; ++k) {
      std::uint16_t v;
      std::memcpy(&v, s + 2 * k, sizeof v);
      sum[k & 1] += v;
    }
    const std::uint64_t width = static_cast<std::uint64_t>(grid.width);
    AddRow(grid, row, sum[0], sum[1], (width + 1) / 2, width / 2, sums);
  }
  return true;
}

bool GrayCorrect_SSE2(const SampleGrid& grid, std::uint8_t* destination,
                      std::ptrdiff_t destinationStep, std::ptrdiff_t destinationStride,
                      const GrayCorrectionRecord& record) {
  if (grid.step != 1 || destinationStep != 1) return false;
  if (grid.width <= 0 || grid.height <= 0) return true;
  // 16-bit lanes hold v x gain exactly for gains 0..255; a saturated offset still limits to
  // the same byte.
  for (int position = 0; position < 4; ++position) {
    const std::int32_t gain = GrayGain(record, position), offset = GrayOffset(record, position);
    if (gain < 0 || gain > 255 || offset < -32768 || offset > 32767) return false;
  }
  // In place, or apart: sample by sample and vector by vector give the same bytes then.
  if (destination != grid.first || destinationStride != grid.stride) {
    const std::uint8_t* sBegin = grid.first;
    const std::uint8_t* sEnd = grid.Row(grid.height - 1) + grid.width;
    const std::uint8_t* dEnd = destination + (grid.height - 1) * destinationStride + grid.width;
    if (destination < sEnd && sBegin < dEnd) return false;
  }
  const __m128i zero = _mm_setzero_si128();
  for (int row = 0; row < grid.height; ++row) {
    const int rowPhase = grid.RowPhaseOfRow(row);
    const int phase = grid.ColumnPhaseOfRow(row);
    const int even = 2 * rowPhase + phase, odd = 2 * rowPhase + (phase ^ 1);
    const std::int32_t gEven = GrayGain(record, even), gOdd = GrayGain(record, odd);
    const std::int32_t oEven = GrayOffset(record, even), oOdd = GrayOffset(record, odd);
    const __m128i gain = _mm_set1_epi32(static_cast<int>((static_cast<std::uint32_t>(gOdd) << 16) |
                                                         static_cast<std::uint32_t>(gEven)));
    const __m128i offset = _mm_set1_epi32(static_cast<int>(
        (static_cast<std::uint32_t>(oOdd) << 16) | (static_cast<std::uint32_t>(oEven) & 0xFFFFu)));
    const std::uint8_t* s = grid.Row(row);
    std::uint8_t* d = destination + row * destinationStride;
    int c = 0;
    for (; c + 16 <= grid.width; c += 16) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + c));
      const __m128i lo = _mm_adds_epi16(
          _mm_srli_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(v, zero), gain), 7), offset);
      const __m128i hi = _mm_adds_epi16(
          _mm_srli_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(v, zero), gain), 7), offset);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(d + c), _mm_packus_epi16(lo, hi));
    }
    for (; c < grid.width; ++c) {
      d[c] = (c & 1) == 0 ? GrayCorrected(s[c], gEven, oEven) : GrayCorrected(s[c], gOdd, oOdd);
    }
  }
  return true;
}

}  // namespace orvex::bayer

#else

namespace orvex::bayer {

bool SumPositions8_SSE2(const SampleGrid&, bool, PositionSums*) {
  return false;
}
bool SumPositions16_SSE2(const SampleGrid&, PositionSums*) {
  return false;
}
bool GrayCorrect_SSE2(const SampleGrid&, std::uint8_t*, std::ptrdiff_t, std::ptrdiff_t,
                      const GrayCorrectionRecord&) {
  return false;
}

}  // namespace orvex::bayer

#endif
