#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "imaging/bayer/demosaic.h"

#if ORVEX_X86
#include <mmintrin.h>

ORVEX_TARGET_BEGIN("mmx")

namespace orvex::bayer {
namespace {

// Four 16-bit lanes, each one pair of output pixels (column phases 0 and 1), as in the SSE
// forms: 8 output pixels a step.

// Lane k = p[2k].
inline __m64 EvenSamples(const std::uint8_t* p) {
  __m64 v;
  std::memcpy(&v, p, sizeof v);
  return _mm_and_si64(v, _mm_set1_pi16(0x00FF));
}

inline __m64 Weighted(__m64 a, __m64 b, __m64 c, __m64 d) {
  const __m64 nine = _mm_set1_pi16(9), three = _mm_set1_pi16(3);
  __m64 sum = _mm_adds_pi16(_mm_mullo_pi16(a, nine), _mm_mullo_pi16(b, three));
  sum = _mm_adds_pi16(sum, _mm_mullo_pi16(c, three));
  return _mm_adds_pi16(sum, d);
}

inline __m64 Scale(__m64 sum, __m64 factor) {
  return _mm_srli_pi16(_mm_mullo_pi16(_mm_srli_pi16(sum, 4), factor), 7);
}

inline __m64 Interleave(__m64 even, __m64 odd) {
  const __m64 bytes = _mm_packs_pu16(even, odd);
  return _mm_unpacklo_pi8(bytes, _mm_srli_si64(bytes, 32));
}

// Two pixels B G R 0 -> their 6 bytes packed at the bottom.
inline __m64 PackTwo(__m64 q) {
  const __m64 lowDword = _mm_set_pi32(0, -1);
  return _mm_or_si64(_mm_and_si64(q, lowDword), _mm_srli_si64(_mm_andnot_si64(lowDword, q), 8));
}

// 8 pixels from three planes -> 24 packed bytes.
inline void StorePacked(__m64 blue, __m64 green, __m64 red, std::uint8_t* out) {
  const __m64 zero = _mm_setzero_si64();
  const __m64 bgLo = _mm_unpacklo_pi8(blue, green), bgHi = _mm_unpackhi_pi8(blue, green);
  const __m64 rLo = _mm_unpacklo_pi8(red, zero), rHi = _mm_unpackhi_pi8(red, zero);
  const __m64 t0 = PackTwo(_mm_unpacklo_pi16(bgLo, rLo));
  const __m64 t1 = PackTwo(_mm_unpackhi_pi16(bgLo, rLo));
  const __m64 t2 = PackTwo(_mm_unpacklo_pi16(bgHi, rHi));
  const __m64 t3 = PackTwo(_mm_unpackhi_pi16(bgHi, rHi));
  const __m64 packed[3] = {_mm_or_si64(t0, _mm_slli_si64(t1, 48)),
                           _mm_or_si64(_mm_srli_si64(t1, 16), _mm_slli_si64(t2, 32)),
                           _mm_or_si64(_mm_srli_si64(t2, 32), _mm_slli_si64(t3, 16))};
  std::memcpy(out, packed, sizeof packed);
}

// Whole steps of 8 read columns c - 2 .. c + 9; the rest of the row is done by the model.
void MmxVectorRow(const DemosaicCall& call, int row, int first, int last) {
  const int rowPhase = call.RowPhaseOfRow(row);
  const std::uint8_t* a = call.SourceRow(row - 2);
  const std::uint8_t* b = call.SourceRow(row - 1);
  const std::uint8_t* c = call.SourceRow(row);
  const std::uint8_t* d = call.SourceRow(row + 1);
  std::uint8_t* out = call.DestinationRow(row);
  // Blue on the pair's column phase 1 neighbours, red on column phase 0 samples; which row pair
  // carries which, and the order of the green pair, follow the row phase.
  const std::uint8_t* pairNear = rowPhase == 0 ? c : b;
  const std::uint8_t* pairFar = rowPhase == 0 ? a : d;
  const std::uint8_t* centerNear = rowPhase == 0 ? b : c;
  const std::uint8_t* centerFar = rowPhase == 0 ? d : a;
  const std::uint8_t* greenFirst = rowPhase == 0 ? b : c;
  const std::uint8_t* greenSecond = rowPhase == 0 ? c : b;
  const __m64 fBlue = _mm_set1_pi16(static_cast<short>(Factor16(call.fBlue)));
  const __m64 fRed = _mm_set1_pi16(static_cast<short>(Factor16(call.fRed)));
  const std::ptrdiff_t step = call.destinationStep;

  std::uint8_t storage[3][8];
  int x = first;
  for (; x + 8 - 1 <= last && x + 9 <= call.width - 1; x += 8) {
    const __m64 p = EvenSamples(pairNear + x - 1), q = EvenSamples(pairNear + x + 1);
    const __m64 pf = EvenSamples(pairFar + x - 1), qf = EvenSamples(pairFar + x + 1);
    const __m64 u = EvenSamples(centerNear + x - 2), v = EvenSamples(centerNear + x),
                w = EvenSamples(centerNear + x + 2);
    const __m64 uf = EvenSamples(centerFar + x - 2), vf = EvenSamples(centerFar + x),
                wf = EvenSamples(centerFar + x + 2);
    const __m64 gMiddle = EvenSamples(greenSecond + x);
    const __m64 gEven = _mm_add_pi16(EvenSamples(greenFirst + x - 1), gMiddle);
    const __m64 gOdd = _mm_add_pi16(gMiddle, EvenSamples(greenFirst + x + 1));
    const __m64 blue =
        Interleave(Scale(Weighted(p, q, pf, qf), fBlue), Scale(Weighted(q, p, qf, pf), fBlue));
    const __m64 red =
        Interleave(Scale(Weighted(v, u, vf, uf), fRed), Scale(Weighted(v, w, vf, wf), fRed));
    const __m64 green = Interleave(_mm_srli_pi16(gEven, 1), _mm_srli_pi16(gOdd, 1));
    std::uint8_t* o = out + x * step;
    if (step == 3) {
      StorePacked(blue, green, red, o);
      continue;
    }
    std::memcpy(storage[0], &blue, 8);
    std::memcpy(storage[1], &green, 8);
    std::memcpy(storage[2], &red, 8);
    for (int k = 0; k < 8; ++k, o += step) {
      o[0] = storage[0][k];
      o[1] = storage[1][k];
      o[2] = storage[2][k];
    }
  }
  _mm_empty();
  if (x <= last) VectorRow8_C(call, row, x, last);
}

}  // namespace
}  // namespace orvex::bayer

