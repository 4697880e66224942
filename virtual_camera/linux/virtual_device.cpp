#include "linux/virtual_device.h"

#include <new>

namespace orvex::vcam {

namespace {

FramePacer::Nanoseconds Now() {
  return static_cast<FramePacer::Nanoseconds>(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                                  VirtualDevice::Clock::now().time_since_epoch())
                                                  .count());
}

VirtualDevice::Clock::time_point TimePoint(FramePacer::Nanoseconds time) {
  return VirtualDevice::Clock::time_point(
      std::chrono::duration_cast<VirtualDevice::Clock::duration>(std::chrono::nanoseconds(time)));
}

}  // namespace

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

std::optional<std::uint64_t> VirtualDevice::AwaitFrame(std::unique_lock<std::mutex>& lock,
                                                       std::uint32_t length) {
  bool fresh = true;
  for (;;) {
    if (unplugged_) return std::nullopt;
    const FramePacer::Step step = pacer_.Next(length, Now(), fresh);
    fresh = false;
    switch (step.kind) {
      case FramePacer::Step::kFrame:
        return step.value;
      case FramePacer::Step::kWaitForChange:
        wake_.wait(lock);
        break;
      case FramePacer::Step::kWaitUntil:
        // Woken early (a setting changed, or an unplug): look again at everything.
        if (wake_.wait_until(lock, TimePoint(step.value)) == std::cv_status::no_timeout) {
          fresh = true;
        }
        break;
    }
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
        grantedUpTo_ = pacer_.SharesFrames(length) ? nextTicket_ : ticket + 1;
        grantedFrame_ = *frame;
      }
    }
  }
  --waitingReads_;
  if (!frame) return false;

  const std::uint32_t count = pacer_.Serve(length);
  // A frame the model could not render (out of memory) fails this read, as the driver's does;
  // the next read's turn comes all the same, or every later read would wait for this one.
  bool rendered = false;
  try {
    rendered = model_.RenderFrame(*frame, static_cast<std::uint8_t*>(out), count);
  } catch (const std::bad_alloc&) {
  }
  if (rendered) *moved = count;
  ++nowServing_;
  lock.unlock();
  wake_.notify_all();
  return rendered;
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
  pacer_.ShortFrames(count);
}

void VirtualDevice::SetFramePeriod(int microseconds) {
  {
    std::lock_guard lock(mutex_);
    pacer_.SetFramePeriod(microseconds);
  }
  wake_.notify_all();
}

void VirtualDevice::SetDropRate(int percent) {
  {
    std::lock_guard lock(mutex_);
    pacer_.SetDropRate(percent);
  }
  wake_.notify_all();
}

std::uint64_t VirtualDevice::FramesSent() const {
  std::lock_guard lock(mutex_);
  return pacer_.FramesSent();
}

std::uint64_t VirtualDevice::FramesDropped() const {
  std::lock_guard lock(mutex_);
  return pacer_.FramesDropped();
}

int VirtualDevice::WaitingReads() const {
  std::lock_guard lock(mutex_);
  return waitingReads_;
}

}  // namespace orvex::vcam
