// The Windows backends of the platform seams against the real services (under Wine: its
// registry, its user32 and gdi32 on an X screen, the virtual camera driver).
#include <gtest/gtest.h>
#include <orvex/virtual_camera.h>
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "platform/fault_guard.h"
#include "platform/win32/win32_clock.h"
#include "platform/win32/win32_driver_port.h"
#include "platform/win32/win32_registry_store.h"
#include "platform/win32/win32_window_system.h"

namespace orvex::platform {
namespace {

// ---- Registry ---------------------------------------------------------------------------------

// What `reg query` reports of a value, through the system's own tool: "0x..." or empty.
std::string QueryWithRegTool(const std::string& key, const std::string& name) {
  const std::string command = "reg query \"HKCU\\" + key + "\" /v " + name + " 2>NUL";
  std::FILE* pipe = _popen(command.c_str(), "r");
  if (pipe == nullptr) return {};
  std::string output;
  char buffer[256];
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) output += buffer;
  _pclose(pipe);
  const std::size_t type = output.find("REG_DWORD");
  if (type == std::string::npos) return {};
  const std::size_t value = output.find("0x", type);
  if (value == std::string::npos) return {};
  return output.substr(value, output.find_first_of("\r\n", value) - value);
}

class RegistryStoreTest : public ::testing::Test {
 protected:
  void SetUp() override { RegDeleteTreeA(HKEY_CURRENT_USER, kKey); }
  void TearDown() override { RegDeleteTreeA(HKEY_CURRENT_USER, kKey); }

  static constexpr const char* kKey = "Software\\Helvane\\OrvexBackendTest";
  Win32RegistryStore store;
};

TEST_F(RegistryStoreTest, DwordsReachTheRegistryAndComeBack) {
  EXPECT_EQ(store.OpenKey(kKey), 0u);
  const RegistryKey key = store.CreateKey(std::string(kKey) + "\\Size_00");
  ASSERT_NE(key, 0u);
  EXPECT_TRUE(store.WriteDword(key, "TH", 1320));
  EXPECT_TRUE(store.WriteDword(key, "Brightness", -255));
  store.CloseKey(key);

  EXPECT_EQ(QueryWithRegTool(std::string(kKey) + "\\Size_00", "TH"), "0x528");
  EXPECT_EQ(QueryWithRegTool(std::string(kKey) + "\\Size_00", "Brightness"), "0xffffff01");

  const RegistryKey again = store.OpenKey(std::string(kKey) + "\\Size_00");
  ASSERT_NE(again, 0u);
  std::int32_t value = 0;
  EXPECT_TRUE(store.ReadDword(again, "TH", &value));
  EXPECT_EQ(value, 1320);
  EXPECT_TRUE(store.ReadDword(again, "Brightness", &value));
  EXPECT_EQ(value, -255);
  EXPECT_FALSE(store.ReadDword(again, "Missing", &value));
  store.CloseKey(again);
}

TEST_F(RegistryStoreTest, ValuesOfAnotherSizeReadAsMissing) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                            nullptr),
            ERROR_SUCCESS);
  const BYTE two[2] = {1, 2};
  const BYTE eight[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  RegSetValueExA(key, "Short", 0, REG_BINARY, two, sizeof two);
  RegSetValueExA(key, "Long", 0, REG_BINARY, eight, sizeof eight);
  RegCloseKey(key);

  const RegistryKey opened = store.OpenKey(kKey);
  std::int32_t value = 77;
  EXPECT_FALSE(store.ReadDword(opened, "Short", &value));
  EXPECT_FALSE(store.ReadDword(opened, "Long", &value));
  EXPECT_EQ(value, 77);
  store.CloseKey(opened);
}

// ---- Driver channel ---------------------------------------------------------------------------

std::vector<std::uint8_t> Packet(std::uint8_t opcode, std::uint8_t address, std::uint16_t value) {
  std::vector<std::uint8_t> packet(64, 0);
  packet[0] = opcode;
  packet[1] = address;
  packet[2] = static_cast<std::uint8_t>(value);
  packet[3] = static_cast<std::uint8_t>(value >> 8);
  return packet;
}

