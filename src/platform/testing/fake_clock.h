#pragma once

#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

#include "platform/system_clock.h"

namespace orvex::platform::testing {

// A SystemClock for tests: times are set by the test, sleeps are recorded and return at once
// (optionally moving both times on by the slept milliseconds), Rand gives queued values and then
// a fixed one. Thread-safe.
class FakeClock final : public SystemClock {
 public:
  std::uint32_t TickCount() override;
  std::uint32_t MultimediaTime() override;
  void Sleep(std::uint32_t milliseconds) override;
  int Rand() override;
  void RaiseCurrentThreadPriority() override;

  void SetTickCount(std::uint32_t milliseconds);
  void SetMultimediaTime(std::uint32_t milliseconds);
  // Moves both times on by `milliseconds`, wrapping at 2^32.
  void Advance(std::uint32_t milliseconds);
  void SetAdvanceOnSleep(bool on);
  void QueueRand(int value);
  void SetRand(int value);  // what Rand gives once the queue is empty (0 at first)

  std::vector<std::uint32_t> Sleeps() const;
  int PriorityRaises() const;
  void ClearSleeps();

 private:
  mutable std::mutex mutex_;
  std::uint32_t tickCount_ = 0;
  std::uint32_t multimediaTime_ = 0;
  bool advanceOnSleep_ = false;
  std::deque<int> randQueue_;
  int randValue_ = 0;
  std::vector<std::uint32_t> sleeps_;
  int priorityRaises_ = 0;
};

}  // namespace orvex::platform::testing
