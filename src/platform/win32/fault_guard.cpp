#include "platform/fault_guard.h"

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <mutex>

// A vectored exception handler turns an invalid- or privileged-instruction fault into a resume
// at a landing point of our own. 32-bit MinGW has no __try/__except, and a longjmp out of an
// exception handler would leave the frame-based handler chain pointing into dead frames, so the
// routine is called from a small assembly thunk whose stack layout the handler knows: on a fault
// the handler sets the stack pointer back to what the thunk saved and the instruction pointer to
// the thunk's landing label, which pops the callee-saved registers the thunk pushed and returns 0.

namespace orvex::platform {
namespace {

std::mutex probe_mutex;
std::atomic<DWORD> probing_thread{0};
// The thunk's stack pointer after it saved the registers, for the thread in probing_thread.
std::atomic<DWORD*> saved_stack{nullptr};

}  // namespace
}  // namespace orvex::platform

#if defined(__i386__)
// Calls routine(argument) with *stack set to the stack pointer to restore on a fault; returns 1,
// or 0 when resumed at OrvexGuardedCallLanding. cdecl: the arguments are at 4, 8 and 12 bytes
// above the stack pointer on entry, 20, 24 and 28 after the four pushes.
extern "C" __attribute__((naked, used)) int OrvexGuardedCall(orvex::platform::GuardedRoutine, void*,
                                                             DWORD*) {
  asm(R"(
  pushl %ebp
  pushl %ebx
  pushl %esi
  pushl %edi
  movl 20(%esp), %eax
  movl 24(%esp), %ecx
  movl 28(%esp), %edx
  movl %esp, (%edx)
  subl $12, %esp
  movl %ecx, (%esp)
  call *%eax
  addl $12, %esp
  movl $1, %eax
  jmp 1f
  .globl _OrvexGuardedCallLanding
_OrvexGuardedCallLanding:
  xorl %eax, %eax
1:
  popl %edi
  popl %esi
  popl %ebx
  popl %ebp
  ret
)");
}
extern "C" char OrvexGuardedCallLanding[];
#else
#error "fault guard: unsupported Windows processor"
#endif

namespace orvex::platform {
namespace {

LONG CALLBACK OnException(EXCEPTION_POINTERS* exception) {
  const DWORD code = exception->ExceptionRecord->ExceptionCode;
  if (code != EXCEPTION_ILLEGAL_INSTRUCTION && code != EXCEPTION_PRIV_INSTRUCTION) {
    return EXCEPTION_CONTINUE_SEARCH;
  }
  if (probing_thread.load(std::memory_order_acquire) != GetCurrentThreadId()) {
    return EXCEPTION_CONTINUE_SEARCH;
  }
  DWORD* stack = saved_stack.load(std::memory_order_acquire);
  if (!stack) return EXCEPTION_CONTINUE_SEARCH;
  CONTEXT* context = exception->ContextRecord;
  context->Esp = *stack;
  context->Eip = static_cast<DWORD>(reinterpret_cast<std::uintptr_t>(OrvexGuardedCallLanding));
  context->EFlags &= ~0x400u;  // the direction flag is clear at every call boundary
  return EXCEPTION_CONTINUE_EXECUTION;
}

}  // namespace

bool RunGuarded(GuardedRoutine routine, void* argument) {
  std::lock_guard lock(probe_mutex);
  PVOID handler = AddVectoredExceptionHandler(1, OnException);
  if (!handler) return false;  // nothing could catch a fault: treat the instruction as unusable
  DWORD stack = 0;
  saved_stack.store(&stack, std::memory_order_release);
  probing_thread.store(GetCurrentThreadId(), std::memory_order_release);
  const bool completed = OrvexGuardedCall(routine, argument, &stack) != 0;
  probing_thread.store(0, std::memory_order_release);
  saved_stack.store(nullptr, std::memory_order_release);
  RemoveVectoredExceptionHandler(handler);
  return completed;
}

}  // namespace orvex::platform
