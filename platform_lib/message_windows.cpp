// Message windows: a FIFO of posted messages per window, read by one or more waiting threads.
//
// Posting comes from the camera library's own threads (the preview thread above all) while the
// application waits in GetMessage on another, so every window lives behind one process-wide
// mutex. The mutex is held only for queue operations, never while a caller runs code of its own.

#pragma GCC visibility push(default)
#include <orvex/platform.h>
#pragma GCC visibility pop

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <utility>

namespace {

struct PostedMessage {
  std::uint32_t message;
  std::uintptr_t wParam;
  std::intptr_t lParam;
};

struct MessageWindow {
  std::deque<PostedMessage> queue;
  std::condition_variable posted;
  bool destroyed = false;
};

// X window ids are below 2^29 (the top three bits of a resource id are always zero), so a tag
// above them keeps message windows apart from X windows on either word size.
#if UINTPTR_MAX > 0xFFFFFFFFu
constexpr std::uintptr_t kHandleTag = std::uintptr_t{1} << 40;
constexpr std::uintptr_t kSerialLimit = std::uintptr_t{1} << 40;
#else
constexpr std::uintptr_t kHandleTag = std::uintptr_t{1} << 31;
constexpr std::uintptr_t kSerialLimit = std::uintptr_t{1} << 31;
#endif

class WindowTable {
 public:
  OrvexWindow Create() {
    auto window = std::make_shared<MessageWindow>();
    std::lock_guard lock(mutex_);
    // Handles are never reused: a stale handle kept by the application or the library must not
    // reach a window made later.
    if (nextSerial_ >= kSerialLimit) return 0;
    const OrvexWindow handle = kHandleTag | nextSerial_;
    windows_.emplace(handle, std::move(window));
    ++nextSerial_;
    return handle;
  }

  bool Post(OrvexWindow handle, const PostedMessage& message) {
    std::lock_guard lock(mutex_);
    auto it = windows_.find(handle);
    if (it == windows_.end()) return false;
    it->second->queue.push_back(message);
    it->second->posted.notify_one();
    return true;
  }

  bool Get(OrvexWindow handle, std::int32_t timeoutMs, PostedMessage& out) {
    std::unique_lock lock(mutex_);
    auto it = windows_.find(handle);
    if (it == windows_.end()) return false;
    // Keeps the window (and its condition variable) alive while waiting, even if another
    // thread destroys it meanwhile.
    const std::shared_ptr<MessageWindow> window = it->second;
    const auto ready = [&] { return window->destroyed || !window->queue.empty(); };
    if (timeoutMs < 0) {
      window->posted.wait(lock, ready);
    } else if (timeoutMs > 0) {
      const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
      window->posted.wait_until(lock, deadline, ready);
    }
    if (window->destroyed || window->queue.empty()) return false;
    out = window->queue.front();
    window->queue.pop_front();
    return true;
  }

  bool Destroy(OrvexWindow handle) {
    std::lock_guard lock(mutex_);
    auto it = windows_.find(handle);
    if (it == windows_.end()) return false;
    const std::shared_ptr<MessageWindow> window = std::move(it->second);
    windows_.erase(it);
    window->destroyed = true;
    window->queue.clear();
    window->posted.notify_all();
    return true;
  }

 private:
  std::mutex mutex_;
  std::unordered_map<OrvexWindow, std::shared_ptr<MessageWindow>> windows_;
  std::uintptr_t nextSerial_ = 1;
};

// Never destroyed: threads may still post or wait while the process exits.
WindowTable& Windows() {
  static WindowTable* const table = new WindowTable;
  return *table;
}

}  // namespace

// Nothing is thrown across the C boundary: an allocation or lock failure is a plain 0.
extern "C" {

OrvexWindow OrvexPlatform_CreateMessageWindow(void) {
  try {
    return Windows().Create();
  } catch (...) {
    return 0;
  }
}

int32_t OrvexPlatform_GetMessage(OrvexWindow window, int32_t timeoutMs, uint32_t* message,
                                 uintptr_t* wParam, intptr_t* lParam) {
  PostedMessage received{};
  try {
    if (!Windows().Get(window, timeoutMs, received)) return 0;
  } catch (...) {
    return 0;
  }
  if (message) *message = received.message;
  if (wParam) *wParam = received.wParam;
  if (lParam) *lParam = received.lParam;
  return 1;
}

int32_t OrvexPlatform_PostMessage(OrvexWindow window, uint32_t message, uintptr_t wParam,
                                  intptr_t lParam) {
  try {
    return Windows().Post(window, PostedMessage{message, wParam, lParam}) ? 1 : 0;
  } catch (...) {
    return 0;
  }
}

int32_t OrvexPlatform_DestroyWindow(OrvexWindow window) {
  try {
    return Windows().Destroy(window) ? 1 : 0;
  } catch (...) {
    return 0;
  }
}

}  // extern "C"
