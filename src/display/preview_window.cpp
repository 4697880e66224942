#include "display/preview_window.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <limits>
#include <mutex>
#include <new>
#include <string>
#include <vector>

#include "platform/platform_services.h"

namespace orvex {
namespace {

constexpr char kChildTitle[] = "ActiveMovie Window";
constexpr char kTopLevelTitle[] = "Active Window";
constexpr std::int32_t kChildId = 6540;

std::int32_t Clamp32(std::int64_t value) {
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(
      value, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

// Preview window classes let go of while a window of theirs still existed: a window of another
// thread goes only once that thread handles its messages, and its class cannot be unregistered
// before. Each is tried again whenever a preview window is made or let go of, until it goes,
// so that previews closed from other threads do not use up the process's classes. Never
// destroyed: a preview may be closed while the process exits.
struct LeftClasses {
  std::mutex mutex;
  std::vector<std::string> names;
};

LeftClasses& Left() {
  // In static storage rather than from the heap, so that looking after the classes left can
  // never fail for want of memory.
  alignas(LeftClasses) static unsigned char storage[sizeof(LeftClasses)];
  static LeftClasses* const left = new (storage) LeftClasses;
  return *left;
}

// Unregisters the classes left before, and `name` (when not null), keeping what cannot go yet.
void UnregisterPreviewClasses(platform::WindowSystem& windows, const char* name) {
  LeftClasses& left = Left();
  std::lock_guard<std::mutex> lock(left.mutex);
  std::erase_if(left.names,
                [&](const std::string& n) { return windows.UnregisterWindowClass(n.c_str()); });
  if (name == nullptr || windows.UnregisterWindowClass(name)) return;
  try {
    left.names.emplace_back(name);
  } catch (const std::bad_alloc&) {
    // Without memory to remember it, the class stays registered until the process ends.
  }
}

}  // namespace

PreviewWindow::PreviewWindow(std::uintptr_t owner, const CameraSettings& settings)
    : owner_(owner), settings_(settings) {}

platform::WindowHandle PreviewWindow::CreatePreviewWindow(platform::WindowHandle parent,
                                                          std::int32_t left, std::int32_t top,
                                                          std::int32_t right, std::int32_t bottom) {
  platform::WindowSystem& windows = platform::Windows();
  platform::SystemClock& clock = platform::Clock();
  UnregisterPreviewClasses(windows, nullptr);

  // Unique in the process: the context's address, and a number that differs between the
  // windows of one context. The whole address is printed, so 64-bit contexts cannot collide.
  const auto salt = static_cast<std::uint32_t>(clock.Rand()) + clock.MultimediaTime();
  std::snprintf(className.data(), className.size(), "VideoRenderer_%08" PRIxPTR "_%08" PRIx32,
                owner_, salt);
  if (!windows.RegisterWindowClass(className.data())) {
    className[0] = '\0';
    return 0;
  }

  platform::WindowHandle window = 0;
  if (parent != 0) {
    // The third and fourth values are the size, not the far corner.
    window = windows.CreateChildWindow(className.data(), kChildTitle, parent, left, top, right,
                                       bottom, kChildId);
  } else {
    const std::int32_t subSample = settings_.format.SubSample;
    const std::int32_t divisor = subSample == 1 ? 2 : subSample == 2 ? 4 : subSample == 3 ? 8 : 1;
    platform::WindowRect outer{0, 0, settings_.geometry.EH / divisor,
                               settings_.geometry.EV / divisor};
    if (windows.AdjustTopLevelRect(&outer)) {
      // A refused geometry stays stored and may hold any values, so the size and the centring
      // are worked out in 64 bits; the window system then gets them limited to 32.
      const std::int64_t width = std::int64_t{outer.right} - outer.left;
      const std::int64_t height = std::int64_t{outer.bottom} - outer.top;
      const std::int64_t x = (std::int64_t{windows.ScreenWidth()} - width) / 2;
      const std::int64_t y = (std::int64_t{windows.ScreenHeight()} - height) / 2;
      window = windows.CreateTopLevelWindow(className.data(), kTopLevelTitle, Clamp32(x),
                                            Clamp32(y), Clamp32(width), Clamp32(height));
    }
  }

  if (window != 0) {
    windows.SetFocus(window);
    windows.ShowWindow(window);
    if (windows.UpdateWindow(window)) return window;
    windows.DestroyWindow(window);
  }
  // Nothing of a failed attempt is left behind: the next one registers a class of its own.
  UnregisterPreviewClasses(windows, className.data());
  className[0] = '\0';
  return 0;
}

void PreviewWindow::Attach(platform::WindowHandle window, platform::GraphicsHandle dc) {
  std::lock_guard<std::mutex> lock(drawMutex_);
  previewWindow = window;
  previewDc = dc;
}

bool PreviewWindow::InUse() const {
  return previewWindow != 0 || previewDc != 0 || className[0] != '\0';
}

int PreviewWindow::DestroyPreviewWindow() {
  RetirePreviewWindow();
  return 1;
}

void PreviewWindow::RetirePreviewWindow() {
  platform::WindowHandle window = 0;
  platform::GraphicsHandle dc = 0;
  std::array<char, 256> oldClass{};
  {
    // Frames are drawn under this lock: after it, no frame reaches the old window.
    std::lock_guard<std::mutex> lock(drawMutex_);
    window = previewWindow;
    dc = previewDc;
    oldClass = className;
    previewWindow = 0;
    previewDc = 0;
    className[0] = '\0';
  }
  platform::WindowSystem& windows = platform::Windows();
  if (dc != 0) windows.ReleaseWindowDc(window, dc);
  if (window != 0) windows.DestroyWindow(window);
  if (oldClass[0] != '\0') UnregisterPreviewClasses(windows, oldClass.data());
}

}  // namespace orvex
