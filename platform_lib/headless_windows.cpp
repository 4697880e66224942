// Windows with a picture: their places, sizes, visibility and titles on the headless screen.

#pragma GCC visibility push(default)
#include <orvex/platform.h>
#pragma GCC visibility pop

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>

#include "dialog_manager.h"
#include "headless_geometry.h"
#include "headless_window_table.h"

namespace orvex::headless {

void ResizePicture(Window& window) {
  std::int32_t width = window.outer.width;
  std::int32_t height = window.outer.height;
  if (IsFramed(window)) {
    width -= 2 * kFrameBorder;
    height -= 2 * kFrameBorder + kFrameCaption;
  }
  width = std::max(width, 0);
  height = std::max(height, 0);
  if (width == window.clientWidth && height == window.clientHeight) return;

  std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width) * height * 3);
  for (std::size_t at = 0; at < pixels.size(); at += 3) {
    std::memcpy(pixels.data() + at, window.background, 3);
  }
  const std::size_t keepBytes = static_cast<std::size_t>(std::min(width, window.clientWidth)) * 3;
  const std::int32_t keepRows = keepBytes == 0 ? 0 : std::min(height, window.clientHeight);
  for (std::int32_t row = 0; row < keepRows; ++row) {
    std::memcpy(pixels.data() + static_cast<std::size_t>(row) * width * 3,
                window.pixels.data() + static_cast<std::size_t>(row) * window.clientWidth * 3,
                keepBytes);
  }
  window.pixels = std::move(pixels);
  window.clientWidth = width;
  window.clientHeight = height;
}

bool ClientOrigin(const WindowTable& table, const Window& window, std::int32_t* x,
                  std::int32_t* y) {
  std::int64_t ox = window.outer.x, oy = window.outer.y;
  if (IsFramed(window)) {
    ox += kFrameBorder;
    oy += kFrameBorder + kFrameCaption;
  }
  if (window.parent != 0) {
    const Window* parent = table.Find(window.parent);
    std::int32_t px = 0, py = 0;
    if (parent == nullptr || !ClientOrigin(table, *parent, &px, &py)) return false;
    ox += px;
    oy += py;
  }
  *x = Clamp32(ox);
  *y = Clamp32(oy);
  return true;
}

namespace {

std::int32_t Extent(std::int32_t size) {
  return std::clamp(size, 0, kMaxExtent);
}

OrvexWindow Create(OrvexWindow parent, const char* title, std::uint32_t style, std::int32_t x,
                   std::int32_t y, std::int32_t width, std::int32_t height,
                   std::uint8_t background) {
  auto window = std::make_shared<Window>();
  window->hasPicture = true;
  window->parent = parent;
  window->title = title != nullptr ? title : "";
  window->style = style;
  window->outer = Box{x, y, Extent(width), Extent(height)};
  window->visible = (style & ORVEX_PLATFORM_VISIBLE) != 0;
  std::memset(window->background, background, sizeof window->background);
  ResizePicture(*window);

  WindowTable& table = Table();
  std::lock_guard lock(table.Mutex());
  if (parent != 0) {
    const Window* owner = table.Find(parent);
    if (owner == nullptr || !owner->hasPicture) return 0;
  }
  return table.Add(std::move(window));
}

// Runs `use` on a window with a picture under the table's lock; false when there is none.
template <typename Use>
bool WithPicture(OrvexWindow handle, Use&& use) {
  WindowTable& table = Table();
  std::lock_guard lock(table.Mutex());
  Window* window = table.Find(handle);
  if (window == nullptr || !window->hasPicture) return false;
  use(table, *window);
  return true;
}

void Write(std::int32_t* to, std::int32_t value) {
  if (to != nullptr) *to = value;
}

// Dialogs and pages have no picture here: their rectangle is where the dialog manager shows
// them. Null when the window is no dialog, else the result.
std::optional<std::int32_t> DialogRect(OrvexWindow handle, std::int32_t* x, std::int32_t* y,
                                       std::int32_t* width, std::int32_t* height) {
  {
    WindowTable& table = Table();
    std::lock_guard lock(table.Mutex());
    const Window* window = table.Find(handle);
    if (window == nullptr || window->dialog == nullptr) return std::nullopt;
  }
  Box box;
  try {
    if (!DialogScreenBox(handle, std::nullopt, &box)) return 0;
  } catch (...) {
    return 0;
  }
  Write(x, box.x);
  Write(y, box.y);
  Write(width, box.width);
  Write(height, box.height);
  return 1;
}

}  // namespace
}  // namespace orvex::headless

using namespace orvex::headless;

