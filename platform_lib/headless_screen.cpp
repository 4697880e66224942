// The headless screen: drawing into window pictures, and composing the screen from them.

#pragma GCC visibility push(default)
#include <orvex/platform.h>
#pragma GCC visibility pop

#include <algorithm>
#include <cstring>
#include <mutex>

#include "headless_geometry.h"
#include "headless_window_table.h"

namespace orvex::headless {
namespace {

constexpr std::uint8_t kFrameGray = 128;

struct Span {
  std::int64_t left, top, right, bottom;  // right and bottom exclusive

  bool Empty() const { return left >= right || top >= bottom; }
  Span Cut(const Span& other) const {
    return Span{std::max(left, other.left), std::max(top, other.top), std::min(right, other.right),
                std::min(bottom, other.bottom)};
  }
};

// The screen rectangle being read, and where its pixels go.
struct Target {
  Span area;
  std::uint8_t* bgr;

  std::uint8_t* At(std::int64_t x, std::int64_t y) const {
    return bgr + ((y - area.top) * (area.right - area.left) + (x - area.left)) * 3;
  }
  void Fill(const Span& span, std::uint8_t value) const {
    if (span.Empty()) return;
    for (std::int64_t y = span.top; y < span.bottom; ++y) {
      std::memset(At(span.left, y), value, static_cast<std::size_t>(span.right - span.left) * 3);
    }
  }
};

// Paints a shown window and what lies inside it, cut to `clip` (screen coordinates).
void Paint(const WindowTable& table, OrvexWindow handle, const Window& window, const Span& clip,
           const Target& target) {
  if (!window.visible || clip.Empty()) return;
  std::int32_t cx = 0, cy = 0;
  if (!ClientOrigin(table, window, &cx, &cy)) return;
  const Span client{cx, cy, std::int64_t{cx} + window.clientWidth,
                    std::int64_t{cy} + window.clientHeight};
  if (IsFramed(window)) {
    const Span outer{window.outer.x, window.outer.y,
                     std::int64_t{window.outer.x} + window.outer.width,
                     std::int64_t{window.outer.y} + window.outer.height};
    target.Fill(outer.Cut(clip), kFrameGray);
  }
  const Span shown = client.Cut(clip);
  if (shown.Empty()) return;
  const std::size_t bytes = static_cast<std::size_t>(shown.right - shown.left) * 3;
  for (std::int64_t y = shown.top; y < shown.bottom; ++y) {
    const std::size_t from =
        (static_cast<std::size_t>(y - cy) * window.clientWidth + (shown.left - cx)) * 3;
    std::memcpy(target.At(shown.left, y), window.pixels.data() + from, bytes);
  }
  // Children were made after their parent, so they follow it in creation order.
  const auto& all = table.All();
  for (auto it = all.upper_bound(handle); it != all.end(); ++it) {
    if (it->second->parent == handle) Paint(table, it->first, *it->second, shown, target);
  }
}

}  // namespace
}  // namespace orvex::headless

using namespace orvex::headless;

extern "C" {

int32_t OrvexPlatform_SetScreenSize(int32_t width, int32_t height) {
  if (width < 1 || height < 1 || width > kMaxExtent || height > kMaxExtent) return 0;
  WindowTable& table = Table();
  std::lock_guard lock(table.Mutex());
  table.screenWidth = width;
  table.screenHeight = height;
  return 1;
}

int32_t OrvexPlatform_GetScreenSize(int32_t* width, int32_t* height) {
  WindowTable& table = Table();
  std::lock_guard lock(table.Mutex());
  if (width != nullptr) *width = table.screenWidth;
  if (height != nullptr) *height = table.screenHeight;
  return 1;
}

int32_t OrvexPlatform_FillWindow(OrvexWindow window, uint8_t red, uint8_t green, uint8_t blue) {
  WindowTable& table = Table();
  std::lock_guard lock(table.Mutex());
  Window* w = table.Find(window);
  if (w == nullptr || !w->hasPicture) return 0;
  for (std::size_t at = 0; at < w->pixels.size(); at += 3) {
    w->pixels[at] = blue;
    w->pixels[at + 1] = green;
    w->pixels[at + 2] = red;
  }
  return 1;
}

int32_t OrvexPlatform_DrawBits(OrvexWindow window, int32_t x, int32_t y, int32_t width,
                               int32_t height, const void* firstRow, intptr_t stride,
                               int32_t bitsPerPixel, const uint8_t* palette) {
  if (firstRow == nullptr || width < 0 || height < 0) return 0;
  if (bitsPerPixel != 8 && bitsPerPixel != 24 && bitsPerPixel != 32) return 0;
  const std::int64_t pixelBytes = bitsPerPixel / 8;

  WindowTable& table = Table();
  std::lock_guard lock(table.Mutex());
  Window* w = table.Find(window);
  if (w == nullptr || !w->hasPicture) return 0;
  ++w->drawCount;

  const std::int64_t left = std::max<std::int64_t>(x, 0);
  const std::int64_t right = std::min<std::int64_t>(std::int64_t{x} + width, w->clientWidth);
  const std::int64_t top = std::max<std::int64_t>(y, 0);
  const std::int64_t bottom = std::min<std::int64_t>(std::int64_t{y} + height, w->clientHeight);
  const std::int64_t count = right - left;
  if (count <= 0) return 1;
  const auto* rows = static_cast<const std::uint8_t*>(firstRow);
  for (std::int64_t row = top; row < bottom; ++row) {
    const std::uint8_t* from =
        rows + (row - y) * static_cast<std::int64_t>(stride) + (left - x) * pixelBytes;
    std::uint8_t* to = w->pixels.data() + (row * w->clientWidth + left) * 3;
    if (bitsPerPixel == 24) {
      std::memcpy(to, from, static_cast<std::size_t>(count) * 3);
    } else if (bitsPerPixel == 32) {
      for (std::int64_t i = 0; i < count; ++i, from += 4, to += 3) std::memcpy(to, from, 3);
    } else if (palette != nullptr) {
      for (std::int64_t i = 0; i < count; ++i, to += 3) std::memcpy(to, palette + from[i] * 4, 3);
    } else {
      for (std::int64_t i = 0; i < count; ++i, to += 3) std::memset(to, from[i], 3);
    }
  }
  return 1;
}

int32_t OrvexPlatform_DrawCount(OrvexWindow window) {
  WindowTable& table = Table();
  std::lock_guard lock(table.Mutex());
  const Window* w = table.Find(window);
  return w != nullptr ? w->drawCount : -1;
}

int32_t OrvexPlatform_ReadScreen(int32_t x, int32_t y, int32_t width, int32_t height,
                                 uint8_t* bgr) {
  if (bgr == nullptr || width < 0 || height < 0) return 0;
  WindowTable& table = Table();
  std::lock_guard lock(table.Mutex());
  const Span screen{0, 0, table.screenWidth, table.screenHeight};
  const Span area{x, y, std::int64_t{x} + width, std::int64_t{y} + height};
  if (area.left < 0 || area.top < 0 || area.right > screen.right || area.bottom > screen.bottom) {
    return 0;
  }
  const Target target{area, bgr};
  target.Fill(area, 0);
  for (const auto& [handle, window] : table.All()) {
    if (window->hasPicture && window->parent == 0) Paint(table, handle, *window, area, target);
  }
  return 1;
}

}  // extern "C"
