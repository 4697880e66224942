// OrvexPlatform for Windows: the C API of include/orvex/platform.h over real windows.
//
// Every window the library makes is a real window, made and pumped by the library's window
// thread: message windows are message-only windows whose posted messages wait in a queue that
// any thread reads with OrvexPlatform_GetMessage; application windows are top-level or child
// windows whose client area shows a picture. The window and screen functions also work on
// windows of other code (the camera library's preview windows), and OrvexPlatform_ReadScreen
// reads the screen itself. The screen's size is the display's: OrvexPlatform_SetScreenSize only
// accepts the size it has.
#include <orvex/platform.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include "window_thread.h"

namespace orvex::win32 {
namespace {

constexpr int kMaxSide = 16384;

WindowThread& Thread() {
  return WindowThread::Get();
}

std::uint32_t Rgb(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
  return std::uint32_t{blue} | std::uint32_t{green} << 8 | std::uint32_t{red} << 16;
}

int Side(std::int32_t value) {
  return std::clamp<std::int32_t>(value, 0, kMaxSide);
}

// The window style of the library's style bits, for a top-level window or a child.
DWORD StyleOf(std::uint32_t style, bool child) {
  DWORD result =
      child ? WS_CHILD : ((style & ORVEX_PLATFORM_FRAMED) != 0 ? WS_OVERLAPPEDWINDOW : WS_POPUP);
  result |= WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
  if ((style & ORVEX_PLATFORM_VISIBLE) != 0) result |= WS_VISIBLE;
  return result;
}

// A window made by this library, or null.
std::shared_ptr<Window> Ours(HWND handle) {
  std::lock_guard lock(Thread().mutex());
  return Thread().Find(handle);
}

bool IsMessageWindow(HWND handle) {
  const std::shared_ptr<Window> window = Ours(handle);
  return window != nullptr && window->messageOnly;
}

// A live window that is not a message window.
bool HasArea(HWND handle) {
  return handle != nullptr && IsWindow(handle) && !IsMessageWindow(handle);
}

HWND Make(OrvexWindow parent, const char* title, std::uint32_t style, std::int32_t x,
          std::int32_t y, std::int32_t width, std::int32_t height, std::uint32_t background) {
  if (parent != nullptr && !HasArea(parent)) return nullptr;
  return Thread().MakeWindow(parent, title != nullptr ? title : "",
                             StyleOf(style, parent != nullptr), x, y, Side(width), Side(height),
                             background);
}

// The windows, top-level ones and every child within them, whose title is exactly `title`.
struct Search {
  std::wstring title;
  std::vector<HWND> found;
};

BOOL CALLBACK Match(HWND handle, LPARAM context) {
  auto* search = reinterpret_cast<Search*>(context);
  // The title as the window keeps it, without a message to a thread that may not be pumping.
  wchar_t text[512];
  const int length = InternalGetWindowText(handle, text, 512);
  if (length == static_cast<int>(search->title.size()) &&
      search->title.compare(0, search->title.size(), text, static_cast<std::size_t>(length)) == 0) {
    search->found.push_back(handle);
  }
  return TRUE;
}

BOOL CALLBACK MatchWithChildren(HWND handle, LPARAM context) {
  Match(handle, context);
  EnumChildWindows(handle, Match, context);
  return TRUE;
}

}  // namespace
}  // namespace orvex::win32

using orvex::win32::HasArea;
using orvex::win32::Ours;
using orvex::win32::Thread;
using orvex::win32::Window;

extern "C" {

OrvexWindow OrvexPlatform_CreateMessageWindow(void) {
  return Thread().MakeMessageWindow();
}

int32_t OrvexPlatform_GetMessage(OrvexWindow window, int32_t timeoutMs, uint32_t* message,
                                 uintptr_t* wParam, intptr_t* lParam) {
  if (Ours(window) == nullptr) return 0;
  Thread().Collect(window);  // whatever was posted before this call is in the queue now
  std::unique_lock lock(Thread().mutex());
  const std::shared_ptr<Window> target = Thread().Find(window);
  if (target == nullptr) return 0;
  const auto ready = [&] { return target->destroyed || !target->queue.empty(); };
  if (timeoutMs < 0) {
    target->posted.wait(lock, ready);
  } else if (timeoutMs > 0) {
    target->posted.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready);
  }
  if (target->destroyed || target->queue.empty()) return 0;
  const orvex::win32::Posted posted = target->queue.front();
  target->queue.pop_front();
  if (message != nullptr) *message = posted.message;
  if (wParam != nullptr) *wParam = posted.wParam;
  if (lParam != nullptr) *lParam = posted.lParam;
  return 1;
}

