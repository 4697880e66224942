#include <gtest/gtest.h>

#include <memory>
#include <random>

#include "acquisition/apply_measurements.h"
#include "bayer/bayer_test_support.h"
#include "core/camera_context.h"
#include "imaging/bayer_conversion.h"
#include "imaging/gray_white_balance.h"
#include "imaging/image_buffer.h"
#include "support/unit_platform.h"

namespace orvex {
namespace {

constexpr std::uint32_t kAllFeatures = kFeatureMmx | kFeatureSse2 | kFeatureSse3;

struct RefreshCounter final : ImageDialogView {
  void Refresh() override { ++count; }
  int count = 0;
};

// Colour of buffer sample (column, row) from its carried phases: 0 green, 1 blue, 2 red.
int ColorAt(int mode, int column, int row, int width) {
  const BayerPhase p = PhaseForBayerMode(mode);
  const int rowPhase = (p.row + row) & 1;
  const int columnPhase = (p.column + row * width + column) & 1;
  if (rowPhase == columnPhase) return 0;
  return rowPhase == 0 ? 1 : 2;
}

class BayerConvertTest : public testing::UnitPlatformTest {
 protected:
  std::unique_ptr<ImageBuffer> Image(int w, int h, int bits, std::uint8_t fill = 0) {
    auto image = std::make_unique<ImageBuffer>(windows);
    EXPECT_EQ(image->Create(w, h, static_cast<std::uint16_t>(bits)), 1);
    std::fill(image->pixels, image->pixels + image->ByteSize(), fill);
    return image;
  }

  // A raw frame whose green, blue and red samples hold the given values (words for 16 bits).
  std::unique_ptr<ImageBuffer> Mosaic(int w, int h, int bits, int mode, const int values[3]) {
    auto image = Image(w, h, bits);
    for (int r = 0; r < h; ++r) {
      for (int c = 0; c < w; ++c) {
        const int v = values[ColorAt(mode, c, r, w)];
        std::uint8_t* p = image->pixels + r * image->stride + c * (bits / 8);
        if (bits == 8) {
          *p = static_cast<std::uint8_t>(v);
        } else {
          const auto word = static_cast<std::uint16_t>(v);
          std::memcpy(p, &word, 2);
        }
      }
    }
    return image;
  }

  void SetGains(int red, int green, int blue) {
    context.Settings().image.R_Gain = red;
    context.Settings().image.G_Gain = green;
    context.Settings().image.B_Gain = blue;
  }

  // The conversion with the processor features of `processor`, its white balance carried out
  // as the acquisition does.
  int Convert(ImageBuffer& destination, ImageBuffer& source) {
    FrameMeasurements measured;
    const int result =
        BayerConvert(context.Settings().image, processor, destination, source, &measured);
    ApplyBalanceGains(measured, context.Settings().image, context.Views());
    return result;
  }

  void ExpectGains(int red, int green, int blue) {
    EXPECT_EQ(context.Settings().image.R_Gain, red);
    EXPECT_EQ(context.Settings().image.G_Gain, green);
    EXPECT_EQ(context.Settings().image.B_Gain, blue);
  }

