// Frames drawn a second into an X window at 1280 x 1024: the direct paths of a colour and a
// gray frame and a scaled colour frame, each through XShm and through plain XPutImage. Needs
// an X display ($DISPLAY, e.g. Xvfb); without one the cases report an error and do nothing.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdint>
#include <vector>

#include "platform/x11/x11_window_system.h"

namespace orvex::platform::x11 {
namespace {

constexpr std::int32_t kWidth = 1280;
constexpr std::int32_t kHeight = 1024;

enum Path { kDirectColor, kDirectGray, kScaledColor };

void DrawFrames(benchmark::State& state) {
  const char* display = getenv("DISPLAY");
  if (display == nullptr || *display == '\0') {
    state.SkipWithError("no X display (DISPLAY)");
    return;
  }
  const auto path = static_cast<Path>(state.range(0));
  X11WindowSystem windows(X11WindowSystem::Options{"", state.range(1) != 0});
  // The scaled case fills a window of three quarters the frame's size.
  const std::int32_t width = path == kScaledColor ? kWidth * 3 / 4 : kWidth;
  const std::int32_t height = path == kScaledColor ? kHeight * 3 / 4 : kHeight;
  const WindowHandle window =
      windows.CreateTopLevelWindow("bench", "x11 bench", 0, 0, width, height);
  const GraphicsHandle dc = window != 0 ? windows.GetWindowDc(window) : 0;
  if (dc == 0) {
    state.SkipWithError("no window to draw into");
    if (window != 0) windows.DestroyWindow(window);
    return;
  }

  BitmapInfoHeader header;
  header.width = kWidth;
  header.height = path == kDirectGray ? -kHeight : kHeight;
  header.planes = 1;
  header.bitCount = path == kDirectGray ? 8 : 24;
  const std::size_t stride = (static_cast<std::size_t>(kWidth) * header.bitCount / 8 + 3) & ~3u;
  std::vector<std::uint8_t> pixels(stride * kHeight);
  for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<std::uint8_t>(i * 13);
  std::vector<RgbQuad> gray(256);
  for (int i = 0; i < 256; ++i) {
    const auto v = static_cast<std::uint8_t>(i);
    gray[i] = RgbQuad{v, v, v, 0};
  }
  const BitmapView view{0, pixels.data(), &header, gray.data()};

  for (auto _ : state) {
    bool drawn = false;
    switch (path) {
      case kDirectColor:
        drawn = windows.StretchBlt(dc, 0, 0, kWidth, kHeight, view, 0, kHeight, kWidth, -kHeight);
        break;
      case kDirectGray:
        drawn =
            windows.SetDiBitsToDevice(dc, 0, 0, kWidth, kHeight, 0, 0, 0, kHeight, view) == kHeight;
        break;
      case kScaledColor:
        drawn = windows.StretchBlt(dc, 0, 0, width, height, view, 0, kHeight, kWidth, -kHeight);
        break;
    }
    if (!drawn) {
      state.SkipWithError("drawing failed");
      break;
    }
  }
  state.SetItemsProcessed(state.iterations());  // items: frames
  windows.ReleaseWindowDc(window, dc);
  windows.DestroyWindow(window);
}
BENCHMARK(DrawFrames)
    ->ArgNames({"path", "shm"})
    ->ArgsProduct({{kDirectColor, kDirectGray, kScaledColor}, {1, 0}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
}  // namespace orvex::platform::x11
