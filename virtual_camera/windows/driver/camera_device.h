#pragma once

#include "model/camera_model.h"
#include "model/frame_pacer.h"
#include "windows/driver/kernel.h"

namespace orvex::vcam::kernel {

// One attached camera as the driver sees it: the camera model behind a gate, the frame reads
// waiting for their frames, the frame pacer, injected refusals and the unplug that fails every
// request from then on. Pipes 0 and 1 are answered at once; frame reads (pipe 2) are queued in
// arrival order and served by a thread of the camera's own, which waits until the front read's
// frame is due, renders it straight into the buffer of every read it serves (every read then
// waiting, FramePacer) and completes them in arrival order. So a read that waits holds up
// neither the other pipes nor any other request to the driver.
//
// Reference counted: the driver's slot holds one reference while the camera is attached, and
// every open handle one, so that requests on a handle of an unplugged camera fail instead of
// reaching a camera attached later at the same index.
class CameraDevice {
 public:
  // An attached camera at `index` with its thread running (one reference), or null.
  static CameraDevice* Create(int index);

  void Reference() { InterlockedIncrement(&references_); }
  void Release();

  // The three pipes. Send and Receive move exactly `length` bytes or fail. ReadFrame returns
  // STATUS_PENDING with the request queued, or fails (the caller completes the request then).
  NTSTATUS Send(const void* packet, ULONG length);
  NTSTATUS Receive(void* out, ULONG length);
  NTSTATUS ReadFrame(PIRP irp, void* out, ULONG length);

  // Unplugged: every request fails from now on, waiting reads at once; returns when the
  // camera's thread has ended.
  void Unplug();

  // Runs fn(model) under the model's gate, for settings and inspection.
  template <typename Fn>
  auto WithModel(Fn fn) {
    GateLock lock(modelGate_);
    return fn(model_);
  }

  void FailRequests(int pipe, int count);
  void ShortFrames(int count);
  // microseconds: 0 = whenever the host reads, negative = the default model.
  void SetFramePeriod(int microseconds);
  void SetDropRate(int percent);

  ULONGLONG FramesSent();
  ULONGLONG FramesDropped();
  int WaitingReads();

  void HandleOpened() { InterlockedIncrement(&openHandles_); }
  void HandleClosed() { InterlockedDecrement(&openHandles_); }
  int OpenHandles() const { return static_cast<int>(openHandles_); }

 private:
  template <typename T, typename... Args>
  friend T* NewInPool(Args... args);
  template <typename T>
  friend void DeleteInPool(T* object);

  explicit CameraDevice(int index);
  ~CameraDevice() = default;

  static VOID NTAPI ThreadMain(PVOID context);
  static VOID NTAPI CancelRead(PDEVICE_OBJECT device, PIRP irp);
  void ServeReads();
  // Under stateLock_: moves the reads that the due frame serves to `served`, each with the
  // bytes it gets, in arrival order.
  void TakeServedReads(PIRP front, PLIST_ENTRY served);
  void Deliver(PIRP irp, ULONGLONG frame);

  // Under stateLock_.
  bool Refuse(int pipe);

  LONG references_ = 1;
  LONG openHandles_ = 0;
  HANDLE thread_ = nullptr;

  Gate modelGate_;  // the model, and the order of the requests on pipes 0 and 1
  CameraModel model_;

  // Everything below: under stateLock_, which the cancel routine also takes.
  KSPIN_LOCK stateLock_;
  KEVENT wake_;       // a read arrived or left, a setting changed, or the camera was unplugged
  LIST_ENTRY reads_;  // frame reads in arrival order, each cancellable while it waits
  bool unplugged_ = false;
  int refusals_[3] = {0, 0, 0};
  FramePacer pacer_;
};

}  // namespace orvex::vcam::kernel
