// Sharpness with brightness after it (and contrast before it or not), as the banded rows run them
// (brightness applied by the sharpness rows themselves where it has a multiplier form), against the
// two plain stages run one after the other: every brightness setting, sharpness settings across the
// setter's range and past the point where the vector rows hand over to the plain one, in every row
// form, on images holding every sample value and the steepest neighbourhoods.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "base/cpu_features.h"
#include "imaging/filters/filter_kernels.h"
#include "imaging/filters/frame_filters.h"
#include "imaging/frame_rows.h"
#include "imaging/image_buffer.h"
#include "platform/window_system.h"

namespace orvex {
namespace {

class MemoryWindows final : public platform::WindowSystem {
 public:
  bool PostWindowMessage(platform::WindowHandle, std::uint32_t, std::uintptr_t,
                         std::intptr_t) override {
    return false;
  }
};

struct Layout {
  FilterVariant variant;
  std::int32_t pixelBytes;
};
const Layout kLayouts[] = {{FilterVariant::kColor8, 4},  {FilterVariant::kColor8, 3},
                           {FilterVariant::kGray8, 1},   {FilterVariant::kColor16, 8},
                           {FilterVariant::kColor16, 6}, {FilterVariant::kGray16, 2}};

// Odd, and wide enough for several vector steps and a tail; rows enough for every sample value
// (Fill puts a new one in two samples of three) and for several rows that move their sums on.
constexpr std::int32_t kWidth = 45;
std::int32_t HeightFor(const Layout& layout) {
  const int full = filters::IsWide(layout.variant) ? 1023 : 255;
  const int samples = kWidth * layout.pixelBytes / (filters::IsWide(layout.variant) ? 2 : 1);
  return std::max(12, (3 * (full + 1) / 2 + samples - 1) / samples + 1);
}

// Every sample value (a step of 7 through 0..full visits each), broken by blocks of 0 and full
// scale in a checkerboard, the sharpest edges the stage meets; words also hold some values above
// 1023, which read as 1023.
void Fill(ImageBuffer& image, bool wide) {
  const int full = wide ? 1023 : 255;
  const int samples = image.width * image.bitsPerPixel / (wide ? 16 : 8);
  int ramp = 0;
  for (std::int32_t j = 0; j < image.height; ++j) {
    std::uint8_t* row = image.pixels + static_cast<std::size_t>(j) * image.stride;
    for (int p = 0; p < samples; ++p) {
      int v;
      if ((p / 12 + j / 4) % 3 == 0) {
        v = (p / 4 + j) % 2 == 0 ? full : 0;
      } else {
        ramp = (ramp + 7) % (full + 1);
        v = ramp;
      }
      if (wide) {
        if ((p * 13 + j) % 97 == 0) v = 65535 - p;
        const auto w = static_cast<std::uint16_t>(v);
        std::memcpy(row + 2 * p, &w, 2);
      } else {
        row[p] = static_cast<std::uint8_t>(v);
      }
    }
  }
}

std::int32_t RunReference(PixelKernel kernel, ImageBuffer& image, std::int32_t setting) {
  const std::int32_t region[4] = {0, 0, image.width, image.height};
  void* parameter = &setting;
  const auto bytes = static_cast<std::int32_t>(image.bitsPerPixel / 8);
  const auto stride = static_cast<std::int32_t>(image.stride);
  return kernel(image.pixels, image.pixels, region, 0, 0, bytes, bytes, stride, stride, &parameter,
                0);
}

class SharpenedRowsTest : public ::testing::Test {
 protected:
  void TearDown() override { MaskCpuFeatures(kCpuAllFeatures); }

