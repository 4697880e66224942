// The test's own X connection, its windows, and the screen read back, for the X11 tests. They
// skip without $DISPLAY (CI runs them under Xvfb); reading back needs 8 bits a channel.
#pragma once

// GoogleTest first: the X headers define None.
// clang-format off
#include <gtest/gtest.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
// clang-format on
#include <poll.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <thread>
#include <vector>

namespace orvex::testing {

inline bool HaveDisplay() {
  const char* name = std::getenv("DISPLAY");
  return name != nullptr && *name != '\0';
}

// A connection of the test's own, as an application has one.
class TestDisplay {
 public:
  TestDisplay() : display_(HaveDisplay() ? XOpenDisplay(nullptr) : nullptr) {}
  ~TestDisplay() {
    if (display_ != nullptr) XCloseDisplay(display_);
  }
  TestDisplay(const TestDisplay&) = delete;
  TestDisplay& operator=(const TestDisplay&) = delete;

  Display* get() const { return display_; }
  // Why the tests cannot run here; empty when they can.
  const char* Unusable() const {
    if (display_ == nullptr) return "no X display: set DISPLAY (CI runs these tests under Xvfb)";
    Visual* visual = DefaultVisual(display_, DefaultScreen(display_));
    if (visual->c_class != TrueColor || visual->red_mask != 0xFF0000 ||
        visual->green_mask != 0xFF00 || visual->blue_mask != 0xFF) {
      return "the default visual is not 24-bit TrueColor";
    }
    return "";
  }
  Window root() const { return DefaultRootWindow(display_); }

  // A mapped window of the application's, white, at (x, y) of its parent (the root for none).
  Window MakeWindow(int x, int y, int width, int height, Window parent = 0, bool map = true) {
    const int screen = DefaultScreen(display_);
    const Window window =
        XCreateSimpleWindow(display_, parent ? parent : root(), x, y, static_cast<unsigned>(width),
                            static_cast<unsigned>(height), 0, BlackPixel(display_, screen),
                            WhitePixel(display_, screen));
    if (map) XMapWindow(display_, window);
    XSync(display_, False);
    return window;
  }

  // Blue, green, red bytes of the area, top row first.
  std::vector<std::uint8_t> ReadBgr(Drawable drawable, int x, int y, int width, int height) {
    std::vector<std::uint8_t> bgr;
    XImage* image = XGetImage(display_, drawable, x, y, static_cast<unsigned>(width),
                              static_cast<unsigned>(height), AllPlanes, ZPixmap);
    if (image == nullptr) return bgr;
    bgr.reserve(static_cast<std::size_t>(width) * height * 3);
    for (int row = 0; row < height; ++row) {
      for (int column = 0; column < width; ++column) {
        const unsigned long pixel = XGetPixel(image, column, row);
        bgr.push_back(static_cast<std::uint8_t>(pixel & image->blue_mask));
        bgr.push_back(static_cast<std::uint8_t>((pixel & image->green_mask) >> 8));
        bgr.push_back(static_cast<std::uint8_t>((pixel & image->red_mask) >> 16));
      }
    }
    XDestroyImage(image);
    return bgr;
  }

  // The window's position in the root window.
  std::pair<int, int> ScreenPosition(Window window) {
    int x = 0, y = 0;
    Window child = 0;
    XTranslateCoordinates(display_, window, root(), 0, 0, &x, &y, &child);
    return {x, y};
  }

  // What a window manager sends to a top-level window when its close button is pressed.
  void SendCloseRequest(Window window) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display_, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display_, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display_, window, False, NoEventMask, &event);
    XFlush(display_);
  }

  // Waits up to `timeout` for an event that `wanted` accepts; other events are dropped.
  bool WaitForEvent(XEvent* event, std::chrono::milliseconds timeout,
                    const std::function<bool(const XEvent&)>& wanted) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (true) {
      while (XPending(display_) > 0) {
        XNextEvent(display_, event);
        if (wanted(*event)) return true;
      }
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) return false;
      pollfd descriptor{ConnectionNumber(display_), POLLIN, 0};
      poll(&descriptor, 1, static_cast<int>(left.count()));
    }
  }

 private:
  Display* display_;
};

// Waits until `done` holds, checking every few milliseconds, for at most `timeout`.
inline bool WaitUntil(const std::function<bool()>& done,
                      std::chrono::milliseconds timeout = std::chrono::seconds(20)) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

}  // namespace orvex::testing
