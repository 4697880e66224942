// Dialog automation: finding the open dialogs and driving their controls from another thread as
// a person would. Every query and action runs on the dialog's own thread.

#pragma GCC visibility push(default)
#include <orvex/platform.h>
#pragma GCC visibility pop

#include <algorithm>
#include <chrono>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>

#include "dialog_manager.h"
#include "text_copy.h"

namespace orvex::headless {
namespace {

// The only tab control whose pages GetDialogPage finds.
constexpr std::int32_t kPageTabControl = 1001;

using platform_text::CopyText;

std::optional<std::string_view> ItemAt(const Control& control, std::int32_t index) {
  if (index < 0 || index >= static_cast<std::int32_t>(control.items.size())) return std::nullopt;
  return control.items[static_cast<std::size_t>(index)];
}

using Outcome = std::pair<std::int32_t, std::optional<ControlEvent>>;

// A query of a control of this kind (any for 0) on the dialog's thread.
template <typename Read>
std::int32_t Query(OrvexWindow window, std::int32_t id, std::int32_t kind, std::int32_t failure,
                   Read&& read) {
  try {
    return WithControl(window, id, failure, [&](WindowTable&, Dialog& dialog, Control& control) {
      if (kind != 0 && control.kind != kind) return Outcome{failure, std::nullopt};
      return Outcome{read(dialog.controls, control), std::nullopt};
    });
  } catch (...) {
    return failure;
  }
}

// What a person does to a control of this kind: refused (0) unless the person can reach it.
// `act(controls, control)` returns 1 or 0 and the event it causes.
template <typename Action>
std::int32_t Act(OrvexWindow window, std::int32_t id, std::int32_t kind, Action&& act) {
  try {
    return WithControl(
        window, id, std::int32_t{0},
        [&](WindowTable& table, Dialog& dialog, Control& control) -> Outcome {
          if ((kind != 0 && control.kind != kind) || !Reachable(table, window, control)) {
            return {0, std::nullopt};
          }
          return act(dialog.controls, control);
        });
  } catch (...) {
    return 0;
  }
}

Outcome Refused() {
  return {0, std::nullopt};
}

Outcome Caused(std::int32_t event, const Control& control) {
  return {1, ControlEvent{event, control.id}};
}

// The newest modal dialog that is open; the caller holds the table's lock.
OrvexWindow NewestOpenDialog(WindowTable& table) {
  const auto& all = table.All();
  for (auto it = all.rbegin(); it != all.rend(); ++it) {
    const Dialog* dialog = it->second->dialog.get();
    if (dialog != nullptr && dialog->modal == it->first && dialog->open) return it->first;
  }
  return 0;
}

}  // namespace
}  // namespace orvex::headless

using namespace orvex::headless;

