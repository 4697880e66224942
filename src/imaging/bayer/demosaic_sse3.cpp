#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "imaging/bayer/demosaic.h"

#if ORVEX_X86
#include <pmmintrin.h>

ORVEX_TARGET_BEGIN("sse3")
#include "imaging/bayer/sse_vector_row.h"
ORVEX_TARGET_END
#endif

namespace orvex {

#if ORVEX_X86
namespace bayer {
ORVEX_ALIGN_STACK ORVEX_TARGET("sse3") void Demosaic8Sse3Rows(const DemosaicCall& call) {
  SseVectorForm<true>(call);
}
}  // namespace bayer

std::int32_t Demosaic8Sse3(std::uint8_t* destination, std::uint8_t* source,
                           const std::int32_t* region, std::int32_t x, std::int32_t y,
                           std::int32_t destinationBytes, std::int32_t sourceBytes,
                           std::int32_t destinationStride, std::int32_t sourceStride,
                           void** parameter, std::int32_t) {
  bayer::DemosaicCall call;
  const CallState state =
      bayer::DecodeDemosaicCall(destination, source, region, x, y, destinationBytes, sourceBytes,
                                destinationStride, sourceStride, parameter, bayer::kNeeds8, &call);
  if (state != CallState::kReady) return bayer::DemosaicResultOf(state);
  bayer::Demosaic8Sse3Rows(call);
  return 1;
}
#else
// Without the instruction set the model gives the same bytes.
namespace bayer {
void Demosaic8Sse3Rows(const DemosaicCall& call) {
  SseModelRows_C(call);
}
}  // namespace bayer

std::int32_t Demosaic8Sse3(std::uint8_t* destination, std::uint8_t* source,
                           const std::int32_t* region, std::int32_t x, std::int32_t y,
                           std::int32_t destinationBytes, std::int32_t sourceBytes,
                           std::int32_t destinationStride, std::int32_t sourceStride,
                           void** parameter, std::int32_t spare) {
  return bayer::Demosaic8Sse3_C(destination, source, region, x, y, destinationBytes, sourceBytes,
                                destinationStride, sourceStride, parameter, spare);
}
#endif

}  // namespace orvex
