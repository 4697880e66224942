// Message windows: a FIFO of posted messages per window, read by one or more waiting threads.
// Windows with a picture (headless_windows.cpp) share the table and its queues.

#pragma GCC visibility push(default)
#include <orvex/platform.h>
#pragma GCC visibility pop

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <utility>

#include "headless_window_table.h"

namespace orvex::headless {
namespace {

// X window ids are below 2^29 (the top three bits of a resource id are always zero), so a tag
// above them keeps these windows apart from X windows on either word size.
#if UINTPTR_MAX > 0xFFFFFFFFu
constexpr std::uintptr_t kHandleTag = std::uintptr_t{1} << 40;
constexpr std::uintptr_t kSerialLimit = std::uintptr_t{1} << 40;
#else
constexpr std::uintptr_t kHandleTag = std::uintptr_t{1} << 31;
constexpr std::uintptr_t kSerialLimit = std::uintptr_t{1} << 31;
#endif

}  // namespace

WindowTable& Table() {
  static WindowTable* const table = new WindowTable;
  return *table;
}

OrvexWindow WindowTable::Add(std::shared_ptr<Window> window) {
  // Handles are never reused: a stale handle kept by the application or the library must not
  // reach a window made later.
  if (nextSerial_ >= kSerialLimit) return 0;
  const OrvexWindow handle = kHandleTag | nextSerial_;
  windows_.emplace(handle, std::move(window));
  ++nextSerial_;
  return handle;
}

Window* WindowTable::Find(OrvexWindow handle) const {
  auto it = windows_.find(handle);
  return it == windows_.end() ? nullptr : it->second.get();
}

std::shared_ptr<Window> WindowTable::Share(OrvexWindow handle) const {
  auto it = windows_.find(handle);
  return it == windows_.end() ? nullptr : it->second;
}

bool WindowTable::Remove(OrvexWindow handle) {
  auto it = windows_.find(handle);
  if (it == windows_.end()) return false;
  const std::shared_ptr<Window> window = std::move(it->second);
  windows_.erase(it);
  window->destroyed = true;
  window->queue.clear();
  window->posted.notify_all();
  if (focus == handle) focus = 0;
  if (window->dialog) DialogWindowRemoved(*window);
  if (window->hasPicture || window->dialog) {
    // Children were made after their parent, so they follow it in the map.
    for (auto child = windows_.upper_bound(handle); child != windows_.end();) {
      if (child->second->parent == handle) {
        const OrvexWindow next = child->first;
        Remove(next);
        child = windows_.upper_bound(next);
      } else {
        ++child;
      }
    }
  }
  return true;
}

namespace {

bool Post(OrvexWindow handle, const PostedMessage& message) {
  WindowTable& table = Table();
  std::lock_guard lock(table.Mutex());
  Window* window = table.Find(handle);
  if (window == nullptr) return false;
  window->queue.push_back(message);
  window->posted.notify_one();
  return true;
}

bool Get(OrvexWindow handle, std::int32_t timeoutMs, PostedMessage& out) {
  WindowTable& table = Table();
  std::unique_lock lock(table.Mutex());
  // Keeps the window (and its condition variable) alive while waiting, even if another thread
  // destroys it meanwhile.
  const std::shared_ptr<Window> window = table.Share(handle);
  if (window == nullptr) return false;
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

}  // namespace
}  // namespace orvex::headless

using namespace orvex::headless;

// Nothing is thrown across the C boundary: an allocation or lock failure is a plain 0.
extern "C" {

OrvexWindow OrvexPlatform_CreateMessageWindow(void) {
  try {
    auto window = std::make_shared<Window>();
    WindowTable& table = Table();
    std::lock_guard lock(table.Mutex());
    return table.Add(std::move(window));
  } catch (...) {
    return 0;
  }
}

int32_t OrvexPlatform_GetMessage(OrvexWindow window, int32_t timeoutMs, uint32_t* message,
                                 uintptr_t* wParam, intptr_t* lParam) {
  PostedMessage received{};
  try {
    if (!Get(window, timeoutMs, received)) return 0;
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
    return Post(window, PostedMessage{message, wParam, lParam}) ? 1 : 0;
  } catch (...) {
    return 0;
  }
}

int32_t OrvexPlatform_DestroyWindow(OrvexWindow window) {
  try {
    WindowTable& table = Table();
    std::lock_guard lock(table.Mutex());
    return table.Remove(window) ? 1 : 0;
  } catch (...) {
    return 0;
  }
}

}  // extern "C"
