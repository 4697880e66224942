// The dialogs drawn on an X display, used as a person uses them: the pointer and the keyboard
// (xdotool, through the XTest extension), an owner window of the application's, and an
// application with Xlib handlers and a locale of its own.
// clang-format off
#include "dialogs/dialog_test_support.h"
#include "x11/x11_test_support.h"
// clang-format on
#include <X11/Xatom.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <string>

#include "dialogs/analog_dialog.h"
#include "dialogs/camera_dialog.h"
#include "dialogs/dialog_controls.h"
#include "dialogs/image_dialog.h"

namespace orvex::dialogs::testing {
namespace {

using orvex::testing::TestDisplay;
using orvex::testing::WaitUntil;

const SliderRow& kGamma = kImageFilterRows[8];
const SliderRow& kExposure = kAnalogRows[5];

// Runs xdotool with the arguments; true when it succeeded.
bool Xdotool(const std::string& arguments) {
  return std::system(("xdotool " + arguments + " >/dev/null 2>&1").c_str()) == 0;
}

std::string At(int x, int y) {
  return std::to_string(x) + " " + std::to_string(y);
}

struct Rect {
  int32_t x = 0, y = 0, width = 0, height = 0;
  int CentreX() const { return x + width / 2; }
  int CentreY() const { return y + height / 2; }
};

Rect ItemRect(OrvexWindow window, int32_t id) {
  Rect rect;
  EXPECT_EQ(OrvexPlatform_GetItemRect(window, id, &rect.x, &rect.y, &rect.width, &rect.height), 1);
  return rect;
}

// A dialog opened by its function on a thread of its own, which may end by itself.
class Running {
 public:
  // `open`: a dialog open already, which the new one is not.
  explicit Running(std::function<int()> run, OrvexWindow open = 0) {
    result_ = std::async(std::launch::async, std::move(run));
    WaitUntil([&] { return (window = OrvexPlatform_WaitForDialog(10000)) != open; });
  }
  ~Running() {
    if (!result_.valid()) return;
    OrvexPlatform_EndDialog(window, 2);
    result_.wait();
  }
  // The opening function's result once the dialog ended; -1 when it did not within a while.
  int Ended() {
    if (result_.wait_for(std::chrono::seconds(20)) != std::future_status::ready) return -1;
    return result_.get();
  }
  OrvexWindow Page() const { return OrvexPlatform_GetDialogPage(window, 0); }

  OrvexWindow window = 0;

 private:
  std::future<int> result_;
};

class X11DialogTest : public DialogTest {
 protected:
  void SetUp() override {
    if (*app.Unusable() != '\0') GTEST_SKIP() << app.Unusable();
    ASSERT_EQ(std::system("command -v xdotool >/dev/null"), 0)
        << "xdotool is missing (scripts/install-deps.sh installs it)";
    ASSERT_EQ(OrvexPlatform_GetDialogsOnScreen(), 1);
  }