  // The banded rows against the reference for one layout, form and set of settings.
  ::testing::AssertionResult Compare(const Layout& layout, std::uint32_t features,
                                     std::int32_t sharpness, std::int32_t brightness,
                                     std::int32_t contrast) {
    const bool wide = filters::IsWide(layout.variant);
    const auto bits = static_cast<std::uint16_t>(8 * layout.pixelBytes);
    ImageBuffer got(windows_), want(windows_);
    const std::int32_t height = HeightFor(layout);
    if (got.Create(kWidth, height, bits) == 0 || want.Create(kWidth, height, bits) == 0) {
      return ::testing::AssertionFailure() << "no image";
    }
    Fill(got, wide);
    std::memcpy(want.pixels, got.pixels, got.ByteSize());

    FilterSettings settings;
    settings.sharpness = sharpness;
    settings.brightness = brightness;
    settings.contrast = contrast;
    MaskCpuFeatures(features);
    FrameFilters filters;
    filters.Prepare(layout.variant, layout.pixelBytes, settings, true);
    MaskCpuFeatures(kCpuAllFeatures);
    FrameRows rows;
    rows.output = &got;
    rows.filters = &filters;
    if (!RunFrameRows(rows, nullptr)) return ::testing::AssertionFailure() << "no memory";

    const auto kernel = [&](filters::FilterStage stage) {
      return filters::ReferenceFilterKernel(stage, layout.variant);
    };
    if (contrast != 0) RunReference(kernel(filters::FilterStage::kContrast), want, contrast);
    RunReference(kernel(filters::FilterStage::kSharpness), want, sharpness);
    RunReference(kernel(filters::FilterStage::kBrightness), want, brightness);
    for (std::size_t k = 0; k < got.ByteSize(); ++k) {
      if (got.pixels[k] != want.pixels[k]) {
        return ::testing::AssertionFailure()
               << "byte " << k << " (row " << k / got.stride << "): " << int{got.pixels[k]}
               << " instead of " << int{want.pixels[k]};
      }
    }
    return ::testing::AssertionSuccess();
  }

  MemoryWindows windows_;
};

TEST_F(SharpenedRowsTest, SharpnessThenBrightnessGivesTheBytesOfThePlainStages) {
  std::vector<std::int32_t> brightnessAll, sharpnessAll;
  for (std::int32_t b = -255; b <= 255; ++b) {
    if (b != 0) brightnessAll.push_back(b);
  }
  // The setter's range, then both sides of the vector rows' limits for bytes (128) and words
  // (32), and a setting far past saturation.
  for (std::int32_t s = 1; s <= 30; ++s) sharpnessAll.push_back(s);
  for (std::int32_t s : {31, 32, 33, 127, 128, 129, 100000}) sharpnessAll.push_back(s);

  const std::uint32_t forms[] = {0u, kCpuHasSse2, kCpuHasSse2 | kCpuHasAvx2};
  std::uint32_t best = 0;
  for (const std::uint32_t features : forms) {
    if (TestCpuFeature(features)) best = features;
  }
  for (const std::uint32_t features : forms) {
    if (!TestCpuFeature(features)) continue;
    for (const Layout& layout : kLayouts) {
      // Both ends of the setter's sharpness (on words, the two ways of taking a tenth), with
      // and without a table before, each on every other brightness of either sign.
      for (std::int32_t b : brightnessAll) {
        // The slower forms on every fifth setting and the extremes, to keep the test quick.
        if (features != best && b % 5 != 0 && (b < 254 && b > -254)) continue;
        const std::int32_t s = (b & 2) != 0 ? 30 : 1;
        const std::int32_t c = (b & 1) != 0 ? -90 : 0;
        ASSERT_TRUE(Compare(layout, features, s, b, c))
            << "features " << features << ", " << layout.pixelBytes << " bytes a pixel"
            << ", sharpness " << s << ", brightness " << b << ", contrast " << c;
      }
      for (std::int32_t s : sharpnessAll) {
        for (std::int32_t b : {-255, -198, -1, 1, 30, 255}) {
          const std::int32_t c = s % 2 == 0 ? 0 : 40;
          ASSERT_TRUE(Compare(layout, features, s, b, c))
              << "features " << features << ", " << layout.pixelBytes << " bytes a pixel"
              << ", sharpness " << s << ", brightness " << b << ", contrast " << c;
        }
      }
    }
  }
}

// The check against the whole table is what makes a multiplier safe to use: a stage no
// multiplier gives is refused, and the brightness the benchmarks run takes the fused form.
TEST(SampleScaleTest, FoundOnlyWhereItGivesEveryEntry) {
  std::uint16_t table[1024];
  for (const int full : {255, 1023}) {
    if (full == 255) {
      std::uint8_t bytes[256];
      filters::BuildBrightnessTable8(30, bytes);
      for (int v = 0; v <= 255; ++v) table[v] = bytes[v];
    } else {
      filters::BuildBrightnessTable16(30, table);
    }
    filters::SampleScale scale;
    ASSERT_TRUE(filters::FindSampleScale(table, full, &scale)) << full;
    for (int v = 0; v <= full; ++v) ASSERT_EQ(scale.Apply(v), table[v]) << full << " " << v;

    for (int v = 0; v <= full; ++v) table[v] = static_cast<std::uint16_t>(v * v / full);
    EXPECT_FALSE(filters::FindSampleScale(table, full, &scale)) << full;
    for (int v = 0; v <= full; ++v) table[v] = static_cast<std::uint16_t>(full - v);
    EXPECT_FALSE(filters::FindSampleScale(table, full, &scale)) << full;
  }
}

}  // namespace
}  // namespace orvex
