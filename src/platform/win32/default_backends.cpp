#include "platform/default_backends.h"

#include "platform/win32/win32_clock.h"
#include "platform/win32/win32_driver_port.h"
#include "platform/win32/win32_registry_store.h"
#include "platform/win32/win32_window_system.h"

namespace orvex::platform {

// The backends hold no state, so one of each serves every thread of the process.

DriverPort& DefaultDriverPort() {
  static Win32DriverPort port;
  return port;
}

SystemClock& DefaultClock() {
  static Win32Clock clock;
  return clock;
}

WindowSystem& DefaultWindowSystem() {
  static Win32WindowSystem windows;
  return windows;
}

RegistryStore& DefaultRegistryStore() {
  static Win32RegistryStore store;
  return store;
}

}  // namespace orvex::platform
