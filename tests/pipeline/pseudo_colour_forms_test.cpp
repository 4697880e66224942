// The AVX2 form of the pseudo-colour rows against the plain one: its 32-byte stores reach
// past the pixels of a step, so every row length up to a few steps, and lengths around the
// sensor's width, with the bytes after the row watched; every sample value in every position
// of a step; and rows that do not start on any particular boundary.

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
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
constexpr int kGuardBytes = 40;

TEST(PseudoColourFormsTest, Avx2GivesThePlainBytesAndStopsAtTheRowEnd) {
#if ORVEX_X86
  if (!TestCpuFeature(kCpuHasAvx2)) GTEST_SKIP() << "no AVX2 on this processor";
  std::mt19937 rng(2024);
  HueTable table{};
  // Every byte of an entry distinct from its neighbours', and the spare byte set, which must
  // never reach the output.
  for (std::uint32_t& entry : table) entry = rng();
  platform::testing::RecordingWindowSystem windows;
  ImageBuffer raw(windows), colour(windows);
  ASSERT_EQ(raw.Create(1, 1, 8), 1);
  ASSERT_EQ(colour.Create(1, 1, 24), 1);
  PseudoColorRows rows;
  ASSERT_TRUE(PreparePseudoColorRows(raw, colour, table, &rows));

  std::vector<int> widths;
  for (int w = 1; w <= 70; ++w) widths.push_back(w);
  for (int w = 1265; w <= 1295; ++w) widths.push_back(w);
  for (int w : widths) {
    for (int shift : {0, 1, 7}) {
      // Every sample value, 0 and 255 among them, over the first passes (a stride prime to
      // 256 through them), then random rows.
      std::vector<std::uint8_t> samples(static_cast<std::size_t>(w + shift));
      const int ordered = (256 + w - 1) / w;
      for (int pass = 0; pass < ordered + 2; ++pass) {
        for (int i = 0; i < w; ++i) {
          samples[shift + i] = static_cast<std::uint8_t>(
              pass < ordered ? ((pass * w + i) * 37 + shift) & 0xFF : rng() & 0xFF);
        }
        std::vector<std::uint8_t> want(shift + 3 * w + kGuardBytes, kGuard), got(want);
        PseudoColorRow_C(want.data() + shift, samples.data() + shift, w, rows.colors);
        PseudoColorRow_AVX2(got.data() + shift, samples.data() + shift, w, rows.colors);
        ASSERT_EQ(got, want) << "width " << w << " shift " << shift << " pass " << pass;
      }
    }
  }
#else
  GTEST_SKIP() << "no x86 processor";
#endif
}

}  // namespace
}  // namespace orvex
