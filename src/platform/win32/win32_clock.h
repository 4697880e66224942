#pragma once

#include "platform/system_clock.h"

namespace orvex::platform {

// kernel32's tick count, sleep and thread priority, winmm's multimedia timer and the C
// library's rand.
class Win32Clock final : public SystemClock {
 public:
  std::uint32_t TickCount() override;
  std::uint32_t MultimediaTime() override;
  void Sleep(std::uint32_t milliseconds) override;
  int Rand() override;
  void RaiseCurrentThreadPriority() override;
};

}  // namespace orvex::platform
