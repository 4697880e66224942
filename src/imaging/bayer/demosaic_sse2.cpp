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
ORVEX_ALIGN_STACK ORVEX_TARGET("sse2") std::int32_t
    Demosaic8Sse2(std::uint8_t* destination, std::uint8_t* source, const std::int32_t* region,
                  std::int32_t x, std::int32_t y, std::int32_t destinationBytes,
                  std::int32_t sourceBytes, std::int32_t destinationStride,
                  std::int32_t sourceStride, void** parameter, std::int32_t) {
  bayer::DemosaicCall call;
  const CallState state =
      bayer::DecodeDemosaicCall(destination, source, region, x, y, destinationBytes, sourceBytes,
                                destinationStride, sourceStride, parameter, bayer::kNeeds8, &call);
  if (state != CallState::kReady) return bayer::DemosaicResultOf(state);
  bayer::SseVectorForm<false>(call);
  return 1;
}

namespace bayer {

ORVEX_ALIGN_STACK ORVEX_TARGET("sse2") std::int32_t
    Demosaic8_SSE2(std::uint8_t* destination, std::uint8_t* source, const std::int32_t* region,
                   std::int32_t x, std::int32_t y, std::int32_t destinationBytes,
                   std::int32_t sourceBytes, std::int32_t destinationStride,
                   std::int32_t sourceStride, void** parameter, std::int32_t spare) {
  DemosaicCall call;
  const CallState state =
      DecodeDemosaicCall(destination, source, region, x, y, destinationBytes, sourceBytes,
                         destinationStride, sourceStride, parameter, kNeeds8, &call);
  if (state != CallState::kReady) return DemosaicResultOf(state);
  if (sourceBytes != 1 || (destinationBytes != 3 && destinationBytes != 4) ||
      !ExactFactorsFit(call)) {
    return Demosaic8(destination, source, region, x, y, destinationBytes, sourceBytes,
                     destinationStride, sourceStride, parameter, spare);
  }
  if (call.width <= 4 || call.height <= 4) return 1;
  for (int row = 2; row <= call.height - 3; ++row) {
    // The lanes pair a column of phase 0 with the next one.
    const int first = VectorPassFirst(call, row);
    if (first > 2) Row8_C(call, row, 2, 2);
    SseVectorRow<false, true>(call, row, first, call.width - 3);
  }
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