TEST(DriverPortTest, RequestsReachTheVirtualCameraDriver) {
  ASSERT_EQ(OrvexVirtualCamera_Reset(), 1);
  Win32DriverPort port;
  EXPECT_EQ(port.Open("\\\\.\\OrvexNec06A-5"), kInvalidDriverHandle);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

  const DriverHandle handle = port.Open("\\\\.\\OrvexNec06A-0");
  ASSERT_NE(handle, kInvalidDriverHandle);
  std::uint32_t moved = 0;
  std::vector<std::uint8_t> write = Packet(0x25, 0x30, 0xBEEF);
  ASSERT_TRUE(port.Control(handle, kControlCodeDirectIn, 0, write.data(), 64, &moved));
  EXPECT_EQ(moved, 64u);
  EXPECT_EQ(OrvexVirtualCamera_GetRegister(0, 0x30), 0xBEEF);

  std::vector<std::uint8_t> read = Packet(0x26, 0x30, 0);
  ASSERT_TRUE(port.Control(handle, kControlCodeDirectIn, 0, read.data(), 64, &moved));
  std::vector<std::uint8_t> reply(64);
  ASSERT_TRUE(port.Control(handle, kControlCodeDirectOut, 1, reply.data(), 64, &moved));
  ASSERT_TRUE(port.Control(handle, kControlCodeDirectOut, 1, reply.data(), 64, &moved));
  EXPECT_EQ(reply[0] | reply[1] << 8, 0xBEEF);

  // A frame on pipe 2 through the caller's own buffer; a fourth pipe does not exist.
  std::vector<std::uint8_t> frame(1320 * 2, 0xEE);
  ASSERT_TRUE(port.Control(handle, kControlCodeDirectIn, 2, frame.data(), 1320 * 2, &moved));
  EXPECT_EQ(moved, 1320u * 2);
  EXPECT_EQ(frame[0], 0);  // blanking
  EXPECT_FALSE(port.Control(handle, kControlCodeDirectIn, 3, frame.data(), 64, &moved));
  EXPECT_TRUE(port.Close(handle));

  EXPECT_FALSE(
      port.Control(kInvalidDriverHandle, kControlCodeDirectIn, 0, write.data(), 64, &moved));
  EXPECT_FALSE(port.Close(kInvalidDriverHandle));  // and the process's pseudo-handle survives
  EXPECT_NE(WaitForSingleObject(GetCurrentProcess(), 0), WAIT_FAILED);
}

// ---- Window system ----------------------------------------------------------------------------

struct Bgr {
  std::uint8_t blue, green, red;
  bool operator==(const Bgr&) const = default;
};

// The client area of a window as it is drawn: copied from the window's device context into a
// bitmap and read back with GetDIBits, top row first.
std::vector<Bgr> ReadBack(HWND window, int width, int height) {
  HDC dc = GetDC(window);
  HDC memory = CreateCompatibleDC(dc);
  HBITMAP bitmap = CreateCompatibleBitmap(dc, width, height);
  HGDIOBJ old = ::SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, dc, 0, 0, SRCCOPY);
  ::SelectObject(memory, old);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width) * height * 4);
  GetDIBits(memory, bitmap, 0, static_cast<UINT>(height), pixels.data(), &info, DIB_RGB_COLORS);
  ::DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(window, dc);
  std::vector<Bgr> result(static_cast<std::size_t>(width) * height);
  for (std::size_t i = 0; i < result.size(); ++i) {
    result[i] = Bgr{pixels[4 * i], pixels[4 * i + 1], pixels[4 * i + 2]};
  }
  return result;
}

class WindowSystemTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(windows.RegisterWindowClass(kClass));
    // Wide enough for a framed window: Windows widens one below its smallest width.
    WindowRect outer{0, 0, 200, 48};
    ASSERT_TRUE(windows.AdjustTopLevelRect(&outer));
    EXPECT_LT(outer.left, 0);
    EXPECT_LT(outer.top, 0);
    top = windows.CreateTopLevelWindow(kClass, "Orvex backend test", 40, 40,
                                       outer.right - outer.left, outer.bottom - outer.top);
    ASSERT_NE(top, 0u);
    child = windows.CreateChildWindow(kClass, "child", top, 0, 0, 6, 4, 77);
    ASSERT_NE(child, 0u);
    EXPECT_EQ(GetDlgCtrlID(reinterpret_cast<HWND>(child)), 77);
    dc = windows.GetWindowDc(child);
    ASSERT_NE(dc, 0u);
  }
  void TearDown() override {
    if (dc != 0) windows.ReleaseWindowDc(child, dc);
    if (top != 0) windows.DestroyWindow(top);
    windows.UnregisterWindowClass(kClass);
  }

  // A 3 x 2 picture of 24 bits, rows stored bottom-up: memory row 0 red green blue, row 1
  // white black gray.
  BitmapInfoHeader Header24(std::int32_t height) const {
    BitmapInfoHeader header;
    header.width = 3;
    header.height = height;
    header.planes = 1;
    header.bitCount = 24;
    return header;
  }
  static constexpr std::uint8_t kPixels[24] = {0,   0,   255, 0, 255, 0, 255, 0,   0,   0, 0, 0,
                                               255, 255, 255, 0, 0,   0, 128, 128, 128, 0, 0, 0};
  static constexpr Bgr kRed{0, 0, 255}, kGreen{0, 255, 0}, kBlue{255, 0, 0};
  static constexpr Bgr kWhite{255, 255, 255}, kBlack{0, 0, 0};

  static constexpr const char* kClass = "OrvexBackendTestClass";
  Win32WindowSystem windows;
  WindowHandle top = 0;
  WindowHandle child = 0;
  GraphicsHandle dc = 0;
};

TEST_F(WindowSystemTest, WindowsHaveTheirRectanglesAndVisibility) {
  WindowRect client;
  ASSERT_TRUE(windows.GetClientRect(top, &client));
  EXPECT_EQ(client.right, 200);
  EXPECT_EQ(client.bottom, 48);
  ASSERT_TRUE(windows.GetClientRect(child, &client));
  EXPECT_EQ(client.right, 6);
  EXPECT_EQ(client.bottom, 4);
  EXPECT_TRUE(windows.IsWindowVisible(child));
  EXPECT_TRUE(windows.ShowWindow(child));
  EXPECT_TRUE(windows.UpdateWindow(child));
  EXPECT_TRUE(windows.SetFocus(child));
  EXPECT_GT(windows.ScreenWidth(), 0);
  EXPECT_GT(windows.ScreenHeight(), 0);
  // A second class of the same name is refused; the window goes, and its child with it.
  EXPECT_FALSE(windows.RegisterWindowClass(kClass));
  ASSERT_TRUE(windows.DestroyWindow(top));
  EXPECT_FALSE(IsWindow(reinterpret_cast<HWND>(child)));
  top = 0;
  dc = 0;
  // A window's device context goes back to the system's cache with the window and may already
  // serve the next one: releasing it for the dead window must not take it from that window.
  const WindowHandle first = windows.CreateTopLevelWindow(kClass, "first", 40, 40, 60, 40);
  ASSERT_NE(first, 0u);
  const GraphicsHandle firstDc = windows.GetWindowDc(first);
  ASSERT_TRUE(windows.DestroyWindow(first));
  const WindowHandle second = windows.CreateTopLevelWindow(kClass, "second", 40, 40, 60, 40);
  ASSERT_NE(second, 0u);
  const GraphicsHandle secondDc = windows.GetWindowDc(second);
  EXPECT_FALSE(windows.ReleaseWindowDc(first, firstDc));
  EXPECT_EQ(WindowFromDC(reinterpret_cast<HDC>(secondDc)), reinterpret_cast<HWND>(second));
  EXPECT_TRUE(windows.ReleaseWindowDc(second, secondDc));
  EXPECT_TRUE(windows.DestroyWindow(second));
}

