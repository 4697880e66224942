#include "platform/headless/headless_window_system.h"

#include <orvex/platform.h>

#include <new>
#include <optional>
#include <vector>

#include "platform/dib_drawing.h"

namespace orvex::platform {
namespace {

OrvexWindow ToPlatform(WindowHandle window) {
  return static_cast<OrvexWindow>(window);
}

// Draws what a placement takes from the bitmap: straight from its rows where every
// destination row is a whole source row in memory order or its reverse, else through a
// picture of the placement's size.
bool DrawPlacement(GraphicsHandle dc, const DibSource& dib, const Placement& placement) {
  const SourceMap& map = placement.map;
  const std::size_t pixelBytes = dib.bitCount / 8;
  const auto* palette = reinterpret_cast<const std::uint8_t*>(dib.colorTable);
  const std::int32_t rowStep = map.rows.size() > 1 ? map.rows[1] - map.rows[0] : 1;
  bool straight = map.identityColumns && (rowStep == 1 || rowStep == -1);
  for (std::size_t j = 1; straight && j < map.rows.size(); ++j) {
    straight = map.rows[j] - map.rows[j - 1] == rowStep;
  }
  if (straight) {
    const std::uint8_t* first = dib.Row(map.rows[0]) + map.columns[0] * pixelBytes;
    return OrvexPlatform_DrawBits(
               ToPlatform(dc), placement.x, placement.y, placement.width, placement.height, first,
               static_cast<std::intptr_t>(rowStep) * static_cast<std::intptr_t>(dib.stride),
               dib.bitCount, palette) != 0;
  }
  const std::size_t w = static_cast<std::size_t>(placement.width);
  std::vector<std::uint8_t> picture(w * static_cast<std::size_t>(placement.height) * 3);
  for (std::int32_t j = 0; j < placement.height; ++j) {
    const std::uint8_t* from = dib.Row(map.rows[j]);
    std::uint8_t* to = picture.data() + j * w * 3;
    for (std::size_t i = 0; i < w; ++i, to += 3) {
      const std::int32_t column =
          map.identityColumns ? map.columns[0] + static_cast<std::int32_t>(i) : map.columns[i];
      const std::uint8_t* pixel = from + column * pixelBytes;
      if (dib.bitCount != 8) {
        to[0] = pixel[0];
        to[1] = pixel[1];
        to[2] = pixel[2];
      } else if (palette != nullptr) {
        to[0] = palette[*pixel * 4];
        to[1] = palette[*pixel * 4 + 1];
        to[2] = palette[*pixel * 4 + 2];
      } else {
        to[0] = to[1] = to[2] = *pixel;
      }
    }
  }
  return OrvexPlatform_DrawBits(ToPlatform(dc), placement.x, placement.y, placement.width,
                                placement.height, picture.data(), static_cast<std::intptr_t>(w * 3),
                                24, nullptr) != 0;
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
  const std::optional<DibSource> dib = DescribeDib(bitmap);
  if (dc == 0 || !dib) return 0;
  // Frames are drawn on the preview thread: short of memory for the placement or the picture,
  // nothing is drawn, as when the screen refuses the bits.
  try {
    const Placement placement =
        PlaceDiBits(*dib, x, y, width, height, sourceX, sourceY, startScan, scanLines);
    if (placement.height == 0 || !DrawPlacement(dc, *dib, placement)) return 0;
    return placement.height;
  } catch (const std::bad_alloc&) {
    return 0;
  }
}

bool HeadlessWindowSystem::StretchBlt(GraphicsHandle dc, std::int32_t x, std::int32_t y,
                                      std::int32_t width, std::int32_t height,
                                      const BitmapView& source, std::int32_t sourceX,
                                      std::int32_t sourceY, std::int32_t sourceWidth,
                                      std::int32_t sourceHeight) {
  const std::optional<DibSource> dib = DescribeDib(source);
  if (dc == 0 || width <= 0 || height <= 0 || sourceWidth == 0 || sourceHeight == 0 || !dib) {
    return false;
  }
  try {
    const Placement placement =
        PlaceStretch(*dib, x, y, width, height, sourceX, sourceY, sourceWidth, sourceHeight);
    return placement.height == 0 || DrawPlacement(dc, *dib, placement);
  } catch (const std::bad_alloc&) {
    return false;
  }
}

}  // namespace orvex::platform
