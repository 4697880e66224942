// What each filter stage computes, through the kernels the pipeline gets from image_filters.h.

#include "imaging/image_filters.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <thread>
#include <vector>

#include "filters/filter_test_util.h"

namespace orvex::filters::testing {
namespace {

// A one-row image holding every sample value (16-bit: 0..1023, then some words above).
Frame Ramp(FilterVariant variant) {
  if (IsWideVariant(variant)) {
    Frame f(1024 + 4, 1, 2, false);
    for (int i = 0; i < 1024; ++i) f.SetWord(i, 0, 0, static_cast<std::uint16_t>(i));
    const std::uint16_t above[] = {1024, 2000, 40000, 65535};
    for (int i = 0; i < 4; ++i) f.SetWord(1024 + i, 0, 0, above[i]);
    return f;
  }
  Frame f(256, 1, 1, false);
  for (int i = 0; i < 256; ++i) f.data[i] = static_cast<std::uint8_t>(i);
  return f;
}

// The ramp after one stage, in place, one value a sample.
std::vector<int> MapRamp(PixelKernel kernel, FilterVariant variant, std::int32_t setting) {
  Frame f = Ramp(variant);
  const std::int32_t region[4] = {0, 0, f.width, 1};
  EXPECT_EQ(Call(kernel, f, f, region, 0, 0, &setting), 1);
  std::vector<int> out;
  for (int i = 0; i < f.width; ++i) {
    out.push_back(IsWideVariant(variant) ? f.Word(i, 0, 0) : f.data[i]);
  }
  return out;
}

TEST(ImageFilters, VariantFollowsTheColorType) {
  EXPECT_EQ(FilterVariantFor(0), FilterVariant::kGray8);
  EXPECT_EQ(FilterVariantFor(1), FilterVariant::kGray16);
  EXPECT_EQ(FilterVariantFor(2), FilterVariant::kColor8);
  EXPECT_EQ(FilterVariantFor(3), FilterVariant::kColor8);
  EXPECT_EQ(FilterVariantFor(4), FilterVariant::kColor16);
  EXPECT_EQ(FilterVariantFor(5), FilterVariant::kColor16);
  EXPECT_EQ(FilterVariantFor(6), FilterVariant::kNone);
  EXPECT_EQ(FilterVariantFor(-1), FilterVariant::kNone);
}

TEST(ImageFilters, HueAndSaturationHaveNoGrayKernel) {
  EXPECT_EQ(HueSaturationKernel(FilterVariant::kGray8), nullptr);
  EXPECT_EQ(HueSaturationKernel(FilterVariant::kGray16), nullptr);
  EXPECT_NE(HueSaturationKernel(FilterVariant::kColor8), nullptr);
  EXPECT_NE(HueSaturationKernel(FilterVariant::kColor16), nullptr);
  EXPECT_EQ(GammaKernel(FilterVariant::kNone), nullptr);
  EXPECT_NE(BrightnessKernel(FilterVariant::kGray16), nullptr);
}

TEST(ImageFilters, MissingParameterOrTooSmallPixelsDoNothing) {
  Frame f(8, 2, 3, true);
  std::mt19937 rng(7);
  FillRandom(f, FilterVariant::kColor8, rng);
  const Frame before(f);
  const std::int32_t region[4] = {0, 0, 8, 2};
  void* none = nullptr;
  EXPECT_EQ(GammaKernel(FilterVariant::kColor8)(f.data.get(), f.data.get(), region, 0, 0, 3, 3,
                                                f.stride, f.stride, &none, 0),
            0);
  const std::int32_t gamma = 50;
  void* parameter = const_cast<std::int32_t*>(&gamma);
  EXPECT_EQ(GammaKernel(FilterVariant::kColor16)(f.data.get(), f.data.get(), region, 0, 0, 3, 3,
                                                 f.stride, f.stride, &parameter, 0),
            0);
  EXPECT_TRUE(f == before);
  const std::int32_t empty[4] = {4, 1, 4, 2};
  EXPECT_EQ(Call(GammaKernel(FilterVariant::kColor8), f, f, empty, 4, 1, &gamma), 1);
  EXPECT_TRUE(f == before);
}

TEST(Gamma, ZeroLiftsEverySampleAboveZeroNearFullScale) {
  const std::vector<int> out =
      MapRamp(GammaKernel(FilterVariant::kGray8), FilterVariant::kGray8, 0);
  EXPECT_EQ(out[0], 0);
  for (int i = 1; i <= 5; ++i) EXPECT_EQ(out[i], 253) << i;
  for (int i = 6; i <= 255; ++i) EXPECT_EQ(out[i], 254) << i;
}

TEST(Gamma, TwoHundredDarkensTheLowSamplesToOne) {
  const std::vector<int> out =
      MapRamp(GammaKernel(FilterVariant::kGray8), FilterVariant::kGray8, 200);
  for (int i = 1; i <= 154; ++i) EXPECT_EQ(out[i], 1) << i;
  EXPECT_GT(out[155], 1);
}

TEST(Gamma, FullScaleMapsToOneBelowAndNothingAboveZeroToZero) {
  for (std::int32_t g : {0, 1, 37, 100, 101, 150, 200}) {
    const std::vector<int> out8 =
        MapRamp(GammaKernel(FilterVariant::kGray8), FilterVariant::kGray8, g);
    EXPECT_EQ(out8[0], 0);
    EXPECT_EQ(out8[255], 254) << g;
    EXPECT_GE(*std::min_element(out8.begin() + 1, out8.end()), 1) << g;
    const std::vector<int> out16 =
        MapRamp(GammaKernel(FilterVariant::kGray16), FilterVariant::kGray16, g);
    EXPECT_EQ(out16[1023], 1022) << g;
    // Words above 1023 read as 1023.
    for (int i = 1024; i < 1028; ++i) EXPECT_EQ(out16[i], 1022) << g;
  }
}

TEST(Gamma, PipelinesOnTwoThreadsShareTheTablesSafely) {
  // Both threads ask for every setting's table at once; whoever publishes first, both must
  // map with a complete table equal to a freshly built one.
  auto run = [](bool wide, bool* ok) {
    const FilterVariant v = wide ? FilterVariant::kGray16 : FilterVariant::kGray8;
    for (std::int32_t g = 0; g <= 200; g += 3) {
      const std::vector<int> out = MapRamp(GammaKernel(v), v, g);
      std::vector<std::uint16_t> table(1024);
      if (wide) {
        BuildGammaTable16(g, table.data());
      } else {
        std::uint8_t t8[256];
        BuildGammaTable8(g, t8);
        std::copy(t8, t8 + 256, table.begin());
      }
      for (int i = 0; i < (wide ? 1024 : 256); ++i) *ok = *ok && out[i] == table[i];
    }
  };
  bool ok[4] = {true, true, true, true};
  std::thread a(run, false, &ok[0]), b(run, false, &ok[1]), c(run, true, &ok[2]),
      d(run, true, &ok[3]);
  a.join();
  b.join();
  c.join();
  d.join();
  EXPECT_TRUE(ok[0] && ok[1] && ok[2] && ok[3]);
}

TEST(Contrast, MaximumIsAStepAtTheMiddle) {
  const std::vector<int> out =
      MapRamp(ContrastKernel(FilterVariant::kGray8), FilterVariant::kGray8, 127);
  for (int i = 0; i <= 127; ++i) EXPECT_EQ(out[i], 0) << i;
  EXPECT_EQ(out[128], 128);
  for (int i = 129; i <= 255; ++i) EXPECT_EQ(out[i], 255) << i;
}

TEST(Contrast, MinimumSqueezesTheRangeIntoTheMiddle) {
  const std::vector<int> out8 =
      MapRamp(ContrastKernel(FilterVariant::kGray8), FilterVariant::kGray8, -127);
  EXPECT_EQ(out8.front(), 63);
  EXPECT_EQ(out8.back(), 191);
  EXPECT_TRUE(std::is_sorted(out8.begin(), out8.end()));
  const std::vector<int> out16 =
      MapRamp(ContrastKernel(FilterVariant::kGray16), FilterVariant::kGray16, -127);
  EXPECT_EQ(out16[0], 254);  // trunc(1024 / 2040 x 508)
  EXPECT_EQ(out16[1023], 768);
  EXPECT_TRUE(std::is_sorted(out16.begin(), out16.begin() + 1024));
}

TEST(Brightness, MinimumTurnsEverythingBlack) {
  for (FilterVariant v : {FilterVariant::kGray8, FilterVariant::kGray16}) {
    const std::vector<int> out = MapRamp(BrightnessKernel(v), v, -255);
    EXPECT_EQ(*std::max_element(out.begin(), out.end()), 0);
  }
}

TEST(Brightness, MaximumMultipliesByElevenAndSaturates) {
  const std::vector<int> out8 =
      MapRamp(BrightnessKernel(FilterVariant::kGray8), FilterVariant::kGray8, 255);
  EXPECT_EQ(out8[1], 11);
  EXPECT_EQ(out8[23], 253);
  for (int i = 24; i <= 255; ++i) EXPECT_EQ(out8[i], 255) << i;
  const std::vector<int> out16 =
      MapRamp(BrightnessKernel(FilterVariant::kGray16), FilterVariant::kGray16, 255);
  EXPECT_EQ(out16[92], 1012);
  for (int i = 93; i < static_cast<int>(out16.size()); ++i) EXPECT_EQ(out16[i], 1023) << i;
}

TEST(Brightness, OneStepUpAndDown) {
  const std::vector<int> up =
      MapRamp(BrightnessKernel(FilterVariant::kGray8), FilterVariant::kGray8, 1);
  EXPECT_EQ(up[100], 103);  // trunc(100 x 1.0392...)
  const std::vector<int> down =
      MapRamp(BrightnessKernel(FilterVariant::kGray8), FilterVariant::kGray8, -1);
  EXPECT_EQ(down[255], 254);
  EXPECT_EQ(down[100], 99);
}

struct SharpnessFixture {
  Frame output, scratch;
  SharpnessFixture(std::int32_t w, std::int32_t h, std::int32_t bytes, FilterVariant v,
                   unsigned seed)
      : output(w, h, bytes, true), scratch(w, h, bytes, true) {
    std::mt19937 rng(seed);
    FillRandom(scratch, v, rng);
    FillRandom(output, v, rng);
  }
  std::int32_t Run(FilterVariant v, std::int32_t s) {
    const std::int32_t region[4] = {0, 0, scratch.width, scratch.height};
    return Call(SharpnessKernel(v), output, scratch, region, 0, 0, &s);
  }
};

TEST(Sharpness, OuterTwoRowsAndColumnsKeepTheOutputsValues) {
  for (auto [v, bytes] : {std::pair{FilterVariant::kGray8, 1},
                          {FilterVariant::kColor8, 4},
                          {FilterVariant::kGray16, 2},
                          {FilterVariant::kColor16, 6}}) {
    SharpnessFixture f(23, 11, bytes, v, 3);
    const Frame before(f.output);
    ASSERT_EQ(f.Run(v, 30), 1);
    int changed = 0;
    for (int j = 0; j < 11; ++j) {
      for (int i = 0; i < 23; ++i) {
        const bool border = i < 2 || i >= 21 || j < 2 || j >= 9;
        const bool same =
            std::equal(f.output.Pixel(i, j), f.output.Pixel(i, j) + bytes, before.Pixel(i, j));
        if (border) {
          EXPECT_TRUE(same) << i << "," << j;
        } else {
          changed += !same;
        }
      }
    }
    EXPECT_GT(changed, 0);
  }
}

TEST(Sharpness, FlatImageStaysFlat) {
  for (auto [v, bytes, value] : {std::tuple{FilterVariant::kGray8, 1, 200},
                                 {FilterVariant::kColor8, 3, 77},
                                 {FilterVariant::kGray16, 2, 1000},
                                 {FilterVariant::kColor16, 8, 5}}) {
    Frame f(17, 9, bytes, true);
    for (int j = 0; j < 9; ++j) {
      for (int i = 0; i < 17; ++i) {
        for (int k = 0; k < bytes / (IsWideVariant(v) ? 2 : 1); ++k) {
          if (IsWideVariant(v)) {
            f.SetWord(i, j, k, static_cast<std::uint16_t>(value));
          } else {
            f.Pixel(i, j)[k] = static_cast<std::uint8_t>(value);
          }
        }
      }
    }
    Frame output(f);
    const Frame before(f);
    const std::int32_t region[4] = {0, 0, 17, 9};
    const std::int32_t s = 30;
    ASSERT_EQ(Call(SharpnessKernel(v), output, f, region, 0, 0, &s), 1);
    EXPECT_TRUE(output == before);
  }
}

TEST(Sharpness, FourOrFewerRowsOrColumnsAreLeftAlone) {
  for (auto [w, h] : {std::pair{4, 20}, {20, 4}, {3, 3}}) {
    SharpnessFixture f(w, h, 3, FilterVariant::kColor8, 5);
    const Frame before(f.output);
    ASSERT_EQ(f.Run(FilterVariant::kColor8, 20), 1);
    EXPECT_TRUE(f.output == before);
  }
  SharpnessFixture f(5, 5, 1, FilterVariant::kGray8, 5);
  const Frame before(f.output);
  ASSERT_EQ(f.Run(FilterVariant::kGray8, 20), 1);
  EXPECT_FALSE(f.output == before);  // one pixel, at (2, 2)
}

TEST(Sharpness, InPlaceGivesTheSameAsReadingACopy) {
  // Without a separate copy the blur would read its own output back.
  SharpnessFixture f(30, 12, 3, FilterVariant::kColor8, 9);
  Frame inPlace(f.scratch);
  const std::int32_t region[4] = {0, 0, 30, 12};
  const std::int32_t s = 12;
  ASSERT_EQ(Call(SharpnessKernel(FilterVariant::kColor8), f.output, f.scratch, region, 0, 0, &s),
            1);
  // The border of the output is the copy's, as after the pipeline's copy.
  Frame expected(f.scratch);
  for (int j = 2; j < 10; ++j) {
    std::copy(f.output.Pixel(2, j), f.output.Pixel(28, j), expected.Pixel(2, j));
  }
  ASSERT_EQ(Call(SharpnessKernel(FilterVariant::kColor8), inPlace, inPlace, region, 0, 0, &s), 1);
  EXPECT_TRUE(inPlace == expected);
}

std::vector<int> HueSaturate(FilterVariant v, std::int32_t bytes, std::vector<int> bgr,
                             HueSaturationRecord record) {
  Frame f(1, 1, bytes, false);
  for (int k = 0; k < 3; ++k) {
    if (IsWideVariant(v)) {
      f.SetWord(0, 0, k, static_cast<std::uint16_t>(bgr[k]));
    } else {
      f.data[k] = static_cast<std::uint8_t>(bgr[k]);
    }
  }
  const std::int32_t region[4] = {0, 0, 1, 1};
  EXPECT_EQ(Call(HueSaturationKernel(v), f, f, region, 0, 0, &record), 1);
  std::vector<int> out;
  for (int k = 0; k < 3; ++k) out.push_back(IsWideVariant(v) ? f.Word(0, 0, k) : f.data[k]);
  return out;
}

TEST(HueSaturation, GrayPixelTakesTheColourOfTheHueOffset) {
  // L = 100, S' = 100: m2 = (355 x 100) >> 8 = 138, m1 = 62; red sits at 120 degrees.
  EXPECT_EQ(HueSaturate(FilterVariant::kColor8, 3, {100, 100, 100}, {0, 0, 100}),
            (std::vector<int>{62, 62, 138}));
  EXPECT_EQ(HueSaturate(FilterVariant::kColor8, 4, {100, 100, 100}, {120, 0, 100}),
            (std::vector<int>{62, 138, 62}));
  // Without a saturation offset a gray pixel stays gray, moved by the lightness offset.
  EXPECT_EQ(HueSaturate(FilterVariant::kColor8, 3, {100, 100, 100}, {90, 30, 0}),
            (std::vector<int>{130, 130, 130}));
}

TEST(HueSaturation, ColourSixteenOutputIsAMultipleOfFour) {
  std::mt19937 rng(11);
  Frame f(37, 5, 8, false);
  FillRandom(f, FilterVariant::kColor16, rng);
  const std::int32_t region[4] = {0, 0, 37, 5};
  const HueSaturationRecord record{25, 0, 40};
  ASSERT_EQ(Call(HueSaturationKernel(FilterVariant::kColor16), f, f, region, 0, 0, &record), 1);
  for (int j = 0; j < 5; ++j) {
    for (int i = 0; i < 37; ++i) {
      for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(f.Word(i, j, k) % 4, 0);
        EXPECT_LE(f.Word(i, j, k), 1020);
      }
    }
  }
  // A word above 1023 reads as 1023: white stays white (1020) with no offsets that colour it.
  EXPECT_EQ(HueSaturate(FilterVariant::kColor16, 6, {65535, 1023, 4000}, {0, 0, -10}),
            (std::vector<int>{1020, 1020, 1020}));
}

TEST(AllStages, FourthByteOrWordIsKept) {
  std::mt19937 rng(13);
  for (auto [v, bytes] : {std::pair{FilterVariant::kColor8, 4}, {FilterVariant::kColor16, 8}}) {
    for (int stage = 0; stage < 5; ++stage) {
      Frame f(41, 7, bytes, false);
      FillRandom(f, v, rng);
      Frame scratch(f);
      const Frame before(f);
      const std::int32_t region[4] = {0, 0, 41, 7};
      const std::int32_t setting = stage == 3 ? 25 : 60;
      const HueSaturationRecord record{100, 20, 100};
      const PixelKernel kernels[] = {HueSaturationKernel(v), GammaKernel(v), ContrastKernel(v),
                                     SharpnessKernel(v), BrightnessKernel(v)};
      const void* parameter = stage == 0 ? static_cast<const void*>(&record) : &setting;
      // Sharpness reads the copy; every other stage works in place.
      ASSERT_EQ(Call(kernels[stage], f, stage == 3 ? scratch : f, region, 0, 0, parameter), 1);
      EXPECT_FALSE(f == before) << stage;
      const int fourth = bytes * 3 / 4;
      for (int j = 0; j < 7; ++j) {
        for (int i = 0; i < 41; ++i) {
          EXPECT_TRUE(std::equal(f.Pixel(i, j) + fourth, f.Pixel(i, j) + bytes,
                                 before.Pixel(i, j) + fourth))
              << stage << " at " << i << "," << j;
        }
      }
    }
  }
}

}  // namespace
}  // namespace orvex::filters::testing
