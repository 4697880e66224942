#pragma once

#include <gtest/gtest.h>
#include <orvex/virtual_camera.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "support/portable.h"

namespace orvex::vcam::testing {

inline constexpr uint32_t kCodeIn = 0x222051;
inline constexpr uint32_t kCodeOut = 0x22204E;
inline constexpr int kLine = 1320;
inline constexpr int kFirstImageSample = 39;
inline constexpr uint32_t kFullFrame8 = 1320u * 1024u;

using Packet = std::array<uint8_t, 64>;

inline std::string DevicePath(int index) {
  return "\\\\.\\OrvexNec06A-" + std::to_string(index);
}

inline intptr_t Open(int index) {
  return OrvexVirtualCamera_CreateFile(DevicePath(index).c_str());
}

// One request as the camera library issues it: the pipe number as 4 little-endian bytes.
inline bool Request(intptr_t handle, uint32_t code, uint32_t pipe, void* data, uint32_t length,
                    uint32_t* moved = nullptr) {
  const uint8_t input[4] = {static_cast<uint8_t>(pipe), static_cast<uint8_t>(pipe >> 8),
                            static_cast<uint8_t>(pipe >> 16), static_cast<uint8_t>(pipe >> 24)};
  uint32_t count = 12345;
  const bool done =
      OrvexVirtualCamera_DeviceIoControl(handle, code, input, 4, data, length, &count) != 0;
  if (moved != nullptr) *moved = count;
  return done;
}

inline Packet MakePacket(uint8_t opcode, uint8_t b1 = 0, uint8_t b2 = 0, uint8_t b3 = 0,
                         uint8_t b4 = 0) {
  Packet p{};
  p[0] = opcode;
  p[1] = b1;
  p[2] = b2;
  p[3] = b3;
  p[4] = b4;
  return p;
}

inline bool Send(intptr_t handle, Packet packet) {
  return Request(handle, kCodeIn, 0, packet.data(), 64);
}

inline bool SetSixteenBit(intptr_t handle, bool on) {
  return Send(handle, MakePacket(0x0A, on ? 1 : 0));
}

// Reads one frame of `bytes` bytes on pipe 2; empty when the read fails or comes short.
inline std::vector<uint8_t> ReadFrame(intptr_t handle, uint32_t bytes) {
  std::vector<uint8_t> frame(bytes, 0xEE);
  uint32_t moved = 0;
  if (!Request(handle, kCodeIn, 2, frame.data(), bytes, &moved) || moved != bytes) return {};
  return frame;
}

inline uint16_t Sample16(const std::vector<uint8_t>& frame, size_t index) {
  return static_cast<uint16_t>(frame[2 * index] | frame[2 * index + 1] << 8);
}

// Waits (bounded) until a frame read is parked in the driver.
inline bool WaitForWaitingRead(int index) {
  for (int i = 0; i < 10000; ++i) {
    if (OrvexVirtualCamera_WaitingReads(index) > 0) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return false;
}

// Every test starts from the start-up state with one camera at index 0.
class VirtualCameraTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ::orvex::testing::SetEnvironment("ORVEX_VIRTUAL_CAMERAS", "1");
    ASSERT_EQ(OrvexVirtualCamera_Reset(), 1);
  }
  void TearDown() override { ::orvex::testing::UnsetEnvironment("ORVEX_VIRTUAL_CAMERAS"); }
};

}  // namespace orvex::vcam::testing
