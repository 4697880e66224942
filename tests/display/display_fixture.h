#pragma once

#include <orvex/platform.h>

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "acquisition/acquisition_fixture.h"
#include "platform/headless/headless_window_system.h"

namespace orvex::testing {

// The headless window system of the library, with every window call logged and some refusable.
// Posted messages go to a RecordingWindowSystem, so the acquisition fixture's checks still see
// them.
class ScreenWindowSystem final : public platform::HeadlessWindowSystem {
 public:
  void SendMessagesTo(platform::testing::RecordingWindowSystem* messages) { messages_ = messages; }

  bool failRegister = false;
  bool failUnregister = false;
  bool failUpdate = false;
  bool failDc = false;
  // Runs at ReleaseWindowDc, before the device context goes.
  std::function<void()> onRelease;

  std::vector<std::string> Log() const {
    std::lock_guard lock(mutex_);
    return log_;
  }
  // Log entries that start with `prefix`.
  std::vector<std::string> Calls(const std::string& prefix) const {
    std::vector<std::string> found;
    for (const std::string& entry : Log()) {
      if (entry.rfind(prefix, 0) == 0) found.push_back(entry);
    }
    return found;
  }
  void ClearLog() {
    std::lock_guard lock(mutex_);
    log_.clear();
  }

  bool PostWindowMessage(platform::WindowHandle window, std::uint32_t message,
                         std::uintptr_t wParam, std::intptr_t lParam) override {
    return messages_ != nullptr && messages_->PostWindowMessage(window, message, wParam, lParam);
  }
  platform::GraphicsHandle CreateDibSection(platform::GraphicsHandle dc,
                                            const platform::BitmapInfoHeader& header,
                                            void** pixels) override {
    Note("CreateDibSection " + std::to_string(header.width) + "x" + std::to_string(header.height) +
         "x" + std::to_string(header.bitCount));
    return HeadlessWindowSystem::CreateDibSection(dc, header, pixels);
  }
  bool RegisterWindowClass(const char* name) override {
    Note(std::string("RegisterWindowClass ") + name);
    return !failRegister && HeadlessWindowSystem::RegisterWindowClass(name);
  }
  bool UnregisterWindowClass(const char* name) override {
    Note(std::string("UnregisterWindowClass ") + name);
    return !failUnregister && HeadlessWindowSystem::UnregisterWindowClass(name);
  }
  platform::WindowHandle CreateChildWindow(const char* name, const char* title,
                                           platform::WindowHandle parent, std::int32_t x,
                                           std::int32_t y, std::int32_t width, std::int32_t height,
                                           std::int32_t id) override {
    Note(std::string("CreateChildWindow ") + name + " '" + title + "' " + std::to_string(x) + " " +
         std::to_string(y) + " " + std::to_string(width) + " " + std::to_string(height) + " id " +
         std::to_string(id));
    return HeadlessWindowSystem::CreateChildWindow(name, title, parent, x, y, width, height, id);
  }
  platform::WindowHandle CreateTopLevelWindow(const char* name, const char* title, std::int32_t x,
                                              std::int32_t y, std::int32_t width,
                                              std::int32_t height) override {
    Note(std::string("CreateTopLevelWindow ") + name + " '" + title + "' " + std::to_string(x) +
         " " + std::to_string(y) + " " + std::to_string(width) + " " + std::to_string(height));
    return HeadlessWindowSystem::CreateTopLevelWindow(name, title, x, y, width, height);
  }
  bool SetFocus(platform::WindowHandle window) override {
    Note("SetFocus");
    return HeadlessWindowSystem::SetFocus(window);
  }
  bool ShowWindow(platform::WindowHandle window) override {
    Note("ShowWindow");
    return HeadlessWindowSystem::ShowWindow(window);
  }
  bool UpdateWindow(platform::WindowHandle window) override {
    Note("UpdateWindow");
    return !failUpdate && HeadlessWindowSystem::UpdateWindow(window);
  }
  bool DestroyWindow(platform::WindowHandle window) override {
    Note("DestroyWindow");
    return HeadlessWindowSystem::DestroyWindow(window);
  }
  platform::GraphicsHandle GetWindowDc(platform::WindowHandle window) override {
    Note("GetWindowDc");
    return failDc ? 0 : HeadlessWindowSystem::GetWindowDc(window);
  }
  bool ReleaseWindowDc(platform::WindowHandle window, platform::GraphicsHandle dc) override {
    if (onRelease) onRelease();
    Note("ReleaseWindowDc");
    return HeadlessWindowSystem::ReleaseWindowDc(window, dc);
  }
  std::int32_t SetDiBitsToDevice(platform::GraphicsHandle dc, std::int32_t x, std::int32_t y,
                                 std::int32_t width, std::int32_t height, std::int32_t sourceX,
                                 std::int32_t sourceY, std::int32_t startScan,
                                 std::int32_t scanLines,
                                 const platform::BitmapView& bitmap) override {
    Note("SetDiBitsToDevice " + std::to_string(width) + "x" + std::to_string(height) + " header " +
         std::to_string(bitmap.header->width) + "x" + std::to_string(bitmap.header->height) + "x" +
         std::to_string(bitmap.header->bitCount));
    return HeadlessWindowSystem::SetDiBitsToDevice(dc, x, y, width, height, sourceX, sourceY,
                                                   startScan, scanLines, bitmap);
  }
  bool StretchBlt(platform::GraphicsHandle dc, std::int32_t x, std::int32_t y, std::int32_t width,
                  std::int32_t height, const platform::BitmapView& source, std::int32_t sourceX,
                  std::int32_t sourceY, std::int32_t sourceWidth,
                  std::int32_t sourceHeight) override {
    Note("StretchBlt " + std::to_string(width) + "x" + std::to_string(height) + " from " +
         std::to_string(sourceX) + " " + std::to_string(sourceY) + " " +
         std::to_string(sourceWidth) + " " + std::to_string(sourceHeight));
    return HeadlessWindowSystem::StretchBlt(dc, x, y, width, height, source, sourceX, sourceY,
                                            sourceWidth, sourceHeight);
  }

