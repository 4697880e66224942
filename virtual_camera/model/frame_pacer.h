#pragma once

#include <cstdint>

namespace orvex::vcam {

// When the camera's frames fall due, which of the waiting frame reads a due frame serves, and
// what each read receives: the frame rhythm, dropped frames, injected short frames and the
// frame counters. The driver around it keeps the waiting reads in arrival order and asks, for
// the read at the front, what to do next; it waits as told, on its operating system's clock,
// and hands a due frame to every read that the pacer says it serves.
//
// Free of operating-system calls and of locking, like the camera model: the holder serialises
// the calls and supplies the time, in nanoseconds of a steady clock.
class FramePacer {
 public:
  using Nanoseconds = std::uint64_t;

  // Default pacing: the sensor gives about 30 frames a second, and the USB 2.0 link moves about
  // 40 MB/s, whichever is slower.
  static constexpr Nanoseconds kSensorFramePeriod = 33'333'000;
  static constexpr std::uint64_t kLinkBytesPerSecond = 40'000'000;
  static Nanoseconds DefaultFramePeriod(std::uint64_t frameBytes);

  struct Step {
    enum Kind {
      kFrame,          // frame number `value` is due now
      kWaitUntil,      // nothing before time `value`
      kWaitForChange,  // no frame comes until a setting changes
    };
    Kind kind;
    std::uint64_t value;
  };

  // The next step for the read at the front of the queue, `length` bytes, at `now`. `fresh`:
  // the first look for this read, or a look after a wake-up before the time of the last
  // kWaitUntil (a setting changed); frames that went by unread since the last frame are then
  // skipped, so the read gets the next frame due rather than one a whole period from now.
  // Dropped frames are taken here.
  Step Next(std::uint32_t length, Nanoseconds now, bool fresh);

  // Whether a frame due for a read of `length` serves every read waiting at that moment (a
  // paced camera: its rhythm does not slow down with the number of readers) or that read
  // alone (unpaced: every read makes a frame of its own).
  bool SharesFrames(std::uint32_t length) const { return PeriodFor(length) > 0; }

  // The bytes a read of `length` moves with a due frame: half for an injected short frame, all
  // of them otherwise (a whole frame sent). Called once for each read served, in the order the
  // reads arrived.
  std::uint32_t Serve(std::uint32_t length);

  // microseconds: 0 = whenever the host reads, negative = the default model.
  void SetFramePeriod(int microseconds) {
    periodMicroseconds_ = microseconds < 0 ? -1 : microseconds;
  }
  // 0 to 100 percent of the frames that fall due.
  void SetDropRate(int percent);
  void ShortFrames(int count) { shortFrames_ = count; }

  std::uint64_t FramesSent() const { return framesSent_; }
  std::uint64_t FramesDropped() const { return framesDropped_; }

 private:
  Nanoseconds PeriodFor(std::uint32_t length) const;
  void Align(Nanoseconds period, Nanoseconds now);
  bool DropsNextFrame();

  int periodMicroseconds_ = -1;
  int dropRate_ = 0;
  int dropAccumulator_ = 0;
  int shortFrames_ = 0;
  // The frames' rhythm: when the next frame is due, at which period. Unset until a paced read
  // arrives, and again after a read at period 0.
  bool hasNextDue_ = false;
  Nanoseconds nextDue_ = 0;
  Nanoseconds rhythm_ = 0;
  bool stalled_ = false;          // the last step was kWaitForChange: align at the next look
  std::uint64_t frameClock_ = 0;  // frames the sensor has made, read or not
  std::uint64_t framesSent_ = 0;
  std::uint64_t framesDropped_ = 0;
};

}  // namespace orvex::vcam
