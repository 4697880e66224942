// One call of each main kernel and one pipeline frame of each ColorType at 1280 x 1024, on one
// thread, for counting instructions under callgrind (scripts/perf-gate.sh). Each workload is a
// function of its own named Measure_<workload>, so that the counts can be collected for those
// functions alone (the frames are made outside them), and the processor features are pinned to
// SSE2 and AVX2, so that the forms chosen do not depend on the machine.
//
//   orvex_workloads            runs every workload once
//   orvex_workloads --list     prints their names

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "base/camera_settings.h"
#include "base/cpu_features.h"
#include "imaging/bayer/demosaic.h"
#include "imaging/bayer_conversion.h"
#include "imaging/color_conversion.h"
#include "imaging/filters/filter_kernels.h"
#include "imaging/frame_images.h"
#include "imaging/frame_pipeline.h"
#include "imaging/gray_white_balance.h"
#include "imaging/hue_table.h"
#include "imaging/image_buffer.h"
#include "imaging/image_filters.h"
#include "imaging/processor_info.h"
#include "pipeline_scaffold.h"

// Not inlined, and not folded with another of the same body: each keeps its name.
#define ORVEX_NOINLINE __attribute__((noipa))

namespace orvex::workloads {
namespace {

using bench::kHeight;
using bench::kWidth;
using bench::MemoryWindows;

// A picture as a camera gives it: smooth, with noise. 8-bit samples, or 10-bit ones in words.
std::vector<std::uint8_t> Picture(std::int32_t stride, std::int32_t samplesInRow, bool words,
                                  unsigned seed) {
  std::vector<std::uint8_t> pixels(static_cast<std::size_t>(stride) * kHeight);
  // A small generator: the frames are made under the instruction counter's instrumentation too.
  std::uint32_t state = seed * 2654435761u + 1;
  const auto random = [&state] {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
  };
  for (std::int32_t j = 0; j < kHeight; ++j) {
    for (std::int32_t i = 0; i < samplesInRow; ++i) {
      const int v = std::min(255, (i / 5 + j / 4) % 256 + static_cast<int>(random() % 24));
      std::uint8_t* at = pixels.data() + static_cast<std::size_t>(j) * stride;
      if (words) {
        const auto w = static_cast<std::uint16_t>(v * 4 + random() % 4);
        std::memcpy(at + 2 * i, &w, 2);
      } else {
        at[i] = static_cast<std::uint8_t>(v);
      }
    }
  }
  return pixels;
}

// A kernel call over whole images of `width` x kHeight in plain memory.
struct Call {
  std::int32_t destinationBytes, sourceBytes;
  std::vector<std::uint8_t> destination, source;
  std::int32_t region[4] = {0, 0, kWidth, kHeight};

  Call(std::int32_t destinationBytes_, std::int32_t sourceBytes_, bool words)
      : destinationBytes(destinationBytes_),
        sourceBytes(sourceBytes_),
        destination(Picture(Stride(destinationBytes_), kWidth * destinationBytes_ / (words ? 2 : 1),
                            words, 1)),
        source(Picture(Stride(sourceBytes_), kWidth * sourceBytes_ / (words ? 2 : 1), words, 2)) {}
  static std::int32_t Stride(std::int32_t bytes) { return (kWidth * bytes + 3) / 4 * 4; }