  TestDisplay app;
};

TEST_F(X11DialogTest, APointersClicksAndDragsReachTheControlsAndTheProcedure) {
  camera.format.Color = 3;
  camera.image.Gamma = 100;
  camera.image.BayerMode = 1;
  Running dialog([this] { return RunImageDialog(camera, host, 0); });
  const OrvexWindow page = dialog.Page();
  ASSERT_NE(page, 0u);
  const Rect bar = ItemRect(page, kGamma.trackbar);
  const int thumbY = bar.y + 6;

  // A click beside the thumb moves it by a page: a fifth of the range 0 .. 200.
  ASSERT_TRUE(Xdotool("mousemove --sync " + At(bar.x + 12, thumbY) + " click 1"));
  ASSERT_TRUE(WaitUntil([&] { return TrackbarPosition(page, kGamma.trackbar) == 60; }));
  EXPECT_EQ(camera.image.Gamma, 60);
  EXPECT_EQ(ItemText(page, kGamma.edit), "60");

  // Dragging the thumb (its centre as the trackbar places it) past the right end.
  const int thumbX = bar.x + 9 + 60 * (bar.width - 19) / 200;
  ASSERT_TRUE(Xdotool("mousemove --sync " + At(thumbX, thumbY) + " mousedown 1 mousemove --sync " +
                      At(thumbX + 40, thumbY) + " mousemove --sync " +
                      At(bar.x + bar.width + 30, thumbY) + " mouseup 1"));
  ASSERT_TRUE(WaitUntil([&] { return TrackbarPosition(page, kGamma.trackbar) == 200; }))
      << TrackbarPosition(page, kGamma.trackbar) << " thumb " << thumbX << " bar " << bar.x << ","
      << bar.width;
  EXPECT_EQ(camera.image.Gamma, 200);
  EXPECT_EQ(ItemText(page, kGamma.edit), "200");

  // A person's click takes a while between press and release; the radio or box changes, and
  // the dialog hears of it, when the button is released.
  const auto holdClick = [&](int32_t id) {
    const Rect box = ItemRect(page, id);
    return Xdotool("mousemove --sync " + At(box.x + 6, box.CentreY()) +
                   " mousedown 1 sleep 0.15 mouseup 1");
  };
  ASSERT_TRUE(holdClick(kRadiosBayerMode[2]));
  EXPECT_TRUE(WaitUntil([&] { return camera.image.BayerMode == 2; }, std::chrono::seconds(5)));
  EXPECT_EQ(OrvexPlatform_IsItemChecked(page, kRadiosBayerMode[2]), 1);
  EXPECT_EQ(OrvexPlatform_IsItemChecked(page, kRadiosBayerMode[1]), 0);
  ASSERT_TRUE(holdClick(kCheckAllFrames));
  EXPECT_TRUE(WaitUntil([&] { return OrvexPlatform_IsItemChecked(page, kCheckAllFrames) == 1; },
                        std::chrono::seconds(5)));

  EXPECT_EQ(OrvexPlatform_ClickItem(dialog.window, kButtonCancel), 1);
  EXPECT_EQ(dialog.Ended(), 1);
  EXPECT_EQ(camera.image.Gamma, 100);
  EXPECT_EQ(camera.image.BayerMode, 1);
}

TEST_F(X11DialogTest, TheKeyboardWorksAsInADialogBox) {
  camera.StoreSizeTable(2, 0, 2);
  Running dialog([this] { return RunCameraDialog(camera, host, 0); });
  ASSERT_NE(dialog.window, 0u);
  // The keyboard starts on the first control that takes it, the colour list.
  ASSERT_TRUE(Xdotool("key Down"));
  ASSERT_TRUE(
      WaitUntil([&] { return OrvexPlatform_GetListSelection(dialog.window, kListColor) == 3; }));
  EXPECT_EQ(OrvexPlatform_IsItemEnabled(dialog.window, kButtonApply), 1);
  // Tab goes on to the size list.
  ASSERT_TRUE(Xdotool("key Tab Down"));
  ASSERT_TRUE(
      WaitUntil([&] { return OrvexPlatform_GetListSelection(dialog.window, kListSize) == 1; }));
  EXPECT_EQ(ItemText(dialog.window, kGeometryEdits[2]), "101");
  // Enter clicks the default button.
  ASSERT_TRUE(Xdotool("key Return"));
  EXPECT_EQ(dialog.Ended(), 1);
  EXPECT_EQ(camera.Stored("", "Color"), 3);
  EXPECT_EQ(camera.Stored("", "Size"), 1);
  EXPECT_EQ(camera.format.Color, 3);
}

// An open drop-down list runs a loop of its own; calls of other threads and the dialog's end do
// not wait for the person to close it: the list closes and they are carried out.
TEST_F(X11DialogTest, AnOpenListGivesWayToCallsAndTheDialogsEnd) {
  camera.StoreSizeTable(2, 0, 2);
  Running dialog([this] { return RunCameraDialog(camera, host, 0); });
  ASSERT_NE(dialog.window, 0u);
  const Rect list = ItemRect(dialog.window, kListColor);
  // A pointer already where it is sent makes no motion for --sync to wait for: each opening
  // clicks at another place on the list.
  int shift = 0;
  const auto openList = [&] {
    return Xdotool("mousemove --sync " + At(list.CentreX() + shift++, list.CentreY()) +
                   " click 1 sleep 0.3");
  };
  ASSERT_TRUE(openList());
  auto text =
      std::async(std::launch::async, [&] { return ItemText(dialog.window, kGeometryEdits[2]); });
  const bool answered = text.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
  if (!answered) Xdotool("key Escape");  // so that the test can end
  ASSERT_TRUE(answered);
  EXPECT_EQ(text.get(), "100");
  ASSERT_TRUE(openList());
  EXPECT_EQ(OrvexPlatform_EndDialog(dialog.window, 2), 1);
  const int ended = dialog.Ended();
  if (ended == -1) Xdotool("key Escape");
  EXPECT_EQ(ended, 1);
}

TEST_F(X11DialogTest, PagesFollowTheirTabInTheKeyboardsOrderAndMnemonicsTakeTurns) {
  const SliderRow& brightness = kImageFilterRows[0];
  camera.format.Color = 3;
  camera.image.Gamma = 100;
  camera.image.G_Gain = 100;
  camera.image.BayerMode = 0;
  Running dialog([this] { return RunImageDialog(camera, host, 0); });
  const OrvexWindow page = dialog.Page();
  ASSERT_NE(page, 0u);
  // The keyboard starts on the tab control; Tab goes on into the page, to its first trackbar.
  ASSERT_TRUE(Xdotool("key Tab Right Right"));
  ASSERT_TRUE(WaitUntil([&] { return TrackbarPosition(page, brightness.trackbar) == 2; }));
  EXPECT_EQ(camera.image.Brightness, 2);
  // "&G Gain" and "&Gamma" share a letter: the first press reaches G Gain, the second Gamma.
  ASSERT_TRUE(Xdotool("key alt+g alt+g End"));
  ASSERT_TRUE(WaitUntil([&] { return TrackbarPosition(page, kGamma.trackbar) == 200; }));
  EXPECT_EQ(TrackbarPosition(page, kImageFilterRows[6].trackbar), 100);
  // The upper arrow of an up-down steps its row.
  const Rect upDown = ItemRect(page, brightness.upDown);
  ASSERT_TRUE(Xdotool("mousemove --sync " + At(upDown.CentreX(), upDown.y + upDown.height / 4) +
                      " click 1"));
  ASSERT_TRUE(WaitUntil([&] { return ItemText(page, brightness.edit) == "3"; }));
  EXPECT_EQ(camera.image.Brightness, 3);
  // The arrow keys move along a group of radio buttons, checking as they go.
  const Rect radio = ItemRect(page, kRadiosBayerMode[0]);
  ASSERT_TRUE(
      Xdotool("mousemove --sync " + At(radio.x + 5, radio.CentreY()) + " click 1 key Right"));
  ASSERT_TRUE(
      WaitUntil([&] { return OrvexPlatform_IsItemChecked(page, kRadiosBayerMode[1]) == 1; }));
  EXPECT_EQ(OrvexPlatform_IsItemChecked(page, kRadiosBayerMode[0]), 0);
  EXPECT_EQ(camera.image.BayerMode, 1);
  EXPECT_EQ(OrvexPlatform_ClickItem(dialog.window, kButtonCancel), 1);
  EXPECT_EQ(dialog.Ended(), 1);
}

TEST_F(X11DialogTest, DigitsOnlyEditsMnemonicsAndEscape) {
  camera.SetRegister(kExposureRegister, 120);
  Running dialog([this] { return RunAnalogDialog(camera, host, 0); });
  const OrvexWindow page = dialog.Page();
  ASSERT_NE(page, 0u);
  const Rect edit = ItemRect(page, kExposure.edit);
  // Typed into the exposure edit: the letter is refused, each digit reaches the camera.
  ASSERT_TRUE(Xdotool("mousemove --sync " + At(edit.CentreX(), edit.CentreY()) +
                      " click 1 key ctrl+a type 7x9"));
  ASSERT_TRUE(WaitUntil([&] { return ItemText(page, kExposure.edit) == "79"; }));
  EXPECT_EQ(camera.ExposureWrites().back(), 79);
  // The up-down's arrow keys step the edit it serves.
  ASSERT_TRUE(Xdotool("key Up Up"));
  ASSERT_TRUE(WaitUntil([&] { return ItemText(page, kExposure.edit) == "81"; }));
  EXPECT_EQ(TrackbarPosition(page, kExposure.trackbar), 81);
  // Alt+D: "Default(&D)" writes 40 at once.
  ASSERT_TRUE(Xdotool("key alt+d"));
  ASSERT_TRUE(WaitUntil([&] { return ItemText(page, kExposure.edit) == "40"; }));
  EXPECT_EQ(camera.ExposureWrites().back(), 40);
  // Escape cancels: the exposure read at opening goes back to the camera.
  ASSERT_TRUE(Xdotool("key Escape"));
  EXPECT_EQ(dialog.Ended(), 1);
  EXPECT_EQ(camera.ExposureWrites().back(), 120);
}

// The top-level windows that are transient for `owner`.
std::vector<Window> TransientsOf(Display* display, Window owner) {
  std::vector<Window> found;
  Window root = 0, parent = 0, *children = nullptr;
  unsigned count = 0;
  if (!XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count)) {
    return found;
  }
  for (unsigned i = 0; i < count; ++i) {
    Window transientFor = 0;
    if (XGetTransientForHint(display, children[i], &transientFor) && transientFor == owner) {
      found.push_back(children[i]);
    }
  }
  XFree(children);
  return found;
}

TEST_F(X11DialogTest, TheOwnerTakesNoInputWhileItsDialogIsOpen) {
  Display* display = app.get();
  const Window owner = app.MakeWindow(100, 80, 900, 700);
  XSelectInput(display, owner, ButtonPressMask);
  XSync(display, False);
  // Waiting for a click that must not come costs the whole wait; one that must come, only its own.
  const auto clickedOwner = [&](std::chrono::milliseconds wait) {
    XEvent event;
    return app.WaitForEvent(&event, wait, [&](const XEvent& e) {
      return e.type == ButtonPress && e.xbutton.window == owner;
    });
  };
  {
    Running dialog([&] { return RunCameraDialog(camera, host, owner); });
    ASSERT_NE(dialog.window, 0u);
    // Centred on its owner and transient for it.
    int32_t x = 0, y = 0, width = 0, height = 0;
    ASSERT_EQ(OrvexPlatform_GetWindowRect(dialog.window, &x, &y, &width, &height), 1);
    EXPECT_NEAR(x + width / 2, 100 + 450, 1);
    EXPECT_NEAR(y + height / 2, 80 + 350, 1);
    EXPECT_EQ(TransientsOf(display, owner).size(), 1u);
    // A click on the owner, away from the dialog, does not reach it.
    ASSERT_TRUE(Xdotool("mousemove --sync " + At(110, 90) + " click 1"));
    EXPECT_FALSE(clickedOwner(std::chrono::milliseconds(1500)));
    EXPECT_EQ(OrvexPlatform_ClickItem(dialog.window, kButtonCancel), 1);
    EXPECT_EQ(dialog.Ended(), 1);
  }
  ASSERT_TRUE(Xdotool("mousemove --sync " + At(112, 92) + " click 1"));
  EXPECT_TRUE(clickedOwner(std::chrono::seconds(20)));
  EXPECT_TRUE(TransientsOf(display, owner).empty());
}

// The top-level windows of the dialogs drawn now: they carry the dialogs' title.
int DrawnDialogs(Display* display) {
  int count = 0;
  Window root = 0, parent = 0, *children = nullptr;
  unsigned number = 0;
  XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &number);
  for (unsigned i = 0; i < number; ++i) {
    char* name = nullptr;
    XWindowAttributes attributes{};
    if (XFetchName(display, children[i], &name) && name != nullptr) {
      count += std::string(name) == "Property" &&
               XGetWindowAttributes(display, children[i], &attributes) &&
               attributes.map_state == IsViewable;
      XFree(name);
    }
  }
  XFree(children);
  return count;
}

