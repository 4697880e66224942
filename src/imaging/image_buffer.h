#pragma once

#include <array>
#include <cstdint>

#include "platform/bitmap_types.h"
#include "platform/window_system.h"

namespace orvex {

// A device-independent bitmap: rows stored bottom-up, `stride` bytes apart (a multiple of 4),
// colour pixels in blue, green, red order. Where the graphics service gives a DIB section the
// pixels belong to it and a memory device context has it selected, so that the same memory
// serves the pixel kernels and the drawing calls; otherwise the pixels are zero-filled heap
// memory that cannot be drawn through a device context.
class ImageBuffer {
 public:
  using ColorTable = std::array<platform::RgbQuad, 256>;

  explicit ImageBuffer(platform::WindowSystem& windows);
  ~ImageBuffer();
  ImageBuffer(const ImageBuffer&) = delete;
  ImageBuffer& operator=(const ImageBuffer&) = delete;

  // Replaces the bitmap; 0 without any change for a size <= 0 or a bit count of 0, 0 and empty
  // when its memory cannot be had (also for 2^31 bytes or more).
  int Create(std::int32_t width, std::int32_t height, std::uint16_t bitsPerPixel);
  // Takes the format (and for 8 bits a pixel the colour table) of `source`, not its pixels.
  int CreateLike(const ImageBuffer* source);
  // Kind 0 writes the gray table, kind 2 `count` entries from `first`; other kinds do nothing.
  int SetColorTable(int kind, const platform::RgbQuad* entries, int first, int count);
  void Release();

  // As Create and CreateLike, except that an image which already has the size and depth keeps
  // its bitmap and its pixels instead of making and faulting in new ones. Its pixels then hold
  // what earlier frames left where a new bitmap would be zero, so it is marked stale.
  int Recreate(std::int32_t width, std::int32_t height, std::uint16_t bitsPerPixel);
  int RecreateLike(const ImageBuffer* source);
  // Whoever lets a stale image be seen or read zeroes what the reader depends on first: all of
  // it (ClearStale), or what a frame will not overwrite, and then clears the mark.
  bool stale = false;
  // Zeroes the pixels of a stale image; nothing for an image that is not stale.
  void ClearStale();
  // Zeroes the bytes of every row past its pixels (the padding up to the stride).
  void ClearPadding();

  platform::BitmapInfoHeader header;
  platform::GraphicsHandle memoryDc = 0;
  platform::GraphicsHandle bitmap = 0;
  std::uint8_t* pixels = nullptr;
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::uint32_t stride = 0;
  std::uint16_t bitsPerPixel = 0;
  platform::GraphicsHandle previousBitmap = 0;
  // Kept beside the device context's own table, so that buffers without one still carry it.
  ColorTable colorTable{};

  // Bytes a row for a width and depth: width x (bits / 8), raised to a multiple of 4.
  static std::uint32_t StrideFor(std::int32_t width, std::uint16_t bitsPerPixel);
  // The row that image coordinates call `row` (0 = top) lies at the bottom-up buffer row
  // height - 1 - row.
  std::uint8_t* TopRow(std::int32_t row) const {
    return pixels + static_cast<std::size_t>(height - 1 - row) * stride;
  }
  std::size_t ByteSize() const { return static_cast<std::size_t>(stride) * height; }
  // Bytes of a row's pixels, without the padding.
  std::size_t RowBytes() const { return static_cast<std::size_t>(width) * (bitsPerPixel / 8); }

 private:
  int CreateSurface(platform::GraphicsHandle sourceDc, const ColorTable* sourceTable);
  bool HasFormat(std::int32_t width, std::int32_t height, std::uint16_t bitsPerPixel) const;
  void WriteColorTable(int first, int count);

  platform::WindowSystem& windows_;
};

// The gray table: entry i = red i, green i, blue i, reserved 0.
const ImageBuffer::ColorTable& GrayColorTable();

}  // namespace orvex