int32_t OrvexPlatform_PostMessage(OrvexWindow window, uint32_t message, uintptr_t wParam,
                                  intptr_t lParam) {
  // PostMessageA without a window would post to the calling thread instead.
  if (window == nullptr) return 0;
  return PostMessageA(window, message, static_cast<WPARAM>(wParam), static_cast<LPARAM>(lParam))
             ? 1
             : 0;
}

// Windows of this library only: Windows lets only the thread that made a window destroy it.
// Windows inside it that other threads made are destroyed by those threads when they next look
// at their messages; the calling thread does that here, so that the windows it made (such as the
// camera library's preview windows) are gone when this returns.
int32_t OrvexPlatform_DestroyWindow(OrvexWindow window) {
  if (Ours(window) == nullptr) return 0;
  BOOL destroyed = FALSE;
  Thread().Run([&] { destroyed = DestroyWindow(window); });
  MSG message;
  PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);
  return destroyed ? 1 : 0;
}

int32_t OrvexPlatform_SetScreenSize(int32_t width, int32_t height) {
  return width == GetSystemMetrics(SM_CXSCREEN) && height == GetSystemMetrics(SM_CYSCREEN) ? 1 : 0;
}

int32_t OrvexPlatform_GetScreenSize(int32_t* width, int32_t* height) {
  if (width != nullptr) *width = GetSystemMetrics(SM_CXSCREEN);
  if (height != nullptr) *height = GetSystemMetrics(SM_CYSCREEN);
  return 1;
}

OrvexWindow OrvexPlatform_CreateWindow(OrvexWindow parent, int32_t x, int32_t y, int32_t width,
                                       int32_t height) {
  return orvex::win32::Make(parent, "", ORVEX_PLATFORM_VISIBLE, x, y, width, height,
                            orvex::win32::Rgb(255, 255, 255));
}

OrvexWindow OrvexPlatform_CreateWindowEx(OrvexWindow parent, const char* title, uint32_t style,
                                         int32_t x, int32_t y, int32_t width, int32_t height) {
  return orvex::win32::Make(parent, title, style, x, y, width, height, 0);
}

int32_t OrvexPlatform_AdjustWindowRect(uint32_t style, int32_t* left, int32_t* top, int32_t* right,
                                       int32_t* bottom) {
  if (left == nullptr || top == nullptr || right == nullptr || bottom == nullptr) return 0;
  RECT rect{*left, *top, *right, *bottom};
  if (!AdjustWindowRectEx(&rect, orvex::win32::StyleOf(style, false) & ~WS_VISIBLE, FALSE, 0)) {
    return 0;
  }
  *left = rect.left;
  *top = rect.top;
  *right = rect.right;
  *bottom = rect.bottom;
  return 1;
}

int32_t OrvexPlatform_MoveWindow(OrvexWindow window, int32_t x, int32_t y, int32_t width,
                                 int32_t height) {
  if (!HasArea(window)) return 0;
  return MoveWindow(window, x, y, orvex::win32::Side(width), orvex::win32::Side(height), TRUE) ? 1
                                                                                               : 0;
}

int32_t OrvexPlatform_ShowWindow(OrvexWindow window, int32_t show) {
  if (!HasArea(window)) return 0;
  ShowWindow(window, show != 0 ? SW_SHOWNOACTIVATE : SW_HIDE);
  return 1;
}

int32_t OrvexPlatform_IsWindow(OrvexWindow window) {
  return window != nullptr && IsWindow(window) ? 1 : 0;
}

int32_t OrvexPlatform_IsWindowVisible(OrvexWindow window) {
  return HasArea(window) && IsWindowVisible(window) ? 1 : 0;
}

int32_t OrvexPlatform_GetWindowRect(OrvexWindow window, int32_t* x, int32_t* y, int32_t* width,
                                    int32_t* height) {
  RECT rect;
  if (!HasArea(window) || !GetWindowRect(window, &rect)) return 0;
  if (x != nullptr) *x = rect.left;
  if (y != nullptr) *y = rect.top;
  if (width != nullptr) *width = rect.right - rect.left;
  if (height != nullptr) *height = rect.bottom - rect.top;
  return 1;
}

int32_t OrvexPlatform_GetClientRect(OrvexWindow window, int32_t* x, int32_t* y, int32_t* width,
                                    int32_t* height) {
  RECT rect;
  POINT origin{0, 0};
  if (!HasArea(window) || !GetClientRect(window, &rect) || !ClientToScreen(window, &origin)) {
    return 0;
  }
  if (x != nullptr) *x = origin.x;
  if (y != nullptr) *y = origin.y;
  if (width != nullptr) *width = rect.right;
  if (height != nullptr) *height = rect.bottom;
  return 1;
}

