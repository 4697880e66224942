#include "platform/testing/recording_window_system.h"

namespace orvex::platform::testing {

bool RecordingWindowSystem::PostWindowMessage(WindowHandle window, std::uint32_t message,
                                              std::uintptr_t wParam, std::intptr_t lParam) {
  if (window == 0) return false;
  std::lock_guard lock(mutex_);
  posted_.push_back(Posted{window, message, wParam, lParam});
  return true;
}

std::vector<RecordingWindowSystem::Posted> RecordingWindowSystem::Messages() const {
  std::lock_guard lock(mutex_);
  return posted_;
}

void RecordingWindowSystem::Clear() {
  std::lock_guard lock(mutex_);
  posted_.clear();
}

}  // namespace orvex::platform::testing
