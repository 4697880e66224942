// The filter stages at 1280 x 1024 on one thread: the reference form, the fast form the
// pipeline gets, a memcpy of the same bytes and, when available, OpenCV's nearest counterpart.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "base/cpu_features.h"
#include "imaging/filters/filter_kernels.h"
#include "imaging/filters/frame_filters.h"
#include "imaging/filters/hue_saturation.h"
#include "imaging/filters/table_map.h"
#include "imaging/image_filters.h"

#ifdef ORVEX_HAVE_OPENCV
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#endif

namespace orvex::filters {
namespace {

constexpr std::int32_t kWidth = 1280;
constexpr std::int32_t kHeight = 1024;

struct BenchShape {
  const char* name;
  FilterVariant variant;
  std::int32_t bytes;
};

const BenchShape kBenchShapes[] = {{"gray8", FilterVariant::kGray8, 1},
                                   {"bgr24", FilterVariant::kColor8, 3},
                                   {"bgrx32", FilterVariant::kColor8, 4},
                                   {"bgr48", FilterVariant::kColor16, 6},
                                   {"bgrx64", FilterVariant::kColor16, 8}};

struct Image {
  std::int32_t bytes;
  std::int32_t stride;
  std::vector<std::uint8_t> pixels;

  Image(const BenchShape& shape, unsigned seed)
      : bytes(shape.bytes), stride((kWidth * shape.bytes + 3) / 4 * 4) {
    pixels.resize(static_cast<std::size_t>(stride) * kHeight);
    std::mt19937 rng(seed);
    // A smooth picture with noise, as a camera gives, rather than pure noise.
    const bool wide =
        shape.variant == FilterVariant::kGray16 || shape.variant == FilterVariant::kColor16;
    for (std::int32_t j = 0; j < kHeight; ++j) {
      for (std::int32_t i = 0; i < stride / (wide ? 2 : 1); ++i) {
        const int base = (i * 7 + j * 3) % 256;
        const int v = std::min(255, base + static_cast<int>(rng() % 24));
        if (wide) {
          const std::uint16_t w = static_cast<std::uint16_t>(v * 4 + rng() % 4);
          std::memcpy(&pixels[static_cast<std::size_t>(j) * stride + 2 * i], &w, 2);
        } else {
          pixels[static_cast<std::size_t>(j) * stride + i] = static_cast<std::uint8_t>(v);
        }
      }
    }
  }
};

const void* SettingFor(FilterStage stage) {
  static const std::int32_t gamma = 60, contrast = 40, sharpness = 15, brightness = 30;
  static const HueSaturationRecord record{30, 0, 40};
  switch (stage) {
    case FilterStage::kHueSaturation:
      return &record;
    case FilterStage::kGamma:
      return &gamma;
    case FilterStage::kContrast:
      return &contrast;
    case FilterStage::kSharpness:
      return &sharpness;
    case FilterStage::kBrightness:
      return &brightness;
  }
  return nullptr;
}

// features: the fast implementation with the processor's features masked down to these;
// reference: the plain reference form.
void RunKernel(benchmark::State& state, FilterStage stage, BenchShape shape, bool reference,
               std::uint32_t features) {
  MaskCpuFeatures(features);
  Image output(shape, 1);
  Image scratch(shape, 1);
  const std::int32_t region[4] = {0, 0, kWidth, kHeight};
  void* parameter = const_cast<void*>(SettingFor(stage));
  const bool copy = stage == FilterStage::kSharpness;
  const PixelKernel kernel = ReferenceFilterKernel(stage, shape.variant);
  for (auto _ : state) {
    std::uint8_t* source = copy ? scratch.pixels.data() : output.pixels.data();
    std::int32_t done;
    if (reference) {
      done = kernel(output.pixels.data(), source, region, 0, 0, shape.bytes, shape.bytes,
                    output.stride, output.stride, &parameter, 0);
    } else {
      done = RunFilter(stage, shape.variant, output.pixels.data(), source, region, 0, 0,
                       shape.bytes, shape.bytes, output.stride, output.stride, &parameter, 0);
    }
    benchmark::DoNotOptimize(done);
    benchmark::ClobberMemory();
  }
  MaskCpuFeatures(kCpuAllFeatures);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(output.pixels.size()));
}

void RunMemcpy(benchmark::State& state, BenchShape shape) {
  Image a(shape, 1), b(shape, 2);
  for (auto _ : state) {
    std::memcpy(a.pixels.data(), b.pixels.data(), a.pixels.size());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(a.pixels.size()));
}

// Hue and saturation and gamma with contrast over every row, as the frame's filters run them
// ahead of sharpness (the row in place, the table's results into a copy): the two stages one
// after the other, or the frame's filters, which take both in one pass where they can.
void RunHueSaturationTable(benchmark::State& state, BenchShape shape, bool onePass) {
  Image output(shape, 1);
  std::vector<std::uint8_t> copy(static_cast<std::size_t>(kWidth) * shape.bytes);
  const bool wide = shape.variant == FilterVariant::kColor16;
  FilterSettings settings;
  settings.hue = 30;
  settings.saturation = 40;
  settings.gamma = 60;
  settings.contrast = 40;
  settings.sharpness = 15;
  FrameFilters frame;
  frame.Prepare(shape.variant, shape.bytes, settings, true);
  const HueSaturationOffsets offsets =
      NormaliseOffsets(HueSaturationRecord{settings.hue, 0, settings.saturation});
  std::uint8_t gamma8[256], contrast8[256], table8[256];
  std::uint16_t gamma16[kMax16 + 1], contrast16[kMax16 + 1], table16[kMax16 + 1];
  GammaTable8(settings.gamma, gamma8);
  BuildContrastTable8(settings.contrast, contrast8);
  GammaTable16(settings.gamma, gamma16);
  BuildContrastTable16(settings.contrast, contrast16);
  for (int v = 0; v < 256; ++v) table8[v] = contrast8[gamma8[v]];
  for (int v = 0; v <= kMax16; ++v) table16[v] = contrast16[gamma16[v]];
  ByteTableMap bytes;
  WordTableMap words;
  bytes.Prepare(table8);
  words.Prepare(table16);
  for (auto _ : state) {
    for (std::int32_t j = 0; j < kHeight; ++j) {
      std::uint8_t* row = output.pixels.data() + static_cast<std::size_t>(j) * output.stride;
      if (onePass) {
        frame.BeforeSharpenedRow(row, kWidth, copy.data());
        continue;
      }
      HueSaturationRow(row, kWidth, shape.bytes, wide, offsets);
      if (wide) {
        words.MapRow(copy.data(), row, kWidth, shape.bytes);
      } else {
        bytes.MapRow(copy.data(), row, kWidth, shape.bytes);
      }
    }
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(output.pixels.size()));
}

#ifdef ORVEX_HAVE_OPENCV

cv::Mat MatOf(const BenchShape& shape, unsigned seed) {
  Image image(shape, seed);
  const int depth = shape.variant == FilterVariant::kColor16 ? CV_16U : CV_8U;
  const int channels = shape.variant == FilterVariant::kColor16 ? shape.bytes / 2 : shape.bytes;
  cv::Mat m(kHeight, kWidth, CV_MAKETYPE(depth, channels));
  for (int j = 0; j < kHeight; ++j) {
    std::memcpy(m.ptr(j), image.pixels.data() + static_cast<std::size_t>(j) * image.stride,
                static_cast<std::size_t>(kWidth) * shape.bytes);
  }
  return m;
}

void OpenCvLut(benchmark::State& state, BenchShape shape) {
  cv::setNumThreads(1);
  cv::Mat src = MatOf(shape, 1), dst;
  cv::Mat lut(1, 256, CV_8U);
  for (int i = 0; i < 256; ++i) lut.at<std::uint8_t>(i) = static_cast<std::uint8_t>(255 - i);
  for (auto _ : state) {
    cv::LUT(src, lut, dst);
    benchmark::ClobberMemory();
  }
}

// A 4 x 4 box blur and the unsharp arithmetic o + s x (o - b) / 10, saturated.
void OpenCvBlurUnsharp(benchmark::State& state, BenchShape shape) {
  cv::setNumThreads(1);
  cv::Mat src = MatOf(shape, 1), blurred, dst;
  const double s = 1.5;
  for (auto _ : state) {
    cv::blur(src, blurred, cv::Size(4, 4));
    cv::addWeighted(src, 1.0 + s, blurred, -s, 0.0, dst);
    benchmark::ClobberMemory();
  }
}

void OpenCvHlsRoundTrip(benchmark::State& state, BenchShape shape) {
  cv::setNumThreads(1);
  cv::Mat src = MatOf(shape, 1), hls, dst;
  for (auto _ : state) {
    cv::cvtColor(src, hls, cv::COLOR_BGR2HLS);
    cv::cvtColor(hls, dst, cv::COLOR_HLS2BGR);
    benchmark::ClobberMemory();
  }
}

#endif  // ORVEX_HAVE_OPENCV

const char* StageName(FilterStage stage) {
  switch (stage) {
    case FilterStage::kHueSaturation:
      return "HueSaturation";
    case FilterStage::kGamma:
      return "Gamma";
    case FilterStage::kContrast:
      return "Contrast";
    case FilterStage::kSharpness:
      return "Sharpness";
    case FilterStage::kBrightness:
      return "Brightness";
  }
  return "?";
}

bool Registered = [] {
  const FilterStage stages[] = {FilterStage::kHueSaturation, FilterStage::kGamma,
                                FilterStage::kContrast, FilterStage::kSharpness,
                                FilterStage::kBrightness};
  for (const BenchShape& shape : kBenchShapes) {
    benchmark::RegisterBenchmark((std::string("Filters/Memcpy/") + shape.name).c_str(), RunMemcpy,
                                 shape)
        ->Unit(benchmark::kMillisecond);
    for (FilterStage stage : stages) {
      if (ReferenceFilterKernel(stage, shape.variant) == nullptr) continue;
      const std::string name = std::string("Filters/") + StageName(stage) + "/" + shape.name;
      benchmark::RegisterBenchmark((name + "/reference").c_str(), RunKernel, stage, shape, true,
                                   kCpuAllFeatures)
          ->Unit(benchmark::kMillisecond);
      const struct {
        const char* name;
        std::uint32_t features;
      } forms[] = {{"/fast-plain", 0},
                   {"/fast-sse2", kCpuHasSse2},
                   {"/fast-avx2", kCpuHasSse2 | kCpuHasAvx2},
                   {"/fast-avx512", kCpuAllFeatures}};
      for (const auto& form : forms) {
        if (!TestCpuFeature(form.features)) continue;
        benchmark::RegisterBenchmark((name + form.name).c_str(), RunKernel, stage, shape, false,
                                     form.features)
            ->Unit(benchmark::kMillisecond);
      }
    }
    if (shape.bytes >= 3) {
      const std::string name = std::string("Filters/HueSaturationTable/") + shape.name;
      for (const bool onePass : {false, true}) {
        benchmark::RegisterBenchmark((name + (onePass ? "/frame" : "/two-passes")).c_str(),
                                     RunHueSaturationTable, shape, onePass)
            ->Unit(benchmark::kMillisecond);
      }
    }
#ifdef ORVEX_HAVE_OPENCV
    const bool eightBit = shape.variant != FilterVariant::kColor16;
    if (eightBit) {
      benchmark::RegisterBenchmark((std::string("Filters/OpenCV/LUT/") + shape.name).c_str(),
                                   OpenCvLut, shape)
          ->Unit(benchmark::kMillisecond);
    }
    benchmark::RegisterBenchmark((std::string("Filters/OpenCV/BlurUnsharp/") + shape.name).c_str(),
                                 OpenCvBlurUnsharp, shape)
        ->Unit(benchmark::kMillisecond);
    if (shape.bytes == 3) {
      benchmark::RegisterBenchmark(
          (std::string("Filters/OpenCV/HlsRoundTrip/") + shape.name).c_str(), OpenCvHlsRoundTrip,
          shape)
          ->Unit(benchmark::kMillisecond);
    }
#endif
  }
  return true;
}();

}  // namespace
}  // namespace orvex::filters
