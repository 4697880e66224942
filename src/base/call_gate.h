#pragma once

#include <condition_variable>
#include <mutex>

namespace orvex {

// Counts the calls that application threads are making on one object, so that the call that
// ends the object can wait for the others instead of freeing memory they still use.
class CallGate {
 public:
  CallGate() = default;
  CallGate(const CallGate&) = delete;
  CallGate& operator=(const CallGate&) = delete;

  void Enter() {
    std::lock_guard<std::mutex> lock(mutex_);
    ++active_;
  }

  // True when this was the last call of an object retired meanwhile: the caller destroys it.
  bool Leave() {
    std::lock_guard<std::mutex> lock(mutex_);
    --active_;
    idle_.notify_all();
    return active_ == 0 && retired_;
  }

  // Waits until only `own` calls are left (those of the retiring thread itself, which cannot
  // end while it waits). True when none is left and the caller may destroy the object now;
  // false when its own calls still run, and the last of them to leave destroys it.
  bool Retire(int own) {
    std::unique_lock<std::mutex> lock(mutex_);
    idle_.wait(lock, [&] { return active_ <= own; });
    if (active_ == 0) return true;
    retired_ = true;
    return false;
  }

 private:
  std::mutex mutex_;
  std::condition_variable idle_;
  int active_ = 0;
  bool retired_ = false;
};

}  // namespace orvex
