#include "windows/driver/camera_device.h"

namespace orvex::vcam::kernel {
namespace {

// Default pacing: the sensor gives about 30 frames a second, and the USB 2.0 link moves about
// 40 MB/s, whichever is slower. Times in units of 100 ns.
constexpr ULONGLONG kTicksPerMicrosecond = 10;
constexpr ULONGLONG kSensorFramePeriod = 33333 * kTicksPerMicrosecond;
constexpr ULONGLONG kLinkBytesPerSecond = 40'000'000;

ULONGLONG DefaultFramePeriod(ULONGLONG frameBytes) {
  const ULONGLONG microseconds =
      (frameBytes * 1'000'000 + kLinkBytesPerSecond - 1) / kLinkBytesPerSecond;
  const ULONGLONG link = microseconds * kTicksPerMicrosecond;
  return link > kSensorFramePeriod ? link : kSensorFramePeriod;
}

ULONG ReadLength(PIRP irp) {
  return IoGetCurrentIrpStackLocation(irp)->Parameters.DeviceIoControl.OutputBufferLength;
}

// A steady clock in units of 100 ns. The performance counter rather than the interrupt time,
// which Wine's kernel reports in milliseconds.
ULONGLONG Now() {
  LARGE_INTEGER frequency;
  const ULONGLONG count = static_cast<ULONGLONG>(KeQueryPerformanceCounter(&frequency).QuadPart);
  const auto perSecond = static_cast<ULONGLONG>(frequency.QuadPart);
  return count / perSecond * 10'000'000 + count % perSecond * 10'000'000 / perSecond;
}

PIRP IrpOf(PLIST_ENTRY entry) {
  return CONTAINING_RECORD(entry, IRP, Tail.Overlay.ListEntry);
}

}  // namespace

CameraDevice::CameraDevice(int index) : model_(index) {
  modelGate_.Initialize();
  KeInitializeSpinLock(&stateLock_);
  KeInitializeEvent(&wake_, SynchronizationEvent, FALSE);
  InitializeListHead(&reads_);
}

CameraDevice* CameraDevice::Create(int index) {
  CameraDevice* camera = NewInPool<CameraDevice>(index);
  if (camera == nullptr) return nullptr;
  OBJECT_ATTRIBUTES attributes;
  InitializeObjectAttributes(&attributes, nullptr, OBJ_KERNEL_HANDLE, nullptr, nullptr);
  if (!NT_SUCCESS(PsCreateSystemThread(&camera->thread_, THREAD_ALL_ACCESS, &attributes, nullptr,
                                       nullptr, ThreadMain, camera))) {
    DeleteInPool(camera);
    return nullptr;
  }
  return camera;
}

void CameraDevice::Release() {
  if (InterlockedDecrement(&references_) != 0) return;
  Unplug();  // ends the thread if the camera was never detached
  DeleteInPool(this);
}

bool CameraDevice::Refuse(int pipe) {
  int& pending = refusals_[pipe];
  if (pending == 0) return false;
  --pending;
  return true;
}

NTSTATUS CameraDevice::Send(const void* packet, ULONG length) {
  GateLock order(modelGate_);
  {
    SpinLock lock(stateLock_);
    if (unplugged_) return STATUS_DEVICE_REMOVED;
    if (packet == nullptr || length != kPacketSize || Refuse(0)) return STATUS_UNSUCCESSFUL;
  }
  return model_.Command(static_cast<const std::uint8_t*>(packet), length) ? STATUS_SUCCESS
                                                                          : STATUS_UNSUCCESSFUL;
}

NTSTATUS CameraDevice::Receive(void* out, ULONG length) {
  GateLock order(modelGate_);
  {
    SpinLock lock(stateLock_);
    if (unplugged_) return STATUS_DEVICE_REMOVED;
    if (out == nullptr || length != kPacketSize || Refuse(1)) return STATUS_UNSUCCESSFUL;
  }
  return model_.TakeReply(static_cast<std::uint8_t*>(out), length) ? STATUS_SUCCESS
                                                                   : STATUS_UNSUCCESSFUL;
}

NTSTATUS CameraDevice::ReadFrame(PIRP irp, void* out, ULONG length) {
  bool cancelled = false;
  bool first = false;
  {
    SpinLock lock(stateLock_);
    if (unplugged_) return STATUS_DEVICE_REMOVED;
    if (out == nullptr || length == 0 || Refuse(2)) return STATUS_UNSUCCESSFUL;
    irp->Tail.Overlay.DriverContext[0] = this;
    IoSetCancelRoutine(irp, CancelRead);
    if (irp->Cancel && IoSetCancelRoutine(irp, nullptr) != nullptr) {
      cancelled = true;
    } else {
      IoMarkIrpPending(irp);
      first = IsListEmpty(&reads_);
      InsertTailList(&reads_, &irp->Tail.Overlay.ListEntry);
    }
  }
  if (cancelled) return STATUS_CANCELLED;
  if (first) KeSetEvent(&wake_, IO_NO_INCREMENT, FALSE);
  return STATUS_PENDING;
}

VOID NTAPI CameraDevice::CancelRead(PDEVICE_OBJECT, PIRP irp) {
  IoReleaseCancelSpinLock(irp->CancelIrql);
  auto* camera = static_cast<CameraDevice*>(irp->Tail.Overlay.DriverContext[0]);
  {
    SpinLock lock(camera->stateLock_);
    // Unplug may have taken it off the queue already; its entry then points to itself.
    RemoveEntryList(&irp->Tail.Overlay.ListEntry);
    InitializeListHead(&irp->Tail.Overlay.ListEntry);
  }
  KeSetEvent(&camera->wake_, IO_NO_INCREMENT, FALSE);  // the read being paced may be this one
  CompleteRequest(irp, STATUS_CANCELLED);
}

void CameraDevice::Unplug() {
  LIST_ENTRY failed;
  InitializeListHead(&failed);
  HANDLE thread = nullptr;
  {
    SpinLock lock(stateLock_);
    unplugged_ = true;
    while (!IsListEmpty(&reads_)) {
      PLIST_ENTRY entry = RemoveHeadList(&reads_);
      InitializeListHead(entry);
      PIRP irp = IrpOf(entry);
      // A read whose cancel routine already runs is completed by that routine.
      if (IoSetCancelRoutine(irp, nullptr) != nullptr) InsertTailList(&failed, entry);
    }
    thread = thread_;
    thread_ = nullptr;
  }
  while (!IsListEmpty(&failed))
    CompleteRequest(IrpOf(RemoveHeadList(&failed)), STATUS_DEVICE_REMOVED);
  if (thread != nullptr) {
    KeSetEvent(&wake_, IO_NO_INCREMENT, FALSE);
    ZwWaitForSingleObject(thread, FALSE, nullptr);
    ZwClose(thread);
  }
}

VOID NTAPI CameraDevice::ThreadMain(PVOID context) {
  static_cast<CameraDevice*>(context)->ServeReads();
  PsTerminateSystemThread(STATUS_SUCCESS);
}

ULONGLONG CameraDevice::PeriodFor(ULONG length) const {
  if (periodMicroseconds_ >= 0) {
    return static_cast<ULONGLONG>(periodMicroseconds_) * kTicksPerMicrosecond;
  }
  return DefaultFramePeriod(length);
}

void CameraDevice::Align(ULONGLONG period, ULONGLONG now) {
  if (!hasNextDue_ || rhythm_ != period) {
    // A new rhythm: the sensor starts a frame now.
    hasNextDue_ = true;
    nextDue_ = now + period;
    rhythm_ = period;
    return;
  }
  if (nextDue_ < now) {
    // Frames went by while nobody read; the reader gets the next one due, not one a whole
    // period from now.
    const ULONGLONG missed = (now - nextDue_ + period - 1) / period;
    nextDue_ += missed * period;
    frameClock_ += missed;
  }
}

bool CameraDevice::DropsNextFrame() {
  dropAccumulator_ += dropRate_;
  if (dropAccumulator_ < 100) return false;
  dropAccumulator_ -= 100;
  return true;
}

// The camera's thread: takes the oldest read, waits until its frame is due (re-examining
// everything whenever something changes), then renders and completes it.
void CameraDevice::ServeReads() {
  PIRP paced = nullptr;  // the read the rhythm was last examined for
  bool align = true;
  for (;;) {
    PIRP deliver = nullptr;
    ULONGLONG frame = 0;
    ULONG count = 0;
    bool timed = false;
    LARGE_INTEGER timeout;
    {
      SpinLock lock(stateLock_);
      if (unplugged_) return;
      if (IsListEmpty(&reads_)) {
        paced = nullptr;
      } else if (dropRate_ >= 100) {  // no frame comes until the rate is lowered
        align = true;
      } else {
        PIRP head = IrpOf(reads_.Flink);
        if (head != paced) {
          paced = head;
          align = true;
        }
        const ULONG length = ReadLength(head);
        const ULONGLONG period = PeriodFor(length);
        const ULONGLONG now = Now();
        bool due = true;
        if (period > 0) {
          if (align || rhythm_ != period || !hasNextDue_) {
            Align(period, now);
            align = false;
          }
          if (now < nextDue_) {
            due = false;
            timed = true;
            timeout.QuadPart = -static_cast<LONGLONG>(nextDue_ - now);
          }
        } else {
          hasNextDue_ = false;
        }
        if (due && DropsNextFrame()) {
          ++framesDropped_;
          ++frameClock_;
          if (hasNextDue_) nextDue_ += period;
          continue;
        }
        // A read whose cancel routine runs is left to it; the routine wakes this thread.
        if (due && IoSetCancelRoutine(head, nullptr) != nullptr) {
          RemoveEntryList(&head->Tail.Overlay.ListEntry);
          InitializeListHead(&head->Tail.Overlay.ListEntry);
          paced = nullptr;
          count = length;
          if (shortFrames_ > 0) {
            --shortFrames_;
            count = length / 2;
          } else {
            ++framesSent_;
          }
          frame = frameClock_++;
          if (hasNextDue_) nextDue_ += rhythm_;
          deliver = head;
        }
      }
    }
    if (deliver != nullptr) {
      Deliver(deliver, frame, count);
      continue;
    }
    const NTSTATUS woken =
        KeWaitForSingleObject(&wake_, Executive, KernelMode, FALSE, timed ? &timeout : nullptr);
    // Woken before the frame was due (a setting changed, or an unplug): look again at everything.
    if (timed && woken != STATUS_TIMEOUT) align = true;
  }
}

void CameraDevice::Deliver(PIRP irp, ULONGLONG frame, ULONG count) {
  void* out = DirectBuffer(irp);
  bool rendered = false;
  if (out != nullptr) {
    GateLock lock(modelGate_);
    rendered = model_.RenderFrame(frame, static_cast<std::uint8_t*>(out), count);
  }
  CompleteRequest(irp, rendered ? STATUS_SUCCESS : STATUS_INSUFFICIENT_RESOURCES, count);
}

void CameraDevice::FailRequests(int pipe, int count) {
  SpinLock lock(stateLock_);
  refusals_[pipe] = count;
}

void CameraDevice::ShortFrames(int count) {
  SpinLock lock(stateLock_);
  shortFrames_ = count;
}

void CameraDevice::SetFramePeriod(int microseconds) {
  {
    SpinLock lock(stateLock_);
    periodMicroseconds_ = microseconds < 0 ? -1 : microseconds;
  }
  KeSetEvent(&wake_, IO_NO_INCREMENT, FALSE);
}

void CameraDevice::SetDropRate(int percent) {
  {
    SpinLock lock(stateLock_);
    dropRate_ = percent;
    dropAccumulator_ = 0;
  }
  KeSetEvent(&wake_, IO_NO_INCREMENT, FALSE);
}

ULONGLONG CameraDevice::FramesSent() {
  SpinLock lock(stateLock_);
  return framesSent_;
}

ULONGLONG CameraDevice::FramesDropped() {
  SpinLock lock(stateLock_);
  return framesDropped_;
}

int CameraDevice::WaitingReads() {
  SpinLock lock(stateLock_);
  int count = 0;
  for (PLIST_ENTRY entry = reads_.Flink; entry != &reads_; entry = entry->Flink) ++count;
  return count;
}

}  // namespace orvex::vcam::kernel
