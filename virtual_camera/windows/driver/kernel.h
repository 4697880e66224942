#pragma once

// The kernel's headers, and the few helpers every part of the driver uses. The driver is C++
// without exceptions, run-time type information or a C++ run-time library: objects live in
// the pool and are made with placement new, and nothing is constructed before DriverEntry.

// wdm.h defines two interlocked helpers that the compiler's intrinsics declared already; in C++
// the second definition is an error, so wdm.h's pair is renamed out of the way.
#include <intrin.h>
#define InterlockedBitTestAndSet WdmInterlockedBitTestAndSet
#define InterlockedBitTestAndReset WdmInterlockedBitTestAndReset
#include <ddk/wdm.h>
#undef InterlockedBitTestAndSet
#undef InterlockedBitTestAndReset

#include <new>

// Declared by ntifs.h, which does not build beside wdm.h.
extern "C" NTSYSAPI NTSTATUS NTAPI ZwWaitForSingleObject(HANDLE handle, BOOLEAN alertable,
                                                         PLARGE_INTEGER timeout);

namespace orvex::vcam::kernel {

// "OxVc" in a pool dump.
inline constexpr ULONG kPoolTag = 'O' | 'x' << 8 | 'V' << 16 | 'c' << 24;

// An object of T in the non-paged pool, or null when the pool is short: objects of the driver
// hold spin locks, events and lists that are touched at DISPATCH_LEVEL, where a paged-out page
// cannot be brought back.
template <typename T, typename... Args>
T* NewInPool(Args... args) {
  void* memory = ExAllocatePoolWithTag(NonPagedPoolNx, sizeof(T), kPoolTag);
  return memory == nullptr ? nullptr : new (memory) T(args...);
}

template <typename T>
void DeleteInPool(T* object) {
  object->~T();
  ExFreePoolWithTag(object, kPoolTag);
}

// A lock that may be held across long work, taken at PASSIVE_LEVEL, where the dispatch
// routines and the driver's threads run: a synchronization event, signalled while free, which
// lets exactly one waiter through. (Wine's kernel mutex objects lose their owner when a second
// thread waits for them; events behave alike everywhere.)
class Gate {
 public:
  void Initialize() { KeInitializeEvent(&free_, SynchronizationEvent, TRUE); }
  void Enter() { KeWaitForSingleObject(&free_, Executive, KernelMode, FALSE, nullptr); }
  void Leave() { KeSetEvent(&free_, IO_NO_INCREMENT, FALSE); }

 private:
  KEVENT free_;
};

// Holds a gate for its scope.
class GateLock {
 public:
  explicit GateLock(Gate& gate) : gate_(gate) { gate_.Enter(); }
  ~GateLock() { gate_.Leave(); }
  GateLock(const GateLock&) = delete;
  GateLock& operator=(const GateLock&) = delete;

 private:
  Gate& gate_;
};

// Holds a spin lock for its scope: short work only, which a cancel routine may also need.
class SpinLock {
 public:
  explicit SpinLock(KSPIN_LOCK& lock) : lock_(lock) { KeAcquireSpinLock(&lock_, &irql_); }
  ~SpinLock() { KeReleaseSpinLock(&lock_, irql_); }
  SpinLock(const SpinLock&) = delete;
  SpinLock& operator=(const SpinLock&) = delete;

 private:
  KSPIN_LOCK& lock_;
  KIRQL irql_ = PASSIVE_LEVEL;
};

inline NTSTATUS CompleteRequest(PIRP irp, NTSTATUS status, ULONG_PTR information = 0) {
  irp->IoStatus.Status = status;
  irp->IoStatus.Information = NT_SUCCESS(status) ? information : 0;
  IoCompleteRequest(irp, IO_NO_INCREMENT);
  return status;
}

// The caller's buffer of a direct request (the output buffer, in both directions), or null.
inline void* DirectBuffer(PIRP irp) {
  if (irp->MdlAddress == nullptr) return nullptr;
  return MmGetSystemAddressForMdlSafe(irp->MdlAddress, NormalPagePriority);
}

}  // namespace orvex::vcam::kernel
