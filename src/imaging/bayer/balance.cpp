// The per-position work of the gray and white balance kernels in its plain forms, and the
// choice of the fastest form (balance_sse2.cpp) that the processor's features allow.
#include "imaging/bayer/balance.h"

#include <cstring>

#include "base/cpu_features.h"

namespace orvex::bayer {

void SumPositions8_C(const SampleGrid& grid, bool skipExtremes, PositionSums* sums) {
  for (int row = 0; row < grid.height; ++row) {
    const int rowPhase = grid.RowPhaseOfRow(row);
    const int phase = grid.ColumnPhaseOfRow(row);
    const std::uint8_t* s = grid.Row(row);
    for (int c = 0; c < grid.width; ++c) {
      const std::uint8_t v = s[c * grid.step];
      if (skipExtremes && (v == 0 || v == 255)) continue;
      const int position = 2 * rowPhase + ((phase + c) & 1);
      sums->sum[position] += v;
      sums->count[position] += 1;
    }
  }
}

void SumPositions16_C(const SampleGrid& grid, PositionSums* sums) {
  for (int row = 0; row < grid.height; ++row) {
    const int rowPhase = grid.RowPhaseOfRow(row);
    const int phase = grid.ColumnPhaseOfRow(row);
    const std::uint8_t* s = grid.Row(row);
    for (int c = 0; c < grid.width; ++c) {
      std::uint16_t v;
      std::memcpy(&v, s + c * grid.step, sizeof v);
      const int position = 2 * rowPhase + ((phase + c) & 1);
      sums->sum[position] += v;
      sums->count[position] += 1;
    }
  }
}

void GrayCorrect_C(const SampleGrid& grid, std::uint8_t* destination,
                   std::ptrdiff_t destinationStep, std::ptrdiff_t destinationStride,
                   const GrayCorrectionRecord& record) {
  for (int row = 0; row < grid.height; ++row) {
    const int rowPhase = grid.RowPhaseOfRow(row);
    const int phase = grid.ColumnPhaseOfRow(row);
    const std::uint8_t* s = grid.Row(row);
    std::uint8_t* d = destination + row * destinationStride;
    for (int c = 0; c < grid.width; ++c) {
      const int position = 2 * rowPhase + ((phase + c) & 1);
      d[c * destinationStep] =
          GrayCorrected(s[c * grid.step], GrayGain(record, position), GrayOffset(record, position));
    }
  }
}

void SumPositions8(const SampleGrid& grid, bool skipExtremes, PositionSums* sums) {
  if (!(TestCpuFeature(kCpuHasSse2) && SumPositions8_SSE2(grid, skipExtremes, sums))) {
    SumPositions8_C(grid, skipExtremes, sums);
  }
}

void SumPositions16(const SampleGrid& grid, PositionSums* sums) {
  if (!(TestCpuFeature(kCpuHasSse2) && SumPositions16_SSE2(grid, sums))) {
    SumPositions16_C(grid, sums);
  }
}

void GrayCorrect(const SampleGrid& grid, std::uint8_t* destination, std::ptrdiff_t destinationStep,
                 std::ptrdiff_t destinationStride, const GrayCorrectionRecord& record) {
  if (!(TestCpuFeature(kCpuHasSse2) &&
        GrayCorrect_SSE2(grid, destination, destinationStep, destinationStride, record))) {
    GrayCorrect_C(grid, destination, destinationStep, destinationStride, record);
  }
}

}  // namespace orvex::bayer
