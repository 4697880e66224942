// Device-independent bitmaps turned into the pixels of an X visual. Pure functions, without a
// display, so that the conversions can be checked on every visual layout.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "platform/bitmap_types.h"

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

// A bitmap's pixels as the drawing calls take them, checked: rows of `stride` bytes, `rows`
// of them in memory order, starting at `pixels`.
struct SourceBitmap {
  const std::uint8_t* pixels = nullptr;
  std::int32_t width = 0;
  std::int32_t height = 0;  // always positive
  bool bottomUp = true;
  std::uint16_t bitCount = 24;  // 8 (with `colors`), 24 or 32
  std::size_t stride = 0;
  std::array<std::uint32_t, 256> colors{};  // for 8 bits: each entry as a pixel of the target
};

// Checks a bitmap view (uncompressed 8, 24 or 32 bits a pixel, non-zero size, pixels present)
// and converts its colour table to pixels of `format`; none when it cannot be drawn.
std::optional<SourceBitmap> ReadBitmap(const BitmapView& view, const PixelFormat& format);

// The pixel value of a blue, green, red colour.
std::uint32_t PixelOf(const PixelFormat& format, std::uint8_t blue, std::uint8_t green,
                      std::uint8_t red);

// Where each destination pixel comes from: the source memory row of each destination row and
// the source column of each destination column; every index lies inside the source.
struct SourceMap {
  std::vector<std::int32_t> rows;
  std::vector<std::int32_t> columns;
  // Columns run sourceColumn0, sourceColumn0 + 1, ... (no scaling, no mirroring).
  bool identityColumns = false;
};

// A region of the window to fill, and the map that fills it.
struct Placement {
  std::int32_t x = 0;
  std::int32_t y = 0;
  std::int32_t width = 0;
  std::int32_t height = 0;
  SourceMap map;
};

// SetDIBitsToDevice: destination (x, y, width, height) from the source rectangle at (sourceX,
// sourceY): the bitmap's lower-left corner is the origin of a bottom-up bitmap, its upper-left
// corner that of a top-down one. The bits hold the scan lines startScan .. startScan +
// scanLines - 1, counted from the bitmap's first row in memory. Pixels without a source stay
// undrawn: the placement is the part that has one (possibly empty).
Placement PlaceDiBits(const SourceBitmap& source, std::int32_t x, std::int32_t y,
                      std::int32_t width, std::int32_t height, std::int32_t sourceX,
                      std::int32_t sourceY, std::int32_t startScan, std::int32_t scanLines);

// StretchBlt: destination (x, y, width, height) from the source rectangle (sourceX, sourceY,
// sourceWidth, sourceHeight) in top-down coordinates of the bitmap, nearest pixel (destination
// pixel i takes source pixel sourceX + i x sourceWidth / width), a negative source size
// mirroring. Samples beyond the bitmap take its nearest edge pixel.
Placement PlaceStretch(const SourceBitmap& source, std::int32_t x, std::int32_t y,
                       std::int32_t width, std::int32_t height, std::int32_t sourceX,
                       std::int32_t sourceY, std::int32_t sourceWidth, std::int32_t sourceHeight);

// Writes the placement's pixels into a ZPixmap image of `format` (rows `bytesPerLine` apart,
// big enough for placement.width x placement.height).
void ComposeImage(const SourceBitmap& source, const Placement& placement, const PixelFormat& format,
                  std::uint8_t* image, std::size_t bytesPerLine);

}  // namespace orvex::platform::x11
