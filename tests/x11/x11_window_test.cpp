// The X11 window system through the seam, against a real X server: windows, drawing read back
// from the screen, posted messages, and a host that survives what happens to its windows.
#include <X11/Xatom.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <orvex/platform.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/headless/headless_window_system.h"
#include "platform/x11/x11_window_system.h"
#include "x11/x11_test_support.h"

extern char** environ;

namespace orvex::platform::x11 {
namespace {

using orvex::testing::TestDisplay;
using orvex::testing::WaitUntil;

// A bitmap (bottom-up, or top-down for a negative height) with a pattern in which every pixel
// differs from its neighbours.
struct Bitmap {
  Bitmap(std::int32_t width, std::int32_t height, std::uint16_t bits) {
    header.width = width;
    header.height = height;
    header.planes = 1;
    header.bitCount = bits;
    stride = (static_cast<std::size_t>(width) * bits + 31) / 32 * 4;
    const std::int32_t rows = height < 0 ? -height : height;
    pixels.assign(stride * rows, 0);
    for (std::int32_t row = 0; row < rows; ++row) {
      for (std::size_t k = 0; k < static_cast<std::size_t>(width) * bits / 8; ++k) {
        pixels[row * stride + k] = static_cast<std::uint8_t>(row * 29 + k * 7 + 3);
      }
    }
    for (int i = 0; i < 256; ++i) {  // not gray, so that the table shows
      table[i] = RgbQuad{static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(255 - i),
                         static_cast<std::uint8_t>(i * 3), 0};
    }
  }
  BitmapView View() const { return BitmapView{0, pixels.data(), &header, table.data()}; }

  // Blue, green, red of the pixel at a memory row and column.
  std::vector<std::uint8_t> Bgr(std::int32_t memoryRow, std::int32_t column) const {
    const std::uint8_t* p = pixels.data() + memoryRow * stride + column * (header.bitCount / 8);
    if (header.bitCount == 8) return {table[*p].blue, table[*p].green, table[*p].red};
    return {p[0], p[1], p[2]};
  }
  // What a width x height window shows when destination row r takes memory row rowOf(r) and
  // column c source column columnOf(c).
  template <typename RowOf, typename ColumnOf>
  std::vector<std::uint8_t> Shown(int width, int height, RowOf rowOf, ColumnOf columnOf) const {
    std::vector<std::uint8_t> bgr;
    for (int r = 0; r < height; ++r) {
      for (int c = 0; c < width; ++c) {
        const auto pixel = Bgr(rowOf(r), columnOf(c));
        bgr.insert(bgr.end(), pixel.begin(), pixel.end());
      }
    }
    return bgr;
  }

  BitmapInfoHeader header;
  std::size_t stride;
  std::vector<std::uint8_t> pixels;
  std::vector<RgbQuad> table = std::vector<RgbQuad>(256);
};

class X11WindowTest : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    if (*app_.Unusable() != '\0') GTEST_SKIP() << app_.Unusable();
    windows_ = std::make_unique<X11WindowSystem>(X11WindowSystem::Options{"", GetParam()});
  }

  TestDisplay app_;
  std::unique_ptr<X11WindowSystem> windows_;
};

INSTANTIATE_TEST_SUITE_P(Transport, X11WindowTest, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "Shm" : "PutImage"; });

