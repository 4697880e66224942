// orvex preview: the live picture in a window on the X display, as an application shows it, with
// the library's property dialogs a key or a click away. The command makes its own window, lets
// the library put its preview window inside, below a strip of buttons, and takes the library's
// frame and error messages as ClientMessage events of that window.
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
#include <X11/keysym.h>
#include <orvex/platform.h>
#include <poll.h>
#include <signal.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <memory>
#include <thread>

#include "tools/orvex/preview_toolbar.h"
#include "tools/orvex/property_dialogs.h"

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
      "usage: orvex preview [--seconds N] [--size W,H] [--lang en|ja]\n"
      "                     [--color-mode 8|16|24|32|48|64] [--geometry TH,EHS,EH,TV,EVS,EV]\n"
      "                     [--wait-time MS] [--device N] [--set NAME=VALUE] [--auto-exposure]\n"
      "Shows the camera's live picture in a window on the X display ($DISPLAY), the frame rate\n"
      "in its title. The keys c, a and i (or the buttons above the picture) open the camera,\n"
      "analog and image dialogs over it, in English or Japanese with --lang. Ends on the\n"
      "window's close button, on Ctrl-C, or after N seconds. The picture is scaled to W x H\n"
      "when given (default: the image's size, which the window follows). --set and\n"
      "--auto-exposure hold for this run only, as for orvex snap, except for a value changed\n"
      "since in a dialog: that one is kept.\n");
  return 2;
}

bool ParseSize(const std::string& text, std::int32_t* width, std::int32_t* height) {
  const std::size_t comma = text.find(',');
  return comma != std::string::npos && ParseInt(text.substr(0, comma), width) &&
         ParseInt(text.substr(comma + 1), height) && *width > 0 && *height > 0 && *width <= 16384 &&
         *height <= 16384;
}

// A word-sized parameter from its two 32-bit halves (items that Xlib may have sign-extended).
std::uint64_t Joined(long low, long high) {
  return (static_cast<std::uint64_t>(high) & 0xFFFFFFFFu) << 32 |
         (static_cast<std::uint64_t>(low) & 0xFFFFFFFFu);
}

struct PreviewOptions {
  CaptureOptions capture;
  std::int32_t seconds = 0;
  std::int32_t width = 0, height = 0;  // 0: the image's size
  std::int32_t language = 0;
};

// The tool's window and what happens in it. The dialogs run modally on the thread that opens
// them, and the library's modal loop serves only the library's own display connection, so
// while one is open a second thread serves the tool's connection: frame messages, the title,
// repaints of the buttons, and the ways to end the command (which cancel the dialog first).
// The two threads never use the connection at the same time: the second one lives only while
// the first waits in the dialog.
class Viewer {
 public:
  Viewer(Display* display, const PreviewOptions& options)
      : display_(display),
        options_(options),
        protocols_(XInternAtom(display, "WM_PROTOCOLS", False)),
        deleteWindow_(XInternAtom(display, "WM_DELETE_WINDOW", False)),
        libraryMessage_(XInternAtom(display, ORVEX_PLATFORM_MESSAGE_ATOM, False)) {
    const int screen = DefaultScreen(display);
    XSetWindowAttributes attributes{};
    attributes.background_pixel = BlackPixel(display, screen);
    attributes.event_mask = ExposureMask | KeyPressMask | ButtonPressMask | ButtonReleaseMask;
    // Made first, so that the library can post its errors to it as well; sized by Layout.
    window_ = XCreateWindow(display, RootWindow(display, screen), 0, 0, 1, 1, 0, CopyFromParent,
                            InputOutput, CopyFromParent, CWBackPixel | CWEventMask, &attributes);
    XSetWMProtocols(display, window_, &deleteWindow_, 1);
    std::vector<std::string> labels;
    for (const PropertyDialog& dialog : kPropertyDialogs) {
      std::string label = dialog.name;
      label[0] = static_cast<char>(label[0] - 'a' + 'A');
      labels.push_back(label + " [" + dialog.key + "]");
    }
    toolbar_ = std::make_unique<PreviewToolbar>(display, window_, labels);
  }

  ~Viewer() {
    toolbar_.reset();
    XDestroyWindow(display_, window_);
  }

  Window window() const { return window_; }

  // Sizes the window for a picture of the image's size (or the size asked for) and maps it.
  void Show(const OutputSize& image, std::int32_t bitsPerPixel) {
    image_ = image;
    bitsPerPixel_ = bitsPerPixel;
    Layout();
    XMapWindow(display_, window_);
    XSync(display_, False);
  }

