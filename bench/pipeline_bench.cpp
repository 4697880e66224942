// The whole FramePipeline at 1280 x 1024 on one thread, per ColorType, at neutral settings and
// with every filter stage on, run straight on the images in plain memory: no camera, no
// transfer, no pacing.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "base/camera_settings.h"
#include "imaging/color_type.h"
#include "imaging/frame_images.h"
#include "imaging/frame_pipeline.h"
#include "imaging/hue_table.h"
#include "imaging/image_buffer.h"
#include "imaging/processor_info.h"
#include "platform/window_system.h"

namespace orvex {
namespace {

constexpr std::int32_t kWidth = 1280;
constexpr std::int32_t kHeight = 1024;

// No bitmaps of a graphics service: the images live in plain memory.
class MemoryWindows final : public platform::WindowSystem {
 public:
  bool PostWindowMessage(platform::WindowHandle, std::uint32_t, std::uintptr_t,
                         std::intptr_t) override {
    return false;
  }
};

// The filter stages to switch on, as bits.
enum Stage : unsigned {
  kHueSaturation = 1,
  kGamma = 2,
  kContrast = 4,
  kSharpness = 8,
  kBrightness = 16,
  kAllStages = 31,
};

// The images that PrepareCapture makes for one ColorType, a raw frame that looks like a
// camera's (smooth with noise), and the settings of the run.
class PipelineContext {
 public:
  PipelineContext(std::int32_t color, std::int32_t grayMode, unsigned stages) : color_(color) {
    IdentifyProcessor(&processor_);
    BuildHueTable(hues_);
    settings_.analog.AutoIris = 0;
    ImageSettings& s = settings_.image;
    s.Brightness = s.Contrast = s.Hue = s.Saturation = s.Sharpness = 0;
    s.R_Gain = s.G_Gain = s.B_Gain = s.Gamma = 100;
    s.BayerMode = 3;
    s.GrayMode = grayMode;
    s.BayerGainAuto = 0;
    if (stages & kHueSaturation) {
      s.Hue = 30;
      s.Saturation = 40;
    }
    if (stages & kGamma) s.Gamma = 60;
    if (stages & kContrast) s.Contrast = 40;
    if (stages & kSharpness) s.Sharpness = 15;
    if (stages & kBrightness) s.Brightness = 30;
    ok_ = images_.Make(windows_) && images_.CreateFor(color, kWidth, kHeight);
    if (!ok_) return;
    ImageBuffer& raw = *images_.RawImageFor(color);
    std::mt19937 random(7);
    const bool words = raw.bitsPerPixel == 16;
    for (std::int32_t row = 0; row < kHeight; ++row) {
      for (std::int32_t column = 0; column < kWidth; ++column) {
        const int v = std::min(255, (column / 5 + row / 4) % 256 + static_cast<int>(random() % 24));
        std::uint8_t* at = raw.pixels + static_cast<std::size_t>(row) * raw.stride;
        if (words) {
          const auto w = static_cast<std::uint16_t>(v * 4 + random() % 4);
          std::memcpy(at + 2 * column, &w, 2);
        } else {
          at[column] = static_cast<std::uint8_t>(v);
        }
      }
    }
    frame_.assign(raw.pixels, raw.pixels + raw.ByteSize());
  }
  ~PipelineContext() { images_.Destroy(); }

  bool ok() const { return ok_; }
  void Run() {
    FramePipeline(PipelineInputs{color_, settings_.image, settings_.analog, processor_, hues_},
                  images_);
  }
  // The gray outputs are the raw image itself: each frame starts from the camera's samples.
  bool InPlace() const { return IsGrayType(color_); }
  void RestoreFrame() {
    ImageBuffer& raw = *images_.RawImageFor(color_);
    std::memcpy(raw.pixels, frame_.data(), frame_.size());
  }
  std::size_t OutputBytes() const { return images_.OutputImageFor(color_)->ByteSize(); }

 private:
  const std::int32_t color_;
  MemoryWindows windows_;
  CameraSettings settings_;
  ProcessorInfo processor_;
  HueTable hues_{};
  FrameImages images_;
  std::vector<std::uint8_t> frame_;
  bool ok_ = false;
};

void RunPipeline(benchmark::State& state, std::int32_t color, std::int32_t grayMode,
                 unsigned stages) {
  PipelineContext pipeline(color, grayMode, stages);
  if (!pipeline.ok()) {
    state.SkipWithError("no memory for the images");
    return;
  }
  for (auto _ : state) {
    if (pipeline.InPlace()) {
      state.PauseTiming();
      pipeline.RestoreFrame();
      state.ResumeTiming();
    }
    pipeline.Run();
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(pipeline.OutputBytes()));
  state.counters["ms/frame"] =
      benchmark::Counter(1e-3 * static_cast<double>(state.iterations()),
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// Neutral settings, every filter stage on, and (to see where the time goes) each stage alone.
const bool kRegistered = [] {
  struct Shape {
    const char* name;
    std::int32_t color;
    std::int32_t grayMode;
  };
  const Shape shapes[] = {{"0_gray8", 0, 0},    {"0_gray8_luminance", 0, 2}, {"1_gray16", 1, 0},
                          {"2_pseudo24", 2, 0}, {"3_bgrx32", 3, 0},          {"4_bgr48", 4, 0},
                          {"5_bgrx64", 5, 0}};
  const std::pair<const char*, unsigned> variants[] = {{"neutral", 0},
                                                       {"all_filters", kAllStages},
                                                       {"only_hue_saturation", kHueSaturation},
                                                       {"only_gamma", kGamma},
                                                       {"only_contrast", kContrast},
                                                       {"only_sharpness", kSharpness},
                                                       {"only_brightness", kBrightness}};
  for (const Shape& shape : shapes) {
    for (const auto& [variant, stages] : variants) {
      // Gray images have no hue and saturation stage.
      if (stages == kHueSaturation && shape.color < 2) continue;
      const std::string name = std::string("Pipeline/ColorType") + shape.name + "/" + variant;
      benchmark::RegisterBenchmark(name.c_str(), RunPipeline, shape.color, shape.grayMode, stages)
          ->Unit(benchmark::kMillisecond);
    }
  }
  return true;
}();

}  // namespace
}  // namespace orvex