OrvexWindow OrvexPlatform_GetParent(OrvexWindow window) {
  if (!HasArea(window)) return nullptr;
  HWND parent = GetAncestor(window, GA_PARENT);
  return parent == GetDesktopWindow() ? nullptr : parent;
}

OrvexWindow OrvexPlatform_FindWindow(const char* title) {
  if (title == nullptr) return nullptr;
  orvex::win32::Search search;
  search.title = orvex::win32::Widen(title);
  EnumWindows(orvex::win32::MatchWithChildren, reinterpret_cast<LPARAM>(&search));
  // The newest: the one made last, as the window thread learnt (after taking in what it was
  // told so far); windows of other processes or made before, in stacking order after those.
  Thread().Run([] {
    MSG message;
    PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);
  });
  HWND newest = nullptr;
  std::uint64_t newestMade = 0;
  std::lock_guard lock(Thread().mutex());
  for (HWND handle : search.found) {
    const std::uint64_t made = Thread().MadeAt(handle);
    if (newest == nullptr || made > newestMade) {
      newest = handle;
      newestMade = made;
    }
  }
  return newest;
}

// The keyboard focus belongs to a thread's windows; the library's windows get it on the window
// thread, any other window on the calling thread.
int32_t OrvexPlatform_SetFocus(OrvexWindow window) {
  if (!HasArea(window)) return 0;
  if (Ours(window) != nullptr) {
    Thread().Run([&] { SetFocus(window); });
  } else {
    SetFocus(window);
  }
  return 1;
}

OrvexWindow OrvexPlatform_GetFocus(void) {
  HWND focus = nullptr;
  Thread().Run([&] { focus = GetFocus(); });
  if (focus == nullptr) focus = GetFocus();
  return focus;
}

int32_t OrvexPlatform_FillWindow(OrvexWindow window, uint8_t red, uint8_t green, uint8_t blue) {
  {
    std::lock_guard lock(Thread().mutex());
    const std::shared_ptr<Window> target = Thread().Find(window);
    if (target == nullptr || target->messageOnly) return 0;
    orvex::win32::FillPicture(*target, orvex::win32::Rgb(red, green, blue));
  }
  InvalidateRect(window, nullptr, FALSE);
  return 1;
}

int32_t OrvexPlatform_DrawBits(OrvexWindow window, int32_t x, int32_t y, int32_t width,
                               int32_t height, const void* firstRow, intptr_t stride,
                               int32_t bitsPerPixel, const uint8_t* palette) {
  if (firstRow == nullptr || width < 0 || height < 0 ||
      (bitsPerPixel != 8 && bitsPerPixel != 24 && bitsPerPixel != 32)) {
    return 0;
  }
  {
    std::lock_guard lock(Thread().mutex());
    const std::shared_ptr<Window> target = Thread().Find(window);
    if (target == nullptr || target->messageOnly) return 0;
    orvex::win32::DrawIntoPicture(*target, x, y, width, height,
                                  static_cast<const std::uint8_t*>(firstRow), stride, bitsPerPixel,
                                  palette);
    ++target->drawCount;
  }
  InvalidateRect(window, nullptr, FALSE);
  return 1;
}

int32_t OrvexPlatform_DrawCount(OrvexWindow window) {
  std::lock_guard lock(Thread().mutex());
  const std::shared_ptr<Window> target = Thread().Find(window);
  if (target == nullptr || target->messageOnly) return -1;
  return target->drawCount;
}

// The screen as the display shows it, after the library's windows have painted what they hold.
int32_t OrvexPlatform_ReadScreen(int32_t x, int32_t y, int32_t width, int32_t height,
                                 uint8_t* bgr) {
  const int32_t screenWidth = GetSystemMetrics(SM_CXSCREEN);
  const int32_t screenHeight = GetSystemMetrics(SM_CYSCREEN);
  if (bgr == nullptr || width <= 0 || height <= 0 || x < 0 || y < 0 || x > screenWidth - width ||
      y > screenHeight - height) {
    return 0;
  }
  Thread().Flush();
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  int32_t done = 0;
  if (bitmap != nullptr && memory != nullptr) {
    HGDIOBJ previous = SelectObject(memory, bitmap);
    if (BitBlt(memory, 0, 0, width, height, screen, x, y, SRCCOPY)) {
      GdiFlush();
      const auto* pixels = static_cast<const std::uint8_t*>(bits);
      for (std::size_t i = 0; i < static_cast<std::size_t>(width) * height; ++i) {
        std::memcpy(bgr + 3 * i, pixels + 4 * i, 3);
      }
      done = 1;
    }
    SelectObject(memory, previous);
  }
  if (bitmap != nullptr) DeleteObject(bitmap);
  if (memory != nullptr) DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return done;
}

}  // extern "C"
