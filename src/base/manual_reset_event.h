#pragma once

#include <condition_variable>
#include <mutex>

namespace orvex {

// An event that stays signalled once set: the waiters that arrive after Set() return at once.
// Set() finishes all its work on the event while it holds the lock, so a waiter that wakes may
// destroy the event straight away.
class ManualResetEvent {
 public:
  ManualResetEvent() = default;
  ManualResetEvent(const ManualResetEvent&) = delete;
  ManualResetEvent& operator=(const ManualResetEvent&) = delete;

  void Set() {
    std::lock_guard<std::mutex> lock(mutex_);
    signalled_ = true;
    changed_.notify_all();
  }

  void Wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return signalled_; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool signalled_ = false;
};

}  // namespace orvex
