#include "platform/win32/win32_window_system.h"

#include <windows.h>

#include <cstring>

namespace orvex::platform {

namespace {

HDC ToDc(GraphicsHandle dc) {
  return reinterpret_cast<HDC>(dc);
}
HGDIOBJ ToObject(GraphicsHandle object) {
  return reinterpret_cast<HGDIOBJ>(object);
}
GraphicsHandle FromObject(HGDIOBJ object) {
  return reinterpret_cast<GraphicsHandle>(object);
}

HWND ToWindow(WindowHandle window) {
  return reinterpret_cast<HWND>(window);
}
WindowHandle FromWindow(HWND window) {
  return reinterpret_cast<WindowHandle>(window);
}

// A header followed by a full colour table: CreateDIBSection reads up to 256 entries after the
// header for a palette bitmap, and the seam's caller passes the header alone.
struct BitmapInfoWithTable {
  BITMAPINFOHEADER header;
  RGBQUAD colors[256];
};

// The header of a view, and for 8 bits a pixel its colour table (gray when it has none).
void FillBitmapInfo(const BitmapView& view, BitmapInfoWithTable* info) {
  std::memcpy(&info->header, view.header, sizeof info->header);
  info->header.biSize = sizeof info->header;
  if (info->header.biBitCount != 8) return;
  if (view.colorTable != nullptr) {
    std::memcpy(info->colors, view.colorTable, sizeof info->colors);
  } else {
    for (int i = 0; i < 256; ++i) {
      const auto level = static_cast<BYTE>(i);
      info->colors[i] = RGBQUAD{level, level, level, 0};
    }
  }
}

HINSTANCE Instance() {
  return GetModuleHandleA(nullptr);
}

// Child, visible, clip children; and the top-level preview window's overlapped style with
// caption, system menu, sizing frame, minimize and maximize boxes, visible, clip siblings and
// clip children.
constexpr DWORD kChildStyle = 0x52000000;
constexpr DWORD kTopLevelStyle = 0x16CF0000;
static_assert(kChildStyle == (WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN));
static_assert(kTopLevelStyle ==
              (WS_OVERLAPPEDWINDOW | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN));

}  // namespace

static_assert(sizeof(WindowHandle) == sizeof(HWND));
static_assert(sizeof(GraphicsHandle) == sizeof(HGDIOBJ));
static_assert(sizeof(BitmapInfoHeader) == sizeof(BITMAPINFOHEADER));
static_assert(sizeof(RgbQuad) == sizeof(RGBQUAD));
#if !defined(_WIN64)
static_assert(sizeof(WNDCLASSEXA) == 48);
#endif

bool Win32WindowSystem::PostWindowMessage(WindowHandle window, std::uint32_t message,
                                          std::uintptr_t wParam, std::intptr_t lParam) {
  // PostMessageA with no window would post to the calling thread's own queue instead.
  if (window == 0) return false;
  return PostMessageA(reinterpret_cast<HWND>(window), message, static_cast<WPARAM>(wParam),
                      static_cast<LPARAM>(lParam)) != FALSE;
}

GraphicsHandle Win32WindowSystem::CreateDibSection(GraphicsHandle dc,
                                                   const BitmapInfoHeader& header, void** pixels) {
  BitmapInfoWithTable info{};
  std::memcpy(&info.header, &header, sizeof info.header);
  info.header.biSize = sizeof info.header;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(ToDc(dc), reinterpret_cast<const BITMAPINFO*>(&info),
                                    DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap == nullptr) bits = nullptr;
  if (pixels != nullptr) *pixels = bits;
  return FromObject(bitmap);
}

GraphicsHandle Win32WindowSystem::CreateMemoryDc() {
  return FromObject(CreateCompatibleDC(nullptr));
}

GraphicsHandle Win32WindowSystem::SelectObject(GraphicsHandle dc, GraphicsHandle object) {
  HGDIOBJ previous = ::SelectObject(ToDc(dc), ToObject(object));
  // Failure is reported as null or as HGDI_ERROR, depending on the object's kind.
  if (previous == HGDI_ERROR) return 0;
  return FromObject(previous);
}

bool Win32WindowSystem::DeleteObject(GraphicsHandle object) {
  if (object == 0) return false;
  return ::DeleteObject(ToObject(object)) != FALSE;
}

bool Win32WindowSystem::DeleteDc(GraphicsHandle dc) {
  if (dc == 0) return false;
  return DeleteDC(ToDc(dc)) != FALSE;
}

int Win32WindowSystem::GetDibColorTable(GraphicsHandle dc, int first, int count, RgbQuad* entries) {
  if (entries == nullptr || first < 0 || count <= 0) return 0;
  return static_cast<int>(GetDIBColorTable(ToDc(dc), static_cast<UINT>(first),
                                           static_cast<UINT>(count),
                                           reinterpret_cast<RGBQUAD*>(entries)));
}

int Win32WindowSystem::SetDibColorTable(GraphicsHandle dc, int first, int count,
                                        const RgbQuad* entries) {
  if (entries == nullptr || first < 0 || count <= 0) return 0;
  return static_cast<int>(SetDIBColorTable(ToDc(dc), static_cast<UINT>(first),
                                           static_cast<UINT>(count),
                                           reinterpret_cast<const RGBQUAD*>(entries)));
}

bool Win32WindowSystem::RegisterWindowClass(const char* className) {
  WNDCLASSEXA windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.style = 0;
  windowClass.lpfnWndProc = DefWindowProcA;
  windowClass.hInstance = Instance();
  windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
  windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  windowClass.lpszClassName = className;
  return RegisterClassExA(&windowClass) != 0;
}

bool Win32WindowSystem::UnregisterWindowClass(const char* className) {
  return UnregisterClassA(className, Instance()) != FALSE;
}

WindowHandle Win32WindowSystem::CreateChildWindow(const char* className, const char* title,
                                                  WindowHandle parent, std::int32_t x,
                                                  std::int32_t y, std::int32_t width,
                                                  std::int32_t height, std::int32_t childId) {
  // A child window's menu argument carries its identifier.
  return FromWindow(
      CreateWindowExA(0, className, title, kChildStyle, x, y, width, height, ToWindow(parent),
                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(childId)), Instance(), nullptr));
}

