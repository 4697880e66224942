#include "imaging/image_buffer.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/testing/recording_window_system.h"

namespace orvex {
namespace {

class ImageBufferTest : public ::testing::Test {
 protected:
  platform::testing::RecordingWindowSystem windows;  // refuses bitmaps: plain memory
};

TEST_F(ImageBufferTest, StrideIsRowBytesRaisedToFour) {
  ImageBuffer image(windows);
  ASSERT_EQ(image.Create(1280, 1024, 24), 1);
  EXPECT_EQ(image.stride, 3840u);
  ASSERT_EQ(image.Create(1281, 1024, 24), 1);
  EXPECT_EQ(image.stride, 3844u);
  ASSERT_EQ(image.Create(1281, 1024, 8), 1);
  EXPECT_EQ(image.stride, 1284u);
  ASSERT_EQ(image.Create(3, 1, 16), 1);
  EXPECT_EQ(image.stride, 8u);
  EXPECT_EQ(image.header.size, 40u);
  EXPECT_EQ(image.header.width, 3);
  EXPECT_EQ(image.header.height, 1);
  EXPECT_EQ(image.header.planes, 1);
  EXPECT_EQ(image.header.bitCount, 16);
}

TEST_F(ImageBufferTest, RefusedSizesLeaveTheImageIntact) {
  ImageBuffer image(windows);
  ASSERT_EQ(image.Create(4, 4, 8), 1);
  image.pixels[5] = 9;
  EXPECT_EQ(image.Create(0, 10, 8), 0);
  EXPECT_EQ(image.Create(10, -1, 8), 0);
  EXPECT_EQ(image.Create(10, 10, 0), 0);
  EXPECT_EQ(image.width, 4);
  EXPECT_EQ(image.pixels[5], 9);
  EXPECT_EQ(image.CreateLike(nullptr), 0);
  ImageBuffer empty(windows);
  EXPECT_EQ(image.CreateLike(&empty), 0);
  EXPECT_EQ(image.width, 4);
}

TEST_F(ImageBufferTest, DeepFormatsGetZeroedPlainMemory) {
  ImageBuffer image(windows);
  ASSERT_EQ(image.Create(640, 480, 48), 1);
  EXPECT_EQ(image.memoryDc, 0u);
  EXPECT_EQ(image.bitmap, 0u);
  ASSERT_NE(image.pixels, nullptr);
  EXPECT_EQ(image.ByteSize(), 640u * 6 * 480);
  EXPECT_TRUE(std::all_of(image.pixels, image.pixels + image.ByteSize(),
                          [](std::uint8_t b) { return b == 0; }));
}

TEST_F(ImageBufferTest, CreateLikeCopiesFormatAndColorTableNotPixels) {
  ImageBuffer source(windows);
  ASSERT_EQ(source.Create(7, 3, 8), 1);
  EXPECT_EQ(source.colorTable[200].red, 200);  // gray by default
  const platform::RgbQuad red{0, 0, 255, 0};
  source.SetColorTable(2, &red, 10, 1);
  source.pixels[0] = 77;

  ImageBuffer copy(windows);
  ASSERT_EQ(copy.CreateLike(&source), 1);
  EXPECT_EQ(copy.width, 7);
  EXPECT_EQ(copy.height, 3);
  EXPECT_EQ(copy.stride, 8u);
  EXPECT_EQ(copy.bitsPerPixel, 8);
  EXPECT_EQ(copy.colorTable[10].red, 255);
  EXPECT_EQ(copy.colorTable[10].blue, 0);
  EXPECT_EQ(copy.pixels[0], 0);

  source.SetColorTable(0, nullptr, 0, 0);
  EXPECT_EQ(source.colorTable[10].red, 10);
}

TEST_F(ImageBufferTest, ReleaseEmptiesAndIsHarmlessTwice) {
  ImageBuffer image(windows);
  ASSERT_EQ(image.Create(5, 5, 32), 1);
  image.Release();
  image.Release();
  EXPECT_EQ(image.pixels, nullptr);
  EXPECT_EQ(image.width, 0);
  EXPECT_EQ(image.stride, 0u);
  EXPECT_EQ(image.bitsPerPixel, 0);
  EXPECT_EQ(image.header.size, 40u);
  EXPECT_EQ(image.header.width, 0);
}

TEST_F(ImageBufferTest, TopRowIsTheLastRowInMemory) {
  ImageBuffer image(windows);
  ASSERT_EQ(image.Create(4, 3, 8), 1);
  EXPECT_EQ(image.TopRow(0), image.pixels + 2 * 4);
  EXPECT_EQ(image.TopRow(2), image.pixels);
}

}  // namespace
}  // namespace orvex
