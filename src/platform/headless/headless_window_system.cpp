#include "platform/headless/headless_window_system.h"

#include <orvex/platform.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace orvex::platform {
namespace {

OrvexWindow ToPlatform(WindowHandle window) {
  return static_cast<OrvexWindow>(window);
}

// A bitmap's layout as the drawing calls need it.
struct DibLayout {
  std::int64_t width = 0;
  std::int64_t height = 0;  // rows, whatever the orientation
  bool topDown = false;
  std::int32_t bitsPerPixel = 0;
  std::int64_t pixelBytes = 0;
  std::int64_t stride = 0;
  const std::uint8_t* palette = nullptr;  // 8 bits a pixel only; null: gray

  // The memory row of the bitmap's row r counted from its top.
  std::int64_t MemoryRow(std::int64_t r) const { return topDown ? r : height - 1 - r; }
};

bool Describe(const BitmapView& bitmap, DibLayout* layout) {
  const BitmapInfoHeader* header = bitmap.header;
  if (header == nullptr || bitmap.pixels == nullptr || header->width <= 0 || header->height == 0) {
    return false;
  }
  const std::int32_t bits = header->bitCount;
  if (bits != 8 && bits != 24 && bits != 32) return false;
  layout->width = header->width;
  layout->topDown = header->height < 0;
  layout->height = std::abs(std::int64_t{header->height});
  layout->bitsPerPixel = bits;
  layout->pixelBytes = bits / 8;
  layout->stride = (layout->width * bits + 31) / 32 * 4;
  layout->palette = bits == 8 ? reinterpret_cast<const std::uint8_t*>(bitmap.colorTable) : nullptr;
  return true;
}

}  // namespace

bool HeadlessWindowSystem::PostWindowMessage(WindowHandle window, std::uint32_t message,
                                             std::uintptr_t wParam, std::intptr_t lParam) {
  if (window == 0) return false;
  return OrvexPlatform_PostMessage(ToPlatform(window), message, wParam, lParam) != 0;
}

bool HeadlessWindowSystem::RegisterWindowClass(const char* className) {
  return className != nullptr && className[0] != '\0';
}

bool HeadlessWindowSystem::UnregisterWindowClass(const char* className) {
  return className != nullptr && className[0] != '\0';
}

WindowHandle HeadlessWindowSystem::CreateChildWindow(const char* /*className*/, const char* title,
                                                     WindowHandle parent, std::int32_t x,
                                                     std::int32_t y, std::int32_t width,
                                                     std::int32_t height,
                                                     std::int32_t /*childId*/) {
  if (parent == 0) return 0;
  return OrvexPlatform_CreateWindowEx(ToPlatform(parent), title, ORVEX_PLATFORM_VISIBLE, x, y,
                                      width, height);
}

bool HeadlessWindowSystem::AdjustTopLevelRect(WindowRect* rect) {
  if (rect == nullptr) return false;
  return OrvexPlatform_AdjustWindowRect(ORVEX_PLATFORM_FRAMED, &rect->left, &rect->top,
                                        &rect->right, &rect->bottom) != 0;
}

WindowHandle HeadlessWindowSystem::CreateTopLevelWindow(const char* /*className*/,
                                                        const char* title, std::int32_t x,
                                                        std::int32_t y, std::int32_t width,
                                                        std::int32_t height) {
  return OrvexPlatform_CreateWindowEx(0, title, ORVEX_PLATFORM_VISIBLE | ORVEX_PLATFORM_FRAMED, x,
                                      y, width, height);
}

std::int32_t HeadlessWindowSystem::ScreenWidth() {
  std::int32_t width = 0;
  OrvexPlatform_GetScreenSize(&width, nullptr);
  return width;
}

std::int32_t HeadlessWindowSystem::ScreenHeight() {
  std::int32_t height = 0;
  OrvexPlatform_GetScreenSize(nullptr, &height);
  return height;
}

bool HeadlessWindowSystem::SetFocus(WindowHandle window) {
  return OrvexPlatform_SetFocus(ToPlatform(window)) != 0;
}

