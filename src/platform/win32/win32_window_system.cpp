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

// A header followed by a full colour table: CreateDIBSection reads up to 256 entries after the
// header for a palette bitmap, and the seam's caller passes the header alone.
struct BitmapInfoWithTable {
  BITMAPINFOHEADER header;
  RGBQUAD colors[256];
};

}  // namespace

static_assert(sizeof(WindowHandle) == sizeof(HWND));
static_assert(sizeof(GraphicsHandle) == sizeof(HGDIOBJ));
static_assert(sizeof(BitmapInfoHeader) == sizeof(BITMAPINFOHEADER));
static_assert(sizeof(RgbQuad) == sizeof(RGBQUAD));

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

}  // namespace orvex::platform
