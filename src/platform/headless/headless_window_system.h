#pragma once

#include "platform/window_system.h"

namespace orvex::platform {

// Windows of the OrvexPlatform library: message windows, and preview windows that are pictures
// on its headless screen. The device context of a window is the window's own handle. There are
// no window classes and no bitmaps in memory: images live in plain memory and are drawn from
// their pixels.
class HeadlessWindowSystem : public WindowSystem {
 public:
  bool PostWindowMessage(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                         std::intptr_t lParam) override;

  bool RegisterWindowClass(const char* className) override;
  bool UnregisterWindowClass(const char* className) override;
  WindowHandle CreateChildWindow(const char* className, const char* title, WindowHandle parent,
                                 std::int32_t x, std::int32_t y, std::int32_t width,
                                 std::int32_t height, std::int32_t childId) override;
  bool AdjustTopLevelRect(WindowRect* rect) override;
  WindowHandle CreateTopLevelWindow(const char* className, const char* title, std::int32_t x,
                                    std::int32_t y, std::int32_t width,
                                    std::int32_t height) override;
  std::int32_t ScreenWidth() override;
  std::int32_t ScreenHeight() override;
  bool SetFocus(WindowHandle window) override;
  bool ShowWindow(WindowHandle window) override;
  bool UpdateWindow(WindowHandle window) override;
  bool DestroyWindow(WindowHandle window) override;
  bool GetClientRect(WindowHandle window, WindowRect* rect) override;
  bool IsWindowVisible(WindowHandle window) override;

  GraphicsHandle GetWindowDc(WindowHandle window) override;
  bool ReleaseWindowDc(WindowHandle window, GraphicsHandle dc) override;
  std::int32_t SetDiBitsToDevice(GraphicsHandle dc, std::int32_t x, std::int32_t y,
                                 std::int32_t width, std::int32_t height, std::int32_t sourceX,
                                 std::int32_t sourceY, std::int32_t startScan,
                                 std::int32_t scanLines, const BitmapView& bitmap) override;
  bool StretchBlt(GraphicsHandle dc, std::int32_t x, std::int32_t y, std::int32_t width,
                  std::int32_t height, const BitmapView& source, std::int32_t sourceX,
                  std::int32_t sourceY, std::int32_t sourceWidth,
                  std::int32_t sourceHeight) override;
};

}  // namespace orvex::platform
