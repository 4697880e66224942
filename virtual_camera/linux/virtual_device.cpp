#include "linux/virtual_device.h"

#include <algorithm>

namespace orvex::vcam {

using std::chrono::nanoseconds;

std::chrono::microseconds DefaultFramePeriod(std::uint64_t frameBytes) {
  const auto link = std::chrono::microseconds((frameBytes * 1'000'000 + kLinkBytesPerSecond - 1) /
                                              kLinkBytesPerSecond);
  return std::max(kSensorFramePeriod, link);
}

bool VirtualDevice::Refuse(int pipe) {
  int& pending = refusals_[static_cast<std::size_t>(pipe)];
  if (pending == 0) return false;
  --pending;
  return true;
}

bool VirtualDevice::Send(const void* packet, std::uint32_t length) {
  std::lock_guard lock(mutex_);
  if (unplugged_ || packet == nullptr || length != kPacketSize || Refuse(0)) return false;
  return model_.Command(static_cast<const std::uint8_t*>(packet), length);
}

bool VirtualDevice::Receive(void* out, std::uint32_t length) {
  std::lock_guard lock(mutex_);
  if (unplugged_ || out == nullptr || length != kPacketSize || Refuse(1)) return false;
  return model_.TakeReply(static_cast<std::uint8_t*>(out), length);
}

nanoseconds VirtualDevice::PeriodFor(std::uint32_t length) const {
  if (periodMicroseconds_ >= 0) return std::chrono::microseconds(periodMicroseconds_);
  return DefaultFramePeriod(length);
}

void VirtualDevice::Align(nanoseconds period) {
  const auto now = Clock::now();
  if (!nextDue_ || rhythm_ != period) {
    // A new rhythm: the sensor starts a frame now.
    nextDue_ = now + period;
    rhythm_ = period;
    return;
  }
  if (*nextDue_ < now) {
    // Frames went by while nobody read; the reader gets the next one due, not one a whole
    // period from now.
    const auto behind = (now - *nextDue_).count();
    const auto step = std::chrono::duration_cast<Clock::duration>(period).count();
    const auto missed = (behind + step - 1) / step;
    *nextDue_ += missed * period;
    frameClock_ += static_cast<std::uint64_t>(missed);
  }
}

bool VirtualDevice::DropsNextFrame() {
  dropAccumulator_ += dropRate_;
  if (dropAccumulator_ < 100) return false;
  dropAccumulator_ -= 100;
  return true;
}

std::optional<std::uint64_t> VirtualDevice::AwaitFrame(std::unique_lock<std::mutex>& lock,
                                                       std::uint32_t length) {
  bool align = true;
  for (;;) {
    if (unplugged_) return std::nullopt;
    if (dropRate_ >= 100) {  // no frame comes until the rate is lowered
      wake_.wait(lock);
      align = true;
      continue;
    }
    const nanoseconds period = PeriodFor(length);
    if (period > nanoseconds::zero()) {
      if (align || rhythm_ != period || !nextDue_) {
        Align(period);
        align = false;
      }
      if (Clock::now() < *nextDue_) {
        // Woken early (a setting changed, or an unplug): look again at everything.
        if (wake_.wait_until(lock, *nextDue_) == std::cv_status::no_timeout) align = true;
        continue;
      }
    } else {
      nextDue_.reset();
    }
    // This frame is due.
    const std::uint64_t frame = frameClock_++;
    if (nextDue_) *nextDue_ += period;
    if (DropsNextFrame()) {
      ++framesDropped_;
      continue;
    }
    return frame;
  }
}

bool VirtualDevice::ReadFrame(void* out, std::uint32_t length, std::uint32_t* moved) {
  std::unique_lock lock(mutex_);
  if (unplugged_ || out == nullptr || length == 0 || Refuse(2)) return false;

  const std::uint64_t ticket = nextTicket_++;
  ++waitingReads_;
  // An unplug fails every read at once, wherever it waits; the queue dies with the camera.
  wake_.wait(lock, [&] { return unplugged_ || ticket == nowServing_; });
  std::optional<std::uint64_t> frame;
  if (!unplugged_) {
    if (ticket < grantedUpTo_) {
      frame = grantedFrame_;
    } else {
      frame = AwaitFrame(lock, length);
      if (frame) {
        // Everybody queued by now was waiting when this frame fell due. Without pacing each
        // read makes a frame of its own.
        grantedUpTo_ = PeriodFor(length) > nanoseconds::zero() ? nextTicket_ : ticket + 1;
        grantedFrame_ = *frame;
      }
    }
  }
  --waitingReads_;
  if (!frame) return false;

  std::uint32_t count = length;
  if (shortFrames_ > 0) {
    --shortFrames_;
    count = length / 2;
  } else {
    ++framesSent_;
  }
  model_.RenderFrame(*frame, static_cast<std::uint8_t*>(out), count);
  *moved = count;
  ++nowServing_;
  lock.unlock();
  wake_.notify_all();
  return true;
}

void VirtualDevice::Unplug() {
  {
    std::lock_guard lock(mutex_);
    unplugged_ = true;
  }
  wake_.notify_all();
}

void VirtualDevice::FailRequests(int pipe, int count) {
  std::lock_guard lock(mutex_);
  refusals_[static_cast<std::size_t>(pipe)] = count;
}

void VirtualDevice::ShortFrames(int count) {
  std::lock_guard lock(mutex_);
  shortFrames_ = count;
}

void VirtualDevice::SetFramePeriod(int microseconds) {
  {
    std::lock_guard lock(mutex_);
    periodMicroseconds_ = microseconds < 0 ? -1 : microseconds;
  }
  wake_.notify_all();
}

void VirtualDevice::SetDropRate(int percent) {
  {
    std::lock_guard lock(mutex_);
    dropRate_ = percent;
    dropAccumulator_ = 0;
  }
  wake_.notify_all();
}

std::uint64_t VirtualDevice::FramesSent() const {
  std::lock_guard lock(mutex_);
  return framesSent_;
}

std::uint64_t VirtualDevice::FramesDropped() const {
  std::lock_guard lock(mutex_);
  return framesDropped_;
}

int VirtualDevice::WaitingReads() const {
  std::lock_guard lock(mutex_);
  return waitingReads_;
}

}  // namespace orvex::vcam
