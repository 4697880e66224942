// Automatic exposure and gain on frames filled by the tests, with a context over in-memory
// backends.
#include "imaging/auto_exposure.h"

#include <array>
#include <cstring>
#include <thread>
#include <utility>
#include <vector>

#include "acquisition/apply_measurements.h"
#include "core/camera_context.h"
#include "imaging/auto_exposure_internal.h"
#include "imaging/image_buffer.h"
#include "platform/platform_services.h"
#include "support/unit_platform.h"

namespace orvex {
namespace {

using Rect4 = std::array<std::int32_t, 4>;  // left, top, right, bottom; image rows from the top

// The five measurement windows of a 1280 x 1024 frame.
constexpr std::array<Rect4, 5> kWindows = {{{128, 102, 256, 204},
                                            {128, 819, 256, 921},
                                            {576, 460, 704, 563},
                                            {1024, 102, 1152, 204},
                                            {1024, 819, 1152, 921}}};

class FakeAnalogDialog final : public AnalogDialogView {
 public:
  void SetItemInt(int item, std::int32_t value) override { calls.emplace_back(item, value); }
  std::vector<std::pair<int, std::int32_t>> calls;
};

// Writes `value` into every sample of the rectangle, 1 or 2 bytes a sample.
void Fill(ImageBuffer& image, Rect4 rect, std::uint16_t value) {
  const int bytes = image.bitsPerPixel / 8;
  for (std::int32_t row = rect[1]; row < rect[3]; ++row) {
    std::uint8_t* line = image.TopRow(row);
    for (std::int32_t column = rect[0]; column < rect[2]; ++column) {
      if (bytes == 2) {
        std::memcpy(line + 2 * column, &value, 2);
      } else {
        line[column] = static_cast<std::uint8_t>(value);
      }
    }
  }
}

void FillAll(ImageBuffer& image, std::uint16_t value) {
  Fill(image, {0, 0, image.width, image.height}, value);
}

// One frame through the automatic exposure, its decision carried out as the acquisition does.
int Step(CameraContext& camera, ImageBuffer* image) {
  FrameMeasurements measured;
  const int result = AutoExposureStep(camera.Settings().analog, image, &measured);
  ApplyMeasurements(measured, *camera.Link(), camera.Settings(), camera.Views(), platform::Clock());
  return result;
}

class AutoExposureTest : public testing::UnitPlatformTest {
 protected:
  void SetUp() override {
    ResetAutoExposureCounterForTesting();
    driver.SetPresent(0, true);
    context.Initialize(0);
    ASSERT_NE(context.Link(), nullptr);
    ASSERT_EQ(context.Images().RawImage8->Create(1280, 1024, 8), 1);
    raw = context.Images().RawImage8.get();
    FillAll(*raw, 130);
    context.Settings().analog.AutoIris = 1;
    context.Settings().analog.Exposure = 100;
    context.Views().AddAnalogDialog(&dialog);
    driver.ClearLog();
    clock.ClearSleeps();
  }
  void TearDown() override { context.Views().RemoveAnalogDialog(&dialog); }

  // Each window at its own level on a mid-gray frame.
  void SetWindowMeans(const std::array<std::uint16_t, 5>& means) {
    FillAll(*raw, 130);
    for (int i = 0; i < 5; ++i) Fill(*raw, kWindows[i], means[i]);
  }

  // Runs frames until one is measured; the counter starts each test at 0, so that is the third.
  int RunToMeasurement() {
    for (int frame = 1; frame <= 3; ++frame) {
      if (Step(context, raw) == 1) return frame;
    }
    return 0;
  }

  std::vector<std::int32_t> ExposureWrites() const {
    std::vector<std::int32_t> values;
    for (const auto& packet : PacketsTo(0)) {
      if (packet[0] == 0x25 && packet[1] == 0x52) values.push_back(packet[2] | packet[3] << 8);
    }
    return values;
  }

