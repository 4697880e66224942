// The vector forms of the hue and saturation stage against the pixel definition on every 8-bit
// (red, green, blue), for offsets at and around every boundary of the arithmetic.

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <random>
#include <vector>

#include "imaging/filters/hue_saturation.h"

namespace orvex::filters {
namespace {

// Hue offsets at the edges of the normalised range, of a sector and of a 64-step piece;
// saturation offsets that leave S' at or past 0 and 255; lightness offsets past 0..255 and
// back (the pipeline passes none, the kernels any).
const HueSaturationRecord kRecords[] = {
    {30, 0, 40},           {-250, 0, 255},        {600, 0, -100}, {0, 0, 0},
    {-720, 0, 1},          {719, 0, -1},          {-1, 0, 255},   {359, 0, -255},
    {120, 0, 512},         {-121, 0, -512},       {60, 0, 100},   {-300, 0, 7},
    {INT_MAX, 0, INT_MAX}, {INT_MIN, 0, INT_MIN}, {45, 1, 30},    {200, -1, -30},
    {-90, 255, 128},       {181, -255, 255},      {10, 512, 0},   {-10, -512, 64},
};

// One row of 65536 pixels of the given red: every green and blue.
void FillRow(std::vector<std::uint8_t>& row, int red, int pixelBytes, bool wide,
             std::mt19937& rng) {
  for (int i = 0; i < 65536; ++i) {
    const int channel[3] = {i & 0xFF, i >> 8, red};  // blue, green, red
    std::uint8_t* p = row.data() + static_cast<std::size_t>(i) * pixelBytes;
    for (int c = 0; c < pixelBytes / (wide ? 2 : 1); ++c) {
      if (!wide) {
        p[c] = static_cast<std::uint8_t>(c < 3 ? channel[c] : rng());
        continue;
      }
      // Ten-bit words: the two low bits do not count, nor anything past 1023.
      std::uint16_t w = static_cast<std::uint16_t>(rng());
      if (c < 3) {
        w = static_cast<std::uint16_t>(channel[c] << 2 | (w & 3));
        if (channel[c] == 255 && (rng() & 1)) w = static_cast<std::uint16_t>(1024 + rng() % 64512);
      }
      std::memcpy(p + 2 * c, &w, 2);
    }
  }
}

void ExpectedRow(const std::vector<std::uint8_t>& in, std::vector<std::uint8_t>& out, int red,
                 int pixelBytes, bool wide, const HueSaturationRecord& record) {
  out = in;
  for (int i = 0; i < 65536; ++i) {
    std::uint8_t* p = out.data() + static_cast<std::size_t>(i) * pixelBytes;
    const std::uint32_t v = HueSaturationPixel_C(red, i >> 8, i & 0xFF, record);
    for (int c = 0; c < 3; ++c) {
      const std::uint8_t byte = static_cast<std::uint8_t>(v >> (8 * c));
      if (wide) {
        const std::uint16_t w = static_cast<std::uint16_t>(byte << 2);
        std::memcpy(p + 2 * c, &w, 2);
      } else {
        p[c] = byte;
      }
    }
  }
}

// The first offsets go through every colour (in optimised builds; the definition's own
// arithmetic costs tens of nanoseconds a pixel), the others through every green and blue for
// reds spread over 0..255. The pixel layouts take turns by red.
TEST(HueSaturationExactness, EveryColourForEachOffset) {
#ifdef NDEBUG
  const std::size_t exhaustive = 2;
#else
  const std::size_t exhaustive = 0;
#endif
  std::mt19937 rng(7);
  std::vector<std::uint8_t> row, expected;
  const int layouts[][2] = {{4, 0}, {3, 0}, {8, 1}, {6, 1}};  // pixel bytes, wide
  for (std::size_t n = 0; n < std::size(kRecords); ++n) {
    const HueSaturationRecord& record = kRecords[n];
    const HueSaturationOffsets offsets = NormaliseOffsets(record);
    for (int red = 0; red < 256; red += n < exhaustive ? 1 : 17) {
      const int* layout = layouts[(red + n) % 4];
      const int pixelBytes = layout[0];
      const bool wide = layout[1] != 0;
      row.resize(static_cast<std::size_t>(65536) * pixelBytes);
      FillRow(row, red, pixelBytes, wide, rng);
      ExpectedRow(row, expected, red, pixelBytes, wide, record);
      HueSaturationRow(row.data(), 65536, pixelBytes, wide, offsets);
      if (row != expected) {
        std::size_t at = 0;
        while (row[at] == expected[at]) ++at;
        const std::size_t pixel = at / pixelBytes;
        FAIL() << "offsets " << record.hueOffset << ", " << record.lightnessOffset << ", "
               << record.saturationOffset << ": red " << red << " green " << (pixel >> 8)
               << " blue " << (pixel & 0xFF) << ", " << pixelBytes << " bytes a pixel";
      }
    }
  }
}

// Every hue offset of the normalised range (and past it) on pixels of every hue: with the
// largest and smallest channel 64 apart, the hue division is exact and the numerator alone
// sets the hue, so each channel order gives a whole sector.
TEST(HueSaturationExactness, EveryHueOffsetOnEveryHue) {
  std::vector<std::uint8_t> pixels;
  for (int smallest : {0, 30, 95, 130, 191}) {
    const int largest = smallest + 64;
    for (int numerator = -64; numerator <= 64; ++numerator) {
      const int up = smallest + (numerator > 0 ? numerator : 0);
      const int down = smallest + (numerator < 0 ? -numerator : 0);
      const int orders[3][3] = {{down, up, largest},   // red largest: green - blue
                                {up, largest, down},   // green largest: blue - red
                                {largest, down, up}};  // blue largest: red - green
      for (const auto& bgr : orders) {
        pixels.insert(pixels.end(),
                      {static_cast<std::uint8_t>(bgr[0]), static_cast<std::uint8_t>(bgr[1]),
                       static_cast<std::uint8_t>(bgr[2]), 0x5A});
      }
    }
  }
  const std::int32_t count = static_cast<std::int32_t>(pixels.size() / 4);
  std::vector<std::uint8_t> row(pixels.size());
  for (std::int32_t lightness : {0, 100}) {
    for (std::int32_t saturation : {40, -30}) {
      for (std::int32_t hue = -722; hue <= 722; ++hue) {
        const std::int32_t hueOffset = hue == -722 ? INT_MIN : hue == 722 ? INT_MAX : hue;
        const HueSaturationRecord record{hueOffset, lightness, saturation};
        row = pixels;
        HueSaturationRow(row.data(), count, 4, false, NormaliseOffsets(record));
        for (std::int32_t i = 0; i < count; ++i) {
          const std::uint8_t* p = pixels.data() + 4 * i;
          const std::uint32_t v = HueSaturationPixel_C(p[2], p[1], p[0], record);
          const std::uint8_t want[4] = {static_cast<std::uint8_t>(v),
                                        static_cast<std::uint8_t>(v >> 8),
                                        static_cast<std::uint8_t>(v >> 16), 0x5A};
          ASSERT_EQ(std::memcmp(row.data() + 4 * i, want, 4), 0)
              << "offsets " << hueOffset << ", " << lightness << ", " << saturation << ": pixel "
              << int{p[2]} << ", " << int{p[1]} << ", " << int{p[0]};
        }
      }
    }
  }
}

}  // namespace
}  // namespace orvex::filters