TEST_P(X11WindowTest, ChildWindowInTheApplicationsWindowShowsTheFrame) {
  Display* display = app_.get();
  const Window app = app_.MakeWindow(0, 0, 200, 150);
  const WindowHandle child = windows_->CreateChildWindow("VideoRenderer_1", "ActiveMovie Window",
                                                         app, 10, 20, 64, 48, 6540);
  ASSERT_NE(child, 0u);

  Window root = 0, parent = 0, *children = nullptr;
  unsigned count = 0;
  ASSERT_TRUE(XQueryTree(display, child, &root, &parent, &children, &count));
  XFree(children);
  EXPECT_EQ(parent, app);
  int x = 0, y = 0;
  Window ignored = 0;
  XTranslateCoordinates(display, child, app, 0, 0, &x, &y, &ignored);
  EXPECT_EQ(x, 10);
  EXPECT_EQ(y, 20);
  WindowRect rect;
  ASSERT_TRUE(windows_->GetClientRect(child, &rect));
  EXPECT_EQ(rect.right, 64);
  EXPECT_EQ(rect.bottom, 48);
  EXPECT_TRUE(windows_->IsWindowVisible(child));

  const GraphicsHandle dc = windows_->GetWindowDc(child);
  ASSERT_NE(dc, 0u);
  // A colour frame as the preview thread draws it at 1:1: mirrored, first memory row on top.
  const Bitmap color(64, 48, 24);
  bool drawn = false;
  std::thread([&] {
    drawn = windows_->StretchBlt(dc, 0, 0, 64, 48, color.View(), 0, 48, 64, -48);
  }).join();
  EXPECT_TRUE(drawn);
  const auto direct = color.Shown(
      64, 48, [](int r) { return r; }, [](int c) { return c; });
  EXPECT_EQ(app_.ReadBgr(child, 0, 0, 64, 48), direct);
  const auto [screenX, screenY] = app_.ScreenPosition(child);
  EXPECT_EQ(app_.ReadBgr(app_.root(), screenX, screenY, 64, 48), direct);

  // A gray-type frame: drawn as the bottom-up bitmap it is, through its colour table.
  const Bitmap gray(64, 48, 8);
  EXPECT_EQ(windows_->SetDiBitsToDevice(dc, 0, 0, 64, 48, 0, 0, 0, 48, gray.View()), 48);
  EXPECT_EQ(app_.ReadBgr(child, 0, 0, 64, 48),
            gray.Shown(
                64, 48, [](int r) { return 47 - r; }, [](int c) { return c; }));

  EXPECT_TRUE(windows_->ReleaseWindowDc(child, dc));
  EXPECT_FALSE(windows_->ReleaseWindowDc(child, dc));
  EXPECT_EQ(windows_->SetDiBitsToDevice(dc, 0, 0, 64, 48, 0, 0, 0, 48, gray.View()), 0);
  EXPECT_TRUE(windows_->DestroyWindow(child));
  XDestroyWindow(display, app);
}

// Every drawing call leaves the same pixels on the X screen as on the headless one.
TEST_P(X11WindowTest, ShowsTheSamePixelsAsTheHeadlessScreen) {
  HeadlessWindowSystem headless;
  const OrvexWindow headlessApp = OrvexPlatform_CreateWindow(0, 0, 0, 100, 80);
  const WindowHandle headlessChild =
      headless.CreateChildWindow("c", "t", headlessApp, 0, 0, 64, 48, 1);
  const GraphicsHandle headlessDc = headless.GetWindowDc(headlessChild);
  const Window app = app_.MakeWindow(0, 0, 100, 80);
  const WindowHandle child = windows_->CreateChildWindow("c", "t", app, 0, 0, 64, 48, 1);
  const GraphicsHandle dc = windows_->GetWindowDc(child);
  ASSERT_NE(headlessDc, 0u);
  ASSERT_NE(dc, 0u);

  const Bitmap color(64, 48, 24), small(32, 24, 24), large(100, 70, 24), wide(64, 48, 32);
  const Bitmap gray(64, 48, 8), grayTopDown(64, -48, 8);
  struct Case {
    const char* name;
    std::function<void(WindowSystem&, GraphicsHandle)> draw;
  };
  const Case cases[] = {
      {"direct colour",
       [&](WindowSystem& w, GraphicsHandle d) {
         w.StretchBlt(d, 0, 0, 64, 48, color.View(), 0, 48, 64, -48);
       }},
      {"twice the size",
       [&](WindowSystem& w, GraphicsHandle d) {
         w.StretchBlt(d, 0, 0, 64, 48, small.View(), 0, 24, 32, -24);
       }},
      {"reduced",
       [&](WindowSystem& w, GraphicsHandle d) {
         w.StretchBlt(d, 0, 0, 64, 48, large.View(), 0, 70, 100, -70);
       }},
      {"mirrored sideways",
       [&](WindowSystem& w, GraphicsHandle d) {
         w.StretchBlt(d, 0, 0, 64, 48, wide.View(), 64, 0, -64, 48);
       }},
      {"gray bottom-up",
       [&](WindowSystem& w, GraphicsHandle d) {
         w.SetDiBitsToDevice(d, 0, 0, 64, 48, 0, 0, 0, 48, gray.View());
       }},
      {"gray top-down",
       [&](WindowSystem& w, GraphicsHandle d) {
         w.SetDiBitsToDevice(d, 0, 0, 64, 48, 0, 0, 0, 48, grayTopDown.View());
       }},
      {"part of the scan lines, shifted",
       [&](WindowSystem& w, GraphicsHandle d) {
         w.SetDiBitsToDevice(d, 4, 6, 40, 30, -3, 5, 10, 20, color.View());
       }},
      // Source rectangles reaching past the bitmap: only what lies inside it is drawn, the
      // rest of the window keeps the previous case's picture.
      {"one to one, past the bitmap's far corner",
       [&](WindowSystem& w, GraphicsHandle d) {
         w.StretchBlt(d, 0, 0, 64, 48, small.View(), 16, 12, 64, 48);
       }},
      {"scaled and mirrored, past the bitmap's near corner",
       [&](WindowSystem& w, GraphicsHandle d) {
         w.StretchBlt(d, 3, 2, 60, 44, small.View(), 20, 18, -45, -33);
       }},
      {"scan lines past the bitmap's far corner",
       [&](WindowSystem& w, GraphicsHandle d) {
         w.SetDiBitsToDevice(d, 10, 10, 64, 48, 20, -5, 0, 24, small.View());
       }},
  };
  std::vector<std::uint8_t> headlessPixels(64 * 48 * 3);
  for (const Case& c : cases) {
    c.draw(headless, headlessDc);
    c.draw(*windows_, dc);
    std::int32_t x = 0, y = 0;
    ASSERT_EQ(OrvexPlatform_GetClientRect(headlessChild, &x, &y, nullptr, nullptr), 1);
    ASSERT_EQ(OrvexPlatform_ReadScreen(x, y, 64, 48, headlessPixels.data()), 1);
    EXPECT_EQ(app_.ReadBgr(child, 0, 0, 64, 48), headlessPixels) << c.name;
  }
  OrvexPlatform_DestroyWindow(headlessApp);
  XDestroyWindow(app_.get(), app);
}

