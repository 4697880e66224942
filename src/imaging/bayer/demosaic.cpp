#include "imaging/bayer/demosaic.h"

namespace orvex {
namespace bayer {

bool UnpackCall(std::uint8_t* destination, const std::uint8_t* source, const std::int32_t* region,
                std::int32_t x, std::int32_t y, std::int32_t destinationBytes,
                std::int32_t sourceBytes, std::int32_t destinationStride, std::int32_t sourceStride,
                void** parameter, DemosaicCall* call) {
  if (parameter == nullptr || *parameter == nullptr || region == nullptr) return false;
  const auto* record = static_cast<const BayerRecord*>(*parameter);
  const BayerPhase phase = PhaseForBayerMode(record->BayerMode);
  call->destination = destination + static_cast<std::ptrdiff_t>(y) * destinationStride +
                      static_cast<std::ptrdiff_t>(x) * destinationBytes;
  call->source = source + static_cast<std::ptrdiff_t>(region[1]) * sourceStride +
                 static_cast<std::ptrdiff_t>(region[0]) * sourceBytes;
  call->width = region[2] - region[0];
  call->height = region[3] - region[1];
  call->destinationStep = destinationBytes;
  call->sourceStep = sourceBytes;
  call->destinationStride = destinationStride;
  call->sourceStride = sourceStride;
  call->rowPhase = phase.row;
  call->columnPhase = phase.column;
  call->fRed = GainFactor(record->R_Gain);
  call->fBlue = GainFactor(record->B_Gain);
  return true;
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

void PlainRow8(const DemosaicCall& call, int row, int first, int last) {
  RowOf(call, row, first, last,
        [](PixelArithmetic a, const std::uint8_t* s, std::uint8_t* d, int rp, int cp) {
          PlainPixel8(a, s, d, rp, cp);
        });
}

void VectorRowModel8(const DemosaicCall& call, int row, int first, int last) {
  RowOf(call, row, first, last,
        [](PixelArithmetic a, const std::uint8_t* s, std::uint8_t* d, int rp, int cp) {
          VectorPixel8(a, s, d, rp, cp);
        });
}

void Demosaic8Plain(const DemosaicCall& call) {
  if (call.width <= 4 || call.height <= 4) return;
  for (int row = 2; row <= call.height - 3; ++row) PlainRow8(call, row, 2, call.width - 3);
}

void Demosaic16Plain(const DemosaicCall& call) {
  if (call.width <= 4 || call.height <= 4) return;
  for (int row = 2; row <= call.height - 3; ++row) {
    RowOf(call, row, 2, call.width - 3,
          [](PixelArithmetic a, const std::uint8_t* s, std::uint8_t* d, int rp, int cp) {
            PlainPixel16(a, s, d, rp, cp);
          });
  }
}

void VectorFormModel(const DemosaicCall& call, int step, bool recomputeRight) {
  for (int row = 2; row <= call.height - 3; ++row) {
    VectorRowModel8(call, row, VectorPassFirst(call, row), VectorPassLast(call, row, step));
  }
  FinishVectorForm(call, recomputeRight, [](const DemosaicCall& part) { Demosaic8Plain(part); });
}

namespace {

// 8-bit kernels need a sample of at least one byte and room for three output bytes; 16-bit
// ones a word and three output words. Other pixel sizes are left alone.
bool Fits8(std::int32_t destinationBytes, std::int32_t sourceBytes) {
  return sourceBytes >= 1 && destinationBytes >= 3;
}

}  // namespace

std::int32_t Demosaic8Sse2Model(std::uint8_t* destination, std::uint8_t* source,
                                const std::int32_t* region, std::int32_t x, std::int32_t y,
                                std::int32_t destinationBytes, std::int32_t sourceBytes,
                                std::int32_t destinationStride, std::int32_t sourceStride,
                                void** parameter, std::int32_t) {
  DemosaicCall call;
  if (!UnpackCall(destination, source, region, x, y, destinationBytes, sourceBytes,
                  destinationStride, sourceStride, parameter, &call)) {
    return 0;
  }
  if (Fits8(destinationBytes, sourceBytes)) VectorFormModel(call, kSseStep, true);
  return 1;
}

// The SSE3 form differs from the SSE2 form only in how it loads and stores.
std::int32_t Demosaic8Sse3Model(std::uint8_t* destination, std::uint8_t* source,
                                const std::int32_t* region, std::int32_t x, std::int32_t y,
                                std::int32_t destinationBytes, std::int32_t sourceBytes,
                                std::int32_t destinationStride, std::int32_t sourceStride,
                                void** parameter, std::int32_t spare) {
  return Demosaic8Sse2Model(destination, source, region, x, y, destinationBytes, sourceBytes,
                            destinationStride, sourceStride, parameter, spare);
}

std::int32_t Demosaic8MmxModel(std::uint8_t* destination, std::uint8_t* source,
                               const std::int32_t* region, std::int32_t x, std::int32_t y,
                               std::int32_t destinationBytes, std::int32_t sourceBytes,
                               std::int32_t destinationStride, std::int32_t sourceStride,
                               void** parameter, std::int32_t) {
  DemosaicCall call;
  if (!UnpackCall(destination, source, region, x, y, destinationBytes, sourceBytes,
                  destinationStride, sourceStride, parameter, &call)) {
    return 0;
  }
  if (Fits8(destinationBytes, sourceBytes)) VectorFormModel(call, kMmxStep, false);
  return 1;
}

}  // namespace bayer

std::int32_t Demosaic8(std::uint8_t* destination, std::uint8_t* source, const std::int32_t* region,
                       std::int32_t x, std::int32_t y, std::int32_t destinationBytes,
                       std::int32_t sourceBytes, std::int32_t destinationStride,
                       std::int32_t sourceStride, void** parameter, std::int32_t) {
  bayer::DemosaicCall call;
  if (!bayer::UnpackCall(destination, source, region, x, y, destinationBytes, sourceBytes,
                         destinationStride, sourceStride, parameter, &call)) {
    return 0;
  }
  if (sourceBytes >= 1 && destinationBytes >= 3) bayer::Demosaic8Plain(call);
  return 1;
}

std::int32_t Demosaic16(std::uint8_t* destination, std::uint8_t* source, const std::int32_t* region,
                        std::int32_t x, std::int32_t y, std::int32_t destinationBytes,
                        std::int32_t sourceBytes, std::int32_t destinationStride,
                        std::int32_t sourceStride, void** parameter, std::int32_t) {
  bayer::DemosaicCall call;
  if (!bayer::UnpackCall(destination, source, region, x, y, destinationBytes, sourceBytes,
                         destinationStride, sourceStride, parameter, &call)) {
    return 0;
  }
  if (sourceBytes >= 2 && destinationBytes >= 6) bayer::Demosaic16Plain(call);
  return 1;
}

}  // namespace orvex
