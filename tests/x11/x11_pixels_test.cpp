// Bitmaps turned into X visual pixels and placed as the drawing calls place them; no display.
// GoogleTest first: the X headers define None.
// clang-format off
#include <gtest/gtest.h>
#include <X11/X.h>
// clang-format on

#include "platform/x11/x11_pixels.h"

#include <cstdint>
#include <vector>

namespace orvex::platform::x11 {
namespace {

struct Bitmap {
  Bitmap(std::int32_t width, std::int32_t height, std::uint16_t bits) {
    header.width = width;
    header.height = height;
    header.planes = 1;
    header.bitCount = bits;
    stride = (static_cast<std::size_t>(width) * bits + 31) / 32 * 4;
    pixels.assign(stride * static_cast<std::size_t>(height < 0 ? -height : height), 0);
  }
  BitmapView View() const { return BitmapView{0, pixels.data(), &header, table.data()}; }
  BitmapInfoHeader header;
  std::size_t stride;
  std::vector<std::uint8_t> pixels;
  std::vector<RgbQuad> table = std::vector<RgbQuad>(256);
};

PixelFormat Format(int bits, bool msbFirst, std::uint32_t red, std::uint32_t green,
                   std::uint32_t blue) {
  auto format = MakePixelFormat(TrueColor, bits, msbFirst, red, green, blue);
  EXPECT_TRUE(format.has_value());
  return format.value_or(PixelFormat{});
}

TEST(X11PixelsTest, OnlyTrueColorLayoutsAreDrawn) {
  EXPECT_TRUE(MakePixelFormat(TrueColor, 32, false, 0xFF0000, 0xFF00, 0xFF));
  EXPECT_TRUE(MakePixelFormat(TrueColor, 16, true, 0xF800, 0x07E0, 0x001F));
  EXPECT_TRUE(MakePixelFormat(TrueColor, 32, false, 0x3FF00000, 0xFFC00, 0x3FF));  // depth 30
  EXPECT_FALSE(MakePixelFormat(PseudoColor, 8, false, 0, 0, 0));
  EXPECT_FALSE(MakePixelFormat(StaticGray, 8, false, 0, 0, 0));
  EXPECT_FALSE(MakePixelFormat(DirectColor, 32, false, 0xFF0000, 0xFF00, 0xFF));
  EXPECT_FALSE(MakePixelFormat(TrueColor, 8, false, 0xE0, 0x1C, 0x03));
  EXPECT_FALSE(MakePixelFormat(TrueColor, 32, false, 0xFF00FF, 0xFF00, 0xFF));  // overlap
  EXPECT_FALSE(MakePixelFormat(TrueColor, 32, false, 0xF0F000, 0xFF00, 0xFF));  // two runs
  EXPECT_FALSE(MakePixelFormat(TrueColor, 16, false, 0xFF0000, 0xFF00, 0xFF));  // too wide
}

TEST(X11PixelsTest, ChannelsTakeTheTopBitsOrStretchToFullScale) {
  const PixelFormat common = Format(32, false, 0xFF0000, 0xFF00, 0xFF);
  EXPECT_EQ(PixelOf(common, 0x12, 0x34, 0x56), 0x563412u);
  const PixelFormat rgb565 = Format(16, false, 0xF800, 0x07E0, 0x001F);
  EXPECT_EQ(PixelOf(rgb565, 0xFF, 0x00, 0xFF), 0xF81Fu);
  EXPECT_EQ(PixelOf(rgb565, 0x08, 0x04, 0x80), 0x8021u);
  const PixelFormat deep = Format(32, false, 0x3FF00000, 0xFFC00, 0x3FF);
  EXPECT_EQ(PixelOf(deep, 255, 0, 128), (514u << 20) | 1023u);
}

// One 24-bit row of three pixels into each layout, byte for byte.
TEST(X11PixelsTest, ImagesFollowTheVisualsPixelSizeAndByteOrder) {
  Bitmap bitmap(3, 1, 24);
  const std::uint8_t bgr[] = {0x01, 0x02, 0x03, 0x10, 0x20, 0x30, 0xFF, 0x80, 0x00};
  std::copy(std::begin(bgr), std::end(bgr), bitmap.pixels.begin());

  struct Case {
    PixelFormat format;
    std::vector<std::uint8_t> bytes;
  };
  const Case cases[] = {
      {Format(32, false, 0xFF0000, 0xFF00, 0xFF),
       {0x01, 0x02, 0x03, 0, 0x10, 0x20, 0x30, 0, 0xFF, 0x80, 0x00, 0}},
      {Format(32, true, 0xFF0000, 0xFF00, 0xFF),
       {0, 0x03, 0x02, 0x01, 0, 0x30, 0x20, 0x10, 0, 0x00, 0x80, 0xFF}},
      {Format(32, false, 0xFF, 0xFF00, 0xFF0000),  // red in the low byte
       {0x03, 0x02, 0x01, 0, 0x30, 0x20, 0x10, 0, 0x00, 0x80, 0xFF, 0}},
      {Format(24, false, 0xFF0000, 0xFF00, 0xFF),
       {0x01, 0x02, 0x03, 0x10, 0x20, 0x30, 0xFF, 0x80, 0x00}},
      {Format(16, false, 0xF800, 0x07E0, 0x001F), {0x00, 0x00, 0x02, 0x31, 0x1F, 0x04}},
      {Format(16, true, 0xF800, 0x07E0, 0x001F), {0x00, 0x00, 0x31, 0x02, 0x04, 0x1F}},
  };
  for (const Case& c : cases) {
    const auto source = ReadBitmap(bitmap.View(), c.format);
    ASSERT_TRUE(source);
    const Placement placement = PlaceDiBits(source->dib, 0, 0, 3, 1, 0, 0, 0, 1);
    std::vector<std::uint8_t> image(c.bytes.size() + 4, 0xEE);
    ComposeImage(*source, placement, c.format, image.data(), c.bytes.size());
    EXPECT_EQ(std::vector<std::uint8_t>(image.begin(), image.begin() + c.bytes.size()), c.bytes);
    EXPECT_EQ(image[c.bytes.size()], 0xEE) << "written past the row";
  }
}

TEST(X11PixelsTest, PaletteBitmapsUseTheirTableAndGrayWithoutOne) {
  Bitmap bitmap(2, 1, 8);
  bitmap.pixels[0] = 5;
  bitmap.pixels[1] = 200;
  bitmap.table[5] = RgbQuad{0x11, 0x22, 0x33, 0};
  bitmap.table[200] = RgbQuad{0xAA, 0xBB, 0xCC, 0};
  const PixelFormat format = Format(32, false, 0xFF0000, 0xFF00, 0xFF);
  auto source = ReadBitmap(bitmap.View(), format);
  ASSERT_TRUE(source);
  EXPECT_EQ(source->colors[5], 0x332211u);
  EXPECT_EQ(source->colors[200], 0xCCBBAAu);

  BitmapView noTable = bitmap.View();
  noTable.colorTable = nullptr;
  source = ReadBitmap(noTable, format);
  ASSERT_TRUE(source);
  EXPECT_EQ(source->colors[200], 0xC8C8C8u);
}

TEST(X11PixelsTest, UndrawableBitmapsAreRefused) {
  const PixelFormat format = Format(32, false, 0xFF0000, 0xFF00, 0xFF);
  Bitmap bitmap(4, 4, 16);
  EXPECT_FALSE(ReadBitmap(bitmap.View(), format));
  Bitmap compressed(4, 4, 24);
  compressed.header.compression = 1;
  EXPECT_FALSE(ReadBitmap(compressed.View(), format));
  Bitmap empty(0, 4, 24);
  EXPECT_FALSE(ReadBitmap(empty.View(), format));
  BitmapView noPixels = Bitmap(4, 4, 24).View();
  noPixels.pixels = nullptr;
  EXPECT_FALSE(ReadBitmap(noPixels, format));
}

}  // namespace
}  // namespace orvex::platform::x11