bool HeadlessWindowSystem::ShowWindow(WindowHandle window) {
  return OrvexPlatform_ShowWindow(ToPlatform(window), 1) != 0;
}

// The pictures keep what was drawn; there is nothing to repaint.
bool HeadlessWindowSystem::UpdateWindow(WindowHandle window) {
  return OrvexPlatform_IsWindow(ToPlatform(window)) != 0;
}

bool HeadlessWindowSystem::DestroyWindow(WindowHandle window) {
  return OrvexPlatform_DestroyWindow(ToPlatform(window)) != 0;
}

bool HeadlessWindowSystem::GetClientRect(WindowHandle window, WindowRect* rect) {
  std::int32_t width = 0, height = 0;
  if (rect == nullptr ||
      OrvexPlatform_GetClientRect(ToPlatform(window), nullptr, nullptr, &width, &height) == 0) {
    return false;
  }
  *rect = WindowRect{0, 0, width, height};
  return true;
}

bool HeadlessWindowSystem::IsWindowVisible(WindowHandle window) {
  return OrvexPlatform_IsWindowVisible(ToPlatform(window)) != 0;
}

GraphicsHandle HeadlessWindowSystem::GetWindowDc(WindowHandle window) {
  if (OrvexPlatform_GetClientRect(ToPlatform(window), nullptr, nullptr, nullptr, nullptr) == 0) {
    return 0;
  }
  return static_cast<GraphicsHandle>(window);
}

bool HeadlessWindowSystem::ReleaseWindowDc(WindowHandle window, GraphicsHandle dc) {
  return dc != 0 && dc == static_cast<GraphicsHandle>(window);
}

std::int32_t HeadlessWindowSystem::SetDiBitsToDevice(GraphicsHandle dc, std::int32_t x,
                                                     std::int32_t y, std::int32_t width,
                                                     std::int32_t height, std::int32_t sourceX,
                                                     std::int32_t sourceY, std::int32_t startScan,
                                                     std::int32_t scanLines,
                                                     const BitmapView& bitmap) {
  DibLayout dib;
  if (dc == 0 || width <= 0 || height <= 0 || scanLines <= 0 || startScan < 0 ||
      !Describe(bitmap, &dib)) {
    return 0;
  }
  // The bits hold the scan lines startScan .. startScan + scanLines - 1, numbered from the
  // bitmap's first row in memory. The source rectangle's origin is the bitmap's lower-left
  // corner for a bottom-up bitmap and its upper-left corner for a top-down one.
  const std::int64_t firstScan = startScan;
  const std::int64_t endScan = std::min<std::int64_t>(firstScan + scanLines, dib.height);
  const std::int64_t sx = sourceX, sy = sourceY, w = width, h = height;
  const std::int64_t iBegin = std::max<std::int64_t>(0, -sx);
  const std::int64_t iEnd = std::min(w, dib.width - sx);
  std::int64_t jBegin, jEnd;
  if (dib.topDown) {  // destination row j shows scan sy + j
    jBegin = std::max<std::int64_t>(0, firstScan - sy);
    jEnd = std::min(h, endScan - sy);
  } else {  // destination row j shows scan sy + h - 1 - j
    jBegin = std::max<std::int64_t>(0, sy + h - endScan);
    jEnd = std::min(h, sy + h - firstScan);
  }
  if (iBegin >= iEnd || jBegin >= jEnd) return 0;

  const std::int64_t scan = dib.topDown ? sy + jBegin : sy + h - 1 - jBegin;
  const std::uint8_t* first =
      bitmap.pixels + (scan - firstScan) * dib.stride + (sx + iBegin) * dib.pixelBytes;
  const std::intptr_t step = static_cast<std::intptr_t>(dib.topDown ? dib.stride : -dib.stride);
  if (OrvexPlatform_DrawBits(ToPlatform(dc), static_cast<std::int32_t>(x + iBegin),
                             static_cast<std::int32_t>(y + jBegin),
                             static_cast<std::int32_t>(iEnd - iBegin),
                             static_cast<std::int32_t>(jEnd - jBegin), first, step,
                             dib.bitsPerPixel, dib.palette) == 0) {
    return 0;
  }
  return static_cast<std::int32_t>(jEnd - jBegin);
}

