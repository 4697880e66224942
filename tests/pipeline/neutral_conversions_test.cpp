// The faster forms of the conversions from the raw frame against the forms that define their
// bytes, at widths around their steps, with every sample value, and with the bytes past a row
// watched.

#include <gtest/gtest.h>

#include <cstdint>
#include <numeric>
#include <random>
#include <vector>

#include "imaging/color_conversion.h"
#include "imaging/hue_table.h"
#include "imaging/image_buffer.h"
#include "platform/testing/recording_window_system.h"

namespace orvex {
namespace {

constexpr std::uint8_t kGuard = 0xA5;
constexpr int kGuardBytes = 16;

std::vector<int> RowWidths() {
  std::vector<int> widths(40);
  std::iota(widths.begin(), widths.end(), 1);
  for (int w : {63, 64, 65, 255, 256, 257, 1279, 1280}) widths.push_back(w);
  return widths;
}

TEST(PseudoColorRowTest, PairsGiveThePlainBytesAndStopAtTheRowEnd) {
  std::mt19937 rng(99);
  HueTable table{};
  for (std::uint32_t& entry : table) entry = rng() & 0xFFFFFFu;
  platform::testing::RecordingWindowSystem windows;
  ImageBuffer raw(windows), colour(windows);
  ASSERT_EQ(raw.Create(1, 1, 8), 1);
  ASSERT_EQ(colour.Create(1, 1, 24), 1);
  PseudoColorRows rows;
  ASSERT_TRUE(PreparePseudoColorRows(raw, colour, table, &rows));
  for (int w : RowWidths()) {
    // Every sample value within the first rows, in a shuffled order, then random ones.
    std::vector<std::uint8_t> samples(static_cast<std::size_t>(w));
    for (int offset = 0; offset < 256; offset += w) {
      for (int i = 0; i < w; ++i) samples[i] = static_cast<std::uint8_t>((offset + i * 37) & 0xFF);
      std::vector<std::uint8_t> want(3 * w + kGuardBytes, kGuard), got(want);
      PseudoColorRow_C(want.data(), samples.data(), w, rows.colors);
      PseudoColorRow_Pairs(got.data(), samples.data(), w, rows.pairs);
      ASSERT_EQ(got, want) << "width " << w << " offset " << offset;
      for (int i = 0; i < kGuardBytes; ++i) ASSERT_EQ(got[3 * w + i], kGuard) << "width " << w;
    }
  }
}

}  // namespace
}  // namespace orvex