TEST_P(X11WindowTest, TopLevelWindowCarriesItsTitleAndCloseProtocolAndScales) {
  Display* display = app_.get();
  EXPECT_EQ(windows_->ScreenWidth(), DisplayWidth(display, DefaultScreen(display)));
  EXPECT_EQ(windows_->ScreenHeight(), DisplayHeight(display, DefaultScreen(display)));
  WindowRect rect{0, 0, 64, 48};
  ASSERT_TRUE(windows_->AdjustTopLevelRect(&rect));
  EXPECT_EQ(rect.right - rect.left, 64);

  const std::string title = "Active Window \xE2\x96\xB6 \xC3\xA9";
  const WindowHandle top =
      windows_->CreateTopLevelWindow("VideoRenderer_2", title.c_str(), 100, 50, 64, 48);
  ASSERT_NE(top, 0u);
  EXPECT_TRUE(windows_->UpdateWindow(top));

  auto property = [&](const char* name, const char* type) {
    Atom actual = 0;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char* data = nullptr;
    std::string value;
    if (XGetWindowProperty(display, top, XInternAtom(display, name, False), 0, 1024, False,
                           XInternAtom(display, type, False), &actual, &format, &items, &after,
                           &data) == Success &&
        data != nullptr) {
      value.assign(reinterpret_cast<char*>(data), items);
      XFree(data);
    }
    return value;
  };
  EXPECT_EQ(property("_NET_WM_NAME", "UTF8_STRING"), title);
  EXPECT_EQ(property("WM_NAME", "STRING"), "Active Window ? \xE9");
  Atom* protocols = nullptr;
  int count = 0;
  ASSERT_TRUE(XGetWMProtocols(display, top, &protocols, &count));
  ASSERT_EQ(count, 1);
  EXPECT_EQ(protocols[0], XInternAtom(display, "WM_DELETE_WINDOW", False));
  XFree(protocols);

  // Without a window manager the window stands where the library put it.
  if (XGetSelectionOwner(display, XInternAtom(display, "WM_S0", False)) == None) {
    EXPECT_EQ(app_.ScreenPosition(top), std::make_pair(100, 50));
    EXPECT_TRUE(windows_->IsWindowVisible(top));
    EXPECT_TRUE(windows_->SetFocus(top));
  }

  // Twice the bitmap's size: every source pixel covers 2 x 2 pixels.
  const GraphicsHandle dc = windows_->GetWindowDc(top);
  ASSERT_NE(dc, 0u);
  const Bitmap small(32, 24, 24);
  ASSERT_TRUE(windows_->StretchBlt(dc, 0, 0, 64, 48, small.View(), 0, 24, 32, -24));
  const auto [x, y] = app_.ScreenPosition(top);
  EXPECT_EQ(app_.ReadBgr(app_.root(), x, y, 64, 48),
            small.Shown(
                64, 48, [](int r) { return r / 2; }, [](int c) { return c / 2; }));

  EXPECT_TRUE(windows_->ReleaseWindowDc(top, dc));
  EXPECT_TRUE(windows_->DestroyWindow(top));
  EXPECT_FALSE(windows_->IsWindowVisible(top));
  EXPECT_FALSE(windows_->GetClientRect(top, &rect));
  EXPECT_FALSE(windows_->DestroyWindow(top));
}

