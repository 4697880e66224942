// Frames drawn a second at 1280 x 1024 into a preview window on the headless screen: the direct
// path (window of the image's size) and the scaled one, for gray and colour formats.
#include <benchmark/benchmark.h>
#include <orvex/platform.h>

#include <memory>
#include <string>

#include "base/camera_settings.h"
#include "display/preview_window.h"
#include "imaging/frame_images.h"
#include "imaging/image_buffer.h"
#include "platform/headless/headless_window_system.h"
#include "platform/platform_services.h"

namespace orvex {
namespace {

constexpr std::int32_t kWidth = 1280;
constexpr std::int32_t kHeight = 1024;

// Arguments: ColorType, client width, client height.
void DisplayDrawFrame(benchmark::State& state) {
  static platform::HeadlessWindowSystem headless;
  platform::InstallPlatformServices({nullptr, nullptr, &headless, nullptr});
  {
    const auto color = static_cast<std::int32_t>(state.range(0));
    const auto width = static_cast<std::int32_t>(state.range(1));
    const auto height = static_cast<std::int32_t>(state.range(2));

    // The images of a 1280 x 1024 capture and a preview window, without a camera.
    FrameImages images;
    images.Make(headless);
    images.RawImage8->Create(kWidth, kHeight, 8);
    images.RawImage16->Create(kWidth, kHeight, 16);
    images.ColorImage24->Create(kWidth, kHeight, 24);
    images.ColorImage48->Create(kWidth, kHeight, 48);
    for (ImageBuffer* image : {images.RawImage8.get(), images.RawImage16.get(),
                               images.ColorImage24.get(), images.ColorImage48.get()}) {
      for (std::size_t i = 0; i < image->ByteSize(); ++i) {
        image->pixels[i] = static_cast<std::uint8_t>(i * 7 + i / 4096);
      }
    }
    const CameraSettings settings;
    PreviewWindow preview(0, settings);

    const OrvexWindow parent = OrvexPlatform_CreateWindow(0, 0, 0, width, height);
    const OrvexWindow window =
        OrvexPlatform_CreateWindowEx(parent, "bench", ORVEX_PLATFORM_VISIBLE, 0, 0, width, height);
    preview.Attach(window, window);

    for (auto _ : state) preview.DrawFrame(images, color);
    state.SetItemsProcessed(state.iterations());  // frames a second
    if (OrvexPlatform_DrawCount(window) != state.iterations()) state.SkipWithError("not drawn");

    preview.Attach(0, 0);
    OrvexPlatform_DestroyWindow(parent);
    images.Destroy();
  }
  platform::ResetPlatformServices();
}
BENCHMARK(DisplayDrawFrame)
    ->ArgNames({"color", "width", "height"})
    ->Args({0, kWidth, kHeight})          // direct, 8-bit
    ->Args({2, kWidth, kHeight})          // direct, 24-bit: one mirrored blit
    ->Args({4, kWidth, kHeight})          // direct after narrowing 48 bits to 24
    ->Args({1, kWidth, kHeight})          // 16-bit: narrowed, then scaled 1:1
    ->Args({0, kWidth / 2, kHeight / 2})  // scaled, 8-bit
    ->Args({2, kWidth / 2, kHeight / 2})  // scaled, 24-bit
    ->Args({2, kWidth + 1, kHeight})      // scaled, 24-bit, one column wider
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace orvex
