// Headless dialogs: making modal dialogs and pages from templates, the modal loop, and the
// control operations that the dialogs' procedures use.

#pragma GCC visibility push(default)
#include <orvex/platform.h>
#pragma GCC visibility pop

#include <algorithm>
#include <map>
#include <memory>
#include <mutex>
#include <string_view>
#include <utility>
#include <vector>

#include "dialog_manager.h"
#include "headless_geometry.h"

namespace orvex::headless {
namespace {

// Dialog units to pixels for the 8-point dialog font at 96 dots an inch, whose average character
// is 6 x 13 pixels: a unit is a quarter of that width and an eighth of that height.
constexpr std::int32_t kFontWidth = 6;
constexpr std::int32_t kFontHeight = 13;

std::int32_t PixelsX(std::int32_t units) {
  return MulDiv(units, kFontWidth, 4);
}
std::int32_t PixelsY(std::int32_t units) {
  return MulDiv(units, kFontHeight, 8);
}

struct DialogThreads {
  std::map<std::thread::id, std::weak_ptr<DialogThread>> byThread;
  std::condition_variable opened;
};

DialogThreads& Threads() {
  static DialogThreads* const threads = new DialogThreads;
  return *threads;
}

// The queue of the calling thread, made on first use. The caller holds the table's lock.
std::shared_ptr<DialogThread> QueueOfThisThread() {
  auto& byThread = Threads().byThread;
  const std::thread::id self = std::this_thread::get_id();
  if (auto known = byThread.find(self); known != byThread.end()) {
    if (std::shared_ptr<DialogThread> queue = known->second.lock()) return queue;
  }
  std::erase_if(byThread, [](const auto& entry) { return entry.second.expired(); });
  auto queue = std::make_shared<DialogThread>();
  byThread[self] = queue;
  return queue;
}

// A window for the template, not yet in the table; null when the template is refused.
std::shared_ptr<Window> MakeDialogWindow(const OrvexDialogTemplate* dialogTemplate,
                                         OrvexDialogProc procedure, void* context) {
  if (dialogTemplate == nullptr || procedure == nullptr) return nullptr;
  std::optional<Controls> controls = MakeControls(dialogTemplate->items, dialogTemplate->itemCount);
  if (!controls) return nullptr;
  auto window = std::make_shared<Window>();
  window->title = dialogTemplate->title != nullptr ? dialogTemplate->title : "";
  window->outer = Box{0, 0, PixelsX(dialogTemplate->width), PixelsY(dialogTemplate->height)};
  window->dialog = std::make_shared<Dialog>();
  Dialog& dialog = *window->dialog;
  dialog.templateId = dialogTemplate->templateId;
  dialog.controls = std::move(*controls);
  dialog.procedure = procedure;
  dialog.context = context;
  return window;
}

WindowModel ModelOf(OrvexWindow handle, const Window& window) {
  const Dialog& dialog = *window.dialog;
  return {handle, window.visible, window.outer, dialog.tabId, dialog.controls};
}

// Brings the pictures of the drawn dialogs of the calling thread up to their models: the
// procedures and the automation API change the models, and nested dialogs share the thread.
void ShowModelsOfThisThread() {
  std::vector<std::pair<std::shared_ptr<DialogView>, DialogModel>> shown;
  {
    WindowTable& table = Table();
    std::lock_guard lock(table.Mutex());
    const std::thread::id self = std::this_thread::get_id();
    std::map<OrvexWindow, std::size_t> byModal;
    for (const auto& [handle, window] : table.All()) {
      const Dialog* dialog = window->dialog.get();
      if (dialog == nullptr || dialog->modal != handle || !dialog->view || dialog->thread != self) {
        continue;
      }
      byModal[handle] = shown.size();
      shown.push_back({dialog->view, DialogModel{ModelOf(handle, *window), {}}});
    }
    if (shown.empty()) return;
    for (const auto& [handle, window] : table.All()) {
      const Dialog* page = window->dialog.get();
      if (page == nullptr || page->modal == handle) continue;
      if (auto modal = byModal.find(page->modal); modal != byModal.end()) {
        shown[modal->second].second.pages.push_back(ModelOf(handle, *window));
      }
    }
  }
  for (auto& [view, model] : shown) view->Show(model);
}

// Carries out what reaches the dialog until it ends, then removes it with its pages. A drawn
// dialog waits for input as well, and its picture follows the model after everything it
// handled.
std::intptr_t RunModalLoop(OrvexWindow handle, const std::shared_ptr<Window>& window) {
  WindowTable& table = Table();
  Dialog& dialog = *window->dialog;
  const std::shared_ptr<DialogThread> queue = dialog.queue;
  std::shared_ptr<DialogView> view;
  bool endedInInit = false;
  {
    std::lock_guard lock(table.Mutex());
    view = dialog.view;
    endedInInit = dialog.ended;
  }
  if (view && !endedInInit) {
    ShowModelsOfThisThread();
    view->Present();
  }
  std::unique_lock lock(table.Mutex());
  if (!dialog.ended) {
    window->visible = true;
    dialog.open = true;
    Threads().opened.notify_all();
  }
  while (!dialog.ended) {
    if (queue->tasks.empty()) {
      if (view) {
        lock.unlock();
        view->Wait();
        ShowModelsOfThisThread();
        lock.lock();
        continue;
      }
      queue->wake.wait(lock, [&] { return dialog.ended || !queue->tasks.empty(); });
      if (dialog.ended) break;
    }
    RunNextTask(lock, *queue);
  }
  dialog.open = false;
  table.Remove(handle);
  if (Window* owner = table.Find(dialog.owner); owner != nullptr && --owner->ownedDialogs == 0) {
    owner->enabled = owner->enabledBeforeDialogs;
  }
  // What is still queued when the thread's outermost dialog ends has nobody left to run it.
  std::deque<DialogThread::Task> dropped;
  if (--queue->loops == 0) dropped.swap(queue->tasks);
  // The picture goes with the last reference, `view`, when this returns.
  dialog.view.reset();
  lock.unlock();
  for (DialogThread::Task& task : dropped) task.work(false);
  return dialog.result;
}

// The X window a new dialog is transient for: a drawn dialog's that owns it, or the owner
// itself when it is no window of this library but an X window id (ids are below 2^29). The
// caller holds the table's lock.
unsigned long OwnerXWindow(WindowTable& table, OrvexWindow owner, bool* foreign) {
  *foreign = false;
  if (owner == 0) return 0;
  if (const Window* window = table.Find(owner)) {
    const Dialog* dialog = window->dialog.get();
    return dialog != nullptr && dialog->view ? dialog->view->XWindow() : 0;
  }
  if (owner >= (OrvexWindow{1} << 29)) return 0;
  *foreign = true;
  return static_cast<unsigned long>(owner);
}

using Outcome = std::pair<std::int32_t, std::optional<ControlEvent>>;

// Runs `use(controls, control)` on a control of this kind (any kind for 0) on the dialog's
// thread; `failure` for an unknown window or control, a control of another kind, or when memory
// ran out (nothing is thrown across the C boundary).
template <typename Use>
std::int32_t Change(OrvexWindow window, std::int32_t id, std::int32_t kind, std::int32_t failure,
                    Use&& use) {
  try {
    return WithControl(window, id, failure,
                       [&](WindowTable&, Dialog& dialog, Control& control) -> Outcome {
                         if (kind != 0 && control.kind != kind) return {failure, std::nullopt};
                         return use(dialog.controls, control);
                       });
  } catch (...) {
    return failure;
  }
}

Outcome Done(std::int32_t result = 1) {
  return {result, std::nullopt};
}

// Where a headless dialog or page, or one of its controls, lies on the headless screen: a dialog
// where it was put, a page at its place in its tab control. The caller holds the table's lock.
std::optional<Box> HeadlessBox(WindowTable& table, OrvexWindow handle,
                               std::optional<std::int32_t> id) {
  Window* window = table.Find(handle);
  Dialog& dialog = *window->dialog;
  // Summed in 64 bits: windows may be placed anywhere in the 32-bit range.
  std::int64_t x = window->outer.x, y = window->outer.y;
  if (dialog.modal != handle) {
    Window* modal = table.Find(dialog.modal);
    if (modal == nullptr) return std::nullopt;
    x += modal->outer.x;
    y += modal->outer.y;
    if (const Control* tab = FindControl(modal->dialog->controls, dialog.tabId)) {
      x += PixelsX(tab->x);
      y += PixelsY(tab->y);
    }
  }
  if (!id) return Box{Clamp32(x), Clamp32(y), window->outer.width, window->outer.height};
  const Control* control = FindControl(dialog.controls, *id);
  if (control == nullptr) return std::nullopt;
  std::int32_t height = PixelsY(control->height);
  // A closed drop-down list is one line high; the template's height includes the list.
  if (control->kind == ORVEX_CONTROL_DROP_DOWN_LIST) height = std::min(height, kFontHeight + 8);
  return Box{Clamp32(x + PixelsX(control->x)), Clamp32(y + PixelsY(control->y)),
             PixelsX(control->width), height};
}

}  // namespace

bool DialogScreenBox(OrvexWindow window, std::optional<std::int32_t> id, Box* box) {
  return OnDialogThread(window, false, [&]() -> bool {
    std::shared_ptr<DialogView> view;
    std::optional<Box> found;
    {
      WindowTable& table = Table();
      std::lock_guard lock(table.Mutex());
      const Dialog* dialog = FindDialog(table, window);
      if (dialog == nullptr) return false;
      const Dialog* modal = FindDialog(table, dialog->modal);
      if (modal != nullptr && modal->view) {
        view = modal->view;
      } else {
        found = HeadlessBox(table, window, id);
      }
    }
    if (view) {
      // Windows moved or shown from another thread are where the model says.
      ShowModelsOfThisThread();
      found = id ? view->ItemBox(window, *id) : view->WindowBox(window);
    }
    if (!found) return false;
    *box = *found;
    return true;
  });
}

Dialog* FindDialog(WindowTable& table, OrvexWindow window) {
  Window* found = table.Find(window);
  return found != nullptr ? found->dialog.get() : nullptr;
}

std::shared_ptr<DialogThread> ModalQueueOfThisThread() {
  const auto& byThread = Threads().byThread;
  const auto known = byThread.find(std::this_thread::get_id());
  if (known == byThread.end()) return nullptr;
  std::shared_ptr<DialogThread> queue = known->second.lock();
  return queue && queue->loops > 0 ? queue : nullptr;
}

bool DialogLoopWanted() {
  WindowTable& table = Table();
  std::lock_guard lock(table.Mutex());
  const std::shared_ptr<DialogThread> queue = ModalQueueOfThisThread();
  if (!queue) return false;
  if (!queue->tasks.empty()) return true;
  const std::thread::id self = std::this_thread::get_id();
  for (const auto& [handle, window] : table.All()) {
    const Dialog* dialog = window->dialog.get();
    if (dialog != nullptr && dialog->modal == handle && dialog->thread == self && dialog->ended) {
      return true;
    }
  }
  return false;
}

void RunNextTask(std::unique_lock<std::mutex>& lock, DialogThread& queue) {
  DialogThread::Task task = std::move(queue.tasks.front());
  queue.tasks.pop_front();
  const bool live = FindDialog(Table(), task.window) != nullptr;
  lock.unlock();
  task.work(live);
  ShowModelsOfThisThread();
  lock.lock();
}

namespace {

// The window of the modal dialog a dialog or page belongs to, while that dialog has not ended.
const Window* OpenModalOf(WindowTable& table, const Dialog& dialog) {
  const Window* modal = table.Find(dialog.modal);
  return modal != nullptr && modal->dialog != nullptr && !modal->dialog->ended ? modal : nullptr;
}

}  // namespace

bool Reachable(WindowTable& table, OrvexWindow window, const Control& control) {
  const Window* shown = table.Find(window);
  if (shown == nullptr || shown->dialog == nullptr) return false;
  const Window* modal = OpenModalOf(table, *shown->dialog);
  return control.enabled && control.visible && shown->visible && modal != nullptr &&
         modal->visible && modal->enabled;
}

std::condition_variable& DialogOpened() {
  return Threads().opened;
}

void DialogWindowRemoved(Window& window) {
  Dialog& dialog = *window.dialog;
  dialog.ended = true;
  if (dialog.open) dialog.result = 0;
  dialog.open = false;
  if (dialog.queue) dialog.queue->Wake();
}

void Notify(OrvexWindow window, const ControlEvent& event) {
  OrvexDialogProc procedure = nullptr;
  void* context = nullptr;
  {
    WindowTable& table = Table();
    std::lock_guard lock(table.Mutex());
    // A dialog that has ended hears nothing more: events handled in the same turn after the
    // one that ended it (a key pressed right after OK) must not change its result.
    const Dialog* dialog = FindDialog(table, window);
    if (dialog != nullptr && OpenModalOf(table, *dialog) != nullptr) {
      procedure = dialog->procedure;
      context = dialog->context;
    }
  }
  if (procedure != nullptr) procedure(window, event.event, event.id, context);
}

void Notify(OrvexWindow window, const std::optional<ControlEvent>& event) {
  if (event) Notify(window, *event);
}

}  // namespace orvex::headless

