#include <cstdint>
#include <vector>

#include "device/device_fixture.h"

namespace orvex::testing {
namespace {

using ChannelTest = DeviceFixture;

constexpr std::uint32_t kDirectIn = platform::kControlCodeDirectIn;
constexpr std::uint32_t kDirectOut = platform::kControlCodeDirectOut;

TEST_F(ChannelTest, FpgaWriteSendsOnePacketOnPipeZeroAndCloses) {
  auto link = MakeLink({0});
  EXPECT_EQ(link->WriteFpgaRegister(0x40, 0x0011), 1);
  EXPECT_EQ(link->WriteFpgaRegister(0x52, 0xABCD), 1);

  const auto requests = port_.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].path, RecordingDriverPort::DevicePath(0));
  EXPECT_EQ(requests[0].code, kDirectIn);
  EXPECT_EQ(requests[0].pipe, 0u);
  EXPECT_EQ(requests[0].length, 64u);
  EXPECT_EQ(requests[0].sent, Packet({0x25, 0x40, 0x11, 0x00}));
  EXPECT_EQ(requests[1].sent, Packet({0x25, 0x52, 0xCD, 0xAB}));
  EXPECT_EQ(port_.OpenHandleCount(), 0);
}

TEST_F(ChannelTest, FpgaWriteRefusedOrShortGivesZero) {
  auto link = MakeLink({0});
  port_.QueueFailure(0);
  EXPECT_EQ(link->WriteFpgaRegister(0x40, 1), 0);
  port_.QueueShort(0, 63);
  EXPECT_EQ(link->WriteFpgaRegister(0x40, 1), 0);
  EXPECT_EQ(port_.OpenHandleCount(), 0);
}

TEST_F(ChannelTest, FpgaReadTakesTheValueFromTheSecondReply) {
  auto link = MakeLink({0});
  port_.QueueReply({0xFF, 0xFF});
  port_.QueueReply({0x34, 0x12});
  std::uint16_t value = 0;
  EXPECT_EQ(link->ReadFpgaRegister(0x52, &value), 1);
  EXPECT_EQ(value, 0x1234);

  const auto requests = port_.Requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[0].pipe, 0u);
  EXPECT_EQ(requests[0].code, kDirectIn);
  EXPECT_EQ(requests[0].sent, Packet({0x26, 0x52}));
  for (int i = 1; i < 3; ++i) {
    EXPECT_EQ(requests[i].pipe, 1u);
    EXPECT_EQ(requests[i].code, kDirectOut);
    EXPECT_EQ(requests[i].length, 64u);
  }
  EXPECT_EQ(port_.OpenHandleCount(), 0);
}

TEST_F(ChannelTest, FpgaReadFailuresZeroTheValue) {
  auto link = MakeLink({0});
  std::uint16_t value = 0xBEEF;

  port_.QueueFailure(0);
  EXPECT_EQ(link->ReadFpgaRegister(1, &value), 0);
  EXPECT_EQ(value, 0);
  EXPECT_TRUE(port_.RequestsOnPipe(1).empty());

  // The first reply is ignored, the second decides.
  value = 0xBEEF;
  port_.QueueFailure(1);
  port_.QueueReply({0x78, 0x56});
  EXPECT_EQ(link->ReadFpgaRegister(1, &value), 1);
  EXPECT_EQ(value, 0x5678);

  value = 0xBEEF;
  port_.QueueReply({0x78, 0x56});
  port_.QueueShort(1, 2);
  EXPECT_EQ(link->ReadFpgaRegister(1, &value), 0);
  EXPECT_EQ(value, 0);
  EXPECT_EQ(port_.OpenHandleCount(), 0);
}

TEST_F(ChannelTest, SampleWidthStoresTheFlagFirstAndSendsIt) {
  auto link = MakeLink({0});
  EXPECT_EQ(link->SetSampleWidth(5), 1);
  EXPECT_EQ(link->SampleWidth16(), 1);
  EXPECT_EQ(link->SetSampleWidth(0), 1);
  EXPECT_EQ(link->SampleWidth16(), 0);

  const auto commands = Commands();
  ASSERT_EQ(commands.size(), 2u);
  EXPECT_EQ(commands[0].sent, Packet({0x0A, 1}));
  EXPECT_EQ(commands[1].sent, Packet({0x0A, 0}));
}

