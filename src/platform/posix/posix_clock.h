#pragma once

#include "platform/system_clock.h"

namespace orvex::platform {

// Time and threads on POSIX: the monotonic clock for both millisecond counters, nanosleep,
// the C library's rand, and round-robin scheduling for the reader threads where permitted.
class PosixClock final : public SystemClock {
 public:
  std::uint32_t TickCount() override;
  std::uint32_t MultimediaTime() override;
  void Sleep(std::uint32_t milliseconds) override;
  int Rand() override;
  void RaiseCurrentThreadPriority() override;
};

}  // namespace orvex::platform
