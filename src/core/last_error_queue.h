#pragma once

#include <array>
#include <cstdint>
#include <mutex>

namespace orvex {

// The last 20 error codes of a camera context, newest first. The application's thread takes
// codes while the preview thread may record them, so a small mutex guards the slots.
class LastErrorQueue {
 public:
  static constexpr int kSlots = 20;

  // Pushes `code` in front; the oldest code falls off when all slots are taken.
  void Push(std::int32_t code);
  // Removes and returns the newest code; 0 when the queue is empty.
  std::int32_t Take();

 private:
  std::mutex mutex_;
  std::array<std::int32_t, kSlots> slots_{};
};

}  // namespace orvex
