#include "platform/platform_services.h"

#include <atomic>

#include "platform/default_backends.h"

namespace orvex::platform {
namespace {

// Installed test backends; null means the platform's own. Threads of the library read these
// while a test may install others between cases, so they are atomic.
std::atomic<DriverPort*> installedDriver{nullptr};
std::atomic<RegistryStore*> installedRegistry{nullptr};
std::atomic<WindowSystem*> installedWindows{nullptr};
std::atomic<SystemClock*> installedClock{nullptr};

template <typename T>
T& Pick(const std::atomic<T*>& installed, T& (*fallback)()) {
  T* backend = installed.load(std::memory_order_acquire);
  return backend != nullptr ? *backend : fallback();
}

}  // namespace

DriverPort& Driver() {
  return Pick(installedDriver, DefaultDriverPort);
}
RegistryStore& Registry() {
  return Pick(installedRegistry, DefaultRegistryStore);
}
WindowSystem& Windows() {
  return Pick(installedWindows, DefaultWindowSystem);
}
SystemClock& Clock() {
  return Pick(installedClock, DefaultClock);
}

void InstallPlatformServices(const PlatformServices& services) {
  if (services.driver != nullptr) installedDriver.store(services.driver, std::memory_order_release);
  if (services.registry != nullptr)
    installedRegistry.store(services.registry, std::memory_order_release);
  if (services.windows != nullptr)
    installedWindows.store(services.windows, std::memory_order_release);
  if (services.clock != nullptr) installedClock.store(services.clock, std::memory_order_release);
}

void ResetPlatformServices() {
  installedDriver.store(nullptr, std::memory_order_release);
  installedRegistry.store(nullptr, std::memory_order_release);
  installedWindows.store(nullptr, std::memory_order_release);
  installedClock.store(nullptr, std::memory_order_release);
}

}  // namespace orvex::platform