TEST_F(ChannelTest, RomIdIndexesMapToAddressesEightToFifteen) {
  auto link = MakeLink({0});
  EXPECT_EQ(link->WriteSromId(0, 0x77), 1);
  EXPECT_EQ(link->WriteSromId(7, 0x78), 1);
  // Index 8 (and 264, which is 8 as an unsigned byte) reaches nothing.
  EXPECT_EQ(link->WriteSromId(8, 0x79), 0);
  std::uint8_t value = 0x5A;
  EXPECT_EQ(link->ReadSromId(static_cast<std::uint8_t>(264), &value), 0);
  EXPECT_EQ(value, 0x5A);

  const auto commands = Commands();
  ASSERT_EQ(commands.size(), 2u);
  EXPECT_EQ(commands[0].sent, Packet({0x20, 8, 0x77}));
  EXPECT_EQ(commands[1].sent, Packet({0x20, 15, 0x78}));
  EXPECT_EQ(clock_.Sleeps(), (std::vector<std::uint32_t>{10, 10}));
  EXPECT_EQ(port_.OpenedPaths().size(), 2u);
}

TEST_F(ChannelTest, RomReadTakesByteZeroAfterTwoReplies) {
  auto link = MakeLink({0});
  port_.QueueReply({0x11});
  port_.QueueReply({0x99});
  std::uint8_t value = 0;
  EXPECT_EQ(link->ReadSromId(7, &value), 1);
  EXPECT_EQ(value, 0x99);
  const auto commands = Commands();
  ASSERT_EQ(commands.size(), 1u);
  EXPECT_EQ(commands[0].sent, Packet({0x21, 15}));
  EXPECT_EQ(port_.RequestsOnPipe(1).size(), 2u);
  EXPECT_EQ(clock_.Sleeps(), std::vector<std::uint32_t>{10});
}

TEST_F(ChannelTest, RomReadFailures) {
  auto link = MakeLink({0});

  // A refused send leaves the value alone, asks for no reply and fails.
  port_.QueueFailure(0);
  std::uint8_t value = 0x5A;
  EXPECT_EQ(link->ReadSromByte(3, &value), 0);
  EXPECT_EQ(value, 0x5A);
  EXPECT_TRUE(port_.RequestsOnPipe(1).empty());

  // Without the second reply nothing was read: the value stays as it was.
  port_.QueueFailure(1);
  port_.QueueFailure(1);
  EXPECT_EQ(link->ReadSromByte(3, &value), 0);
  EXPECT_EQ(value, 0x5A);

  // A refused ROM write fails too; the ROM still gets its settling time.
  port_.QueueFailure(0);
  EXPECT_EQ(link->WriteSromByte(3, 1), 0);
  EXPECT_EQ(clock_.Sleeps(), (std::vector<std::uint32_t>{10, 10, 10}));
  EXPECT_EQ(port_.OpenHandleCount(), 0);
}

TEST_F(ChannelTest, WithoutADeviceEveryCommandReturnsAtOnce) {
  auto link = MakeLink({});
  std::uint16_t word = 0xBEEF;
  std::uint8_t byte = 0x5A;

  EXPECT_EQ(link->WriteFpgaRegister(0x40, 0x11), 0);
  EXPECT_EQ(link->ReadFpgaRegister(0x40, &word), 0);
  EXPECT_EQ(word, 0);
  EXPECT_EQ(link->WriteSromByte(1, 2), 0);
  EXPECT_EQ(link->WriteSromId(1, 2), 0);
  EXPECT_EQ(link->ReadSromByte(1, &byte), 0);
  EXPECT_EQ(link->ReadSromId(1, &byte), 0);
  EXPECT_EQ(byte, 0x5A);
  EXPECT_EQ(link->SetSampleWidth(1), 1);
  EXPECT_EQ(link->SampleWidth16(), 1);
  EXPECT_EQ(link->SendFrameSize(), 1);

  for (const auto& request : port_.Requests()) {
    EXPECT_FALSE(request.completed);
    EXPECT_EQ(request.handle, platform::kInvalidDriverHandle);
  }
}

TEST_F(ChannelTest, NullHandleReachesNothingAndLeavesValues) {
  auto link = MakeLink({0});
  port_.SetNullHandles(true);
  std::uint16_t word = 0xBEEF;
  std::uint8_t byte = 0x5A;

  EXPECT_EQ(link->WriteFpgaRegister(0x40, 0x11), 0);
  EXPECT_EQ(link->ReadFpgaRegister(0x40, &word), 0);
  EXPECT_EQ(word, 0xBEEF);
  EXPECT_EQ(link->WriteSromByte(1, 2), 0);
  EXPECT_EQ(link->ReadSromByte(1, &byte), 0);
  EXPECT_EQ(byte, 0x5A);
  EXPECT_EQ(link->SetSampleWidth(1), 1);
  EXPECT_EQ(link->SampleWidth16(), 1);
  EXPECT_TRUE(port_.Requests().empty());
  EXPECT_TRUE(clock_.Sleeps().empty());
}

}  // namespace
}  // namespace orvex::testing
