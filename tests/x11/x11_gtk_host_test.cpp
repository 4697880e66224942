// A GTK 3 application hosting the preview in a drawing area: GDK takes and releases its error
// traps while previews start and stop, and the application has an X error handler of its own.
// The library's X connections leave both alone: the traps catch what they catch, the
// application's handler stays in place and sees its own errors, and never the library's.
// clang-format off
#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <gdk/gdkx.h>
// clang-format on
#include <OrvexSdk_QX218.h>
#include <orvex/platform.h>
#include <orvex/virtual_camera.h>
#include <stdlib.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "x11/x11_test_support.h"

namespace {

using orvex::testing::TestDisplay;

constexpr int32_t kLine = 1320;
constexpr int32_t kRasterLines = 64;
constexpr int32_t kEH = 160, kEV = 120;

std::atomic<int> hostErrors{0};
int CountHostError(Display*, XErrorEvent*) {
  ++hostErrors;
  return 0;
}

class GtkHostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!orvex::testing::HaveDisplay()) GTEST_SKIP() << "no X display (CI runs this under Xvfb)";
    setenv("GDK_BACKEND", "x11", 1);
    setenv("NO_AT_BRIDGE", "1", 1);  // no accessibility bus to wait for
    if (!gtk_init_check(nullptr, nullptr)) GTEST_SKIP() << "GTK cannot open the display";
    display_ = gdk_display_get_default();
    xdisplay_ = gdk_x11_display_get_xdisplay(display_);

    std::string pattern = (std::filesystem::temp_directory_path() / "orvex-gtk-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    configDir_ = pattern;
    setenv("XDG_CONFIG_HOME", configDir_.c_str(), 1);
    for (int index = 1; index < 8; ++index) OrvexVirtualCamera_Detach(index);
    ASSERT_TRUE(OrvexVirtualCamera_IsAttached(0) || OrvexVirtualCamera_Attach(0));
    ASSERT_EQ(OrvexVirtualCamera_SetFramePeriod(0, 33333), 1);  // 30 frames a second
    std::vector<uint8_t> raster(static_cast<size_t>(kLine) * kRasterLines);
    for (size_t at = 0; at < raster.size(); ++at) raster[at] = static_cast<uint8_t>(at * 5 / 3);
    ASSERT_EQ(OrvexVirtualCamera_SetRaster(0, raster.data(), kLine, kRasterLines, 1), 1);

    // The application's window: a drawing area with an X window of its own to hold the
    // preview.
    window_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    GtkWidget* area = gtk_drawing_area_new();
    gtk_widget_set_size_request(area, kEH + 40, kEV + 30);
    gtk_container_add(GTK_CONTAINER(window_), area);
    gtk_widget_show_all(window_);
    ASSERT_TRUE(gdk_window_ensure_native(gtk_widget_get_window(area)));
    Pump();
    parent_ = gdk_x11_window_get_xid(gtk_widget_get_window(area));

    // The application's own handler, put in GDK's place as some applications do.
    previousHandler_ = XSetErrorHandler(CountHostError);
    hostErrors = 0;

    messages_ = OrvexPlatform_CreateMessageWindow();
    handle_ = Orvex_Initialize(messages_);
    ASSERT_NE(handle_, 0);
    ASSERT_EQ(Orvex_SetCaptureWindowEx(handle_, kLine, 40, kEH, 1024, 2, kEV), 1);
    ASSERT_EQ(Orvex_SetColorMode(handle_, 24), 1);
    ASSERT_EQ(Orvex_SetPreviewWindow(handle_, parent_, 20, 15, kEH, kEV), 1);
  }

  void TearDown() override {
    if (handle_ != 0) {
      EXPECT_EQ(Orvex_Release(handle_), 1);
    }
    if (messages_ != 0) OrvexPlatform_DestroyWindow(messages_);
    if (window_ != nullptr) gtk_widget_destroy(window_);
    if (xdisplay_ != nullptr) {
      Pump();
      XSetErrorHandler(previousHandler_);
    }
    std::error_code ignored;
    if (!configDir_.empty()) std::filesystem::remove_all(configDir_, ignored);
  }

  // Runs GTK's main loop until it has nothing to do.
  static void Pump() {
    gdk_display_sync(gdk_display_get_default());
    while (gtk_events_pending()) gtk_main_iteration_do(FALSE);
  }

  // Waits for `count` frames while the application runs its main loop and takes short GDK
  // traps around X requests of its own, as GTK does while it draws.
  bool WaitForFrames(int count) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    for (int seen = 0; seen < count;) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      gdk_x11_display_error_trap_push(display_);
      XWindowAttributes attributes;
      XGetWindowAttributes(xdisplay_, parent_, &attributes);
      gdk_x11_display_error_trap_pop_ignored(display_);
      while (gtk_events_pending()) gtk_main_iteration_do(FALSE);
      uint32_t message = 0;
      uintptr_t wParam = 0;
      intptr_t lParam = 0;
      if (OrvexPlatform_GetMessage(messages_, 2, &message, &wParam, &lParam) &&
          message == FrameMessage && wParam != 0) {
        ++seen;
      }
    }
    return true;
  }

  // An error of the application's own: a request on a window that does not exist.
  int HostError() {
    const Window gone =
        XCreateSimpleWindow(xdisplay_, DefaultRootWindow(xdisplay_), 0, 0, 1, 1, 0, 0, 0);
    XDestroyWindow(xdisplay_, gone);
    XMapWindow(xdisplay_, gone);
    XSync(xdisplay_, False);
    return BadWindow;
  }

  GdkDisplay* display_ = nullptr;
  Display* xdisplay_ = nullptr;
  GtkWidget* window_ = nullptr;
  Window parent_ = 0;
  XErrorHandler previousHandler_ = nullptr;
  std::filesystem::path configDir_;
  OrvexWindow messages_ = 0;
  CameraHandle handle_ = 0;
};

