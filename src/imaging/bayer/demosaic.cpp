#include "imaging/bayer/demosaic.h"

namespace orvex {
namespace bayer {

CallState DecodeDemosaicCall(std::uint8_t* destination, const std::uint8_t* source,
                             const std::int32_t* region, std::int32_t x, std::int32_t y,
                             std::int32_t destinationBytes, std::int32_t sourceBytes,
                             std::int32_t destinationStride, std::int32_t sourceStride,
                             void** parameter, const KernelNeeds& needs, DemosaicCall* call) {
  KernelCall kernel;
  const CallState state =
      DecodeKernelCall(destination, source, region, x, y, destinationBytes, sourceBytes,
                       destinationStride, sourceStride, parameter, needs, &kernel);
  if (state != CallState::kReady) return state;
  const auto& record = kernel.RecordAs<const BayerRecord>();
  const BayerPhase phase = PhaseForBayerMode(record.BayerMode);
  call->destination = kernel.DestinationRow(0);
  call->source = kernel.SourceRow(0);
  call->width = kernel.width;
  call->height = kernel.height;
  call->destinationStep = destinationBytes;
  call->sourceStep = sourceBytes;
  call->destinationStride = destinationStride;
  call->sourceStride = sourceStride;
  call->rowPhase = phase.row;
  call->columnPhase = phase.column;
  call->fRed = GainFactor(record.R_Gain);
  call->fBlue = GainFactor(record.B_Gain);
  call->rowBegin = 0;
  call->rowEnd = kernel.height;
  return state;
}

namespace {

template <typename Pixel>
void RowOf(const DemosaicCall& call, int row, int first, int last, Pixel pixel) {
  const PixelArithmetic a = ArithmeticOf(call);
  const int rowPhase = call.RowPhaseOfRow(row);
  const int phase = call.ColumnPhaseOfRow(row);
  const std::ptrdiff_t step = call.destinationStep;
  const std::uint8_t* s = call.SourceRow(row);
  std::uint8_t* d = call.DestinationRow(row);
  for (int c = first; c <= last; ++c) {
    pixel(a, s + c * a.sourceStep, d + c * step, rowPhase, (phase + c) & 1);
  }
}

}  // namespace

void Row8_C(const DemosaicCall& call, int row, int first, int last) {
  RowOf(call, row, first, last,
        [](PixelArithmetic a, const std::uint8_t* s, std::uint8_t* d, int rp, int cp) {
          PlainPixel8(a, s, d, rp, cp);
        });
}

void VectorRow8_C(const DemosaicCall& call, int row, int first, int last) {
  RowOf(call, row, first, last,
        [](PixelArithmetic a, const std::uint8_t* s, std::uint8_t* d, int rp, int cp) {
          VectorPixel8(a, s, d, rp, cp);
        });
}

void Demosaic8Rows_C(const DemosaicCall& call) {
  if (call.width <= 4 || call.height <= 4) return;
  for (int row = call.FirstInteriorRow(); row <= call.LastInteriorRow(); ++row) {
    Row8_C(call, row, 2, call.width - 3);
  }
}

void Demosaic16Rows_C(const DemosaicCall& call) {
  if (call.width <= 4 || call.height <= 4) return;
  for (int row = call.FirstInteriorRow(); row <= call.LastInteriorRow(); ++row) {
    RowOf(call, row, 2, call.width - 3,
          [](PixelArithmetic a, const std::uint8_t* s, std::uint8_t* d, int rp, int cp) {
            PlainPixel16(a, s, d, rp, cp);
          });
  }
}

void VectorFormRows_C(const DemosaicCall& call, int step, bool recomputeRight) {
  for (int row = call.FirstInteriorRow(); row <= call.LastInteriorRow(); ++row) {
    VectorRow8_C(call, row, VectorPassFirst(call, row), VectorPassLast(call, row, step));
  }
  FinishVectorForm(call, recomputeRight, [](const DemosaicCall& part) { Demosaic8Rows_C(part); });
}

void SseModelRows_C(const DemosaicCall& call) {
  VectorFormRows_C(call, kSseStep, true);
}

void MmxModelRows_C(const DemosaicCall& call) {
  VectorFormRows_C(call, kMmxStep, false);
}

std::int32_t Demosaic8Sse2_C(std::uint8_t* destination, std::uint8_t* source,
                             const std::int32_t* region, std::int32_t x, std::int32_t y,
                             std::int32_t destinationBytes, std::int32_t sourceBytes,
                             std::int32_t destinationStride, std::int32_t sourceStride,
                             void** parameter, std::int32_t) {
  DemosaicCall call;
  const CallState state =
      DecodeDemosaicCall(destination, source, region, x, y, destinationBytes, sourceBytes,
                         destinationStride, sourceStride, parameter, kNeeds8, &call);
  if (state != CallState::kReady) return DemosaicResultOf(state);
  SseModelRows_C(call);
  return 1;
}

// The SSE3 form differs from the SSE2 form only in how it loads and stores.
std::int32_t Demosaic8Sse3_C(std::uint8_t* destination, std::uint8_t* source,
                             const std::int32_t* region, std::int32_t x, std::int32_t y,
                             std::int32_t destinationBytes, std::int32_t sourceBytes,
                             std::int32_t destinationStride, std::int32_t sourceStride,
                             void** parameter, std::int32_t spare) {
  return Demosaic8Sse2_C(destination, source, region, x, y, destinationBytes, sourceBytes,
                         destinationStride, sourceStride, parameter, spare);
}

std::int32_t Demosaic8Mmx_C(std::uint8_t* destination, std::uint8_t* source,
                            const std::int32_t* region, std::int32_t x, std::int32_t y,
                            std::int32_t destinationBytes, std::int32_t sourceBytes,
                            std::int32_t destinationStride, std::int32_t sourceStride,
                            void** parameter, std::int32_t) {
  DemosaicCall call;
  const CallState state =
      DecodeDemosaicCall(destination, source, region, x, y, destinationBytes, sourceBytes,
                         destinationStride, sourceStride, parameter, kNeeds8, &call);
  if (state != CallState::kReady) return DemosaicResultOf(state);
  MmxModelRows_C(call);
  return 1;
}

}  // namespace bayer

std::int32_t Demosaic8(std::uint8_t* destination, std::uint8_t* source, const std::int32_t* region,
                       std::int32_t x, std::int32_t y, std::int32_t destinationBytes,
                       std::int32_t sourceBytes, std::int32_t destinationStride,
                       std::int32_t sourceStride, void** parameter, std::int32_t) {
  bayer::DemosaicCall call;
  const CallState state =
      bayer::DecodeDemosaicCall(destination, source, region, x, y, destinationBytes, sourceBytes,
                                destinationStride, sourceStride, parameter, bayer::kNeeds8, &call);
  if (state != CallState::kReady) return bayer::DemosaicResultOf(state);
  bayer::Demosaic8Rows_C(call);
  return 1;
}

std::int32_t Demosaic16(std::uint8_t* destination, std::uint8_t* source, const std::int32_t* region,
                        std::int32_t x, std::int32_t y, std::int32_t destinationBytes,
                        std::int32_t sourceBytes, std::int32_t destinationStride,
                        std::int32_t sourceStride, void** parameter, std::int32_t) {
  bayer::DemosaicCall call;
  const CallState state =
      bayer::DecodeDemosaicCall(destination, source, region, x, y, destinationBytes, sourceBytes,
                                destinationStride, sourceStride, parameter, bayer::kNeeds16, &call);
  if (state != CallState::kReady) return bayer::DemosaicResultOf(state);
  bayer::Demosaic16Rows_C(call);
  return 1;
}

}  // namespace orvex