 private:
  void Note(std::string entry) {
    std::lock_guard lock(mutex_);
    log_.push_back(std::move(entry));
  }

  platform::testing::RecordingWindowSystem* messages_ = nullptr;
  mutable std::mutex mutex_;
  std::vector<std::string> log_;
};

// Outlives the camera context of the fixture below, whose destruction still draws on it.
struct ScreenHolder {
  ScreenWindowSystem screen;
};

// The acquisition fixture (a 13 x 6 window, 8-bit gray, instant frames) on the headless screen.
class DisplayTest : protected ScreenHolder, public AcquisitionTest {
 protected:
  DisplayTest() {
    screen.SendMessagesTo(&windows);
    platform::InstallPlatformServices({nullptr, nullptr, &screen, nullptr});
  }

  void TearDown() override {
    AcquisitionTest::TearDown();
    context.Close();
    for (OrvexWindow window : made_) OrvexPlatform_DestroyWindow(window);
    OrvexPlatform_SetScreenSize(1920, 1080);
  }

  // An application window on the headless screen, destroyed with the test.
  OrvexWindow AppWindow(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height) {
    const OrvexWindow window = OrvexPlatform_CreateWindow(0, x, y, width, height);
    made_.push_back(window);
    return window;
  }

  // What the screen shows in a rectangle, 3 bytes (blue, green, red) a pixel, top row first.
  static std::vector<std::uint8_t> Screen(std::int32_t x, std::int32_t y, std::int32_t width,
                                          std::int32_t height) {
    std::vector<std::uint8_t> bgr(static_cast<std::size_t>(width) * height * 3);
    EXPECT_EQ(OrvexPlatform_ReadScreen(x, y, width, height, bgr.data()), 1);
    return bgr;
  }

  // The client area of a window as the screen shows it.
  static std::vector<std::uint8_t> Client(OrvexWindow window, std::int32_t* width = nullptr,
                                          std::int32_t* height = nullptr) {
    std::int32_t x = 0, y = 0, w = 0, h = 0;
    EXPECT_EQ(OrvexPlatform_GetClientRect(window, &x, &y, &w, &h), 1);
    if (width != nullptr) *width = w;
    if (height != nullptr) *height = h;
    return Screen(x, y, w, h);
  }

 private:
  std::vector<OrvexWindow> made_;
};

}  // namespace orvex::testing
