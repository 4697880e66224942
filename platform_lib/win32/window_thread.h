#pragma once

#include <windows.h>

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

namespace orvex::win32 {

struct Posted {
  std::uint32_t message;
  std::uintptr_t wParam;
  std::intptr_t lParam;
};

// A window made by this library. Message windows only collect what is posted to them;
// application windows also have a picture: a 32-bit bitmap of the client area that the window
// paints from, which FillWindow and DrawBits change.
struct Window {
  HWND handle = nullptr;
  bool messageOnly = false;
  std::deque<Posted> queue;
  std::condition_variable posted;
  bool destroyed = false;

  std::uint32_t background = 0;  // 0x00RRGGBB
  HDC pictureDc = nullptr;
  HBITMAP picture = nullptr;
  HGDIOBJ previousBitmap = nullptr;
  std::uint32_t* pixels = nullptr;  // top row first, pictureWidth a row
  int pictureWidth = 0;
  int pictureHeight = 0;
  int drawCount = 0;
};

// The thread that owns and pumps every window of the library, so that windows live and paint
// whatever the application's threads do, and so that a message posted to a window can be
// taken from any thread. It starts on first use and lasts as long as the process.
class WindowThread {
 public:
  static WindowThread& Get();

  // Runs fn on the window thread and returns when it is done.
  void Run(const std::function<void()>& fn);

  // The table of the library's windows; every access holds mutex().
  std::mutex& mutex() { return mutex_; }
  std::shared_ptr<Window> Find(HWND handle);  // under mutex()

  // Makes a window on the window thread: a message-only window, or a window with a picture of
  // this style, outer rectangle and background (0x00RRGGBB).
  HWND MakeMessageWindow();
  HWND MakeWindow(HWND parent, const char* title, DWORD style, int x, int y, int width, int height,
                  std::uint32_t background);

  // Moves every message posted to the window so far into its queue: a posted message waits in
  // the window thread's queue until that thread takes it.
  void Collect(HWND handle);

  // Paints every window whose picture changed, now.
  void Flush();

  // When each window of the process was made, in order: a window made later has a greater
  // number; 0 for one made before the library started. Under mutex().
  std::uint64_t MadeAt(HWND handle) const;

 private:
  struct Start {
    WindowThread* self;
    HANDLE ready;
  };

  WindowThread();
  static DWORD WINAPI Main(void* start);
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  static void CALLBACK Created(HWINEVENTHOOK hook, DWORD event, HWND window, LONG object,
                               LONG child, DWORD thread, DWORD time);
  void Pump();
  bool Collect(const MSG& message);
  void Forget(HWND handle);
  void Paint(HWND handle);
  void Resize(Window& window, int width, int height);

  std::mutex mutex_;
  std::map<HWND, std::shared_ptr<Window>> windows_;
  HWND control_ = nullptr;  // runs tasks sent to it
  DWORD threadId_ = 0;
  std::map<HWND, std::uint64_t> made_;  // serial numbers of the windows made, by the hook
  std::uint64_t nextSerial_ = 1;
};

// Draws width x height pixels of 24, 32 or 8 bits (with a palette of blue, green, red, unused
// entries, or gray) into the window's picture at (x, y), cut to it. Under mutex().
void DrawIntoPicture(Window& window, int x, int y, int width, int height,
                     const std::uint8_t* firstRow, std::intptr_t stride, int bitsPerPixel,
                     const std::uint8_t* palette);
void FillPicture(Window& window, std::uint32_t color);

// Texts of the C API are UTF-8; Windows' own are UTF-16.
inline std::string Narrow(const wchar_t* wide, int length) {
  if (length <= 0) return {};
  const int size = WideCharToMultiByte(CP_UTF8, 0, wide, length, nullptr, 0, nullptr, nullptr);
  std::string text(static_cast<std::size_t>(std::max(size, 0)), '\0');
  if (size > 0) WideCharToMultiByte(CP_UTF8, 0, wide, length, text.data(), size, nullptr, nullptr);
  return text;
}

inline std::wstring Widen(std::string_view text) {
  if (text.empty()) return {};
  const int length =
      MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(std::max(length, 0)), L'\0');
  if (length > 0) {
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                        length);
  }
  return wide;
}

}  // namespace orvex::win32
