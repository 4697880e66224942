// The vector sharpness rows work the sharpen term s x (o - b) / 10 out arithmetically, where the
// plain rows read it from the table: every setting they accept, against every difference o - b
// that 8-bit and 10-bit samples give, with the original sample at both ends of its range so
// that the limits to 0 .. full scale are reached from either side.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "base/cpu_features.h"
#include "imaging/filters/sharpness_rows.h"

namespace orvex::filters {
namespace {

struct RowBytes {
  std::vector<std::uint8_t> blurred, source, destination;
};

// One row of `elements` samples whose blur is `level` everywhere (four equal rows, all of it
// `level`) and whose originals run through 0 .. full and back down, each sample value next to
// its neighbours, so that o - b takes every value from -level to full - level.
RowBytes MakeRow(bool wide, int full, int level, int elements) {
  const int size = wide ? 2 : 1;
  RowBytes row;
  row.blurred.assign(static_cast<std::size_t>(elements) * size, 0);
  row.source.assign(row.blurred.size(), 0);
  row.destination.assign(row.blurred.size(), 0xEE);
  for (int p = 0; p < elements; ++p) {
    const int period = 2 * full + 2;
    const int k = p % period;
    const int o = k <= full ? k : period - 1 - k;
    if (wide) {
      const auto b16 = static_cast<std::uint16_t>(level), o16 = static_cast<std::uint16_t>(o);
      std::memcpy(&row.blurred[2 * p], &b16, 2);
      std::memcpy(&row.source[2 * p], &o16, 2);
    } else {
      row.blurred[p] = static_cast<std::uint8_t>(level);
      row.source[p] = static_cast<std::uint8_t>(o);
    }
  }
  return row;
}

TEST(SharpenSettingsTest, VectorRowsMatchTheTableAtEverySettingAndDifference) {
  const std::uint32_t forms[] = {kCpuHasSse2, kCpuHasSse2 | kCpuHasAvx2};
  for (const bool wide : {false, true}) {
    const int full = wide ? kMax16 : 255;
    const int limit = VectorSharpnessLimit(full);
    const int elements = 2 * full + 2 + 9;  // both runs, plus a tail shorter than a step
    for (const int level : {0, full / 2, full}) {
      RowBytes row = MakeRow(wide, full, level, elements);
      std::vector<std::uint16_t> sums(static_cast<std::size_t>(elements));
      for (int s = -limit; s <= limit; ++s) {
        const SharpenTable table(s, full);
        RowJob job{{row.blurred.data(), row.blurred.data(), row.blurred.data(), row.blurred.data()},
                   row.source.data(),
                   nullptr,
                   elements,
                   1,
                   sums.data()};
        std::vector<std::uint8_t> want = row.destination;
        job.destination = want.data();
        if (wide) {
          SharpnessRow_C<true>(job, table);
        } else {
          SharpnessRow_C<false>(job, table);
        }
        for (const std::uint32_t features : forms) {
          if (!TestCpuFeature(features)) continue;
          MaskCpuFeatures(features);
          const SharpnessRowForm form = FastestSharpnessRow(wide, table);
          MaskCpuFeatures(kCpuAllFeatures);
          std::vector<std::uint8_t> got = row.destination;
          job.destination = got.data();
          form(job, table);
          ASSERT_EQ(got, want) << (wide ? "words" : "bytes") << ", setting " << s << ", blur "
                               << level << ", features " << features;
        }
      }
    }
  }
}

}  // namespace
}  // namespace orvex::filters
