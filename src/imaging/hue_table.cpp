#include "imaging/hue_table.h"

#include <algorithm>

#include "base/double_precision.h"

namespace orvex {
namespace {

// Minus one sixtieth, as a double: the table's values depend on this exact constant and on
// multiplying by it rather than dividing by 60.
constexpr double kMinusOneSixtieth = -0.016666666666666666;

// The HLS colour model's value of one channel at `angle` degrees.
int HueValue(int lo, int hi, int angle) {
  const int h = angle % 360;  // the sign of the dividend, like C's remainder
  if (h < 0) return lo;
  if (h < 60) return lo - static_cast<int>(static_cast<double>((hi - lo) * h) * kMinusOneSixtieth);
  if (h < 180) return hi;
  if (h < 240) {
    return lo - static_cast<int>(static_cast<double>((hi - lo) * (240 - h)) * kMinusOneSixtieth);
  }
  return lo;
}

}  // namespace

int BuildHueTable(HueTable& table) {
  WithDoublePrecision([&] {
    for (int k = 0; k < kHueTableSize; ++k) {
      const int n = 38100 - 127 * k;
      int lightness = 127;
      if (n > 30480) lightness = 127 + (n - 30480) / 60;
      if (n < 0) lightness = 127 + n / 60;

      const int m2 =
          lightness < 128 ? lightness * 510 / 255 : lightness - lightness * 255 / 255 + 255;
      const int m1 = 2 * lightness - m2;

      const int red = std::clamp(HueValue(m1, m2, k + 420), 0, 255);
      const int green = std::clamp(HueValue(m1, m2, k + 300), 0, 255);
      const int blue = std::clamp(HueValue(m1, m2, k + 180), 0, 255);
      table[kHueTableSize - 1 - k] = static_cast<std::uint32_t>(red) |
                                     static_cast<std::uint32_t>(green) << 8 |
                                     static_cast<std::uint32_t>(blue) << 16;
    }
  });
  return 1;
}

}  // namespace orvex
