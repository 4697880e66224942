#include "x11_dialog_display.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <thread>

// Xlib's private header (the per-display error hooks and flags) goes last, and its min and max
// macros with it.
// clang-format off
#include <X11/Xlibint.h>
#undef min
#undef max
// clang-format on

namespace orvex::headless::x11 {
namespace {

constexpr auto kProbeLimit = std::chrono::seconds(2);

struct State {
  std::mutex mutex;
  bool probed = false;
  Display* display = nullptr;
  std::atomic<bool> dead{false};
  std::atomic<bool> allowed{true};
  std::thread::id seatHolder;
  int seatDepth = 0;
  bool initialised = false;
  int wakeRead = -1;
  std::atomic<int> wakeWrite{-1};
  std::atomic<int> lastError{0};
};

// Never destroyed: threads may still wake the screen while the process exits.
State& TheState() {
  static State* const state = new State;
  return *state;
}

// Every protocol error of the connection ends here, and goes no further.
Bool RecordError(Display*, XErrorEvent* event, xError*) {
  int none = 0;
  TheState().lastError.compare_exchange_strong(none, event->error_code);
  return False;
}

// Xlib ends the process after an I/O error unless the display has an exit handler that returns.
void KeepProcess(Display*, void*) {
  TheState().dead = true;
}

// Opens $DISPLAY on a thread of its own; the connection, or null when none answered in time. A
// connection that comes too late is closed by that thread.
Display* OpenWithinLimit() {
  const char* name = std::getenv("DISPLAY");
  if (name == nullptr || *name == '\0') return nullptr;
  struct Probe {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    bool abandoned = false;
    Display* display = nullptr;
  };
  auto probe = std::make_shared<Probe>();
  try {
    std::thread([probe] {
      Display* display = XOpenDisplay(nullptr);
      std::lock_guard lock(probe->mutex);
      probe->finished = true;
      if (probe->abandoned) {
        if (display != nullptr) XCloseDisplay(display);
        return;
      }
      probe->display = display;
      probe->done.notify_all();
    }).detach();
  } catch (const std::exception&) {
    return nullptr;
  }
  std::unique_lock lock(probe->mutex);
  if (!probe->done.wait_for(lock, kProbeLimit, [&] { return probe->finished; })) {
    probe->abandoned = true;
    return nullptr;
  }
  return probe->display;
}

void TrapErrors(Display* display) {
  for (int code = 1; code < 256; ++code) XESetWireToError(display, code, RecordError);
  XSetIOErrorExitHandler(display, KeepProcess, nullptr);
}

// Whether the server closed the connection while nobody used it. Xlib would find out on the
// next request and call the process's I/O error handler; marked as Xlib marks a broken
// connection, nothing is sent on it any more.
bool HungUp(Display* display) {
  pollfd socket{ConnectionNumber(display), POLLIN, 0};
  if (poll(&socket, 1, 0) <= 0) return false;
  bool gone = (socket.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
  if (!gone) {
    char byte;
    gone = recv(socket.fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT) == 0;
  }
  if (gone) display->flags = display->flags | XlibDisplayIOError;
  return gone;
}

bool MakeWakePipe(State& state) {
  int ends[2];
  if (pipe2(ends, O_NONBLOCK | O_CLOEXEC) != 0) return false;
  state.wakeRead = ends[0];
  state.wakeWrite = ends[1];
  return true;
}

}  // namespace

bool DisplayUsable() {
  State& state = TheState();
  if (!state.allowed) return false;
  std::lock_guard lock(state.mutex);
  if (!state.probed) {
    state.probed = true;
    state.display = OpenWithinLimit();
    if (state.display != nullptr) TrapErrors(state.display);
  }
  return state.display != nullptr && !state.dead;
}

void AllowDrawing(bool allow) {
  TheState().allowed = allow;
}

bool TakeSeat(void (*initialise)(Display*)) {
  if (!DisplayUsable()) return false;
  State& state = TheState();
  std::lock_guard lock(state.mutex);
  const std::thread::id self = std::this_thread::get_id();
  if (state.seatDepth > 0 && state.seatHolder != self) return false;
  if (state.seatDepth == 0 && HungUp(state.display)) state.dead = true;
  if (state.dead) return false;
  if (!state.initialised) {
    if (!MakeWakePipe(state)) return false;
    initialise(state.display);
    state.initialised = true;
  }
  state.seatHolder = self;
  ++state.seatDepth;
  return true;
}

void LeaveSeat() {
  State& state = TheState();
  std::lock_guard lock(state.mutex);
  if (state.seatDepth > 0 && state.seatHolder == std::this_thread::get_id()) --state.seatDepth;
}

Display* SeatDisplay() {
  return TheState().display;
}

void ClearError() {
  TheState().lastError = 0;
}

int LastError() {
  return TheState().lastError;
}

int WakeDescriptor() {
  return TheState().wakeRead;
}

void Wake() {
  const int descriptor = TheState().wakeWrite.load();
  if (descriptor < 0) return;
  const char byte = 1;
  // A full pipe is readable already: the wake-up is not lost.
  [[maybe_unused]] const ssize_t written = write(descriptor, &byte, 1);
}

void DrainWakes() {
  char bytes[64];
  while (read(TheState().wakeRead, bytes, sizeof bytes) > 0) {
  }
}

}  // namespace orvex::headless::x11
