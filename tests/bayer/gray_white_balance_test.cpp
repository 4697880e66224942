#include "imaging/gray_white_balance.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>

#include "acquisition/apply_measurements.h"
#include "core/camera_context.h"
#include "imaging/bayer/balance.h"
#include "imaging/image_buffer.h"
#include "support/unit_platform.h"

namespace orvex {
namespace {

struct RefreshCounter final : ImageDialogView {
  void Refresh() override { ++count; }
  int count = 0;
};

class GrayCorrectionStageTest : public testing::UnitPlatformTest {
 protected:
  GrayCorrectionStageTest() {
    context.Images().RawImage8 = std::make_unique<ImageBuffer>(windows);
    context.Images().RawImage8->Create(kWidth, kHeight, 8);
    for (auto* gain : {&context.Settings().image.GainR1, &context.Settings().image.GainG1,
                       &context.Settings().image.GainG2, &context.Settings().image.GainB1}) {
      *gain = 128;
    }
    context.Views().AddImageDialog(&dialog);
  }
  ~GrayCorrectionStageTest() override { context.Views().RemoveImageDialog(&dialog); }

  // Sets every sample of position (row phase, column phase) to `value` (BayerMode 0, so the
  // phases are those of the buffer's row and column for this even width).
  void FillPosition(int rowPhase, int columnPhase, std::uint8_t value) {
    ImageBuffer& raw = *context.Images().RawImage8;
    for (int r = rowPhase; r < kHeight; r += 2) {
      for (int c = columnPhase; c < kWidth; c += 2) raw.pixels[r * raw.stride + c] = value;
    }
  }
  // The stage on RawImage8, its new gains carried out as the acquisition does.
  void RunStage() {
    FrameMeasurements measured;
    GrayCorrectionStage(context.Settings().image, *context.Images().RawImage8, &measured);
    ApplyBalanceGains(measured, context.Settings().image, context.Views());
  }
  std::uint8_t At(int column, int row) {
    return context.Images().RawImage8->pixels[row * context.Images().RawImage8->stride + column];
  }
  void ExpectGains(int r1, int g1, int g2, int b1) {
    EXPECT_EQ(context.Settings().image.GainR1, r1);
    EXPECT_EQ(context.Settings().image.GainG1, g1);
    EXPECT_EQ(context.Settings().image.GainG2, g2);
    EXPECT_EQ(context.Settings().image.GainB1, b1);
  }

