#include "imaging/gray_white_balance.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

#include "base/double_precision.h"
#include "core/camera_context.h"
#include "imaging/bayer/balance.h"
#include "imaging/image_buffer.h"
#include "imaging/kernel_framework.h"

namespace orvex {
namespace bayer {

void SumPositions8Plain(const SampleGrid& grid, bool skipExtremes, PositionSums* sums) {
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

void SumPositions16Plain(const SampleGrid& grid, PositionSums* sums) {
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

void GrayCorrectPlain(const SampleGrid& grid, std::uint8_t* destination,
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

namespace {

// Truncation toward zero, limited to the 32-bit range (a huge ratio is limited by the caller).
std::int32_t TruncateToInt32(double v) {
  if (!(v < 2147483647.0)) return INT32_MAX;
  if (!(v > -2147483648.0)) return INT32_MIN;
  return static_cast<std::int32_t>(v);
}

namespace arithmetic {
#include "imaging/bayer/balance_arithmetic.inc"
}  // namespace arithmetic

void GrayGains(const PositionSums& s, GrayCorrectionRecord* record) {
  WithDoublePrecision([&] { arithmetic::GrayGainsFromSums(s, record); });
}
void WhiteBalance(const std::uint32_t sum[3], const std::uint32_t count[3],
                  WhiteBalanceRecord* record) {
  WithDoublePrecision([&] { arithmetic::WhiteBalanceFromSums(sum, count, record); });
}

SampleGrid GridOf(const std::uint8_t* pixels, const std::int32_t* region, std::int32_t bytes,
                  std::int32_t stride, std::int32_t bayerMode) {
  SampleGrid grid;
  grid.first = pixels + static_cast<std::ptrdiff_t>(region[1]) * stride +
               static_cast<std::ptrdiff_t>(region[0]) * bytes;
  grid.width = region[2] - region[0];
  grid.height = region[3] - region[1];
  grid.step = bytes;
  grid.stride = stride;
  const BayerPhase phase = PhaseForBayerMode(bayerMode);
  grid.rowPhase = phase.row;
  grid.columnPhase = phase.column;
  return grid;
}

template <typename Record>
Record* RecordOf(void** parameter) {
  return parameter == nullptr ? nullptr : static_cast<Record*>(*parameter);
}

// Green (positions (0, 0) and (1, 1) together), blue (0, 1) and red (1, 0).
void WhiteBalanceFromPositions(const PositionSums& s, WhiteBalanceRecord* record) {
  const std::uint32_t sum[3] = {s.sum[0] + s.sum[3], s.sum[1], s.sum[2]};
  const std::uint32_t count[3] = {s.count[0] + s.count[3], s.count[1], s.count[2]};
  WhiteBalance(sum, count, record);
}

void RefreshImageDialog(CameraContext& context) {
  if (ImageDialogView* view = context.imageDialog.load(std::memory_order_acquire)) {
    view->Refresh();
  }
}

}  // namespace
}  // namespace bayer

std::int32_t GrayBalanceKernel(std::uint8_t*, std::uint8_t* source, const std::int32_t* region,
                               std::int32_t, std::int32_t, std::int32_t, std::int32_t sourceBytes,
                               std::int32_t, std::int32_t sourceStride, void** parameter,
                               std::int32_t) {
  auto* record = bayer::RecordOf<GrayCorrectionRecord>(parameter);
  if (record == nullptr || region == nullptr || sourceBytes < 1) return 0;
  const bayer::SampleGrid grid =
      bayer::GridOf(source, region, sourceBytes, sourceStride, record->BayerMode);
  bayer::PositionSums sums;
  if (!bayer::SumPositions8Fast(grid, true, &sums)) bayer::SumPositions8Plain(grid, true, &sums);
  bayer::GrayGains(sums, record);
  return 1;
}

std::int32_t GrayCorrectionKernel(std::uint8_t* destination, std::uint8_t* source,
                                  const std::int32_t* region, std::int32_t x, std::int32_t y,
                                  std::int32_t destinationBytes, std::int32_t sourceBytes,
                                  std::int32_t destinationStride, std::int32_t sourceStride,
                                  void** parameter, std::int32_t) {
  const auto* record = bayer::RecordOf<GrayCorrectionRecord>(parameter);
  if (record == nullptr || region == nullptr || sourceBytes < 1 || destinationBytes < 1) return 0;
  const bayer::SampleGrid grid =
      bayer::GridOf(source, region, sourceBytes, sourceStride, record->BayerMode);
  std::uint8_t* out = destination + static_cast<std::ptrdiff_t>(y) * destinationStride +
                      static_cast<std::ptrdiff_t>(x) * destinationBytes;
  if (!bayer::GrayCorrectFast(grid, out, destinationBytes, destinationStride, *record)) {
    bayer::GrayCorrectPlain(grid, out, destinationBytes, destinationStride, *record);
  }
  return 1;
}

std::int32_t WhiteBalanceKernel8(std::uint8_t*, std::uint8_t* source, const std::int32_t* region,
                                 std::int32_t, std::int32_t, std::int32_t, std::int32_t sourceBytes,
                                 std::int32_t, std::int32_t sourceStride, void** parameter,
                                 std::int32_t) {
  auto* record = bayer::RecordOf<WhiteBalanceRecord>(parameter);
  if (record == nullptr || region == nullptr || sourceBytes < 1) return 0;
  const bayer::SampleGrid grid =
      bayer::GridOf(source, region, sourceBytes, sourceStride, record->BayerMode);
  bayer::PositionSums sums;
  if (!bayer::SumPositions8Fast(grid, false, &sums)) bayer::SumPositions8Plain(grid, false, &sums);
  bayer::WhiteBalanceFromPositions(sums, record);
  return 1;
}

std::int32_t WhiteBalanceKernel16(std::uint8_t*, std::uint8_t* source, const std::int32_t* region,
                                  std::int32_t, std::int32_t, std::int32_t,
                                  std::int32_t sourceBytes, std::int32_t, std::int32_t sourceStride,
                                  void** parameter, std::int32_t) {
  auto* record = bayer::RecordOf<WhiteBalanceRecord>(parameter);
  if (record == nullptr || region == nullptr || sourceBytes < 2) return 0;
  const bayer::SampleGrid grid =
      bayer::GridOf(source, region, sourceBytes, sourceStride, record->BayerMode);
  bayer::PositionSums sums;
  if (!bayer::SumPositions16Fast(grid, &sums)) bayer::SumPositions16Plain(grid, &sums);
  bayer::WhiteBalanceFromPositions(sums, record);
  return 1;
}

void GrayCorrectionStage(CameraContext& context) {
  ImageBuffer* raw = context.RawImage8.get();
  if (raw == nullptr) return;
  ImageSettings& s = context.image;
  GrayCorrectionRecord record{s.BayerMode, s.GainR1,   s.GainG1,   s.GainG2,  s.GainB1,
                              s.OffsetR1,  s.OffsetG1, s.OffsetG2, s.OffsetB1};
  void* parameter = &record;
  const std::int32_t count = s.GrayBalanceCount;
  if (count != 0) {
    ApplyKernel(*raw, GrayBalanceKernel, *raw, nullptr, 0, 0, &parameter, 0);
    s.GainR1 = record.GainR1;
    s.GainG1 = record.GainG1;
    s.GainG2 = record.GainG2;
    s.GainB1 = record.GainB1;
    bayer::RefreshImageDialog(context);
    // Counting on below the smallest value would wrap around; it measures every frame anyway.
    if (count != INT32_MIN) s.GrayBalanceCount = count - 1;
  }
  ApplyKernel(*raw, GrayCorrectionKernel, *raw, nullptr, 0, 0, &parameter, 0);
}

void MeasureWhiteBalance(CameraContext& context, ImageBuffer& source) {
  ImageSettings& s = context.image;
  WhiteBalanceRecord record{0, 0, 0, s.BayerMode};
  void* parameter = &record;
  const PixelKernel kernel = source.bitsPerPixel == 16  ? WhiteBalanceKernel16
                             : source.bitsPerPixel == 8 ? WhiteBalanceKernel8
                                                        : nullptr;
  if (ApplyKernel(source, kernel, source, nullptr, 0, 0, &parameter, 0) == 1) {
    if (record.blue >= 0) s.B_Gain = std::min(record.blue, 400);
    if (record.green >= 0) s.G_Gain = std::min(record.green, 400);
    if (record.red >= 0) s.R_Gain = std::min(record.red, 400);
  }
  bayer::RefreshImageDialog(context);
  if (s.BayerGainAuto != 0 && s.BayerGainOnce1 != 0 && s.BayerGainOnce2 != 0) {
    s.BayerGainAuto = 0;
    s.BayerGainOnce1 = 0;
    s.BayerGainOnce2 = 0;
  }
}

}  // namespace orvex
