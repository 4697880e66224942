#include <string>
#include <vector>

#include "device/device_fixture.h"

namespace orvex::testing {
namespace {

using LinkTest = DeviceFixture;

void ExpectResetTiming(const DeviceLink& link) {
  EXPECT_EQ(link.LineLength(), 1339);
  EXPECT_EQ(link.HStart(), 50);
  EXPECT_EQ(link.Width(), 1280);
  EXPECT_EQ(link.FrameLines(), 1040);
  EXPECT_EQ(link.VStart(), 10);
  EXPECT_EQ(link.Height(), 1028);
  EXPECT_EQ(link.SampleWidth16(), 0);
}

TEST_F(LinkTest, ConstructionProbesSelectsDeviceZeroAndSetsTheReadoutMode) {
  port_.SetPresent(0, true);
  port_.SetPresent(2, true);
  DeviceLink link(port_, clock_);

  const int expected[] = {1, 0, 1, 0, 0, 0, 0, 0};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(link.IsDevicePresent(i), expected[i]) << i;
  EXPECT_EQ(link.IsDevicePresent(8), 0);
  EXPECT_EQ(link.IsDevicePresent(-1), 0);
  EXPECT_EQ(link.DeviceSlotCount(), 8);
  EXPECT_EQ(link.SelectedDevice(), 0);
  EXPECT_STREQ(link.DevicePath(), "\\\\.\\OrvexNec06A-0");
  ExpectResetTiming(link);
  EXPECT_EQ(link.TransferSamples(), 0);
  EXPECT_EQ(link.BufferCount(), 0);

  // The probe opens every path once, in order, and sends nothing.
  const auto opened = port_.OpenedPaths();
  ASSERT_GE(opened.size(), 8u);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(opened[i], RecordingDriverPort::DevicePath(i));

  // SelectDevice(0), then the readout mode: register 0x40 = 0x11 and 8-bit samples.
  const auto commands = Commands();
  ASSERT_EQ(commands.size(), 3u);
  EXPECT_EQ(commands[0].sent, Packet({0x0A, 0}));
  EXPECT_EQ(commands[1].sent, Packet({0x25, 0x40, 0x11, 0x00}));
  EXPECT_EQ(commands[2].sent, Packet({0x0A, 0}));
  for (const auto& command : commands) {
    EXPECT_EQ(command.path, RecordingDriverPort::DevicePath(0));
    EXPECT_TRUE(command.completed);
  }
  EXPECT_EQ(port_.Requests().size(), 3u);
  EXPECT_EQ(port_.OpenHandleCount(), 0);
}

TEST_F(LinkTest, ConstructionWithoutAnyDeviceSucceeds) {
  DeviceLink link(port_, clock_);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(link.IsDevicePresent(i), 0);
  EXPECT_EQ(link.SelectedDevice(), 0);
  ExpectResetTiming(link);
  for (const auto& request : port_.Requests()) EXPECT_FALSE(request.completed);
}

TEST_F(LinkTest, SelectingAnIndexOutsideTheSlotsResetsTimingOnly) {
  auto link = MakeLink({0, 2});
  ASSERT_EQ(link->SelectDevice(2), 0);
  ASSERT_EQ(link->ConfigureFrame(1000, 0, 1000, 10, 3, 7, 2), 0);
  link->SetSampleWidth(1);
  port_.ClearLog();

  EXPECT_EQ(link->SelectDevice(8), 22);
  EXPECT_EQ(link->SelectDevice(-1), 22);
  ExpectResetTiming(*link);
  EXPECT_EQ(link->SelectedDevice(), 2);
  EXPECT_STREQ(link->DevicePath(), "\\\\.\\OrvexNec06A-2");
  EXPECT_TRUE(port_.Requests().empty());
  // Buffers belong to ConfigureFrame.
  EXPECT_EQ(link->TransferSamples(), 10240);
  EXPECT_EQ(link->BufferCount(), 2);
}

TEST_F(LinkTest, SelectingADeviceSendsEightBitSamplesToThatDeviceOnly) {
  auto link = MakeLink({0, 3});
  link->SetSampleWidth(1);
  port_.ClearLog();

  EXPECT_EQ(link->SelectDevice(3), 0);
  EXPECT_EQ(link->SelectedDevice(), 3);
  const std::string path = link->DevicePath();
  EXPECT_EQ(path, RecordingDriverPort::DevicePath(3));
  EXPECT_EQ(path.substr(path.size() - 2), "-3");
  ExpectResetTiming(*link);

  const auto requests = port_.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].path, path);
  EXPECT_EQ(requests[0].sent, Packet({0x0A, 0}));
  EXPECT_EQ(port_.OpenedPaths(), std::vector<std::string>{path});
}

}  // namespace
}  // namespace orvex::testing
