#pragma once

#include "platform/driver_port.h"
#include "platform/registry_store.h"
#include "platform/system_clock.h"
#include "platform/window_system.h"

namespace orvex::platform {

// The platform's own backends (posix/ on Linux, win32/ on Windows), made on first use and
// kept for the life of the process.
DriverPort& DefaultDriverPort();
SystemClock& DefaultClock();
WindowSystem& DefaultWindowSystem();
RegistryStore& DefaultRegistryStore();

}  // namespace orvex::platform
