#include "core/last_error_queue.h"

#include <algorithm>

namespace orvex {

void LastErrorQueue::Push(std::int32_t code) {
  std::lock_guard lock(mutex_);
  std::copy_backward(slots_.begin(), slots_.end() - 1, slots_.end());
  slots_[0] = code;
}

std::int32_t LastErrorQueue::Take() {
  std::lock_guard lock(mutex_);
  const std::int32_t newest = slots_[0];
  std::copy(slots_.begin() + 1, slots_.end(), slots_.begin());
  slots_[kSlots - 1] = 0;
  return newest;
}

}  // namespace orvex