  CameraContext context;
  FakeAnalogDialog dialog;
  ImageBuffer* raw = nullptr;
};

TEST_F(AutoExposureTest, OffOrWithoutFrameNothingIsCounted) {
  context.Settings().analog.AutoIris = 0;
  for (int i = 0; i < 5; ++i) EXPECT_EQ(Step(context, raw), 0);
  context.Settings().analog.AutoIris = 3;
  EXPECT_EQ(Step(context, raw), 0);
  context.Settings().analog.AutoIris = 1;
  EXPECT_EQ(Step(context, nullptr), 0);
  EXPECT_EQ(AutoExposureCounterForTesting(), 0);
  EXPECT_TRUE(driver.Requests().empty());
}

TEST_F(AutoExposureTest, EveryThirdFrameIsMeasuredAndAnInBandFrameChangesNothing) {
  SetWindowMeans({100, 160, 130, 101, 159});
  std::vector<int> results;
  for (int frame = 0; frame < 9; ++frame) results.push_back(Step(context, raw));
  EXPECT_EQ(results, (std::vector<int>{0, 0, 1, 0, 0, 1, 0, 0, 1}));
  EXPECT_EQ(context.Settings().analog.Exposure, 100);
  EXPECT_TRUE(driver.Requests().empty());
  EXPECT_TRUE(dialog.calls.empty());
}

TEST_F(AutoExposureTest, ExposureFollowsTheBrightnessFactor) {
  struct Case {
    std::array<std::uint16_t, 5> means;
    std::int32_t before;
    std::int32_t after;
  };
  const Case cases[] = {
      {{80, 80, 80, 80, 130}, 100, 83},       // e = 1.2000000000000002: not below 1.2
      {{210, 210, 210, 210, 210}, 100, 255},  // e = 0.24999999999999992: 400, limited
      {{30, 30, 30, 30, 30}, 90, 59},         // e = 1.5000000000000004: just below 60
      {{210, 210, 210, 210, 210}, 0, 4},      // a zero exposure counts as 1
      {{170, 170, 170, 170, 170}, 300, 255},  // e = 0.5: lowered to the limit, no pause
      {{170, 90, 90, 130, 30}, 100, 100},     // e = 0.9 + 0.05 + 0.05 + 0.1 = 1.1: in band
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "from " << c.before << " to " << c.after);
    ResetAutoExposureCounterForTesting();
    driver.ClearLog();
    clock.ClearSleeps();
    dialog.calls.clear();
    context.Settings().analog.Exposure = c.before;
    SetWindowMeans(c.means);

    EXPECT_EQ(RunToMeasurement(), 3);
    EXPECT_EQ(context.Settings().analog.Exposure, c.after);
    if (c.after == c.before) {
      EXPECT_TRUE(ExposureWrites().empty());
      EXPECT_TRUE(dialog.calls.empty());
      continue;
    }
    EXPECT_EQ(ExposureWrites(), std::vector<std::int32_t>{c.after});
    EXPECT_EQ(dialog.calls, (std::vector<std::pair<int, std::int32_t>>{{1027, c.after}}));
    const bool raised = c.after > c.before;
    EXPECT_EQ(clock.Sleeps(),
              raised ? std::vector<std::uint32_t>{1} : std::vector<std::uint32_t>{});
  }
}

// Window i is exactly in the band with a dark ring around it; the others are all a little dark.
// In place, e = 1.2000000000000002 and 100 becomes 83; one row or column off, the window too
// reads dark, e = 1.2500000000000002 and 100 becomes 79.
TEST_F(AutoExposureTest, WindowsLieWhereTheyShouldInImageCoordinates) {
  for (int i = 0; i < 5; ++i) {
    SCOPED_TRACE(::testing::Message() << "window " << i);
    ResetAutoExposureCounterForTesting();
    context.Settings().analog.Exposure = 100;
    FillAll(*raw, 80);
    const Rect4 w = kWindows[i];
    Fill(*raw, {w[0] - 1, w[1] - 1, w[2] + 1, w[3] + 1}, 0);
    Fill(*raw, w, 100);
    EXPECT_EQ(RunToMeasurement(), 3);
    EXPECT_EQ(context.Settings().analog.Exposure, 83);
  }
}

TEST_F(AutoExposureTest, GainModeSetsAllFiveGains) {
  context.Settings().analog.AutoIris = 2;
  auto setGains = [this](std::int32_t value) {
    for (Setting* gain : {&context.Settings().analog.Global, &context.Settings().analog.ColorG1,
                          &context.Settings().analog.ColorR, &context.Settings().analog.ColorB,
                          &context.Settings().analog.ColorG2}) {
      *gain = value;
    }
  };
  auto gains = [this] {
    return std::vector<std::int32_t>{
        context.Settings().analog.Global, context.Settings().analog.ColorG1,
        context.Settings().analog.ColorR, context.Settings().analog.ColorB,
        context.Settings().analog.ColorG2};
  };

  setGains(17);
  SetWindowMeans({30, 30, 30, 30, 30});
  EXPECT_EQ(RunToMeasurement(), 3);
  EXPECT_EQ(gains(), std::vector<std::int32_t>(5, 4));

  setGains(33);
  SetWindowMeans({210, 210, 210, 210, 210});
  EXPECT_EQ(RunToMeasurement(), 3);
  EXPECT_EQ(gains(), std::vector<std::int32_t>(5, 0));

  EXPECT_EQ(dialog.calls, (std::vector<std::pair<int, std::int32_t>>{{1015, 4}, {1015, 0}}));
  EXPECT_EQ(context.Settings().analog.Exposure, 100);
  EXPECT_TRUE(driver.Requests().empty());
}

TEST_F(AutoExposureTest, SixteenBitFramesAreMeasuredOnBitsTwoToNine) {
  ASSERT_EQ(context.Images().RawImage16->Create(1280, 1024, 16), 1);
  raw = context.Images().RawImage16.get();

  // 400, 403 and 400 + 1024 all measure 100: in the band, nothing changes.
  const std::uint16_t samples[] = {400, 403, 1424};
  for (std::int32_t row = 0; row < raw->height; ++row) {
    for (std::int32_t column = 0; column < raw->width; ++column) {
      std::memcpy(raw->TopRow(row) + 2 * column, &samples[(row + column) % 3], 2);
    }
  }
  EXPECT_EQ(RunToMeasurement(), 3);
  EXPECT_EQ(context.Settings().analog.Exposure, 100);

  // 200 measures 50, a little dark (its low byte alone would read bright):
  // e = 1.2500000000000002 and 100 / e = 79.99999999999999.
  FillAll(*raw, 200);
  EXPECT_EQ(RunToMeasurement(), 3);
  EXPECT_EQ(context.Settings().analog.Exposure, 79);
}

// Two cameras previewing at once share the counter: over 600 frames exactly 200 are measured.
TEST_F(AutoExposureTest, TwoPreviewThreadsShareTheRhythmWithoutLosingFrames) {
  CameraContext second;
  second.Initialize(0);
  ASSERT_EQ(second.Images().RawImage8->Create(64, 48, 8), 1);
  ASSERT_EQ(context.Images().RawImage8->Create(64, 48, 8), 1);
  FillAll(*context.Images().RawImage8, 130);
  FillAll(*second.Images().RawImage8, 130);
  second.Settings().analog.AutoIris = 1;
  ResetAutoExposureCounterForTesting();

  int measured[2] = {0, 0};
  auto run = [](CameraContext& camera, int& count) {
    for (int frame = 0; frame < 300; ++frame)
      count += Step(camera, camera.Images().RawImage8.get());
  };
  std::thread first(run, std::ref(context), std::ref(measured[0]));
  std::thread other(run, std::ref(second), std::ref(measured[1]));
  first.join();
  other.join();
  EXPECT_EQ(measured[0] + measured[1], 200);
  EXPECT_EQ(AutoExposureCounterForTesting(), 0);
}

}  // namespace
}  // namespace orvex
