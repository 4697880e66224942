#pragma once

#include <cstdint>

#include "platform/bitmap_types.h"

namespace orvex::platform {

// A window of the window system: an HWND on Windows; on Linux an X window id or a window of
// the OrvexPlatform library. 0 is no window.
using WindowHandle = std::uintptr_t;

// The window system as the library uses it.
class WindowSystem {
 public:
  virtual ~WindowSystem() = default;

  // PostMessageA: queues the message for the window's thread and returns at once.
  // Posting to window 0 is refused.
  virtual bool PostWindowMessage(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                                 std::intptr_t lParam) = 0;

  // --- bitmaps in memory ---
  // Where the graphics service has no device-independent bitmaps (Linux), these refuse and
  // images live in plain memory instead.

  // CreateDIBSection(dc or none, header, DIB_RGB_COLORS, &pixels, none, 0); 0 when refused.
  virtual GraphicsHandle CreateDibSection(GraphicsHandle /*dc*/, const BitmapInfoHeader& /*header*/,
                                          void** pixels) {
    if (pixels != nullptr) *pixels = nullptr;
    return 0;
  }
  // CreateCompatibleDC(none).
  virtual GraphicsHandle CreateMemoryDc() { return 0; }
  // SelectObject: returns the object that was selected before, 0 on failure.
  virtual GraphicsHandle SelectObject(GraphicsHandle /*dc*/, GraphicsHandle /*object*/) {
    return 0;
  }
  virtual bool DeleteObject(GraphicsHandle /*object*/) { return false; }
  virtual bool DeleteDc(GraphicsHandle /*dc*/) { return false; }
  // GetDIBColorTable / SetDIBColorTable: the number of entries moved.
  virtual int GetDibColorTable(GraphicsHandle /*dc*/, int /*first*/, int /*count*/,
                               RgbQuad* /*entries*/) {
    return 0;
  }
  virtual int SetDibColorTable(GraphicsHandle /*dc*/, int /*first*/, int /*count*/,
                               const RgbQuad* /*entries*/) {
    return 0;
  }
};

}  // namespace orvex::platform
