// Start-up with the settings store, capture format, geometry and device selection, through
// the exports over in-memory backends.
#include <OrvexSdk_QX218.h>

#include <cstring>

#include "base/camera_settings.h"
#include "core/camera_context.h"
#include "support/unit_platform.h"

namespace orvex {
namespace {

const std::string kMain = "Software\\Helvane\\OrvexQX218Sdk";

class CaptureFormatTest : public testing::UnitPlatformTest {
 protected:
  void StoreSize(int index, SizeEntry entry) {
    char name[16];
    std::snprintf(name, sizeof name, "\\Size_%02d", index);
    const std::string key = kMain + name;
    registry.SetValue(key, "TH", entry.TH);
    registry.SetValue(key, "TV", entry.TV);
    registry.SetValue(key, "EH", entry.EH);
    registry.SetValue(key, "EV", entry.EV);
    registry.SetValue(key, "EHS", entry.EHS);
    registry.SetValue(key, "EVS", entry.EVS);
    registry.SetValue(key, "Buf", entry.Buf);
  }

  // The frame sizes sent to device 0 with the 0x09 command, in order.
  std::vector<std::uint32_t> FrameSizesSent() const {
    std::vector<std::uint32_t> sizes;
    for (const auto& packet : PacketsTo(0)) {
      if (packet[0] != 0x09) continue;
      sizes.push_back(packet[1] | packet[2] << 8 | packet[3] << 16 |
                      static_cast<std::uint32_t>(packet[4]) << 24);
    }
    return sizes;
  }
};

TEST_F(CaptureFormatTest, FirstRunWritesDefaultsAndRunsInColorType2) {
  const CameraHandle handle = Orvex_Initialize(0);
  EXPECT_EQ(registry.CommitCount(), 1);  // the defaults as one change
  EXPECT_EQ(registry.Value(kMain, "Color"), 2);
  EXPECT_EQ(registry.Value(kMain, "Size"), 0);
  EXPECT_EQ(registry.Value(kMain, "WaitTime"), 10);
  EXPECT_EQ(registry.Value(kMain + "\\Size_00", "EHS"), 39);
  EXPECT_EQ(registry.Value(kMain + "\\Size_00", "Buf"), 20);
  EXPECT_EQ(Orvex_GetColorMode(handle), 24);
  EXPECT_EQ(Orvex_GetWaitTime(handle), 10);
  std::int32_t th, ehs, eh, tv, evs, ev;
  Orvex_GetCaptureWindowEx(handle, &th, &ehs, &eh, &tv, &evs, &ev);
  EXPECT_EQ((std::vector<std::int32_t>{th, ehs, eh, tv, evs, ev}),
            (std::vector<std::int32_t>{1320, 39, 1280, 1024, 0, 1024}));
  EXPECT_EQ(Orvex_GetLastError(handle), 0);
  Orvex_Release(handle);
  // Release saved the groups that live only in memory until then, in one commit.
  EXPECT_EQ(registry.CommitCount(), 2);
  EXPECT_EQ(registry.Value(kMain + "\\Filter", "Gamma"), 100);
  EXPECT_EQ(registry.Value(kMain + "\\Gray", "GainR1"), 128);
  EXPECT_EQ(registry.Value(kMain + "\\Gain_00", "Exposure"), 40);
}

TEST_F(CaptureFormatTest, StoredGeometryOutOfRangeFallsBackToTheDefault) {
  registry.SetValue(kMain, "Size", 0);
  StoreSize(0, {1320, 1024, 1282, 1024, 39, 0, 20});  // EH + EHS = 1321
  const CameraHandle handle = Orvex_Initialize(0);
  EXPECT_EQ(Orvex_GetLastError(handle), ErrorGeometry);
  EXPECT_EQ(Orvex_Width(handle), 1280);
  Orvex_Release(handle);
}

TEST_F(CaptureFormatTest, StoredColorOutsideTheTableReadsAsMinusOne) {
  registry.SetValue(kMain, "Color", 7);
  const CameraHandle handle = Orvex_Initialize(0);
  EXPECT_EQ(Orvex_GetColorMode(handle), -1);
  EXPECT_EQ(Orvex_SetColorMode(handle, 12), 0);
  EXPECT_EQ(Orvex_GetLastError(handle), ErrorParameter);
  EXPECT_EQ(Orvex_GetColorMode(handle), -1);
  EXPECT_EQ(Orvex_SetColorMode(handle, 48), 1);
  EXPECT_EQ(Orvex_GetColorMode(handle), 48);
  Orvex_Release(handle);
}

TEST_F(CaptureFormatTest, SetCaptureWindowTakesTheFirstMatchingEntryUpToTheFirstGap) {
  driver.SetPresent(0, true);
  registry.SetValue(kMain, "Size", 0);
  StoreSize(0, {1320, 1024, 1280, 1024, 39, 0, 20});
  StoreSize(1, {1000, 600, 640, 480, 100, 50, 4});
  StoreSize(2, {1000, 600, 640, 480, 0, 0, 4});  // a later duplicate is not reached
  const CameraHandle handle = Orvex_Initialize(0);
  driver.ClearLog();
  ASSERT_EQ(Orvex_SetCaptureWindow(handle, 640, 480), 1);
  std::int32_t th, ehs, eh, tv, evs, ev;
  Orvex_GetCaptureWindowEx(handle, &th, &ehs, &eh, &tv, &evs, &ev);
  EXPECT_EQ((std::vector<std::int32_t>{th, ehs, eh, tv, evs, ev}),
            (std::vector<std::int32_t>{1000, 100, 640, 600, 50, 480}));
  // The link was configured at once: 1000 x (50 + 480) samples, raised to a multiple of 1024.
  EXPECT_EQ(FrameSizesSent(), std::vector<std::uint32_t>{530432});
  EXPECT_EQ(registry.Value(kMain, "Size"), 0);  // the stored index is not changed

  EXPECT_EQ(Orvex_SetCaptureWindow(handle, 320, 240), 0);  // no entry: nothing recorded
  EXPECT_EQ(Orvex_GetLastError(handle), 0);
  Orvex_Release(handle);
}

TEST_F(CaptureFormatTest, SetCaptureWindowStopsAtAGap) {
  registry.SetValue(kMain, "Size", 0);
  StoreSize(0, {1320, 1024, 1280, 1024, 39, 0, 20});
  StoreSize(2, {1000, 600, 640, 480, 0, 0, 4});
  const CameraHandle handle = Orvex_Initialize(0);
  EXPECT_EQ(Orvex_SetCaptureWindow(handle, 640, 480), 0);
  EXPECT_EQ(Orvex_Width(handle), 1280);
  EXPECT_EQ(Orvex_GetLastError(handle), 0);
  Orvex_Release(handle);
}

TEST_F(CaptureFormatTest, SetCaptureWindowReplacesARejectedEntryByTheDefault) {
  registry.SetValue(kMain, "Size", 0);
  StoreSize(0, {1320, 1024, 1280, 1024, 39, 0, 20});
  StoreSize(1, {1320, 1024, 640, 480, 700, 0, 20});  // 640 + 700 > 1320
  const CameraHandle handle = Orvex_Initialize(0);
  EXPECT_EQ(Orvex_SetCaptureWindow(handle, 640, 480), 1);
  EXPECT_EQ(Orvex_GetLastError(handle), ErrorGeometry);
  EXPECT_EQ(Orvex_Width(handle), 1280);
  Orvex_Release(handle);
}

TEST_F(CaptureFormatTest, SetCaptureWindowExKeepsRejectedValues) {
  driver.SetPresent(0, true);
  const CameraHandle handle = Orvex_Initialize(0);
  driver.ClearLog();
  EXPECT_EQ(Orvex_SetCaptureWindowEx(handle, 1320, 39, 1282, 1024, 0, 1024), 0);
  EXPECT_EQ(Orvex_GetLastError(handle), ErrorGeometry);
  std::int32_t eh = 0;
  EXPECT_EQ(Orvex_GetCaptureWindowEx(handle, nullptr, nullptr, &eh, nullptr, nullptr, nullptr), 1);
  EXPECT_EQ(eh, 1282);
  EXPECT_TRUE(FrameSizesSent().empty());

  EXPECT_EQ(Orvex_SetCaptureWindowEx(handle, 1320, 40, 1280, 1024, 0, 1024), 1);
  EXPECT_EQ(FrameSizesSent(), std::vector<std::uint32_t>{1351680});
  Orvex_Release(handle);
}

TEST_F(CaptureFormatTest, DeviceNamesCountPresentDevicesOrFollowTheIndex) {
  driver.SetPresent(0, true);
  driver.SetPresent(2, true);
  const CameraHandle handle = Orvex_Initialize(0);
  char names[10][256];
  std::memset(names, 'x', sizeof names);
  EXPECT_EQ(Orvex_EnumDevice(handle, names), 2);
  EXPECT_STREQ(names[0], "OrvexQX218_01");
  EXPECT_STREQ(names[1], "OrvexQX218_02");
  for (int slot = 2; slot < 10; ++slot) EXPECT_STREQ(names[slot], "");

  char name[16];
  EXPECT_EQ(Orvex_GetDeviceName(handle, 2, name, 16), 1);
  EXPECT_STREQ(name, "OrvexQX218_03");
  EXPECT_EQ(Orvex_GetLastError(handle), 0);
  EXPECT_EQ(Orvex_GetDeviceName(handle, 1, name, 16), 0);
  EXPECT_EQ(Orvex_GetLastError(handle), ErrorDeviceNotFound);
  EXPECT_EQ(Orvex_GetDeviceName(handle, 8, name, 16), 0);
  EXPECT_EQ(Orvex_GetDeviceName(handle, -1, name, 16), 0);
  EXPECT_EQ(Orvex_GetLastError(handle), 0);
  EXPECT_EQ(Orvex_GetDeviceName(handle, 0, name, 15), 0);
  EXPECT_EQ(Orvex_GetLastError(handle), ErrorParameter);
  // Null buffers are refused, never written through.
  EXPECT_EQ(Orvex_GetDeviceName(handle, 0, nullptr, 16), 0);
  EXPECT_EQ(Orvex_GetLastError(handle), ErrorParameter);
  EXPECT_EQ(Orvex_EnumDevice(handle, nullptr), 0);
  EXPECT_EQ(Orvex_GetLastError(handle), ErrorParameter);
  Orvex_Release(handle);
}

TEST_F(CaptureFormatTest, CameraInfoNeedsThirtySixBytes) {
  const CameraHandle handle = Orvex_Initialize(0);
  CameraInfo info{};
  info.size = 35;
  EXPECT_EQ(Orvex_GetCameraInfo(handle, &info), 0);
  EXPECT_EQ(Orvex_GetLastError(handle), ErrorBuffer);
  info.size = -1;  // compared unsigned: large enough
  EXPECT_EQ(Orvex_GetCameraInfo(handle, &info), 1);
  info.size = 36;
  ASSERT_EQ(Orvex_GetCameraInfo(handle, &info), 1);
  EXPECT_EQ((std::vector<std::int32_t>{info.maxWidth, info.maxHeight, info.minGain, info.maxGain,
                                       info.reserved[0], info.reserved[1], info.reserved[2],
                                       info.maxLevel}),
            (std::vector<std::int32_t>{1320, 1024, 0, 63, 0, 0, 0, 255}));
  EXPECT_EQ(Orvex_GetCameraInfo(handle, nullptr), 0);
  EXPECT_EQ(Orvex_GetLastError(handle), ErrorParameter);
  Orvex_Release(handle);
}

// A handle that Orvex_Initialize refused (its registration failed) goes without saving: it never
// loaded the user's groups, and its own values would replace them.
TEST_F(CaptureFormatTest, AContextThatNeverStartedLeavesTheStoredGroups) {
  registry.SetValue(kMain + "\\Filter", "Gamma", 150);
  registry.SetValue(kMain + "\\Gray", "GainR1", 200);
  const int commits = registry.CommitCount();
  delete new CameraContext;
  EXPECT_EQ(registry.CommitCount(), commits);
  EXPECT_EQ(registry.Value(kMain + "\\Filter", "Gamma"), 150);
  EXPECT_EQ(registry.Value(kMain + "\\Gray", "GainR1"), 200);
}

TEST_F(CaptureFormatTest, SetDeviceNumberSavesTheAnalogGroupEvenWhenItFails) {
  driver.SetPresent(0, true);
  driver.SetPresent(3, true);
  const CameraHandle handle = Orvex_Initialize(0);
  ASSERT_FALSE(registry.HasKey(kMain + "\\Gain_00"));
  const int commits = registry.CommitCount();
  EXPECT_EQ(Orvex_SetDeviceNumber(handle, 5), 0);
  EXPECT_EQ(Orvex_GetLastError(handle), ErrorDeviceNotFound);
  EXPECT_EQ(registry.Value(kMain + "\\Gain_00", "Exposure"), 40);
  EXPECT_EQ(registry.CommitCount(), commits + 1);

  std::vector<std::uint8_t> reply(64, 0);
  reply[0] = 0x39;  // the exposure register of device 3 reads 57
  driver.QueueReply(std::vector<std::uint8_t>(64, 0));
  driver.QueueReply(reply);
  EXPECT_EQ(Orvex_SetDeviceNumber(handle, 3), 1);
  Orvex_Release(handle);
  // Release saved the new device's group with the exposure read from the camera.
  EXPECT_EQ(registry.Value(kMain + "\\Gain_03", "Exposure"), 57);
  EXPECT_EQ(registry.Value(kMain + "\\Gain_03", "Global"), 0);
}

}  // namespace
}  // namespace orvex
