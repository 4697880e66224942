#pragma once

#include <cstdint>

namespace orvex::platform {

// Time and the few process services that the core asks of the operating system.
class SystemClock {
 public:
  virtual ~SystemClock() = default;

  // Milliseconds since system start, wrapping at 2^32 (GetTickCount).
  virtual std::uint32_t TickCount() = 0;
  // The multimedia timer's milliseconds, wrapping at 2^32 (timeGetTime).
  virtual std::uint32_t MultimediaTime() = 0;
  virtual void Sleep(std::uint32_t milliseconds) = 0;
  // The C library's pseudo-random generator, never seeded by the library (rand).
  virtual int Rand() = 0;
  // Raises the calling thread to the highest priority the system grants; refusal is harmless.
  virtual void RaiseCurrentThreadPriority() = 0;
};

}  // namespace orvex::platform
