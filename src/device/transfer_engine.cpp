// The transfer engine: frame buffers, the single-frame reader and the stream reader with its
// ring. The reader threads share only atomics and the buffers with the caller; the ring's skip
// rule keeps the stream reader off the buffer that the consumer reads.

#include <cstring>
#include <exception>
#include <new>

#include "device/device_link.h"

namespace orvex {

namespace {

constexpr std::int64_t kTransferGranule = 1024;
// A frame far beyond any sensor this camera carries: 256 MiB a buffer.
constexpr std::int64_t kMaxTransferSamples = std::int64_t{1} << 27;
// All buffers together, so that a wild buffer count cannot exhaust memory one buffer at a time.
constexpr std::uint64_t kMaxBufferBytes = std::uint64_t{1} << 31;

constexpr std::uint8_t kOpStreamRequest = 0x02;

}  // namespace

void DeviceLink::ReleaseBuffers() {
  ring_.reset();
  rawFrame_.reset();
  bufferCount_ = 0;
}

bool DeviceLink::ReaderActive() const {
  return single_.idle.load(std::memory_order_acquire) == 0 || streamThread_.joinable();
}

std::uint32_t DeviceLink::FrameBytes() const {
  const auto samples = static_cast<std::uint32_t>(transferSamples_);
  return sampleWidth16_ != 0 ? samples * 2 : samples;
}

int DeviceLink::ConfigureFrame(std::int32_t lineLength, std::int32_t hStart, std::int32_t width,
                               std::int32_t frameLines, std::int32_t vStart, std::int32_t height,
                               std::int32_t bufferCount) {
  // Freeing the buffers under a running reader would let it write into released memory.
  if (ReaderActive()) return 21;
  // A negative start would put the window before the buffer.
  if (lineLength <= 0 || width <= 0 || hStart < 0 ||
      std::int64_t{lineLength} < std::int64_t{hStart} + width) {
    return 3;
  }
  if (frameLines <= 0 || height <= 0 || vStart < 0 ||
      std::int64_t{frameLines} < std::int64_t{vStart} + height) {
    return 4;
  }
  if (bufferCount < 2) return 1;

  std::int64_t samples = std::int64_t{lineLength} * (std::int64_t{vStart} + height);
  samples = (samples + kTransferGranule - 1) / kTransferGranule * kTransferGranule;
  const std::uint64_t bufferBytes = static_cast<std::uint64_t>(samples) * 2;
  if (samples > kMaxTransferSamples ||
      bufferBytes * (static_cast<std::uint64_t>(bufferCount) + 1) > kMaxBufferBytes) {
    return 7;
  }

  // Buffers of the right size and number serve as they are: a reader fills a buffer whole
  // before anything reads from it, so what an earlier frame left there is never seen, and
  // new buffers would cost their page faults on every preparation.
  const bool keep = rawFrame_ && ring_ && bufferCount_ == bufferCount &&
                    transferSamples_ == static_cast<std::int32_t>(samples);
  if (!keep) ReleaseBuffers();
  lineLength_ = lineLength;
  hStart_ = hStart;
  width_ = width;
  frameLines_ = frameLines;
  vStart_ = vStart;
  height_ = height;
  transferSamples_ = static_cast<std::int32_t>(samples);
  if (keep) {
    SendFrameSize();
    return 0;
  }

  const auto bytes = static_cast<std::size_t>(bufferBytes);
  rawFrame_.reset(static_cast<std::uint8_t*>(std::calloc(bytes, 1)));
  if (!rawFrame_) return 7;
  ring_.reset(new (std::nothrow) FrameBuffer[static_cast<std::size_t>(bufferCount)]);
  if (!ring_) {
    ReleaseBuffers();
    return 7;
  }
  for (std::int32_t i = 0; i < bufferCount; ++i) {
    ring_[i].reset(static_cast<std::uint8_t*>(std::calloc(bytes, 1)));
    if (!ring_[i]) {
      ReleaseBuffers();
      return 7;
    }
  }
  bufferCount_ = bufferCount;

  SendFrameSize();
  return 0;
}

int DeviceLink::StartSingleFrame() {
  if (single_.idle.load(std::memory_order_acquire) == 0) return 21;
  if (!rawFrame_) return 7;

  single_.buffer = rawFrame_.get();
  single_.byteCount = FrameBytes();
  std::memcpy(single_.path, devicePath_, sizeof single_.path);
  single_.event.reset(new (std::nothrow) ManualResetEvent);
  if (!single_.event) return 7;
  single_.idle.store(0, std::memory_order_relaxed);

  std::thread reader;
  try {
    reader = std::thread([this] { RunSingleFrameReader(); });
  } catch (const std::exception&) {  // std::system_error, or std::bad_alloc for its state
    single_.idle.store(1, std::memory_order_release);
    single_.event.reset();
    return 7;
  }
  single_.event->Wait();
  const int result = single_.result.load(std::memory_order_acquire);
  reader.join();
  single_.event.reset();
  return result;
}

int DeviceLink::FinishSingleFrame() {
  if (single_.idle.load(std::memory_order_acquire) == 0) return 21;
  single_.event.reset();
  return single_.result.load(std::memory_order_acquire);
}

void DeviceLink::RunSingleFrameReader() {
  clock_.RaiseCurrentThreadPriority();
  int result = 10;
  platform::DriverHandle handle = 0;
  if (OpenDriver(single_.path, &handle) != 0) {
    std::uint32_t moved = 0;
    const int done =
        PipeTransfer(handle, kFramePipe, single_.byteCount, single_.buffer, &moved, true);
    result = done == 0 && moved == single_.byteCount ? 0 : 19;
    CloseDriver(&handle);
  }
  single_.result.store(result, std::memory_order_relaxed);
  single_.idle.store(1, std::memory_order_release);
  single_.event->Set();
}

int DeviceLink::StartStream() {
  // A reader that ended on its own keeps its thread until StopStream collects its result.
  if (stream_.stopped.load(std::memory_order_acquire) == 0 || streamThread_.joinable()) return 21;
  if (!ring_ || bufferCount_ < 2) return 7;

  stream_.byteCount = FrameBytes();
  stream_.bufferCount = bufferCount_;
  std::memcpy(stream_.path, devicePath_, sizeof stream_.path);
  stream_.event.reset(new (std::nothrow) ManualResetEvent);
  if (!stream_.event) return 7;
  stream_.writePos.store(0, std::memory_order_relaxed);
  stream_.readPos.store(0, std::memory_order_relaxed);
  stream_.result.store(0, std::memory_order_relaxed);
  stream_.failed.store(0, std::memory_order_relaxed);
  stream_.stopped.store(0, std::memory_order_relaxed);

  try {
    streamThread_ = std::thread([this] { RunStreamReader(); });
  } catch (const std::exception&) {  // std::system_error, or std::bad_alloc for its state
    stream_.stopped.store(1, std::memory_order_release);
    stream_.event.reset();
    return 7;
  }
  return 0;
}

void DeviceLink::RunStreamReader() {
  clock_.RaiseCurrentThreadPriority();
  int result = 10;
  platform::DriverHandle handle = 0;
  if (OpenDriver(stream_.path, &handle) != 0) {
    result = 0;
    const std::int32_t count = stream_.bufferCount;
    std::uint8_t request[kPacketBytes];
    while (stream_.stopped.load(std::memory_order_acquire) != 1 && result != 19) {
      const std::int32_t position = stream_.writePos.load(std::memory_order_relaxed);
      std::uint8_t* buffer = ring_[position].get();

      std::memset(request, 0, sizeof request);
      request[0] = kOpStreamRequest;
      std::uint32_t moved = 0;
      PipeTransfer(handle, kCommandPipe, kPacketBytes, request, &moved, false);

      moved = 0;
      if (PipeTransfer(handle, kFramePipe, stream_.byteCount, buffer, &moved, true) != 0 ||
          moved != stream_.byteCount) {
        // The buffer holds no whole frame: the position stays, so that no poll between here
        // and the failure flag below hands it to the consumer as a new frame.
        result = 19;
        break;
      }

      // Jump over the buffer the consumer reads; the release store publishes the frame.
      std::lock_guard<std::mutex> lock(stream_.positions);
      std::int32_t next = position + 1 < count ? position + 1 : 0;
      if (next == stream_.readPos.load(std::memory_order_acquire)) {
        next = next + 1 < count ? next + 1 : 0;
      }
      stream_.writePos.store(next, std::memory_order_release);
    }
    CloseDriver(&handle);
  }
  stream_.result.store(result, std::memory_order_relaxed);
  stream_.failed.store(result == 19 ? 1 : 0, std::memory_order_relaxed);
  stream_.stopped.store(1, std::memory_order_release);
  stream_.event->Set();
}

int DeviceLink::PollStream() {
  // `stopped` first: seeing the reader's stop with acquire makes its `failed` visible too.
  const int stopped = stream_.stopped.load(std::memory_order_acquire);
  if (stream_.failed.load(std::memory_order_acquire) == 1) return 1;
  if (stopped == 1) return 0;

  const std::int32_t count = stream_.bufferCount;
  std::lock_guard<std::mutex> lock(stream_.positions);
  std::int32_t w = stream_.writePos.load(std::memory_order_acquire);
  const std::int32_t r = stream_.readPos.load(std::memory_order_relaxed);
  if (w < r) w += count;
  if (w == r) return 2;
  std::int32_t newest = w - 1;
  if (newest < 0) {
    newest = count - 1;
  } else if (newest >= count) {
    newest -= count;
  }
  stream_.readPos.store(newest, std::memory_order_release);
  return 3;
}

int DeviceLink::StopStream() {
  if (!streamThread_.joinable()) return 0;  // nothing started, or already collected

  stream_.stopped.store(1, std::memory_order_release);
  stream_.event->Wait();
  streamThread_.join();
  const int result = stream_.result.load(std::memory_order_acquire);
  stream_.event.reset();
  stream_.stopped.store(1, std::memory_order_relaxed);
  stream_.failed.store(0, std::memory_order_relaxed);
  return result;
}

}  // namespace orvex
