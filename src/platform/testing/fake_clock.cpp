#include "platform/testing/fake_clock.h"

namespace orvex::platform::testing {

std::uint32_t FakeClock::TickCount() {
  std::lock_guard<std::mutex> lock(mutex_);
  return tickCount_;
}

std::uint32_t FakeClock::MultimediaTime() {
  std::lock_guard<std::mutex> lock(mutex_);
  return multimediaTime_;
}

void FakeClock::Sleep(std::uint32_t milliseconds) {
  std::lock_guard<std::mutex> lock(mutex_);
  sleeps_.push_back(milliseconds);
  if (advanceOnSleep_) {
    tickCount_ += milliseconds;
    multimediaTime_ += milliseconds;
  }
}

int FakeClock::Rand() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (randQueue_.empty()) return randValue_;
  const int value = randQueue_.front();
  randQueue_.pop_front();
  return value;
}

void FakeClock::RaiseCurrentThreadPriority() {
  std::lock_guard<std::mutex> lock(mutex_);
  ++priorityRaises_;
}

void FakeClock::SetTickCount(std::uint32_t milliseconds) {
  std::lock_guard<std::mutex> lock(mutex_);
  tickCount_ = milliseconds;
}

void FakeClock::SetMultimediaTime(std::uint32_t milliseconds) {
  std::lock_guard<std::mutex> lock(mutex_);
  multimediaTime_ = milliseconds;
}

void FakeClock::Advance(std::uint32_t milliseconds) {
  std::lock_guard<std::mutex> lock(mutex_);
  tickCount_ += milliseconds;
  multimediaTime_ += milliseconds;
}

void FakeClock::SetAdvanceOnSleep(bool on) {
  std::lock_guard<std::mutex> lock(mutex_);
  advanceOnSleep_ = on;
}

void FakeClock::QueueRand(int value) {
  std::lock_guard<std::mutex> lock(mutex_);
  randQueue_.push_back(value);
}

void FakeClock::SetRand(int value) {
  std::lock_guard<std::mutex> lock(mutex_);
  randValue_ = value;
}

std::vector<std::uint32_t> FakeClock::Sleeps() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return sleeps_;
}

int FakeClock::PriorityRaises() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return priorityRaises_;
}

void FakeClock::ClearSleeps() {
  std::lock_guard<std::mutex> lock(mutex_);
  sleeps_.clear();
}

}  // namespace orvex::platform::testing
