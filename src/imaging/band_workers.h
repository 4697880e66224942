#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

namespace orvex {

// A small pool of threads that share the bands of one frame with the thread that asks: made
// once (per preview, not per frame) and kept idle between frames.
class BandWorkers {
 public:
  // `threads` in all, the asking thread included, so threads - 1 are started (none for 1).
  // Fewer are started when the system refuses a thread; Threads() says how many work. A frame
  // is shared out only when it has `minimumBytes` and each band at least `minimumRows` rows:
  // below that, waking another thread costs more than it saves.
  static constexpr std::int64_t kGainfulBytes = 256 * 1024;
  explicit BandWorkers(int threads, std::int32_t minimumRows = 32,
                       std::int64_t minimumBytes = kGainfulBytes);
  ~BandWorkers();
  BandWorkers(const BandWorkers&) = delete;
  BandWorkers& operator=(const BandWorkers&) = delete;

  int Threads() const { return static_cast<int>(threads_.size()) + 1; }
  // The bands to cut a frame of `height` rows and `bytes` into: 1 when it is too small.
  std::int32_t BandsFor(std::int32_t height, std::int64_t bytes) const;

  // Runs work(context, 0) .. work(context, count - 1) spread over the threads, the calling
  // thread among them, and returns when all have returned. One Run at a time.
  using Work = void (*)(void* context, int index);
  void Run(int count, Work work, void* context);

  // As many threads as the machine has cores, at most `limit`.
  static int SuitableThreads(int limit);

 private:
  void Loop();
  // Takes and runs items of the current job until none is left.
  void Drain(std::unique_lock<std::mutex>& lock);

  const std::int32_t minimumRows_;
  const std::int64_t minimumBytes_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable done_;
  std::uint64_t generation_ = 0;  // a new job each
  bool stopping_ = false;
  Work work_ = nullptr;
  void* context_ = nullptr;
  int count_ = 0;
  int next_ = 0;     // the next item to take
  int running_ = 0;  // items taken and not yet finished
  std::vector<std::thread> threads_;
};

}  // namespace orvex
