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
};

}  // namespace orvex::platform
