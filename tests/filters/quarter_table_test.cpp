// The quarter form of the word tables (words that are multiples of 4, as hue and saturation leave
// them, looked up as bytes) against the plain word lookup: for every table the stages build
// alone and composed, every quarter, rows of every length up to past a chunk with guard bytes
// after them, whole samples and pixels with a kept fourth word, and rows that break the
// multiple-of-4 rule, which must fall back to the word lookup and give its bytes all the same.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "base/cpu_features.h"
#include "imaging/filters/filter_kernels.h"
#include "imaging/filters/frame_filters.h"
#include "imaging/filters/table_map.h"

namespace orvex::filters::testing {
namespace {

// Two tables one after the other, as the frame's filters compose them.
void Compose(const std::uint16_t* first, const std::uint16_t* second, std::uint16_t* out) {
  for (int v = 0; v <= kMax16; ++v) out[v] = second[first[v]];
}

// A row of `words` words: every quarter at changing places (4 x the quarter), kept fourth words
// of any value, and `stray` (when not 0) at word `at`.
std::vector<std::uint8_t> QuarterRow(std::size_t words, std::size_t at = 0,
                                     std::uint16_t stray = 0) {
  std::vector<std::uint8_t> row(2 * words);
  for (std::size_t i = 0; i < words; ++i) {
    const std::uint16_t quarter = static_cast<std::uint16_t>((i * 37 + i / 256) % 256);
    Store16(&row[2 * i], i % 4 == 3 ? static_cast<std::uint16_t>(i * 2654435761u) : 4 * quarter);
  }
  if (stray != 0 && at < words) Store16(&row[2 * at], stray);
  return row;
}

// What the plain lookup gives for `pixels` pixels of s, written over `out`.
void Want(std::uint8_t* out, const std::uint8_t* s, std::size_t pixels, int pixelBytes,
          const std::uint16_t* table) {
  if (pixelBytes == 8) {
    Lookup16Bgrx_C(out, s, pixels, table);
  } else {
    Lookup16Run_C(out, s, pixels * static_cast<std::size_t>(pixelBytes / 2), table);
  }
}

// The map's quarter form, and (with AVX2) the quarter kernel itself where the table has a
// quarter table, the map preferring a line where it finds one, over the row apart (with guard
// bytes after it) and in place.
::testing::AssertionResult QuarterFormsEqualLookup(const WordTableMap& map,
                                                   const std::vector<std::uint8_t>& row,
                                                   int pixelBytes) {
  const std::uint16_t* table = map.Table();
  const std::size_t pixels = row.size() / pixelBytes;
  const std::size_t used = pixels * pixelBytes;
  QuarterTable quarter;
  const bool kernel = TestCpuFeature(kCpuHasAvx2) && MakeQuarterTable(table, &quarter);
  std::vector<std::uint8_t> want(row.size() + 8, 0x5A);
  Want(want.data(), row.data(), pixels, pixelBytes, table);
  std::vector<std::uint8_t> wantInPlace(row);
  wantInPlace.resize(row.size() + 8, 0x5A);
  Want(wantInPlace.data(), row.data(), pixels, pixelBytes, table);
  for (int form = 0; form < (kernel ? 2 : 1); ++form) {
    std::vector<std::uint8_t> apart(row.size() + 8, 0x5A), inPlace(row);
    inPlace.resize(row.size() + 8, 0x5A);
    for (std::uint8_t* d : {apart.data(), inPlace.data()}) {
      const std::uint8_t* s = d == apart.data() ? row.data() : inPlace.data();
      if (form == 0) {
        map.MapQuarterRow(d, s, pixels, pixelBytes);
      } else {
#if ORVEX_X86
        QuarterWords_AVX2(d, s, used / 2, pixelBytes == 8, quarter, table);
#endif
      }
    }
    const char* what = form == 0 ? "the map" : "the kernel";
    if (apart != want) {
      return ::testing::AssertionFailure()
             << what << ", " << pixels << " pixels of " << pixelBytes << " bytes, apart";
    }
    if (inPlace != wantInPlace) {
      return ::testing::AssertionFailure()
             << what << ", " << pixels << " pixels of " << pixelBytes << " bytes, in place";
    }
  }
  return ::testing::AssertionSuccess();
}

struct TableCase {
  const char* name;
  std::int32_t from, to;
  void (*build)(std::int32_t, std::uint16_t*);
};

// Each stage over its whole range alone, where the kernel has its quarter table even when the
// map computes a line; then gamma composed with contrast and brightness over a grid of both.
TEST(QuarterTable, EveryStageSettingAndQuarterEqualsTheWordLookup) {
  const TableCase cases[] = {{"gamma", 0, 200, GammaTable16},
                             {"contrast", -127, 127, BuildContrastTable16},
                             {"brightness", -255, 255, BuildBrightnessTable16}};
  // A chunk and a half of every layout: 1536 words, 384 pixels of 4 words, 512 of 3.
  const std::vector<std::uint8_t> row = QuarterRow(1536 + 4);
  for (const TableCase& c : cases) {
    for (std::int32_t setting = c.from; setting <= c.to; ++setting) {
      std::uint16_t table[kMax16 + 1];
      c.build(setting, table);
      WordTableMap map;
      map.Prepare(table);
      for (int pixelBytes : {2, 6, 8}) {
        ASSERT_TRUE(QuarterFormsEqualLookup(map, row, pixelBytes)) << c.name << " " << setting;
      }
    }
  }
  for (std::int32_t gamma = 0; gamma <= 200; gamma += 8) {
    for (std::int32_t contrast = -127; contrast <= 127; contrast += 18) {
      for (std::int32_t brightness : {0, -200, -30, 45, 255}) {
        std::uint16_t g[kMax16 + 1], k[kMax16 + 1], b[kMax16 + 1], gk[kMax16 + 1],
            table[kMax16 + 1];
        GammaTable16(gamma, g);
        BuildContrastTable16(contrast, k);
        BuildBrightnessTable16(brightness, b);
        Compose(g, k, gk);
        Compose(gk, b, table);
        WordTableMap map;
        map.Prepare(table);
        for (int pixelBytes : {6, 8}) {
          ASSERT_TRUE(QuarterFormsEqualLookup(map, row, pixelBytes))
              << "gamma " << gamma << ", contrast " << contrast << ", brightness " << brightness;
        }
      }
    }
  }
}

// The chunks, the groups of 32 pixels, the blocks of 32 words and the plain tail: every length
// up to past two chunks.
TEST(QuarterTable, RowsOfEveryLengthEqualTheWordLookup) {
  std::uint16_t table[kMax16 + 1];
  GammaTable16(60, table);
  WordTableMap map;
  map.Prepare(table);
  for (int pixelBytes : {2, 6, 8}) {
    for (std::size_t words = 0; words <= 2 * 1024 + 160; words += (words < 300 ? 1 : 13)) {
      ASSERT_TRUE(QuarterFormsEqualLookup(map, QuarterRow(words), pixelBytes));
    }
  }
}

// A word that is not a multiple of 4, or above 1020 (reading as 1023 when above it), anywhere
// in a row: its stretch goes through the word lookup. A stray in a kept fourth word changes
// nothing.
TEST(QuarterTable, WordsOffTheQuartersFallBackToTheWordLookup) {
  std::uint16_t table[kMax16 + 1];
  GammaTable16(140, table);
  WordTableMap map;
  map.Prepare(table);
  const std::size_t words = 1024 + 128 + 32 + 8;
  for (std::uint16_t stray : {1, 2, 3, 513, 1021, 1022, 1023, 1024, 4092, 0xFFFF}) {
    for (std::size_t at : {0, 1, 2, 3, 31, 127, 128, 500, 1023, 1024, 1151, 1183, 1190, 1191}) {
      for (int pixelBytes : {2, 6, 8}) {
        ASSERT_TRUE(QuarterFormsEqualLookup(map, QuarterRow(words, at, stray), pixelBytes))
            << "word " << stray << " at " << at;
      }
    }
  }
}

// Tables whose high bytes fall along the multiples of 4, or pass 3, have no quarter table; the
// map's quarter form still gives the lookup's bytes. Falling only between the multiples of 4
// does not matter.
TEST(QuarterTable, TablesWithoutQuarterFormKeepTheWordLookup) {
  std::uint16_t falling[kMax16 + 1], beyond[kMax16 + 1], between[kMax16 + 1];
  for (int v = 0; v <= kMax16; ++v) {
    falling[v] = static_cast<std::uint16_t>(kMax16 - v);
    beyond[v] = static_cast<std::uint16_t>(v == 1020 ? 1024 : v);
    between[v] = static_cast<std::uint16_t>(v % 4 == 1 ? 0 : v);
  }
  QuarterTable quarter;
  EXPECT_FALSE(MakeQuarterTable(falling, &quarter));
  EXPECT_FALSE(MakeQuarterTable(beyond, &quarter));
  EXPECT_TRUE(MakeQuarterTable(between, &quarter));
  const std::vector<std::uint8_t> row = QuarterRow(700);
  for (const std::uint16_t* table : {falling, beyond, between}) {
    WordTableMap map;
    map.Prepare(table);
    for (int pixelBytes : {2, 6, 8}) EXPECT_TRUE(QuarterFormsEqualLookup(map, row, pixelBytes));
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