TEST_F(WindowSystemTest, SetDiBitsToDeviceDrawsBottomUpAndTopDownBitmaps) {
  const BitmapInfoHeader bottomUp = Header24(2);
  BitmapView view{0, kPixels, &bottomUp, nullptr};
  EXPECT_EQ(windows.SetDiBitsToDevice(dc, 0, 0, 3, 2, 0, 0, 0, 2, view), 2);
  const BitmapInfoHeader topDown = Header24(-2);
  view.header = &topDown;
  EXPECT_EQ(windows.SetDiBitsToDevice(dc, 3, 0, 3, 2, 0, 0, 0, 2, view), 2);
  const std::vector<Bgr> shown = ReadBack(reinterpret_cast<HWND>(child), 6, 2);
  // Bottom-up: memory row 0 is the lower one. Top-down: it is the upper one.
  EXPECT_EQ(shown, (std::vector<Bgr>{kWhite,
                                     kBlack,
                                     {128, 128, 128},
                                     kRed,
                                     kGreen,
                                     kBlue,
                                     kRed,
                                     kGreen,
                                     kBlue,
                                     kWhite,
                                     kBlack,
                                     {128, 128, 128}}));
}

TEST_F(WindowSystemTest, DibSectionsWithColourTablesAndStretchBlt) {
  // An 8-bit section with a colour table of its own, filled through its pixels.
  BitmapInfoHeader header;
  header.width = 3;
  header.height = 2;
  header.planes = 1;
  header.bitCount = 8;
  void* bits = nullptr;
  const GraphicsHandle section = windows.CreateDibSection(0, header, &bits);
  ASSERT_NE(section, 0u);
  ASSERT_NE(bits, nullptr);
  const GraphicsHandle memory = windows.CreateMemoryDc();
  ASSERT_NE(memory, 0u);
  const GraphicsHandle previous = windows.SelectObject(memory, section);
  ASSERT_NE(previous, 0u);
  const RgbQuad table[4] = {{0, 0, 255, 0}, {0, 255, 0, 0}, {255, 0, 0, 0}, {255, 255, 255, 0}};
  EXPECT_EQ(windows.SetDibColorTable(memory, 0, 4, table), 4);
  RgbQuad back[4];
  EXPECT_EQ(windows.GetDibColorTable(memory, 0, 4, back), 4);
  EXPECT_EQ(std::memcmp(back, table, sizeof table), 0);
  auto* pixels = static_cast<std::uint8_t*>(bits);
  const std::uint8_t indices[8] = {0, 1, 2, 0, 3, 3, 0, 0};  // two rows of 4 bytes, bottom-up
  std::memcpy(pixels, indices, sizeof indices);
  GdiFlush();

  // Mirrored from the first pixel row (GDI counts a mirrored rectangle from its first pixel),
  // and twice as large; then the same from plain memory, without the device context.
  const BitmapView view{memory, pixels, &header, reinterpret_cast<const RgbQuad*>(table)};
  EXPECT_TRUE(windows.StretchBlt(dc, 0, 0, 3, 2, view, 0, 1, 3, -2));
  EXPECT_EQ(ReadBack(reinterpret_cast<HWND>(child), 3, 2),
            (std::vector<Bgr>{kRed, kGreen, kBlue, kWhite, kWhite, kRed}));
  EXPECT_TRUE(windows.StretchBlt(dc, 0, 0, 6, 4, view, 0, 0, 3, 2));
  const std::vector<Bgr> twice = ReadBack(reinterpret_cast<HWND>(child), 6, 4);
  EXPECT_EQ(twice[0], kWhite);
  EXPECT_EQ(twice[5], kRed);
  EXPECT_EQ(twice[18], kRed);
  EXPECT_EQ(twice[23], kBlue);

  const BitmapView plain{0, pixels, &header, reinterpret_cast<const RgbQuad*>(table)};
  EXPECT_TRUE(windows.StretchBlt(dc, 0, 0, 6, 4, plain, 0, 0, 3, 2));
  EXPECT_EQ(ReadBack(reinterpret_cast<HWND>(child), 6, 4), twice);

  EXPECT_EQ(windows.SelectObject(memory, previous), section);
  EXPECT_TRUE(windows.DeleteDc(memory));
  EXPECT_TRUE(windows.DeleteObject(section));
  EXPECT_FALSE(windows.DeleteObject(0));
}

