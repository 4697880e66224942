#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

#include "platform/window_system.h"

namespace orvex::platform::testing {

// A WindowSystem for unit tests that keeps every posted message. Thread-safe: the library
// posts from its preview thread too.
class RecordingWindowSystem : public WindowSystem {
 public:
  struct Posted {
    WindowHandle window = 0;
    std::uint32_t message = 0;
    std::uintptr_t wParam = 0;
    std::intptr_t lParam = 0;
  };

  bool PostWindowMessage(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                         std::intptr_t lParam) override;

  std::vector<Posted> Messages() const;
  void Clear();

 private:
  mutable std::mutex mutex_;
  std::vector<Posted> posted_;
};

}  // namespace orvex::platform::testing
