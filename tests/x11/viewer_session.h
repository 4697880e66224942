// orvex preview run as a person runs it, for its tests and for the pictures of it in the
// documentation: the command in a process of its own with settings of its own, its window and
// the dialogs over it, the keyboard through xdotool (the XTest extension), and what the screen
// shows.
#pragma once

#include <X11/Xutil.h>
#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "x11/tool_process.h"
#include "x11/x11_test_support.h"

namespace orvex::testing {

// Runs xdotool with the arguments; true when it succeeded.
inline bool Xdotool(const std::string& arguments) {
  return std::system(("xdotool " + arguments + " >/dev/null 2>&1").c_str()) == 0;
}

inline bool HaveXdotool() {
  return std::system("command -v xdotool >/dev/null 2>&1") == 0;
}

struct ScreenRect {
  int x = 0, y = 0, width = 0, height = 0;
  bool Contains(int px, int py) const {
    return px >= x && px < x + width && py >= y && py < y + height;
  }
};

// A user's settings with two sizes (640 x 480 in use, and 320 x 240) in 32-bit colour.
inline constexpr char kTwoSizeSettings[] =
    "Windows Registry Editor Version 5.00\n\n"
    "[HKEY_CURRENT_USER\\Software\\Helvane\\OrvexQX218Sdk]\n"
    "\"Size\"=dword:00000000\n\"Color\"=dword:00000003\n\"SubSample\"=dword:00000000\n"
    "\"WaitTime\"=dword:0000000a\n\"Clock\"=dword:00000000\n\n"
    "[HKEY_CURRENT_USER\\Software\\Helvane\\OrvexQX218Sdk\\Size_00]\n"
    "\"TH\"=dword:00000528\n\"TV\"=dword:00000400\n\"EH\"=dword:00000280\n"
    "\"EV\"=dword:000001e0\n\"EHS\"=dword:00000167\n\"EVS\"=dword:00000110\n"
    "\"Buf\"=dword:00000014\n\n"
    "[HKEY_CURRENT_USER\\Software\\Helvane\\OrvexQX218Sdk\\Size_01]\n"
    "\"TH\"=dword:00000528\n\"TV\"=dword:00000400\n\"EH\"=dword:00000140\n"
    "\"EV\"=dword:000000f0\n\"EHS\"=dword:00000207\n\"EVS\"=dword:00000188\n"
    "\"Buf\"=dword:00000014\n\n";

// While it lives, protocol errors on the test's connection are dropped: the viewer and the
// library make and destroy windows at any moment, also between the listing of a window and a
// question about it, and Xlib's default handler would end the test there.
class VanishingWindows {
 public:
  explicit VanishingWindows(Display* display) : display_(display) {
    XSync(display_, False);
    previous_ = XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
  }
  ~VanishingWindows() {
    XSync(display_, False);
    XSetErrorHandler(previous_);
  }
  VanishingWindows(const VanishingWindows&) = delete;
  VanishingWindows& operator=(const VanishingWindows&) = delete;

