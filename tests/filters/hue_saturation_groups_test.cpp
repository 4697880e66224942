// The hue and saturation stage's vector form on rows that end at, just before and just after
// the batches of sixteen-pixel groups it divides for together, in place and apart, for each
// of its cores, against the reference form.

#include <gtest/gtest.h>

#include <cstdint>
#include <random>

#include "filters/filter_test_util.h"
#include "imaging/filters/filter_kernels.h"

namespace orvex::filters::testing {
namespace {

// A hue offset of 0 or more, a negative one, and a lightness offset (each takes its own core).
const HueSaturationRecord kRecords[] = {{30, 0, 40}, {0, 0, -20}, {-30, 0, 40}, {30, 9, 40}};

// Batches of eight groups: one short, whole, one pixel and one group past, two batches and
// a tail, several batches.
const std::int32_t kWidths[] = {127, 128, 129, 143, 144, 145, 255, 256, 257, 271, 300, 1280};

TEST(HueSaturationGroups, RowsAroundBatchesMatchReference) {
  if (!TestCpuFeature(kCpuHasAvx2)) GTEST_SKIP() << "no AVX2";
  struct Layout {
    FilterVariant variant;
    std::int32_t bytes;
  };
  const Layout layouts[] = {{FilterVariant::kColor8, 3},
                            {FilterVariant::kColor8, 4},
                            {FilterVariant::kColor16, 6},
                            {FilterVariant::kColor16, 8}};
  std::mt19937 rng(11);
  int n = 0;
  for (const Layout& layout : layouts) {
    const PixelKernel reference =
        ReferenceFilterKernel(FilterStage::kHueSaturation, layout.variant);
    ASSERT_NE(reference, nullptr);
    for (std::int32_t w : kWidths) {
      for (const HueSaturationRecord& record : kRecords) {
        const bool apart = n % 2 == 1, padded = n % 3 == 0;
        ++n;
        // Frames that end with their last pixel, so that the sanitizers see any access past.
        Frame source(w, 2, layout.bytes, padded);
        FillRandom(source, layout.variant, rng);
        Frame destination(w, 2, layout.bytes, !padded);
        FillRandom(destination, layout.variant, rng);
        const std::int32_t region[4] = {0, 0, w, 2};
        Frame expectedSource(source), expectedDestination(destination);
        ASSERT_EQ(Call(reference, apart ? expectedDestination : expectedSource, expectedSource,
                       region, 0, 0, &record),
                  1);
        ASSERT_EQ(CallForm(FilterStage::kHueSaturation, layout.variant, FilterForm::kAvx2,
                           apart ? destination : source, source, region, 0, 0, &record),
                  1);
        EXPECT_TRUE(source == expectedSource && destination == expectedDestination)
            << layout.bytes << " bytes a pixel, " << w << " pixels, offsets " << record.hueOffset
            << ", " << record.lightnessOffset << ", " << record.saturationOffset
            << (apart ? ", apart" : ", in place");
      }
    }
  }
}

}  // namespace
}  // namespace orvex::filters::testing
