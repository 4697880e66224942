// The whole FramePipeline at 1280 x 1024, per ColorType, at neutral settings and with every
// filter stage on, on one thread and shared with a second, run straight on the images in plain
// memory (no camera, no transfer, no pacing); beside each a memcpy of the output's bytes. And
// LuminanceKernel beside OpenCV's BGR2GRAY when OpenCV is there. Times are wall-clock; the CPU
// column counts every thread of the process.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "base/camera_settings.h"
#include "imaging/band_workers.h"
#include "imaging/color_conversion.h"
#include "imaging/color_type.h"
#include "imaging/frame_images.h"
#include "imaging/frame_pipeline.h"
#include "imaging/hue_table.h"
#include "imaging/image_buffer.h"
#include "imaging/processor_info.h"
#include "pipeline_scaffold.h"

#ifdef ORVEX_HAVE_OPENCV
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#endif

namespace orvex {
namespace {

using bench::kHeight;
using bench::kWidth;
using bench::MemoryWindows;

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
    bench::SetNeutralSettings(settings_, grayMode);
    ImageSettings& s = settings_.image;
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
  void Run(BandWorkers* workers) {
    FramePipeline(
        PipelineInputs{color_, settings_.image, settings_.analog, processor_, hues_, workers},
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
                 unsigned stages, int threads) {
  PipelineContext pipeline(color, grayMode, stages);
  if (!pipeline.ok()) {
    state.SkipWithError("no memory for the images");
    return;
  }
  BandWorkers workers(threads);
  if (workers.Threads() != threads) {
    state.SkipWithError("threads refused");
    return;
  }
  for (auto _ : state) {
    if (pipeline.InPlace()) {
      state.PauseTiming();
      pipeline.RestoreFrame();
      state.ResumeTiming();
    }
    pipeline.Run(threads > 1 ? &workers : nullptr);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(pipeline.OutputBytes()));
  state.counters["ms/frame"] =
      benchmark::Counter(1e-3 * static_cast<double>(state.iterations()),
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void RunMemcpy(benchmark::State& state, std::size_t bytes) {
  std::vector<std::uint8_t> from(bytes, 1), to(bytes, 2);
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), bytes);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(bytes));
}

// The neutral frame and the memcpy of its output measured in turns a few milliseconds apart,
// so that the machine's drift from minute to minute falls on both alike and their ratio says
// more than two separate runs. Each turn repeats the copy and then the frame twice and times
// the second of each: the first warms the caches that the other one used, as a loop of one of
// them alone would have them.
void RunNeutralAgainstMemcpy(benchmark::State& state, std::int32_t color, std::size_t bytes) {
  PipelineContext pipeline(color, 0, 0);
  if (!pipeline.ok()) {
    state.SkipWithError("no memory for the images");
    return;
  }
  std::vector<std::uint8_t> from(bytes, 1), to(bytes, 2);
  using Clock = std::chrono::steady_clock;
  const auto timed = [](auto&& work) {
    work();
    benchmark::ClobberMemory();
    const Clock::time_point start = Clock::now();
    work();
    benchmark::ClobberMemory();
    return std::chrono::duration<double>(Clock::now() - start).count();
  };
  std::vector<double> copies, frames;
  for (auto _ : state) {
    copies.push_back(timed([&] { std::memcpy(to.data(), from.data(), bytes); }));
    frames.push_back(timed([&] { pipeline.Run(nullptr); }));
    state.SetIterationTime(frames.back());
  }
  const auto median = [](std::vector<double>& v) {
    std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2), v.end());
    return v[v.size() / 2];
  };
  if (frames.empty()) return;
  const double copy = median(copies), frame = median(frames);
  state.counters["memcpy_ms"] = 1e3 * copy;
  state.counters["frame_ms"] = 1e3 * frame;
  state.counters["x_memcpy"] = frame / copy;
}

// The luminance of a 24-bit frame (GrayMode 2), and OpenCV's conversion of the same.
std::vector<std::uint8_t> ColourFrame() {
  std::vector<std::uint8_t> colour(static_cast<std::size_t>(kWidth) * kHeight * 3);
  std::mt19937 random(5);
  for (std::uint8_t& b : colour) b = static_cast<std::uint8_t>(random());
  return colour;
}

void RunLuminance(benchmark::State& state) {
  const std::vector<std::uint8_t> colour = ColourFrame();
  std::vector<std::uint8_t> gray(static_cast<std::size_t>(kWidth) * kHeight);
  const std::int32_t region[4] = {0, 0, kWidth, kHeight};
  for (auto _ : state) {
    LuminanceKernel(gray.data(), const_cast<std::uint8_t*>(colour.data()), region, 0, 0, 1, 3,
                    kWidth, kWidth * 3, nullptr, 0);
    benchmark::ClobberMemory();
  }
}

#ifdef ORVEX_HAVE_OPENCV
void RunOpenCvGray(benchmark::State& state) {
  cv::setNumThreads(1);
  std::vector<std::uint8_t> colour = ColourFrame();
  const cv::Mat src(kHeight, kWidth, CV_8UC3, colour.data());
  cv::Mat dst;
  for (auto _ : state) {
    cv::cvtColor(src, dst, cv::COLOR_BGR2GRAY);
    benchmark::ClobberMemory();
  }
}
#endif

// Neutral settings and every filter stage on at one and two threads, and (to see where the
// time goes) each stage alone on one thread.
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
  const std::size_t outputBytes[6] = {1, 2, 3, 4, 6, 8};
  for (const Shape& shape : shapes) {
    const std::string base = std::string("Pipeline/ColorType") + shape.name + "/";
    if (shape.grayMode == 0) {
      benchmark::RegisterBenchmark(
          (base + "memcpy").c_str(), RunMemcpy,
          static_cast<std::size_t>(kWidth) * kHeight * outputBytes[shape.color])
          ->Unit(benchmark::kMillisecond);
    }
    if (shape.color >= 2) {
      benchmark::RegisterBenchmark(
          (base + "neutral_vs_memcpy").c_str(), RunNeutralAgainstMemcpy, shape.color,
          static_cast<std::size_t>(kWidth) * kHeight * outputBytes[shape.color])
          ->Unit(benchmark::kMillisecond)
          ->UseManualTime();
    }
    for (const auto& [variant, stages] : variants) {
      // Gray images have no hue and saturation stage.
      if (stages == kHueSaturation && shape.color < 2) continue;
      const bool both = stages == 0 || stages == kAllStages;
      for (int threads : {1, 2}) {
        if (threads == 2 && !both) continue;
        const std::string name = base + variant + "/threads:" + std::to_string(threads);
        benchmark::RegisterBenchmark(name.c_str(), RunPipeline, shape.color, shape.grayMode, stages,
                                     threads)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime()
            ->MeasureProcessCPUTime();
      }
    }
  }
  benchmark::RegisterBenchmark("Kernels/Luminance/bgr24", RunLuminance)
      ->Unit(benchmark::kMillisecond);
#ifdef ORVEX_HAVE_OPENCV
  benchmark::RegisterBenchmark("Kernels/OpenCV/BGR2GRAY/bgr24", RunOpenCvGray)
      ->Unit(benchmark::kMillisecond);
#endif
  return true;
}();

}  // namespace
}  // namespace orvex
