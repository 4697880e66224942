#include "imaging/hue_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace orvex {
namespace {

struct Rgb {
  int red, green, blue;
  bool operator==(const Rgb&) const = default;
};

Rgb Unpack(std::uint32_t entry) {
  return {static_cast<int>(entry & 0xFF), static_cast<int>((entry >> 8) & 0xFF),
          static_cast<int>((entry >> 16) & 0xFF)};
}

void PrintTo(const Rgb& c, std::ostream* os) {
  *os << "(" << c.red << ", " << c.green << ", " << c.blue << ")";
}

class HueTableTest : public ::testing::Test {
 protected:
  void SetUp() override {
    table_.fill(0xDEADBEEF);
    ASSERT_EQ(BuildHueTable(table_), 1);
  }
  Rgb At(int index) const { return Unpack(table_[index]); }
  HueTable table_;
};

TEST_F(HueTableTest, KnownEntries) {
  EXPECT_EQ(At(1), (Rgb{9, 0, 10}));
  EXPECT_EQ(At(59), (Rgb{0, 0, 254}));
  EXPECT_EQ(At(128), (Rgb{0, 254, 215}));
  EXPECT_EQ(At(179), (Rgb{0, 254, 0}));
  EXPECT_EQ(At(200), (Rgb{88, 254, 0}));
  EXPECT_EQ(At(254), (Rgb{254, 190, 0}));
}

TEST_F(HueTableTest, EndsAndLightnessBoundaries) {
  // The darkest and lightest ends, and both sides of where the lightness leaves 127: these
  // catch a reversed or shifted index and an off-by-one in the lightness steps.
  EXPECT_EQ(At(0), (Rgb{5, 0, 6}));
  EXPECT_EQ(At(58), (Rgb{4, 0, 250}));
  EXPECT_EQ(At(60), (Rgb{0, 4, 254}));
  EXPECT_EQ(At(299), (Rgb{254, 0, 0}));
  EXPECT_EQ(At(300), (Rgb{255, 3, 7}));
  EXPECT_EQ(At(359), (Rgb{255, 253, 255}));
}

TEST_F(HueTableTest, TopByteIsZeroEverywhere) {
  for (int i = 0; i < kHueTableSize; ++i) EXPECT_EQ(table_[i] >> 24, 0u) << "entry " << i;
}

TEST_F(HueTableTest, MiddleRangeIsFullySaturatedAndChangesSmoothly) {
  // Entries 59 to 299 have lightness 127: one channel at 254, one at 0, and the hue moves by
  // one degree (at most 254 / 60 per channel) from each entry to the next.
  for (int i = 59; i <= 299; ++i) {
    const Rgb c = At(i);
    EXPECT_EQ(std::max({c.red, c.green, c.blue}), 254) << "entry " << i;
    EXPECT_EQ(std::min({c.red, c.green, c.blue}), 0) << "entry " << i;
    if (i < 299) {
      const Rgb next = At(i + 1);
      EXPECT_LE(std::abs(next.red - c.red), 5) << "entry " << i;
      EXPECT_LE(std::abs(next.green - c.green), 5) << "entry " << i;
      EXPECT_LE(std::abs(next.blue - c.blue), 5) << "entry " << i;
    }
  }
}

}  // namespace
}  // namespace orvex