  // Starts the library's preview in the window; false (reported) when it refuses.
  bool StartPreview(CameraHandle handle, const char* what) {
    if (!Orvex_SetPreviewWindow(handle, static_cast<OrvexWindow>(window_), pictureX_,
                                PreviewToolbar::kHeight, pictureWidth_, pictureHeight_) ||
        !Orvex_CallBackPreview(handle, static_cast<OrvexWindow>(window_), nullptr, 0, 0)) {
      PrintErrors(handle, what, ErrorBusy);
      return false;
    }
    return true;
  }

  // Until the command ends; its exit status. What the user changes in a dialog is dropped from
  // `saved`, the values that go back at the end.
  int Run(CameraHandle handle, SavedSettings* saved) {
    handle_ = handle;
    saved_ = saved;
    start_ = lastTitle_ = Clock::now();
    while (!EndDue()) {
      int dialog = Serve(std::chrono::milliseconds(100));
      while (dialog >= 0 && !EndDue()) dialog = OpenDialog(kPropertyDialogs[dialog]);
    }
    return status_;
  }

  const char* reason() const { return reason_; }
  std::int64_t frames() const { return frames_; }
  double Elapsed() const { return std::chrono::duration<double>(Clock::now() - start_).count(); }

 private:
  // The window: the buttons along the top, the picture below them, centred when the buttons
  // need more width than the picture has.
  void Layout() {
    pictureWidth_ = options_.width > 0 ? options_.width : image_.width;
    pictureHeight_ = options_.height > 0 ? options_.height : image_.height;
    windowWidth_ = std::max(pictureWidth_, toolbar_->MinimumWidth());
    pictureX_ = (windowWidth_ - pictureWidth_) / 2;
    const int height = PreviewToolbar::kHeight + pictureHeight_;
    XResizeWindow(display_, window_, static_cast<unsigned>(windowWidth_),
                  static_cast<unsigned>(height));
    // The picture does not follow the window's size: a window manager keeps it as it is.
    if (XSizeHints* hints = XAllocSizeHints()) {
      hints->flags = PMinSize | PMaxSize;
      hints->min_width = hints->max_width = windowWidth_;
      hints->min_height = hints->max_height = height;
      XSetWMNormalHints(display_, window_, hints);
      XFree(hints);
    }
    UpdateTitle(0);
    toolbar_->Draw(windowWidth_);
  }

  void UpdateTitle(std::int32_t tenths) {
    char rate[48];
    std::snprintf(rate, sizeof rate, "%d.%d frames/s", tenths / 10, tenths % 10);
    const std::string size = std::to_string(image_.width) + " x " + std::to_string(image_.height);
    const std::string title = "orvex preview - " + size + " - " + rate;
    XStoreName(display_, window_, title.c_str());
    XChangeProperty(display_, window_, XInternAtom(display_, "_NET_WM_NAME", False),
                    XInternAtom(display_, "UTF8_STRING", False), 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(title.data()),
                    static_cast<int>(title.size()));
    toolbar_->SetStatus(size + ", " + std::to_string(bitsPerPixel_) + " bits, " + rate);
    XFlush(display_);
  }

  // Why the command should end now, if it should: remembered in reason_.
  bool EndDue() {
    if (interrupted) reason_ = "interrupted";
    if (options_.seconds > 0 && Clock::now() - start_ >= std::chrono::seconds(options_.seconds)) {
      reason_ = "stopped";
      ending_ = true;
    }
    return interrupted || ending_;
  }

  // Handles what reaches the window for up to `wait` and keeps the title fresh. Returns the
  // index of a dialog that a key or a button asked for, else -1.
  int Serve(std::chrono::milliseconds wait) {
    const Clock::time_point now = Clock::now();
    if (now - lastTitle_ >= std::chrono::seconds(1)) {
      // A preview that has stopped (the camera dialog stops it) shows no rate.
      if (frames_ == framesAtTitle_) tenths_ = 0;
      UpdateTitle(tenths_);
      std::printf("%6.1f s  %d.%d frames/s\n", std::chrono::duration<double>(now - start_).count(),
                  tenths_ / 10, tenths_ % 10);
      std::fflush(stdout);
      lastTitle_ = now;
      framesAtTitle_ = frames_;
    }
    if (XPending(display_) == 0) {
      pollfd connection{ConnectionNumber(display_), POLLIN, 0};
      // Ctrl-C ends the wait early, the time-out checks the clock.
      poll(&connection, 1, static_cast<int>(wait.count()));
      if (XPending(display_) == 0) return -1;
    }
    int asked = -1;
    while (XPending(display_) > 0 && asked < 0) {
      XEvent event;
      XNextEvent(display_, &event);
      asked = Handle(event);
    }
    return asked;
  }