// Previews start and stop while GDK traps are held and released around them; then the
// application destroys its window under a running preview, and the library's drawing fails
// on its own connection. The traps catch the application's errors, the application's handler
// stays in place and sees its own errors, and none of the library's.
TEST_F(GtkHostTest, TrapsWhilePreviewsStartAndStopLeaveTheHostsHandlerInPlace) {
  for (int round = 0; round < 12; ++round) {
    // A trap held across the start, across the stop, or across both.
    gdk_x11_display_error_trap_push(display_);
    ASSERT_EQ(Orvex_CallBackPreview(handle_, messages_, nullptr, 0, 0), 1) << round;
    ASSERT_TRUE(WaitForFrames(2)) << round;
    if (round % 3 == 0) gdk_x11_display_error_trap_pop_ignored(display_);
    gdk_x11_display_error_trap_push(display_);
    const int expected = HostError();
    EXPECT_EQ(gdk_x11_display_error_trap_pop(display_), expected) << round;
    ASSERT_EQ(Orvex_StopPreview(handle_), 1);
    if (round % 3 == 1) gdk_x11_display_error_trap_pop_ignored(display_);
    ASSERT_EQ(Orvex_Close(handle_), 1);
    if (round % 3 == 2) gdk_x11_display_error_trap_pop_ignored(display_);
    Pump();
  }

  ASSERT_EQ(Orvex_CallBackPreview(handle_, messages_, nullptr, 0, 0), 1);
  ASSERT_TRUE(WaitForFrames(2));
  gtk_widget_destroy(window_);
  window_ = nullptr;
  Pump();
  EXPECT_TRUE(WaitForFrames(5));
  EXPECT_EQ(Orvex_StopPreview(handle_), 1);
  EXPECT_EQ(Orvex_Close(handle_), 1);
  EXPECT_EQ(Orvex_Release(handle_), 1);
  handle_ = 0;

  EXPECT_EQ(hostErrors.load(), 0);
  EXPECT_EQ(XSetErrorHandler(CountHostError), &CountHostError);
  HostError();
  EXPECT_EQ(hostErrors.load(), 1);
}

// At 30 frames a second the drawing area shows the frame as the library delivers it.
TEST_F(GtkHostTest, PreviewShowsThePictureInTheDrawingArea) {
  ASSERT_EQ(Orvex_CallBackPreview(handle_, messages_, nullptr, 0, 0), 1);
  ASSERT_TRUE(WaitForFrames(3));
  ASSERT_EQ(Orvex_StopPreview(handle_), 1);

  TestDisplay reader;
  Window root = 0, up = 0, *children = nullptr;
  unsigned count = 0;
  ASSERT_TRUE(XQueryTree(reader.get(), parent_, &root, &up, &children, &count));
  ASSERT_EQ(count, 1u);
  const Window preview = children[0];
  XFree(children);
  const size_t stride = (static_cast<size_t>(kEH) * 3 + 3) & ~size_t{3};
  std::vector<uint8_t> image(stride * kEV);
  ASSERT_EQ(Orvex_GetImage(handle_, image.data(), static_cast<int32_t>(image.size()), 1), 1);
  std::vector<uint8_t> expected;
  for (int32_t row = 0; row < kEV; ++row) {
    expected.insert(expected.end(), image.begin() + row * stride,
                    image.begin() + row * stride + kEH * 3);
  }
  EXPECT_EQ(reader.ReadBgr(preview, 0, 0, kEH, kEV), expected);
  EXPECT_EQ(Orvex_Close(handle_), 1);
}

}  // namespace
