#pragma once

#include <gtest/gtest.h>

#include "platform/platform_services.h"
#include "platform/testing/fake_clock.h"
#include "platform/testing/memory_registry_store.h"
#include "platform/testing/recording_driver_port.h"
#include "platform/testing/recording_window_system.h"

namespace orvex::testing {

// Installs in-memory backends for the length of a test: a recording driver port, a fake
// clock, an empty settings store and a window system that keeps posted messages.
class UnitPlatformTest : public ::testing::Test {
 protected:
  UnitPlatformTest() { platform::InstallPlatformServices({&driver, &registry, &windows, &clock}); }
  ~UnitPlatformTest() override { platform::ResetPlatformServices(); }

  // The packets sent on pipe 0 to the device with this index, in order.
  std::vector<std::vector<std::uint8_t>> PacketsTo(int device) const {
    std::vector<std::vector<std::uint8_t>> packets;
    const std::string path = platform::testing::RecordingDriverPort::DevicePath(device);
    for (const auto& request : driver.RequestsOnPipe(0)) {
      if (request.path == path && request.completed) packets.push_back(request.sent);
    }
    return packets;
  }

  platform::testing::RecordingDriverPort driver;
  platform::testing::FakeClock clock;
  platform::MemoryRegistryStore registry;
  platform::testing::RecordingWindowSystem windows;
};

}  // namespace orvex::testing
