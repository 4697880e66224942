// Headless dialogs: modal dialogs and their tab pages, each a window of the table with a model of
// its controls. A modal dialog belongs to the thread that runs it; every call that reaches it
// from another thread is queued for that thread, which carries the calls out one at a time
// between the events it handles, as a window's thread handles sent messages.
#pragma once

#include <orvex/platform.h>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

#include "dialog_controls.h"
#include "dialog_view.h"
#include "headless_window_table.h"

namespace orvex::headless {

// The work waiting for one thread that runs modal dialogs.
struct DialogThread {
  struct Task {
    OrvexWindow window;
    // Called once, without the table's lock: run true on the dialog's thread, or false when the
    // window went before its turn came.
    std::function<void(bool run)> work;
  };
  std::deque<Task> tasks;
  std::condition_variable wake;
  std::int32_t loops = 0;  // modal loops running on the thread, nested ones included

  // Wakes the thread, waiting for work or, in a drawn dialog, for input.
  void Wake() {
    wake.notify_all();
    WakeScreen();
  }
};

struct Dialog {
  std::int32_t templateId = 0;
  Controls controls;
  OrvexDialogProc procedure = nullptr;
  void* context = nullptr;
  std::thread::id thread;
  std::shared_ptr<DialogThread> queue;

  // A modal dialog: itself; a page: the modal dialog whose tab control holds it.
  OrvexWindow modal = 0;
  std::int32_t tabId = 0;
  std::int32_t tabIndex = -1;

  // Modal dialogs only.
  std::shared_ptr<DialogView> view;  // its picture on a screen; null for a headless dialog
  OrvexWindow owner = 0;
  bool open = false;  // INIT handled, the loop runs: WaitForDialog may return it
  bool ended = false;
  std::intptr_t result = 0;
};

// The caller holds the table's lock for the following three.
// The dialog or page behind a handle; null for any other window.
Dialog* FindDialog(WindowTable& table, OrvexWindow window);
// Whether a person could reach the control: it and its window shown and enabled.
bool Reachable(WindowTable& table, OrvexWindow window, const Control& control);
// Signalled whenever a modal dialog opens.
std::condition_variable& DialogOpened();

// The rectangle of a dialog or page, or of one of its controls (id non-zero), on the screen it
// is shown on; false for an unknown window or control. On the dialog's thread.
bool DialogScreenBox(OrvexWindow window, std::optional<std::int32_t> id, Box* box);

// Calls the window's procedure with the event, on the calling thread, without the lock.
void Notify(OrvexWindow window, const ControlEvent& event);
void Notify(OrvexWindow window, const std::optional<ControlEvent>& event);

// Whether something waits for the calling thread's dialogs: a call queued for them, or one of
// them ended. A loop of the toolkit's own (an open drop-down list) should then give way to the
// dialog's loop. Takes the table's lock.
bool DialogLoopWanted();

// The caller holds the table's lock for the following two.
// The calling thread's queue while it runs a modal loop; null on any other thread.
std::shared_ptr<DialogThread> ModalQueueOfThisThread();
// Carries out the first task of the calling thread's queue, releasing `lock` (the table's)
// meanwhile; a drawn dialog's picture then follows its model.
void RunNextTask(std::unique_lock<std::mutex>& lock, DialogThread& queue);

// Runs `body` on the thread of the window's dialog and returns its result: at once when called on
// that thread, else after that thread has carried it out. `failure` when the window is not a
// dialog or page, or went before the body could run. A thread that runs modal dialogs itself
// carries out what is queued for them while it waits, as a thread waiting in SendMessage handles
// the messages sent to its own windows: two dialog threads calling each other would otherwise
// wait for each other for ever.
template <typename R, typename Body>
R OnDialogThread(OrvexWindow window, R failure, Body&& body) {
  struct Call {
    bool finished = false;
    std::condition_variable done;
    std::shared_ptr<DialogThread> waiter;  // the caller's own queue, woken as well
  };
  WindowTable& table = Table();
  std::unique_lock lock(table.Mutex());
  Dialog* dialog = FindDialog(table, window);
  if (dialog == nullptr) return failure;
  if (dialog->thread == std::this_thread::get_id()) {
    lock.unlock();
    return body();
  }
  auto call = std::make_shared<Call>();
  call->waiter = ModalQueueOfThisThread();
  R result = failure;
  dialog->queue->tasks.push_back({window, [call, &result, &body, failure](bool run) {
                                    R value = failure;
                                    if (run) {
                                      try {
                                        value = body();
                                      } catch (...) {
                                      }
                                    }
                                    std::lock_guard relock(Table().Mutex());
                                    result = value;
                                    call->finished = true;
                                    call->done.notify_all();
                                    if (call->waiter) call->waiter->wake.notify_all();
                                  }});
  dialog->queue->Wake();
  while (!call->finished) {
    if (!call->waiter) {
      call->done.wait(lock);
    } else if (call->waiter->tasks.empty()) {
      call->waiter->wake.wait(lock);
    } else {
      RunNextTask(lock, *call->waiter);
    }
  }
  return result;
}

// Runs `use` on the control under the table's lock, on the dialog's thread, and sends the event
// it returns (if any) once the lock is released. `use(table, window, control)` returns a pair of
// the result and an optional event. `failure` for an unknown window or control.
template <typename R, typename Use>
R WithControl(OrvexWindow window, std::int32_t id, R failure, Use&& use) {
  return OnDialogThread(window, failure, [&]() -> R {
    std::pair<R, std::optional<ControlEvent>> outcome{failure, std::nullopt};
    {
      WindowTable& table = Table();
      std::lock_guard lock(table.Mutex());
      Dialog* dialog = FindDialog(table, window);
      Control* control = dialog != nullptr ? FindControl(dialog->controls, id) : nullptr;
      if (control == nullptr) return failure;
      outcome = use(table, *dialog, *control);
    }
    Notify(window, outcome.second);
    return outcome.first;
  });
}

}  // namespace orvex::headless
