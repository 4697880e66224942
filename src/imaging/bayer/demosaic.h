#pragma once

// The demosaic kernels and the pieces their forms share. The plain forms (Demosaic8,
// Demosaic16) define the bytes; each vector form has a plain model here that defines its bytes
// (the intrinsic form and any faster form must match the model byte for byte).

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "base/cpu_features.h"
#include "imaging/bayer_conversion.h"
#include "imaging/kernel_call.h"
#include "imaging/pixel_kernel.h"
#include "imaging/simd_target.h"

// The AVX2 forms exist on 64-bit Linux-like targets only (64-bit Windows compilers do not keep
// 32-byte spills aligned).
#if defined(__GNUC__) && defined(__x86_64__) && !defined(_WIN32)
#define ORVEX_DEMOSAIC_AVX2 1
#else
#define ORVEX_DEMOSAIC_AVX2 0
#endif

namespace orvex::bayer {

// One call of a demosaic kernel, with the region resolved to pointers. Columns and rows below
// are region columns and rows (0 = the region's first).
struct DemosaicCall {
  std::uint8_t* destination = nullptr;   // output pixel of region sample (0, 0)
  const std::uint8_t* source = nullptr;  // region sample (0, 0)
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::ptrdiff_t destinationStep = 0;  // bytes a pixel
  std::ptrdiff_t sourceStep = 0;       // bytes a sample
  std::ptrdiff_t destinationStride = 0;
  std::ptrdiff_t sourceStride = 0;
  int rowPhase = 0;  // phases of region sample (0, 0)
  int columnPhase = 0;
  std::int64_t fRed = 0;  // trunc(gain x 1.28)
  std::int64_t fBlue = 0;

  // Column phase of the row's column 0: the phase is carried from row to row.
  int ColumnPhaseOfRow(int row) const { return (columnPhase + (row & 1) * (width & 1)) & 1; }
  int RowPhaseOfRow(int row) const { return (rowPhase + row) & 1; }
  const std::uint8_t* SourceRow(int row) const { return source + row * sourceStride; }
  std::uint8_t* DestinationRow(int row) const { return destination + row * destinationStride; }

