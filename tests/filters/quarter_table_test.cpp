// The quarter form of the word tables (words that are multiples of 4, as hue and saturation leave
// them, looked up as bytes in one pass with hue and saturation): which tables have one, and the
// frame's filters after hue and saturation against the plain stages.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

#include "base/cpu_features.h"
#include "imaging/filters/filter_kernels.h"
#include "imaging/filters/frame_filters.h"
#include "imaging/filters/table_map.h"

namespace orvex::filters::testing {
namespace {

// Tables whose high bytes fall along the multiples of 4, or pass 3, have no quarter form and
// keep the word lookup; falling only between the multiples of 4 does not matter.
TEST(QuarterTable, TablesWithoutQuarterFormKeepTheWordLookup) {
  std::uint16_t falling[kMax16 + 1], beyond[kMax16 + 1], between[kMax16 + 1];
  for (int v = 0; v <= kMax16; ++v) {
    falling[v] = static_cast<std::uint16_t>(kMax16 - v);
    beyond[v] = static_cast<std::uint16_t>(v == 1020 ? 1024 : v);
    between[v] = static_cast<std::uint16_t>(v % 4 == 1 ? 0 : v);
  }
  SteppedTable stepped;
  EXPECT_FALSE(MakeSteppedQuarterTable(falling, &stepped));
  EXPECT_FALSE(MakeSteppedQuarterTable(beyond, &stepped));
  EXPECT_TRUE(MakeSteppedQuarterTable(between, &stepped));
  const bool avx2 = TestCpuFeature(kCpuHasAvx2);
  for (const auto& [table, quarters] :
       {std::pair{falling, false}, std::pair{beyond, false}, std::pair{between, avx2}}) {
    WordTableMap map;
    map.Prepare(table);
    EXPECT_EQ(map.ByQuarters(), quarters);
  }
}

// The table stages after hue and saturation in the frame's filters against the plain stages one
// after another: every brightness setting alone (off a line it goes by quarters too), gamma with
// contrast and brightness, the row mapped in place and into the copy sharpness reads.
TEST(QuarterTable, FrameFiltersAfterHueAndSaturationGiveThePlainStages) {
  constexpr std::int32_t kPixels = 301;
  struct Case {
    std::int32_t gamma, contrast, brightness;
  };
  std::vector<Case> cases;
  for (std::int32_t b = -255; b <= 255; ++b) cases.push_back({100, 0, b});
  for (std::int32_t g : {0, 37, 60, 140, 200}) {
    for (std::int32_t c : {-127, -40, 0, 40, 127}) cases.push_back({g, c, c == 0 ? 30 : 0});
  }
  const std::int32_t region[4] = {0, 0, kPixels, 1};
  const FilterVariant variant = FilterVariant::kColor16;
  for (const std::int32_t pixelBytes : {6, 8}) {
    std::vector<std::uint8_t> source(static_cast<std::size_t>(kPixels) * pixelBytes);
    for (std::size_t i = 0; i < source.size() / 2; ++i)
      Store16(&source[2 * i], static_cast<std::uint16_t>((i * 389 + i / 7) % 1100));
    for (const Case& c : cases) {
      for (const bool sharpen : {false, true}) {
        FilterSettings settings;
        settings.hue = 30;
        settings.saturation = 40;
        settings.gamma = c.gamma;
        settings.contrast = c.contrast;
        settings.brightness = sharpen ? 0 : c.brightness;
        settings.sharpness = sharpen ? 5 : 0;
        FrameFilters filters;
        filters.Prepare(variant, pixelBytes, settings, true);

        std::vector<std::uint8_t> want(source);
        const auto run = [&](FilterStage stage, void* parameter) {
          ReferenceFilterKernel(stage, variant)(want.data(), want.data(), region, 0, 0, pixelBytes,
                                                pixelBytes, static_cast<std::int32_t>(want.size()),
                                                static_cast<std::int32_t>(want.size()), &parameter,
                                                0);
        };
        HueSaturationRecord record{settings.hue, 0, settings.saturation};
        run(FilterStage::kHueSaturation, &record);
        if (settings.gamma != 100) run(FilterStage::kGamma, &settings.gamma);
        if (settings.contrast != 0) run(FilterStage::kContrast, &settings.contrast);
        if (settings.brightness != 0) run(FilterStage::kBrightness, &settings.brightness);

        std::vector<std::uint8_t> got(source), copy(source.size(), 0x5A);
        if (sharpen) {
          filters.BeforeSharpenedRow(got.data(), kPixels, copy.data());
          // The copy's fourth words are left undefined.
          for (std::size_t i = 0; pixelBytes == 8 && i < copy.size(); i += 8)
            std::memcpy(&copy[i + 6], &want[i + 6], 2);
        } else {
          filters.BeforeSharpness(got.data(), kPixels);
        }
        ASSERT_EQ(sharpen ? copy : got, want)
            << pixelBytes << " bytes a pixel, gamma " << c.gamma << ", contrast " << c.contrast
            << ", brightness " << settings.brightness << (sharpen ? ", sharpened" : "");
      }
    }
  }
}

}  // namespace
}  // namespace orvex::filters::testing
