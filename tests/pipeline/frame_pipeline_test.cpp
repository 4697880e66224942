// The stage order of FramePipeline for the gray and pseudo-colour outputs at neutral settings.
#include "imaging/frame_pipeline.h"

#include <cstring>
#include <random>
#include <vector>

#include "acquisition/acquisition_fixture.h"
#include "core/camera_context.h"
#include "imaging/auto_exposure_internal.h"
#include "imaging/image_buffer.h"

namespace orvex {
namespace {

class FramePipelineTest : public testing::UnitPlatformTest {
 protected:
  void SetUp() override {
    driver.SetPresent(0, true);
    testing::SeedSettings(registry, {1320, 39, 30, 1024, 0, 7});
    ASSERT_EQ(context.Initialize(0), 1);
    ImageSettings& s = context.Settings().image;
    s.Brightness = s.Contrast = s.Hue = s.Saturation = s.Sharpness = 0;
    s.Gamma = 100;
    s.GrayMode = 0;
    context.Settings().analog.AutoIris = 0;
  }

  // Images for `color` at an awkward width, raw pixels random.
  void Prepare(std::int32_t color) {
    context.Settings().format.Color = color;
    ASSERT_EQ(context.SetCaptureWindowEx(1320, 39, 30, 1024, 0, 7), 1);
    ASSERT_EQ(context.Acquisition().PrepareCapture(), 1);
    Randomize(*context.Images().RawImageFor(color));
  }

  FrameMeasurements RunPipeline(std::int32_t color) {
    CameraSettings& s = context.Settings();
    return FramePipeline(
        PipelineInputs{color, s.image, s.analog, context.Processor(), context.Hues()},
        context.Images());
  }

  static void Randomize(ImageBuffer& image) {
    std::mt19937 random(42);
    for (std::size_t i = 0; i < image.ByteSize(); ++i) image.pixels[i] = random() & 0xFF;
  }

  static std::vector<std::uint8_t> Bytes(const ImageBuffer& image) {
    return {image.pixels, image.pixels + image.ByteSize()};
  }

  CameraContext context;
};

TEST_F(FramePipelineTest, GrayOutputsEqualTheRawFrameAtNeutralSettings) {
  for (std::int32_t color : {0, 1}) {
    Prepare(color);
    const ImageBuffer& raw = *context.Images().RawImageFor(color);
    const std::vector<std::uint8_t> before = Bytes(raw);
    RunPipeline(color);
    EXPECT_EQ(Bytes(raw), before) << "ColorType " << color;
    EXPECT_EQ(context.Images().OutputImageFor(color), &raw);
  }
}

TEST_F(FramePipelineTest, PseudoColorOutputComesFromTheHueTable) {
  Prepare(2);
  ImageBuffer& raw = *context.Images().RawImage8;
  raw.pixels[0] = 0;
  raw.pixels[1] = 255;
  raw.pixels[2] = 128;
  RunPipeline(2);
  const ImageBuffer& color = *context.Images().ColorImage24;
  for (std::int32_t row = 0; row < raw.height; ++row) {
    for (std::int32_t i = 0; i < raw.width; ++i) {
      const int v = raw.pixels[row * raw.stride + i];
      const std::uint32_t packed = v == 0 ? 0 : v == 255 ? 0xFFFFFF : context.Hues()[v];
      const std::uint8_t* pixel = color.pixels + row * color.stride + 3 * i;
      ASSERT_EQ(pixel[0] | pixel[1] << 8 | pixel[2] << 16,
                static_cast<int>((packed >> 16 & 0xFF) | (packed & 0xFF00) | (packed & 0xFF) << 16))
          << row << "," << i;
    }
  }
  EXPECT_EQ(color.pixels[3 * 1], 255);
  EXPECT_EQ(color.pixels[0], 0);
}

// GrayMode 2: the 8-bit output is the luminance of whatever the colour image holds after the
// Bayer conversion, border pixels included.
TEST_F(FramePipelineTest, LuminanceModeTakesTheColorImageWhole) {
  Prepare(0);
  context.Settings().image.GrayMode = 2;
  Randomize(*context.Images().ColorImage24);
  RunPipeline(0);
  const ImageBuffer& gray = *context.Images().RawImage8;
  const ImageBuffer& color = *context.Images().ColorImage24;
  for (std::int32_t row = 0; row < gray.height; ++row) {
    for (std::int32_t i = 0; i < gray.width; ++i) {
      const std::uint8_t* bgr = color.pixels + row * color.stride + 3 * i;
      ASSERT_EQ(gray.pixels[row * gray.stride + i], (59 * bgr[1] + 30 * bgr[2] + 11 * bgr[0]) / 100)
          << row << "," << i;
    }
  }
}

// The pipeline only measures: a new exposure and new balance gains come back to its caller,
// while the settings, the camera and the clock are left alone.
TEST_F(FramePipelineTest, MeasurementsComeBackInsteadOfBeingApplied) {
  Prepare(3);
  ImageBuffer& raw = *context.Images().RawImage8;
  std::memset(raw.pixels, 250, raw.ByteSize());
  CameraSettings& s = context.Settings();
  s.analog.AutoIris = 1;
  s.analog.Exposure = 100;
  s.image.BayerGainAuto = 1;
  s.image.R_Gain = s.image.G_Gain = s.image.B_Gain = 123;
  ResetAutoExposureCounterForTesting();
  driver.ClearLog();
  clock.ClearSleeps();

  FrameMeasurements measured = RunPipeline(3);
  EXPECT_FALSE(measured.exposure);  // one frame in three is measured
  ASSERT_TRUE(measured.whiteBalance);
  EXPECT_EQ(measured.whiteBalance->green, 100);
  RunPipeline(3);
  measured = RunPipeline(3);
  ASSERT_TRUE(measured.exposure);
  EXPECT_EQ(measured.exposure->kind, ExposureChange::Kind::kExposure);
  EXPECT_GT(measured.exposure->value, 100);
  EXPECT_TRUE(measured.exposure->raised);

  EXPECT_EQ(s.analog.Exposure, 100);
  EXPECT_EQ(s.image.G_Gain, 123);
  EXPECT_EQ(s.image.BayerGainAuto, 1);
  EXPECT_TRUE(driver.Requests().empty());
  EXPECT_TRUE(clock.Sleeps().empty());
}

}  // namespace
}  // namespace orvex
