#include "platform/x11/x11_pixels.h"

#include <X11/X.h>

#include <algorithm>
#include <bit>
#include <cstring>

namespace orvex::platform::x11 {
namespace {

constexpr std::int32_t kMaxExtent = 1 << 15;  // X coordinates and sizes are 16-bit

// A mask that is one run of set bits: its shift and width.
bool MaskRun(unsigned long mask, int* shift, int* width) {
  if (mask == 0 || mask > 0xFFFFFFFFul) return false;
  const auto value = static_cast<std::uint32_t>(mask);
  *shift = std::countr_zero(value);
  *width = std::popcount(value);
  const std::uint64_t run = value >> *shift;
  return ((run + 1) & run) == 0;
}

// An 8-bit channel value in a channel of `width` bits: the top bits where the channel is
// narrower, the value stretched to full scale where it is wider.
std::uint32_t ScaleChannel(std::uint32_t value, int width) {
  if (width <= 8) return value >> (8 - width);
  const std::uint64_t full = (std::uint64_t{1} << width) - 1;
  return static_cast<std::uint32_t>((value * full + 127) / 255);
}

std::uint32_t ChannelPart(std::uint32_t mask, std::uint8_t value) {
  int shift = 0, width = 0;
  MaskRun(mask, &shift, &width);
  return ScaleChannel(value, width) << shift;
}

struct ChannelTables {
  explicit ChannelTables(const PixelFormat& format) {
    for (int v = 0; v < 256; ++v) {
      const auto value = static_cast<std::uint8_t>(v);
      red[v] = ChannelPart(format.redMask, value);
      green[v] = ChannelPart(format.greenMask, value);
      blue[v] = ChannelPart(format.blueMask, value);
    }
  }
  std::array<std::uint32_t, 256> red, green, blue;
};

// The common layout (depth 24 on a little-endian client and server): the pixel is the blue,
// green, red bytes of the bitmap plus a fourth byte.
bool IsNativeBgrx(const PixelFormat& format) {
  return format.bytesPerPixel == 4 && !format.msbFirst &&
         std::endian::native == std::endian::little && format.redMask == 0xFF0000 &&
         format.greenMask == 0x00FF00 && format.blueMask == 0x0000FF;
}

// --- reading a source pixel as a pixel value ---

struct FetchIndexed {
  const std::array<std::uint32_t, 256>* colors;
  std::uint32_t operator()(const std::uint8_t* row, std::int32_t column) const {
    return (*colors)[row[column]];
  }
};

template <int kBytes>
struct FetchNative {
  std::uint32_t operator()(const std::uint8_t* row, std::int32_t column) const {
    const std::uint8_t* p = row + static_cast<std::size_t>(column) * kBytes;
    return p[0] | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16);
  }
};

template <int kBytes>
struct FetchMapped {
  const ChannelTables* tables;
  std::uint32_t operator()(const std::uint8_t* row, std::int32_t column) const {
    const std::uint8_t* p = row + static_cast<std::size_t>(column) * kBytes;
    return tables->blue[p[0]] | tables->green[p[1]] | tables->red[p[2]];
  }
};

// --- writing a pixel value into the image ---

struct StoreNative32 {
  void operator()(std::uint8_t* row, std::int32_t column, std::uint32_t pixel) const {
    std::memcpy(row + static_cast<std::size_t>(column) * 4, &pixel, 4);
  }
};

struct StoreAny {
  int bytes;
  bool msbFirst;
  void operator()(std::uint8_t* row, std::int32_t column, std::uint32_t pixel) const {
    std::uint8_t* p = row + static_cast<std::size_t>(column) * bytes;
    for (int k = 0; k < bytes; ++k) {
      const int shift = 8 * (msbFirst ? bytes - 1 - k : k);
      p[k] = static_cast<std::uint8_t>(pixel >> shift);
    }
  }
};

template <typename Fetch, typename Store>
void ComposeRows(const SourceBitmap& source, const Placement& placement, std::uint8_t* image,
                 std::size_t bytesPerLine, Fetch fetch, Store store) {
  const SourceMap& map = placement.map;
  const std::int32_t firstColumn = map.columns.empty() ? 0 : map.columns.front();
  for (std::int32_t j = 0; j < placement.height; ++j) {
    const std::uint8_t* row = source.dib.Row(map.rows[j]);
    std::uint8_t* out = image + static_cast<std::size_t>(j) * bytesPerLine;
    if (map.identityColumns) {
      for (std::int32_t i = 0; i < placement.width; ++i) store(out, i, fetch(row, firstColumn + i));
    } else {
      for (std::int32_t i = 0; i < placement.width; ++i) store(out, i, fetch(row, map.columns[i]));
    }
  }
}

template <typename Store>
void ComposeWith(const SourceBitmap& source, const Placement& placement, const PixelFormat& format,
                 std::uint8_t* image, std::size_t bytesPerLine, Store store) {
  if (source.dib.bitCount == 8) {
    ComposeRows(source, placement, image, bytesPerLine, FetchIndexed{&source.colors}, store);
    return;
  }
  if (IsNativeBgrx(format)) {
    if (source.dib.bitCount == 24) {
      ComposeRows(source, placement, image, bytesPerLine, FetchNative<3>{}, store);
    } else {
      ComposeRows(source, placement, image, bytesPerLine, FetchNative<4>{}, store);
    }
    return;
  }
  const ChannelTables tables(format);
  if (source.dib.bitCount == 24) {
    ComposeRows(source, placement, image, bytesPerLine, FetchMapped<3>{&tables}, store);
  } else {
    ComposeRows(source, placement, image, bytesPerLine, FetchMapped<4>{&tables}, store);
  }
}

}  // namespace