  int Handle(XEvent& event) {
    switch (event.type) {
      case Expose:
        if (event.xexpose.count == 0) toolbar_->Draw(windowWidth_);
        return -1;
      case KeyPress: {
        KeySym key = NoSymbol;
        char text[8];
        XLookupString(&event.xkey, text, sizeof text, &key, nullptr);
        for (std::size_t i = 0; i < std::size(kPropertyDialogs); ++i) {
          if (key == static_cast<KeySym>(kPropertyDialogs[i].key)) return static_cast<int>(i);
        }
        return -1;
      }
      case ButtonPress:
        if (event.xbutton.button == Button1) {
          toolbar_->SetPressed(toolbar_->ButtonAt(event.xbutton.x, event.xbutton.y));
        }
        return -1;
      case ButtonRelease: {
        if (event.xbutton.button != Button1) return -1;
        const int pressed = toolbar_->Pressed();
        toolbar_->SetPressed(-1);
        return pressed >= 0 && toolbar_->ButtonAt(event.xbutton.x, event.xbutton.y) == pressed
                   ? pressed
                   : -1;
      }
      case ClientMessage:
        HandleMessage(event.xclient);
        return -1;
      default:
        return -1;
    }
  }

  void HandleMessage(const XClientMessageEvent& client) {
    if (client.message_type == protocols_ && static_cast<Atom>(client.data.l[0]) == deleteWindow_) {
      reason_ = "closed";
      ending_ = true;
      return;
    }
    if (client.message_type != libraryMessage_) return;
    const auto message = static_cast<std::uint32_t>(client.data.l[0]);
    const std::uint64_t wParam = Joined(client.data.l[1], client.data.l[2]);
    const auto lParam = static_cast<std::int64_t>(Joined(client.data.l[3], client.data.l[4]));
    if (message == FrameMessage && wParam != 0) {
      // The library may already be filling in the next frame: copy what is needed at once.
      FrameInfo info;
      std::memcpy(&info, reinterpret_cast<const void*>(static_cast<std::uintptr_t>(wParam)),
                  sizeof info);
      tenths_ = info.frameRate;
      bitsPerPixel_ = info.bitsPerPixel;
      ++frames_;
    } else if (message == FrameMessage || message == ErrorMessage) {
      std::fprintf(stderr, "orvex preview: %s: %s\n",
                   message == FrameMessage ? "a frame failed" : "the camera reported",
                   DescribeError(static_cast<std::int32_t>(lParam)).c_str());
      if (message == FrameMessage && lParam == ErrorStreamStopped) {
        status_ = 1;
        reason_ = "stopped";
        ending_ = true;
      }
    }
  }

  // Runs the dialog over the picture until it closes. Returns the index of a dialog asked for
  // meanwhile (a key pressed as this one was closing), else -1.
  int OpenDialog(const PropertyDialog& dialog) {
    if (dialogsShown_ < 0) dialogsShown_ = DialogsCanBeShown() ? 1 : 0;
    if (dialogsShown_ == 0) {
      std::fprintf(stderr, "orvex preview: the dialogs cannot be shown on this display\n");
      return -1;
    }
    toolbar_->SetPressed(static_cast<int>(&dialog - kPropertyDialogs));
    std::printf("the %s dialog is open\n", dialog.name);
    std::fflush(stdout);

    // While the dialog is up it has the keyboard, and the pointer cannot reach this window; a
    // key or a click that comes here all the same came as the dialog was closing.
    int next = -1;
    std::atomic<bool> open{true};
    std::thread keeper([&] {
      bool cancelled = false;
      while (open.load(std::memory_order_acquire)) {
        if (const int asked = Serve(std::chrono::milliseconds(50)); asked >= 0) next = asked;
        // A dialog that has not opened yet is cancelled on a later round.
        if (!cancelled && EndDue()) cancelled = CancelOpenDialog();
      }
    });
    const std::int32_t opened =
        OpenKeepingChanges(dialog, handle_, static_cast<OrvexWindow>(window_), saved_);
    open.store(false, std::memory_order_release);
    keeper.join();

    toolbar_->SetPressed(-1);
    if (opened != 1) PrintErrors(handle_, "opening the dialog");
    std::printf("the %s dialog is closed\n", dialog.name);
    std::fflush(stdout);
    if (dialog.open == Orvex_SetCameraDlg) FollowFormat();
    return next;
  }

  // Cancel, as Escape would; false when no dialog is open (yet).
  static bool CancelOpenDialog() {
    const OrvexWindow dialog = OrvexPlatform_WaitForDialog(0);
    return dialog != 0 && OrvexPlatform_EndDialog(dialog, 2) == 1;
  }