  CameraContext context;
  ProcessorInfo processor;
  RefreshCounter dialog;
};

TEST(ChooseDemosaicKernelTest, FirstMatchWins) {
  const ProcessorInfo all{kAllFeatures, kAllFeatures};
  const BayerRecord neutral{3, 100, 100, 100};
  EXPECT_EQ(ChooseDemosaicKernel(all, 16, 48, neutral), Demosaic16);
  EXPECT_EQ(ChooseDemosaicKernel(all, 16, 64, BayerRecord{3, 400, 100, 100}), Demosaic16);
  EXPECT_EQ(ChooseDemosaicKernel(all, 8, 32, neutral), Demosaic8);
  EXPECT_EQ(ChooseDemosaicKernel(all, 8, 24, BayerRecord{3, 201, 100, 100}), Demosaic8);
  EXPECT_EQ(ChooseDemosaicKernel(all, 8, 24, BayerRecord{3, 100, 201, 100}), Demosaic8);
  EXPECT_EQ(ChooseDemosaicKernel(all, 8, 24, BayerRecord{3, 100, 100, 201}), Demosaic8);
  EXPECT_EQ(ChooseDemosaicKernel(all, 8, 24, BayerRecord{3, 200, 200, 200}), Demosaic8Sse3);
  EXPECT_EQ(
      ChooseDemosaicKernel(ProcessorInfo{kAllFeatures, kFeatureMmx | kFeatureSse2}, 8, 24, neutral),
      Demosaic8Sse2);
  // A feature counts only when it is in both words.
  EXPECT_EQ(
      ChooseDemosaicKernel(ProcessorInfo{kFeatureMmx | kFeatureSse2, kFeatureMmx}, 8, 24, neutral),
      Demosaic8Mmx);
  EXPECT_EQ(ChooseDemosaicKernel(ProcessorInfo{kFeatureSse2, 0}, 8, 24, neutral), Demosaic8);
  EXPECT_EQ(ChooseDemosaicKernel(ProcessorInfo{}, 8, 24, neutral), Demosaic8);
  // Negative gains wrap the vector forms' products as surely as large ones.
  EXPECT_EQ(ChooseDemosaicKernel(all, 8, 24, BayerRecord{3, -1, 100, 100}), Demosaic8);
}

TEST_F(BayerConvertTest, ColorImage32UsesThePlainFormAndNeverWritesItsBorder) {
  processor = ProcessorInfo{kAllFeatures, kAllFeatures};
  context.Settings().image.BayerMode = 3;
  SetGains(100, 100, 100);
  const int w = 37, h = 9;
  auto raw = Image(w, h, 8);
  std::mt19937 rng(2);
  for (std::size_t i = 0; i < raw->ByteSize(); ++i)
    raw->pixels[i] = static_cast<std::uint8_t>(rng());
  auto color = Image(w, h, 32, 0x5A);
  EXPECT_EQ(Convert(*color, *raw), 1);

  auto expected = Image(w, h, 32, 0x5A);
  BayerRecord record{3, 100, 100, 100};
  void* parameter = &record;
  const std::int32_t whole[4] = {0, 0, w, h};
  Demosaic8(expected->pixels, raw->pixels, whole, 0, 0, 4, 1, static_cast<std::int32_t>(w * 4),
            static_cast<std::int32_t>(raw->stride), &parameter, 0);
  ASSERT_TRUE(std::equal(color->pixels, color->pixels + color->ByteSize(), expected->pixels));
  for (int r = 0; r < h; ++r) {
    for (int c = 0; c < w; ++c) {
      const std::uint8_t* p = color->pixels + r * color->stride + 4 * c;
      EXPECT_EQ(p[3], 0x5A);
      if (r < 2 || r >= h - 2 || c < 2 || c >= w - 2) {
        EXPECT_TRUE(p[0] == 0x5A && p[1] == 0x5A && p[2] == 0x5A) << c << "," << r;
      }
    }
  }
}

TEST_F(BayerConvertTest, VectorFormsBlackenTheirColumnsOnlyWhileTheGainsAllowThem) {
  const int w = 40, h = 8;
  const int values[3] = {90, 90, 90};
  auto raw = Mosaic(w, h, 8, 0, values);
  const auto columnZeroUntouched = [&](const ImageBuffer& image) {
    return image.pixels[3 * w + 0] == 0x77;  // buffer row 1, column 0, blue
  };
  struct Case {
    ProcessorInfo processor;
    int redGain;
    bool vector;
  };
  const Case cases[] = {{{kAllFeatures, kAllFeatures}, 100, true},
                        {{kFeatureSse2, kFeatureSse2}, 200, true},
                        {{kFeatureMmx, kFeatureMmx}, 100, true},
                        {{kAllFeatures, kAllFeatures}, 201, false},
                        {{kAllFeatures, 0}, 100, false}};
  for (const Case& c : cases) {
    processor = c.processor;
    SetGains(c.redGain, 100, 100);
    auto color = Image(w, h, 24, 0x77);
    Convert(*color, *raw);
    EXPECT_EQ(columnZeroUntouched(*color), !c.vector) << c.redGain;
    const std::uint8_t* lastColumn = color->pixels + 5 * color->stride + 3 * (w - 1);
    EXPECT_EQ(lastColumn[1], c.vector ? 0 : 0x77);
    const std::uint8_t* inside = color->pixels + 4 * color->stride + 3 * 20;
    EXPECT_EQ(inside[1], 90);
  }
}

TEST_F(BayerConvertTest, OneShotWhiteBalanceMeasuresExactlyOneConvertedFrame) {
  context.Views().AddImageDialog(&dialog);
  processor = ProcessorInfo{kAllFeatures, kAllFeatures};
  context.Settings().image.BayerMode = 3;
  SetGains(100, 100, 100);
  context.Settings().image.BayerGainAuto = 1;
  context.Settings().image.BayerGainOnce1 = 1;
  context.Settings().image.BayerGainOnce2 = 1;
  // Green, blue and red means; 100 x 100 / 40 comes out as 249.99... in the measurement's
  // double arithmetic, and 100 x 100 / 200 as 49.99...
  const int values[3] = {100, 40, 200};
  auto raw = Mosaic(16, 12, 8, 3, values);
  auto color = Image(16, 12, 24, 0x77);
  // Nothing but a conversion measures: the flags wait for one.
  EXPECT_EQ(context.Settings().image.BayerGainOnce1, 1);
  Convert(*color, *raw);
  ExpectGains(49, 100, 249);
  EXPECT_EQ(context.Settings().image.BayerGainAuto, 0);
  EXPECT_EQ(context.Settings().image.BayerGainOnce1, 0);
  EXPECT_EQ(context.Settings().image.BayerGainOnce2, 0);
  EXPECT_EQ(dialog.count, 1);
  // The new blue gain is above 200, so this very frame was converted by the plain form, which
  // leaves column 0 alone.
  EXPECT_EQ(color->pixels[4 * color->stride], 0x77);

  const int other[3] = {100, 20, 100};
  auto next = Mosaic(16, 12, 8, 3, other);
  Convert(*color, *next);
  ExpectGains(49, 100, 249);
  EXPECT_EQ(dialog.count, 1);
  context.Views().RemoveImageDialog(&dialog);
}

TEST_F(BayerConvertTest, ContinuousWhiteBalanceMeasuresEveryFrameAndLimitsTo400) {
  context.Settings().image.BayerMode = 1;
  context.Settings().image.BayerGainAuto = 1;
  SetGains(100, 100, 100);
  auto color = Image(10, 6, 24);
  const int first[3] = {100, 20, 200};
  Convert(*color, *Mosaic(10, 6, 8, 1, first));
  ExpectGains(50, 100, 400);  // 500 limited
  const int second[3] = {90, 90, 30};
  Convert(*color, *Mosaic(10, 6, 8, 1, second));
  ExpectGains(299, 100, 99);  // the double arithmetic's truncation, not 300 and 100
  EXPECT_EQ(context.Settings().image.BayerGainAuto, 1);

  // Ten-bit words, summed as they are.
  const int words[3] = {400, 200, 800};
  auto color48 = Image(10, 6, 48);
  Convert(*color48, *Mosaic(10, 6, 16, 1, words));
  ExpectGains(50, 100, 200);
}

TEST_F(BayerConvertTest, WhiteBalanceCountsEverySampleIncludingZeroAndFullScale) {
  context.Settings().image.BayerMode = 0;
  context.Settings().image.BayerGainAuto = 1;
  // Blue samples alternate 0 and 255 down the columns: mean 127.5; green 255.
  auto raw = Image(8, 8, 8);
  for (int r = 0; r < 8; ++r) {
    for (int c = 0; c < 8; ++c) {
      const int color = ColorAt(0, c, r, 8);
      raw->pixels[r * raw->stride + c] = color == 1 ? (r % 4 == 0 ? 0 : 255) : 255;
    }
  }
  auto color = Image(8, 8, 24);
  Convert(*color, *raw);
  ExpectGains(100, 100, 200);
}

TEST_F(BayerConvertTest, WhiteBalanceKeepsGainsItCannotMeasure) {
  context.Settings().image.BayerGainAuto = 1;
  auto color = Image(12, 8, 24);
  // No blue signal: the blue gain would divide by zero and stays; red is measured.
  SetGains(123, 111, 145);
  const int noBlue[3] = {100, 0, 50};
  Convert(*color, *Mosaic(12, 8, 8, 0, noBlue));
  ExpectGains(200, 100, 145);
  // No green signal: nothing is measured.
  SetGains(123, 111, 145);
  const int noGreen[3] = {0, 80, 50};
  Convert(*color, *Mosaic(12, 8, 8, 0, noGreen));
  ExpectGains(123, 111, 145);
  // A single row has no red position at all.
  auto row = Image(12, 1, 8, 60);
  Convert(*color, *row);
  ExpectGains(123, 111, 145);
}

}  // namespace
}  // namespace orvex
