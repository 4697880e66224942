// The pseudo-colour form that computes the hue table's colours instead of reading them: every
// sample value in every position of its 32-pixel step against the plain form, rows that end
// anywhere in a step, and tables it must not be used for (then the lookups give the bytes).

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "base/cpu_features.h"
#include "imaging/color_conversion.h"
#include "imaging/hue_table.h"
#include "imaging/image_buffer.h"
#include "imaging/simd_target.h"
#include "platform/testing/recording_window_system.h"

namespace orvex {
namespace {

constexpr std::uint8_t kGuard = 0x5A;

HueTable BuiltTable() {
  HueTable table{};
  BuildHueTable(table);
  return table;
}

// Entries are packed red, green, blue from bit 0.
void SetChannel(HueTable& table, int v, int shift, int value) {
  table[v] = (table[v] & ~(0xFFu << shift)) | static_cast<std::uint32_t>(value) << shift;
}

class PseudoColorRampsTest : public ::testing::Test {
 protected:
  bool Prepare(const HueTable& table) {
    return raw_.Create(1, 1, 8) == 1 && colour_.Create(1, 1, 24) == 1 &&
           PreparePseudoColorRows(raw_, colour_, table, &rows_);
  }

  // PseudoColorMap of a few rows of `width` samples against PseudoColorRow_C row by row; the
  // bytes between a row's end and the next row's start must stay as they were.
  void ExpectMapGivesThePlainBytes(const HueTable& table, int width) {
    ASSERT_EQ(raw_.Create(width, 3, 8), 1);
    ASSERT_EQ(colour_.Create(width, 3, 24), 1);
    for (int y = 0; y < 3; ++y) {
      for (int x = 0; x < width; ++x) {
        raw_.pixels[y * raw_.stride + x] = static_cast<std::uint8_t>(x * 7 + y * 101);
      }
    }
    std::fill(colour_.pixels, colour_.pixels + colour_.ByteSize(), kGuard);
    ASSERT_EQ(PseudoColorMap(raw_, colour_, table), 1);
    PseudoColorRows plain;
    ASSERT_TRUE(PreparePseudoColorRows(raw_, colour_, table, &plain));
    for (int y = 0; y < 3; ++y) {
      std::vector<std::uint8_t> want(static_cast<std::size_t>(colour_.stride), kGuard);
      PseudoColorRow_C(want.data(), raw_.pixels + y * raw_.stride, width, plain.colors);
      const std::uint8_t* row = colour_.pixels + y * colour_.stride;
      ASSERT_EQ(std::vector<std::uint8_t>(row, row + colour_.stride), want)
          << "width " << width << " row " << y;
    }
  }

  platform::testing::RecordingWindowSystem windows_;
  ImageBuffer raw_{windows_}, colour_{windows_};
  PseudoColorRows rows_;
};

TEST_F(PseudoColorRampsTest, EveryValueInEveryPositionOfAStepGivesThePlainBytes) {
#if ORVEX_X86
  if (!TestCpuFeature(kCpuHasAvx2)) GTEST_SKIP() << "no AVX2";
  ASSERT_TRUE(Prepare(BuiltTable()));
  ASSERT_TRUE(rows_.ramps.exact);
  std::vector<int> widths;
  for (int w = 1; w <= 70; ++w) widths.push_back(w);
  for (int w : {95, 96, 97, 1279, 1280, 1281}) widths.push_back(w);
  for (int w : widths) {
    std::vector<std::uint8_t> samples(static_cast<std::size_t>(w));
    // Sample i of pass p is p + i, so over the passes every position sees every value.
    for (int pass = 0; pass < 256; ++pass) {
      for (int i = 0; i < w; ++i) samples[i] = static_cast<std::uint8_t>(pass + i);
      std::vector<std::uint8_t> want(3 * w + 32, kGuard), got(want);
      PseudoColorRow_C(want.data(), samples.data(), w, rows_.colors);
      PseudoColorRow_RampsAVX2(got.data(), samples.data(), w, rows_.ramps, rows_.colors);
      ASSERT_EQ(got, want) << "width " << w << " pass " << pass;
    }
  }
#else
  GTEST_SKIP() << "not an x86 build";
#endif
}

TEST_F(PseudoColorRampsTest, TablesTheRampsDoNotGiveGoByTheLookups) {
  struct Case {
    const char* name;
    int v, shift, delta;  // table[v]'s channel at `shift` changed by delta
    bool exact;           // whether the ramp form still applies
  };
  const Case cases[] = {
      {"the built table", 1, 0, 0, true},
      // Below the ramps blue and red come from the table itself.
      {"blue below the ramps", 10, 16, 3, true},
      {"red below the ramps", 58, 0, -1, true},
      {"green below the ramps", 30, 8, 1, false},
      {"red at the ramps' start", 59, 0, 1, false},
      {"green on its rise", 90, 8, -1, false},
      {"blue on its fall", 150, 16, 1, false},
      {"red on its rise", 200, 0, 1, false},
      {"green on its fall", 254, 8, 1, false},
  };
  for (const Case& c : cases) {
    HueTable table = BuiltTable();
    const int old = static_cast<int>(table[c.v] >> c.shift & 0xFF);
    SetChannel(table, c.v, c.shift, old + c.delta);
    ASSERT_TRUE(Prepare(table));
    EXPECT_EQ(rows_.ramps.exact, c.exact) << c.name;
    for (int width : {45, 64, 77}) {
      ExpectMapGivesThePlainBytes(table, width);
      if (HasFatalFailure()) return;
    }
  }
}

}  // namespace
}  // namespace orvex
