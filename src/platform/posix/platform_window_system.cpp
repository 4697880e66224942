#include <orvex/platform.h>

#include "platform/default_backends.h"

namespace orvex::platform {
namespace {

// Windows on Linux belong to the OrvexPlatform library.
class PlatformWindowSystem final : public WindowSystem {
 public:
  bool PostWindowMessage(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                         std::intptr_t lParam) override {
    if (window == 0) return false;
    return OrvexPlatform_PostMessage(window, message, wParam, lParam) != 0;
  }
};

}  // namespace

WindowSystem& DefaultWindowSystem() {
  static PlatformWindowSystem windows;
  return windows;
}

}  // namespace orvex::platform
