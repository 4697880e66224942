#include "window_thread.h"

#include <algorithm>
#include <cstring>

namespace orvex::win32 {
namespace {

// A Unicode class: titles are kept as given, whatever the system's code page.
constexpr wchar_t kWindowClass[] = L"OrvexPlatformWindow";
constexpr UINT kRunTask = WM_APP + 0x100;  // lParam: the std::function to run

HINSTANCE ThisModule() {
  HMODULE module = nullptr;
  GetModuleHandleExA(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      reinterpret_cast<LPCSTR>(&ThisModule), &module);
  return module;
}

// The one window thread, set before it starts: its window procedure runs while Get() is still
// making it.
WindowThread* running = nullptr;

// Frees the picture's bitmap and device context.
void ReleasePicture(Window& window) {
  if (window.pictureDc == nullptr) return;
  SelectObject(window.pictureDc, window.previousBitmap);
  DeleteObject(window.picture);
  DeleteDC(window.pictureDc);
  window.pictureDc = nullptr;
  window.picture = nullptr;
  window.pixels = nullptr;
}

std::uint32_t Bgrx(std::uint8_t blue, std::uint8_t green, std::uint8_t red) {
  return std::uint32_t{blue} | std::uint32_t{green} << 8 | std::uint32_t{red} << 16;
}

}  // namespace

WindowThread& WindowThread::Get() {
  // Never destroyed: the thread runs until the process ends.
  static WindowThread* const thread = new WindowThread;
  return *thread;
}

WindowThread::WindowThread() {
  running = this;
  // The thread runs code of this DLL for the rest of the process: the DLL must stay loaded.
  HMODULE pinned = nullptr;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                     reinterpret_cast<LPCSTR>(&WindowThread::Procedure), &pinned);
  HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  Start start{this, ready};
  HANDLE thread = CreateThread(nullptr, 0, Main, &start, 0, nullptr);
  if (thread != nullptr) {
    WaitForSingleObject(ready, INFINITE);
    CloseHandle(thread);
  }
  CloseHandle(ready);
}

DWORD WINAPI WindowThread::Main(void* context) {
  const auto* start = static_cast<const Start*>(context);
  WindowThread* self = start->self;
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = Procedure;
  windowClass.hInstance = ThisModule();
  windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
  windowClass.lpszClassName = kWindowClass;
  RegisterClassExW(&windowClass);
  self->threadId_ = GetCurrentThreadId();
  // Every window of the process, whichever thread makes it, announced to this thread.
  SetWinEventHook(EVENT_OBJECT_CREATE, EVENT_OBJECT_CREATE, nullptr, Created, GetCurrentProcessId(),
                  0, WINEVENT_OUTOFCONTEXT);
  self->control_ = CreateWindowExW(0, kWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                   ThisModule(), nullptr);
  SetEvent(start->ready);  // start lives on the starting thread's stack only until here
  self->Pump();
  return 0;
}

