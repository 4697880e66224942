#include "imaging/image_buffer.h"

#include <climits>
#include <cstdlib>
#include <cstring>

namespace orvex {

const ImageBuffer::ColorTable& GrayColorTable() {
  static const ImageBuffer::ColorTable table = [] {
    ImageBuffer::ColorTable gray{};
    for (int i = 0; i < 256; ++i) {
      const auto v = static_cast<std::uint8_t>(i);
      gray[i] = platform::RgbQuad{v, v, v, 0};
    }
    return gray;
  }();
  return table;
}

ImageBuffer::ImageBuffer(platform::WindowSystem& windows) : windows_(windows) {}

ImageBuffer::~ImageBuffer() {
  Release();
}

namespace {

// Bytes a row, raised to a multiple of 4, in 64 bits: for widths the 32-bit stride cannot hold.
std::uint64_t PaddedRowBytes(std::int32_t width, std::uint16_t bitsPerPixel) {
  const std::uint64_t bytes = static_cast<std::uint64_t>(width) * (bitsPerPixel / 8);
  return (bytes + 3) & ~std::uint64_t{3};
}

}  // namespace

std::uint32_t ImageBuffer::StrideFor(std::int32_t width, std::uint16_t bitsPerPixel) {
  return static_cast<std::uint32_t>(PaddedRowBytes(width, bitsPerPixel));
}

int ImageBuffer::Create(std::int32_t newWidth, std::int32_t newHeight,
                        std::uint16_t newBitsPerPixel) {
  if (newWidth <= 0 || newHeight <= 0 || newBitsPerPixel == 0) return 0;
  Release();
  // Bitmaps of the graphics services, and the sizes the library compares, end at 2^31 bytes;
  // beyond, the stride or the byte count would wrap (on a 32-bit system already in size_t) and
  // the memory made would be smaller than the rows written into it. Such an image is refused
  // as one whose memory could not be had.
  const std::uint64_t rowBytes = PaddedRowBytes(newWidth, newBitsPerPixel);
  if (rowBytes > INT32_MAX || rowBytes * static_cast<std::uint64_t>(newHeight) > INT32_MAX) {
    return 0;
  }
  header = platform::BitmapInfoHeader{};
  header.width = newWidth;
  header.height = newHeight;
  header.planes = 1;
  header.bitCount = newBitsPerPixel;
  width = newWidth;
  height = newHeight;
  stride = StrideFor(newWidth, newBitsPerPixel);
  bitsPerPixel = newBitsPerPixel;
  return CreateSurface(0, nullptr);
}

int ImageBuffer::CreateLike(const ImageBuffer* source) {
  if (source == nullptr || source->width <= 0 || source->height <= 0 || source->bitsPerPixel == 0) {
    return 0;
  }
  // The source may be this very buffer; keep what is needed before releasing.
  const platform::BitmapInfoHeader sourceHeader = source->header;
  const std::int32_t sourceWidth = source->width;
  const std::int32_t sourceHeight = source->height;
  const std::uint32_t sourceStride = source->stride;
  const std::uint16_t sourceBits = source->bitsPerPixel;
  const platform::GraphicsHandle sourceDc = source == this ? 0 : source->memoryDc;
  const ColorTable sourceTable = source->colorTable;
  Release();
  header = sourceHeader;
  width = sourceWidth;
  height = sourceHeight;
  stride = sourceStride;
  bitsPerPixel = sourceBits;
  return CreateSurface(sourceDc, &sourceTable);
}

bool ImageBuffer::HasFormat(std::int32_t w, std::int32_t h, std::uint16_t bits) const {
  return pixels != nullptr && width == w && height == h && bitsPerPixel == bits &&
         stride == StrideFor(w, bits);
}

int ImageBuffer::Recreate(std::int32_t newWidth, std::int32_t newHeight,
                          std::uint16_t newBitsPerPixel) {
  if (!HasFormat(newWidth, newHeight, newBitsPerPixel))
    return Create(newWidth, newHeight, newBitsPerPixel);
  stale = true;
  return 1;
}

int ImageBuffer::RecreateLike(const ImageBuffer* source) {
  if (source == nullptr || source == this ||
      !HasFormat(source->width, source->height, source->bitsPerPixel) ||
      std::memcmp(&header, &source->header, sizeof header) != 0) {
    return CreateLike(source);
  }
  if (bitsPerPixel == 8) SetColorTable(2, source->colorTable.data(), 0, 256);
  stale = true;
  return 1;
}

void ImageBuffer::ClearStale() {
  if (!stale) return;
  if (pixels != nullptr) std::memset(pixels, 0, ByteSize());
  stale = false;
}

void ImageBuffer::ClearPadding() {
  const std::size_t row = RowBytes();
  if (pixels == nullptr || row >= stride) return;
  for (std::int32_t r = 0; r < height; ++r) {
    std::memset(pixels + static_cast<std::size_t>(r) * stride + row, 0, stride - row);
  }
}

int ImageBuffer::CreateSurface(platform::GraphicsHandle sourceDc, const ColorTable* sourceTable) {
  void* sectionBits = nullptr;
  bitmap = windows_.CreateDibSection(sourceDc, header, &sectionBits);
  if (bitmap == 0 || sectionBits == nullptr) {
    if (bitmap != 0) windows_.DeleteObject(bitmap);
    bitmap = 0;
    // The graphics service refuses some depths (48 and 64 bits) and has no bitmaps at all on
    // some platforms: plain zeroed memory serves the kernels then.
    pixels = static_cast<std::uint8_t*>(std::calloc(ByteSize() == 0 ? 1 : ByteSize(), 1));
    if (pixels == nullptr) {
      Release();
      return 0;
    }
  } else {
    pixels = static_cast<std::uint8_t*>(sectionBits);
    memoryDc = windows_.CreateMemoryDc();
    if (memoryDc == 0) {
      Release();
      return 0;
    }
    previousBitmap = windows_.SelectObject(memoryDc, bitmap);
    if (previousBitmap == 0) {
      Release();
      return 0;
    }
  }
  if (bitsPerPixel == 8) {
    colorTable = sourceTable != nullptr ? *sourceTable : GrayColorTable();
    WriteColorTable(0, 256);
  }
  return 1;
}

int ImageBuffer::SetColorTable(int kind, const platform::RgbQuad* entries, int first, int count) {
  if (kind == 0) {
    colorTable = GrayColorTable();
    WriteColorTable(0, 256);
  } else if (kind == 2 && entries != nullptr && first >= 0 && count > 0 && first < 256) {
    if (count > 256 - first) count = 256 - first;
    for (int i = 0; i < count; ++i) colorTable[first + i] = entries[i];
    WriteColorTable(first, count);
  }
  return 1;
}

void ImageBuffer::WriteColorTable(int first, int count) {
  if (memoryDc != 0) windows_.SetDibColorTable(memoryDc, first, count, colorTable.data() + first);
}

void ImageBuffer::Release() {
  if (bitmap != 0) {
    if (memoryDc != 0 && previousBitmap != 0) windows_.SelectObject(memoryDc, previousBitmap);
    windows_.DeleteObject(bitmap);
    bitmap = 0;
    previousBitmap = 0;
    pixels = nullptr;  // the memory went with the bitmap
  }
  if (memoryDc != 0) {
    windows_.DeleteDc(memoryDc);
    memoryDc = 0;
  }
  std::free(pixels);
  pixels = nullptr;
  width = 0;
  height = 0;
  stride = 0;
  bitsPerPixel = 0;
  stale = false;
  header = platform::BitmapInfoHeader{};
}

}  // namespace orvex
