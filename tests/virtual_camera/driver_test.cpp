// The driver interface as the camera library uses it: paths, handles, pipes, command packets,
// replies, injected faults and unplugging.
#include <thread>

#include "virtual_camera/vcam_test_support.h"

namespace orvex::vcam::testing {
namespace {

using DriverTest = VirtualCameraTest;

TEST_F(DriverTest, OpensOnlyThePathsOfAttachedCameras) {
  const intptr_t first = Open(0);
  const intptr_t second = Open(0);
  EXPECT_GT(first, 0);
  EXPECT_GT(second, 0);
  EXPECT_NE(first, second);
  EXPECT_EQ(OrvexVirtualCamera_OpenHandles(0), 2);

  for (const char* path :
       {"", "\\\\.\\OrvexNec06A-1", "\\\\.\\OrvexNec06A-8", "\\\\.\\OrvexNec06A--1",
        "\\\\.\\OrvexNec06A-00", "\\\\.\\OrvexNec06B-0", "\\\\.\\OrvexNec06A-0x", "OrvexNec06A-0",
        "\\\\.\\OrvexNec06A", "\\\\.\\OrvexVirtualCamera", "\\\\.\\orvexnec06a-0"}) {
    EXPECT_EQ(OrvexVirtualCamera_CreateFile(path), -1) << path;
  }
  EXPECT_EQ(OrvexVirtualCamera_CreateFile(nullptr), -1);

  EXPECT_EQ(OrvexVirtualCamera_CloseHandle(first), 1);
  EXPECT_EQ(OrvexVirtualCamera_CloseHandle(first), 0);
  EXPECT_EQ(OrvexVirtualCamera_CloseHandle(-1), 0);
  EXPECT_EQ(OrvexVirtualCamera_OpenHandles(0), 1);

  // Requests on the invalid or a closed handle fail and report no bytes.
  Packet packet = MakePacket(0x25, 0x10, 1);
  uint32_t moved = 99;
  EXPECT_FALSE(Request(-1, kCodeIn, 0, packet.data(), 64, &moved));
  EXPECT_EQ(moved, 0u);
  EXPECT_FALSE(Request(first, kCodeIn, 0, packet.data(), 64));
  EXPECT_TRUE(Request(second, kCodeIn, 0, packet.data(), 64, &moved));
  EXPECT_EQ(moved, 64u);
  EXPECT_EQ(OrvexVirtualCamera_CloseHandle(second), 1);
}

TEST_F(DriverTest, RefusesMalformedRequests) {
  const intptr_t h = Open(0);
  Packet packet = MakePacket(0x25, 0x10, 7);
  const uint8_t pipe0[4] = {0, 0, 0, 0};
  const uint8_t pipe3[4] = {3, 0, 0, 0};
  const uint8_t pipeHigh[4] = {0, 0, 0, 1};
  uint32_t moved = 0;
  EXPECT_EQ(OrvexVirtualCamera_DeviceIoControl(h, 0x222052, pipe0, 4, packet.data(), 64, &moved),
            0);
  EXPECT_EQ(OrvexVirtualCamera_DeviceIoControl(h, kCodeIn, pipe0, 3, packet.data(), 64, &moved), 0);
  EXPECT_EQ(OrvexVirtualCamera_DeviceIoControl(h, kCodeIn, nullptr, 4, packet.data(), 64, &moved),
            0);
  EXPECT_EQ(OrvexVirtualCamera_DeviceIoControl(h, kCodeIn, pipe3, 4, packet.data(), 64, &moved), 0);
  EXPECT_EQ(OrvexVirtualCamera_DeviceIoControl(h, kCodeIn, pipeHigh, 4, packet.data(), 64, &moved),
            0);
  EXPECT_EQ(OrvexVirtualCamera_DeviceIoControl(h, kCodeIn, pipe0, 4, packet.data(), 63, &moved), 0);
  EXPECT_EQ(OrvexVirtualCamera_DeviceIoControl(h, kCodeIn, pipe0, 4, nullptr, 64, &moved), 0);
  EXPECT_EQ(OrvexVirtualCamera_PacketCount(0, -1), 0);
  EXPECT_EQ(OrvexVirtualCamera_GetRegister(0, 0x10), 0);

  // The data moves in the pipe's direction with either code; bytesReturned may be null.
  EXPECT_EQ(OrvexVirtualCamera_DeviceIoControl(h, kCodeOut, pipe0, 4, packet.data(), 64, nullptr),
            1);
  EXPECT_EQ(OrvexVirtualCamera_GetRegister(0, 0x10), 7);
  OrvexVirtualCamera_CloseHandle(h);
}

TEST_F(DriverTest, RegistersAreWrittenAndReadThroughPackets) {
  const intptr_t h = Open(0);
  EXPECT_EQ(OrvexVirtualCamera_GetRegister(0, 0x52), 40);  // power-on exposure
  EXPECT_EQ(OrvexVirtualCamera_GetRegister(0, 0x40), 0);

  ASSERT_TRUE(Send(h, MakePacket(0x25, 0x40, 0x11, 0x00)));
  EXPECT_EQ(OrvexVirtualCamera_GetRegister(0, 0x40), 0x0011);
  Packet last{};
  ASSERT_EQ(OrvexVirtualCamera_LastPacket(0, 0x25, last.data()), 1);
  EXPECT_EQ(last, MakePacket(0x25, 0x40, 0x11, 0x00));

  ASSERT_EQ(OrvexVirtualCamera_SetRegister(0, 0xC3, 0x1234), 1);
  ASSERT_TRUE(Send(h, MakePacket(0x26, 0xC3)));
  Packet reply{};
  ASSERT_TRUE(Request(h, kCodeOut, 1, reply.data(), 64));
  EXPECT_EQ(reply, MakePacket(0x26, 0xC3));  // the acknowledgement, not the value
  uint32_t moved = 0;
  ASSERT_TRUE(Request(h, kCodeOut, 1, reply.data(), 64, &moved));
  EXPECT_EQ(moved, 64u);
  EXPECT_EQ(reply[0], 0x34);
  EXPECT_EQ(reply[1], 0x12);

  // Nothing queued: the read fails; a reply read of another length fails too.
  EXPECT_FALSE(Request(h, kCodeOut, 1, reply.data(), 64, &moved));
  EXPECT_EQ(moved, 0u);
  ASSERT_TRUE(Send(h, MakePacket(0x26, 0xC3)));
  EXPECT_FALSE(Request(h, kCodeOut, 1, reply.data(), 32));

  EXPECT_EQ(OrvexVirtualCamera_GetRegister(0, 256), -1);
  EXPECT_EQ(OrvexVirtualCamera_GetRegister(0, -1), -1);
  EXPECT_EQ(OrvexVirtualCamera_GetRegister(5, 0x52), -1);
  OrvexVirtualCamera_CloseHandle(h);
}

TEST_F(DriverTest, SerialRomIsWrittenAndReadAndDiffersPerCamera) {
  ASSERT_EQ(OrvexVirtualCamera_Attach(3), 1);
  std::string id0;
  std::string id3;
  for (int a = 8; a < 16; ++a) {
    id0 += static_cast<char>(OrvexVirtualCamera_GetRomByte(0, a));
    id3 += static_cast<char>(OrvexVirtualCamera_GetRomByte(3, a));
  }
  EXPECT_EQ(id0, "VCAM-000");
  EXPECT_EQ(id3, "VCAM-003");

  const intptr_t h = Open(3);
  ASSERT_TRUE(Send(h, MakePacket(0x20, 15, 0xA5)));
  EXPECT_EQ(OrvexVirtualCamera_GetRomByte(3, 15), 0xA5);
  EXPECT_EQ(OrvexVirtualCamera_GetRomByte(0, 15), '0');

  ASSERT_TRUE(Send(h, MakePacket(0x21, 15)));
  Packet reply{};
  ASSERT_TRUE(Request(h, kCodeOut, 1, reply.data(), 64));
  ASSERT_TRUE(Request(h, kCodeOut, 1, reply.data(), 64));
  EXPECT_EQ(reply[0], 0xA5);
  EXPECT_EQ(OrvexVirtualCamera_GetRomByte(3, 256), -1);
  OrvexVirtualCamera_CloseHandle(h);
}

TEST_F(DriverTest, ConfigurationCommandsAndUnknownOpcodes) {
  const intptr_t h = Open(0);
  EXPECT_EQ(OrvexVirtualCamera_GetSampleWidth(0), 1);
  ASSERT_TRUE(SetSixteenBit(h, true));
  EXPECT_EQ(OrvexVirtualCamera_GetSampleWidth(0), 2);
  ASSERT_TRUE(Send(h, MakePacket(0x0A, 5)));  // any non-zero value means two bytes
  EXPECT_EQ(OrvexVirtualCamera_GetSampleWidth(0), 2);
  ASSERT_TRUE(SetSixteenBit(h, false));
  EXPECT_EQ(OrvexVirtualCamera_GetSampleWidth(0), 1);

  // 1351680 = 0x0014A000, least significant byte first.
  ASSERT_TRUE(Send(h, MakePacket(0x09, 0x00, 0xA0, 0x14, 0x00)));
  EXPECT_EQ(OrvexVirtualCamera_GetTransferSamples(0), 1351680);

  ASSERT_TRUE(Send(h, MakePacket(0x77, 1, 2, 3)));
  ASSERT_TRUE(Send(h, MakePacket(0x02)));
  EXPECT_EQ(OrvexVirtualCamera_PacketCount(0, 0x77), 1);
  EXPECT_EQ(OrvexVirtualCamera_PacketCount(0, 0x02), 1);
  EXPECT_EQ(OrvexVirtualCamera_PacketCount(0, 0x0A), 3);
  EXPECT_EQ(OrvexVirtualCamera_PacketCount(0, -1), 6);
  Packet last{};
  ASSERT_EQ(OrvexVirtualCamera_LastPacket(0, -1, last.data()), 1);
  EXPECT_EQ(last, MakePacket(0x02));
  EXPECT_EQ(OrvexVirtualCamera_LastPacket(0, 0x26, last.data()), 0);
  OrvexVirtualCamera_CloseHandle(h);
}

TEST_F(DriverTest, FailRequestsRefusesThatManyRequestsOnThePipe) {
  const intptr_t h = Open(0);
  ASSERT_EQ(OrvexVirtualCamera_FailRequests(0, 0, 2), 1);
  EXPECT_FALSE(Send(h, MakePacket(0x25, 0x10, 1)));
  EXPECT_FALSE(Send(h, MakePacket(0x25, 0x10, 2)));
  EXPECT_EQ(OrvexVirtualCamera_GetRegister(0, 0x10), 0);  // refused packets never arrive
  EXPECT_TRUE(Send(h, MakePacket(0x25, 0x10, 3)));
  EXPECT_EQ(OrvexVirtualCamera_GetRegister(0, 0x10), 3);

  // A refused reply read leaves the reply queued.
  ASSERT_TRUE(Send(h, MakePacket(0x26, 0x10)));
  ASSERT_EQ(OrvexVirtualCamera_FailRequests(0, 1, 1), 1);
  Packet reply{};
  EXPECT_FALSE(Request(h, kCodeOut, 1, reply.data(), 64));
  EXPECT_TRUE(Request(h, kCodeOut, 1, reply.data(), 64));
  EXPECT_TRUE(Request(h, kCodeOut, 1, reply.data(), 64));
  EXPECT_EQ(reply[0], 3);

  ASSERT_EQ(OrvexVirtualCamera_FailRequests(0, 2, 1), 1);
  ASSERT_EQ(OrvexVirtualCamera_SetFramePeriod(0, 0), 1);
  EXPECT_TRUE(ReadFrame(h, 64).empty());
  EXPECT_FALSE(ReadFrame(h, 64).empty());

  EXPECT_EQ(OrvexVirtualCamera_FailRequests(0, 3, 1), 0);
  EXPECT_EQ(OrvexVirtualCamera_FailRequests(0, 0, -1), 0);
  EXPECT_EQ(OrvexVirtualCamera_FailRequests(1, 0, 1), 0);
  OrvexVirtualCamera_CloseHandle(h);
}

TEST_F(DriverTest, DetachKillsOpenHandlesAndReattachGivesAFreshCamera) {
  const intptr_t old = Open(0);
  ASSERT_TRUE(Send(old, MakePacket(0x25, 0x52, 99)));
  ASSERT_TRUE(Send(old, MakePacket(0x26, 0x52)));  // a reply left queued

  ASSERT_EQ(OrvexVirtualCamera_Detach(0), 1);
  EXPECT_EQ(OrvexVirtualCamera_IsAttached(0), 0);
  EXPECT_EQ(OrvexVirtualCamera_Detach(0), 0);
  EXPECT_EQ(Open(0), -1);
  Packet reply{};
  EXPECT_FALSE(Request(old, kCodeOut, 1, reply.data(), 64));
  EXPECT_FALSE(Send(old, MakePacket(0x25, 0x52, 1)));
  EXPECT_EQ(OrvexVirtualCamera_GetRegister(0, 0x52), -1);

  ASSERT_EQ(OrvexVirtualCamera_Attach(0), 1);
  EXPECT_EQ(OrvexVirtualCamera_Attach(0), 0);
  EXPECT_EQ(OrvexVirtualCamera_GetRegister(0, 0x52), 40);
  EXPECT_FALSE(Send(old, MakePacket(0x25, 0x52, 1)));  // still dead
  EXPECT_EQ(OrvexVirtualCamera_GetRegister(0, 0x52), 40);
  const intptr_t fresh = Open(0);
  EXPECT_TRUE(Send(fresh, MakePacket(0x25, 0x52, 1)));
  EXPECT_FALSE(Request(fresh, kCodeOut, 1, reply.data(), 64));  // the old reply went with it
  EXPECT_EQ(OrvexVirtualCamera_OpenHandles(0), 1);
  EXPECT_EQ(OrvexVirtualCamera_CloseHandle(old), 1);
  EXPECT_EQ(OrvexVirtualCamera_CloseHandle(fresh), 1);

  EXPECT_EQ(OrvexVirtualCamera_Attach(8), 0);
  EXPECT_EQ(OrvexVirtualCamera_Attach(-1), 0);
  EXPECT_EQ(OrvexVirtualCamera_Detach(8), 0);
}

TEST_F(DriverTest, WaitingFrameReadLetsCommandsThroughAndFailsOnDetach) {
  ASSERT_EQ(OrvexVirtualCamera_SetFramePeriod(0, 60'000'000), 1);
  const intptr_t reader = Open(0);
  bool readOk = true;
  uint32_t moved = 1;
  std::thread thread([&] {
    std::vector<uint8_t> frame(4096);
    readOk = Request(reader, kCodeIn, 2, frame.data(), 4096, &moved);
  });
  EXPECT_TRUE(WaitForWaitingRead(0));

  // The library writes registers while a stream runs.
  const intptr_t h = Open(0);
  EXPECT_TRUE(Send(h, MakePacket(0x25, 0x52, 20)));
  EXPECT_TRUE(Send(h, MakePacket(0x26, 0x52)));
  Packet reply{};
  EXPECT_TRUE(Request(h, kCodeOut, 1, reply.data(), 64));
  EXPECT_TRUE(Request(h, kCodeOut, 1, reply.data(), 64));
  EXPECT_EQ(reply[0], 20);

  EXPECT_EQ(OrvexVirtualCamera_Detach(0), 1);
  thread.join();
  EXPECT_FALSE(readOk);
  EXPECT_EQ(moved, 0u);
  OrvexVirtualCamera_CloseHandle(reader);
  OrvexVirtualCamera_CloseHandle(h);
}

TEST_F(DriverTest, ResetAttachesTheCountFromTheEnvironment) {
  ::orvex::testing::SetEnvironment("ORVEX_VIRTUAL_CAMERAS", "3");
  EXPECT_EQ(OrvexVirtualCamera_Reset(), 3);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(OrvexVirtualCamera_IsAttached(i), i < 3 ? 1 : 0) << i;

  ::orvex::testing::SetEnvironment("ORVEX_VIRTUAL_CAMERAS", "0");
  EXPECT_EQ(OrvexVirtualCamera_Reset(), 0);
  EXPECT_EQ(OrvexVirtualCamera_IsAttached(0), 0);

  ::orvex::testing::SetEnvironment("ORVEX_VIRTUAL_CAMERAS", "8");
  EXPECT_EQ(OrvexVirtualCamera_Reset(), 8);
  EXPECT_EQ(OrvexVirtualCamera_IsAttached(7), 1);

  for (const char* invalid : {"9", "-1", "two", "2x", "", " "}) {
    ::orvex::testing::SetEnvironment("ORVEX_VIRTUAL_CAMERAS", invalid);
    EXPECT_EQ(OrvexVirtualCamera_Reset(), 1) << '"' << invalid << '"';
    EXPECT_EQ(OrvexVirtualCamera_IsAttached(1), 0);
  }
  ::orvex::testing::UnsetEnvironment("ORVEX_VIRTUAL_CAMERAS");
  EXPECT_EQ(OrvexVirtualCamera_Reset(), 1);
}

}  // namespace
}  // namespace orvex::vcam::testing