void WindowThread::Pump() {
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    if (Collect(message)) continue;
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

// A posted message for a window of the library goes to its queue: every message for a message
// window, the application's own (WM_USER and above) for a window with a picture, whose system
// messages keep it working.
bool WindowThread::Collect(const MSG& message) {
  if (message.hwnd == nullptr || message.hwnd == control_) return false;
  std::lock_guard lock(mutex_);
  const auto found = windows_.find(message.hwnd);
  if (found == windows_.end()) return false;
  Window& window = *found->second;
  if (!window.messageOnly && message.message < WM_USER) return false;
  window.queue.push_back(Posted{message.message, static_cast<std::uintptr_t>(message.wParam),
                                static_cast<std::intptr_t>(message.lParam)});
  window.posted.notify_all();
  return true;
}

void WindowThread::Collect(HWND handle) {
  Run([this, handle] {
    MSG message;
    while (PeekMessageA(&message, handle, 0, 0, PM_REMOVE)) {
      if (Collect(message)) continue;
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
  });
}

void WindowThread::Run(const std::function<void()>& fn) {
  if (GetCurrentThreadId() == threadId_ || control_ == nullptr) {
    fn();
    return;
  }
  SendMessageA(control_, kRunTask, 0, reinterpret_cast<LPARAM>(&fn));
}

std::shared_ptr<Window> WindowThread::Find(HWND handle) {
  const auto found = windows_.find(handle);
  return found == windows_.end() ? nullptr : found->second;
}

HWND WindowThread::MakeMessageWindow() {
  HWND handle = nullptr;
  Run([&] {
    handle = CreateWindowExW(0, kWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                             ThisModule(), nullptr);
    if (handle == nullptr) return;
    auto window = std::make_shared<Window>();
    window->handle = handle;
    window->messageOnly = true;
    std::lock_guard lock(mutex_);
    windows_[handle] = std::move(window);
  });
  return handle;
}

HWND WindowThread::MakeWindow(HWND parent, const char* title, DWORD style, int x, int y, int width,
                              int height, std::uint32_t background) {
  HWND handle = nullptr;
  Run([&] {
    // Made hidden, shown once its picture exists, so that it never paints without one.
    handle = CreateWindowExW(0, kWindowClass, Widen(title != nullptr ? title : "").c_str(),
                             style & ~WS_VISIBLE, x, y, width, height, parent, nullptr,
                             ThisModule(), nullptr);
    if (handle == nullptr) return;
    RECT client{};
    ::GetClientRect(handle, &client);
    {
      auto window = std::make_shared<Window>();
      window->handle = handle;
      window->background = background;
      std::lock_guard lock(mutex_);
      Resize(*window, client.right, client.bottom);
      windows_[handle] = std::move(window);
    }
    if ((style & WS_VISIBLE) != 0) ShowWindow(handle, SW_SHOWNOACTIVATE);
  });
  return handle;
}

void WindowThread::Flush() {
  Run([this] {
    std::vector<HWND> pictures;
    {
      std::lock_guard lock(mutex_);
      for (const auto& [handle, window] : windows_) {
        if (!window->messageOnly) pictures.push_back(handle);
      }
    }
    for (HWND handle : pictures) UpdateWindow(handle);
    GdiFlush();
  });
}

void WindowThread::Forget(HWND handle) {
  std::lock_guard lock(mutex_);
  const auto found = windows_.find(handle);
  if (found == windows_.end()) return;
  Window& window = *found->second;
  window.destroyed = true;
  window.queue.clear();
  window.posted.notify_all();
  ReleasePicture(window);
  windows_.erase(found);
}

// A new picture of the client size: what the old one showed where they overlap, the background
// elsewhere. Under mutex_.
void WindowThread::Resize(Window& window, int width, int height) {
  if (width == window.pictureWidth && height == window.pictureHeight && window.pixels != nullptr) {
    return;
  }
  HDC dc = nullptr;
  HBITMAP bitmap = nullptr;
  void* bits = nullptr;
  if (width > 0 && height > 0) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    dc = CreateCompatibleDC(nullptr);
    bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap == nullptr) {
      DeleteDC(dc);
      dc = nullptr;
      bits = nullptr;
    }
  }
  auto* pixels = static_cast<std::uint32_t*>(bits);
  if (pixels != nullptr) {
    std::fill(pixels, pixels + static_cast<std::size_t>(width) * height, window.background);
    const int keepWidth = std::min(width, window.pictureWidth);
    const int keepHeight = std::min(height, window.pictureHeight);
    for (int row = 0; row < keepHeight && window.pixels != nullptr; ++row) {
      std::memcpy(pixels + static_cast<std::size_t>(row) * width,
                  window.pixels + static_cast<std::size_t>(row) * window.pictureWidth,
                  static_cast<std::size_t>(keepWidth) * 4);
    }
  }
  ReleasePicture(window);
  window.pictureDc = dc;
  window.picture = bitmap;
  window.previousBitmap = bitmap != nullptr ? SelectObject(dc, bitmap) : nullptr;
  window.pixels = pixels;
  window.pictureWidth = pixels != nullptr ? width : 0;
  window.pictureHeight = pixels != nullptr ? height : 0;
}

