// Pictures of every dialog and page in English and Japanese, drawn on the X display by the
// dialogs' own procedures over a stand-in camera, for the documentation:
//   orvex_dialog_screenshots OUTPUT_DIRECTORY
// writes dialog-<name>-<en|ja>.png there (scripts/dialog-screenshots.sh runs it under Xvfb).
// clang-format off
#include "dialogs/dialog_test_support.h"
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <png.h>
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
namespace dialogs = orvex::dialogs;

// Writes what the screen shows of the window to a PNG file.
bool Capture(Display* display, OrvexWindow window, const std::filesystem::path& file) {
  int32_t x = 0, y = 0, width = 0, height = 0;
  if (OrvexPlatform_GetWindowRect(window, &x, &y, &width, &height) != 1) return false;
  XImage* image = XGetImage(display, DefaultRootWindow(display), x, y, static_cast<unsigned>(width),
                            static_cast<unsigned>(height), AllPlanes, ZPixmap);
  if (image == nullptr) return false;
  std::vector<png_byte> rgb(static_cast<std::size_t>(width) * height * 3);
  for (int row = 0; row < height; ++row) {
    for (int column = 0; column < width; ++column) {
      const unsigned long pixel = XGetPixel(image, column, row);
      png_byte* at = &rgb[(static_cast<std::size_t>(row) * width + column) * 3];
      at[0] = static_cast<png_byte>((pixel & image->red_mask) >> 16);
      at[1] = static_cast<png_byte>((pixel & image->green_mask) >> 8);
      at[2] = static_cast<png_byte>(pixel & image->blue_mask);
    }
  }
  XDestroyImage(image);
  png_image png{};
  png.version = PNG_IMAGE_VERSION;
  png.width = static_cast<png_uint_32>(width);
  png.height = static_cast<png_uint_32>(height);
  png.format = PNG_FORMAT_RGB;
  return png_image_write_to_file(&png, file.c_str(), 0, rgb.data(), 0, nullptr) != 0;
}

// Runs a dialog on a thread of its own, as an application's thread would, lets `pose` set it
// up, takes its picture (or pictures) and cancels it.
bool Shoot(Display* display, const std::function<int()>& run,
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
    XSync(display, False);
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
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr || OrvexPlatform_GetDialogsOnScreen() != 1) {
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
  XCloseDisplay(display);
  return ok ? 0 : 1;
}