 private:
  Display* display_;
  XErrorHandler previous_ = nullptr;
};

class ViewerSession {
 public:
  // Starts `orvex preview` with `args` (after "preview"); the user's settings are `settings`
  // (the text of the settings file; empty for a first run), in a directory of the session's
  // own.
  ViewerSession(TestDisplay& display, const char* toolPath, std::vector<std::string> args,
                const std::string& settings)
      : display_(display) {
    std::string pattern = (std::filesystem::temp_directory_path() / "orvex-viewer-XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr) configDir_ = pattern;
    if (!settings.empty()) {
      std::filesystem::create_directories(configDir_ / "Helvane");
      std::ofstream(configDir_ / "Helvane" / "OrvexQX218Sdk.reg") << settings;
    }
    setenv("XDG_CONFIG_HOME", configDir_.c_str(), 1);
    args.insert(args.begin(), "preview");
    tool_ = std::make_unique<ToolProcess>(toolPath, std::move(args));
  }
  ~ViewerSession() {
    tool_.reset();
    std::error_code ignored;
    if (!configDir_.empty()) std::filesystem::remove_all(configDir_, ignored);
  }
  ViewerSession(const ViewerSession&) = delete;
  ViewerSession& operator=(const ViewerSession&) = delete;

  ToolProcess& tool() { return *tool_; }
  Window window() const { return window_; }

  // Waits until the window shows the picture; false when it did not.
  bool Started() {
    const std::string started = tool_->LineWith("in window 0x");
    if (started.empty()) return false;
    window_ = std::stoul(started.substr(started.find("0x")), nullptr, 16);
    return WaitUntil([&] { return Picture() != 0; });
  }

  // The library's preview window inside the viewer's (the picture); 0 while there is none. (An
  // open dialog lays an input-only window over the viewer's too.)
  Window Picture() const {
    const VanishingWindows vanishing(display_.get());
    Window root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    Window picture = 0;
    if (!XQueryTree(display_.get(), window_, &root, &parent, &children, &count)) return 0;
    for (unsigned i = 0; i < count; ++i) {
      XWindowAttributes attributes{};
      if (XGetWindowAttributes(display_.get(), children[i], &attributes) &&
          attributes.c_class == InputOutput && attributes.map_state == IsViewable) {
        picture = children[i];
      }
    }
    XFree(children);
    return picture;
  }

  ScreenRect Rect(Window window) const {
    const VanishingWindows vanishing(display_.get());
    XWindowAttributes attributes{};
    if (!XGetWindowAttributes(display_.get(), window, &attributes)) return {};
    const auto [x, y] = display_.ScreenPosition(window);
    return ScreenRect{x, y, attributes.width, attributes.height};
  }

  // Keys (xdotool's names, such as "c" or "alt+b End") typed into the viewer's window.
  bool TypeIntoViewer(const std::string& keys) {
    return Xdotool("windowfocus --sync " + std::to_string(window_) + " key --delay 50 " + keys);
  }
  // Keys typed to whatever has the keyboard (an open dialog takes it).
  static bool Type(const std::string& keys) { return Xdotool("key --delay 50 " + keys); }

  // The mapped window transient for the viewer's (a dialog it owns), waiting up to 10 s; 0 when
  // none came.
  Window WaitForDialog() const {
    Window dialog = 0;
    WaitUntil([&] { return (dialog = OwnedDialog()) != 0; }, std::chrono::seconds(10));
    return dialog;
  }
  bool WaitUntilNoDialog() const {
    return WaitUntil([&] { return OwnedDialog() == 0; }, std::chrono::seconds(10));
  }

  // The mean of the picture's samples (0 .. 255) outside `covered` (the place of a dialog).
  double PictureMean(const ScreenRect& covered = {}) const {
    const Window picture = Picture();
    if (picture == 0) return -1;
    const ScreenRect area = Rect(picture);
    const std::vector<std::uint8_t> bgr =
        display_.ReadBgr(display_.root(), area.x, area.y, area.width, area.height);
    if (bgr.empty()) return -1;
    double sum = 0;
    std::size_t count = 0;
    for (int row = 0; row < area.height; ++row) {
      for (int column = 0; column < area.width; ++column) {
        if (covered.Contains(area.x + column, area.y + row)) continue;
        const std::size_t at = (static_cast<std::size_t>(row) * area.width + column) * 3;
        sum += bgr[at] + bgr[at + 1] + bgr[at + 2];
        count += 3;
      }
    }
    return count > 0 ? sum / static_cast<double>(count) : -1;
  }

  // Waits until the picture's mean (outside `covered`) satisfies `wanted`; the last mean read.
  template <typename Wanted>
  double WaitForPicture(const ScreenRect& covered, Wanted wanted,
                        std::chrono::milliseconds timeout = std::chrono::seconds(10)) const {
    double mean = -1;
    WaitUntil(
        [&] {
          mean = PictureMean(covered);
          if (wanted(mean)) return true;
          std::this_thread::sleep_for(std::chrono::milliseconds(50));
          return false;
        },
        timeout);
    return mean;
  }

  // A click of the first pointer button at (x, y) of the viewer's window.
  bool ClickViewer(int x, int y) {
    return Xdotool("mousemove --sync --window " + std::to_string(window_) + " " +
                   std::to_string(x) + " " + std::to_string(y) + " click 1");
  }

  // The window's title as a window manager shows it (UTF-8).
  std::string Title(Window window) const {
    const VanishingWindows vanishing(display_.get());
    Display* display = display_.get();
    Atom type = 0;
    int format = 0;
    unsigned long items = 0, left = 0;
    unsigned char* data = nullptr;
    std::string title;
    if (XGetWindowProperty(display, window, XInternAtom(display, "_NET_WM_NAME", False), 0, 256,
                           False, XInternAtom(display, "UTF8_STRING", False), &type, &format,
                           &items, &left, &data) == Success &&
        data != nullptr) {
      title.assign(reinterpret_cast<const char*>(data), items);
    }
    if (data != nullptr) XFree(data);
    return title;
  }

 private:
  Window OwnedDialog() const {
    const VanishingWindows vanishing(display_.get());
    Display* display = display_.get();
    Window root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    Window found = 0;
    if (!XQueryTree(display, display_.root(), &root, &parent, &children, &count)) return 0;
    for (unsigned i = 0; i < count && found == 0; ++i) {
      Window owner = 0;
      XWindowAttributes attributes{};
      if (XGetTransientForHint(display, children[i], &owner) && owner == window_ &&
          XGetWindowAttributes(display, children[i], &attributes) &&
          attributes.map_state == IsViewable) {
        found = children[i];
      }
    }
    XFree(children);
    return found;
  }

  TestDisplay& display_;
  std::filesystem::path configDir_;
  std::unique_ptr<ToolProcess> tool_;
  Window window_ = 0;
};

}  // namespace orvex::testing
