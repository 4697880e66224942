#include "platform/posix/posix_clock.h"

#include <pthread.h>
#include <sched.h>
#include <time.h>

#include <cstdlib>

namespace orvex::platform {
namespace {

std::uint64_t MonotonicMilliseconds() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<std::uint64_t>(now.tv_sec) * 1000u +
         static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
}

}  // namespace

// Both counters run from system start and wrap at 2^32, as their Windows namesakes do.
std::uint32_t PosixClock::TickCount() {
  return static_cast<std::uint32_t>(MonotonicMilliseconds());
}

std::uint32_t PosixClock::MultimediaTime() {
  return static_cast<std::uint32_t>(MonotonicMilliseconds());
}

void PosixClock::Sleep(std::uint32_t milliseconds) {
  timespec duration{static_cast<time_t>(milliseconds / 1000),
                    static_cast<long>(milliseconds % 1000) * 1000000L};
  while (nanosleep(&duration, &duration) != 0) {
  }
}

int PosixClock::Rand() {
  return std::rand();
}

void PosixClock::RaiseCurrentThreadPriority() {
  // Real-time scheduling needs privileges an ordinary user lacks; the reader then simply runs
  // at normal priority.
  sched_param param{};
  param.sched_priority = sched_get_priority_min(SCHED_RR);
  pthread_setschedparam(pthread_self(), SCHED_RR, &param);
}

}  // namespace orvex::platform
