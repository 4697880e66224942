#include "imaging/gray_white_balance.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

#include "base/double_precision.h"
#include "imaging/bayer/balance.h"
#include "imaging/image_buffer.h"
#include "imaging/kernel_call.h"
#include "imaging/kernel_framework.h"

namespace orvex {
namespace bayer {

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

SampleGrid GridOf(const KernelCall& call, std::int32_t bayerMode) {
  SampleGrid grid;
  grid.first = call.SourceRow(0);
  grid.width = call.width;
  grid.height = call.height;
  grid.step = call.sourceBytes;
  grid.stride = call.sourceStride;
  const BayerPhase phase = PhaseForBayerMode(bayerMode);
  grid.rowPhase = phase.row;
  grid.columnPhase = phase.column;
  return grid;
}

// Runs `body(call, record)` for a balance kernel whose call can be read, with at least
// `sourceWordBytes` bytes a source sample; 0 otherwise. The measurements read their source and
// fill their record; an empty region measures nothing, which the record then says (the gains
// stay, the balance results are unmeasurable).
template <typename Record, typename Body>
std::int32_t RunBalanceKernel(std::int32_t sourceWordBytes, std::uint8_t* destination,
                              std::uint8_t* source, const std::int32_t* region, std::int32_t x,
                              std::int32_t y, std::int32_t destinationBytes,
                              std::int32_t sourceBytes, std::int32_t destinationStride,
                              std::int32_t sourceStride, void** parameter, Body body) {
  KernelCall call;
  const CallState state = DecodeKernelCall(destination, source, region, x, y, destinationBytes,
                                           sourceBytes, destinationStride, sourceStride, parameter,
                                           KernelNeeds{1, sourceWordBytes, true}, &call);
  if (state != CallState::kReady && state != CallState::kEmpty) return 0;
  body(call, call.RecordAs<Record>());
  return 1;
}

// Green (positions (0, 0) and (1, 1) together), blue (0, 1) and red (1, 0).
void WhiteBalanceFromPositions(const PositionSums& s, WhiteBalanceRecord* record) {
  const std::uint32_t sum[3] = {s.sum[0] + s.sum[3], s.sum[1], s.sum[2]};
  const std::uint32_t count[3] = {s.count[0] + s.count[3], s.count[1], s.count[2]};
  WhiteBalance(sum, count, record);
}

}  // namespace
}  // namespace bayer

std::int32_t GrayBalanceKernel(std::uint8_t* destination, std::uint8_t* source,
                               const std::int32_t* region, std::int32_t x, std::int32_t y,
                               std::int32_t destinationBytes, std::int32_t sourceBytes,
                               std::int32_t destinationStride, std::int32_t sourceStride,
                               void** parameter, std::int32_t) {
  return bayer::RunBalanceKernel<GrayCorrectionRecord>(
      1, destination, source, region, x, y, destinationBytes, sourceBytes, destinationStride,
      sourceStride, parameter, [](const KernelCall& call, GrayCorrectionRecord& record) {
        bayer::PositionSums sums;
        bayer::SumPositions8(bayer::GridOf(call, record.BayerMode), true, &sums);
        bayer::GrayGains(sums, &record);
      });
}

std::int32_t GrayCorrectionKernel(std::uint8_t* destination, std::uint8_t* source,
                                  const std::int32_t* region, std::int32_t x, std::int32_t y,
                                  std::int32_t destinationBytes, std::int32_t sourceBytes,
                                  std::int32_t destinationStride, std::int32_t sourceStride,
                                  void** parameter, std::int32_t) {
  return bayer::RunBalanceKernel<const GrayCorrectionRecord>(
      1, destination, source, region, x, y, destinationBytes, sourceBytes, destinationStride,
      sourceStride, parameter, [](const KernelCall& call, const GrayCorrectionRecord& record) {
        bayer::GrayCorrect(bayer::GridOf(call, record.BayerMode), call.DestinationRow(0),
                           call.destinationBytes, call.destinationStride, record);
      });
}

std::int32_t WhiteBalanceKernel8(std::uint8_t* destination, std::uint8_t* source,
                                 const std::int32_t* region, std::int32_t x, std::int32_t y,
                                 std::int32_t destinationBytes, std::int32_t sourceBytes,
                                 std::int32_t destinationStride, std::int32_t sourceStride,
                                 void** parameter, std::int32_t) {
  return bayer::RunBalanceKernel<WhiteBalanceRecord>(
      1, destination, source, region, x, y, destinationBytes, sourceBytes, destinationStride,
      sourceStride, parameter, [](const KernelCall& call, WhiteBalanceRecord& record) {
        bayer::PositionSums sums;
        bayer::SumPositions8(bayer::GridOf(call, record.BayerMode), false, &sums);
        bayer::WhiteBalanceFromPositions(sums, &record);
      });
}

std::int32_t WhiteBalanceKernel16(std::uint8_t* destination, std::uint8_t* source,
                                  const std::int32_t* region, std::int32_t x, std::int32_t y,
                                  std::int32_t destinationBytes, std::int32_t sourceBytes,
                                  std::int32_t destinationStride, std::int32_t sourceStride,
                                  void** parameter, std::int32_t) {
  return bayer::RunBalanceKernel<WhiteBalanceRecord>(
      2, destination, source, region, x, y, destinationBytes, sourceBytes, destinationStride,
      sourceStride, parameter, [](const KernelCall& call, WhiteBalanceRecord& record) {
        bayer::PositionSums sums;
        bayer::SumPositions16(bayer::GridOf(call, record.BayerMode), &sums);
        bayer::WhiteBalanceFromPositions(sums, &record);
      });
}

void GrayCorrectionStage(const ImageSettings& s, ImageBuffer& raw, FrameMeasurements* measured) {
  GrayCorrectionRecord record{s.BayerMode, s.GainR1,   s.GainG1,   s.GainG2,  s.GainB1,
                              s.OffsetR1,  s.OffsetG1, s.OffsetG2, s.OffsetB1};
  void* parameter = &record;
  const std::int32_t count = s.GrayBalanceCount;
  if (count != 0) {
    ApplyKernel(raw, GrayBalanceKernel, raw, nullptr, 0, 0, &parameter, 0);
    measured->grayBalance =
        GrayBalanceResult{record.GainR1, record.GainG1, record.GainG2, record.GainB1, count};
  }
  ApplyKernel(raw, GrayCorrectionKernel, raw, nullptr, 0, 0, &parameter, 0);
}

WhiteBalanceResult MeasureWhiteBalance(const ImageSettings& s, ImageBuffer& source) {
  WhiteBalanceRecord record{0, 0, 0, s.BayerMode};
  void* parameter = &record;
  const PixelKernel kernel = source.bitsPerPixel == 16  ? WhiteBalanceKernel16
                             : source.bitsPerPixel == 8 ? WhiteBalanceKernel8
                                                        : nullptr;
  WhiteBalanceResult result;
  if (ApplyKernel(source, kernel, source, nullptr, 0, 0, &parameter, 0) == 1) {
    if (record.blue >= 0) result.blue = std::min(record.blue, 400);
    if (record.green >= 0) result.green = std::min(record.green, 400);
    if (record.red >= 0) result.red = std::min(record.red, 400);
  }
  return result;
}

}  // namespace orvex
