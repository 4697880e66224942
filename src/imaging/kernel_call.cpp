#include "imaging/kernel_call.h"

#include <algorithm>
#include <limits>

namespace orvex {

CallState DecodeKernelCall(std::uint8_t* destination, const std::uint8_t* source,
                           const std::int32_t* region, std::int32_t x, std::int32_t y,
                           std::int32_t destinationBytes, std::int32_t sourceBytes,
                           std::int32_t destinationStride, std::int32_t sourceStride,
                           void** parameter, const KernelNeeds& needs, KernelCall* call) {
  if (destination == nullptr || source == nullptr || region == nullptr) return CallState::kInvalid;
  void* record = parameter != nullptr ? *parameter : nullptr;
  if (needs.record && record == nullptr) return CallState::kInvalid;
  if (destinationBytes < needs.destinationBytes || sourceBytes < needs.sourceBytes) {
    return CallState::kUnfit;
  }
  const std::int64_t width = std::int64_t{region[2]} - region[0];
  const std::int64_t height = std::int64_t{region[3]} - region[1];
  if (width > std::numeric_limits<std::int32_t>::max() ||
      height > std::numeric_limits<std::int32_t>::max()) {
    return CallState::kInvalid;
  }
  call->destination = destination;
  call->source = source;
  call->left = region[0];
  call->top = region[1];
  call->width = static_cast<std::int32_t>(std::max<std::int64_t>(width, 0));
  call->height = static_cast<std::int32_t>(std::max<std::int64_t>(height, 0));
  call->x = x;
  call->y = y;
  call->destinationBytes = destinationBytes;
  call->sourceBytes = sourceBytes;
  call->destinationStride = destinationStride;
  call->sourceStride = sourceStride;
  call->record = record;
  return width <= 0 || height <= 0 ? CallState::kEmpty : CallState::kReady;
}

}  // namespace orvex
