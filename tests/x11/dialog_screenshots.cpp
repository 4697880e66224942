// Pictures of every dialog and page in English and Japanese, drawn on the X display by the
// dialogs' own procedures over a stand-in camera, for the documentation:
//   orvex_dialog_screenshots OUTPUT_DIRECTORY
// writes dialog-<name>-<en|ja>.png there (scripts/dialog-screenshots.sh runs it under Xvfb).
// clang-format off
#include "dialogs/dialog_test_support.h"
#include "x11/screen_picture.h"
// clang-format on

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "dialogs/analog_dialog.h"
#include "dialogs/camera_dialog.h"
#include "dialogs/dialog_controls.h"
#include "dialogs/image_dialog.h"

namespace {

using orvex::dialogs::testing::FakeCamera;
using orvex::testing::SaveScreenPicture;
using orvex::testing::TestDisplay;
namespace dialogs = orvex::dialogs;

// Writes what the screen shows of the window to a PNG file.
bool Capture(TestDisplay& display, OrvexWindow window, const std::filesystem::path& file) {
  int32_t x = 0, y = 0, width = 0, height = 0;
  return OrvexPlatform_GetWindowRect(window, &x, &y, &width, &height) == 1 &&
         SaveScreenPicture(display, x, y, width, height, file);
}

// Runs a dialog on a thread of its own, as an application's thread would, lets `pose` set it
// up, takes its picture (or pictures) and cancels it.
bool Shoot(TestDisplay& display, const std::function<int()>& run,
           const std::function<void(OrvexWindow, const std::function<bool(const char*)>&)>& pose,
           const std::filesystem::path& directory, const std::string& language) {
  auto result = std::async(std::launch::async, run);
  const OrvexWindow window = OrvexPlatform_WaitForDialog(10000);
  if (window == 0) return false;
  bool written = true;
  pose(window, [&](const char* name) {
    // Once a query has come back the picture shows the model; give the server time to draw.
    OrvexPlatform_GetTemplateId(window);
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    XSync(display.get(), False);
    const auto file = directory / ("dialog-" + std::string(name) + "-" + language + ".png");
    const bool ok = Capture(display, window, file);
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", file.c_str());
    written = written && ok;
    return ok;
  });
  OrvexPlatform_ClickItem(window, dialogs::kButtonCancel);
  result.wait();
  return written;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT_DIRECTORY\n", argv[0]);
    return 2;
  }
  const std::filesystem::path directory = argv[1];
  std::filesystem::create_directories(directory);
  TestDisplay display;
  if (*display.Unusable() != '\0' || OrvexPlatform_GetDialogsOnScreen() != 1) {
    std::fprintf(stderr, "no X display to draw the dialogs on\n");
    return 1;
  }
  orvex::platform::DialogHost& host = orvex::platform::Dialogs();
  bool ok = true;
  for (const auto& [languageId, language] : {std::pair{1033, "en"}, std::pair{1041, "ja"}}) {
    OrvexPlatform_SetSystemLanguage(languageId);
    FakeCamera camera;
    camera.StoreSizeTable(3, 1, 3);
    camera.SetRegister(dialogs::kExposureRegister, 120);
    camera.image.Gamma = 100;
    camera.image.R_Gain = camera.image.G_Gain = camera.image.B_Gain = 100;
    camera.image.BayerMode = 3;
    camera.image.GainR1 = camera.image.GainG1 = camera.image.GainG2 = camera.image.GainB1 = 128;
    ok = Shoot(
             display, [&] { return dialogs::RunCameraDialog(camera, host, 0); },
             [](OrvexWindow, const auto& shoot) { shoot("camera"); }, directory, language) &&
         ok;
    ok = Shoot(
             display, [&] { return dialogs::RunAnalogDialog(camera, host, 0); },
             [](OrvexWindow, const auto& shoot) { shoot("analog"); }, directory, language) &&
         ok;
    camera.format.Color = 3;
    ok = Shoot(
             display, [&] { return dialogs::RunImageDialog(camera, host, 0); },
             [](OrvexWindow, const auto& shoot) { shoot("image-filter"); }, directory, language) &&
         ok;
    camera.format.Color = 0;
    ok = Shoot(
             display, [&] { return dialogs::RunImageDialog(camera, host, 0); },
             [](OrvexWindow window, const auto& shoot) {
               OrvexPlatform_SelectTab(window, dialogs::kTabControl, 1);
               shoot("gray-filter");
             },
             directory, language) &&
         ok;
  }
  return ok ? 0 : 1;
}
