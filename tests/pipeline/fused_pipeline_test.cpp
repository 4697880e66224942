// The pipeline band by band, with its composed tables, on one thread or several, against the
// stages run one after another in their plain forms: every byte of every image it touches, on
// random frames of awkward sizes, for every combination of filter stages.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "base/cpu_features.h"
#include "imaging/auto_exposure_internal.h"
#include "imaging/band_workers.h"
#include "imaging/frame_images.h"
#include "imaging/frame_pipeline.h"
#include "imaging/hue_table.h"
#include "imaging/image_buffer.h"
#include "imaging/processor_info.h"
#include "platform/window_system.h"

namespace orvex {
namespace {

// Images in plain memory, as on a platform without bitmaps.
class MemoryWindows final : public platform::WindowSystem {
 public:
  bool PostWindowMessage(platform::WindowHandle, std::uint32_t, std::uintptr_t,
                         std::intptr_t) override {
    return false;
  }
};

struct Shape {
  std::int32_t color;
  std::int32_t grayMode;
};
const Shape kShapes[] = {{0, 0}, {0, 1}, {0, 2}, {1, 0}, {2, 0}, {3, 0}, {4, 0}, {5, 0}};

// Odd widths pad the rows of most depths; 70 x 41 and 131 x 67 leave room for bands. Sizes up
// to 4 leave the sharpness nothing to write, and a wide frame the vector forms' tails.
const std::pair<std::int32_t, std::int32_t> kSizes[] = {{1, 1},  {2, 7},   {4, 4},    {5, 5},
                                                        {13, 6}, {70, 41}, {131, 67}, {1283, 5}};

class FusedPipelineTest : public ::testing::Test {
 protected:
  // Two sets of images with the same random contents, for the two forms of the pipeline.
  struct Frame {
    MemoryWindows windows;
    FrameImages images;
  };

  static std::unique_ptr<Frame> MakeFrame(const Shape& shape, std::int32_t w, std::int32_t h) {
    auto frame = std::make_unique<Frame>();
    EXPECT_TRUE(frame->images.Make(frame->windows));
    EXPECT_TRUE(frame->images.CreateFor(shape.color, w, h));
    return frame;
  }

  static std::vector<ImageBuffer*> Images(FrameImages& images) {
    return {images.RawImage8.get(),    images.RawImage16.get(),   images.ColorImage24.get(),
            images.ColorImage32.get(), images.ColorImage48.get(), images.ColorImage64.get(),
            images.ScratchImage.get()};
  }

  // Random bytes everywhere (the borders the conversion leaves are filtered as they are); 16-bit
  // raw words are 10-bit values with some above 1023.
  static void Randomize(FrameImages& images, std::mt19937& random) {
    for (ImageBuffer* image : Images(images)) {
      if (image->pixels == nullptr) continue;
      for (std::size_t i = 0; i < image->ByteSize(); ++i) {
        image->pixels[i] = static_cast<std::uint8_t>(random());
      }
    }
    ImageBuffer& raw16 = *images.RawImage16;
    if (raw16.pixels == nullptr) return;
    for (std::size_t i = 0; i + 1 < raw16.ByteSize(); i += 2) {
      std::uint16_t v = static_cast<std::uint16_t>(random() % 1024);
      if (random() % 32 == 0) v = static_cast<std::uint16_t>(random());
      std::memcpy(raw16.pixels + i, &v, 2);
    }
  }

  static void Copy(FrameImages& from, FrameImages& to) {
    const std::vector<ImageBuffer*> a = Images(from), b = Images(to);
    for (std::size_t i = 0; i < a.size(); ++i) {
      if (a[i]->pixels != nullptr) std::memcpy(b[i]->pixels, a[i]->pixels, a[i]->ByteSize());
    }
  }

  // The images whose bytes anyone may see afterwards (the scratch copy is the stages' own).
  static ::testing::AssertionResult SameImages(FrameImages& got, FrameImages& want) {
    const std::vector<ImageBuffer*> a = Images(got), b = Images(want);
    for (std::size_t i = 0; i + 1 < a.size(); ++i) {
      if (a[i]->pixels == nullptr) continue;
      for (std::size_t k = 0; k < a[i]->ByteSize(); ++k) {
        if (a[i]->pixels[k] != b[i]->pixels[k]) {
          return ::testing::AssertionFailure()
                 << "image " << i << " (" << a[i]->bitsPerPixel << " bits) byte " << k << " row "
                 << k / a[i]->stride << ": " << int{a[i]->pixels[k]} << " instead of "
                 << int{b[i]->pixels[k]};
        }
      }
    }
    return ::testing::AssertionSuccess();
  }

