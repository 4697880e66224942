// The preview window: its class, placement, failures, replacement and orderly destruction.
#include <cinttypes>
#include <cstdio>

#include "display_fixture.h"

namespace orvex::testing {
namespace {

class PreviewWindowTest : public DisplayTest {
 protected:
  // The window calls made so far, without the bitmap and drawing ones.
  std::vector<std::string> WindowCalls() const {
    std::vector<std::string> calls;
    for (const std::string& entry : screen.Log()) {
      if (entry.rfind("CreateDibSection", 0) != 0 && entry.rfind("SetDiBits", 0) != 0 &&
          entry.rfind("StretchBlt", 0) != 0) {
        calls.push_back(entry);
      }
    }
    return calls;
  }

  std::string ExpectedClassName(std::uint32_t salt) const {
    char name[64];
    std::snprintf(name, sizeof name, "VideoRenderer_%08" PRIxPTR "_%08" PRIx32,
                  reinterpret_cast<std::uintptr_t>(&context), salt);
    return name;
  }

  static bool Drawn(OrvexWindow window, int frames) {
    return Eventually([&] { return OrvexPlatform_DrawCount(window) >= frames; });
  }
};

TEST_F(PreviewWindowTest, ChildWindowAtTheGivenRectangle) {
  const OrvexWindow parent = AppWindow(100, 50, 800, 600);
  ASSERT_EQ(context.SetPreviewWindow(parent, Rect{10, 20, 640, 480}), 1);
  clock.SetRand(0x100);
  clock.SetMultimediaTime(0x23);
  ASSERT_EQ(context.Preview(), 1);

  const std::string name = ExpectedClassName(0x123);
  const std::vector<std::string> expected = {
      "RegisterWindowClass " + name,
      "CreateChildWindow " + name + " 'ActiveMovie Window' 10 20 640 480 id 6540",
      "SetFocus",
      "ShowWindow",
      "UpdateWindow",
      "GetWindowDc"};
  EXPECT_EQ(WindowCalls(), expected);
  EXPECT_EQ(std::string(context.Window().className.data()), name);

  const OrvexWindow child = context.Window().previewWindow;
  std::int32_t x = 0, y = 0, w = 0, h = 0;
  ASSERT_EQ(OrvexPlatform_GetWindowRect(child, &x, &y, &w, &h), 1);
  EXPECT_EQ((std::vector<std::int32_t>{x, y, w, h}),
            (std::vector<std::int32_t>{110, 70, 640, 480}));
  EXPECT_EQ(OrvexPlatform_GetParent(child), parent);
  EXPECT_EQ(OrvexPlatform_GetFocus(), child);
  EXPECT_TRUE(Drawn(child, 2));
}

// Without a parent: a framed window whose client area is the capture (divided for SubSample),
// centred from the adjusted rectangle (the headless frame adds 8 x 28); a screen smaller than
// the window gives a negative place.
TEST_F(PreviewWindowTest, TopLevelWindowIsCentredOnTheScreen) {
  context.Settings().geometry.EH = 1280;
  context.Settings().geometry.EV = 1024;
  struct Case {
    std::int32_t subSample, screenWidth, screenHeight, clientWidth, clientHeight, x, y;
  };
  for (const Case& c :
       {Case{0, 1920, 1080, 1280, 1024, 316, 14}, Case{0, 640, 480, 1280, 1024, -324, -286},
        Case{1, 1920, 1080, 640, 512, 636, 270}, Case{2, 1920, 1080, 320, 256, 796, 398},
        Case{3, 1920, 1080, 160, 128, 876, 462}}) {
    SCOPED_TRACE(c.subSample);
    SCOPED_TRACE(c.screenWidth);
    ASSERT_EQ(OrvexPlatform_SetScreenSize(c.screenWidth, c.screenHeight), 1);
    context.Settings().format.SubSample = c.subSample;

    screen.ClearLog();
    const platform::WindowHandle window = context.Window().CreatePreviewWindow(0, 0, 0, 0, 0);
    ASSERT_NE(window, 0u);
    EXPECT_EQ(screen.Calls("CreateTopLevelWindow"),
              std::vector<std::string>{
                  "CreateTopLevelWindow " + std::string(context.Window().className.data()) +
                  " 'Active Window' " + std::to_string(c.x) + " " + std::to_string(c.y) + " " +
                  std::to_string(c.clientWidth + 8) + " " + std::to_string(c.clientHeight + 28)});
    std::int32_t x = 0, y = 0, w = 0, h = 0;
    ASSERT_EQ(OrvexPlatform_GetWindowRect(window, &x, &y, &w, &h), 1);
    EXPECT_EQ((std::vector<std::int32_t>{x, y}), (std::vector<std::int32_t>{c.x, c.y}));
    ASSERT_EQ(OrvexPlatform_GetClientRect(window, nullptr, nullptr, &w, &h), 1);
    EXPECT_EQ((std::vector<std::int32_t>{w, h}),
              (std::vector<std::int32_t>{c.clientWidth, c.clientHeight}));
    EXPECT_EQ(OrvexPlatform_IsWindowVisible(window), 1);
    context.Window().previewWindow = window;
    EXPECT_EQ(context.DestroyPreviewWindow(), 1);
    EXPECT_EQ(OrvexPlatform_IsWindow(window), 0);
  }
}

TEST_F(PreviewWindowTest, CloseStopsThePreviewBeforeTheDeviceContextGoes) {
  const OrvexWindow parent = AppWindow(0, 0, 100, 100);
  ASSERT_EQ(context.SetPreviewWindow(parent, Rect{0, 0, EH, EV}), 1);
  ASSERT_EQ(context.Preview(), 1);
  const OrvexWindow window = context.Window().previewWindow;
  const std::string name = context.Window().className.data();
  ASSERT_TRUE(Drawn(window, 2));

  bool stoppedFirst = false;
  screen.onRelease = [&] {
    stoppedFirst =
        context.Acquisition().state == AcquisitionState::Idle && !context.LivePreview().HasThread();
  };
  screen.ClearLog();
  EXPECT_EQ(context.Close(), 1);
  EXPECT_TRUE(stoppedFirst);
  EXPECT_EQ(WindowCalls(), (std::vector<std::string>{"ReleaseWindowDc", "DestroyWindow",
                                                     "UnregisterWindowClass " + name}));
  EXPECT_EQ(context.Window().previewWindow, 0u);
  EXPECT_EQ(context.Window().previewDc, 0u);
  EXPECT_EQ(context.Window().className[0], '\0');
  EXPECT_EQ(OrvexPlatform_IsWindow(window), 0);
  EXPECT_EQ(OrvexPlatform_IsWindow(parent), 1);
}

TEST_F(PreviewWindowTest, AFailedWindowLeavesNothingBehind) {
  screen.failRegister = true;
  EXPECT_EQ(context.Preview(), 0);
  EXPECT_EQ(Errors(), std::vector<std::int32_t>{static_cast<std::int32_t>(ErrorCode::kWindow)});
  EXPECT_TRUE(screen.Calls("CreateTopLevelWindow").empty());
  EXPECT_EQ(context.Window().className[0], '\0');
  screen.failRegister = false;

  screen.failUpdate = true;
  screen.ClearLog();
  EXPECT_EQ(context.Preview(), 0);
  EXPECT_EQ(Errors(), std::vector<std::int32_t>{static_cast<std::int32_t>(ErrorCode::kWindow)});
  EXPECT_EQ(screen.Calls("DestroyWindow").size(), 1u);
  EXPECT_EQ(screen.Calls("UnregisterWindowClass").size(), 1u);
  EXPECT_EQ(OrvexPlatform_FindWindow("Active Window"), 0u);
  EXPECT_EQ(context.Window().previewWindow, 0u);
  screen.failUpdate = false;

  // Without a device context the window stays until Close.
  screen.failDc = true;
  EXPECT_EQ(context.Preview(), 0);
  EXPECT_EQ(Errors(), std::vector<std::int32_t>{static_cast<std::int32_t>(ErrorCode::kWindow)});
  const OrvexWindow window = OrvexPlatform_FindWindow("Active Window");
  EXPECT_NE(window, 0u);
  EXPECT_EQ(context.Acquisition().state, AcquisitionState::Idle);
  EXPECT_EQ(context.Close(), 1);
  EXPECT_EQ(OrvexPlatform_IsWindow(window), 0);
}

// A class whose window is still there (one of another thread goes only when that thread handles
// its messages) cannot be unregistered when the preview lets go of it: it is when the next
// preview window is made, and only then.
TEST_F(PreviewWindowTest, AClassThatCannotGoYetGoesWithTheNextWindow) {
  ASSERT_EQ(context.Preview(), 1);
  const std::string firstClass = context.Window().className.data();
  screen.failUnregister = true;
  EXPECT_EQ(context.Close(), 1);
  screen.failUnregister = false;
  screen.ClearLog();
  ASSERT_EQ(context.Preview(), 1);
  const std::vector<std::string> calls = WindowCalls();
  ASSERT_GE(calls.size(), 2u);
  EXPECT_EQ(calls[0], "UnregisterWindowClass " + firstClass);
  EXPECT_EQ(calls[1].rfind("RegisterWindowClass ", 0), 0u);
  EXPECT_EQ(context.Close(), 1);
  // Gone for good: the next window's making and letting go unregister only its own class.
  screen.ClearLog();
  ASSERT_EQ(context.Preview(), 1);
  EXPECT_EQ(context.Close(), 1);
  EXPECT_EQ(screen.Calls("UnregisterWindowClass").size(), 1u);
}

// A second Preview opens a new window and takes the first away while frames go on.
TEST_F(PreviewWindowTest, PreviewTwiceReplacesTheWindow) {
  ASSERT_EQ(context.Preview(), 1);
  const OrvexWindow first = context.Window().previewWindow;
  const std::string firstClass = context.Window().className.data();
  ASSERT_TRUE(Drawn(first, 1));

  screen.ClearLog();
  ASSERT_EQ(context.Preview(), 1);
  const OrvexWindow second = context.Window().previewWindow;
  EXPECT_NE(second, first);
  EXPECT_EQ(OrvexPlatform_IsWindow(first), 0);
  const std::vector<std::string> calls = WindowCalls();
  ASSERT_GE(calls.size(), 4u);
  EXPECT_EQ(calls[0], "ReleaseWindowDc");
  EXPECT_EQ(calls[1], "DestroyWindow");
  EXPECT_EQ(calls[2], "UnregisterWindowClass " + firstClass);
  EXPECT_EQ(calls[3].rfind("RegisterWindowClass ", 0), 0u);
  EXPECT_EQ(context.Acquisition().state, AcquisitionState::Previewing);
  EXPECT_TRUE(Drawn(second, 2));
}

}  // namespace
}  // namespace orvex::testing
