// The faster forms of the conversions from the raw frame against the forms that define their
// bytes: every row length up to a few vector steps and around the sensor's width, every sample
// value in every position of a step, rows that start on no particular boundary, and the bytes
// past a row watched (the vector form's 32-byte stores reach past the pixels of a step).

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
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

std::vector<int> RowWidths() {
  std::vector<int> widths;
  for (int w = 1; w <= 70; ++w) widths.push_back(w);
  for (int w : {255, 256, 257}) widths.push_back(w);
  for (int w = 1265; w <= 1295; ++w) widths.push_back(w);
  return widths;
}

TEST(PseudoColorRowTest, FastFormsGiveThePlainBytesAndStopAtTheRowEnd) {
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

  using Form = std::function<void(std::uint8_t*, const std::uint8_t*, std::int32_t)>;
  std::vector<std::pair<const char*, Form>> forms = {
      {"pairs", [&](std::uint8_t* to, const std::uint8_t* from, std::int32_t n) {
         PseudoColorRow_Pairs(to, from, n, rows.pairs);
       }}};
#if ORVEX_X86
  if (TestCpuFeature(kCpuHasAvx2)) {
    forms.push_back({"avx2", [&](std::uint8_t* to, const std::uint8_t* from, std::int32_t n) {
                       PseudoColorRow_AVX2(to, from, n, rows.colors);
                     }});
  }
#endif
  for (const auto& [name, form] : forms) {
    for (int w : RowWidths()) {
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
          form(got.data() + shift, samples.data() + shift, w);
          ASSERT_EQ(got, want) << name << ", width " << w << " shift " << shift << " pass " << pass;
        }
      }
    }
  }
}

}  // namespace
}  // namespace orvex