// The window manager's close request hides a top-level window although the thread that made it
// never calls the library again: the calls of any thread (a preview's, for every frame) take it.
TEST_P(X11WindowTest, CloseRequestHidesATopLevelWindowWhicheverThreadMadeIt) {
  std::promise<WindowHandle> made;
  std::promise<void> finish;
  std::thread opener([&] {
    made.set_value(windows_->CreateTopLevelWindow("c", "Active Window", 10, 10, 32, 24));
    finish.get_future().wait();
  });
  const WindowHandle top = made.get_future().get();
  ASSERT_NE(top, 0u);
  EXPECT_TRUE(WaitUntil([&] { return windows_->IsWindowVisible(top); }));

  app_.SendCloseRequest(top);
  EXPECT_TRUE(WaitUntil([&] { return !windows_->IsWindowVisible(top); }, std::chrono::seconds(5)));
  EXPECT_TRUE(windows_->DestroyWindow(top));
  finish.set_value();
  opener.join();
}

TEST_P(X11WindowTest, VisibilityFollowsTheWindowAndItsParents) {
  Display* display = app_.get();
  const Window hidden = app_.MakeWindow(0, 0, 100, 100, 0, /*map=*/false);
  const WindowHandle child = windows_->CreateChildWindow("c", "t", hidden, 0, 0, 0, 0, 1);
  ASSERT_NE(child, 0u);
  WindowRect rect;
  ASSERT_TRUE(windows_->GetClientRect(child, &rect));
  EXPECT_EQ(rect.right, 1);  // X has no empty windows
  EXPECT_FALSE(windows_->IsWindowVisible(child));
  XMapWindow(display, hidden);
  XSync(display, False);
  EXPECT_TRUE(windows_->IsWindowVisible(child));
  XUnmapWindow(display, child);
  XSync(display, False);
  EXPECT_FALSE(windows_->IsWindowVisible(child));
  EXPECT_TRUE(windows_->ShowWindow(child));
  EXPECT_TRUE(windows_->IsWindowVisible(child));

  // No parent, a parent that is gone, a handle that is no X window: no window.
  EXPECT_EQ(windows_->CreateChildWindow("c", "t", 0, 0, 0, 10, 10, 1), 0u);
  XDestroyWindow(display, hidden);
  XSync(display, False);
  EXPECT_EQ(windows_->CreateChildWindow("c", "t", hidden, 0, 0, 10, 10, 1), 0u);
  EXPECT_EQ(windows_->CreateChildWindow("c", "t", WindowHandle{1} << 40, 0, 0, 10, 10, 1), 0u);
  EXPECT_FALSE(windows_->GetClientRect(child, &rect));
  EXPECT_EQ(windows_->GetWindowDc(child), 0u);
}

