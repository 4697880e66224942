// The window system on an X display: preview windows as X windows (a child of the
// application's window, given by its X window id, or a top-level window), frames put into them
// with XShm or PutImage, and messages posted to X windows as ClientMessage events.
//
// Every call uses the calling thread's own XCB connection (x11_display.h; top-level windows are
// made on one connection of the backend's, see below), never Xlib and never the process's Xlib
// error handlers, so that it leaves a host's handlers and traps alone; an X error fails the
// call that caused it. Window ids and the device contexts made here may be used from any
// thread. A device context is a window with
// the screen's default visual, checked once; bitmaps are drawn from their pixels (the X
// server has no device-independent bitmaps, so the bitmap calls keep their refusing defaults).
//
// Visuals: TrueColor with 16, 24 or 32 bits a pixel are drawn exactly (each channel takes the
// top bits of the bitmap's 8-bit value). On other default visuals (pseudo-colour, gray) no
// device context is given, so a preview fails to open instead of showing wrong colours.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "platform/window_system.h"
#include "platform/x11/x11_display.h"

namespace orvex::platform::x11 {

class X11WindowSystem final : public WindowSystem {
 public:
  struct Options {
    std::string display;  // empty: $DISPLAY
    bool useShm = true;   // false: plain XPutImage even where XShm works
  };

  X11WindowSystem() : X11WindowSystem(Options{}) {}
  explicit X11WindowSystem(Options options);

  // Windows of the OrvexPlatform library (message windows, headless windows) get the message
  // in their queue; an X window gets a ClientMessage (layout in orvex/platform.h).
  bool PostWindowMessage(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                         std::intptr_t lParam) override;

  bool RegisterWindowClass(const char* className) override;
  bool UnregisterWindowClass(const char* className) override;
  WindowHandle CreateChildWindow(const char* className, const char* title, WindowHandle parent,
                                 std::int32_t x, std::int32_t y, std::int32_t width,
                                 std::int32_t height, std::int32_t childId) override;
  // The window manager draws the frame outside the client area: the rectangle stays as it is.
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

 private:
  // The calling thread's connection (null when the display cannot be reached), with SIGPIPE
  // held back for the length of the call.
  struct Call {
    PipeSignalGuard guard;
    Connection* connection;
  };
  Call Here();
  // Takes the events of the top-level windows' connection, unless another thread does now.
  void ServeTopLevels();
  WindowHandle MakeWindow(WindowHandle parent, const char* title, std::int32_t x, std::int32_t y,
                          std::int32_t width, std::int32_t height, bool topLevel);
  // The window of a device context; 0 for an unknown one.
  WindowHandle DcWindow(GraphicsHandle dc);
  template <typename Place>
  bool Draw(GraphicsHandle dc, const BitmapView& bitmap, Place place, std::int32_t* rows);

  const Options options_;
  // Top-level windows are made on a connection of their own, whose events every call of this
  // backend takes, on whatever thread: a window manager's close request reaches only the client
  // that made the window, and the thread that opened a preview need never call the library
  // again (the preview thread calls it for every frame).
  std::mutex topLevelMutex_;
  std::unique_ptr<Connection> topLevelConnection_;
  std::mutex dcMutex_;
  std::map<GraphicsHandle, WindowHandle> dcs_;
  GraphicsHandle nextDc_ = 1;
};

// The process's instance when $DISPLAY names a display that answers (probed once, for at
// most two seconds); null otherwise.
X11WindowSystem* ReachableX11WindowSystem();

}  // namespace orvex::platform::x11