  static constexpr int kWidth = 12;
  static constexpr int kHeight = 6;
  CameraContext context;
  RefreshCounter dialog;
};

TEST_F(GrayCorrectionStageTest, OneShotBalanceFlattensTheMosaicAndCountsDown) {
  FillPosition(0, 0, 100);  // GainG1, the reference
  FillPosition(0, 1, 50);   // GainR1
  FillPosition(1, 0, 80);   // GainB1
  FillPosition(1, 1, 100);  // GainG2
  context.Settings().image.GrayBalanceCount = 1;
  RunStage();
  ExpectGains(256, 128, 128, 160);
  EXPECT_EQ(context.Settings().image.GrayBalanceCount, 0);
  EXPECT_EQ(dialog.count, 1);
  // Corrected with the new gains in the same frame.
  EXPECT_EQ(At(0, 0), 100);
  EXPECT_EQ(At(1, 0), 100);
  EXPECT_EQ(At(0, 1), 100);

  // Without a count the gains stay and only the correction runs.
  FillPosition(0, 1, 20);
  RunStage();
  ExpectGains(256, 128, 128, 160);
  EXPECT_EQ(At(1, 0), 40);
  EXPECT_EQ(dialog.count, 1);
}

TEST_F(GrayCorrectionStageTest, EqualMeansGiveNeutralGainsAndExtremesAreIgnored) {
  FillPosition(0, 0, 90);
  FillPosition(0, 1, 90);
  FillPosition(1, 0, 90);
  FillPosition(1, 1, 90);
  ImageBuffer& raw = *context.Images().RawImage8;
  raw.pixels[1] = 0;                   // (0, 1)
  raw.pixels[raw.stride + 0] = 255;    // (1, 0)
  raw.pixels[3 * raw.stride + 3] = 0;  // (1, 1)
  context.Settings().image.GainR1 = 7;
  context.Settings().image.GrayBalanceCount = -1;  // every frame
  RunStage();
  ExpectGains(128, 128, 128, 128);
  EXPECT_EQ(context.Settings().image.GrayBalanceCount, -2);
  RunStage();
  EXPECT_EQ(context.Settings().image.GrayBalanceCount, -3);
  EXPECT_EQ(dialog.count, 2);

  // Switched off in the dialog while a frame was being measured: the frame's count does not
  // bring the balance back.
  FrameMeasurements measured;
  GrayCorrectionStage(context.Settings().image, *context.Images().RawImage8, &measured);
  context.Settings().image.GrayBalanceCount = 0;
  ApplyBalanceGains(measured, context.Settings().image, context.Views());
  EXPECT_EQ(context.Settings().image.GrayBalanceCount, 0);
}

TEST_F(GrayCorrectionStageTest, PositionsWithoutUsableSamplesKeepTheirGains) {
  FillPosition(0, 0, 100);
  FillPosition(0, 1, 255);
  FillPosition(1, 0, 0);
  FillPosition(1, 1, 50);
  context.Settings().image.GainR1 = 11;
  context.Settings().image.GainG1 = 12;
  context.Settings().image.GainB1 = 14;
  context.Settings().image.GrayBalanceCount = 1;
  RunStage();
  ExpectGains(11, 128, 256, 14);

  // Without the reference position nothing can be measured but the reference itself.
  FillPosition(0, 0, 0);
  FillPosition(1, 1, 50);
  context.Settings().image.GainG2 = 15;
  context.Settings().image.GrayBalanceCount = 1;
  RunStage();
  ExpectGains(11, 128, 15, 14);
  EXPECT_EQ(context.Settings().image.GrayBalanceCount, 0);
}

TEST_F(GrayCorrectionStageTest, CorrectionScalesShiftsAndLimitsEachPosition) {
  std::mt19937 rng(4);
  ImageBuffer& raw = *context.Images().RawImage8;
  for (std::size_t i = 0; i < raw.ByteSize(); ++i) raw.pixels[i] = static_cast<std::uint8_t>(rng());
  std::vector<std::uint8_t> before(raw.pixels, raw.pixels + raw.ByteSize());
  RunStage();  // gains 128, offsets 0
  EXPECT_TRUE(std::equal(before.begin(), before.end(), raw.pixels));

  FillPosition(0, 0, 5);
  FillPosition(0, 1, 200);
  FillPosition(1, 0, 3);
  FillPosition(1, 1, 100);
  context.Settings().image.OffsetG1 = -10;
  context.Settings().image.GainR1 = 255;
  context.Settings().image.GainB1 = 300;  // measured gains may exceed 255
  context.Settings().image.OffsetB1 = 250;
  context.Settings().image.GainG2 = 64;
  context.Settings().image.OffsetG2 = 7;
  RunStage();
  EXPECT_EQ(At(0, 0), 0);
  EXPECT_EQ(At(1, 0), 255);
  EXPECT_EQ(At(0, 1), 255);  // 3 x 300 / 128 + 250 = 257
  EXPECT_EQ(At(1, 1), 57);
}

// The faster forms against the plain ones on awkward sizes, all modes and random records.
TEST(BalanceFormsTest, FastSumsAndCorrectionMatchThePlainForms) {
  std::mt19937 rng(8);
  for (int w : {1, 2, 3, 7, 15, 16, 17, 31, 33, 40, 129}) {
    for (int h : {1, 2, 5}) {
      const std::ptrdiff_t stride = w;
      std::vector<std::uint8_t> samples(static_cast<std::size_t>(stride) * h);
      std::vector<std::uint8_t> words(static_cast<std::size_t>(2 * w) * h);
      for (auto& v : samples)
        v = static_cast<std::uint8_t>(rng() % 4 == 0 ? (rng() & 1) * 255 : rng());
      for (auto& v : words) v = static_cast<std::uint8_t>(rng());
      for (int mode = 0; mode < 4; ++mode) {
        SCOPED_TRACE(::testing::Message() << w << "x" << h << " mode " << mode);
        const BayerPhase phase = PhaseForBayerMode(mode);
        bayer::SampleGrid grid{samples.data(), w, h, 1, stride, phase.row, phase.column};
        for (bool skip : {false, true}) {
          bayer::PositionSums plain, fast;
          bayer::SumPositions8_C(grid, skip, &plain);
          if (!bayer::SumPositions8_SSE2(grid, skip, &fast)) GTEST_SKIP() << "no faster form";
          for (int p = 0; p < 4; ++p) {
            ASSERT_EQ(fast.sum[p], plain.sum[p]);
            ASSERT_EQ(fast.count[p], plain.count[p]);
          }
        }
        bayer::SampleGrid wordGrid{words.data(), w, h, 2, 2 * stride, phase.row, phase.column};
        bayer::PositionSums plain, fast;
        bayer::SumPositions16_C(wordGrid, &plain);
        ASSERT_TRUE(bayer::SumPositions16_SSE2(wordGrid, &fast));
        for (int p = 0; p < 4; ++p) {
          ASSERT_EQ(fast.sum[p], plain.sum[p]);
          ASSERT_EQ(fast.count[p], plain.count[p]);
        }

        const auto gain = [&] { return static_cast<std::int32_t>(rng() % 256); };
        const auto offset = [&] { return static_cast<std::int32_t>(rng() % 511) - 255; };
        const GrayCorrectionRecord record{mode,     gain(),   gain(),   gain(),  gain(),
                                          offset(), offset(), offset(), offset()};
        std::vector<std::uint8_t> want(samples), got(samples);
        bayer::SampleGrid inPlace = grid;
        inPlace.first = want.data();
        bayer::GrayCorrect_C(inPlace, want.data(), 1, stride, record);
        inPlace.first = got.data();
        ASSERT_TRUE(bayer::GrayCorrect_SSE2(inPlace, got.data(), 1, stride, record));
        ASSERT_EQ(got, want);
      }
    }
  }
}

}  // namespace
}  // namespace orvex