bool SizeUsable(std::int32_t width, std::int32_t height) {
  return width > 0 && height > 0 && width <= kMaxExtent && height <= kMaxExtent;
}

std::optional<PixelFormat> MakePixelFormat(int visualClass, int bitsPerPixel, bool msbFirst,
                                           unsigned long redMask, unsigned long greenMask,
                                           unsigned long blueMask) {
  if (visualClass != TrueColor) return std::nullopt;
  if (bitsPerPixel != 16 && bitsPerPixel != 24 && bitsPerPixel != 32) return std::nullopt;
  int shift = 0, width = 0;
  for (unsigned long mask : {redMask, greenMask, blueMask}) {
    if (!MaskRun(mask, &shift, &width) || shift + width > bitsPerPixel) return std::nullopt;
  }
  if ((redMask & greenMask) || (redMask & blueMask) || (greenMask & blueMask)) return std::nullopt;
  PixelFormat format;
  format.bytesPerPixel = bitsPerPixel / 8;
  format.msbFirst = msbFirst;
  format.redMask = static_cast<std::uint32_t>(redMask);
  format.greenMask = static_cast<std::uint32_t>(greenMask);
  format.blueMask = static_cast<std::uint32_t>(blueMask);
  return format;
}

std::uint32_t PixelOf(const PixelFormat& format, std::uint8_t blue, std::uint8_t green,
                      std::uint8_t red) {
  return ChannelPart(format.redMask, red) | ChannelPart(format.greenMask, green) |
         ChannelPart(format.blueMask, blue);
}

std::optional<SourceBitmap> ReadBitmap(const BitmapView& view, const PixelFormat& format) {
  const std::optional<DibSource> dib = DescribeDib(view);
  if (!dib || !SizeUsable(dib->width, dib->height)) return std::nullopt;
  SourceBitmap source;
  source.dib = *dib;
  if (dib->bitCount == 8) {
    // A palette bitmap drawn without its table shows its indices as gray levels.
    for (int i = 0; i < 256; ++i) {
      const auto level = static_cast<std::uint8_t>(i);
      const RgbQuad entry = dib->colorTable ? dib->colorTable[i] : RgbQuad{level, level, level, 0};
      source.colors[i] = PixelOf(format, entry.blue, entry.green, entry.red);
    }
  }
  return source;
}

void ComposeImage(const SourceBitmap& source, const Placement& placement, const PixelFormat& format,
                  std::uint8_t* image, std::size_t bytesPerLine) {
  if (placement.width <= 0 || placement.height <= 0) return;
  if (IsNativeBgrx(format)) {
    ComposeWith(source, placement, format, image, bytesPerLine, StoreNative32{});
  } else {
    ComposeWith(source, placement, format, image, bytesPerLine,
                StoreAny{format.bytesPerPixel, format.msbFirst});
  }
}

}  // namespace orvex::platform::x11