  // The same call over region columns first .. end - 1 only, as if the kernel had been called
  // with that narrower region: its phases start again from the mode at its first sample.
  DemosaicCall Columns(int first, int end) const {
    DemosaicCall part = *this;
    part.destination += first * destinationStep;
    part.source += first * sourceStep;
    part.width = end - first;
    return part;
  }
};

// The gain factor of the plain and vector forms: trunc(gain x 1.28) in double precision, which
// is 128 x gain / 100 truncated for every 32-bit gain (the double nearest 1.28 lies just above
// it, and a product that is not whole lies at least 0.04 from the next whole number), computed
// in integers so that it is the same on every floating-point unit.
inline std::int64_t GainFactor(std::int32_t gain) {
  return std::int64_t{gain} * 128 / 100;
}

// 8-bit kernels need a sample of at least one byte and room for three output bytes; 16-bit
// ones a word and three output words. Both need the BayerRecord.
inline constexpr KernelNeeds kNeeds8{3, 1, true};
inline constexpr KernelNeeds kNeeds16{6, 2, true};

// Reads a demosaic kernel's arguments into `call` (kReady), with the region resolved to
// pointers and the record to phases and gain factors.
CallState DecodeDemosaicCall(std::uint8_t* destination, const std::uint8_t* source,
                             const std::int32_t* region, std::int32_t x, std::int32_t y,
                             std::int32_t destinationBytes, std::int32_t sourceBytes,
                             std::int32_t destinationStride, std::int32_t sourceStride,
                             void** parameter, const KernelNeeds& needs, DemosaicCall* call);

// What a demosaic kernel returns for a call it does not run: 0 when an argument is missing;
// 1 with nothing written for pixels it cannot work on or an empty region.
inline std::int32_t DemosaicResultOf(CallState state) {
  return state == CallState::kInvalid ? 0 : 1;
}

// --- Per-pixel arithmetic -------------------------------------------------------------------

// The weighted sums at output pixel (c, r). `s` points at sample (c, r); row and column steps in
// samples of type T. Offsets (column, row) by phase (row, column); weights 9, 3, 3, 1.
struct PixelSums {
  std::int32_t blue;
  std::int32_t red;
  std::int32_t green;  // g1 + g2
};

inline constexpr int kBlueOffsets[2][2][4][2] = {
    {{{-1, 0}, {+1, 0}, {-1, -2}, {+1, -2}}, {{0, 0}, {-2, 0}, {0, -2}, {-2, -2}}},
    {{{-1, -1}, {-1, +1}, {+1, -1}, {+1, +1}}, {{0, -1}, {-2, -1}, {0, +1}, {-2, +1}}}};
inline constexpr int kRedOffsets[2][2][4][2] = {
    {{{0, -1}, {-2, -1}, {0, +1}, {-2, +1}}, {{-1, -1}, {-1, +1}, {+1, -1}, {+1, +1}}},
    {{{0, 0}, {-2, 0}, {0, -2}, {-2, -2}}, {{-1, 0}, {+1, 0}, {-1, -2}, {+1, -2}}}};
inline constexpr int kGreenOffsets[2][2][2][2] = {{{{-1, -1}, {0, 0}}, {{-1, 0}, {0, -1}}},
                                                  {{{-1, 0}, {0, -1}}, {{-1, -1}, {0, 0}}}};
inline constexpr int kWeights[4] = {9, 3, 3, 1};

template <typename T>
ORVEX_ALWAYS_INLINE std::int32_t SampleAt(const std::uint8_t* s, std::ptrdiff_t columnBytes,
                                          std::ptrdiff_t rowBytes, int dc, int dr) {
  T v;
  std::memcpy(&v, s + dc * columnBytes + dr * rowBytes, sizeof v);
  return v;
}

template <typename T, int kRowPhase, int kColumnPhase>
ORVEX_ALWAYS_INLINE PixelSums SumsAtPhase(const std::uint8_t* s, std::ptrdiff_t columnBytes,
                                          std::ptrdiff_t rowBytes) {
  constexpr const auto& b = kBlueOffsets[kRowPhase][kColumnPhase];
  constexpr const auto& r = kRedOffsets[kRowPhase][kColumnPhase];
  constexpr const auto& g = kGreenOffsets[kRowPhase][kColumnPhase];
  const auto at = [&](const int* offset) {
    return SampleAt<T>(s, columnBytes, rowBytes, offset[0], offset[1]);
  };
  PixelSums sums;
  sums.blue = kWeights[0] * at(b[0]) + kWeights[1] * at(b[1]) + kWeights[2] * at(b[2]) +
              kWeights[3] * at(b[3]);
  sums.red = kWeights[0] * at(r[0]) + kWeights[1] * at(r[1]) + kWeights[2] * at(r[2]) +
             kWeights[3] * at(r[3]);
  sums.green = at(g[0]) + at(g[1]);
  return sums;
}

// The phases are template arguments underneath so that the table folds into plain loads.
template <typename T>
ORVEX_ALWAYS_INLINE PixelSums SumsAt(const std::uint8_t* s, std::ptrdiff_t columnBytes,
                                     std::ptrdiff_t rowBytes, int rowPhase, int columnPhase) {
  switch (2 * rowPhase + columnPhase) {
    case 0:
      return SumsAtPhase<T, 0, 0>(s, columnBytes, rowBytes);
    case 1:
      return SumsAtPhase<T, 0, 1>(s, columnBytes, rowBytes);
    case 2:
      return SumsAtPhase<T, 1, 0>(s, columnBytes, rowBytes);
    default:
      return SumsAtPhase<T, 1, 1>(s, columnBytes, rowBytes);
  }
}

// The plain forms' scaling: (f x sum) >> 11, limited to 0..limit. Only a negative gain (which
// no setting allows) could make it negative.
ORVEX_ALWAYS_INLINE std::int64_t ScaleExact(std::int64_t factor, std::int32_t sum,
                                            std::int64_t limit) {
  const std::int64_t v = (factor * sum) >> 11;
  return v < 0 ? 0 : (v > limit ? limit : v);
}

// The vector forms' scaling in a 16-bit lane: the low 16 bits of f x (sum >> 4), shifted right
// by 7 and packed to a byte with saturation.
ORVEX_ALWAYS_INLINE std::uint8_t ScaleVector(std::uint16_t factor16, std::int32_t sum) {
  const auto product = static_cast<std::uint16_t>(factor16 * static_cast<std::uint32_t>(sum >> 4));
  const unsigned v = product >> 7u;
  return static_cast<std::uint8_t>(v > 255u ? 255u : v);
}

inline std::uint16_t Factor16(std::int64_t factor) {
  return static_cast<std::uint16_t>(static_cast<std::uint64_t>(factor) & 0xFFFFu);
}

// What a pixel's arithmetic needs of a call, as values: the compiler cannot tell that the
// output bytes never overwrite the call.
struct PixelArithmetic {
  std::ptrdiff_t sourceStep;
  std::ptrdiff_t sourceStride;
  std::int64_t fBlue;
  std::int64_t fRed;
};
inline PixelArithmetic ArithmeticOf(const DemosaicCall& call) {
  return PixelArithmetic{call.sourceStep, call.sourceStride, call.fBlue, call.fRed};
}

// One output pixel of the plain 8-bit form.
ORVEX_ALWAYS_INLINE void PlainPixel8(PixelArithmetic a, const std::uint8_t* s, std::uint8_t* d,
                                     int rowPhase, int columnPhase) {
  const PixelSums sums =
      SumsAt<std::uint8_t>(s, a.sourceStep, a.sourceStride, rowPhase, columnPhase);
  d[0] = static_cast<std::uint8_t>(ScaleExact(a.fBlue, sums.blue, 255));
  d[1] = static_cast<std::uint8_t>(std::min(sums.green >> 1, 255));
  d[2] = static_cast<std::uint8_t>(ScaleExact(a.fRed, sums.red, 255));
}

// One output pixel of the vector forms' arithmetic.
ORVEX_ALWAYS_INLINE void VectorPixel8(PixelArithmetic a, const std::uint8_t* s, std::uint8_t* d,
                                      int rowPhase, int columnPhase) {
  const PixelSums sums =
      SumsAt<std::uint8_t>(s, a.sourceStep, a.sourceStride, rowPhase, columnPhase);
  d[0] = ScaleVector(Factor16(a.fBlue), sums.blue);
  d[1] = static_cast<std::uint8_t>(std::min(sums.green >> 1, 255));
  d[2] = ScaleVector(Factor16(a.fRed), sums.red);
}

// One output pixel of the 16-bit form: three words.
ORVEX_ALWAYS_INLINE void PlainPixel16(PixelArithmetic a, const std::uint8_t* s, std::uint8_t* d,
                                      int rowPhase, int columnPhase) {
  const PixelSums sums =
      SumsAt<std::uint16_t>(s, a.sourceStep, a.sourceStride, rowPhase, columnPhase);
  const std::uint16_t words[3] = {static_cast<std::uint16_t>(ScaleExact(a.fBlue, sums.blue, 1023)),
                                  static_cast<std::uint16_t>(std::min(sums.green >> 1, 1023)),
                                  static_cast<std::uint16_t>(ScaleExact(a.fRed, sums.red, 1023))};
  std::memcpy(d, words, sizeof words);
}

// Plain output pixels of one row, region columns first .. last (inclusive).
void Row8_C(const DemosaicCall& call, int row, int first, int last);
// Vector-arithmetic output pixels of one row, region columns first .. last (inclusive).
void VectorRow8_C(const DemosaicCall& call, int row, int first, int last);

// The plain forms over a resolved call.
void Demosaic8Rows_C(const DemosaicCall& call);
void Demosaic16Rows_C(const DemosaicCall& call);

// --- The vector forms -----------------------------------------------------------------------
//
// Bytes they produce (W, H the region's size):
//  1. Rows 2 .. H - 3: in each row the vector pass starts at column s = 2, or 3 when that row's
//     column 2 has column phase 1, and covers n whole steps of `step` columns (16, or 8 for
//     MMX) with n the least count that reaches column W - 3 (none when s > W - 3). Of the
//     covered columns, those up to W - 2 get the vector arithmetic (ScaleVector) with the
//     pixel's own phases; columns past W - 2 would need samples outside the row and are not
//     written (column W - 1 is cleared in step 4 anyway).
//  2. The plain form over the region's columns 0 .. min(16, W) - 1 (so columns 2 .. 13), with
//     its phases starting again at the region's first sample.
//  3. SSE forms only: the plain form over columns L .. W - 1 with L = ((W - 4) / 16) x 16.
//  4. Every row 0 .. H - 1: bytes 0 to 2 of the pixels in columns 0, 1 and W - 1 (those that
//     exist) are set to 0.
// Later steps overwrite earlier ones; the fourth byte of wider pixels is never written.
inline constexpr int kSseStep = 16;
inline constexpr int kMmxStep = 8;

// The first vector column of a row, and the last column the vector pass writes in it (less
// than the first when it writes none).
inline int VectorPassFirst(const DemosaicCall& call, int row) {
  return 2 + call.ColumnPhaseOfRow(row);
}
inline int VectorPassLast(const DemosaicCall& call, int row, int step) {
  const int first = VectorPassFirst(call, row);
  const int w = call.width;
  if (first > w - 3) return first - 1;
  const int steps = (w - 3 - first) / step + 1;
  return std::min(first + steps * step - 1, w - 2);
}
inline int RightRecomputeLeft(int width) {
  return ((width - 4) / 16) * 16;
}

// Steps 2 to 4 above, with `plain` doing the plain form over a narrower call.
template <typename Plain>
void FinishVectorForm(const DemosaicCall& call, bool recomputeRight, Plain plain) {
  plain(call.Columns(0, std::min(16, call.width)));
  if (recomputeRight) plain(call.Columns(RightRecomputeLeft(call.width), call.width));
  const int w = call.width;
  for (int row = 0; row < call.height; ++row) {
    std::uint8_t* d = call.DestinationRow(row);
    for (int column : {0, 1, w - 1}) {
      if (column >= 0 && column < w) std::memset(d + column * call.destinationStep, 0, 3);
    }
  }
}

// The vector forms over a resolved call.
void VectorFormRows_C(const DemosaicCall& call, int step, bool recomputeRight);

// The PixelKernel forms. Plain models of the vector forms:
std::int32_t Demosaic8Sse2_C(std::uint8_t*, std::uint8_t*, const std::int32_t*, std::int32_t,
                             std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t,
                             void**, std::int32_t);
std::int32_t Demosaic8Sse3_C(std::uint8_t*, std::uint8_t*, const std::int32_t*, std::int32_t,
                             std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t,
                             void**, std::int32_t);
std::int32_t Demosaic8Mmx_C(std::uint8_t*, std::uint8_t*, const std::int32_t*, std::int32_t,
                            std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t,
                            void**, std::int32_t);

// The exact forms in 16-bit lanes hold for gain factors 0 .. 2047.
inline bool ExactFactorsFit(const DemosaicCall& call) {
  return call.fRed >= 0 && call.fRed < 2048 && call.fBlue >= 0 && call.fBlue < 2048;
}

// Faster forms with exactly the bytes of the form they are named after; they fall back to that
// form where they do not apply. Demosaic8_SSE2 needs SSE2; the AVX2 forms exist on 64-bit x86
// only and need Avx2Available().
std::int32_t Demosaic8_SSE2(std::uint8_t*, std::uint8_t*, const std::int32_t*, std::int32_t,
                            std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t,
                            void**, std::int32_t);
inline bool Avx2Available() {
  return ORVEX_DEMOSAIC_AVX2 && TestCpuFeature(kCpuHasAvx2);
}
std::int32_t Demosaic8_AVX2(std::uint8_t*, std::uint8_t*, const std::int32_t*, std::int32_t,
                            std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t,
                            void**, std::int32_t);
std::int32_t Demosaic16_AVX2(std::uint8_t*, std::uint8_t*, const std::int32_t*, std::int32_t,
                             std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t,
                             void**, std::int32_t);
std::int32_t Demosaic8Sse2_AVX2(std::uint8_t*, std::uint8_t*, const std::int32_t*, std::int32_t,
                                std::int32_t, std::int32_t, std::int32_t, std::int32_t,
                                std::int32_t, void**, std::int32_t);
std::int32_t Demosaic8Mmx_AVX2(std::uint8_t*, std::uint8_t*, const std::int32_t*, std::int32_t,
                               std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t,
                               void**, std::int32_t);

// The implementation that runs for a kernel BayerConvert chose: the fastest form with the same
// bytes that the processor's features in force allow.
PixelKernel FastestDemosaicForm(DemosaicKernel kernel);

}  // namespace orvex::bayer
