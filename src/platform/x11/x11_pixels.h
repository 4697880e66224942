// Device-independent bitmaps turned into the pixels of an X visual, placed as dib_drawing.h
// places them. Pure functions, without a display, so that the conversions can be checked on
// every visual layout.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "platform/bitmap_types.h"
#include "platform/dib_drawing.h"

namespace orvex::platform::x11 {

// How a TrueColor visual lays out a pixel in a ZPixmap image.
struct PixelFormat {
  int bytesPerPixel = 4;  // 2, 3 or 4
  bool msbFirst = false;  // the image's byte order
  std::uint32_t redMask = 0xFF0000;
  std::uint32_t greenMask = 0x00FF00;
  std::uint32_t blueMask = 0x0000FF;
};

// The format of a visual, or none where the backend does not draw: visuals other than
// TrueColor (pseudo-colour, gray, direct-colour), pixel sizes other than 16, 24 or 32 bits,
// and masks that are empty or not one run of bits.
std::optional<PixelFormat> MakePixelFormat(int visualClass, int bitsPerPixel, bool msbFirst,
                                           unsigned long redMask, unsigned long greenMask,
                                           unsigned long blueMask);

// A size that X can draw: 1 to 32768 pixels each way.
bool SizeUsable(std::int32_t width, std::int32_t height);

// A drawable bitmap with its colour table turned into pixels of the target.
struct SourceBitmap {
  DibSource dib;
  std::array<std::uint32_t, 256> colors{};  // for 8 bits: each entry as a pixel of the target
};

// Checks a bitmap view (as DescribeDib, and at most 32768 pixels each way, the extent of X
// coordinates) and converts its colour table to pixels of `format`; none when it cannot be
// drawn.
std::optional<SourceBitmap> ReadBitmap(const BitmapView& view, const PixelFormat& format);

// The pixel value of a blue, green, red colour.
std::uint32_t PixelOf(const PixelFormat& format, std::uint8_t blue, std::uint8_t green,
                      std::uint8_t red);

// Writes the placement's pixels into a ZPixmap image of `format` (rows `bytesPerLine` apart,
// big enough for placement.width x placement.height).
void ComposeImage(const SourceBitmap& source, const Placement& placement, const PixelFormat& format,
                  std::uint8_t* image, std::size_t bytesPerLine);

}  // namespace orvex::platform::x11
