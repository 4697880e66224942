#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "device/device_link.h"
#include "platform/testing/fake_clock.h"
#include "platform/testing/recording_driver_port.h"

namespace orvex::testing {

using platform::testing::FakeClock;
using platform::testing::RecordingDriverPort;

// A 64-byte command packet: `head` followed by zeros.
inline std::vector<std::uint8_t> Packet(std::initializer_list<std::uint8_t> head) {
  std::vector<std::uint8_t> packet(head);
  packet.resize(64, 0);
  return packet;
}

// Holds frame reads while it lives. Declared after the link, it lets a held reader go before the
// link is destroyed, also when an assertion ends a test early.
class FrameHold {
 public:
  explicit FrameHold(RecordingDriverPort& port) : port_(port) { port_.HoldFrames(); }
  ~FrameHold() { port_.StopHolding(); }
  FrameHold(const FrameHold&) = delete;
  FrameHold& operator=(const FrameHold&) = delete;

 private:
  RecordingDriverPort& port_;
};

class DeviceFixture : public ::testing::Test {
 protected:
  // Builds a link with `devices` attached, then forgets what construction did.
  std::unique_ptr<DeviceLink> MakeLink(std::initializer_list<int> devices) {
    for (int device : devices) port_.SetPresent(device, true);
    auto link = std::make_unique<DeviceLink>(port_, clock_);
    port_.ClearLog();
    clock_.ClearSleeps();
    return link;
  }

  std::vector<RecordingDriverPort::Request> Commands() const { return port_.RequestsOnPipe(0); }

  RecordingDriverPort port_;
  FakeClock clock_;
};

}  // namespace orvex::testing