extern "C" {

OrvexWindow OrvexPlatform_WaitForDialog(int32_t timeoutMs) {
  try {
    WindowTable& table = Table();
    std::unique_lock lock(table.Mutex());
    OrvexWindow found = 0;
    const auto opened = [&] { return (found = NewestOpenDialog(table)) != 0; };
    if (timeoutMs < 0) {
      DialogOpened().wait(lock, opened);
    } else {
      DialogOpened().wait_for(lock, std::chrono::milliseconds(timeoutMs), opened);
    }
    return found;
  } catch (...) {
    return 0;
  }
}

int32_t OrvexPlatform_GetTemplateId(OrvexWindow window) {
  WindowTable& table = Table();
  std::lock_guard lock(table.Mutex());
  const Dialog* dialog = FindDialog(table, window);
  return dialog != nullptr ? dialog->templateId : 0;
}

OrvexWindow OrvexPlatform_GetDialogPage(OrvexWindow dialog, int32_t tab) {
  WindowTable& table = Table();
  std::lock_guard lock(table.Mutex());
  for (const auto& [handle, window] : table.All()) {
    const Dialog* page = window->dialog.get();
    if (page != nullptr && handle != dialog && page->modal == dialog &&
        page->tabId == kPageTabControl && page->tabIndex == tab) {
      return handle;
    }
  }
  return 0;
}

int32_t OrvexPlatform_GetWindowText(OrvexWindow window, char* buffer, int32_t size) {
  WindowTable& table = Table();
  std::lock_guard lock(table.Mutex());
  const Window* found = table.Find(window);
  return found != nullptr ? CopyText(found->title, buffer, size) : -1;
}

int32_t OrvexPlatform_GetItemText(OrvexWindow window, int32_t id, char* buffer, int32_t size) {
  return Query(window, id, 0, -1,
               [&](Controls&, Control& control) { return CopyText(control.text, buffer, size); });
}

int32_t OrvexPlatform_SetItemText(OrvexWindow window, int32_t id, const char* text) {
  const std::string_view typed = text != nullptr ? text : "";
  return Act(window, id, ORVEX_CONTROL_EDIT, [&](Controls&, Control& control) {
    return AcceptsTyped(control, typed) ? Outcome{1, SetText(control, typed)} : Refused();
  });
}

int32_t OrvexPlatform_ClickItem(OrvexWindow window, int32_t id) {
  return Act(window, id, 0, [&](Controls& controls, Control& control) {
    return Click(controls, control) ? Caused(ORVEX_DIALOG_CLICKED, control) : Refused();
  });
}

int32_t OrvexPlatform_IsItemChecked(OrvexWindow window, int32_t id) {
  return Query(window, id, 0, -1, [](Controls&, Control& control) { return control.checked; });
}

int32_t OrvexPlatform_IsItemEnabled(OrvexWindow window, int32_t id) {
  return Query(window, id, 0, -1, [](Controls&, Control& control) { return control.enabled; });
}

int32_t OrvexPlatform_IsItemVisible(OrvexWindow window, int32_t id) {
  return Query(window, id, 0, -1, [](Controls&, Control& control) { return control.visible; });
}

int32_t OrvexPlatform_GetListCount(OrvexWindow window, int32_t id) {
  return Query(window, id, ORVEX_CONTROL_DROP_DOWN_LIST, -1, [](Controls&, Control& control) {
    return static_cast<std::int32_t>(control.items.size());
  });
}

int32_t OrvexPlatform_GetListSelection(OrvexWindow window, int32_t id) {
  return Query(window, id, ORVEX_CONTROL_DROP_DOWN_LIST, -1,
               [](Controls&, Control& control) { return control.selection; });
}

int32_t OrvexPlatform_GetListItemText(OrvexWindow window, int32_t id, int32_t index, char* buffer,
                                      int32_t size) {
  return Query(window, id, ORVEX_CONTROL_DROP_DOWN_LIST, -1, [&](Controls&, Control& control) {
    const std::optional<std::string_view> item = ItemAt(control, index);
    return item ? CopyText(*item, buffer, size) : -1;
  });
}

int32_t OrvexPlatform_SelectListItem(OrvexWindow window, int32_t id, int32_t index) {
  return Act(window, id, ORVEX_CONTROL_DROP_DOWN_LIST, [&](Controls&, Control& control) {
    if (!ItemAt(control, index)) return Refused();
    control.selection = index;
    return Caused(ORVEX_DIALOG_SELECTION_CHANGED, control);
  });
}

int32_t OrvexPlatform_GetTrackbar(OrvexWindow window, int32_t id, int32_t* position,
                                  int32_t* minimum, int32_t* maximum, int32_t* tickFrequency) {
  return Query(window, id, ORVEX_CONTROL_TRACKBAR, 0, [&](Controls&, Control& control) {
    if (position != nullptr) *position = control.position;
    if (minimum != nullptr) *minimum = control.minimum;
    if (maximum != nullptr) *maximum = control.maximum;
    if (tickFrequency != nullptr) *tickFrequency = control.tickFrequency;
    return 1;
  });
}

int32_t OrvexPlatform_MoveTrackbar(OrvexWindow window, int32_t id, int32_t position) {
  return Act(window, id, ORVEX_CONTROL_TRACKBAR, [&](Controls&, Control& control) {
    SetTrackbarPosition(control, position);
    return Caused(ORVEX_DIALOG_SCROLLED, control);
  });
}

int32_t OrvexPlatform_GetUpDown(OrvexWindow window, int32_t id, int32_t* position, int32_t* minimum,
                                int32_t* maximum, int32_t* buddyId) {
  return Query(window, id, ORVEX_CONTROL_UP_DOWN, 0, [&](Controls& controls, Control& control) {
    const std::int32_t current = UpDownPosition(controls, control);
    if (position != nullptr) *position = current;
    if (minimum != nullptr) *minimum = control.minimum;
    if (maximum != nullptr) *maximum = control.maximum;
    if (buddyId != nullptr) *buddyId = control.buddy;
    return 1;
  });
}

int32_t OrvexPlatform_ClickUpDown(OrvexWindow window, int32_t id, int32_t up) {
  return Act(window, id, ORVEX_CONTROL_UP_DOWN, [&](Controls& controls, Control& control) {
    const std::int32_t now = UpDownPosition(controls, control);
    // The upper arrow goes towards the maximum, whichever way the range runs.
    const std::int32_t step = (control.maximum >= control.minimum) == (up != 0) ? 1 : -1;
    const auto next = static_cast<std::int32_t>(std::clamp<std::int64_t>(
        std::int64_t{now} + step, std::min(control.minimum, control.maximum),
        std::max(control.minimum, control.maximum)));
    if (next == now) return Outcome{1, std::nullopt};
    return Outcome{1, SetUpDownPosition(controls, control, next)};
  });
}

int32_t OrvexPlatform_GetTabCount(OrvexWindow window, int32_t id) {
  return Query(window, id, ORVEX_CONTROL_TAB, -1, [](Controls&, Control& control) {
    return static_cast<std::int32_t>(control.items.size());
  });
}

int32_t OrvexPlatform_GetTabText(OrvexWindow window, int32_t id, int32_t index, char* buffer,
                                 int32_t size) {
  return Query(window, id, ORVEX_CONTROL_TAB, -1, [&](Controls&, Control& control) {
    const std::optional<std::string_view> tab = ItemAt(control, index);
    return tab ? CopyText(*tab, buffer, size) : -1;
  });
}

int32_t OrvexPlatform_SelectTab(OrvexWindow window, int32_t id, int32_t index) {
  return Act(window, id, ORVEX_CONTROL_TAB, [&](Controls&, Control& control) {
    if (!ItemAt(control, index)) return Refused();
    // Choosing the tab that is already chosen is done, but tells nobody.
    if (control.selection == index) return Outcome{1, std::nullopt};
    control.selection = index;
    return Caused(ORVEX_DIALOG_TAB_CHANGED, control);
  });
}

int32_t OrvexPlatform_GetItemRect(OrvexWindow window, int32_t id, int32_t* x, int32_t* y,
                                  int32_t* width, int32_t* height) {
  Box box;
  try {
    if (!DialogScreenBox(window, id, &box)) return 0;
  } catch (...) {
    return 0;
  }
  if (x != nullptr) *x = box.x;
  if (y != nullptr) *y = box.y;
  if (width != nullptr) *width = box.width;
  if (height != nullptr) *height = box.height;
  return 1;
}

int32_t OrvexPlatform_SetDialogsOnScreen(int32_t onScreen) {
  AllowDialogsOnScreen(onScreen != 0);
  return 1;
}

int32_t OrvexPlatform_GetDialogsOnScreen(void) {
  try {
    return DialogsOnScreen() ? 1 : 0;
  } catch (...) {
    return 0;
  }
}

}  // extern "C"
