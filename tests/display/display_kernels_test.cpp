// The display reductions and the scaling kernels, through ApplyKernel and ApplyKernelScaled.
#include "display/display_kernels.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <memory>

#include "imaging/image_buffer.h"
#include "imaging/kernel_framework.h"
#include "platform/testing/recording_window_system.h"

namespace orvex {
namespace {

class DisplayKernelsTest : public ::testing::Test {
 protected:
  // Images in plain memory (the recording window system makes no bitmaps).
  std::unique_ptr<ImageBuffer> Image(std::int32_t width, std::int32_t height, std::uint16_t bits) {
    auto image = std::make_unique<ImageBuffer>(windows_);
    EXPECT_EQ(image->Create(width, height, bits), 1);
    return image;
  }

  static std::uint8_t* Pixel(const ImageBuffer& image, std::int32_t column, std::int32_t row) {
    return image.pixels + static_cast<std::size_t>(row) * image.stride +
           static_cast<std::size_t>(column) * (image.bitsPerPixel / 8);
  }

  static void PutWord(std::uint8_t* at, std::uint16_t value) {
    at[0] = static_cast<std::uint8_t>(value);
    at[1] = static_cast<std::uint8_t>(value >> 8);
  }

 private:
  platform::testing::RecordingWindowSystem windows_;
};

// A window as large as the system allows asks for an image whose stride or byte count does not
// fit 31 bits: it is refused and left empty, never made smaller than the rows written into it.
TEST(ImageBufferTest, ImagesOf2To31BytesOrMoreAreRefused) {
  platform::testing::RecordingWindowSystem windows;
  ImageBuffer image(windows);
  struct Size {
    std::int32_t width, height;
    std::uint16_t bits;
  };
  for (const Size size : {Size{65536, 21846, 24}, Size{40000, 40000, 24}, Size{1 << 29, 1, 64},
                          Size{INT32_MAX, INT32_MAX, 8}, Size{32768, 16384, 32}}) {
    SCOPED_TRACE(size.width);
    ASSERT_EQ(image.Create(4, 4, 8), 1);
    EXPECT_EQ(image.Create(size.width, size.height, size.bits), 0);
    EXPECT_EQ(image.pixels, nullptr);
    EXPECT_EQ(image.ByteSize(), 0u);
  }
}

TEST_F(DisplayKernelsTest, Narrow16To8ShowsBitsTwoToNine) {
  auto source = Image(3, 2, 16);
  auto view = Image(3, 2, 8);
  const std::uint16_t samples[6] = {0x03FF, 0x0200, 0x0400, 0x0003, 0x0004, 0xFFFF};
  const std::uint8_t shown[6] = {255, 128, 0, 0, 1, 255};
  for (int i = 0; i < 6; ++i) PutWord(Pixel(*source, i % 3, i / 3), samples[i]);
  ASSERT_EQ(ApplyKernel(*view, Narrow16To8, *source, nullptr, 0, 0, nullptr, 0), 1);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(*Pixel(*view, i % 3, i / 3), shown[i]) << i;
}

TEST_F(DisplayKernelsTest, ColourReductionsKeepBlueGreenRedRowForRow) {
  auto view = Image(5, 3, 24);
  auto wide = Image(5, 3, 32);
  for (int row = 0; row < 3; ++row) {
    for (int column = 0; column < 5; ++column) {
      std::uint8_t* p = Pixel(*wide, column, row);
      p[0] = static_cast<std::uint8_t>(row * 40 + column);
      p[1] = static_cast<std::uint8_t>(row * 40 + column + 100);
      p[2] = static_cast<std::uint8_t>(row * 40 + column + 200);
      p[3] = 0xEE;
    }
  }
  ASSERT_EQ(ApplyKernel(*view, Drop32To24, *wide, nullptr, 0, 0, nullptr, 0), 1);
  for (int row = 0; row < 3; ++row) {
    for (int column = 0; column < 5; ++column) {
      EXPECT_EQ(0, std::memcmp(Pixel(*view, column, row), Pixel(*wide, column, row), 3));
    }
  }

  for (std::uint16_t bits : {48, 64}) {
    auto deep = Image(5, 3, bits);
    for (int row = 0; row < 3; ++row) {
      for (int column = 0; column < 5; ++column) {
        std::uint8_t* p = Pixel(*deep, column, row);
        PutWord(p, static_cast<std::uint16_t>(0x0400 + row * 4));  // bit 10 is not shown
        PutWord(p + 2, static_cast<std::uint16_t>(column * 4 + 3));
        PutWord(p + 4, 0x03FF);
        if (bits == 64) PutWord(p + 6, 0x1234);
      }
    }
    ASSERT_EQ(ApplyKernel(*view, Narrow48To24, *deep, nullptr, 0, 0, nullptr, 0), 1);
    for (int row = 0; row < 3; ++row) {
      for (int column = 0; column < 5; ++column) {
        const std::uint8_t* p = Pixel(*view, column, row);
        EXPECT_EQ(p[0], row) << bits;
        EXPECT_EQ(p[1], column) << bits;
        EXPECT_EQ(p[2], 255) << bits;
      }
    }
  }
}

// A full-size view halved: destination pixel (j, i) of memory row i comes from source column
// 2j of source memory row 1023 - 2i.
TEST_F(DisplayKernelsTest, ScaleGray8HalvesAndMirrorsRows) {
  auto view = Image(1280, 1024, 8);
  auto display = Image(640, 512, 8);
  for (int row = 0; row < 1024; ++row) {
    for (int column = 0; column < 1280; ++column) {
      *Pixel(*view, column, row) = static_cast<std::uint8_t>(row * 3 + column * 7);
    }
  }
  ASSERT_EQ(ApplyKernelScaled(*display, ScaleGray8, *view, nullptr, nullptr, 0, nullptr), 1);
  int wrong = 0;
  for (int i = 0; i < 512; ++i) {
    for (int j = 0; j < 640; ++j) {
      wrong += *Pixel(*display, j, i) != *Pixel(*view, 2 * j, 1023 - 2 * i);
    }
  }
  EXPECT_EQ(wrong, 0);
}

// One column wider: the x ratio 1280 / 1281 is just below 1, so the first two destination
// columns share source column 0 and every later one takes the column to its left.
TEST_F(DisplayKernelsTest, ScaleColor24RepeatsAColumnWhenOneWider) {
  auto view = Image(1280, 1024, 24);
  auto display = Image(1281, 1024, 24);
  for (int row = 0; row < 1024; ++row) {
    for (int column = 0; column < 1280; ++column) {
      std::uint8_t* p = Pixel(*view, column, row);
      p[0] = static_cast<std::uint8_t>(column);
      p[1] = static_cast<std::uint8_t>(column >> 8);
      p[2] = static_cast<std::uint8_t>(row);
    }
  }
  ASSERT_EQ(ApplyKernelScaled(*display, ScaleColor24, *view, nullptr, nullptr, 0, nullptr), 1);
  int wrong = 0;
  for (int i = 0; i < 1024; ++i) {
    for (int j = 0; j < 1281; ++j) {
      const int column = j == 0 ? 0 : j - 1;
      wrong += std::memcmp(Pixel(*display, j, i), Pixel(*view, column, 1023 - i), 3) != 0;
    }
  }
  EXPECT_EQ(wrong, 0);
}

// Enlarging never reads past the source: the last destination row and column take the source's
// last ones.
TEST_F(DisplayKernelsTest, ScalingUpStaysInsideTheSource) {
  auto view = Image(3, 2, 8);
  auto display = Image(7, 5, 8);
  for (int row = 0; row < 2; ++row) {
    for (int column = 0; column < 3; ++column) *Pixel(*view, column, row) = row * 10 + column;
  }
  ASSERT_EQ(ApplyKernelScaled(*display, ScaleGray8, *view, nullptr, nullptr, 0, nullptr), 1);
  EXPECT_EQ(*Pixel(*display, 0, 0), 10);  // source memory row 1 - 0
  EXPECT_EQ(*Pixel(*display, 6, 0), 12);
  EXPECT_EQ(*Pixel(*display, 6, 4), 2);  // u = 4 x 0.4 = 1: source memory row 0
}

}  // namespace
}  // namespace orvex
