// Frames drawn a second at 1280 x 1024 into a preview window on the headless screen: the direct
// path (window of the image's size) and the scaled one, for gray and colour formats.
#include <benchmark/benchmark.h>
#include <orvex/platform.h>
#include <stdlib.h>

#include <filesystem>
#include <memory>
#include <string>

#include "core/camera_context.h"
#include "imaging/image_buffer.h"
#include "platform/platform_services.h"
#include "platform/headless/headless_window_system.h"

namespace orvex {
namespace {

constexpr std::int32_t kWidth = 1280;
constexpr std::int32_t kHeight = 1024;

// The context saves its settings when it goes: into a directory of the run's own.
class DisplayScratchSettings {
 public:
  DisplayScratchSettings() {
    std::string pattern = (std::filesystem::temp_directory_path() / "orvex-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr) {
      directory_ = pattern;
      setenv("XDG_CONFIG_HOME", directory_.c_str(), 1);
    }
  }
  ~DisplayScratchSettings() {
    std::error_code ignored;
    if (!directory_.empty()) std::filesystem::remove_all(directory_, ignored);
  }

 private:
  std::filesystem::path directory_;
};

// Arguments: ColorType, client width, client height.
void DisplayDrawFrame(benchmark::State& state) {
  static DisplayScratchSettings settings;
  static platform::HeadlessWindowSystem headless;
  platform::InstallPlatformServices({nullptr, nullptr, &headless, nullptr});
  {
    const auto color = static_cast<std::int32_t>(state.range(0));
    const auto width = static_cast<std::int32_t>(state.range(1));
    const auto height = static_cast<std::int32_t>(state.range(2));

    // The images of a 1280 x 1024 capture and a preview window, without a camera.
    auto context = std::make_unique<CameraContext>();
    for (auto* image : {&context->RawImage8, &context->RawImage16, &context->ColorImage24,
                        &context->ColorImage32, &context->ColorImage48, &context->ColorImage64,
                        &context->ScratchImage, &context->DisplayImage}) {
      *image = std::make_unique<ImageBuffer>(headless);
    }
    context->RawImage8->Create(kWidth, kHeight, 8);
    context->RawImage16->Create(kWidth, kHeight, 16);
    context->ColorImage24->Create(kWidth, kHeight, 24);
    context->ColorImage48->Create(kWidth, kHeight, 48);
    for (ImageBuffer* image : {context->RawImage8.get(), context->RawImage16.get(),
                               context->ColorImage24.get(), context->ColorImage48.get()}) {
      for (std::size_t i = 0; i < image->ByteSize(); ++i) {
        image->pixels[i] = static_cast<std::uint8_t>(i * 7 + i / 4096);
      }
    }
    context->format.Color = color;

    const OrvexWindow parent = OrvexPlatform_CreateWindow(0, 0, 0, width, height);
    const OrvexWindow window =
        OrvexPlatform_CreateWindowEx(parent, "bench", ORVEX_PLATFORM_VISIBLE, 0, 0, width, height);
    context->previewWindow = window;
    context->previewDc = window;

    for (auto _ : state) context->DrawFrame();
    state.SetItemsProcessed(state.iterations());  // frames a second
    if (OrvexPlatform_DrawCount(window) != state.iterations()) state.SkipWithError("not drawn");

    context->previewWindow = 0;
    context->previewDc = 0;
    OrvexPlatform_DestroyWindow(parent);
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
