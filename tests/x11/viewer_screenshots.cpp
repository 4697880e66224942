// Pictures of orvex preview for the documentation: the viewer with its live picture, and each
// property dialog opened over it with its key, in English and Japanese:
//   orvex_viewer_screenshots OUTPUT_DIRECTORY
// writes viewer.png and viewer-<camera|analog|image>-<en|ja>.png there
// (scripts/dialog-screenshots.sh runs it under Xvfb).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>

#include "x11/screen_picture.h"
#include "x11/viewer_session.h"

namespace {

using orvex::testing::ScreenRect;
using orvex::testing::TestDisplay;
using orvex::testing::ViewerSession;

// A user who works in 32-bit colour with the full sensor, and keeps a smaller size too.
constexpr char kSettings[] =
    "Windows Registry Editor Version 5.00\n\n"
    "[HKEY_CURRENT_USER\\Software\\Helvane\\OrvexQX218Sdk]\n"
    "\"Size\"=dword:00000000\n\"Color\"=dword:00000003\n\"SubSample\"=dword:00000000\n"
    "\"WaitTime\"=dword:0000000a\n\"Clock\"=dword:00000000\n\n"
    "[HKEY_CURRENT_USER\\Software\\Helvane\\OrvexQX218Sdk\\Size_00]\n"
    "\"TH\"=dword:00000528\n\"TV\"=dword:00000400\n\"EH\"=dword:00000500\n"
    "\"EV\"=dword:00000400\n\"EHS\"=dword:00000027\n\"EVS\"=dword:00000000\n"
    "\"Buf\"=dword:00000014\n\n"
    "[HKEY_CURRENT_USER\\Software\\Helvane\\OrvexQX218Sdk\\Size_01]\n"
    "\"TH\"=dword:00000528\n\"TV\"=dword:00000400\n\"EH\"=dword:00000280\n"
    "\"EV\"=dword:000001e0\n\"EHS\"=dword:00000167\n\"EVS\"=dword:00000110\n"
    "\"Buf\"=dword:00000014\n\n";

// The smallest rectangle around both.
ScreenRect Around(const ScreenRect& a, const ScreenRect& b) {
  const int left = std::min(a.x, b.x), top = std::min(a.y, b.y);
  const int right = std::max(a.x + a.width, b.x + b.width);
  const int bottom = std::max(a.y + a.height, b.y + b.height);
  return ScreenRect{left, top, right - left, bottom - top};
}

bool Save(TestDisplay& display, const ScreenRect& rect, const std::filesystem::path& file) {
  // The server draws what the last requests asked for before it answers the next one.
  XSync(display.get(), False);
  const bool ok =
      orvex::testing::SaveScreenPicture(display, rect.x, rect.y, rect.width, rect.height, file);
  std::printf("%s %s\n", ok ? "wrote" : "FAILED", file.c_str());
  return ok;
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
  if (*display.Unusable() != '\0' || !orvex::testing::HaveXdotool()) {
    std::fprintf(stderr, "needs an X display with 24-bit colour and xdotool\n");
    return 1;
  }
  bool ok = true;
  for (const char* language : {"en", "ja"}) {
    ViewerSession viewer(display, ORVEX_TOOL_PATH,
                         {"--lang", language, "--size", "640,512", "--auto-exposure"}, kSettings);
    if (!viewer.Started()) {
      std::fprintf(stderr, "orvex preview did not start\n");
      return 1;
    }
    std::this_thread::sleep_for(std::chrono::seconds(2));  // the exposure settles
    const ScreenRect window = viewer.Rect(viewer.window());
    if (std::string(language) == "en") ok = Save(display, window, directory / "viewer.png") && ok;
    for (const char* dialog : {"camera", "analog", "image"}) {
      const Window open =
          viewer.TypeIntoViewer(std::string(1, dialog[0])) ? viewer.WaitForDialog() : 0;
      if (open == 0) {
        std::fprintf(stderr, "the %s dialog did not open\n", dialog);
        ok = false;
        continue;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(800));
      const std::string name = std::string("viewer-") + dialog + "-" + language + ".png";
      ok = Save(display, Around(window, viewer.Rect(open)), directory / name) && ok;
      ok = ViewerSession::Type("Escape") && viewer.WaitUntilNoDialog() && ok;
    }
  }
  return ok ? 0 : 1;
}