  std::int32_t Run(PixelKernel kernel, void* record, bool inPlace) {
    void* parameter = record;
    std::uint8_t* from = inPlace ? destination.data() : source.data();
    return kernel(destination.data(), from, region, 0, 0, destinationBytes, sourceBytes,
                  Stride(destinationBytes), Stride(sourceBytes), &parameter, 0);
  }
};

BayerRecord Bayer() {
  return BayerRecord{3, 130, 100, 90};
}

ORVEX_NOINLINE void Measure_Demosaic8_To32(Call& c) {
  BayerRecord r = Bayer();
  c.Run(bayer::FastestDemosaicForm(DemosaicKernel::kDemosaic8), &r, false);
}
ORVEX_NOINLINE void Measure_Demosaic8Sse2_To24(Call& c) {
  BayerRecord r = Bayer();
  c.Run(bayer::FastestDemosaicForm(DemosaicKernel::kDemosaic8Sse2), &r, false);
}
ORVEX_NOINLINE void Measure_Demosaic16_To64(Call& c) {
  BayerRecord r = Bayer();
  c.Run(bayer::FastestDemosaicForm(DemosaicKernel::kDemosaic16), &r, false);
}

const HueSaturationRecord kHueSaturation{30, 0, 40};
std::int32_t kGamma = 60, kContrast = 40, kSharpness = 15, kBrightness = 30;

ORVEX_NOINLINE void Measure_HueSaturation_Bgrx32(Call& c) {
  HueSaturationRecord r = kHueSaturation;
  c.Run(HueSaturationKernel(FilterVariant::kColor8), &r, true);
}
ORVEX_NOINLINE void Measure_HueSaturation_Bgrx64(Call& c) {
  HueSaturationRecord r = kHueSaturation;
  c.Run(HueSaturationKernel(FilterVariant::kColor16), &r, true);
}
ORVEX_NOINLINE void Measure_Gamma_Bgrx32(Call& c) {
  c.Run(GammaKernel(FilterVariant::kColor8), &kGamma, true);
}
ORVEX_NOINLINE void Measure_Gamma_Bgrx64(Call& c) {
  c.Run(GammaKernel(FilterVariant::kColor16), &kGamma, true);
}
ORVEX_NOINLINE void Measure_Gamma_Bgr48(Call& c) {
  c.Run(GammaKernel(FilterVariant::kColor16), &kGamma, true);
}
ORVEX_NOINLINE void Measure_Contrast_Gray16(Call& c) {
  c.Run(ContrastKernel(FilterVariant::kGray16), &kContrast, true);
}
ORVEX_NOINLINE void Measure_Brightness_Bgrx64(Call& c) {
  c.Run(BrightnessKernel(FilterVariant::kColor16), &kBrightness, true);
}
ORVEX_NOINLINE void Measure_Sharpness_Bgrx32(Call& c) {
  c.Run(SharpnessKernel(FilterVariant::kColor8), &kSharpness, false);
}
ORVEX_NOINLINE void Measure_Sharpness_Bgrx64(Call& c) {
  c.Run(SharpnessKernel(FilterVariant::kColor16), &kSharpness, false);
}
ORVEX_NOINLINE void Measure_Luminance_Bgr24(Call& c) {
  c.Run(LuminanceKernel, nullptr, false);
}

// A pipeline frame over the images PrepareCapture makes, with its settings.
struct Frame {
  MemoryWindows windows;
  FrameImages images;
  CameraSettings settings;
  ProcessorInfo processor{};
  HueTable hues{};
  std::int32_t color;

  Frame(std::int32_t color_, std::int32_t grayMode, bool filters) : color(color_) {
    IdentifyProcessor(&processor);
    BuildHueTable(hues);
    bench::SetNeutralSettings(settings, grayMode);
    ImageSettings& s = settings.image;
    s.GrayBalanceCount = 0;
    s.GainR1 = s.GainG1 = s.GainG2 = s.GainB1 = 140;
    s.OffsetR1 = s.OffsetG1 = s.OffsetG2 = s.OffsetB1 = -3;
    if (filters) {
      s.Hue = kHueSaturation.hueOffset;
      s.Saturation = kHueSaturation.saturationOffset;
      s.Gamma = kGamma;
      s.Contrast = kContrast;
      s.Sharpness = kSharpness;
      s.Brightness = kBrightness;
    }
    images.Make(windows);
    images.CreateFor(color, kWidth, kHeight);
    ImageBuffer& raw = *images.RawImageFor(color);
    const std::vector<std::uint8_t> picture =
        Picture(static_cast<std::int32_t>(raw.stride), kWidth, raw.bitsPerPixel == 16, 3);
    std::memcpy(raw.pixels, picture.data(), raw.ByteSize());
  }
  ~Frame() { images.Destroy(); }
  void Run() {
    FramePipeline(PipelineInputs{color, settings.image, settings.analog, processor, hues}, images);
  }
};

ORVEX_NOINLINE void Measure_Pipeline0_Gray8_Filters(Frame& f) {
  f.Run();
}
ORVEX_NOINLINE void Measure_Pipeline0_GrayCorrection_Filters(Frame& f) {
  f.Run();
}
ORVEX_NOINLINE void Measure_Pipeline0_Luminance_Neutral(Frame& f) {
  f.Run();
}
ORVEX_NOINLINE void Measure_Pipeline1_Gray16_Filters(Frame& f) {
  f.Run();
}
ORVEX_NOINLINE void Measure_Pipeline2_Pseudo24_Neutral(Frame& f) {
  f.Run();
}
ORVEX_NOINLINE void Measure_Pipeline2_Pseudo24_Filters(Frame& f) {
  f.Run();
}
ORVEX_NOINLINE void Measure_Pipeline3_Bgrx32_Neutral(Frame& f) {
  f.Run();
}
ORVEX_NOINLINE void Measure_Pipeline3_Bgrx32_Filters(Frame& f) {
  f.Run();
}
ORVEX_NOINLINE void Measure_Pipeline4_Bgr48_Neutral(Frame& f) {
  f.Run();
}
ORVEX_NOINLINE void Measure_Pipeline4_Bgr48_Filters(Frame& f) {
  f.Run();
}
ORVEX_NOINLINE void Measure_Pipeline5_Bgrx64_Neutral(Frame& f) {
  f.Run();
}
ORVEX_NOINLINE void Measure_Pipeline5_Bgrx64_Filters(Frame& f) {
  f.Run();
}

struct Workload {
  const char* name;
  void (*run)();
};

#define ORVEX_CALL_WORKLOAD(name, destinationBytes, sourceBytes, words)           \
  {                                                                               \
#name, [] {                                                                     \
     Call c(destinationBytes, sourceBytes, words);                                 \
     Measure_##name(c);                                                            \
   } \
  }
#define ORVEX_FRAME_WORKLOAD(name, color, grayMode, filters) \
  {                                                          \
#name, [] {                                              \
     Frame f(color, grayMode, filters);                     \
     Measure_##name(f);                                     \
   }   \
  }