// One thread draws dialogs at a time: one opened meanwhile on another thread is headless, and
// works all the same.
TEST_F(X11DialogTest, ADialogOnAnotherThreadIsHeadlessWhileOneIsDrawn) {
  FakeCamera second;
  Running drawn([&] { return RunCameraDialog(camera, host, 0); });
  ASSERT_NE(drawn.window, 0u);
  ASSERT_TRUE(WaitUntil([&] { return DrawnDialogs(app.get()) == 1; }));
  {
    Running headless([&] { return RunAnalogDialog(second, host, 0); }, drawn.window);
    ASSERT_NE(headless.window, 0u);
    ASSERT_NE(headless.window, drawn.window);
    EXPECT_EQ(OrvexPlatform_MoveTrackbar(headless.Page(), kExposure.trackbar, 77), 1);
    EXPECT_EQ(ItemText(headless.Page(), kExposure.edit), "77");
    EXPECT_EQ(DrawnDialogs(app.get()), 1);
    EXPECT_EQ(OrvexPlatform_ClickItem(headless.window, kButtonOk), 1);
    EXPECT_EQ(headless.Ended(), 1);
  }
  EXPECT_EQ(OrvexPlatform_ClickItem(drawn.window, kButtonCancel), 1);
  EXPECT_EQ(drawn.Ended(), 1);
  EXPECT_TRUE(WaitUntil([&] { return DrawnDialogs(app.get()) == 0; }));
  // The next one is drawn again, whatever thread opens it.
  Running next([&] { return RunAnalogDialog(second, host, 0); });
  EXPECT_TRUE(WaitUntil([&] { return DrawnDialogs(app.get()) == 1; }));
}

