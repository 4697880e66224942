#pragma once

#include <cstdint>

namespace orvex::platform {

// A handle of the graphics service (device context, bitmap, other object); 0 is none.
using GraphicsHandle = std::uintptr_t;

// The device-independent bitmap information header (40 bytes, as the graphics service has it).
struct BitmapInfoHeader {
  std::uint32_t size = 40;
  std::int32_t width = 0;
  std::int32_t height = 0;  // positive: rows stored bottom-up
  std::uint16_t planes = 0;
  std::uint16_t bitCount = 0;
  std::uint32_t compression = 0;  // BI_RGB
  std::uint32_t sizeImage = 0;
  std::int32_t xPelsPerMeter = 0;
  std::int32_t yPelsPerMeter = 0;
  std::uint32_t clrUsed = 0;
  std::uint32_t clrImportant = 0;
};
static_assert(sizeof(BitmapInfoHeader) == 40);

// One colour table entry, in the graphics service's byte order.
struct RgbQuad {
  std::uint8_t blue = 0;
  std::uint8_t green = 0;
  std::uint8_t red = 0;
  std::uint8_t reserved = 0;
};
static_assert(sizeof(RgbQuad) == 4);

// A window rectangle: left, top, right, bottom.
struct WindowRect {
  std::int32_t left = 0;
  std::int32_t top = 0;
  std::int32_t right = 0;
  std::int32_t bottom = 0;
};

// A bitmap as the drawing calls take it: its memory device context where it has one, and
// always its pixels (rows of a multiple of 4 bytes, stored bottom-up, or top-down when the
// header's height is negative), header and, for 8 bits a pixel, its 256-entry colour table.
struct BitmapView {
  GraphicsHandle memoryDc = 0;
  const std::uint8_t* pixels = nullptr;
  const BitmapInfoHeader* header = nullptr;
  const RgbQuad* colorTable = nullptr;
};

}  // namespace orvex::platform