// The application destroys its window while the preview thread draws into the child: the
// drawing fails quietly and the process goes on.
TEST_P(X11WindowTest, ParentDestroyedUnderTheDrawingThreadLeavesTheHostAlive) {
  Display* display = app_.get();
  const Window app = app_.MakeWindow(0, 0, 120, 90);
  const WindowHandle child = windows_->CreateChildWindow("c", "t", app, 0, 0, 64, 48, 1);
  ASSERT_NE(child, 0u);
  const GraphicsHandle dc = windows_->GetWindowDc(child);
  ASSERT_NE(dc, 0u);
  const Bitmap frame(64, 48, 24);

  std::atomic<bool> stop{false};
  std::atomic<int> drawn{0}, refused{0};
  std::thread preview([&] {
    while (!stop.load()) {
      WindowRect rect;
      const bool ok = windows_->GetClientRect(child, &rect) && windows_->IsWindowVisible(child) &&
                      windows_->StretchBlt(dc, 0, 0, 64, 48, frame.View(), 0, 48, 64, -48);
      ++(ok ? drawn : refused);
    }
  });
  EXPECT_TRUE(WaitUntil([&] { return drawn.load() >= 3; }));
  XDestroyWindow(display, app);
  XSync(display, False);
  EXPECT_TRUE(WaitUntil([&] { return refused.load() >= 3; }));
  stop = true;
  preview.join();

  EXPECT_FALSE(windows_->StretchBlt(dc, 0, 0, 64, 48, frame.View(), 0, 48, 64, -48));
  EXPECT_TRUE(windows_->ReleaseWindowDc(child, dc));
  EXPECT_FALSE(windows_->DestroyWindow(child));
  EXPECT_FALSE(windows_->PostWindowMessage(child, 32770, 0, 0));
}

TEST_P(X11WindowTest, PostedMessagesReachXWindowsAsClientMessagesWithSplitWords) {
  Display* display = app_.get();
  const Window target = app_.MakeWindow(0, 0, 10, 10);
  const std::uint64_t wide = sizeof(std::uintptr_t) == 8 ? 0x1122334455667788u : 0x55667788u;
  bool posted = false;
  // From a thread of the library's, as the preview thread posts.
  std::thread([&] {
    posted = windows_->PostWindowMessage(target, 32770, static_cast<std::uintptr_t>(wide), -2);
  }).join();
  ASSERT_TRUE(posted);

  XEvent event;
  ASSERT_TRUE(app_.WaitForEvent(&event, std::chrono::seconds(10), [&](const XEvent& e) {
    return e.type == ClientMessage && e.xclient.window == target;
  }));
  const XClientMessageEvent& client = event.xclient;
  EXPECT_EQ(client.message_type, XInternAtom(display, ORVEX_PLATFORM_MESSAGE_ATOM, False));
  EXPECT_EQ(client.format, 32);
  auto item = [&](int i) { return static_cast<std::uint32_t>(client.data.l[i] & 0xFFFFFFFF); };
  EXPECT_EQ(item(0), 32770u);
  EXPECT_EQ(item(1), static_cast<std::uint32_t>(wide));
  EXPECT_EQ(item(2), static_cast<std::uint32_t>(wide >> 32));
  EXPECT_EQ(item(3), 0xFFFFFFFEu);
  EXPECT_EQ(item(4), 0xFFFFFFFFu);

  // Message windows still queue what is posted to them.
  const OrvexWindow queue = OrvexPlatform_CreateMessageWindow();
  ASSERT_TRUE(windows_->PostWindowMessage(queue, 32771, 0, 9));
  std::uint32_t message = 0;
  std::uintptr_t wParam = 1;
  std::intptr_t lParam = 0;
  ASSERT_EQ(OrvexPlatform_GetMessage(queue, 0, &message, &wParam, &lParam), 1);
  EXPECT_EQ(message, 32771u);
  EXPECT_EQ(wParam, 0u);
  EXPECT_EQ(lParam, 9);
  OrvexPlatform_DestroyWindow(queue);
  EXPECT_FALSE(windows_->PostWindowMessage(queue, 32771, 0, 9));

  EXPECT_FALSE(windows_->PostWindowMessage(0, 32770, 0, 0));
  XDestroyWindow(display, target);
  XSync(display, False);
  EXPECT_FALSE(windows_->PostWindowMessage(target, 32770, 0, 0));
}

std::atomic<int> hostErrors{0};
int CountHostError(Display*, XErrorEvent*) {
  ++hostErrors;
  return 0;
}

