#include "platform/testing/recording_driver_port.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace orvex::platform::testing {

namespace {

constexpr char kPathPrefix[] = "\\\\.\\OrvexNec06A-";
constexpr int kDevices = 8;

}  // namespace

std::string RecordingDriverPort::DevicePath(int index) {
  return kPathPrefix + std::to_string(index);
}

int RecordingDriverPort::DeviceIndex(const std::string& path) {
  for (int i = 0; i < kDevices; ++i) {
    if (path == DevicePath(i)) return i;
  }
  return -1;
}

void RecordingDriverPort::SetPresent(int index, bool present) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (index >= 0 && index < kDevices) present_[index] = present;
}

void RecordingDriverPort::SetNullHandles(bool on) {
  std::lock_guard<std::mutex> lock(mutex_);
  nullHandles_ = on;
}

void RecordingDriverPort::QueueOutcome(std::uint32_t pipe, Outcome outcome) {
  std::lock_guard<std::mutex> lock(mutex_);
  script_[pipe].push_back(std::move(outcome));
}

void RecordingDriverPort::QueueReply(std::vector<std::uint8_t> bytes) {
  Outcome outcome;
  outcome.data = std::move(bytes);
  QueueOutcome(1, std::move(outcome));
}

void RecordingDriverPort::QueueFailure(std::uint32_t pipe) {
  Outcome outcome;
  outcome.fail = true;
  QueueOutcome(pipe, std::move(outcome));
}

void RecordingDriverPort::QueueShort(std::uint32_t pipe, std::uint32_t bytes) {
  Outcome outcome;
  outcome.bytes = bytes;
  QueueOutcome(pipe, std::move(outcome));
}

void RecordingDriverPort::SetFrameFiller(FrameFiller filler) {
  std::lock_guard<std::mutex> lock(mutex_);
  filler_ = std::move(filler);
}

void RecordingDriverPort::HoldFrames() {
  std::lock_guard<std::mutex> lock(mutex_);
  holding_ = true;
}

void RecordingDriverPort::ReleaseFrames(int count) {
  std::lock_guard<std::mutex> lock(mutex_);
  permits_ += count;
  changed_.notify_all();
}

void RecordingDriverPort::StopHolding() {
  std::lock_guard<std::mutex> lock(mutex_);
  holding_ = false;
  changed_.notify_all();
}

bool RecordingDriverPort::WaitForFrameReads(int count, std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> lock(mutex_);
  return changed_.wait_for(lock, timeout, [&] { return frameReads_ >= count; });
}

std::vector<RecordingDriverPort::Request> RecordingDriverPort::Requests() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_;
}

std::vector<RecordingDriverPort::Request> RecordingDriverPort::RequestsOnPipe(
    std::uint32_t pipe) const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<Request> selected;
  for (const Request& request : requests_) {
    if (request.pipe == pipe) selected.push_back(request);
  }
  return selected;
}

std::vector<std::string> RecordingDriverPort::OpenedPaths() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return opened_;
}

int RecordingDriverPort::OpenHandleCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return static_cast<int>(open_.size());
}

int RecordingDriverPort::FrameReadsStarted() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return frameReads_;
}

void RecordingDriverPort::ClearLog() {
  std::lock_guard<std::mutex> lock(mutex_);
  requests_.clear();
  opened_.clear();
}

DriverHandle RecordingDriverPort::Open(const char* path) {
  std::lock_guard<std::mutex> lock(mutex_);
  const std::string name = path != nullptr ? path : "";
  opened_.push_back(name);
  const int device = DeviceIndex(name);
  if (device < 0 || !present_[device]) return kInvalidDriverHandle;
  if (nullHandles_) return 0;
  const DriverHandle handle = nextHandle_++;
  open_[handle] = device;
  return handle;
}

bool RecordingDriverPort::Close(DriverHandle handle) {
  std::lock_guard<std::mutex> lock(mutex_);
  return open_.erase(handle) != 0;
}

void RecordingDriverPort::WaitAtGate(std::unique_lock<std::mutex>& lock) {
  changed_.wait(lock, [this] { return !holding_ || permits_ > 0; });
  if (holding_) --permits_;
}

bool RecordingDriverPort::Control(DriverHandle handle, std::uint32_t code, std::uint32_t pipe,
                                  void* buffer, std::uint32_t length,
                                  std::uint32_t* bytesReturned) {
  auto* bytes = static_cast<std::uint8_t*>(buffer);
  Request request;
  request.handle = handle;
  request.code = code;
  request.pipe = pipe;
  request.length = length;
  if (pipe == 0 && bytes != nullptr) request.sent.assign(bytes, bytes + length);

  std::unique_lock<std::mutex> lock(mutex_);
  const auto found = open_.find(handle);
  const int device = found != open_.end() ? found->second : -1;
  if (device >= 0) request.path = DevicePath(device);

  std::uint32_t sequence = 0;
  if (pipe == 2 && device >= 0) {
    sequence = static_cast<std::uint32_t>(frameReads_++);
    changed_.notify_all();
    WaitAtGate(lock);
  }

  // Checked after the gate: a camera unplugged while a read waits fails that read.
  const bool reachable = device >= 0 && present_[device] && bytes != nullptr;
  Outcome outcome;
  if (reachable) {
    auto& queue = script_[pipe];
    if (!queue.empty()) {
      outcome = std::move(queue.front());
      queue.pop_front();
    }
  } else {
    outcome.fail = true;
  }
  const FrameFiller filler = filler_;
  lock.unlock();

  std::uint32_t moved = 0;
  if (!outcome.fail) {
    moved = outcome.bytes < 0
                ? length
                : static_cast<std::uint32_t>(std::min<std::int64_t>(outcome.bytes, length));
    if (pipe != 0) {
      const std::size_t given = std::min<std::size_t>(outcome.data.size(), moved);
      if (given != 0) std::memcpy(bytes, outcome.data.data(), given);
      if (pipe == 2 && outcome.data.empty()) {
        if (filler) {
          filler(sequence, bytes, moved);
        } else {
          std::memset(bytes, static_cast<int>(sequence & 0xFF), moved);
        }
      } else {
        std::memset(bytes + given, 0, moved - given);
      }
    }
  }
  if (bytesReturned != nullptr) *bytesReturned = moved;

  request.completed = !outcome.fail;
  request.bytesMoved = moved;
  lock.lock();
  requests_.push_back(std::move(request));
  return !outcome.fail;
}

}  // namespace orvex::platform::testing