bool HeadlessWindowSystem::StretchBlt(GraphicsHandle dc, std::int32_t x, std::int32_t y,
                                      std::int32_t width, std::int32_t height,
                                      const BitmapView& source, std::int32_t sourceX,
                                      std::int32_t sourceY, std::int32_t sourceWidth,
                                      std::int32_t sourceHeight) {
  DibLayout dib;
  if (dc == 0 || width <= 0 || height <= 0 || sourceWidth == 0 || sourceHeight == 0 ||
      !Describe(source, &dib)) {
    return false;
  }
  // Source coordinates count rows from the bitmap's top. A negative source width or height
  // takes the rectangle from the far side back, mirroring the picture.
  const std::int64_t sx = sourceX, sy = sourceY, sw = sourceWidth, sh = sourceHeight;
  const std::int64_t w = width, h = height;
  const auto sourceColumn = [&](std::int64_t i) {
    return sw > 0 ? sx + i * sw / w : sx - 1 - i * -sw / w;
  };
  const auto sourceRow = [&](std::int64_t j) {
    return sh > 0 ? sy + j * sh / h : sy - 1 - j * -sh / h;
  };

  if (sw == w && (sh == h || sh == -h)) {
    // One to one: straight from the bitmap's rows, cut to what lies inside it.
    const std::int64_t iBegin = std::max<std::int64_t>(0, -sx);
    const std::int64_t iEnd = std::min(w, dib.width - sx);
    const std::int64_t jBegin =
        sh > 0 ? std::max<std::int64_t>(0, -sy) : std::max<std::int64_t>(0, sy - dib.height);
    const std::int64_t jEnd = sh > 0 ? std::min(h, dib.height - sy) : std::min(h, sy);
    if (iBegin >= iEnd || jBegin >= jEnd) return true;
    const std::int64_t rowStep = (sh > 0) == dib.topDown ? 1 : -1;
    const std::uint8_t* first = source.pixels + dib.MemoryRow(sourceRow(jBegin)) * dib.stride +
                                (sx + iBegin) * dib.pixelBytes;
    return OrvexPlatform_DrawBits(ToPlatform(dc), static_cast<std::int32_t>(x + iBegin),
                                  static_cast<std::int32_t>(y + jBegin),
                                  static_cast<std::int32_t>(iEnd - iBegin),
                                  static_cast<std::int32_t>(jEnd - jBegin), first,
                                  static_cast<std::intptr_t>(rowStep * dib.stride),
                                  dib.bitsPerPixel, dib.palette) != 0;
  }

  // Scaled: nearest pixel, through a picture of the destination's size. Source pixels outside
  // the bitmap show black.
  std::vector<std::uint8_t> picture(static_cast<std::size_t>(w * h * 3), 0);
  for (std::int64_t j = 0; j < h; ++j) {
    const std::int64_t row = sourceRow(j);
    if (row < 0 || row >= dib.height) continue;
    const std::uint8_t* from = source.pixels + dib.MemoryRow(row) * dib.stride;
    std::uint8_t* to = picture.data() + j * w * 3;
    for (std::int64_t i = 0; i < w; ++i, to += 3) {
      const std::int64_t column = sourceColumn(i);
      if (column < 0 || column >= dib.width) continue;
      const std::uint8_t* pixel = from + column * dib.pixelBytes;
      if (dib.bitsPerPixel != 8) {
        to[0] = pixel[0];
        to[1] = pixel[1];
        to[2] = pixel[2];
      } else if (dib.palette != nullptr) {
        to[0] = dib.palette[*pixel * 4];
        to[1] = dib.palette[*pixel * 4 + 1];
        to[2] = dib.palette[*pixel * 4 + 2];
      } else {
        to[0] = to[1] = to[2] = *pixel;
      }
    }
  }
  return OrvexPlatform_DrawBits(ToPlatform(dc), x, y, width, height, picture.data(),
                                static_cast<std::intptr_t>(w * 3), 24, nullptr) != 0;
}

}  // namespace orvex::platform
