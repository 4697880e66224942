#pragma once

#include "platform/driver_port.h"
#include "platform/registry_store.h"
#include "platform/system_clock.h"
#include "platform/window_system.h"

namespace orvex::platform {

// The backends of the process. The platform's own backends are made on first use; a test
// installs its in-memory ones before it creates any context, and they stay in force until it
// installs others. The installer keeps ownership.
struct PlatformServices {
  DriverPort* driver = nullptr;
  RegistryStore* registry = nullptr;
  WindowSystem* windows = nullptr;
  SystemClock* clock = nullptr;
};

DriverPort& Driver();
RegistryStore& Registry();
WindowSystem& Windows();
SystemClock& Clock();

// Replaces the backends that are set (non-null) in `services`; null members keep theirs.
void InstallPlatformServices(const PlatformServices& services);
// Goes back to the platform's own backends.
void ResetPlatformServices();

}  // namespace orvex::platform
