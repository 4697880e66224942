// The kernel framework's clipping and the conversion kernels of the pipeline.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "imaging/color_conversion.h"
#include "imaging/kernel_framework.h"
#include "platform/testing/recording_window_system.h"

namespace orvex {
namespace {

class KernelTest : public ::testing::Test {
 protected:
  // A new image owned by the test.
  ImageBuffer& Image(std::int32_t width, std::int32_t height, std::uint16_t bits) {
    images_.push_back(std::make_unique<ImageBuffer>(windows_));
    EXPECT_EQ(images_.back()->Create(width, height, bits), 1);
    return *images_.back();
  }
  platform::testing::RecordingWindowSystem windows_;
  std::vector<std::unique_ptr<ImageBuffer>> images_;
};

struct Clipped {
  int result;
  std::int32_t left, top, right, bottom, x, y;
  bool operator==(const Clipped&) const = default;
};

Clipped Clip(const ImageBuffer& destination, const ImageBuffer& source, Clipped in) {
  std::int32_t region[4] = {in.left, in.top, in.right, in.bottom};
  std::int32_t x = in.x, y = in.y;
  const int result = ClipRegion(destination, source, region, &x, &y);
  return {result, region[0], region[1], region[2], region[3], x, y};
}

TEST_F(KernelTest, ClipRegionTurnsImageRowsIntoBufferRowsAndCutsToBothImages) {
  ImageBuffer destination(windows_), source(windows_);
  destination.width = source.width = 100;
  destination.height = source.height = 80;

  // The whole image at the origin is the identity.
  EXPECT_EQ(Clip(destination, source, {0, 0, 0, 100, 80, 0, 0}), (Clipped{1, 0, 0, 100, 80, 0, 0}));
  // A measurement window placed where it lies: rows counted from the bottom of the buffer.
  EXPECT_EQ(Clip(destination, source, {0, 10, 20, 30, 40, 10, 20}),
            (Clipped{1, 10, 40, 30, 60, 10, 40}));
  // Partly outside on the left and top: only the part inside both, and each pixel still
  // lands where it belongs.
  EXPECT_EQ(Clip(destination, source, {0, -5, -10, 20, 10, 0, 0}),
            (Clipped{1, 0, 70, 20, 80, 5, 60}));
  // Partly outside on the right and bottom of a smaller destination.
  destination.width = 50;
  destination.height = 40;
  EXPECT_EQ(Clip(destination, source, {0, 90, 70, 100, 80, 45, 35}),
            (Clipped{1, 90, 5, 95, 10, 45, 0}));
  // Wholly outside either image: nothing left, everything zeroed.
  EXPECT_EQ(Clip(destination, source, {0, 100, 0, 120, 10, 0, 0}), (Clipped{0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(Clip(destination, source, {0, 0, 0, 10, 10, 50, 0}), (Clipped{0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(Clip(destination, source, {0, 0, 0, 10, 10, -10, -3}), (Clipped{0, 0, 0, 0, 0, 0, 0}));
}

// Packed rows of `width` samples, then spread in place: every row must land at its stride,
// whatever the width's remainder by 4 (the buffers end exactly at stride x height, so a write
// past them shows under the address sanitizer).
TEST_F(KernelTest, ExpandRowsSpreadsPackedRowsToTheStride) {
  for (std::uint16_t bits : {8, 16}) {
    const std::size_t bytes = bits / 8;
    for (std::int32_t width : {1, 2, 3, 5, 6, 7, 1278}) {
      for (std::int32_t height : {1, 3, 6}) {
        ImageBuffer& image = Image(width, height, bits);
        const std::size_t packedRow = width * bytes;
        std::vector<std::uint8_t> packed(packedRow * height);
        for (std::size_t i = 0; i < packed.size(); ++i)
          packed[i] = static_cast<std::uint8_t>(i * 7 + 1);
        std::memcpy(image.pixels, packed.data(), packed.size());

        ApplyKernel(image, bits == 8 ? ExpandRows8 : ExpandRows16, image, nullptr, 0, 0, nullptr,
                    0);

        for (std::int32_t row = 0; row < height; ++row) {
          ASSERT_EQ(std::memcmp(image.pixels + row * image.stride, packed.data() + row * packedRow,
                                packedRow),
                    0)
              << bits << "-bit, width " << width << ", height " << height << ", row " << row;
        }
      }
    }
  }
}

TEST_F(KernelTest, LuminanceWeighsGreenRedBlueAndTruncates) {
  for (std::uint16_t bits : {24, 32}) {
    ImageBuffer& color = Image(3, 2, bits);
    ImageBuffer& gray = Image(3, 2, 8);
    const std::size_t step = bits / 8;
    const std::uint8_t pixels[6][3] = {{255, 0, 0},     {0, 255, 0},  {0, 0, 255},
                                       {255, 255, 255}, {10, 20, 30}, {0, 0, 0}};
    for (int i = 0; i < 6; ++i) {
      std::memcpy(color.pixels + (i / 3) * color.stride + (i % 3) * step, pixels[i], 3);
    }
    ASSERT_EQ(ApplyKernel(gray, LuminanceKernel, color, nullptr, 0, 0, nullptr, 0), 1);
    const std::uint8_t expected[6] = {28, 150, 76, 255, 21, 0};
    for (int i = 0; i < 6; ++i) {
      EXPECT_EQ(gray.pixels[(i / 3) * gray.stride + i % 3], expected[i]) << bits << " " << i;
    }
  }
}

// The fast form divides by 100 as (x x 5243) >> 19: exact for every weighted sum there is.
TEST_F(KernelTest, LuminanceFastFormGivesThePlainFormsBytes) {
  for (std::uint32_t x = 0; x <= 59 * 255 + 30 * 255 + 11 * 255; ++x) {
    ASSERT_EQ((x * 5243) >> 19, x / 100) << x;
  }
  std::uint32_t seed = 12345;
  const auto random = [&seed] { return (seed = seed * 1103515245u + 12345u) >> 16; };
  for (std::uint16_t bits : {24, 32}) {
    for (std::int32_t width : {1, 31, 32, 33, 63, 64, 97, 1281}) {
      ImageBuffer& color = Image(width, 3, bits);
      for (std::size_t i = 0; i < color.ByteSize(); ++i) {
        color.pixels[i] = static_cast<std::uint8_t>(random());
      }
      ImageBuffer& want = Image(width, 3, 8);
      ImageBuffer& got = Image(width, 3, 8);
      std::memset(want.pixels, 0x77, want.ByteSize());
      std::memset(got.pixels, 0x77, got.ByteSize());
      ASSERT_EQ(ApplyKernel(want, LuminanceKernel_C, color, nullptr, 0, 0, nullptr, 0), 1);
      ASSERT_EQ(ApplyKernel(got, LuminanceKernel, color, nullptr, 0, 0, nullptr, 0), 1);
      ASSERT_EQ(std::memcmp(want.pixels, got.pixels, want.ByteSize()), 0) << bits << " " << width;
    }
  }
}

TEST_F(KernelTest, PseudoColorMapsThroughTheHueTableWithBlackAndWhiteEnds) {
  HueTable table{};
  for (int i = 0; i < kHueTableSize; ++i) table[i] = 0x010203u * static_cast<std::uint32_t>(i);
  // Width 6 is not a multiple of 4: rows must still line up with both strides.
  ImageBuffer& raw = Image(6, 3, 8);
  ImageBuffer& color = Image(6, 3, 24);
  for (std::int32_t row = 0; row < 3; ++row) {
    for (std::int32_t i = 0; i < 6; ++i)
      raw.pixels[row * raw.stride + i] = static_cast<std::uint8_t>(row * 120 + i * 25);
  }
  raw.pixels[0] = 0;
  raw.pixels[1] = 255;
  raw.pixels[2] = 128;

  ASSERT_EQ(PseudoColorMap(raw, color, table), 1);
  for (std::int32_t row = 0; row < 3; ++row) {
    for (std::int32_t i = 0; i < 6; ++i) {
      const int v = raw.pixels[row * raw.stride + i];
      const std::uint32_t packed = v == 0 ? 0 : v == 255 ? 0xFFFFFF : table[v];
      const std::uint8_t* pixel = color.pixels + row * color.stride + 3 * i;
      EXPECT_EQ(pixel[0], (packed >> 16) & 0xFF) << row << "," << i;
      EXPECT_EQ(pixel[1], (packed >> 8) & 0xFF) << row << "," << i;
      EXPECT_EQ(pixel[2], packed & 0xFF) << row << "," << i;
    }
  }
  ImageBuffer& other = Image(5, 3, 24);
  EXPECT_EQ(PseudoColorMap(raw, other, table), 0);
}

}  // namespace
}  // namespace orvex