// The library's connections leave the process's Xlib error handler alone: the host's handler
// stays in place and sees the errors of the host's own connection, and none of the library's.
TEST(X11ErrorHandlerTest, TheHostsHandlerStaysAndSeesOnlyTheHostsErrors) {
  TestDisplay app;
  if (*app.Unusable() != '\0') GTEST_SKIP() << app.Unusable();
  const XErrorHandler before = XSetErrorHandler(CountHostError);
  const Window gone = app.MakeWindow(0, 0, 10, 10);
  XDestroyWindow(app.get(), gone);
  XSync(app.get(), False);

  X11WindowSystem windows;
  std::thread([&] {
    WindowRect rect;
    EXPECT_FALSE(windows.GetClientRect(gone, &rect));
    EXPECT_FALSE(windows.DestroyWindow(gone));
  }).join();
  EXPECT_EQ(hostErrors.load(), 0);
  EXPECT_EQ(XSetErrorHandler(CountHostError), &CountHostError);

  XMapWindow(app.get(), gone);
  XSync(app.get(), False);
  EXPECT_EQ(hostErrors.load(), 1);
  XSetErrorHandler(before);
}

// A server of the test's own that goes away under the library's connections.
class PrivateServer {
 public:
  PrivateServer() {
    int ready[2];
    if (pipe(ready) != 0) return;
    const std::string fd = std::to_string(ready[1]);
    const char* argv[] = {"Xvfb",       "-displayfd", fd.c_str(), "-screen", "0",
                          "160x120x24", "-nolisten",  "tcp",      nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addclose(&actions, ready[0]);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const int spawned =
        posix_spawnp(&pid_, "Xvfb", &actions, nullptr, const_cast<char* const*>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(ready[1]);
    if (spawned != 0) {
      pid_ = 0;
      close(ready[0]);
      return;
    }
    // The server writes its display number once it accepts connections.
    std::string number;
    char c;
    while (read(ready[0], &c, 1) == 1 && c != '\n') number.push_back(c);
    close(ready[0]);
    if (!number.empty()) name_ = ":" + number;
  }
  ~PrivateServer() { Stop(); }

  const std::string& name() const { return name_; }
  void Stop() {
    if (pid_ == 0) return;
    kill(pid_, SIGTERM);  // it removes its socket and lock file as it goes
    waitpid(pid_, nullptr, 0);
    pid_ = 0;
  }

 private:
  pid_t pid_ = 0;
  std::string name_;
};

TEST(X11ConnectionTest, LostServerLeavesTheHostAliveAndCallsFail) {
  PrivateServer server;
  if (server.name().empty()) GTEST_SKIP() << "Xvfb could not be started";
  X11WindowSystem windows(X11WindowSystem::Options{server.name(), true});
  const WindowHandle top = windows.CreateTopLevelWindow("c", "t", 0, 0, 32, 32);
  ASSERT_NE(top, 0u);
  const GraphicsHandle dc = windows.GetWindowDc(top);
  ASSERT_NE(dc, 0u);
  const Bitmap frame(32, 32, 24);
  ASSERT_TRUE(windows.StretchBlt(dc, 0, 0, 32, 32, frame.View(), 0, 32, 32, -32));
  // A second thread with a connection of its own, drawing while the server goes away.
  std::atomic<bool> stop{false};
  std::atomic<int> drawn{0}, refused{0};
  std::thread drawing([&] {
    while (!stop.load()) {
      ++(windows.StretchBlt(dc, 0, 0, 32, 32, frame.View(), 0, 32, 32, -32) ? drawn : refused);
    }
  });
  EXPECT_TRUE(WaitUntil([&] { return drawn.load() >= 3; }));

  server.Stop();
  EXPECT_TRUE(WaitUntil([&] { return refused.load() >= 3; }));
  stop = true;
  drawing.join();
  WindowRect rect;
  EXPECT_FALSE(windows.GetClientRect(top, &rect));
  EXPECT_FALSE(windows.StretchBlt(dc, 0, 0, 32, 32, frame.View(), 0, 32, 32, -32));
  EXPECT_FALSE(windows.PostWindowMessage(top, 32770, 0, 0));
  EXPECT_EQ(windows.CreateTopLevelWindow("c", "t", 0, 0, 32, 32), 0u);
  std::thread([&] {
    EXPECT_FALSE(windows.IsWindowVisible(top));
    EXPECT_EQ(windows.ScreenWidth(), 0);
  }).join();
}

}  // namespace
}  // namespace orvex::platform::x11