  // After the camera dialog's OK the handle runs the stored format and size, and the dialog has
  // started the preview again in the window as it was: a picture of a new size gets a window of
  // its size.
  void FollowFormat() {
    const std::int32_t bits = Orvex_GetColorMode(handle_);
    if (bits > 0) bitsPerPixel_ = bits;
    const OutputSize image = CurrentOutputSize(handle_, bitsPerPixel_);
    const bool resized = image.width != image_.width || image.height != image_.height;
    image_ = image;
    UpdateTitle(tenths_);
    if (!resized || options_.width > 0 || image.width <= 0 || image.height <= 0) return;
    Orvex_StopPreview(handle_);
    Layout();
    if (StartPreview(handle_, "restarting the preview at the new size")) {
      std::printf("preview of %d x %d at %d bits a pixel\n", image.width, image.height,
                  bitsPerPixel_);
      std::fflush(stdout);
    }
  }

  Display* display_;
  const PreviewOptions& options_;
  const Atom protocols_;
  Atom deleteWindow_;
  const Atom libraryMessage_;
  Window window_ = 0;
  std::unique_ptr<PreviewToolbar> toolbar_;
  CameraHandle handle_ = 0;
  SavedSettings* saved_ = nullptr;

  OutputSize image_;
  std::int32_t bitsPerPixel_ = 0;
  int windowWidth_ = 0, pictureX_ = 0, pictureWidth_ = 0, pictureHeight_ = 0;
  int dialogsShown_ = -1;  // not asked yet

  Clock::time_point start_, lastTitle_;
  std::int64_t frames_ = 0, framesAtTitle_ = 0;
  std::int32_t tenths_ = 0;
  bool ending_ = false;
  const char* reason_ = "stopped";
  int status_ = 0;
};

}  // namespace

int RunPreview(const std::vector<std::string>& args) {
  PreviewOptions options;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const int shared = ParseCaptureOption(args, &i, &options.capture);
    if (shared < 0) return 2;
    if (shared > 0) continue;
    if (args[i] == "--seconds" && i + 1 < args.size() && ParseInt(args[i + 1], &options.seconds) &&
        options.seconds > 0) {
      ++i;
      continue;
    }
    if (args[i] == "--size" && i + 1 < args.size() &&
        ParseSize(args[i + 1], &options.width, &options.height)) {
      ++i;
      continue;
    }
    if (ParseLanguageOption(args, &i, &options.language) == 1) continue;
    return Usage();
  }
  if (options.language != 0) ChooseLanguage(options.language);

  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    std::fprintf(stderr, "orvex preview: cannot open the X display (DISPLAY=%s)\n",
                 std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "");
    return 1;
  }
  int status = 0;
  {
    Viewer viewer(display, options);
    const CameraHandle handle = Orvex_Initialize(static_cast<OrvexWindow>(viewer.window()));
    if (handle == 0) {
      std::fprintf(stderr, "orvex: no memory for a camera handle\n");
      status = 1;
    }
    // --set lasts for this run only: the values go back before the handle saves its settings,
    // except those the user has changed since in a dialog.
    SavedSettings saved;
    if (handle != 0 && !ApplyCaptureOptions(handle, options.capture, &saved)) status = 1;
    if (status == 0) {
      const std::int32_t bits = options.capture.bitsPerPixel;
      const OutputSize image = CurrentOutputSize(handle, bits);
      viewer.Show(image, bits);

      struct sigaction action {};
      action.sa_handler = OnInterrupt;
      sigemptyset(&action.sa_mask);
      sigaction(SIGINT, &action, nullptr);
      sigaction(SIGTERM, &action, nullptr);

      if (!viewer.StartPreview(handle, "opening the preview")) {
        status = 1;
      } else {
        std::printf("preview of %d x %d at %d bits a pixel in window 0x%lx\n", image.width,
                    image.height, bits, static_cast<unsigned long>(viewer.window()));
        std::fflush(stdout);
        status = viewer.Run(handle, &saved);
        if (!Orvex_StopPreview(handle)) {
          PrintErrors(handle, "the preview");
          status = 1;
        }
        Orvex_Close(handle);
        std::printf("%s: %lld frames shown in %.1f s\n", viewer.reason(),
                    static_cast<long long>(viewer.frames()), viewer.Elapsed());
      }
    }
    if (handle != 0) {
      RestoreSettings(handle, saved);
      Orvex_Release(handle);
    }
  }
  XCloseDisplay(display);
  return status;
}

}  // namespace orvex::tool

#endif