void WindowThread::Paint(HWND handle) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(handle, &paint);
  if (dc != nullptr) {
    std::lock_guard lock(mutex_);
    const std::shared_ptr<Window> window = Find(handle);
    if (window != nullptr && window->pictureDc != nullptr) {
      const RECT& r = paint.rcPaint;
      BitBlt(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, window->pictureDc, r.left,
             r.top, SRCCOPY);
    }
  }
  EndPaint(handle, &paint);
}

void CALLBACK WindowThread::Created(HWINEVENTHOOK, DWORD, HWND handle, LONG object, LONG child,
                                    DWORD, DWORD) {
  if (object != OBJID_WINDOW || child != CHILDID_SELF || handle == nullptr) return;
  WindowThread& self = *running;
  std::lock_guard lock(self.mutex_);
  // Handles of destroyed windows are forgotten now and then, as the table would only grow.
  if (self.made_.size() >= 4096) {
    for (auto it = self.made_.begin(); it != self.made_.end();) {
      it = IsWindow(it->first) ? std::next(it) : self.made_.erase(it);
    }
  }
  self.made_[handle] = self.nextSerial_++;
}

std::uint64_t WindowThread::MadeAt(HWND handle) const {
  const auto found = made_.find(handle);
  return found == made_.end() ? 0 : found->second;
}

LRESULT CALLBACK WindowThread::Procedure(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
  WindowThread& self = *running;
  switch (message) {
    case kRunTask:
      if (handle == self.control_) {
        (*reinterpret_cast<const std::function<void()>*>(lParam))();
        return 0;
      }
      break;
    case WM_PAINT:
      self.Paint(handle);
      return 0;
    case WM_ERASEBKGND:
      return 1;  // the picture covers the whole client area
    case WM_SIZE: {
      std::lock_guard lock(self.mutex_);
      if (const std::shared_ptr<Window> window = self.Find(handle);
          window && !window->messageOnly) {
        self.Resize(*window, LOWORD(lParam), HIWORD(lParam));
      }
      break;
    }
    case WM_NCDESTROY:
      self.Forget(handle);
      break;
    default:
      break;
  }
  return DefWindowProcW(handle, message, wParam, lParam);
}

void FillPicture(Window& window, std::uint32_t color) {
  if (window.pixels == nullptr) return;
  std::fill(window.pixels,
            window.pixels + static_cast<std::size_t>(window.pictureWidth) * window.pictureHeight,
            color);
}

void DrawIntoPicture(Window& window, int x, int y, int width, int height,
                     const std::uint8_t* firstRow, std::intptr_t stride, int bitsPerPixel,
                     const std::uint8_t* palette) {
  if (window.pixels == nullptr) return;
  const int left = std::max(x, 0);
  const int top = std::max(y, 0);
  const int right = std::min<long long>(static_cast<long long>(x) + width, window.pictureWidth);
  const int bottom = std::min<long long>(static_cast<long long>(y) + height, window.pictureHeight);
  for (int row = top; row < bottom; ++row) {
    const std::uint8_t* source = firstRow + static_cast<std::intptr_t>(row - y) * stride;
    std::uint32_t* target = window.pixels + static_cast<std::size_t>(row) * window.pictureWidth;
    for (int column = left; column < right; ++column) {
      const int i = column - x;
      std::uint32_t value = 0;
      if (bitsPerPixel == 24) {
        const std::uint8_t* p = source + 3 * i;
        value = Bgrx(p[0], p[1], p[2]);
      } else if (bitsPerPixel == 32) {
        const std::uint8_t* p = source + 4 * i;
        value = Bgrx(p[0], p[1], p[2]);
      } else {
        const std::uint8_t index = source[i];
        value = palette != nullptr
                    ? Bgrx(palette[4 * index], palette[4 * index + 1], palette[4 * index + 2])
                    : Bgrx(index, index, index);
      }
      target[column] = value;
    }
  }
}

}  // namespace orvex::win32
