// The live preview on an X display through the public headers, as an application uses it, and
// the orvex preview command.
#include <OrvexSdk_QX218.h>
#include <gtest/gtest.h>
#include <orvex/platform.h>
#include <orvex/virtual_camera.h>
#include <signal.h>
#include <stdlib.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "x11/tool_process.h"
#include "x11/x11_test_support.h"

namespace {

using orvex::testing::TestDisplay;
using orvex::testing::ToolProcess;
using orvex::testing::WaitUntil;

constexpr int32_t kLine = 1320;
constexpr int32_t kRasterLines = 64;
constexpr int32_t kEHS = 40, kEVS = 2, kEH = 64, kEV = 48;

class X11PreviewTest : public ::testing::TestWithParam<int32_t> {
 protected:
  void SetUp() override {
    if (*app_.Unusable() != '\0') GTEST_SKIP() << app_.Unusable();
    std::string pattern = (std::filesystem::temp_directory_path() / "orvex-x11-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    configDir_ = pattern;
    setenv("XDG_CONFIG_HOME", configDir_.c_str(), 1);
    for (int index = 1; index < 8; ++index) OrvexVirtualCamera_Detach(index);
    ASSERT_TRUE(OrvexVirtualCamera_IsAttached(0) || OrvexVirtualCamera_Attach(0));
    ASSERT_EQ(OrvexVirtualCamera_SetFramePeriod(0, 0), 1);
    std::vector<uint8_t> raster(static_cast<size_t>(kLine) * kRasterLines);
    for (size_t at = 0; at < raster.size(); ++at) raster[at] = static_cast<uint8_t>(at * 7 / 3);
    ASSERT_EQ(OrvexVirtualCamera_SetRaster(0, raster.data(), kLine, kRasterLines, 1), 1);

    messages_ = OrvexPlatform_CreateMessageWindow();
    handle_ = Orvex_Initialize(messages_);
    ASSERT_NE(handle_, 0);
    ASSERT_EQ(Orvex_SetCaptureWindowEx(handle_, kLine, kEHS, kEH, 1024, kEVS, kEV), 1);
    ASSERT_EQ(Orvex_SetWaitTime(handle_, 1), 1);
    ASSERT_EQ(Orvex_SetColorMode(handle_, GetParam()), 1);
  }

  void TearDown() override {
    if (handle_ != 0) {
      EXPECT_EQ(Orvex_Release(handle_), 1);
    }
    if (messages_ != 0) OrvexPlatform_DestroyWindow(messages_);
    std::error_code ignored;
    if (!configDir_.empty()) std::filesystem::remove_all(configDir_, ignored);
  }

  // Waits for `count` frames announced to the message window.
  bool WaitForFrames(int count) {
    for (int seen = 0; seen < count;) {
      uint32_t message = 0;
      uintptr_t wParam = 0;
      intptr_t lParam = 0;
      if (!OrvexPlatform_GetMessage(messages_, 20000, &message, &wParam, &lParam)) return false;
      if (message == FrameMessage && wParam != 0) ++seen;
    }
    return true;
  }

  // What the window shows of the last frame: the image as the library delivers it, its first
  // memory row at the top. Read once the preview has stopped, so that nothing writes it.
  std::vector<uint8_t> LastFrame() {
    const int bytes = GetParam() / 8;
    const size_t stride = (static_cast<size_t>(kEH) * bytes + 3) & ~size_t{3};
    std::vector<uint8_t> image(stride * kEV);
    EXPECT_EQ(Orvex_GetImage(handle_, image.data(), static_cast<int32_t>(image.size()), 1), 1);
    std::vector<uint8_t> bgr;
    for (int32_t row = 0; row < kEV; ++row) {
      for (int32_t column = 0; column < kEH; ++column) {
        const uint8_t* p = image.data() + row * stride + column * bytes;
        if (bytes == 1) {
          bgr.insert(bgr.end(), {p[0], p[0], p[0]});
        } else {
          bgr.insert(bgr.end(), {p[0], p[1], p[2]});
        }
      }
    }
    return bgr;
  }

  // The windows directly inside `parent`.
  std::vector<Window> Children(Window parent) {
    Window root = 0, up = 0, *list = nullptr;
    unsigned count = 0;
    std::vector<Window> children;
    if (XQueryTree(app_.get(), parent, &root, &up, &list, &count)) {
      children.assign(list, list + count);
      XFree(list);
    }
    return children;
  }

  TestDisplay app_;
  std::filesystem::path configDir_;
  OrvexWindow messages_ = 0;
  CameraHandle handle_ = 0;
};

INSTANTIATE_TEST_SUITE_P(ColorMode, X11PreviewTest, ::testing::Values(8, 24),
                         [](const auto& info) { return "Bits" + std::to_string(info.param); });

TEST_P(X11PreviewTest, ChildPreviewInTheApplicationsWindowShowsTheFrames) {
  const Window app = app_.MakeWindow(0, 0, 200, 150);
  ASSERT_EQ(Orvex_SetPreviewWindow(handle_, app, 10, 20, kEH, kEV), 1);
  ASSERT_EQ(Orvex_CallBackPreview(handle_, messages_, nullptr, 0, 0), 1);
  const std::vector<Window> children = Children(app);
  ASSERT_EQ(children.size(), 1u);
  const Window preview = children[0];
  XWindowAttributes attributes;
  ASSERT_TRUE(XGetWindowAttributes(app_.get(), preview, &attributes));
  EXPECT_EQ(attributes.x, 10);
  EXPECT_EQ(attributes.y, 20);
  EXPECT_EQ(attributes.width, kEH);
  EXPECT_EQ(attributes.height, kEV);

  ASSERT_TRUE(WaitForFrames(2));
  ASSERT_EQ(Orvex_StopPreview(handle_), 1);
  EXPECT_EQ(app_.ReadBgr(preview, 0, 0, kEH, kEV), LastFrame());

  EXPECT_EQ(Orvex_Close(handle_), 1);
  EXPECT_TRUE(Children(app).empty());
  XDestroyWindow(app_.get(), app);
}

TEST_P(X11PreviewTest, TopLevelPreviewIsCentredAndShowsTheFrames) {
  Display* display = app_.get();
  const std::vector<Window> before = Children(app_.root());
  ASSERT_EQ(Orvex_CallBackPreview(handle_, messages_, nullptr, 0, 0), 1);
  std::vector<Window> made;
  for (Window window : Children(app_.root())) {
    if (std::find(before.begin(), before.end(), window) == before.end()) made.push_back(window);
  }
  ASSERT_EQ(made.size(), 1u);
  const Window preview = made[0];
  char* name = nullptr;
  ASSERT_TRUE(XFetchName(display, preview, &name));
  EXPECT_STREQ(name, "Active Window");
  XFree(name);
  XWindowAttributes attributes;
  ASSERT_TRUE(XGetWindowAttributes(display, preview, &attributes));
  EXPECT_EQ(attributes.width, kEH);
  EXPECT_EQ(attributes.height, kEV);
  if (XGetSelectionOwner(display, XInternAtom(display, "WM_S0", False)) == None) {
    EXPECT_EQ(attributes.x, (DisplayWidth(display, DefaultScreen(display)) - kEH) / 2);
    EXPECT_EQ(attributes.y, (DisplayHeight(display, DefaultScreen(display)) - kEV) / 2);
  }

  ASSERT_TRUE(WaitForFrames(2));
  ASSERT_EQ(Orvex_StopPreview(handle_), 1);
  EXPECT_EQ(app_.ReadBgr(app_.root(), attributes.x, attributes.y, kEH, kEV), LastFrame());
  EXPECT_EQ(Orvex_Close(handle_), 1);
  EXPECT_EQ(Children(app_.root()), before);
}

// The application destroys its window under a running preview: the host goes on, and the
// preview stops and closes as usual.
TEST_P(X11PreviewTest, ParentDestroyedUnderARunningPreviewLeavesTheHostAlive) {
  const Window app = app_.MakeWindow(0, 0, 120, 90);
  ASSERT_EQ(Orvex_SetPreviewWindow(handle_, app, 0, 0, kEH, kEV), 1);
  ASSERT_EQ(Orvex_CallBackPreview(handle_, messages_, nullptr, 0, 0), 1);
  ASSERT_TRUE(WaitForFrames(2));
  XDestroyWindow(app_.get(), app);
  XSync(app_.get(), False);
  EXPECT_TRUE(WaitForFrames(3));
  EXPECT_EQ(Orvex_StopPreview(handle_), 1);
  EXPECT_EQ(Orvex_Close(handle_), 1);
  EXPECT_EQ(Orvex_Release(handle_), 1);
  handle_ = 0;
}

// A modal dialog of OrvexPlatform runs on the application's thread, drawn over the
// application's window, while the preview thread goes on drawing into that window on its own
// connection.
TEST_P(X11PreviewTest, ThePreviewGoesOnWhileADialogIsOpenOverItsWindow) {
  ASSERT_EQ(OrvexPlatform_GetDialogsOnScreen(), 1);
  const Window app = app_.MakeWindow(0, 0, 400, 300);
  ASSERT_EQ(Orvex_SetPreviewWindow(handle_, app, 0, 0, kEH, kEV), 1);
  ASSERT_EQ(Orvex_CallBackPreview(handle_, messages_, nullptr, 0, 0), 1);
  static const OrvexDialogItem items[] = {
      {1, ORVEX_CONTROL_PUSH_BUTTON, ORVEX_CONTROL_DEFAULT, 10, 10, 50, 14, "OK"}};
  static const OrvexDialogTemplate dialog = {900, "Open", "MS Shell Dlg", 8, 80, 40, 1, items};
  bool framesWhileOpen = false;
  std::thread person([&] {
    const OrvexWindow open = OrvexPlatform_WaitForDialog(10000);
    framesWhileOpen = open != 0 && WaitForFrames(3);
    OrvexPlatform_ClickItem(open, 1);
  });
  const intptr_t result = OrvexPlatform_DialogBox(
      &dialog, app,
      [](OrvexWindow window, int32_t event, int32_t id, void*) {
        if (event == ORVEX_DIALOG_CLICKED && id == 1) OrvexPlatform_EndDialog(window, 1);
      },
      nullptr);
  person.join();
  EXPECT_EQ(result, 1);
  EXPECT_TRUE(framesWhileOpen);
  EXPECT_TRUE(WaitForFrames(2));
  EXPECT_EQ(Orvex_StopPreview(handle_), 1);
  EXPECT_EQ(Orvex_Close(handle_), 1);
  XDestroyWindow(app_.get(), app);
}

// Frame messages to an X window of the application's arrive as ClientMessage events with the
// address of FrameInfo in two halves.
TEST_P(X11PreviewTest, FrameMessagesReachTheApplicationsXWindow) {
  Display* display = app_.get();
  const Window app = app_.MakeWindow(0, 0, 120, 90);
  ASSERT_EQ(Orvex_SetPreviewWindow(handle_, app, 0, 0, kEH, kEV), 1);
  ASSERT_EQ(Orvex_CallBackPreview(handle_, app, nullptr, 0, 0), 1);
  XEvent event;
  const Atom type = XInternAtom(display, ORVEX_PLATFORM_MESSAGE_ATOM, False);
  ASSERT_TRUE(app_.WaitForEvent(&event, std::chrono::seconds(20), [&](const XEvent& e) {
    return e.type == ClientMessage && e.xclient.message_type == type &&
           (e.xclient.data.l[1] != 0 || e.xclient.data.l[2] != 0);
  }));
  ASSERT_EQ(Orvex_StopPreview(handle_), 1);
  const auto item = [&](int i) {
    return static_cast<uint64_t>(event.xclient.data.l[i]) & 0xFFFFFFFF;
  };
  EXPECT_EQ(item(0), static_cast<uint64_t>(FrameMessage));
  EXPECT_EQ(item(3) | item(4) << 32, 0u);
  const auto* info =
      reinterpret_cast<const FrameInfo*>(static_cast<uintptr_t>(item(1) | item(2) << 32));
  EXPECT_EQ(info->size, 24);
  EXPECT_EQ(info->width, kEH);
  EXPECT_EQ(info->height, kEV);
  EXPECT_EQ(info->bitsPerPixel, GetParam());
  EXPECT_EQ(Orvex_Close(handle_), 1);
  XDestroyWindow(display, app);
}

#ifdef ORVEX_TOOL_PATH

class PreviewCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (*app_.Unusable() != '\0') GTEST_SKIP() << app_.Unusable();
    std::string pattern = (std::filesystem::temp_directory_path() / "orvex-x11-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    configDir_ = pattern;
    setenv("XDG_CONFIG_HOME", configDir_.c_str(), 1);  // the command's settings
  }
  void TearDown() override {
    std::error_code ignored;
    if (!configDir_.empty()) std::filesystem::remove_all(configDir_, ignored);
  }