bool Win32WindowSystem::AdjustTopLevelRect(WindowRect* rect) {
  if (rect == nullptr) return false;
  RECT adjusted{rect->left, rect->top, rect->right, rect->bottom};
  if (AdjustWindowRectEx(&adjusted, kTopLevelStyle, FALSE, 0) == FALSE) return false;
  *rect = WindowRect{adjusted.left, adjusted.top, adjusted.right, adjusted.bottom};
  return true;
}

WindowHandle Win32WindowSystem::CreateTopLevelWindow(const char* className, const char* title,
                                                     std::int32_t x, std::int32_t y,
                                                     std::int32_t width, std::int32_t height) {
  return FromWindow(CreateWindowExA(0, className, title, kTopLevelStyle, x, y, width, height,
                                    nullptr, nullptr, Instance(), nullptr));
}

std::int32_t Win32WindowSystem::ScreenWidth() {
  return GetSystemMetrics(SM_CXSCREEN);
}

std::int32_t Win32WindowSystem::ScreenHeight() {
  return GetSystemMetrics(SM_CYSCREEN);
}

// SetFocus and ShowWindow report the previous focus and visibility, not success.
bool Win32WindowSystem::SetFocus(WindowHandle window) {
  ::SetFocus(ToWindow(window));
  return IsWindow(ToWindow(window)) != FALSE;
}

bool Win32WindowSystem::ShowWindow(WindowHandle window) {
  ::ShowWindow(ToWindow(window), SW_SHOW);
  return IsWindow(ToWindow(window)) != FALSE;
}

bool Win32WindowSystem::UpdateWindow(WindowHandle window) {
  return ::UpdateWindow(ToWindow(window)) != FALSE;
}

