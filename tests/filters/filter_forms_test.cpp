// Every fast form against the reference form, byte for byte, on awkward geometries; and the
// exhaustive proofs behind the shortcuts the fast forms take.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "filters/filter_test_util.h"
#include "imaging/filters/filter_kernels.h"
#include "imaging/filters/hue_saturation.h"
#include "imaging/filters/table_map.h"

namespace orvex::filters::testing {
namespace {

struct Shape {
  FilterVariant variant;
  std::int32_t bytes;
};

const Shape kShapes[] = {{FilterVariant::kGray8, 1},   {FilterVariant::kGray16, 2},
                         {FilterVariant::kColor8, 3},  {FilterVariant::kColor8, 4},
                         {FilterVariant::kColor16, 6}, {FilterVariant::kColor16, 8}};

// Widths around the vector sizes of every form (16 and 32 lanes, 8 pixels, 64 bytes).
const std::int32_t kWidths[] = {1,  2,  3,  4,  5,  6,  7,  8,  9,  11, 13, 15, 16, 17,
                                20, 21, 24, 31, 32, 33, 36, 40, 47, 63, 64, 65, 67, 130};
const std::int32_t kHeights[] = {1, 5, 6};

enum class Placement { kWholeInPlace, kRegionInPlace, kSeparate, kShiftedOverlap };
const Placement kPlacements[] = {Placement::kWholeInPlace, Placement::kRegionInPlace,
                                 Placement::kSeparate, Placement::kShiftedOverlap};

const char* Name(FilterStage stage) {
  switch (stage) {
    case FilterStage::kHueSaturation:
      return "hue/saturation";
    case FilterStage::kGamma:
      return "gamma";
    case FilterStage::kContrast:
      return "contrast";
    case FilterStage::kSharpness:
      return "sharpness";
    case FilterStage::kBrightness:
      return "brightness";
  }
  return "?";
}

// The images of one call: source and destination may be the same frame. Regions end on the
// last byte of their frame's allocation.
struct Setup {
  std::unique_ptr<Frame> source, destination;  // destination null: in place
  std::int32_t region[4] = {0, 0, 0, 0};
  std::int32_t x = 0, y = 0;

