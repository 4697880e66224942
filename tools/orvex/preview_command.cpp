// orvex preview: the live picture in a window on the X display, as an application shows it.
// The command makes its own window, lets the library put its preview window inside, and takes
// the library's frame and error messages as ClientMessage events of that window.
#include <OrvexSdk_QX218.h>

#include <string>
#include <vector>

#include "tools/orvex/capture_options.h"
#include "tools/orvex/commands.h"

#if defined(_WIN32)

namespace orvex::tool {

int RunPreview(const std::vector<std::string>& /*args*/) {
  std::fprintf(stderr, "orvex preview: runs on an X display only\n");
  return 1;
}

}  // namespace orvex::tool

#else

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <orvex/platform.h>
#include <poll.h>
#include <signal.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>

namespace orvex::tool {
namespace {

using Clock = std::chrono::steady_clock;

volatile std::sig_atomic_t interrupted = 0;

void OnInterrupt(int) {
  interrupted = 1;
}

int Usage() {
  std::fprintf(
      stderr,
      "usage: orvex preview [--seconds N] [--size W,H] [--color-mode 8|16|24|32|48|64]\n"
      "                     [--geometry TH,EHS,EH,TV,EVS,EV] [--wait-time MS] [--device N]\n"
      "Shows the camera's live picture in a window on the X display ($DISPLAY), the frame rate\n"
      "in its title. Ends on the window's close button, on Ctrl-C, or after N seconds. The\n"
      "picture is scaled to W x H when given (default: the image's size).\n");
  return 2;
}

bool ParseSize(const std::string& text, std::int32_t* width, std::int32_t* height) {
  const std::size_t comma = text.find(',');
  return comma != std::string::npos && ParseInt(text.substr(0, comma), width) &&
         ParseInt(text.substr(comma + 1), height) && *width > 0 && *height > 0 && *width <= 16384 &&
         *height <= 16384;
}

void SetTitle(Display* display, Window window, const std::string& title) {
  XStoreName(display, window, title.c_str());
  XChangeProperty(display, window, XInternAtom(display, "_NET_WM_NAME", False),
                  XInternAtom(display, "UTF8_STRING", False), 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(title.data()),
                  static_cast<int>(title.size()));
  XFlush(display);
}

// A word-sized parameter from its two 32-bit halves (items that Xlib may have sign-extended).
std::uint64_t Joined(long low, long high) {
  return (static_cast<std::uint64_t>(high) & 0xFFFFFFFFu) << 32 |
         (static_cast<std::uint64_t>(low) & 0xFFFFFFFFu);
}

}  // namespace

int RunPreview(const std::vector<std::string>& args) {
  CaptureOptions options;
  std::int32_t seconds = 0, width = 0, height = 0;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const int shared = ParseCaptureOption(args, &i, &options);
    if (shared < 0) return 2;
    if (shared > 0) continue;
    if (args[i] == "--seconds" && i + 1 < args.size() && ParseInt(args[i + 1], &seconds) &&
        seconds > 0) {
      ++i;
      continue;
    }
    if (args[i] == "--size" && i + 1 < args.size() && ParseSize(args[i + 1], &width, &height)) {
      ++i;
      continue;
    }
    return Usage();
  }

  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    std::fprintf(stderr, "orvex preview: cannot open the X display (DISPLAY=%s)\n",
                 std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "");
    return 1;
  }
  const Atom protocols = XInternAtom(display, "WM_PROTOCOLS", False);
  Atom deleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);
  const Atom libraryMessage = XInternAtom(display, ORVEX_PLATFORM_MESSAGE_ATOM, False);
  // Made first, so that the library can post its errors to it as well; sized below.
  const int screen = DefaultScreen(display);
  const Window window =
      XCreateSimpleWindow(display, RootWindow(display, screen), 0, 0, 1, 1, 0,
                          BlackPixel(display, screen), BlackPixel(display, screen));
  XSetWMProtocols(display, window, &deleteWindow, 1);

  int status = 0;
  const CameraHandle handle = Orvex_Initialize(static_cast<OrvexWindow>(window));
  if (handle == 0) {
    std::fprintf(stderr, "orvex: no memory for a camera handle\n");
    XCloseDisplay(display);
    return 1;
  }
  // --set lasts for this run only: the values go back before the handle saves its settings.
  SavedSettings saved;
  if (!ApplyCaptureOptions(handle, options, &saved)) {
    RestoreSettings(handle, saved);
    Orvex_Release(handle);
    XCloseDisplay(display);
    return 1;
  }
  const OutputSize image = CurrentOutputSize(handle, options.bitsPerPixel);
  if (width == 0) {
    width = image.width;
    height = image.height;
  }
  XResizeWindow(display, window, static_cast<unsigned>(width), static_cast<unsigned>(height));
  SetTitle(display, window, "orvex preview");
  XMapWindow(display, window);
  XSync(display, False);

  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);

  if (!Orvex_SetPreviewWindow(handle, static_cast<OrvexWindow>(window), 0, 0, width, height) ||
      !Orvex_CallBackPreview(handle, static_cast<OrvexWindow>(window), nullptr, 0, 0)) {
    PrintErrors(handle, "opening the preview", ErrorBusy);
    RestoreSettings(handle, saved);
    Orvex_Release(handle);
    XDestroyWindow(display, window);
    XCloseDisplay(display);
    return 1;
  }
  std::printf("preview of %d x %d at %d bits a pixel in window 0x%lx\n", image.width, image.height,
              options.bitsPerPixel, static_cast<unsigned long>(window));
  std::fflush(stdout);

  const Clock::time_point start = Clock::now();
  Clock::time_point lastTitle = start;
  std::int64_t frames = 0;
  std::int32_t tenths = 0;
  const char* reason = "stopped";
  bool running = true;
  while (running) {
    if (interrupted) {
      reason = "interrupted";
      break;
    }
    const Clock::time_point now = Clock::now();
    if (seconds > 0 && now - start >= std::chrono::seconds(seconds)) break;
    if (now - lastTitle >= std::chrono::seconds(1)) {
      char title[96];
      std::snprintf(title, sizeof title, "orvex preview - %d x %d - %d.%d frames/s", image.width,
                    image.height, tenths / 10, tenths % 10);
      SetTitle(display, window, title);
      std::printf("%6.1f s  %d.%d frames/s\n", std::chrono::duration<double>(now - start).count(),
                  tenths / 10, tenths % 10);
      std::fflush(stdout);
      lastTitle = now;
    }
    if (XPending(display) == 0) {
      pollfd connection{ConnectionNumber(display), POLLIN, 0};
      poll(&connection, 1, 100);  // Ctrl-C ends the wait early, the time-out checks the clock
      continue;
    }
    XEvent event;
    XNextEvent(display, &event);
    if (event.type != ClientMessage) continue;
    const XClientMessageEvent& client = event.xclient;
    if (client.message_type == protocols && static_cast<Atom>(client.data.l[0]) == deleteWindow) {
      reason = "closed";
      break;
    }
    if (client.message_type != libraryMessage) continue;
    const auto message = static_cast<std::uint32_t>(client.data.l[0]);
    const std::uint64_t wParam = Joined(client.data.l[1], client.data.l[2]);
    const auto lParam = static_cast<std::int64_t>(Joined(client.data.l[3], client.data.l[4]));
    if (message == FrameMessage && wParam != 0) {
      // The library may already be filling in the next frame: copy what is needed at once.
      FrameInfo info;
      std::memcpy(&info, reinterpret_cast<const void*>(static_cast<std::uintptr_t>(wParam)),
                  sizeof info);
      tenths = info.frameRate;
      ++frames;
    } else if (message == FrameMessage || message == ErrorMessage) {
      std::fprintf(stderr, "orvex preview: %s: %s\n",
                   message == FrameMessage ? "a frame failed" : "the camera reported",
                   DescribeError(static_cast<std::int32_t>(lParam)).c_str());
      if (message == FrameMessage && lParam == ErrorStreamStopped) {
        status = 1;
        running = false;
      }
    }
  }

  if (!Orvex_StopPreview(handle)) {
    PrintErrors(handle, "the preview");
    status = 1;
  }
  Orvex_Close(handle);
  RestoreSettings(handle, saved);
  Orvex_Release(handle);
  const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
  std::printf("%s: %lld frames shown in %.1f s\n", reason, static_cast<long long>(frames), elapsed);
  XDestroyWindow(display, window);
  XCloseDisplay(display);
  return status;
}

}  // namespace orvex::tool

#endif
