// A window that receives the library's frame and error messages and nothing else: a message
// window of OrvexPlatform on Linux, a message-only window on Windows.
#pragma once

#include <OrvexSdk_QX218.h>

#include <chrono>
#include <cstdint>

#if defined(_WIN32)
#include <windows.h>
#else
#include <orvex/platform.h>
#endif

namespace orvex::tool {

class FrameMessages {
 public:
  FrameMessages() {
#if defined(_WIN32)
    window_ = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                              GetModuleHandleA(nullptr), nullptr);
#else
    window_ = OrvexPlatform_CreateMessageWindow();
#endif
  }
  ~FrameMessages() {
#if defined(_WIN32)
    if (window_ != nullptr) DestroyWindow(window_);
#else
    if (window_ != 0) OrvexPlatform_DestroyWindow(window_);
#endif
  }
  FrameMessages(const FrameMessages&) = delete;
  FrameMessages& operator=(const FrameMessages&) = delete;

  // 0 (or null) when the window could not be made.
  OrvexWindow window() const {
    return window_;
  }

  // The oldest message within `timeout`: true with it written out, false when none came.
  bool Next(std::chrono::milliseconds timeout, std::uint32_t* message, std::uintptr_t* wParam,
            std::intptr_t* lParam) {
#if defined(_WIN32)
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
      MSG msg;
      if (PeekMessageA(&msg, window_, 0, 0, PM_REMOVE)) {
        *message = msg.message;
        *wParam = msg.wParam;
        *lParam = msg.lParam;
        return true;
      }
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) return false;
      MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(left.count()),
                                QS_POSTMESSAGE);
    }
#else
    return OrvexPlatform_GetMessage(window_, static_cast<std::int32_t>(timeout.count()), message,
                                    wParam, lParam) != 0;
#endif
  }

 private:
  OrvexWindow window_{};
};

}  // namespace orvex::tool
