#include "platform/dib_drawing.h"

#include <algorithm>
#include <limits>

namespace orvex::platform {
namespace {

// The destination offsets i in 0 .. count - 1 whose source index lies in 0 .. limit - 1, for a
// source index that moves monotonically with i: they form one run [*begin, *end).
template <typename SourceIndex>
void InsideRun(std::int64_t count, std::int64_t limit, SourceIndex index, std::int64_t* begin,
               std::int64_t* end) {
  *begin = 0;
  while (*begin < count && (index(*begin) < 0 || index(*begin) >= limit)) ++*begin;
  *end = *begin;
  while (*end < count && index(*end) >= 0 && index(*end) < limit) ++*end;
}

// The placement of destination offsets [iBegin, iEnd) x [jBegin, jEnd) from (x, y), its rows
// taken from `memoryRow` of each row offset; the columns are the caller's to fill.
template <typename MemoryRow>
Placement PlaceRows(std::int32_t x, std::int32_t y, std::int64_t iBegin, std::int64_t iEnd,
                    std::int64_t jBegin, std::int64_t jEnd, MemoryRow memoryRow) {
  Placement placement;
  placement.x = static_cast<std::int32_t>(x + iBegin);
  placement.y = static_cast<std::int32_t>(y + jBegin);
  placement.width = static_cast<std::int32_t>(iEnd - iBegin);
  placement.height = static_cast<std::int32_t>(jEnd - jBegin);
  placement.map.rows.resize(placement.height);
  for (std::int64_t j = jBegin; j < jEnd; ++j) {
    placement.map.rows[j - jBegin] = static_cast<std::int32_t>(memoryRow(j));
  }
  return placement;
}

}  // namespace

std::optional<DibSource> DescribeDib(const BitmapView& view) {
  const BitmapInfoHeader* header = view.header;
  if (view.pixels == nullptr || header == nullptr || header->compression != 0) return std::nullopt;
  if (header->bitCount != 8 && header->bitCount != 24 && header->bitCount != 32) {
    return std::nullopt;
  }
  if (header->width <= 0 || header->height == 0 ||
      header->height == std::numeric_limits<std::int32_t>::min()) {
    return std::nullopt;
  }
  DibSource source;
  source.pixels = view.pixels;
  source.width = header->width;
  source.height = header->height < 0 ? -header->height : header->height;
  source.bottomUp = header->height > 0;
  source.bitCount = header->bitCount;
  source.stride = (static_cast<std::size_t>(source.width) * header->bitCount + 31) / 32 * 4;
  source.colorTable = header->bitCount == 8 ? view.colorTable : nullptr;
  return source;
}

Placement PlaceDiBits(const DibSource& source, std::int32_t x, std::int32_t y, std::int32_t width,
                      std::int32_t height, std::int32_t sourceX, std::int32_t sourceY,
                      std::int32_t startScan, std::int32_t scanLines) {
  if (width <= 0 || height <= 0 || scanLines <= 0 || startScan < 0) return Placement{};
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
  if (iBegin >= iEnd || jBegin >= jEnd) return Placement{};

  Placement placement = PlaceRows(x, y, iBegin, iEnd, jBegin, jEnd, [&](std::int64_t j) {
    const std::int64_t scan = source.bottomUp ? sy + h - 1 - j : sy + j;
    return scan - firstScan;
  });
  placement.map.columns = {static_cast<std::int32_t>(sx + iBegin)};
  placement.map.identityColumns = true;
  return placement;
}

Placement PlaceStretch(const DibSource& source, std::int32_t x, std::int32_t y, std::int32_t width,
                       std::int32_t height, std::int32_t sourceX, std::int32_t sourceY,
                       std::int32_t sourceWidth, std::int32_t sourceHeight) {
  if (width <= 0 || height <= 0 || sourceWidth == 0 || sourceHeight == 0) return Placement{};
  const std::int64_t w = width, h = height;
  const auto sample = [](std::int64_t origin, std::int64_t size, std::int64_t count) {
    return [=](std::int64_t i) {
      return size > 0 ? origin + i * size / count : origin - 1 - i * -size / count;
    };
  };
  const auto column = sample(sourceX, sourceWidth, w);
  const auto fromTop = sample(sourceY, sourceHeight, h);
  std::int64_t iBegin, iEnd, jBegin, jEnd;
  InsideRun(w, source.width, column, &iBegin, &iEnd);
  InsideRun(h, source.height, fromTop, &jBegin, &jEnd);
  if (iBegin >= iEnd || jBegin >= jEnd) return Placement{};

  Placement placement = PlaceRows(x, y, iBegin, iEnd, jBegin, jEnd, [&](std::int64_t j) {
    return source.MemoryRow(static_cast<std::int32_t>(fromTop(j)));
  });
  placement.map.columns.resize(placement.width);
  bool identity = true;
  for (std::int64_t i = iBegin; i < iEnd; ++i) {
    const auto c = static_cast<std::int32_t>(column(i));
    placement.map.columns[i - iBegin] = c;
    identity = identity && c == placement.map.columns[0] + (i - iBegin);
  }
  placement.map.identityColumns = identity;
  return placement;
}

}  // namespace orvex::platform
