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

  // --- preview windows ---
  // Where the window system has no window classes (Linux), registering succeeds at once.

  // RegisterClassExA of a class with the default window procedure, the arrow cursor and the
  // black brush; false when refused.
  virtual bool RegisterWindowClass(const char* /*className*/) { return false; }
  virtual bool UnregisterWindowClass(const char* /*className*/) { return false; }
  // CreateWindowExA(0, class, title, WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, x, y, width,
  // height, parent, child id, instance): 0 when refused.
  virtual WindowHandle CreateChildWindow(const char* /*className*/, const char* /*title*/,
                                         WindowHandle /*parent*/, std::int32_t /*x*/,
                                         std::int32_t /*y*/, std::int32_t /*width*/,
                                         std::int32_t /*height*/, std::int32_t /*childId*/) {
    return 0;
  }
  // AdjustWindowRectEx of the top-level preview style (0x16CF0000, no menu, extended style 0):
  // turns a client rectangle into the outer one; false when refused.
  virtual bool AdjustTopLevelRect(WindowRect* /*rect*/) { return false; }
  // CreateWindowExA(0, class, title, 0x16CF0000, x, y, width, height, no parent, no menu).
  virtual WindowHandle CreateTopLevelWindow(const char* /*className*/, const char* /*title*/,
                                            std::int32_t /*x*/, std::int32_t /*y*/,
                                            std::int32_t /*width*/, std::int32_t /*height*/) {
    return 0;
  }
  // GetSystemMetrics(SM_CXSCREEN), (SM_CYSCREEN).
  virtual std::int32_t ScreenWidth() { return 0; }
  virtual std::int32_t ScreenHeight() { return 0; }
  virtual bool SetFocus(WindowHandle /*window*/) { return false; }
  virtual bool ShowWindow(WindowHandle /*window*/) { return false; }  // SW_SHOW
  virtual bool UpdateWindow(WindowHandle /*window*/) { return false; }
  virtual bool DestroyWindow(WindowHandle /*window*/) { return false; }
  // GetClientRect: left and top 0, right and bottom the client size; false when refused.
  virtual bool GetClientRect(WindowHandle /*window*/, WindowRect* /*rect*/) { return false; }
  virtual bool IsWindowVisible(WindowHandle /*window*/) { return false; }

  // --- drawing into a window ---

  // GetDC / ReleaseDC. The device context may be used from another thread than the one that
  // got it (the preview thread draws, the application's thread gets and releases it).
  virtual GraphicsHandle GetWindowDc(WindowHandle /*window*/) { return 0; }
  virtual bool ReleaseWindowDc(WindowHandle /*window*/, GraphicsHandle /*dc*/) { return false; }
  // SetDIBitsToDevice(dc, x, y, width, height, sourceX, sourceY, startScan, scanLines, bits,
  // header with the colour table for 8 bits, DIB_RGB_COLORS): the scan lines drawn.
  virtual std::int32_t SetDiBitsToDevice(GraphicsHandle /*dc*/, std::int32_t /*x*/,
                                         std::int32_t /*y*/, std::int32_t /*width*/,
                                         std::int32_t /*height*/, std::int32_t /*sourceX*/,
                                         std::int32_t /*sourceY*/, std::int32_t /*startScan*/,
                                         std::int32_t /*scanLines*/, const BitmapView& /*bitmap*/) {
    return 0;
  }
  // StretchBlt(dc, x, y, width, height, the bitmap's memory DC, sourceX, sourceY, sourceWidth,
  // sourceHeight, SRCCOPY); a negative source height mirrors vertically. Where the bitmap has
  // no memory DC (plain memory), the backend draws from its pixels with the same result.
  virtual bool StretchBlt(GraphicsHandle /*dc*/, std::int32_t /*x*/, std::int32_t /*y*/,
                          std::int32_t /*width*/, std::int32_t /*height*/,
                          const BitmapView& /*source*/, std::int32_t /*sourceX*/,
                          std::int32_t /*sourceY*/, std::int32_t /*sourceWidth*/,
                          std::int32_t /*sourceHeight*/) {
    return false;
  }
};

}  // namespace orvex::platform
