#include "platform/fault_guard.h"

#include <csetjmp>
#include <csignal>
#include <mutex>

namespace orvex::platform {
namespace {

// The kernel reports an unknown opcode as SIGILL, and a privileged instruction or CPUID with
// CPUID faulting enabled as SIGSEGV.
constexpr int kSignals[] = {SIGILL, SIGSEGV};
constexpr int kSignalCount = sizeof(kSignals) / sizeof(kSignals[0]);

// Installing process-wide handlers is serialised; the landing point is per thread so that a
// fault on some other thread while a probe runs goes to the handler that was there before.
std::mutex probe_mutex;
struct sigaction previous_actions[kSignalCount];
thread_local sigjmp_buf* landing = nullptr;

void PassOn(int signal, siginfo_t* info, void* context) {
  for (int i = 0; i < kSignalCount; ++i) {
    if (kSignals[i] != signal) continue;
    const struct sigaction& previous = previous_actions[i];
    if (previous.sa_flags & SA_SIGINFO) {
      previous.sa_sigaction(signal, info, context);
      return;
    }
    if (previous.sa_handler != SIG_DFL && previous.sa_handler != SIG_IGN) {
      previous.sa_handler(signal);
      return;
    }
    // Default action: put it back, and the faulting instruction faults again on return.
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    sigaction(signal, &fallback, nullptr);
    return;
  }
}

void OnFault(int signal, siginfo_t* info, void* context) {
  if (sigjmp_buf* target = landing) siglongjmp(*target, 1);
  PassOn(signal, info, context);
}

}  // namespace

bool RunGuarded(GuardedRoutine routine, void* argument) {
  std::lock_guard lock(probe_mutex);

  struct sigaction action {};
  action.sa_sigaction = OnFault;
  action.sa_flags = SA_SIGINFO;
  sigemptyset(&action.sa_mask);
  for (int i = 0; i < kSignalCount; ++i) sigaction(kSignals[i], &action, &previous_actions[i]);

  sigjmp_buf target;
  // The signal mask is saved so that the jump out of the handler unblocks the signal again.
  volatile bool completed = false;
  if (sigsetjmp(target, 1) == 0) {
    landing = &target;
    routine(argument);
    completed = true;
  }
  landing = nullptr;

  for (int i = 0; i < kSignalCount; ++i) sigaction(kSignals[i], &previous_actions[i], nullptr);
  return completed;
}

}  // namespace orvex::platform