extern "C" {

OrvexWindow OrvexPlatform_CreateWindow(OrvexWindow parent, int32_t x, int32_t y, int32_t width,
                                       int32_t height) {
  try {
    return Create(parent, "", ORVEX_PLATFORM_VISIBLE, x, y, width, height, 255);
  } catch (...) {
    return 0;
  }
}

OrvexWindow OrvexPlatform_CreateWindowEx(OrvexWindow parent, const char* title, uint32_t style,
                                         int32_t x, int32_t y, int32_t width, int32_t height) {
  try {
    return Create(parent, title, style, x, y, width, height, 0);
  } catch (...) {
    return 0;
  }
}

int32_t OrvexPlatform_AdjustWindowRect(uint32_t style, int32_t* left, int32_t* top, int32_t* right,
                                       int32_t* bottom) {
  if (left == nullptr || top == nullptr || right == nullptr || bottom == nullptr) return 0;
  if ((style & ORVEX_PLATFORM_FRAMED) != 0) {
    *left = Clamp32(std::int64_t{*left} - kFrameBorder);
    *top = Clamp32(std::int64_t{*top} - kFrameBorder - kFrameCaption);
    *right = Clamp32(std::int64_t{*right} + kFrameBorder);
    *bottom = Clamp32(std::int64_t{*bottom} + kFrameBorder);
  }
  return 1;
}

int32_t OrvexPlatform_MoveWindow(OrvexWindow window, int32_t x, int32_t y, int32_t width,
                                 int32_t height) {
  try {
    return WithPicture(window,
                       [&](WindowTable&, Window& w) {
                         w.outer = Box{x, y, Extent(width), Extent(height)};
                         ResizePicture(w);
                       })
               ? 1
               : 0;
  } catch (...) {
    return 0;
  }
}

int32_t OrvexPlatform_ShowWindow(OrvexWindow window, int32_t show) {
  WindowTable& table = Table();
  std::lock_guard lock(table.Mutex());
  Window* w = table.Find(window);
  if (w == nullptr || (!w->hasPicture && w->dialog == nullptr)) return 0;
  w->visible = show != 0;
  return 1;
}

int32_t OrvexPlatform_IsWindow(OrvexWindow window) {
  WindowTable& table = Table();
  std::lock_guard lock(table.Mutex());
  return table.Find(window) != nullptr ? 1 : 0;
}

int32_t OrvexPlatform_IsWindowVisible(OrvexWindow window) {
  WindowTable& table = Table();
  std::lock_guard lock(table.Mutex());
  for (const Window* w = table.Find(window);
       w != nullptr && (w->hasPicture || w->dialog != nullptr) && w->visible;
       w = table.Find(w->parent)) {
    if (w->parent == 0) return 1;
  }
  return 0;
}

int32_t OrvexPlatform_GetWindowRect(OrvexWindow window, int32_t* x, int32_t* y, int32_t* width,
                                    int32_t* height) {
  if (const auto dialog = DialogRect(window, x, y, width, height)) return *dialog;
  bool placed = false;
  const bool found = WithPicture(window, [&](WindowTable& table, Window& w) {
    std::int32_t cx = 0, cy = 0;
    if (!ClientOrigin(table, w, &cx, &cy)) return;
    const bool framed = IsFramed(w);
    Write(x, framed ? cx - kFrameBorder : cx);
    Write(y, framed ? cy - kFrameBorder - kFrameCaption : cy);
    Write(width, w.outer.width);
    Write(height, w.outer.height);
    placed = true;
  });
  return found && placed ? 1 : 0;
}

int32_t OrvexPlatform_GetClientRect(OrvexWindow window, int32_t* x, int32_t* y, int32_t* width,
                                    int32_t* height) {
  if (const auto dialog = DialogRect(window, x, y, width, height)) return *dialog;
  bool placed = false;
  const bool found = WithPicture(window, [&](WindowTable& table, Window& w) {
    std::int32_t cx = 0, cy = 0;
    if (!ClientOrigin(table, w, &cx, &cy)) return;
    Write(x, cx);
    Write(y, cy);
    Write(width, w.clientWidth);
    Write(height, w.clientHeight);
    placed = true;
  });
  return found && placed ? 1 : 0;
}

OrvexWindow OrvexPlatform_GetParent(OrvexWindow window) {
  WindowTable& table = Table();
  std::lock_guard lock(table.Mutex());
  const Window* w = table.Find(window);
  return w != nullptr ? w->parent : 0;
}

OrvexWindow OrvexPlatform_FindWindow(const char* title) {
  if (title == nullptr) return 0;
  WindowTable& table = Table();
  std::lock_guard lock(table.Mutex());
  const auto& all = table.All();
  for (auto it = all.rbegin(); it != all.rend(); ++it) {
    if (it->second->hasPicture && it->second->title == title) return it->first;
  }
  return 0;
}

int32_t OrvexPlatform_SetFocus(OrvexWindow window) {
  WindowTable& table = Table();
  std::lock_guard lock(table.Mutex());
  if (table.Find(window) == nullptr) return 0;
  table.focus = window;
  return 1;
}

OrvexWindow OrvexPlatform_GetFocus(void) {
  WindowTable& table = Table();
  std::lock_guard lock(table.Mutex());
  return table.focus;
}

}  // extern "C"
