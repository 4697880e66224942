// The table stages' row forms against their tables, for every setting of each stage's range and
// every input value: 0..255 for bytes, every word for words (above 1023 reading as 1023), in rows
// of whole samples and of pixels with a kept fourth sample.

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <vector>

#include "imaging/filters/filter_kernels.h"
#include "imaging/filters/table_map.h"

namespace orvex::filters::testing {
namespace {

struct StageRange {
  const char* name;
  std::int32_t from, to;
  void (*build8)(std::int32_t, std::uint8_t*);
  void (*build16)(std::int32_t, std::uint16_t*);
};

const StageRange kStages[] = {
    {"gamma", 0, 200, GammaTable8, GammaTable16},
    {"contrast", -127, 127, BuildContrastTable8, BuildContrastTable16},
    {"brightness", -255, 255, BuildBrightnessTable8, BuildBrightnessTable16},
};

// Every byte value, at changing places of the vectors, and a tail shorter than a vector.
std::vector<std::uint8_t> EveryByte() {
  std::vector<std::uint8_t> row(4 * 256 + 28);
  for (std::size_t i = 0; i < row.size(); ++i) row[i] = static_cast<std::uint8_t>(i * 5 + i / 256);
  return row;
}

std::vector<std::uint8_t> EveryWord() {
  std::vector<std::uint8_t> row(2 * (65536 + 12));
  for (std::size_t i = 0; i < row.size() / 2; ++i)
    Store16(&row[2 * i], static_cast<std::uint16_t>(i));
  return row;
}

template <class Map>
void ExpectBytes(const Map& map, const std::uint8_t* table, const std::vector<std::uint8_t>& row,
                 const char* what) {
  std::vector<std::uint8_t> got(row.size()), want(row.size());
  for (int pixelBytes : {1, 4}) {
    const std::size_t pixels = row.size() / pixelBytes;
    std::memset(got.data(), 0x5A, got.size());
    std::memset(want.data(), 0x5A, want.size());
    map.MapRow(got.data(), row.data(), pixels, pixelBytes);
    if (pixelBytes == 4) {
      LookupBgrx_C(want.data(), row.data(), pixels, table);
    } else {
      LookupRun_C(want.data(), row.data(), pixels, table);
    }
    ASSERT_EQ(got, want) << what << ", " << pixelBytes << " bytes a pixel";
  }
}

template <class Map>
void ExpectWords(const Map& map, const std::uint16_t* table, const std::vector<std::uint8_t>& row,
                 const char* what) {
  std::vector<std::uint8_t> got(row.size()), want(row.size());
  for (int pixelBytes : {2, 6, 8}) {
    const std::size_t pixels = row.size() / pixelBytes;
    std::memset(got.data(), 0x5A, got.size());
    std::memset(want.data(), 0x5A, want.size());
    map.MapRow(got.data(), row.data(), pixels, pixelBytes);
    if (pixelBytes == 8) {
      Lookup16Bgrx_C(want.data(), row.data(), pixels, table);
    } else {
      Lookup16Run_C(want.data(), row.data(), pixels * pixelBytes / 2, table);
    }
    ASSERT_EQ(got, want) << what << ", " << pixelBytes << " bytes a pixel";
  }
}

TEST(TableForms, EveryStageSettingAndInputEqualsItsTable) {
  const std::vector<std::uint8_t> bytes = EveryByte(), words = EveryWord();
  for (const StageRange& stage : kStages) {
    for (std::int32_t setting = stage.from; setting <= stage.to; ++setting) {
      SCOPED_TRACE(::testing::Message() << stage.name << " " << setting);
      std::uint8_t table8[256];
      stage.build8(setting, table8);
      ByteTableMap byteMap;
      byteMap.Prepare(table8);
      ExpectBytes(byteMap, table8, bytes, "byte table");

      std::uint16_t table16[kMax16 + 1];
      stage.build16(setting, table16);
      WordTableMap wordMap;
      wordMap.Prepare(table16);
      ExpectWords(wordMap, table16, words, "word table");
      if (stage.build16 == BuildBrightnessTable16) {
        WordBrightnessMap brightness;
        brightness.Prepare(setting);
        ExpectWords(brightness, table16, words, "word brightness");
      }
      if (HasFatalFailure()) return;
    }
  }
  // Brightness beyond its range clamps as its table does.
  for (const std::int32_t setting : {INT_MIN, INT_MAX}) {
    std::uint16_t table16[kMax16 + 1];
    BuildBrightnessTable16(setting, table16);
    WordBrightnessMap brightness;
    brightness.Prepare(setting);
    ExpectWords(brightness, table16, words, "word brightness beyond its range");
  }
}

// Rows of words go in blocks of several sizes and a plain tail: every length up to past two of
// the largest blocks, of words around the limit of 1023, mapped apart and in place.
TEST(TableForms, WordRowsOfEveryLengthEqualTheirTable) {
  std::uint16_t table[kMax16 + 1];
  GammaTable16(60, table);
  WordTableMap map;
  map.Prepare(table);
  std::vector<std::uint8_t> source(2 * 300);
  for (std::size_t i = 0; i < source.size() / 2; ++i)
    Store16(&source[2 * i], static_cast<std::uint16_t>(900 + 7 * i));
  for (int pixelBytes : {2, 8}) {
    for (std::size_t pixels = 0; pixels <= source.size() / pixelBytes; ++pixels) {
      std::vector<std::uint8_t> want(source.size(), 0x5A), apart(want), wantInPlace(source),
          inPlace(source);
      for (std::uint8_t* out : {want.data(), wantInPlace.data()}) {
        if (pixelBytes == 8) {
          Lookup16Bgrx_C(out, source.data(), pixels, table);
        } else {
          Lookup16Run_C(out, source.data(), pixels, table);
        }
      }
      map.MapRow(apart.data(), source.data(), pixels, pixelBytes);
      map.MapRow(inPlace.data(), inPlace.data(), pixels, pixelBytes);
      ASSERT_EQ(apart, want) << pixels << " pixels of " << pixelBytes << " bytes";
      ASSERT_EQ(inPlace, wantInPlace) << pixels << " pixels of " << pixelBytes << " bytes in place";
    }
  }
}

// The line forms are what the comparisons above exercise for brightness and contrast: they must
// be found for nearly every setting (doubles a unit off a line leave a few as tables), and
// never for a curve.
TEST(TableForms, LinesAreFoundForBrightnessAndContrastAlone) {
  struct Expected {
    const StageRange* stage;
    int atLeast8, atLeast16;
  };
  const Expected expected[] = {{&kStages[1], 245, 235}, {&kStages[2], 495, 460}};
  for (const Expected& e : expected) {
    int found8 = 0, found16 = 0;
    for (std::int32_t setting = e.stage->from; setting <= e.stage->to; ++setting) {
      std::uint8_t table8[256];
      std::uint16_t table16[kMax16 + 1];
      e.stage->build8(setting, table8);
      e.stage->build16(setting, table16);
      LineForm form;
      found8 += FindLine8(table8, &form) ? 1 : 0;
      found16 += FindLine16(table16, &form) ? 1 : 0;
    }
    EXPECT_GE(found8, e.atLeast8) << e.stage->name;
    EXPECT_GE(found16, e.atLeast16) << e.stage->name;
  }
  std::uint8_t table8[256];
  std::uint16_t table16[kMax16 + 1];
  GammaTable8(60, table8);
  GammaTable16(60, table16);
  LineForm form;
  EXPECT_FALSE(FindLine8(table8, &form));
  EXPECT_FALSE(FindLine16(table16, &form));
}

}  // namespace
}  // namespace orvex::filters::testing