// Without a font for Japanese, dialogs drawn on the display are English even in a Japanese
// locale; headless ones keep the locale's language. In a process of its own, whose fontconfig
// finds no fonts at all.
TEST_F(X11DialogTest, WithoutAJapaneseFontDrawnDialogsAreEnglish) {
  ::testing::FLAGS_gtest_death_test_style = "threadsafe";
  OrvexPlatform_SetSystemLanguage(0);
  const auto languageWithoutFonts = [](bool onScreen) {
    const std::string config = ::testing::TempDir() + "/orvex-no-fonts.conf";
    std::FILE* file = std::fopen(config.c_str(), "w");
    std::fputs("<?xml version=\"1.0\"?><fontconfig><dir>/nonexistent</dir></fontconfig>\n", file);
    std::fclose(file);
    setenv("FONTCONFIG_FILE", config.c_str(), 1);
    setenv("LANG", "ja_JP.UTF-8", 1);
    unsetenv("LC_ALL");
    unsetenv("LC_MESSAGES");
    OrvexPlatform_SetDialogsOnScreen(onScreen ? 1 : 0);
    std::exit(OrvexPlatform_GetSystemLanguage() == 1041 ? 41 : 33);
  };
  EXPECT_EXIT(languageWithoutFonts(true), ::testing::ExitedWithCode(33), "");
  EXPECT_EXIT(languageWithoutFonts(false), ::testing::ExitedWithCode(41), "");
}

