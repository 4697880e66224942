#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "imaging/bayer/demosaic.h"

#if ORVEX_X86
#include <emmintrin.h>
#include <pmmintrin.h>  // declares the SSE3 load the shared row names (unused here)

ORVEX_TARGET_BEGIN("sse2")
#include "imaging/bayer/sse_vector_row.h"
ORVEX_TARGET_END
#endif

namespace orvex {

#if ORVEX_X86
namespace bayer {

ORVEX_ALIGN_STACK ORVEX_TARGET("sse2") void Demosaic8Sse2Rows(const DemosaicCall& call) {
  SseVectorForm<false>(call);
}

ORVEX_ALIGN_STACK ORVEX_TARGET("sse2") void Demosaic8Rows_SSE2(const DemosaicCall& call) {
  if (call.sourceStep != 1 || (call.destinationStep != 3 && call.destinationStep != 4) ||
      !ExactFactorsFit(call)) {
    Demosaic8Rows_C(call);
    return;
  }
  if (call.width <= 4 || call.height <= 4) return;
  for (int row = call.FirstInteriorRow(); row <= call.LastInteriorRow(); ++row) {
    // The lanes pair a column of phase 0 with the next one.
    const int first = VectorPassFirst(call, row);
    if (first > 2) Row8_C(call, row, 2, 2);
    SseVectorRow<false, true>(call, row, first, call.width - 3);
  }
}

}  // namespace bayer

std::int32_t Demosaic8Sse2(std::uint8_t* destination, std::uint8_t* source,
                           const std::int32_t* region, std::int32_t x, std::int32_t y,
                           std::int32_t destinationBytes, std::int32_t sourceBytes,
                           std::int32_t destinationStride, std::int32_t sourceStride,
                           void** parameter, std::int32_t) {
  bayer::DemosaicCall call;
  const CallState state =
      bayer::DecodeDemosaicCall(destination, source, region, x, y, destinationBytes, sourceBytes,
                                destinationStride, sourceStride, parameter, bayer::kNeeds8, &call);
  if (state != CallState::kReady) return bayer::DemosaicResultOf(state);
  bayer::Demosaic8Sse2Rows(call);
  return 1;
}

namespace bayer {

std::int32_t Demosaic8_SSE2(std::uint8_t* destination, std::uint8_t* source,
                            const std::int32_t* region, std::int32_t x, std::int32_t y,
                            std::int32_t destinationBytes, std::int32_t sourceBytes,
                            std::int32_t destinationStride, std::int32_t sourceStride,
                            void** parameter, std::int32_t) {
  DemosaicCall call;
  const CallState state =
      DecodeDemosaicCall(destination, source, region, x, y, destinationBytes, sourceBytes,
                         destinationStride, sourceStride, parameter, kNeeds8, &call);
  if (state != CallState::kReady) return DemosaicResultOf(state);
  Demosaic8Rows_SSE2(call);
  return 1;
}

}  // namespace bayer

#else
// Without the instruction set the model gives the same bytes.
std::int32_t Demosaic8Sse2(std::uint8_t* destination, std::uint8_t* source,
                           const std::int32_t* region, std::int32_t x, std::int32_t y,
                           std::int32_t destinationBytes, std::int32_t sourceBytes,
                           std::int32_t destinationStride, std::int32_t sourceStride,
                           void** parameter, std::int32_t spare) {
  return bayer::Demosaic8Sse2_C(destination, source, region, x, y, destinationBytes, sourceBytes,
                                destinationStride, sourceStride, parameter, spare);
}

namespace bayer {
void Demosaic8Sse2Rows(const DemosaicCall& call) {
  SseModelRows_C(call);
}
void Demosaic8Rows_SSE2(const DemosaicCall& call) {
  Demosaic8Rows_C(call);
}
std::int32_t Demosaic8_SSE2(std::uint8_t* destination, std::uint8_t* source,
                            const std::int32_t* region, std::int32_t x, std::int32_t y,
                            std::int32_t destinationBytes, std::int32_t sourceBytes,
                            std::int32_t destinationStride, std::int32_t sourceStride,
                            void** parameter, std::int32_t spare) {
  return Demosaic8(destination, source, region, x, y, destinationBytes, sourceBytes,
                   destinationStride, sourceStride, parameter, spare);
}
}  // namespace bayer
#endif

}  // namespace orvex
