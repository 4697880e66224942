#include "platform/win32/win32_clock.h"

#include <windows.h>
// windows.h leaves the multimedia timer out under WIN32_LEAN_AND_MEAN.
#include <mmsystem.h>

#include <cstdlib>

namespace orvex::platform {

std::uint32_t Win32Clock::TickCount() {
  return GetTickCount();
}

std::uint32_t Win32Clock::MultimediaTime() {
  return timeGetTime();
}

void Win32Clock::Sleep(std::uint32_t milliseconds) {
  ::Sleep(milliseconds);
}

int Win32Clock::Rand() {
  return std::rand();
}

void Win32Clock::RaiseCurrentThreadPriority() {
  SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_HIGHEST);
}

}  // namespace orvex::platform