ORVEX_TARGET_END
#endif

namespace orvex {

#if ORVEX_X86
namespace bayer {
ORVEX_TARGET("mmx")
void Demosaic8MmxRows(const DemosaicCall& call) {
  if (call.sourceStep != 1) {
    MmxModelRows_C(call);
    return;
  }
  for (int row = call.FirstInteriorRow(); row <= call.LastInteriorRow(); ++row) {
    MmxVectorRow(call, row, VectorPassFirst(call, row), VectorPassLast(call, row, kMmxStep));
  }
  FinishVectorForm(call, false, [](const DemosaicCall& part) { Demosaic8Rows_C(part); });
}
}  // namespace bayer

std::int32_t Demosaic8Mmx(std::uint8_t* destination, std::uint8_t* source,
                          const std::int32_t* region, std::int32_t x, std::int32_t y,
                          std::int32_t destinationBytes, std::int32_t sourceBytes,
                          std::int32_t destinationStride, std::int32_t sourceStride,
                          void** parameter, std::int32_t) {
  bayer::DemosaicCall call;
  const CallState state =
      bayer::DecodeDemosaicCall(destination, source, region, x, y, destinationBytes, sourceBytes,
                                destinationStride, sourceStride, parameter, bayer::kNeeds8, &call);
  if (state != CallState::kReady) return bayer::DemosaicResultOf(state);
  bayer::Demosaic8MmxRows(call);
  return 1;
}
#else
namespace bayer {
void Demosaic8MmxRows(const DemosaicCall& call) {
  MmxModelRows_C(call);
}
}  // namespace bayer

std::int32_t Demosaic8Mmx(std::uint8_t* destination, std::uint8_t* source,
                          const std::int32_t* region, std::int32_t x, std::int32_t y,
                          std::int32_t destinationBytes, std::int32_t sourceBytes,
                          std::int32_t destinationStride, std::int32_t sourceStride,
                          void** parameter, std::int32_t spare) {
  return bayer::Demosaic8Mmx_C(destination, source, region, x, y, destinationBytes, sourceBytes,
                               destinationStride, sourceStride, parameter, spare);
}
#endif

}  // namespace orvex