int hostErrors = 0;
int CountHostError(Display*, XErrorEvent*) {
  ++hostErrors;
  return 0;
}
int HostIoError(Display*) {
  return 0;
}

TEST_F(X11DialogTest, TheApplicationsHandlersAndLocaleStayAsTheyWere) {
  Display* display = app.get();
  ASSERT_NE(std::setlocale(LC_ALL, "C.UTF-8"), nullptr);
  const std::string locale = std::setlocale(LC_ALL, nullptr);
  hostErrors = 0;
  const XErrorHandler previousError = XSetErrorHandler(CountHostError);
  const XIOErrorHandler previousIo = XSetIOErrorHandler(HostIoError);
  const Window owner = app.MakeWindow(50, 50, 800, 600);
  {
    Running dialog([&] { return RunCameraDialog(camera, host, owner); });
    ASSERT_NE(dialog.window, 0u);
    // The application destroys the owner under the dialog: what the library still does with it
    // fails on the library's own connection and must not reach the application's handler.
    XDestroyWindow(display, owner);
    XSync(display, False);
    EXPECT_EQ(OrvexPlatform_ClickItem(dialog.window, kButtonCancel), 1);
    EXPECT_EQ(dialog.Ended(), 1);
  }
  EXPECT_EQ(hostErrors, 0);
  EXPECT_EQ(std::string(std::setlocale(LC_ALL, nullptr)), locale);
  EXPECT_EQ(XSetIOErrorHandler(previousIo), HostIoError);
  // The application's own errors still reach its handler.
  XMapWindow(display, owner);
  XSync(display, False);
  EXPECT_EQ(hostErrors, 1);
  EXPECT_EQ(XSetErrorHandler(previousError), CountHostError);
  std::setlocale(LC_ALL, "C");
}

}  // namespace
}  // namespace orvex::dialogs::testing