  // Each stage of `stages` (bits: hue and saturation, gamma, contrast, sharpness, brightness)
  // on with a random setting, extremes included; the rest neutral.
  static void Settings(unsigned stages, std::int32_t grayMode, std::mt19937& random,
                       CameraSettings* settings) {
    ImageSettings& s = settings->image;
    auto pick = [&](std::int32_t lo, std::int32_t hi) {
      const std::uint32_t r = random() % 8;
      if (r == 0) return lo;
      if (r == 1) return hi;
      return lo + static_cast<std::int32_t>(random() % static_cast<std::uint32_t>(hi - lo + 1));
    };
    auto nonZero = [&](std::int32_t lo, std::int32_t hi) {
      std::int32_t v;
      do v = pick(lo, hi);
      while (v == 0);
      return v;
    };
    s.Hue = s.Saturation = s.Contrast = s.Sharpness = s.Brightness = 0;
    s.Gamma = 100;
    if (stages & 1) {
      s.Hue = pick(-360, 360);
      s.Saturation = s.Hue == 0 ? nonZero(-255, 255) : pick(-255, 255);
    }
    if (stages & 2) {
      do s.Gamma = pick(0, 200);
      while (s.Gamma == 100);
    }
    if (stages & 4) s.Contrast = nonZero(-127, 127);
    if (stages & 8) s.Sharpness = nonZero(1, 30);
    if (stages & 16) s.Brightness = nonZero(-255, 255);
    s.BayerMode = pick(0, 4);
    s.R_Gain = pick(0, 400);
    s.G_Gain = pick(0, 400);
    s.B_Gain = pick(0, 400);
    s.BayerGainAuto = random() % 4 == 0;
    s.GrayMode = grayMode;
    s.GainR1 = pick(0, 255);
    s.GainG1 = pick(0, 255);
    s.GainG2 = pick(0, 255);
    s.GainB1 = pick(0, 255);
    s.OffsetR1 = pick(-255, 255);
    s.OffsetG1 = s.OffsetG2 = s.OffsetB1 = 0;
    s.GrayBalanceCount = random() % 4 == 0 ? 1 : 0;
    settings->analog.AutoIris = 0;
  }

  void SetUp() override {
    IdentifyProcessor(&processor_);
    BuildHueTable(hues_);
  }
  void TearDown() override { MaskCpuFeatures(kCpuAllFeatures); }

  // Compares the two forms over every stage combination on every shape and size, with
  // `workers` sharing the fused form's frames.
  void CompareAll(BandWorkers* workers) {
    std::mt19937 random(workers == nullptr ? 1 : 100 + workers->Threads());
    for (const Shape& shape : kShapes) {
      for (const auto& [w, h] : kSizes) {
        for (unsigned stages = 0; stages < 32; ++stages) {
          CameraSettings settings;
          Settings(stages, shape.grayMode, random, &settings);
          auto fused = MakeFrame(shape, w, h), reference = MakeFrame(shape, w, h);
          Randomize(fused->images, random);
          Copy(fused->images, reference->images);

          ResetAutoExposureCounterForTesting();
          const FrameMeasurements got =
              FramePipeline(PipelineInputs{shape.color, settings.image, settings.analog, processor_,
                                           hues_, workers},
                            fused->images);
          MaskCpuFeatures(0);
          ResetAutoExposureCounterForTesting();
          const FrameMeasurements want = FramePipelineStageByStage(
              PipelineInputs{shape.color, settings.image, settings.analog, processor_, hues_},
              reference->images);
          MaskCpuFeatures(kCpuAllFeatures);

          ASSERT_TRUE(SameImages(fused->images, reference->images))
              << "ColorType " << shape.color << " GrayMode " << shape.grayMode << ", " << w << " x "
              << h << ", stages " << stages;
          ASSERT_EQ(got.whiteBalance.has_value(), want.whiteBalance.has_value());
          if (got.whiteBalance) {
            EXPECT_EQ(got.whiteBalance->red, want.whiteBalance->red);
            EXPECT_EQ(got.whiteBalance->blue, want.whiteBalance->blue);
          }
          ASSERT_EQ(got.grayBalance.has_value(), want.grayBalance.has_value());
        }
      }
    }
  }

  ProcessorInfo processor_{};
  HueTable hues_{};
};

TEST_F(FusedPipelineTest, OneThreadGivesTheBytesOfTheStagesOneAfterAnother) {
  CompareAll(nullptr);
}

// Bands of a few rows, so that small frames are cut too and every band hands rows to the next.
TEST_F(FusedPipelineTest, BandsOnSeveralThreadsGiveTheSameBytes) {
  BandWorkers two(2, 4, 0);
  CompareAll(&two);
  BandWorkers five(5, 4, 0);
  CompareAll(&five);
}

// Every item of every run exactly once, the asking thread taking part, run after run.
TEST(BandWorkersTest, EachRunDoesEveryItemOnceBeforeItReturns) {
  BandWorkers workers(3, 1, 0);
  ASSERT_GE(workers.Threads(), 1);
  for (int run = 0; run < 200; ++run) {
    const int count = 1 + run % 7;
    std::vector<std::atomic<int>> done(static_cast<std::size_t>(count));
    workers.Run(
        count,
        [](void* context, int index) {
          static_cast<std::atomic<int>*>(context)[index].fetch_add(1);
        },
        done.data());
    for (int i = 0; i < count; ++i) ASSERT_EQ(done[i].load(), 1) << run << " " << i;
  }
  EXPECT_EQ(workers.BandsFor(1024, 1 << 20), std::min(workers.Threads(), 1024));
  EXPECT_EQ(BandWorkers(2, 32, 1000).BandsFor(1024, 999), 1);
}

}  // namespace
}  // namespace orvex
