// Hue and saturation with the table after them in one pass, against the plain stages one after
// another: the kernel for every offset of the settings' ranges and every table a gamma, contrast
// or brightness setting builds (bytes, and the quarters of words), and the frame's filters,
// which choose that pass, over a grid of every filter setting. Rows hold every gray level and
// random colours (words with values off the multiples of 4 and above 1023), end in a lone
// group of sixteen pixels and a tail, and carry guard bytes after them.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <map>
#include <random>
#include <utility>
#include <vector>

#include "base/cpu_features.h"
#include "imaging/filters/filter_kernels.h"
#include "imaging/filters/frame_filters.h"
#include "imaging/filters/hue_saturation.h"
#include "imaging/filters/table_map.h"

namespace orvex::filters::testing {
namespace {

// Two batches of eight groups, three groups (the last alone) and seven pixels.
constexpr std::int32_t kPixels = 16 * 19 + 7;
constexpr std::size_t kGuard = 64;

struct Layout {
  FilterVariant variant;
  std::int32_t bytes;
};
const Layout kLayouts[] = {{FilterVariant::kColor8, 3},
                           {FilterVariant::kColor8, 4},
                           {FilterVariant::kColor16, 6},
                           {FilterVariant::kColor16, 8}};

bool Wide(const Layout& l) {
  return l.variant == FilterVariant::kColor16;
}

// The row, with guard bytes after it: first every gray level, then random pixels.
std::vector<std::uint8_t> SourceRow(const Layout& l, unsigned seed) {
  std::mt19937 random(seed);
  std::vector<std::uint8_t> row(static_cast<std::size_t>(kPixels) * l.bytes + kGuard);
  for (std::uint8_t& b : row) b = static_cast<std::uint8_t>(random());
  if (!Wide(l)) {
    for (int p = 0; p < 256; ++p) std::memset(&row[static_cast<std::size_t>(p) * l.bytes], p, 3);
    return row;
  }
  for (std::size_t i = 0; i < static_cast<std::size_t>(kPixels) * l.bytes / 2; ++i) {
    const std::size_t p = 2 * i / l.bytes;
    std::uint16_t v = p < 256 ? static_cast<std::uint16_t>(4 * p + random() % 4)
                              : static_cast<std::uint16_t>(random() % 1024);
    if (random() % 64 == 0) v = static_cast<std::uint16_t>(random());
    Store16(&row[2 * i], v);
  }
  return row;
}

// A one-row call from s to d.
KernelCall RowCall(std::uint8_t* d, std::uint8_t* s, const Layout& l) {
  KernelCall call = InPlaceRow(s, kPixels, l.bytes);
  call.destination = d;
  return call;
}

// The plain hue and saturation stage in place on the row.
void HueSaturationReference(std::vector<std::uint8_t>& row, const Layout& l,
                            HueSaturationRecord record) {
  const std::int32_t region[4] = {0, 0, kPixels, 1};
  const std::int32_t stride = kPixels * l.bytes;
  void* parameter = &record;
  ReferenceFilterKernel(FilterStage::kHueSaturation, l.variant)(
      row.data(), row.data(), region, 0, 0, l.bytes, l.bytes, stride, stride, &parameter, 0);
}

// A table of either width, as the stages build it.
struct Table {
  std::uint8_t bytes[256];
  std::uint16_t words[kMax16 + 1];
};

// The plain table stage from s (hue and saturation's results) into d, which keeps its fourth
// samples.
void LookupReference(std::uint8_t* d, const std::uint8_t* s, const Layout& l, const Table& t) {
  if (l.bytes == 4) {
    LookupBgrx_C(d, s, kPixels, t.bytes);
  } else if (l.bytes == 3) {
    LookupRun_C(d, s, static_cast<std::size_t>(kPixels) * 3, t.bytes);
  } else if (l.bytes == 8) {
    Lookup16Bgrx_C(d, s, kPixels, t.words);
  } else {
    Lookup16Run_C(d, s, static_cast<std::size_t>(kPixels) * 3, t.words);
  }
}

void Compose(const Table& first, const Table& second, Table* out) {
  for (int v = 0; v < 256; ++v) out->bytes[v] = second.bytes[first.bytes[v]];
  for (int v = 0; v <= kMax16; ++v) out->words[v] = second.words[first.words[v]];
}

Table StageTable(FilterStage stage, std::int32_t setting) {
  Table t;
  if (stage == FilterStage::kGamma) {
    GammaTable8(setting, t.bytes);
    GammaTable16(setting, t.words);
  } else if (stage == FilterStage::kContrast) {
    BuildContrastTable8(setting, t.bytes);
    BuildContrastTable16(setting, t.words);
  } else {
    BuildBrightnessTable8(setting, t.bytes);
    BuildBrightnessTable16(setting, t.words);
  }
  return t;
}

// The kernel, apart (into a row of other bytes) and in place, against the plain stages.
::testing::AssertionResult KernelGivesThePlainStages(const Layout& l, HueSaturationRecord record,
                                                     const std::vector<std::uint8_t>& stage,
                                                     const Table& t) {
  SteppedTable one;
  if (Wide(l)) {
    if (!MakeSteppedQuarterTable(t.words, &one)) return ::testing::AssertionSuccess();
  } else {
    MakeSteppedTable(t.bytes, &one);
  }
  const std::vector<std::uint8_t> source = SourceRow(l, 3);
  const std::vector<std::uint8_t> other = SourceRow(l, 4);
  std::vector<std::uint8_t> wantApart(other), wantInPlace(source);
  LookupReference(wantApart.data(), stage.data(), l, t);
  LookupReference(wantInPlace.data(), stage.data(), l, t);

  const HueSaturationOffsets offsets = NormaliseOffsets(record);
  std::vector<std::uint8_t> from(source), apart(other), inPlace(source);
  HueSaturationTableRows_AVX2(RowCall(apart.data(), from.data(), l), offsets, Wide(l), one);
  HueSaturationTableRows_AVX2(RowCall(inPlace.data(), inPlace.data(), l), offsets, Wide(l), one);
  if (from != source) return ::testing::AssertionFailure() << "the source changed";
  if (apart != wantApart) return ::testing::AssertionFailure() << "apart";
  if (inPlace != wantInPlace) return ::testing::AssertionFailure() << "in place";
  return ::testing::AssertionSuccess();
}

TEST(HueSaturationTable, EveryOffsetAndTableGivesThePlainStages) {
  if (!TestCpuFeature(kCpuHasAvx2)) GTEST_SKIP() << "no AVX2";
  const Table gammaContrast = [] {
    Table t;
    Compose(StageTable(FilterStage::kGamma, 60), StageTable(FilterStage::kContrast, 40), &t);
    return t;
  }();
  // Every hue and every saturation of the settings' ranges (and a lightness offset, which the
  // stage takes though no setting gives it) through gamma with contrast.
  std::vector<std::pair<HueSaturationRecord, Table>> cases;
  for (std::int32_t hue = -360; hue <= 360; ++hue) cases.push_back({{hue, 0, 40}, gammaContrast});
  for (std::int32_t s = -255; s <= 255; ++s) cases.push_back({{30, 0, s}, gammaContrast});
  for (std::int32_t lightness : {-300, -9, 9, 300}) {
    cases.push_back({{-30, lightness, 40}, gammaContrast});
    cases.push_back({{30, lightness, -40}, gammaContrast});
  }
  // Every table each stage builds alone, and gamma and contrast composed with brightness.
  const struct {
    FilterStage stage;
    std::int32_t from, to;
  } ranges[] = {{FilterStage::kGamma, 0, 200},
                {FilterStage::kContrast, -127, 127},
                {FilterStage::kBrightness, -255, 255}};
  for (const auto& r : ranges) {
    for (std::int32_t v = r.from; v <= r.to; ++v) {
      cases.push_back({{30, 0, 40}, StageTable(r.stage, v)});
    }
  }
  for (std::int32_t gamma : {0, 37, 140, 200}) {
    for (std::int32_t contrast : {-127, -40, 40, 127}) {
      for (std::int32_t brightness : {-255, -30, 45, 255}) {
        Table gc, t;
        Compose(StageTable(FilterStage::kGamma, gamma),
                StageTable(FilterStage::kContrast, contrast), &gc);
        Compose(gc, StageTable(FilterStage::kBrightness, brightness), &t);
        cases.push_back({{-200, 0, 255}, t});
      }
    }
  }
  for (const Layout& l : kLayouts) {
    // Hue and saturation's plain results, once for each record.
    std::map<std::vector<std::int32_t>, std::vector<std::uint8_t>> stages;
    for (const auto& [record, table] : cases) {
      const std::vector<std::int32_t> key = {record.hueOffset, record.lightnessOffset,
                                             record.saturationOffset};
      auto found = stages.find(key);
      if (found == stages.end()) {
        std::vector<std::uint8_t> row = SourceRow(l, 3);
        HueSaturationReference(row, l, record);
        found = stages.emplace(key, std::move(row)).first;
      }
      ASSERT_TRUE(KernelGivesThePlainStages(l, record, found->second, table))
          << l.bytes << " bytes a pixel, offsets " << record.hueOffset << ", "
          << record.lightnessOffset << ", " << record.saturationOffset;
    }
  }
}

// The frame's filters, which run hue and saturation and the table in one pass where the table
// goes by shuffles or quarters, and otherwise one after the other: the row in place, and into
// the copy sharpness reads (brightness then waits for sharpness). A grid of every setting, then
// every brightness alone after hue and saturation (off a line it goes by quarters too) and gamma
// with contrast.
TEST(HueSaturationTable, FrameFiltersGiveThePlainStages) {
  struct Case {
    std::int32_t hue, saturation, gamma, contrast, brightness;
  };
  std::vector<Case> cases;
  for (std::int32_t hue : {-360, -30, 30, 360}) {
    for (std::int32_t saturation : {-255, 0, 40, 255}) {
      for (std::int32_t gamma : {0, 60, 100, 200}) {
        for (std::int32_t contrast : {-127, 0, 40}) {
          for (std::int32_t brightness : {-255, 0, 45}) {
            cases.push_back({hue, saturation, gamma, contrast, brightness});
          }
        }
      }
    }
  }
  for (std::int32_t b = -255; b <= 255; ++b) cases.push_back({30, 40, 100, 0, b});
  for (std::int32_t g : {0, 37, 60, 140, 200}) {
    for (std::int32_t c : {-127, -40, 0, 40, 127}) cases.push_back({30, 40, g, c, c == 0 ? 30 : 0});
  }
  for (const Layout& l : kLayouts) {
    const std::vector<std::uint8_t> source = SourceRow(l, 5);
    for (const Case& c : cases) {
      for (const bool sharpen : {false, true}) {
        FilterSettings settings;
        settings.hue = c.hue;
        settings.saturation = c.saturation;
        settings.gamma = c.gamma;
        settings.contrast = c.contrast;
        settings.brightness = c.brightness;
        settings.sharpness = sharpen ? 5 : 0;
        FrameFilters filters;
        filters.Prepare(l.variant, l.bytes, settings, true);

        std::vector<std::uint8_t> want(source);
        HueSaturationReference(want, l, {c.hue, 0, c.saturation});
        Table t;
        for (int v = 0; v < 256; ++v) t.bytes[v] = static_cast<std::uint8_t>(v);
        for (int v = 0; v <= kMax16; ++v) t.words[v] = static_cast<std::uint16_t>(v);
        if (c.gamma != 100) Compose(t, StageTable(FilterStage::kGamma, c.gamma), &t);
        if (c.contrast != 0) Compose(t, StageTable(FilterStage::kContrast, c.contrast), &t);
        if (c.brightness != 0 && !sharpen) {
          Compose(t, StageTable(FilterStage::kBrightness, c.brightness), &t);
        }
        const std::vector<std::uint8_t> stage(want);
        LookupReference(want.data(), stage.data(), l, t);

        std::vector<std::uint8_t> got(source), copy(source.size(), 0x5A);
        if (sharpen) {
          filters.BeforeSharpenedRow(got.data(), kPixels, copy.data());
          // The copy's fourth samples are left undefined, and its guard bytes kept.
          const int e = l.bytes / 4;
          for (std::size_t p = 0; l.bytes % 4 == 0 && p < static_cast<std::size_t>(kPixels); ++p) {
            std::memcpy(&copy[p * l.bytes + 3 * e], &want[p * l.bytes + 3 * e], e);
          }
          std::memcpy(&copy[copy.size() - kGuard], &want[want.size() - kGuard], kGuard);
        } else {
          filters.BeforeSharpness(got.data(), kPixels);
        }
        ASSERT_EQ(sharpen ? copy : got, want)
            << l.bytes << " bytes a pixel, hue " << c.hue << ", saturation " << c.saturation
            << ", gamma " << c.gamma << ", contrast " << c.contrast << ", brightness "
            << c.brightness << (sharpen ? ", sharpened" : "");
      }
    }
  }
}

// Tables whose high bytes fall along the multiples of 4, or pass 3, have no quarter form and
// keep the word lookup; falling only between the multiples of 4 does not matter.
TEST(HueSaturationTable, TablesWithoutQuarterFormKeepTheWordLookup) {
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

}  // namespace
}  // namespace orvex::filters::testing
