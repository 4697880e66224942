#include "model/frame_pacer.h"

namespace orvex::vcam {

FramePacer::Nanoseconds FramePacer::DefaultFramePeriod(std::uint64_t frameBytes) {
  const std::uint64_t microseconds =
      (frameBytes * 1'000'000 + kLinkBytesPerSecond - 1) / kLinkBytesPerSecond;
  const Nanoseconds link = microseconds * 1000;
  return link > kSensorFramePeriod ? link : kSensorFramePeriod;
}

FramePacer::Nanoseconds FramePacer::PeriodFor(std::uint32_t length) const {
  if (periodMicroseconds_ >= 0) return static_cast<Nanoseconds>(periodMicroseconds_) * 1000;
  return DefaultFramePeriod(length);
}

void FramePacer::SetDropRate(int percent) {
  dropRate_ = percent;
  dropAccumulator_ = 0;
}

void FramePacer::Align(Nanoseconds period, Nanoseconds now) {
  if (!hasNextDue_ || rhythm_ != period) {
    // A new rhythm: the sensor starts a frame now.
    hasNextDue_ = true;
    nextDue_ = now + period;
    rhythm_ = period;
    return;
  }
  if (nextDue_ < now) {
    const std::uint64_t missed = (now - nextDue_ + period - 1) / period;
    nextDue_ += missed * period;
    frameClock_ += missed;
  }
}

bool FramePacer::DropsNextFrame() {
  dropAccumulator_ += dropRate_;
  if (dropAccumulator_ < 100) return false;
  dropAccumulator_ -= 100;
  return true;
}

FramePacer::Step FramePacer::Next(std::uint32_t length, Nanoseconds now, bool fresh) {
  fresh = fresh || stalled_;
  stalled_ = false;
  for (;;) {
    if (dropRate_ >= 100) {
      stalled_ = true;
      return {Step::kWaitForChange, 0};
    }
    const Nanoseconds period = PeriodFor(length);
    if (period > 0) {
      if (fresh || rhythm_ != period || !hasNextDue_) {
        Align(period, now);
        fresh = false;
      }
      if (now < nextDue_) return {Step::kWaitUntil, nextDue_};
    } else {
      hasNextDue_ = false;
    }
    const std::uint64_t frame = frameClock_++;
    if (hasNextDue_) nextDue_ += period;
    if (DropsNextFrame()) {
      ++framesDropped_;
      continue;
    }
    return {Step::kFrame, frame};
  }
}

std::uint32_t FramePacer::Serve(std::uint32_t length) {
  if (shortFrames_ > 0) {
    --shortFrames_;
    return length / 2;
  }
  ++framesSent_;
  return length;
}

}  // namespace orvex::vcam