const Workload kWorkloads[] = {
    ORVEX_CALL_WORKLOAD(Demosaic8_To32, 4, 1, false),
    ORVEX_CALL_WORKLOAD(Demosaic8Sse2_To24, 3, 1, false),
    ORVEX_CALL_WORKLOAD(Demosaic16_To64, 8, 2, true),
    ORVEX_CALL_WORKLOAD(HueSaturation_Bgrx32, 4, 4, false),
    ORVEX_CALL_WORKLOAD(HueSaturation_Bgrx64, 8, 8, true),
    ORVEX_CALL_WORKLOAD(Gamma_Bgrx32, 4, 4, false),
    ORVEX_CALL_WORKLOAD(Gamma_Bgrx64, 8, 8, true),
    ORVEX_CALL_WORKLOAD(Gamma_Bgr48, 6, 6, true),
    ORVEX_CALL_WORKLOAD(Contrast_Gray16, 2, 2, true),
    ORVEX_CALL_WORKLOAD(Brightness_Bgrx64, 8, 8, true),
    ORVEX_CALL_WORKLOAD(Sharpness_Bgrx32, 4, 4, false),
    ORVEX_CALL_WORKLOAD(Sharpness_Bgrx64, 8, 8, true),
    ORVEX_CALL_WORKLOAD(Luminance_Bgr24, 1, 3, false),
    ORVEX_FRAME_WORKLOAD(Pipeline0_Gray8_Filters, 0, 0, true),
    ORVEX_FRAME_WORKLOAD(Pipeline0_GrayCorrection_Filters, 0, 1, true),
    ORVEX_FRAME_WORKLOAD(Pipeline0_Luminance_Neutral, 0, 2, false),
    ORVEX_FRAME_WORKLOAD(Pipeline1_Gray16_Filters, 1, 0, true),
    ORVEX_FRAME_WORKLOAD(Pipeline2_Pseudo24_Neutral, 2, 0, false),
    ORVEX_FRAME_WORKLOAD(Pipeline2_Pseudo24_Filters, 2, 0, true),
    ORVEX_FRAME_WORKLOAD(Pipeline3_Bgrx32_Neutral, 3, 0, false),
    ORVEX_FRAME_WORKLOAD(Pipeline3_Bgrx32_Filters, 3, 0, true),
    ORVEX_FRAME_WORKLOAD(Pipeline4_Bgr48_Neutral, 4, 0, false),
    ORVEX_FRAME_WORKLOAD(Pipeline4_Bgr48_Filters, 4, 0, true),
    ORVEX_FRAME_WORKLOAD(Pipeline5_Bgrx64_Neutral, 5, 0, false),
    ORVEX_FRAME_WORKLOAD(Pipeline5_Bgrx64_Filters, 5, 0, true),
};

}  // namespace
}  // namespace orvex::workloads

int main(int argc, char** argv) {
  using orvex::workloads::kWorkloads;
  const bool list = argc > 1 && std::strcmp(argv[1], "--list") == 0;
  if (!list) {
    orvex::MaskCpuFeatures(orvex::kCpuHasSse2 | orvex::kCpuHasAvx2);
    // The gamma tables are built once a process; built here, no workload counts them.
    std::uint8_t table8[256];
    std::uint16_t table16[1024];
    orvex::filters::GammaTable8(orvex::workloads::kGamma, table8);
    orvex::filters::GammaTable16(orvex::workloads::kGamma, table16);
  }
  for (const auto& workload : kWorkloads) {
    if (list) {
      std::printf("Measure_%s\n", workload.name);
    } else if (argc < 2 || std::strcmp(argv[1], workload.name) == 0) {
      workload.run();
    }
  }
  return 0;
}
