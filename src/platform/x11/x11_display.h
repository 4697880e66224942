// Display connections of the X11 window system: the bounded probe for a display, one
// connection per thread and display, the error handlers that keep the host alive, and the
// transport of images to the server (XShm where it works, XPutImage otherwise).
//
// Threads. Xlib connections are never shared: every thread that calls the window system opens
// its own (window ids are server-wide, so a window made on one thread's connection is drawn on
// another's). A thread's connections close when the thread ends.
//
// Errors. The process has one protocol error handler and one I/O error handler. The first
// connection installs handlers that take care of the library's own connections and pass
// everything else to the handlers they replaced; they install themselves again, chained to the
// newcomer, when a host has replaced them in the meantime. On the library's connections:
// - a protocol error (a window destroyed under the preview, a refused XShm attach) is recorded
//   on the connection and the call that caused it fails;
// - a lost connection marks it dead instead of ending the process (the per-display exit handler
//   of libX11 1.7 and later returns); the thread opens a new one on its next call.
// What cannot be covered: a host that replaces the handlers later and does not pass on errors
// of connections it does not know; a server that stops answering without closing the
// connection (calls on it then block, as every Xlib call does); a server that goes away in the
// middle of a call (Xlib's I/O error path then runs, see NoticeHangUp).
//
// The probe. XOpenDisplay holds libX11's global lock while it connects, so a probe that timed
// out leaves its thread inside XOpenDisplay with that lock until the server answers or closes:
// every other XOpenDisplay in the process waits as well. The library then keeps to the
// headless backend and opens no connection of its own.
#pragma once

#include <X11/Xlib.h>
#include <X11/extensions/XShm.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/x11/x11_pixels.h"

namespace orvex::platform::x11 {

enum class ProbeResult { kReachable, kUnreachable, kTimedOut };

// Opens and closes the display `name` (empty: $DISPLAY) on a thread of its own and waits at
// most `limit` for it. A server that accepts and never answers holds that thread, which is
// left behind, but not the caller.
ProbeResult ProbeDisplay(const std::string& name, std::chrono::milliseconds limit);

// Once per process: whether $DISPLAY names a display that answered within two seconds.
bool DefaultDisplayReachable();

// One thread's connection to one display.
class Connection {
 public:
  Connection(Display* display, std::string name);
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;
  // Frees what the connection made and closes it; it then counts as dead.
  void Close();

  Display* display() const { return display_; }
  // Marks the connection dead when the server has closed it. Xlib finds that out by itself,
  // but libX11 1.8 leaves the display lock released once too often when the process survives
  // the I/O error; a connection found closed here never reaches that path.
  void NoticeHangUp();
  const std::string& name() const { return name_; }
  bool dead() const { return dead_; }
  int screen() const { return DefaultScreen(display_); }
  Window root() const { return RootWindow(display_, screen()); }

  // Error trapping: clear, issue requests, then Sync, which is true when the server took every
  // request since the clearing without an error and the connection is alive.
  void ClearErrors() { error_ = 0; }
  bool Sync();
  int error() const { return error_; }

  Atom Intern(const char* name);

  // The pixel layout of the screen's default visual; none where the backend does not draw.
  const std::optional<PixelFormat>& Format();

  // A ZPixmap image of the default visual, width x height, to fill and then Put; reused and
  // grown between calls. Null when none could be made.
  std::uint8_t* BeginImage(std::int32_t width, std::int32_t height, bool allowShm,
                           std::size_t* bytesPerLine);
  // Puts the image begun last at (x, y) in the drawable and waits until the server has it.
  bool PutImage(Drawable drawable, std::int32_t x, std::int32_t y);

  // Top-level windows made on this connection that carry WM_DELETE_WINDOW.
  std::vector<Window>& topLevels() { return topLevels_; }
  // Takes the events queued for this connection; a close request for one of its top-level
  // windows hides that window (nobody else reads this connection).
  void DrainEvents();

  // Called by the error handlers, on the thread that owns the connection.
  void RecordError(int code) {
    if (error_ == 0) error_ = code;
  }
  void MarkDead() { dead_ = true; }

 private:
  void ReleaseImages();
  bool AttachShm(std::size_t bytes);

  Display* display_;
  std::string name_;
  bool dead_ = false;
  int error_ = 0;
  std::vector<std::pair<std::string, Atom>> atoms_;
  bool formatKnown_ = false;
  std::optional<PixelFormat> format_;
  GC gc_ = nullptr;
  std::vector<Window> topLevels_;

  // Image transport.
  enum class Shm { kUntried, kWorks, kRefused };
  Shm shm_ = Shm::kUntried;
  XShmSegmentInfo segment_{};
  std::size_t segmentBytes_ = 0;
  XImage* image_ = nullptr;  // the image begun last
  bool imageInSegment_ = false;
  std::vector<std::uint8_t> memory_;  // pixels of a plain image
};

// The calling thread's connection to `name` (empty: $DISPLAY), opened on first use and opened
// anew after it was lost; null when the display cannot be opened.
Connection* ThreadConnection(const std::string& name);

}  // namespace orvex::platform::x11
