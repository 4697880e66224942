#include "windows/driver/camera_device.h"

namespace orvex::vcam::kernel {
namespace {

ULONG ReadLength(PIRP irp) {
  return IoGetCurrentIrpStackLocation(irp)->Parameters.DeviceIoControl.OutputBufferLength;
}

// A steady clock in nanoseconds. The performance counter rather than the interrupt time, which
// Wine's kernel reports in milliseconds.
FramePacer::Nanoseconds Now() {
  constexpr ULONGLONG kPerSecond = 1'000'000'000;
  LARGE_INTEGER frequency;
  const ULONGLONG count = static_cast<ULONGLONG>(KeQueryPerformanceCounter(&frequency).QuadPart);
  const auto perSecond = static_cast<ULONGLONG>(frequency.QuadPart);
  return count / perSecond * kPerSecond + count % perSecond * kPerSecond / perSecond;
}

// A relative time-out of KeWaitForSingleObject (negative, in units of 100 ns, rounded up) until
// `time`.
LARGE_INTEGER TimeoutUntil(FramePacer::Nanoseconds time, FramePacer::Nanoseconds now) {
  LARGE_INTEGER timeout;
  timeout.QuadPart = -static_cast<LONGLONG>((time - now + 99) / 100);
  return timeout;
}

// The bytes a served read gets, kept in the request while it waits for its frame to be drawn.
void SetServedBytes(PIRP irp, ULONG count) {
  irp->Tail.Overlay.DriverContext[1] = reinterpret_cast<PVOID>(static_cast<ULONG_PTR>(count));
}

ULONG ServedBytes(PIRP irp) {
  return static_cast<ULONG>(reinterpret_cast<ULONG_PTR>(irp->Tail.Overlay.DriverContext[1]));
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
      // Woken under the lock: once it is released the camera thread may complete the read, and
      // that completion may take the last reference to this camera before this call goes on.
      if (IsListEmpty(&reads_)) KeSetEvent(&wake_, IO_NO_INCREMENT, FALSE);
      InsertTailList(&reads_, &irp->Tail.Overlay.ListEntry);
    }
  }
  if (cancelled) return STATUS_CANCELLED;
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

// The camera's thread: asks the pacer what the oldest read waits for, waits (looking again
// whenever something changes), then hands the due frame to every read it serves.
void CameraDevice::ServeReads() {
  PIRP examined = nullptr;  // the front read the pacer last looked at
  bool fresh = true;
  for (;;) {
    LIST_ENTRY served;
    InitializeListHead(&served);
    ULONGLONG frame = 0;
    bool timed = false;
    LARGE_INTEGER timeout;
    {
      SpinLock lock(stateLock_);
      if (unplugged_) return;
      if (!IsListEmpty(&reads_)) {
        PIRP front = IrpOf(reads_.Flink);
        if (front != examined) {
          examined = front;
          fresh = true;
        }
        const FramePacer::Nanoseconds now = Now();
        const FramePacer::Step step = pacer_.Next(ReadLength(front), now, fresh);
        fresh = false;
        if (step.kind == FramePacer::Step::kWaitUntil) {
          timed = true;
          timeout = TimeoutUntil(step.value, now);
        } else if (step.kind == FramePacer::Step::kFrame) {
          frame = step.value;
          TakeServedReads(front, &served);
          examined = nullptr;
        }
      }
    }
    if (!IsListEmpty(&served)) {
      while (!IsListEmpty(&served)) Deliver(IrpOf(RemoveHeadList(&served)), frame);
      continue;
    }
    // Nothing to wait for but a change; or the frame's reads were all being cancelled, whose
    // cancel routines wake this thread.
    const NTSTATUS woken =
        KeWaitForSingleObject(&wake_, Executive, KernelMode, FALSE, timed ? &timeout : nullptr);
    // Woken before the frame was due (a setting changed, or an unplug): look again at everything.
    if (timed && woken != STATUS_TIMEOUT) fresh = true;
  }
}

void CameraDevice::TakeServedReads(PIRP front, PLIST_ENTRY served) {
  const bool everyone = pacer_.SharesFrames(ReadLength(front));
  PLIST_ENTRY entry = reads_.Flink;
  while (entry != &reads_) {
    PLIST_ENTRY next = entry->Flink;
    PIRP irp = IrpOf(entry);
    // A read whose cancel routine runs is left to it.
    if (IoSetCancelRoutine(irp, nullptr) != nullptr) {
      RemoveEntryList(entry);
      SetServedBytes(irp, pacer_.Serve(ReadLength(irp)));
      InsertTailList(served, entry);
    }
    if (!everyone) break;
    entry = next;
  }
}

void CameraDevice::Deliver(PIRP irp, ULONGLONG frame) {
  const ULONG count = ServedBytes(irp);
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
  pacer_.ShortFrames(count);
}

void CameraDevice::SetFramePeriod(int microseconds) {
  {
    SpinLock lock(stateLock_);
    pacer_.SetFramePeriod(microseconds);
  }
  KeSetEvent(&wake_, IO_NO_INCREMENT, FALSE);
}

void CameraDevice::SetDropRate(int percent) {
  {
    SpinLock lock(stateLock_);
    pacer_.SetDropRate(percent);
  }
  KeSetEvent(&wake_, IO_NO_INCREMENT, FALSE);
}

ULONGLONG CameraDevice::FramesSent() {
  SpinLock lock(stateLock_);
  return pacer_.FramesSent();
}

ULONGLONG CameraDevice::FramesDropped() {
  SpinLock lock(stateLock_);
  return pacer_.FramesDropped();
}

int CameraDevice::WaitingReads() {
  SpinLock lock(stateLock_);
  int count = 0;
  for (PLIST_ENTRY entry = reads_.Flink; entry != &reads_; entry = entry->Flink) ++count;
  return count;
}

}  // namespace orvex::vcam::kernel
