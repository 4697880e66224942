#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/driver_port.h"

namespace orvex::platform::testing {

// A DriverPort for unit tests. It keeps every request, lets a test say which devices exist and
// script what each pipe does, and can hold frame reads (pipe 2) until the test releases them,
// so that tests of the reader threads need no sleeps. Thread-safe.
//
// Without a script: pipe 0 takes every packet whole; pipe 1 answers with zero bytes; pipe 2
// fills the frame through the frame filler (by default every byte = the read's sequence number,
// counted from 0 over all pipe-2 reads). Every request on a handle of a device that is not
// present (now) fails, as does every request on kInvalidDriverHandle.
class RecordingDriverPort final : public DriverPort {
 public:
  struct Request {
    std::string path;  // what the handle was opened with; empty for an invalid handle
    DriverHandle handle = 0;
    std::uint32_t code = 0;
    std::uint32_t pipe = 0;
    std::uint32_t length = 0;
    std::vector<std::uint8_t> sent;  // the buffer as handed over; pipe 0 only
    bool completed = false;
    std::uint32_t bytesMoved = 0;
  };

  // The result of one scripted request.
  struct Outcome {
    bool fail = false;               // the request fails; the buffer stays untouched
    std::int64_t bytes = -1;         // bytes moved; -1: the whole length
    std::vector<std::uint8_t> data;  // written into the buffer (pipes 1 and 2)
  };

  using FrameFiller =
      std::function<void(std::uint32_t sequence, std::uint8_t* buffer, std::uint32_t length)>;

  // "\\.\OrvexNec06A-<index>", the path of device `index`.
  static std::string DevicePath(int index);

  // --- the devices ---
  void SetPresent(int index, bool present);
  // Open gives 0 for a present device instead of a handle. This breaks the port's contract on
  // purpose, to reach the library's branches for a null handle.
  void SetNullHandles(bool on);

  // --- scripted requests, consumed in order per pipe ---
  void QueueOutcome(std::uint32_t pipe, Outcome outcome);
  void QueueReply(std::vector<std::uint8_t> bytes);  // pipe 1, whole
  void QueueFailure(std::uint32_t pipe);
  void QueueShort(std::uint32_t pipe, std::uint32_t bytes);
  void SetFrameFiller(FrameFiller filler);

  // --- holding frame reads ---
  // While holding, each pipe-2 read waits at a gate for a permit before it moves data.
  void HoldFrames();
  void ReleaseFrames(int count);
  // Lets every waiting and later read through.
  void StopHolding();
  // Waits until `count` pipe-2 reads have reached the gate (or run, when not holding). False
  // after `timeout`, which only guards a test against hanging.
  bool WaitForFrameReads(int count, std::chrono::milliseconds timeout = std::chrono::seconds(10));

  // --- what happened ---
  std::vector<Request> Requests() const;
  std::vector<Request> RequestsOnPipe(std::uint32_t pipe) const;
  std::vector<std::string> OpenedPaths() const;  // every Open, in order
  int OpenHandleCount() const;                   // valid handles not closed yet
  int FrameReadsStarted() const;
  void ClearLog();

  DriverHandle Open(const char* path) override;
  bool Control(DriverHandle handle, std::uint32_t code, std::uint32_t pipe, void* buffer,
               std::uint32_t length, std::uint32_t* bytesReturned) override;
  bool Close(DriverHandle handle) override;

 private:
  static int DeviceIndex(const std::string& path);
  void WaitAtGate(std::unique_lock<std::mutex>& lock);

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  bool present_[8] = {};
  bool nullHandles_ = false;
  std::map<DriverHandle, int> open_;  // handle -> device index
  DriverHandle nextHandle_ = 0x100;
  std::map<std::uint32_t, std::deque<Outcome>> script_;
  FrameFiller filler_;
  bool holding_ = false;
  int permits_ = 0;
  int frameReads_ = 0;
  std::vector<Request> requests_;
  std::vector<std::string> opened_;
};

}  // namespace orvex::platform::testing
