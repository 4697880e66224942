// Display connections of the X11 window system: the bounded probe for a display, one
// connection per thread and display, and the transport of images to the server (XShm where it
// works, PutImage otherwise).
//
// The connections speak XCB. Xlib reports protocol errors and lost connections through two
// handlers that are the whole process's: a library that installs its own takes them from the
// host, and a host that pushes and pops its own (as GDK's error traps do all the time, and
// from any moment of a preview) leaves either its own or the library's out of the chain. On
// XCB an error comes back to the request that caused it, as a value, and a lost connection is
// a state of that connection, so the library never touches the Xlib handlers and a host's
// handlers and traps work as if the library were not there.
//
// Threads. Connections are never shared: every thread that calls the window system opens its
// own (window ids are server-wide, so a window made on one thread's connection is drawn on
// another's). A thread's connections close when the thread ends, and the server then destroys
// the windows made on them.
//
// Errors. Every request whose failure matters is checked: its error, or its reply, is waited
// for, and the call fails. The errors of requests that are not checked (those sent after a
// failed one, an unmap) arrive as events and are dropped. A lost connection fails every call
// on it; the thread opens a new one on its next call. A write to a connection whose server
// has gone raises SIGPIPE, which a PipeSignalGuard keeps from the process. What cannot be
// covered: a server that stops answering without closing the connection (a call waiting for
// its reply then waits, as any X client does).
#pragma once

#include <signal.h>
#include <xcb/shm.h>
#include <xcb/xcb.h>

#include <chrono>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/x11/x11_pixels.h"

namespace orvex::platform::x11 {

enum class ProbeResult { kReachable, kUnreachable, kTimedOut };

// Connects to and disconnects from the display `name` (empty: $DISPLAY) on a thread of its own
// and waits at most `limit` for it. A server that accepts and never answers holds that thread,
// which is left behind, but nothing else.
ProbeResult ProbeDisplay(const std::string& name, std::chrono::milliseconds limit);

// Once per process: whether $DISPLAY names a display that answered within two seconds (a
// refused connection is tried three times, 100 ms apart).
bool DefaultDisplayReachable();

// Keeps SIGPIPE from the process while it lives, on the calling thread: a write to a connection
// whose server has gone raises it, and the connection then reports the loss itself. A SIGPIPE
// that was pending before stays pending.
class PipeSignalGuard {
 public:
  PipeSignalGuard();
  ~PipeSignalGuard();
  PipeSignalGuard(const PipeSignalGuard&) = delete;
  PipeSignalGuard& operator=(const PipeSignalGuard&) = delete;

 private:
  sigset_t previousMask_;
  bool wasPending_ = false;
};

// What the window system needs to know of a window: xcb_get_window_attributes and
// xcb_get_geometry in one.
struct WindowState {
  std::uint16_t width = 0;
  std::uint16_t height = 0;
  std::uint8_t depth = 0;
  xcb_visualid_t visual = 0;
  std::uint16_t windowClass = 0;
  std::uint8_t mapState = 0;
};

// One thread's connection to one display.
class Connection {
 public:
  Connection(xcb_connection_t* connection, int screenNumber, std::string name);
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;
  // Frees what the connection made and closes it; it then counts as dead.
  void Close();

  xcb_connection_t* get() const { return connection_; }
  const std::string& name() const { return name_; }
  bool dead() const { return connection_ == nullptr || xcb_connection_has_error(connection_) != 0; }
  // The screen; null only when the server named a screen it does not have.
  const xcb_screen_t* screen() const { return screen_; }
  xcb_window_t root() const { return screen_->root; }

  // Waits for the outcome of checked requests, in order: true when the server took every one
  // without an error and the connection is alive.
  bool Check(std::initializer_list<xcb_void_cookie_t> cookies);
  // The window's state, or none when it does not exist (or the connection is gone).
  std::optional<WindowState> State(xcb_window_t window);

  xcb_atom_t Intern(const char* name);

  // The pixel layout of the screen's root visual; none where the backend does not draw.
  const std::optional<PixelFormat>& Format();

  // A ZPixmap image of the root visual, width x height, to fill and then Put; reused and grown
  // between calls. Null when none could be made.
  std::uint8_t* BeginImage(std::int32_t width, std::int32_t height, bool allowShm,
                           std::size_t* bytesPerLine);
  // Puts the image begun last at (x, y) in the drawable and waits until the server has it.
  bool PutImage(xcb_drawable_t drawable, std::int16_t x, std::int16_t y);

  // Top-level windows made on this connection that carry WM_DELETE_WINDOW.
  std::vector<xcb_window_t>& topLevels() { return topLevels_; }
  // Takes the events queued for this connection (which also finds a connection the server has
  // closed); a close request for one of its top-level windows hides that window.
  void DrainEvents();

 private:
  void DetachShm();
  bool AttachShm(std::size_t bytes);
  bool PutPlainImage(xcb_drawable_t drawable, std::int16_t x, std::int16_t y);

  xcb_connection_t* connection_;
  std::string name_;
  const xcb_screen_t* screen_ = nullptr;
  std::vector<std::pair<std::string, xcb_atom_t>> atoms_;
  bool formatKnown_ = false;
  std::optional<PixelFormat> format_;
  std::uint8_t scanlinePad_ = 32;  // bits
  xcb_gcontext_t gc_ = 0;
  std::vector<xcb_window_t> topLevels_;

  // Image transport.
  enum class Shm { kUntried, kWorks, kRefused };
  Shm shm_ = Shm::kUntried;
  xcb_shm_seg_t segment_ = 0;
  std::uint8_t* segmentAddress_ = nullptr;
  std::size_t segmentBytes_ = 0;
  // The image begun last.
  std::uint16_t imageWidth_ = 0;
  std::uint16_t imageHeight_ = 0;
  std::size_t imageBytesPerLine_ = 0;
  bool imageInSegment_ = false;
  bool imageBegun_ = false;
  std::vector<std::uint8_t> memory_;  // pixels of a plain image
};

// A new connection to `name` (empty: $DISPLAY); null when the display cannot be opened.
std::unique_ptr<Connection> OpenConnection(const std::string& name);

// The calling thread's connection to `name` (empty: $DISPLAY), opened on first use and opened
// anew after it was lost, with its queued events taken; null when the display cannot be opened.
Connection* ThreadConnection(const std::string& name);

}  // namespace orvex::platform::x11
