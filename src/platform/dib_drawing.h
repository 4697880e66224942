// Where the two drawing calls put a device-independent bitmap: SetDIBitsToDevice and StretchBlt
// reduced to which source pixel each destination pixel shows. Free of any window system, so
// that every backend that draws from pixels (headless, X11) places them alike; GDI does this
// itself. As GDI does, a call draws only the destination pixels whose source pixel lies inside
// the bitmap (and, for SetDIBitsToDevice, inside the scan lines given): the others keep what
// they showed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "platform/bitmap_types.h"

namespace orvex::platform {

// A bitmap view that can be drawn: uncompressed, 8 (with or without a colour table), 24 or 32
// bits a pixel, a width and height, pixels present.
struct DibSource {
  const std::uint8_t* pixels = nullptr;
  std::int32_t width = 0;
  std::int32_t height = 0;  // always positive
  bool bottomUp = true;
  std::uint16_t bitCount = 24;
  std::size_t stride = 0;               // bytes a row in memory
  const RgbQuad* colorTable = nullptr;  // 8 bits only; none: the indices are gray levels

  // The memory row of the bitmap's row `fromTop` (0 = its top row).
  std::int32_t MemoryRow(std::int32_t fromTop) const {
    return bottomUp ? height - 1 - fromTop : fromTop;
  }
  const std::uint8_t* Row(std::int32_t memoryRow) const {
    return pixels + static_cast<std::size_t>(memoryRow) * stride;
  }
};

// None for a view that cannot be drawn.
std::optional<DibSource> DescribeDib(const BitmapView& view);

// Where each destination pixel of a placement comes from: the memory row of each destination
// row, counted in the rows the call was given (SetDIBitsToDevice's bits start at scan line
// startScan), and the source column of each destination column, all inside the bitmap.
struct SourceMap {
  std::vector<std::int32_t> rows;
  std::vector<std::int32_t> columns;
  bool identityColumns = false;  // columns run columns[0], columns[0] + 1, ...
};

// The rectangle of the destination that a call draws (empty when it draws nothing) and the
// map that fills it.
struct Placement {
  std::int32_t x = 0;
  std::int32_t y = 0;
  std::int32_t width = 0;
  std::int32_t height = 0;
  SourceMap map;
};

// SetDIBitsToDevice(x, y, width, height, sourceX, sourceY, startScan, scanLines): the source
// origin is the bitmap's lower-left corner for a bottom-up bitmap and its upper-left corner
// for a top-down one; the bits hold the scan lines startScan .. startScan + scanLines - 1,
// counted from the bitmap's first row in memory. Nothing for a size or scan count of 0 or less.
Placement PlaceDiBits(const DibSource& source, std::int32_t x, std::int32_t y, std::int32_t width,
                      std::int32_t height, std::int32_t sourceX, std::int32_t sourceY,
                      std::int32_t startScan, std::int32_t scanLines);

// StretchBlt(x, y, width, height, sourceX, sourceY, sourceWidth, sourceHeight): the source
// rectangle in top-down coordinates of the bitmap, nearest pixel (destination pixel i shows
// source pixel sourceX + i x sourceWidth / width), a negative source size taking the rectangle
// from its far side back, mirrored. Nothing for a destination size of 0 or less or a source
// size of 0.
Placement PlaceStretch(const DibSource& source, std::int32_t x, std::int32_t y, std::int32_t width,
                       std::int32_t height, std::int32_t sourceX, std::int32_t sourceY,
                       std::int32_t sourceWidth, std::int32_t sourceHeight);

}  // namespace orvex::platform