using namespace orvex::headless;

extern "C" {

intptr_t OrvexPlatform_DialogBox(const OrvexDialogTemplate* dialogTemplate, OrvexWindow owner,
                                 OrvexDialogProc procedure, void* context) {
  try {
    std::shared_ptr<Window> window = MakeDialogWindow(dialogTemplate, procedure, context);
    if (window == nullptr) return -1;
    Dialog& dialog = *window->dialog;
    OrvexWindow handle = 0;
    unsigned long ownerX = 0;
    bool ownerIsForeign = false;
    WindowModel model;
    {
      WindowTable& table = Table();
      std::lock_guard lock(table.Mutex());
      dialog.thread = std::this_thread::get_id();
      dialog.queue = QueueOfThisThread();
      handle = table.Add(window);
      if (handle == 0) return -1;
      dialog.modal = handle;
      ++dialog.queue->loops;
      if (Window* ownerWindow = table.Find(owner)) {
        dialog.owner = owner;
        // Dialogs of one owner may end in any order: the last to end enables it as it was.
        if (ownerWindow->ownedDialogs++ == 0)
          ownerWindow->enabledBeforeDialogs = ownerWindow->enabled;
        ownerWindow->enabled = false;
      }
      ownerX = OwnerXWindow(table, owner, &ownerIsForeign);
      model = ModelOf(handle, *window);
    }
    if (std::shared_ptr<DialogView> view =
            MakeScreenDialog(*dialogTemplate, model, ownerX, ownerIsForeign)) {
      std::lock_guard lock(Table().Mutex());
      dialog.view = std::move(view);
    }
    Notify(handle, ControlEvent{ORVEX_DIALOG_INIT, 0});
    return RunModalLoop(handle, window);
  } catch (...) {
    return -1;
  }
}

OrvexWindow OrvexPlatform_CreateDialogPage(const OrvexDialogTemplate* pageTemplate,
                                           OrvexWindow dialog, int32_t tabId, int32_t tabIndex,
                                           OrvexDialogProc procedure, void* context) {
  try {
    return OnDialogThread(dialog, OrvexWindow{0}, [&]() -> OrvexWindow {
      std::shared_ptr<Window> window = MakeDialogWindow(pageTemplate, procedure, context);
      if (window == nullptr) return 0;
      OrvexWindow handle = 0;
      std::shared_ptr<DialogView> view;
      WindowModel model;
      {
        WindowTable& table = Table();
        std::lock_guard lock(table.Mutex());
        const Dialog* modal = FindDialog(table, dialog);
        if (modal == nullptr || modal->modal != dialog || modal->ended) return 0;
        view = modal->view;
        window->parent = dialog;
        Dialog& page = *window->dialog;
        page.thread = modal->thread;
        page.queue = modal->queue;
        page.modal = dialog;
        page.tabId = tabId;
        page.tabIndex = tabIndex;
        handle = table.Add(window);
        if (handle == 0) return 0;
        model = ModelOf(handle, *window);
      }
      if (view) view->AddPage(model, pageTemplate->width, pageTemplate->height);
      Notify(handle, ControlEvent{ORVEX_DIALOG_INIT, 0});
      return handle;
    });
  } catch (...) {
    return 0;
  }
}

int32_t OrvexPlatform_EndDialog(OrvexWindow dialog, intptr_t result) {
  WindowTable& table = Table();
  std::lock_guard lock(table.Mutex());
  Dialog* found = FindDialog(table, dialog);
  if (found == nullptr || found->modal != dialog) return 0;
  found->ended = true;
  found->result = result;
  found->queue->Wake();
  return 1;
}

int32_t OrvexPlatform_PostDialogTask(OrvexWindow window, OrvexDialogTask task, void* context) {
  if (task == nullptr) return 0;
  try {
    WindowTable& table = Table();
    std::lock_guard lock(table.Mutex());
    Dialog* dialog = FindDialog(table, window);
    if (dialog == nullptr) return 0;
    dialog->queue->tasks.push_back(
        {window, [task, context](bool run) { task(context, run ? 1 : 0); }});
    dialog->queue->Wake();
    return 1;
  } catch (...) {
    return 0;
  }
}

int32_t OrvexPlatform_SetWindowPosition(OrvexWindow window, int32_t x, int32_t y) {
  WindowTable& table = Table();
  std::lock_guard lock(table.Mutex());
  Window* found = table.Find(window);
  if (found == nullptr || (!found->hasPicture && found->dialog == nullptr)) return 0;
  found->outer.x = x;
  found->outer.y = y;
  return 1;
}

int32_t OrvexPlatform_IsWindowEnabled(OrvexWindow window) {
  WindowTable& table = Table();
  std::lock_guard lock(table.Mutex());
  const Window* found = table.Find(window);
  if (found == nullptr) return -1;
  return found->enabled ? 1 : 0;
}

int32_t OrvexPlatform_SetDialogItemText(OrvexWindow window, int32_t id, const char* text) {
  const std::string_view value = text != nullptr ? text : "";
  return Change(window, id, 0, 0, [&](Controls&, Control& control) -> Outcome {
    return {1, SetText(control, value)};
  });
}

int32_t OrvexPlatform_CheckItem(OrvexWindow window, int32_t id, int32_t checked) {
  return Change(window, id, 0, 0, [&](Controls&, Control& control) {
    if (control.kind != ORVEX_CONTROL_CHECK_BOX && control.kind != ORVEX_CONTROL_RADIO_BUTTON) {
      return Done(0);
    }
    control.checked = checked != 0;
    return Done();
  });
}

int32_t OrvexPlatform_EnableItem(OrvexWindow window, int32_t id, int32_t enable) {
  return Change(window, id, 0, 0, [&](Controls&, Control& control) {
    control.enabled = enable != 0;
    return Done();
  });
}

int32_t OrvexPlatform_ShowItem(OrvexWindow window, int32_t id, int32_t show) {
  return Change(window, id, 0, 0, [&](Controls&, Control& control) {
    control.visible = show != 0;
    return Done();
  });
}

int32_t OrvexPlatform_InsertListItem(OrvexWindow window, int32_t id, int32_t index,
                                     const char* text) {
  const std::string_view value = text != nullptr ? text : "";
  return Change(window, id, ORVEX_CONTROL_DROP_DOWN_LIST, -1, [&](Controls&, Control& control) {
    return Done(InsertItem(control, index, value));
  });
}

int32_t OrvexPlatform_DeleteListItem(OrvexWindow window, int32_t id, int32_t index) {
  return Change(window, id, ORVEX_CONTROL_DROP_DOWN_LIST, 0, [&](Controls&, Control& control) {
    return Done(DeleteItem(control, index) ? 1 : 0);
  });
}

int32_t OrvexPlatform_SetListSelection(OrvexWindow window, int32_t id, int32_t index) {
  return Change(window, id, ORVEX_CONTROL_DROP_DOWN_LIST, 0, [&](Controls&, Control& control) {
    const bool inside = index >= 0 && index < static_cast<std::int32_t>(control.items.size());
    control.selection = inside ? index : -1;
    return Done(inside || index == -1 ? 1 : 0);
  });
}

int32_t OrvexPlatform_SetTrackbarRange(OrvexWindow window, int32_t id, int32_t minimum,
                                       int32_t maximum) {
  return Change(window, id, ORVEX_CONTROL_TRACKBAR, 0, [&](Controls&, Control& control) {
    SetTrackbarRange(control, minimum, maximum);
    return Done();
  });
}

int32_t OrvexPlatform_SetTrackbarPosition(OrvexWindow window, int32_t id, int32_t position) {
  return Change(window, id, ORVEX_CONTROL_TRACKBAR, 0, [&](Controls&, Control& control) {
    SetTrackbarPosition(control, position);
    return Done();
  });
}

int32_t OrvexPlatform_SetTrackbarTickFrequency(OrvexWindow window, int32_t id, int32_t frequency) {
  return Change(window, id, ORVEX_CONTROL_TRACKBAR, 0, [&](Controls&, Control& control) {
    control.tickFrequency = frequency;
    return Done();
  });
}

int32_t OrvexPlatform_SetUpDownRange(OrvexWindow window, int32_t id, int32_t minimum,
                                     int32_t maximum) {
  return Change(window, id, ORVEX_CONTROL_UP_DOWN, 0, [&](Controls&, Control& control) {
    SetUpDownRange(control, minimum, maximum);
    return Done();
  });
}

int32_t OrvexPlatform_SetUpDownPosition(OrvexWindow window, int32_t id, int32_t position) {
  return Change(window, id, ORVEX_CONTROL_UP_DOWN, 0,
                [&](Controls& controls, Control& control) -> Outcome {
                  return {1, SetUpDownPosition(controls, control, position)};
                });
}

int32_t OrvexPlatform_SetUpDownBuddy(OrvexWindow window, int32_t id, int32_t buddyId) {
  return Change(window, id, ORVEX_CONTROL_UP_DOWN, 0, [&](Controls& controls, Control& control) {
    const Control* buddy = FindControl(controls, buddyId);
    if (buddy == nullptr || buddy->kind != ORVEX_CONTROL_EDIT) return Done(0);
    control.buddy = buddyId;
    return Done();
  });
}

int32_t OrvexPlatform_InsertTab(OrvexWindow window, int32_t id, int32_t index, const char* text) {
  const std::string_view value = text != nullptr ? text : "";
  return Change(window, id, ORVEX_CONTROL_TAB, -1, [&](Controls&, Control& control) {
    return Done(InsertItem(control, index, value));
  });
}

int32_t OrvexPlatform_GetTabSelection(OrvexWindow window, int32_t id) {
  return Change(window, id, ORVEX_CONTROL_TAB, -1,
                [&](Controls&, Control& control) { return Done(control.selection); });
}

}  // extern "C"