// A window of another thread (a preview opened on one thread and closed on another) goes once
// its thread handles its messages, as the close button would make it go.
TEST(DestroyWindowTest, AWindowOfAnotherThreadGoesOnItsThread) {
  Win32WindowSystem windows;
  ASSERT_TRUE(windows.RegisterWindowClass("OrvexBackendTestOtherThread"));
  std::promise<WindowHandle> made;
  std::atomic<bool> done{false};
  std::thread owner([&] {
    made.set_value(
        windows.CreateTopLevelWindow("OrvexBackendTestOtherThread", "other", 0, 0, 40, 30));
    MSG message;
    while (!done) {
      while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
      Sleep(1);
    }
  });
  const WindowHandle window = made.get_future().get();
  ASSERT_NE(window, 0u);
  EXPECT_TRUE(windows.DestroyWindow(window));
  const auto hwnd = reinterpret_cast<HWND>(window);
  for (int wait = 0; wait < 5000 && IsWindow(hwnd); ++wait) Sleep(1);
  EXPECT_FALSE(IsWindow(hwnd));
  done = true;
  owner.join();
  EXPECT_TRUE(windows.UnregisterWindowClass("OrvexBackendTestOtherThread"));
}

TEST(PostMessageTest, MessagesCrossThreadsInOrder) {
  Win32WindowSystem windows;
  HWND window =
      CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  ASSERT_NE(window, nullptr);
  EXPECT_FALSE(windows.PostWindowMessage(0, 32770, 1, 2));
  const auto handle = reinterpret_cast<WindowHandle>(window);
  std::thread poster([&] {
    for (int i = 0; i < 100; ++i) windows.PostWindowMessage(handle, 32770, i, -i);
    windows.PostWindowMessage(handle, 32771, 0, 6);
  });
  MSG message;
  int next = 0;
  while (GetMessageA(&message, window, 0, 0) > 0 && message.message == 32770) {
    EXPECT_EQ(message.wParam, static_cast<WPARAM>(next));
    EXPECT_EQ(message.lParam, -next);
    ++next;
  }
  poster.join();
  EXPECT_EQ(next, 100);
  EXPECT_EQ(message.message, 32771u);
  EXPECT_EQ(message.lParam, 6);
  DestroyWindow(window);
}

// ---- Fault guard and clock --------------------------------------------------------------------

void Undefined(void*) {
  __asm__ volatile("ud2");
}

void Count(void* argument) {
  ++*static_cast<int*>(argument);
}

TEST(FaultGuardTest, InvalidInstructionsAreCaughtOnEveryThread) {
  int count = 0;
  EXPECT_TRUE(RunGuarded(Count, &count));
  EXPECT_EQ(count, 1);
  std::atomic<int> caught{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 50; ++i) {
        if (!RunGuarded(Undefined, nullptr)) ++caught;
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(caught.load(), 200);
  // The guard is gone afterwards: the process carries on normally.
  EXPECT_TRUE(RunGuarded(Count, &count));
  EXPECT_EQ(count, 2);
}

TEST(ClockTest, TimersAdvanceWithSleepAndThePriorityRises) {
  Win32Clock clock;
  const std::uint32_t tick = clock.TickCount();
  const std::uint32_t multimedia = clock.MultimediaTime();
  clock.Sleep(60);
  const std::uint32_t tickElapsed = clock.TickCount() - tick;
  const std::uint32_t multimediaElapsed = clock.MultimediaTime() - multimedia;
  EXPECT_GE(tickElapsed, 40u);
  EXPECT_LT(tickElapsed, 5000u);
  EXPECT_GE(multimediaElapsed, 50u);
  EXPECT_LT(multimediaElapsed, 5000u);

  std::thread raised([&] {
    clock.RaiseCurrentThreadPriority();
    EXPECT_EQ(GetThreadPriority(GetCurrentThread()), THREAD_PRIORITY_HIGHEST);
  });
  raised.join();
  const int r = clock.Rand();
  EXPECT_GE(r, 0);
  EXPECT_LE(r, RAND_MAX);
}

}  // namespace
}  // namespace orvex::platform
