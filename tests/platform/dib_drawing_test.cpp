// Where the two drawing calls put a bitmap's pixels, as every backend that draws from pixels
// places them.
#include "platform/dib_drawing.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace orvex::platform {
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
  BitmapView View() const { return BitmapView{0, pixels.data(), &header, nullptr}; }
  BitmapInfoHeader header;
  std::size_t stride;
  std::vector<std::uint8_t> pixels;
};

// The first memory row of a bottom-up bitmap is its bottom row: SetDIBitsToDevice shows it at
// the bottom, and only the scan lines the bits hold are drawn.
TEST(DibDrawingTest, DiBitsPlaceBottomUpRowsAndClipToTheScanLinesGiven) {
  Bitmap bitmap(8, 6, 24);
  const auto source = DescribeDib(bitmap.View());
  ASSERT_TRUE(source);

  Placement whole = PlaceDiBits(*source, 5, 7, 8, 6, 0, 0, 0, 6);
  EXPECT_EQ(whole.x, 5);
  EXPECT_EQ(whole.y, 7);
  EXPECT_EQ(whole.width, 8);
  EXPECT_EQ(whole.height, 6);
  EXPECT_EQ(whole.map.rows, (std::vector<std::int32_t>{5, 4, 3, 2, 1, 0}));

  // Scan lines 2 and 3 only: the bits start at scan line 2.
  Placement band = PlaceDiBits(*source, 0, 0, 8, 6, 0, 0, 2, 2);
  EXPECT_EQ(band.y, 2);
  EXPECT_EQ(band.height, 2);
  EXPECT_EQ(band.map.rows, (std::vector<std::int32_t>{1, 0}));

  // A source rectangle reaching left of the bitmap draws from its first column on.
  Placement shifted = PlaceDiBits(*source, 0, 0, 8, 6, -3, 0, 0, 6);
  EXPECT_EQ(shifted.x, 3);
  EXPECT_EQ(shifted.width, 5);
  EXPECT_EQ(shifted.map.columns.front(), 0);

  EXPECT_EQ(PlaceDiBits(*source, 0, 0, 8, 6, 8, 0, 0, 6).width, 0);
  EXPECT_EQ(PlaceDiBits(*source, 0, 0, 0, 6, 0, 0, 0, 6).width, 0);
}

TEST(DibDrawingTest, StretchMirrorsWithANegativeSourceHeightAndSamplesNearest) {
  Bitmap bitmap(8, 6, 24);
  const auto source = DescribeDib(bitmap.View());
  ASSERT_TRUE(source);

  // The direct path of a frame: memory row 0 at the top.
  Placement direct = PlaceStretch(*source, 0, 0, 8, 6, 0, 6, 8, -6);
  EXPECT_EQ(direct.map.rows, (std::vector<std::int32_t>{0, 1, 2, 3, 4, 5}));
  EXPECT_TRUE(direct.map.identityColumns);
  EXPECT_EQ(direct.map.columns.front(), 0);

  // Unmirrored: the top-down row 0 is memory row 5.
  Placement upright = PlaceStretch(*source, 0, 0, 8, 6, 0, 0, 8, 6);
  EXPECT_EQ(upright.map.rows.front(), 5);

  // Half size: every second pixel; double size: each pixel twice.
  Placement half = PlaceStretch(*source, 0, 0, 4, 3, 0, 0, 8, 6);
  EXPECT_EQ(half.map.columns, (std::vector<std::int32_t>{0, 2, 4, 6}));
  EXPECT_EQ(half.map.rows, (std::vector<std::int32_t>{5, 3, 1}));
  EXPECT_FALSE(half.map.identityColumns);
  Placement twice = PlaceStretch(*source, 0, 0, 16, 12, 0, 0, 8, 6);
  EXPECT_EQ(twice.map.columns[0], 0);
  EXPECT_EQ(twice.map.columns[1], 0);
  EXPECT_EQ(twice.map.columns[15], 7);

  // Pixels whose source lies beyond the bitmap are not drawn, as GDI does.
  Placement beyond = PlaceStretch(*source, 0, 0, 4, 1, 6, 0, 4, 1);
  EXPECT_EQ(beyond.width, 2);
  EXPECT_EQ(beyond.map.columns, (std::vector<std::int32_t>{6, 7}));
  EXPECT_EQ(PlaceStretch(*source, 0, 0, 8, 6, 0, 0, 0, 6).width, 0);
}

}  // namespace
}  // namespace orvex::platform
