#include "imaging/band_workers.h"

#include <algorithm>
#include <exception>

namespace orvex {

BandWorkers::BandWorkers(int threads, std::int32_t minimumRows, std::int64_t minimumBytes)
    : minimumRows_(std::max<std::int32_t>(minimumRows, 1)), minimumBytes_(minimumBytes) {
  for (int i = 1; i < threads; ++i) {
    try {
      threads_.emplace_back([this] { Loop(); });
    } catch (const std::exception&) {  // std::system_error, std::bad_alloc
      break;                           // the frames are shared among those that started
    }
  }
}

BandWorkers::~BandWorkers() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  for (std::thread& thread : threads_) thread.join();
}

std::int32_t BandWorkers::BandsFor(std::int32_t height, std::int64_t bytes) const {
  if (Threads() < 2 || bytes < minimumBytes_) return 1;
  return std::max(1, std::min(Threads(), height / minimumRows_));
}

int BandWorkers::SuitableThreads(int limit) {
  const unsigned cores = std::thread::hardware_concurrency();
  return std::clamp(static_cast<int>(cores), 1, std::max(1, limit));
}

void BandWorkers::Run(int count, Work work, void* context) {
  if (count <= 0) return;
  std::unique_lock<std::mutex> lock(mutex_);
  work_ = work;
  context_ = context;
  count_ = count;
  next_ = 0;
  ++generation_;
  if (!threads_.empty() && count > 1) wake_.notify_all();
  Drain(lock);
  done_.wait(lock, [this] { return next_ >= count_ && running_ == 0; });
  work_ = nullptr;
  context_ = nullptr;
}

void BandWorkers::Drain(std::unique_lock<std::mutex>& lock) {
  while (next_ < count_) {
    const int index = next_++;
    ++running_;
    const Work work = work_;
    void* const context = context_;
    lock.unlock();
    work(context, index);
    lock.lock();
    --running_;
  }
  if (running_ == 0) done_.notify_all();
}

void BandWorkers::Loop() {
  std::unique_lock<std::mutex> lock(mutex_);
  std::uint64_t seen = generation_;
  while (true) {
    wake_.wait(lock, [&] { return stopping_ || generation_ != seen; });
    if (stopping_) return;
    seen = generation_;
    Drain(lock);
  }
}

}  // namespace orvex