bool Win32WindowSystem::DestroyWindow(WindowHandle window) {
  const HWND handle = ToWindow(window);
  // Only a window's own thread may destroy it. From another thread (a handle closed there) it
  // is asked to close instead, which the default window procedure carries out on its thread,
  // as it does for the close button, as soon as that thread handles its messages.
  const DWORD owner = GetWindowThreadProcessId(handle, nullptr);
  if (owner != 0 && owner != GetCurrentThreadId()) {
    return PostMessageA(handle, WM_CLOSE, 0, 0) != FALSE;
  }
  return ::DestroyWindow(handle) != FALSE;
}

bool Win32WindowSystem::GetClientRect(WindowHandle window, WindowRect* rect) {
  RECT client{};
  if (rect == nullptr || ::GetClientRect(ToWindow(window), &client) == FALSE) return false;
  *rect = WindowRect{client.left, client.top, client.right, client.bottom};
  return true;
}

bool Win32WindowSystem::IsWindowVisible(WindowHandle window) {
  return ::IsWindowVisible(ToWindow(window)) != FALSE;
}

GraphicsHandle Win32WindowSystem::GetWindowDc(WindowHandle window) {
  return FromObject(GetDC(ToWindow(window)));
}

bool Win32WindowSystem::ReleaseWindowDc(WindowHandle window, GraphicsHandle dc) {
  // A common device context goes back to the system with its window (the close button, or its
  // parent destroyed); the same handle may by now serve another window, whose holder would
  // lose it if it were released here.
  if (WindowFromDC(ToDc(dc)) != ToWindow(window)) return false;
  return ReleaseDC(ToWindow(window), ToDc(dc)) == 1;
}

std::int32_t Win32WindowSystem::SetDiBitsToDevice(GraphicsHandle dc, std::int32_t x, std::int32_t y,
                                                  std::int32_t width, std::int32_t height,
                                                  std::int32_t sourceX, std::int32_t sourceY,
                                                  std::int32_t startScan, std::int32_t scanLines,
                                                  const BitmapView& bitmap) {
  if (bitmap.header == nullptr || bitmap.pixels == nullptr || width < 0 || height < 0 ||
      startScan < 0 || scanLines < 0) {
    return 0;
  }
  BitmapInfoWithTable info{};
  FillBitmapInfo(bitmap, &info);
  return SetDIBitsToDevice(ToDc(dc), x, y, static_cast<DWORD>(width), static_cast<DWORD>(height),
                           sourceX, sourceY, static_cast<UINT>(startScan),
                           static_cast<UINT>(scanLines), bitmap.pixels,
                           reinterpret_cast<const BITMAPINFO*>(&info), DIB_RGB_COLORS);
}

bool Win32WindowSystem::StretchBlt(GraphicsHandle dc, std::int32_t x, std::int32_t y,
                                   std::int32_t width, std::int32_t height,
                                   const BitmapView& source, std::int32_t sourceX,
                                   std::int32_t sourceY, std::int32_t sourceWidth,
                                   std::int32_t sourceHeight) {
  if (source.memoryDc != 0) {
    return ::StretchBlt(ToDc(dc), x, y, width, height, ToDc(source.memoryDc), sourceX, sourceY,
                        sourceWidth, sourceHeight, SRCCOPY) != FALSE;
  }
  // Plain memory has no device context: draw its pixels. The source rectangle counts rows from
  // the picture's top, as a memory device context does; StretchDIBits counts them from a
  // bottom-up bitmap's lower-left corner. Read as top-down, the rows of a bottom-up bitmap run
  // the other way, so the rectangle is turned over with them and both count from the top.
  if (source.header == nullptr || source.pixels == nullptr) return false;
  BitmapInfoWithTable info{};
  FillBitmapInfo(source, &info);
  if (info.header.biHeight > 0) {
    sourceY = info.header.biHeight - sourceY;
    sourceHeight = -sourceHeight;
    info.header.biHeight = -info.header.biHeight;
  }
  return StretchDIBits(ToDc(dc), x, y, width, height, sourceX, sourceY, sourceWidth, sourceHeight,
                       source.pixels, reinterpret_cast<const BITMAPINFO*>(&info), DIB_RGB_COLORS,
                       SRCCOPY) != 0;
}

}  // namespace orvex::platform
