#pragma once

// The per-position work of the gray and white balance kernels: plain forms (balance.cpp), and
// faster forms (balance_sse2.cpp, 64-bit x86) with exactly the same results.

#include <cstddef>
#include <cstdint>

#include "imaging/gray_white_balance.h"

namespace orvex::bayer {

// The samples of a kernel's region with the phases of its first sample.
struct SampleGrid {
  const std::uint8_t* first = nullptr;
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::ptrdiff_t step = 0;    // bytes a sample
  std::ptrdiff_t stride = 0;  // bytes a row
  int rowPhase = 0;
  int columnPhase = 0;

  int ColumnPhaseOfRow(int row) const { return (columnPhase + (row & 1) * (width & 1)) & 1; }
  int RowPhaseOfRow(int row) const { return (rowPhase + row) & 1; }
  const std::uint8_t* Row(int row) const { return first + row * stride; }
};

// Sums and counts of the four positions, index 2 x row phase + column phase. Unsigned 32-bit
// as the measurements define them.
struct PositionSums {
  std::uint32_t sum[4] = {0, 0, 0, 0};
  std::uint32_t count[4] = {0, 0, 0, 0};
};

// 8-bit samples; with skipExtremes the values 0 and 255 are neither summed nor counted.
void SumPositions8_C(const SampleGrid& grid, bool skipExtremes, PositionSums* sums);
// 16-bit words, summed as they are.
void SumPositions16_C(const SampleGrid& grid, PositionSums* sums);

// The gray correction of every sample: (v x gain) / 128 + offset, limited to 0..255, gain and
// offset by position. Writes `destination` (step and stride as given) from `grid`.
void GrayCorrect_C(const SampleGrid& grid, std::uint8_t* destination,
                   std::ptrdiff_t destinationStep, std::ptrdiff_t destinationStride,
                   const GrayCorrectionRecord& record);

// Faster forms; false (nothing done) where they do not apply or are not built.
bool SumPositions8_SSE2(const SampleGrid& grid, bool skipExtremes, PositionSums* sums);
bool SumPositions16_SSE2(const SampleGrid& grid, PositionSums* sums);
bool GrayCorrect_SSE2(const SampleGrid& grid, std::uint8_t* destination,
                      std::ptrdiff_t destinationStep, std::ptrdiff_t destinationStride,
                      const GrayCorrectionRecord& record);

// The fastest of the forms above that the processor's features in force allow.
void SumPositions8(const SampleGrid& grid, bool skipExtremes, PositionSums* sums);
void SumPositions16(const SampleGrid& grid, PositionSums* sums);
void GrayCorrect(const SampleGrid& grid, std::uint8_t* destination, std::ptrdiff_t destinationStep,
                 std::ptrdiff_t destinationStride, const GrayCorrectionRecord& record);

// Gain and offset of a position (index 2 x row phase + column phase) in the gray record.
inline std::int32_t GrayGain(const GrayCorrectionRecord& r, int position) {
  switch (position) {
    case 0:
      return r.GainG1;
    case 1:
      return r.GainR1;
    case 2:
      return r.GainB1;
    default:
      return r.GainG2;
  }
}
inline std::int32_t GrayOffset(const GrayCorrectionRecord& r, int position) {
  switch (position) {
    case 0:
      return r.OffsetG1;
    case 1:
      return r.OffsetR1;
    case 2:
      return r.OffsetB1;
    default:
      return r.OffsetG2;
  }
}

inline std::uint8_t GrayCorrected(std::uint8_t v, std::int32_t gain, std::int32_t offset) {
  const std::int64_t t = static_cast<std::int64_t>(v) * gain / 128 + offset;
  return static_cast<std::uint8_t>(t < 0 ? 0 : (t > 255 ? 255 : t));
}

}  // namespace orvex::bayer
