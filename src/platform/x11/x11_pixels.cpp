#include "platform/x11/x11_pixels.h"

#include <X11/X.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>

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
    const std::uint8_t* row = source.pixels + static_cast<std::size_t>(map.rows[j]) * source.stride;
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
  if (source.bitCount == 8) {
    ComposeRows(source, placement, image, bytesPerLine, FetchIndexed{&source.colors}, store);
    return;
  }
  if (IsNativeBgrx(format)) {
    if (source.bitCount == 24) {
      ComposeRows(source, placement, image, bytesPerLine, FetchNative<3>{}, store);
    } else {
      ComposeRows(source, placement, image, bytesPerLine, FetchNative<4>{}, store);
    }
    return;
  }
  const ChannelTables tables(format);
  if (source.bitCount == 24) {
    ComposeRows(source, placement, image, bytesPerLine, FetchMapped<3>{&tables}, store);
  } else {
    ComposeRows(source, placement, image, bytesPerLine, FetchMapped<4>{&tables}, store);
  }
}

bool SizeUsable(std::int32_t width, std::int32_t height) {
  return width > 0 && height > 0 && width <= kMaxExtent && height <= kMaxExtent;
}

}  // namespace

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
  if (view.pixels == nullptr || view.header == nullptr) return std::nullopt;
  const BitmapInfoHeader& header = *view.header;
  if (header.compression != 0) return std::nullopt;
  if (header.bitCount != 8 && header.bitCount != 24 && header.bitCount != 32) return std::nullopt;
  if (header.height == std::numeric_limits<std::int32_t>::min()) return std::nullopt;
  SourceBitmap source;
  source.pixels = view.pixels;
  source.width = header.width;
  source.height = header.height < 0 ? -header.height : header.height;
  source.bottomUp = header.height > 0;
  if (!SizeUsable(source.width, source.height)) return std::nullopt;
  source.bitCount = header.bitCount;
  source.stride = (static_cast<std::size_t>(source.width) * header.bitCount + 31) / 32 * 4;
  if (source.bitCount == 8) {
    // A palette bitmap drawn without its table shows its indices as gray levels.
    for (int i = 0; i < 256; ++i) {
      const auto level = static_cast<std::uint8_t>(i);
      const RgbQuad entry = view.colorTable ? view.colorTable[i] : RgbQuad{level, level, level, 0};
      source.colors[i] = PixelOf(format, entry.blue, entry.green, entry.red);
    }
  }
  return source;
}

Placement PlaceDiBits(const SourceBitmap& source, std::int32_t x, std::int32_t y,
                      std::int32_t width, std::int32_t height, std::int32_t sourceX,
                      std::int32_t sourceY, std::int32_t startScan, std::int32_t scanLines) {
  Placement placement;
  if (!SizeUsable(width, height) || scanLines <= 0 || startScan < 0) return placement;
  // Scan lines are numbered from the bitmap's first row in memory; the bits hold startScan ..
  // endScan - 1. The source origin is the lower-left corner of a bottom-up bitmap and the
  // upper-left corner of a top-down one.
  const std::int64_t firstScan = startScan;
  const std::int64_t endScan = std::min<std::int64_t>(firstScan + scanLines, source.height);
  const std::int64_t sx = sourceX, sy = sourceY, w = width, h = height;
  const std::int64_t iBegin = std::max<std::int64_t>(0, -sx);
  const std::int64_t iEnd = std::min<std::int64_t>(w, source.width - sx);
  std::int64_t jBegin, jEnd;
  if (source.bottomUp) {  // destination row j shows scan sy + h - 1 - j
    jBegin = std::max<std::int64_t>(0, sy + h - endScan);
    jEnd = std::min<std::int64_t>(h, sy + h - firstScan);
  } else {  // destination row j shows scan sy + j
    jBegin = std::max<std::int64_t>(0, firstScan - sy);
    jEnd = std::min<std::int64_t>(h, endScan - sy);
  }
  if (iBegin >= iEnd || jBegin >= jEnd) return placement;

  placement.x = static_cast<std::int32_t>(x + iBegin);
  placement.y = static_cast<std::int32_t>(y + jBegin);
  placement.width = static_cast<std::int32_t>(iEnd - iBegin);
  placement.height = static_cast<std::int32_t>(jEnd - jBegin);
  placement.map.rows.resize(placement.height);
  for (std::int64_t j = jBegin; j < jEnd; ++j) {
    const std::int64_t scan = source.bottomUp ? sy + h - 1 - j : sy + j;
    placement.map.rows[j - jBegin] = static_cast<std::int32_t>(scan - firstScan);
  }
  placement.map.columns = {static_cast<std::int32_t>(sx + iBegin)};
  placement.map.identityColumns = true;
  return placement;
}

Placement PlaceStretch(const SourceBitmap& source, std::int32_t x, std::int32_t y,
                       std::int32_t width, std::int32_t height, std::int32_t sourceX,
                       std::int32_t sourceY, std::int32_t sourceWidth, std::int32_t sourceHeight) {
  Placement placement;
  if (!SizeUsable(width, height) || sourceWidth == 0 || sourceHeight == 0) return placement;
  const std::int64_t sx = sourceX, sy = sourceY, sw = sourceWidth, sh = sourceHeight;
  const std::int64_t w = width, h = height;
  // Destination pixel i takes source pixel sx + i x sw / w; a negative size takes the rectangle
  // from its far side back, mirroring the picture. Samples beyond the bitmap take its edge.
  const auto sample = [](std::int64_t origin, std::int64_t size, std::int64_t count, std::int64_t i,
                         std::int64_t limit) {
    const std::int64_t at = size > 0 ? origin + i * size / count : origin - 1 - i * -size / count;
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(at, 0, limit - 1));
  };
  placement.x = x;
  placement.y = y;
  placement.width = width;
  placement.height = height;
  placement.map.rows.resize(placement.height);
  for (std::int64_t j = 0; j < h; ++j) {
    const std::int32_t fromTop = sample(sy, sh, h, j, source.height);
    placement.map.rows[j] = source.bottomUp ? source.height - 1 - fromTop : fromTop;
  }
  placement.map.columns.resize(placement.width);
  bool identity = true;
  for (std::int64_t i = 0; i < w; ++i) {
    placement.map.columns[i] = sample(sx, sw, w, i, source.width);
    identity = identity && placement.map.columns[i] == placement.map.columns[0] + i;
  }
  placement.map.identityColumns = identity;
  return placement;
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