  TestDisplay app_;
  std::filesystem::path configDir_;
};

TEST_F(PreviewCommandTest, EndsOnTheWindowsCloseButton) {
  ToolProcess command(ORVEX_TOOL_PATH, {"preview", "--geometry", "1320,40,64,1024,2,48"});
  const std::string started = command.LineWith("in window 0x");
  ASSERT_FALSE(started.empty());
  const Window window = std::stoul(started.substr(started.find("0x")), nullptr, 16);
  ASSERT_FALSE(command.LineWith("frames/s").empty());  // the title has had its first update

  app_.SendCloseRequest(window);
  EXPECT_FALSE(command.LineWith("closed:").empty());
  EXPECT_EQ(command.Wait(), 0);
}

TEST_F(PreviewCommandTest, EndsOnCtrlC) {
  ToolProcess command(ORVEX_TOOL_PATH, {"preview", "--size", "32,24"});
  ASSERT_FALSE(command.LineWith("in window 0x").empty());
  kill(command.pid(), SIGINT);
  EXPECT_FALSE(command.LineWith("interrupted:").empty());
  EXPECT_EQ(command.Wait(), 0);
}

TEST_F(PreviewCommandTest, RunsForTheSecondsGiven) {
  ToolProcess command(ORVEX_TOOL_PATH, {"preview", "--seconds", "1", "--color-mode", "8"});
  const std::string done = command.LineWith("frames shown");
  EXPECT_EQ(done.rfind("stopped:", 0), 0u) << done;
  EXPECT_EQ(command.Wait(), 0);
}

#endif

}  // namespace
