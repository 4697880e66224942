// An application with FLTK of its own (the shared library of the system) opens the camera's
// dialogs over its window: the library draws them with its own hidden copy of the toolkit on its
// own connection, and the application's toolkit keeps its connection, its error handler and its
// working windows.
// clang-format off
#include "x11/x11_test_support.h"
#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Window.H>
#include <FL/x.H>
// clang-format on
#include <OrvexSdk_QX218.h>
#include <orvex/platform.h>
#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <future>
#include <string>

namespace {

using orvex::testing::TestDisplay;

XErrorHandler CurrentErrorHandler() {
  const XErrorHandler handler = XSetErrorHandler(nullptr);
  XSetErrorHandler(handler);
  return handler;
}

// Runs the application's event loop until `done` holds or ten seconds have passed.
template <typename Done>
bool ServeUntil(Done done) {
  for (int round = 0; round < 100 && !done(); ++round) Fl::wait(0.1);
  return done();
}

TEST(HostToolkitTest, AnApplicationsOwnFltkKeepsItsConnectionHandlerAndWindows) {
  {
    const TestDisplay display;
    if (*display.Unusable() != '\0') GTEST_SKIP() << display.Unusable();
  }
  ASSERT_EQ(std::system("command -v xdotool >/dev/null"), 0) << "xdotool is missing";
  std::string pattern = (std::filesystem::temp_directory_path() / "orvex-host-XXXXXX").string();
  ASSERT_NE(mkdtemp(pattern.data()), nullptr);
  setenv("XDG_CONFIG_HOME", pattern.c_str(), 1);

  fl_open_display();
  Display* const hostDisplay = fl_display;
  const XErrorHandler hostHandler = CurrentErrorHandler();
  Fl_Window window(320, 200, "host");
  Fl_Button button(20, 20, 120, 40, "Count");
  int clicks = 0;
  button.callback([](Fl_Widget*, void* count) { ++*static_cast<int*>(count); }, &clicks);
  window.end();
  window.show();
  ASSERT_TRUE(ServeUntil([&] { return window.visible() != 0; }));
  XSync(fl_display, False);

  const CameraHandle camera = Orvex_Initialize(0);
  ASSERT_NE(camera, 0);
  ASSERT_EQ(OrvexPlatform_GetDialogsOnScreen(), 1);
  auto cancel = std::async(std::launch::async, [] {
    const OrvexWindow dialog = OrvexPlatform_WaitForDialog(10000);
    return dialog != 0 && OrvexPlatform_ClickItem(dialog, 2) == 1;
  });
  EXPECT_EQ(Orvex_SetImageDlg(camera, static_cast<OrvexWindow>(fl_xid(&window))), 1);
  EXPECT_TRUE(cancel.get());

  EXPECT_EQ(fl_display, hostDisplay);
  EXPECT_EQ(CurrentErrorHandler(), hostHandler);
  EXPECT_TRUE(window.shown());
  // The application's window still takes a real click, through its own event loop.
  ASSERT_EQ(std::system(("xdotool mousemove --sync --window " + std::to_string(fl_xid(&window)) +
                         " 60 40 click 1 >/dev/null 2>&1")
                            .c_str()),
            0);
  EXPECT_TRUE(ServeUntil([&] { return clicks == 1; }));

  EXPECT_EQ(Orvex_Release(camera), 1);
  window.hide();
  Fl::wait(0);
  std::error_code ignored;
  std::filesystem::remove_all(pattern, ignored);
}

}  // namespace
