#pragma once

#include "platform/window_system.h"

namespace orvex::platform {

// user32's windows and gdi32's device-independent bitmaps. A WindowHandle holds the HWND's
// bits, a GraphicsHandle the HDC's or HGDIOBJ's.
class Win32WindowSystem final : public WindowSystem {
 public:
  bool PostWindowMessage(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                         std::intptr_t lParam) override;

  GraphicsHandle CreateDibSection(GraphicsHandle dc, const BitmapInfoHeader& header,
                                  void** pixels) override;
  GraphicsHandle CreateMemoryDc() override;
  GraphicsHandle SelectObject(GraphicsHandle dc, GraphicsHandle object) override;
  bool DeleteObject(GraphicsHandle object) override;
  bool DeleteDc(GraphicsHandle dc) override;
  int GetDibColorTable(GraphicsHandle dc, int first, int count, RgbQuad* entries) override;
  int SetDibColorTable(GraphicsHandle dc, int first, int count, const RgbQuad* entries) override;

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
