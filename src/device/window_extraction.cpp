// Copying the active window out of a raw frame: one straight copy a row, samples untouched.

#include <cstring>

#include "device/device_link.h"

namespace orvex {

bool DeviceLink::CurrentWindow(Window* window, const WindowSize* expected) const {
  const Window w{lineLength_, hStart_, width_, vStart_, height_, sampleWidth16_ != 0 ? 2 : 1};
  if (expected != nullptr && (w.width != expected->width || w.height != expected->height ||
                              w.sampleBytes != expected->sampleBytes)) {
    return false;
  }
  // ConfigureFrame guarantees this; a timing reset since then (SelectDevice) may not.
  if (w.lineLength <= 0 || w.width <= 0 || w.height <= 0 || w.hStart < 0 || w.vStart < 0) {
    return false;
  }
  if (std::int64_t{w.hStart} + w.width > w.lineLength) return false;
  if (std::int64_t{w.lineLength} * (std::int64_t{w.vStart} + w.height) > transferSamples_) {
    return false;
  }
  *window = w;
  return true;
}

void DeviceLink::ExtractWindow(const Window& window, const std::uint8_t* source,
                               void* destination) {
  // Two-byte samples keep the order in which they arrived, so a byte copy moves them whole.
  const auto sampleBytes = static_cast<std::size_t>(window.sampleBytes);
  const std::size_t pitch = static_cast<std::size_t>(window.lineLength) * sampleBytes;
  const std::size_t rowBytes = static_cast<std::size_t>(window.width) * sampleBytes;
  const auto rows = static_cast<std::size_t>(window.height);
  const std::uint8_t* from = source + static_cast<std::size_t>(window.vStart) * pitch +
                             static_cast<std::size_t>(window.hStart) * sampleBytes;
  auto* to = static_cast<std::uint8_t*>(destination);
  if (rowBytes == pitch) {
    std::memcpy(to, from, rowBytes * rows);
    return;
  }
  for (std::size_t row = 0; row < rows; ++row) {
    std::memcpy(to, from, rowBytes);
    to += rowBytes;
    from += pitch;
  }
}

int DeviceLink::CopySingleFrame(void* destination, const WindowSize* expected) {
  if (destination == nullptr) return 14;
  if (!rawFrame_) return 7;
  Window window;
  if (!CurrentWindow(&window, expected)) return 3;
  ExtractWindow(window, rawFrame_.get(), destination);
  return 0;
}

int DeviceLink::CopyStreamFrame(void* destination, const WindowSize* expected) {
  if (destination == nullptr) return 14;
  if (!ring_) return 7;
  Window window;
  if (!CurrentWindow(&window, expected)) return 3;
  const std::int32_t position = stream_.readPos.load(std::memory_order_relaxed);
  if (position < 0 || position >= bufferCount_) return 7;
  ExtractWindow(window, ring_[position].get(), destination);
  // The release store hands the buffer back to the reader only after the copy.
  HandBackStreamBuffer(position);
  return 0;
}

int DeviceLink::SkipStreamFrame() {
  if (!ring_) return 7;
  const std::int32_t position = stream_.readPos.load(std::memory_order_relaxed);
  if (position < 0 || position >= bufferCount_) return 7;
  HandBackStreamBuffer(position);
  return 0;
}

void DeviceLink::HandBackStreamBuffer(std::int32_t position) {
  const std::int32_t next = position + 1 < bufferCount_ ? position + 1 : 0;
  stream_.readPos.store(next, std::memory_order_release);
}

}  // namespace orvex