  Setup(Placement placement, std::int32_t w, std::int32_t h, const Shape& shape, bool padded,
        std::mt19937& rng) {
    switch (placement) {
      case Placement::kWholeInPlace:
        source = std::make_unique<Frame>(w, h, shape.bytes, padded);
        Set(0, 0, w, h, 0, 0);
        break;
      case Placement::kRegionInPlace:
        source = std::make_unique<Frame>(w + 3, h + 2, shape.bytes, padded);
        Set(3, 2, w + 3, h + 2, 3, 2);
        break;
      case Placement::kSeparate:
        source = std::make_unique<Frame>(w + 2, h + 1, shape.bytes, padded);
        destination = std::make_unique<Frame>(w + 1, h + 3, shape.bytes, !padded);
        Set(2, 1, w + 2, h + 1, 1, 3);
        break;
      case Placement::kShiftedOverlap:
        source = std::make_unique<Frame>(w + 1, h, shape.bytes, padded);
        Set(0, 0, w, h, 1, 0);
        break;
    }
    FillRandom(*source, shape.variant, rng);
    if (destination) FillRandom(*destination, shape.variant, rng);
  }
  Setup(const Setup& o)
      : region{o.region[0], o.region[1], o.region[2], o.region[3]}, x(o.x), y(o.y) {
    source = std::make_unique<Frame>(*o.source);
    if (o.destination) destination = std::make_unique<Frame>(*o.destination);
  }
  void Set(std::int32_t l, std::int32_t t, std::int32_t r, std::int32_t b, std::int32_t px,
           std::int32_t py) {
    region[0] = l;
    region[1] = t;
    region[2] = r;
    region[3] = b;
    x = px;
    y = py;
  }
  Frame& Destination() { return destination ? *destination : *source; }
  bool operator==(const Setup& o) const {
    return *source == *o.source && (!destination || *destination == *o.destination);
  }
};

void CompareWithReference(FilterStage stage, const std::vector<std::int32_t>& settings,
                          const std::vector<HueSaturationRecord>& records) {
  std::mt19937 rng(static_cast<unsigned>(stage) * 1000 + 1);
  const std::vector<FilterForm> forms = AvailableForms();
  std::size_t n = 0;
  for (const Shape& shape : kShapes) {
    const PixelKernel reference = ReferenceFilterKernel(stage, shape.variant);
    if (reference == nullptr) continue;
    for (std::int32_t w : kWidths) {
      for (std::int32_t h : kHeights) {
        if (stage != FilterStage::kSharpness && h == 6) continue;
        const Placement placement = kPlacements[n % 4];
        const bool padded = (n / 4) % 2 == 1;
        const void* parameter = stage == FilterStage::kHueSaturation
                                    ? static_cast<const void*>(&records[n % records.size()])
                                    : &settings[n % settings.size()];
        ++n;
        Setup original(placement, w, h, shape, padded, rng);
        Setup expected(original);
        ASSERT_EQ(Call(reference, expected.Destination(), *expected.source, expected.region,
                       expected.x, expected.y, parameter),
                  1);
        for (FilterForm form : forms) {
          Setup actual(original);
          ASSERT_EQ(CallForm(stage, shape.variant, form, actual.Destination(), *actual.source,
                             actual.region, actual.x, actual.y, parameter),
                    1);
          EXPECT_TRUE(actual == expected)
              << Name(stage) << " form " << static_cast<int>(form) << ", " << shape.bytes
              << " bytes a pixel, " << w << " x " << h << ", placement "
              << static_cast<int>(placement) << (padded ? ", padded" : "");
        }
      }
    }
  }
}

TEST(FilterForms, GammaMatchesReference) {
  CompareWithReference(FilterStage::kGamma, {0, 37, 100, 163, 200, -4, 250}, {});
}

TEST(FilterForms, ContrastMatchesReference) {
  CompareWithReference(FilterStage::kContrast, {-127, -50, 1, 64, 127, 300, -2000}, {});
}

TEST(FilterForms, BrightnessMatchesReference) {
  CompareWithReference(FilterStage::kBrightness, {-255, -100, 1, 100, 255, INT_MIN, INT_MAX}, {});
}

TEST(FilterForms, SharpnessMatchesReference) {
  // 33 and above take the table in every form for 16-bit samples; the extremes saturate.
  CompareWithReference(FilterStage::kSharpness, {1, 7, 30, 0, 32, 33, -20, 129, INT_MAX, INT_MIN},
                       {});
}

TEST(FilterForms, HueSaturationMatchesReference) {
  CompareWithReference(FilterStage::kHueSaturation, {},
                       {{0, 0, 0},
                        {37, 0, 50},
                        {-200, 0, -30},
                        {360, 0, 255},
                        {-360, 0, -255},
                        {90, 40, 20},
                        {719, -300, 300},
                        {1000, 5, 600},
                        {-721, 0, 10},
                        {INT_MAX, INT_MIN, INT_MAX},
                        {INT_MIN, INT_MAX, INT_MIN},
                        {200, 600, 100},
                        {-50, -600, 100}});
}

// Every sample value through the table-driven fast forms against the reference's own
// arithmetic, for every setting of the setter's range.
void CompareEveryValue(FilterStage stage, std::int32_t from, std::int32_t to) {
  for (FilterVariant v : {FilterVariant::kGray8, FilterVariant::kGray16}) {
    const bool wide = IsWideVariant(v);
    Frame ramp(wide ? 1030 : 256, 1, wide ? 2 : 1, false);
    for (int i = 0; i < ramp.width; ++i) {
      if (wide) {
        ramp.SetWord(i, 0, 0, static_cast<std::uint16_t>(i < 1024 ? i : 1000 * i));
      } else {
        ramp.data[i] = static_cast<std::uint8_t>(i);
      }
    }
    const std::int32_t region[4] = {0, 0, ramp.width, 1};
    for (std::int32_t setting = from; setting <= to; ++setting) {
      Frame expected(ramp);
      ASSERT_EQ(Call(ReferenceFilterKernel(stage, v), expected, expected, region, 0, 0, &setting),
                1);
      for (FilterForm form : AvailableForms()) {
        Frame actual(ramp);
        ASSERT_EQ(CallForm(stage, v, form, actual, actual, region, 0, 0, &setting), 1);
        ASSERT_TRUE(actual == expected)
            << Name(stage) << " " << setting << " form " << static_cast<int>(form);
      }
    }
  }
}

TEST(FilterProofs, BrightnessTableEqualsTheProductForEveryValue) {
  CompareEveryValue(FilterStage::kBrightness, -255, 255);
}

TEST(FilterProofs, CachedGammaTablesEqualTheBuiltOnesForEverySetting) {
  CompareEveryValue(FilterStage::kGamma, 0, 200);
}

TEST(FilterProofs, GammaSearchByBisectionFindsTheFirstMatchOfTheScan) {
  for (std::int32_t g = -5; g <= 205; ++g) {
    std::uint8_t bisected[256], scanned[256];
    BuildGammaTable8(g, bisected);
    BuildGammaTable8(g, scanned, true);
    ASSERT_TRUE(std::equal(bisected, bisected + 256, scanned)) << g;
  }
  for (std::int32_t g : {0, 1, 33, 99, 100, 101, 137, 200, INT_MIN, INT_MAX}) {
    std::uint16_t bisected[1024], scanned[1024];
    BuildGammaTable16(g, bisected);
    BuildGammaTable16(g, scanned, true);
    ASSERT_TRUE(std::equal(bisected, bisected + 1024, scanned)) << g;
  }
}

TEST(FilterProofs, ContrastForEverySetting) {
  CompareEveryValue(FilterStage::kContrast, -127, 127);
}

TEST(FilterProofs, ReciprocalDivisionIsExact) {
  for (int d = 1; d < 256; ++d) {
    for (int n = 0; n < 65536; ++n) {
      if (DivideByReciprocal(n, d) != n / d) {
        FAIL() << n << " / " << d;
      }
    }
  }
}

// The vector forms divide by 10 as (a x 52429) >> 19 for the magnitudes |s x (o - b)| that fit
// 16 bits.
TEST(FilterProofs, TenthByMultiplicationIsExact) {
  for (std::uint32_t a = 0; a <= 32768; ++a) ASSERT_EQ((a * 52429u) >> 19, a / 10) << a;
}

// Pixels that give every (difference, denominator) pair of the saturation division and every
// (numerator, difference) pair of the hue division, in each channel order.
Frame DivisionPixels(std::int32_t bytes) {
  std::vector<std::array<int, 3>> bgr;
  for (int mx = 0; mx < 256; ++mx) {
    for (int mn = 0; mn <= mx; ++mn) bgr.push_back({mn, mn, mx});
  }
  for (int d = 1; d < 256; ++d) {
    for (int num = -d; num <= d; ++num) {
      const int a = num > 0 ? num : 0, b = num < 0 ? -num : 0;
      bgr.push_back({b, a, d});  // red largest: numerator green - blue
      bgr.push_back({a, d, b});  // green largest: blue - red
      bgr.push_back({d, b, a});  // blue largest: red - green
    }
  }
  const std::int32_t width = 509;
  const std::int32_t height = static_cast<std::int32_t>((bgr.size() + width - 1) / width);
  Frame f(width, height, bytes, false);
  for (std::size_t p = 0; p < bgr.size(); ++p) {
    for (int k = 0; k < 3; ++k) f.data[p * bytes + k] = static_cast<std::uint8_t>(bgr[p][k]);
  }
  return f;
}

TEST(FilterProofs, HueSaturationDivisionsForEveryPair) {
  const Frame pixels = DivisionPixels(4);
  const std::int32_t region[4] = {0, 0, pixels.width, pixels.height};
  // Without a lightness offset the vector form multiplies in 16 bits: these saturation offsets
  // reach every S' the arithmetic can meet, on every pair of largest and smallest channel.
  for (const HueSaturationRecord& record :
       {HueSaturationRecord{0, 0, 0}, HueSaturationRecord{13, 0, 1},
        HueSaturationRecord{-200, 0, 255}, HueSaturationRecord{700, 0, -128},
        HueSaturationRecord{45, 0, 512}, HueSaturationRecord{-719, 0, -512},
        HueSaturationRecord{30, 7, 40}}) {
    Frame expected(pixels);
    ASSERT_EQ(Call(&HueSaturationColor8_C, expected, expected, region, 0, 0, &record), 1);
    for (FilterForm form : AvailableForms()) {
      Frame actual(pixels);
      ASSERT_EQ(CallForm(FilterStage::kHueSaturation, FilterVariant::kColor8, form, actual, actual,
                         region, 0, 0, &record),
                1);
      EXPECT_TRUE(actual == expected) << static_cast<int>(form);
    }
  }
}

TEST(FilterProofs, NormalisedOffsetsStayInTheirRanges) {
  for (std::int32_t v : {INT_MIN, -721, -720, -1, 0, 359, 719, 720, 1079, INT_MAX}) {
    const HueSaturationOffsets o = NormaliseOffsets({v, v, v});
    EXPECT_GE(o.hue, -720);
    EXPECT_LT(o.hue, 720);
    EXPECT_GE(o.lightness, -512);
    EXPECT_LE(o.lightness, 512);
    if (v >= -720 && v < 720) {
      EXPECT_EQ(o.hue, v);
    }
    if (v >= 720) {
      EXPECT_EQ((std::int64_t{o.hue} - v) % 360, 0);
    }
  }
}

}  // namespace
}  // namespace orvex::filters::testing
