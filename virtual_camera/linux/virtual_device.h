#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>

#include "model/camera_model.h"
#include "model/frame_pacer.h"

namespace orvex::vcam {

inline constexpr int kPipeCount = 3;

// One attached camera as the driver sees it: the camera model and its frame pacer behind one
// lock, injected refusals and the unplug that fails every request from then on. Commands and
// replies (pipes 0 and 1) run whole under the lock. Frame reads (pipe 2) take a ticket and are
// served in ticket order; they wait on a condition variable with the lock released, so a read
// waiting for its frame holds up neither the commands nor the reads behind it for longer than
// that frame. Every read waiting when a frame falls due receives that frame (FramePacer).
class VirtualDevice {
 public:
  using Clock = std::chrono::steady_clock;

  explicit VirtualDevice(int index) : model_(index) {}
  VirtualDevice(const VirtualDevice&) = delete;
  VirtualDevice& operator=(const VirtualDevice&) = delete;

  // The three pipes. False when the request fails; *moved is the bytes moved on success.
  bool Send(const void* packet, std::uint32_t length);
  bool Receive(void* out, std::uint32_t length);
  bool ReadFrame(void* out, std::uint32_t length, std::uint32_t* moved);

  // Unplugged: every request fails from now on, and waiting reads give up at once.
  void Unplug();

  // Runs fn(model) under the camera's lock, for settings and inspection.
  template <typename Fn>
  auto WithModel(Fn&& fn) {
    std::lock_guard lock(mutex_);
    return fn(model_);
  }

  void FailRequests(int pipe, int count);
  void ShortFrames(int count);
  // microseconds: 0 = whenever the host reads, negative = the default model.
  void SetFramePeriod(int microseconds);
  void SetDropRate(int percent);

  std::uint64_t FramesSent() const;
  std::uint64_t FramesDropped() const;
  int WaitingReads() const;

  void HandleOpened() { ++openHandles_; }
  void HandleClosed() { --openHandles_; }
  int OpenHandles() const { return openHandles_.load(); }

 private:
  // Under mutex_.
  bool Refuse(int pipe);
  // Waits (releasing the lock) until the next frame is due and not dropped; its number, or
  // nothing when the camera was unplugged meanwhile.
  std::optional<std::uint64_t> AwaitFrame(std::unique_lock<std::mutex>& lock, std::uint32_t length);

  mutable std::mutex mutex_;
  std::condition_variable wake_;

  CameraModel model_;
  FramePacer pacer_;
  bool unplugged_ = false;
  std::array<int, kPipeCount> refusals_{};

  // Frame reads in arrival order: the read holding ticket `nowServing_` is at the front; reads
  // with tickets below `grantedUpTo_` were waiting when frame `grantedFrame_` fell due and take
  // that frame when their turn comes.
  std::uint64_t nextTicket_ = 0;
  std::uint64_t nowServing_ = 0;
  std::uint64_t grantedUpTo_ = 0;
  std::uint64_t grantedFrame_ = 0;

  int waitingReads_ = 0;
  std::atomic<int> openHandles_{0};
};

}  // namespace orvex::vcam
