// The exports over in-memory backends: handle creation and release, unregistered handles,
// the direct-field exports, the unsupported ones and the raw camera access.
#include <OrvexSdk_QX218.h>

#include <utility>

#include "support/unit_platform.h"

namespace orvex {
namespace {

using testing::UnitPlatformTest;

constexpr CameraHandle kUnknown = 0x7A7A7A7A;

class ExportsTest : public UnitPlatformTest {
 protected:
  // Every error code still queued, newest first.
  std::vector<std::int32_t> DrainErrors(CameraHandle handle) {
    std::vector<std::int32_t> codes;
    for (std::int32_t code; (code = Orvex_GetLastError(handle)) != 0;) codes.push_back(code);
    return codes;
  }
};

TEST_F(ExportsTest, HandleIsRandPlusTickCountPlusLiveHandles) {
  clock.SetRand(1000);
  clock.SetTickCount(0xFFFFFFF0u);  // the sum wraps around
  const CameraHandle first = Orvex_Initialize(0);
  EXPECT_EQ(static_cast<std::uint32_t>(first), 1000u + 0xFFFFFFF0u);
  const CameraHandle second = Orvex_Initialize(0);
  EXPECT_EQ(static_cast<std::uint32_t>(second), 1000u + 0xFFFFFFF0u + 1u);
  EXPECT_EQ(Orvex_Release(first), 1);
  EXPECT_EQ(Orvex_Release(second), 1);
}

TEST_F(ExportsTest, HandleValueZeroIsNeverGiven) {
  clock.SetRand(0);
  clock.SetTickCount(0);
  const CameraHandle handle = Orvex_Initialize(0);
  EXPECT_EQ(handle, 1);
  EXPECT_EQ(Orvex_Release(handle), 1);
}

// Threads that start together compute the same sum where rand keeps its state per thread: the
// later camera takes the next free value instead of sharing the handle.
TEST_F(ExportsTest, HandleValueInUseMovesOnToTheNextFreeOne) {
  clock.SetTickCount(0);
  clock.SetRand(1000);
  const CameraHandle first = Orvex_Initialize(0);  // 1000 + 0 live handles
  clock.SetRand(999);
  const CameraHandle second = Orvex_Initialize(0);  // 999 + 1 is taken
  clock.SetRand(998);
  const CameraHandle third = Orvex_Initialize(0);  // 998 + 2 and the next are taken
  EXPECT_EQ(first, 1000);
  EXPECT_EQ(second, 1001);
  EXPECT_EQ(third, 1002);
  for (CameraHandle handle : {first, second, third}) {
    EXPECT_EQ(Orvex_Release(handle), 1) << handle;
    EXPECT_EQ(Orvex_Release(handle), 0) << handle;
  }
}

TEST_F(ExportsTest, ReleaseTwiceGivesOneThenZeroAndForgetsTheHandle) {
  const CameraHandle handle = Orvex_Initialize(0);
  ASSERT_NE(handle, 0);
  EXPECT_EQ(Orvex_GetLastError(handle), 0);
  EXPECT_EQ(Orvex_Release(handle), 1);
  EXPECT_EQ(Orvex_Release(handle), 0);
  EXPECT_EQ(Orvex_GetWaitTime(handle), -1);
}

TEST_F(ExportsTest, UnregisteredHandleGivesItsValueAndTouchesNothing) {
  const CameraHandle live = Orvex_Initialize(0);
  std::int32_t ok = 77;
  std::int32_t th = 55;
  EXPECT_EQ(Orvex_Release(kUnknown), 0);
  EXPECT_EQ(Orvex_GetLastError(kUnknown), 0);
  EXPECT_EQ(Orvex_Width(kUnknown), 0);
  EXPECT_EQ(Orvex_Height(kUnknown), 0);
  EXPECT_EQ(Orvex_SetSubSample(kUnknown, 0), 0);
  EXPECT_EQ(Orvex_GetSubSample(kUnknown), -1);
  EXPECT_EQ(Orvex_SetWaitTime(kUnknown, 5), 0);
  EXPECT_EQ(Orvex_GetWaitTime(kUnknown), -1);
  EXPECT_EQ(Orvex_SetAutoIris(kUnknown, 1), 0);
  EXPECT_EQ(Orvex_GetAutoIris(kUnknown, &ok), 0);
  EXPECT_EQ(Orvex_GetStatus(kUnknown, 0), 0);
  EXPECT_EQ(Orvex_GetSamplingRate(kUnknown, &ok), 0);
  EXPECT_EQ(Orvex_GetVideoFormat(kUnknown, &ok), 0);
  EXPECT_EQ(Orvex_Fpga_WriteRegister(kUnknown, 1, 1), 0);
  EXPECT_EQ(Orvex_Fpga_ReadRegister(kUnknown, 1, &ok), 0);
  EXPECT_EQ(Orvex_WriteSromID(kUnknown, 0, 1), 0);
  EXPECT_EQ(Orvex_ReadSromID(kUnknown, 0, &ok), 0);
  EXPECT_EQ(Orvex_Trigger(kUnknown), 0);
  EXPECT_EQ(Orvex_SetMirrorH(kUnknown, 1), 0);
  EXPECT_EQ(Orvex_GetColorMode(kUnknown), -1);
  EXPECT_EQ(Orvex_SetColorMode(kUnknown, 8), 0);
  // No dialog opens (it would wait for a person).
  EXPECT_EQ(Orvex_SetCameraDlg(kUnknown, 0), 0);
  EXPECT_EQ(Orvex_SetAnalogDlg(kUnknown, 0), 0);
  EXPECT_EQ(Orvex_SetImageDlg(kUnknown, 0), 0);
  EXPECT_EQ(Orvex_GetCaptureWindowEx(kUnknown, &th, nullptr, nullptr, nullptr, nullptr, nullptr),
            0);
  EXPECT_EQ(ok, 77);
  EXPECT_EQ(th, 55);
  EXPECT_EQ(DrainErrors(live), std::vector<std::int32_t>{});
  EXPECT_TRUE(windows.Messages().empty());
  Orvex_Release(live);
}

TEST_F(ExportsTest, VersionIsFixed) {
  EXPECT_EQ(Orvex_GetDllVersion(), 2032896);
}

TEST_F(ExportsTest, DirectFieldExports) {
  const CameraHandle handle = Orvex_Initialize(0);
  EXPECT_EQ(Orvex_Width(handle), 1280);
  EXPECT_EQ(Orvex_Height(handle), 1024);

  EXPECT_EQ(Orvex_SetSubSample(handle, 1), 0);
  EXPECT_EQ(Orvex_SetSubSample(handle, 0), 1);
  EXPECT_EQ(Orvex_GetSubSample(handle), 0);

  EXPECT_EQ(Orvex_SetWaitTime(handle, -1), 0);  // refused without an error
  EXPECT_EQ(Orvex_SetWaitTime(handle, 0), 1);
  EXPECT_EQ(Orvex_GetWaitTime(handle), 0);

  std::int32_t ok = 0;
  EXPECT_EQ(Orvex_SetAutoIris(handle, 2), 0);
  EXPECT_EQ(Orvex_SetAutoIris(handle, 1), 1);
  EXPECT_EQ(Orvex_GetAutoIris(handle, &ok), 1);
  EXPECT_EQ(ok, 1);
  EXPECT_EQ(Orvex_GetAutoIris(handle, nullptr), 1);

  EXPECT_EQ(DrainErrors(handle), (std::vector<std::int32_t>{ErrorParameter, ErrorParameter}));
  Orvex_Release(handle);
}

TEST_F(ExportsTest, StatusStubsAndUnsupportedExports) {
  const CameraHandle handle = Orvex_Initialize(0);
  std::int32_t ok = 1;
  EXPECT_EQ(Orvex_GetVideoFormat(handle, &ok), 0);
  EXPECT_EQ(ok, 0);
  ok = 1;
  EXPECT_EQ(Orvex_GetSamplingRate(handle, &ok), 0);
  EXPECT_EQ(ok, 0);
  EXPECT_EQ(Orvex_GetStatus(handle, 123), 0);
  EXPECT_EQ(Orvex_GetLastError(handle), 0);

  using Unsupported = std::int32_t (*)(CameraHandle, ...);
  const Unsupported unsupported[] = {
      Orvex_Fps,           Orvex_GetCameraType,   Orvex_SetCameraType, Orvex_GetHalfClock,
      Orvex_SetHalfClock,  Orvex_GetIOPort,       Orvex_SetIOPort,     Orvex_GetMirrorH,
      Orvex_SetMirrorH,    Orvex_GetMirrorV,      Orvex_SetMirrorV,    Orvex_ReadRegister,
      Orvex_WriteRegister, Orvex_SetSamplingRate, Orvex_SetCrossbar,   Orvex_Record,
      Orvex_Trigger};
  for (Unsupported call : unsupported) {
    EXPECT_EQ(call(handle, 1, 2, 3), 0);
    EXPECT_EQ(Orvex_GetLastError(handle), ErrorNotSupported);
  }
  Orvex_Release(handle);
}

TEST_F(ExportsTest, ErrorsArePostedToTheNotifyWindowOncePerCode) {
  constexpr platform::WindowHandle kNotify = 0x1234;
  const CameraHandle handle = Orvex_Initialize(reinterpret_cast<OrvexWindow>(kNotify));
  for (int i = 0; i < 21; ++i) Orvex_Trigger(handle);
  const auto messages = windows.Messages();
  ASSERT_EQ(messages.size(), 21u);
  for (const auto& posted : messages) {
    EXPECT_EQ(posted.window, kNotify);
    EXPECT_EQ(posted.message, 32771u);
    EXPECT_EQ(posted.wParam, 0u);
    EXPECT_EQ(posted.lParam, ErrorNotSupported);
  }
  EXPECT_EQ(DrainErrors(handle).size(), 20u);  // the oldest was dropped
  Orvex_Release(handle);
}

TEST_F(ExportsTest, RawCameraAccessWithNoCameraAttached) {
  const CameraHandle handle = Orvex_Initialize(0);
  ASSERT_NE(handle, 0);
  EXPECT_EQ(DrainErrors(handle), std::vector<std::int32_t>{});

  std::int32_t ok = 5;
  EXPECT_EQ(Orvex_Fpga_ReadRegister(handle, 0x52, &ok), 0);
  EXPECT_EQ(ok, 0);
  EXPECT_EQ(Orvex_Fpga_WriteRegister(handle, 0x52, 1), 0);
  EXPECT_EQ(DrainErrors(handle), (std::vector<std::int32_t>{ErrorTransfer, ErrorTransfer}));

  // The serial ROM commands fail as the register commands do, with their own code.
  ok = 5;
  EXPECT_EQ(Orvex_ReadSromID(handle, 0, &ok), 0);
  EXPECT_EQ(ok, 0);
  EXPECT_EQ(Orvex_WriteSromID(handle, 7, 0xAB), 0);
  EXPECT_EQ(DrainErrors(handle), (std::vector<std::int32_t>{ErrorNoDevice, ErrorNoDevice}));

  // Index 8, and 264 whose low byte is 8, are outside the identification bytes.
  EXPECT_EQ(Orvex_ReadSromID(handle, 8, &ok), 0);
  EXPECT_EQ(ok, 0);
  EXPECT_EQ(Orvex_WriteSromID(handle, 264, 1), 0);
  EXPECT_EQ(DrainErrors(handle), (std::vector<std::int32_t>{ErrorNoDevice, ErrorNoDevice}));
  Orvex_Release(handle);
}

TEST_F(ExportsTest, RawCameraAccessReachesTheSelectedCamera) {
  driver.SetPresent(0, true);
  const CameraHandle handle = Orvex_Initialize(0);
  driver.ClearLog();

  EXPECT_EQ(Orvex_Fpga_WriteRegister(handle, 0x140, 0x12345), 1);  // low 8 and 16 bits count
  auto packets = PacketsTo(0);
  ASSERT_EQ(packets.size(), 1u);
  EXPECT_EQ((std::vector<std::uint8_t>(packets[0].begin(), packets[0].begin() + 4)),
            (std::vector<std::uint8_t>{0x25, 0x40, 0x45, 0x23}));

  std::vector<std::uint8_t> reply(64, 0);
  reply[0] = 0x34;
  reply[1] = 0x12;
  driver.QueueReply(std::vector<std::uint8_t>(64, 0xEE));  // the first reply is discarded
  driver.QueueReply(reply);
  std::int32_t ok = 0;
  EXPECT_EQ(Orvex_Fpga_ReadRegister(handle, 0x52, &ok), 0x1234);
  EXPECT_EQ(ok, 1);

  driver.ClearLog();
  driver.QueueReply(std::vector<std::uint8_t>(64, 0));
  driver.QueueReply(std::vector<std::uint8_t>(64, 0x9C));
  EXPECT_EQ(Orvex_ReadSromID(handle, 7, &ok), 0x9C);
  EXPECT_EQ(ok, 1);
  packets = PacketsTo(0);
  ASSERT_EQ(packets.size(), 1u);
  EXPECT_EQ(packets[0][0], 0x21);
  EXPECT_EQ(packets[0][1], 15);  // identification byte 7 is ROM address 15
  EXPECT_EQ(Orvex_GetLastError(handle), 0);
  Orvex_Release(handle);
}

// (device, register) of every register write, in the order the cameras received them.
std::vector<std::pair<int, int>> RegisterWrites(
    const platform::testing::RecordingDriverPort& driver) {
  std::vector<std::pair<int, int>> writes;
  for (const auto& request : driver.RequestsOnPipe(0)) {
    if (!request.completed || request.sent.empty() || request.sent[0] != 0x25) continue;
    writes.emplace_back(request.path.back() - '0', request.sent[1]);
  }
  return writes;
}

TEST_F(ExportsTest, InitializeGivesEveryCameraItsExposureAndStartsDeviceZero) {
  driver.SetPresent(0, true);
  driver.SetPresent(2, true);
  const CameraHandle handle = Orvex_Initialize(0);
  const std::vector<std::pair<int, int>> expected = {
      {0, 0x40},                                         // readout mode, at construction
      {0, 82},   {2, 82},                                // each camera's own exposure
      {0, 16},   {0, 64}, {0, 132}, {0, 128}, {0, 140},  // start-up registers
      {0, 82}};                                          // device 0's exposure again
  EXPECT_EQ(RegisterWrites(driver), expected);
  EXPECT_EQ(Orvex_GetLastError(handle), 0);
  Orvex_Release(handle);
}

TEST_F(ExportsTest, InitializeWithoutCameraStillGivesAHandle) {
  const CameraHandle handle = Orvex_Initialize(0);
  EXPECT_NE(handle, 0);
  EXPECT_EQ(Orvex_GetLastError(handle), 0);
  EXPECT_EQ(Orvex_Release(handle), 1);
}

}  // namespace
}  // namespace orvex
