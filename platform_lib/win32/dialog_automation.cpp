// Dialog automation on Windows: the camera library's modal dialogs are real dialog boxes, found
// among the process's windows and driven from another thread with the messages a person's
// input would cause. Every message is sent, so it is handled on the dialog's own thread and has
// taken effect when the call returns.
#include <orvex/platform.h>
// commctrl.h needs windows.h (from platform.h) first.
#include <commctrl.h>
#include <wchar.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "../text_copy.h"
#include "window_thread.h"

namespace orvex::win32 {
namespace {

// Set by the camera library on its dialogs and their controls (see its dialog host).
constexpr wchar_t kTemplateProperty[] = L"OrvexDialogTemplate";
constexpr wchar_t kTabProperty[] = L"OrvexDialogTab";
constexpr wchar_t kTickFrequencyProperty[] = L"OrvexTickFrequency";

// The only tab control whose pages GetDialogPage finds.
constexpr int kPageTabControl = 1001;

// A window's text, read with WM_GETTEXT (handled by the window's thread).
std::string TextOf(HWND window) {
  std::wstring wide(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
  const int length = GetWindowTextW(window, wide.data(), static_cast<int>(wide.size()));
  return Narrow(wide.data(), length);
}

std::int32_t TemplateOf(HWND window) {
  return static_cast<std::int32_t>(
      reinterpret_cast<std::intptr_t>(GetPropW(window, kTemplateProperty)));
}

// The kinds of control, told by window class and button style.
enum class Kind { Unknown, Button, GroupBox, Edit, List, Trackbar, UpDown, Tab };

Kind KindOf(HWND item) {
  wchar_t name[32] = {};
  GetClassNameW(item, name, 32);
  const auto is = [&](const wchar_t* expected) { return _wcsicmp(name, expected) == 0; };
  if (is(L"Button")) {
    const LONG type = GetWindowLongW(item, GWL_STYLE) & BS_TYPEMASK;
    return type == BS_GROUPBOX ? Kind::GroupBox : Kind::Button;
  }
  if (is(L"Edit")) return Kind::Edit;
  if (is(L"ComboBox")) return Kind::List;
  if (is(TRACKBAR_CLASSW)) return Kind::Trackbar;
  if (is(UPDOWN_CLASSW)) return Kind::UpDown;
  if (is(WC_TABCONTROLW)) return Kind::Tab;
  return Kind::Unknown;
}

// The control of a dialog or page, if it is of this kind (any for Unknown).
HWND Control(OrvexWindow window, std::int32_t id, Kind kind = Kind::Unknown) {
  if (window == nullptr || !IsWindow(window)) return nullptr;
  HWND item = GetDlgItem(window, id);
  if (item == nullptr || (kind != Kind::Unknown && KindOf(item) != kind)) return nullptr;
  return item;
}

// Whether a person could reach the control: it and every window it lies in are shown, it is
// enabled, and no modal dialog above its dialog has disabled that.
HWND Reachable(OrvexWindow window, std::int32_t id, Kind kind) {
  HWND item = Control(window, id, kind);
  if (item == nullptr || !IsWindowVisible(item) || !IsWindowEnabled(item)) return nullptr;
  if (!IsWindowEnabled(GetAncestor(item, GA_ROOT))) return nullptr;
  return item;
}

LRESULT Send(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
  return SendMessageW(window, message, wParam, lParam);
}

// Tells the control's dialog what a person's input told it.
void Notify(HWND item, WORD code) {
  Send(GetParent(item), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(item), code),
       reinterpret_cast<LPARAM>(item));
}

LRESULT NotifyTab(HWND tab, UINT code) {
  NMHDR header{tab, static_cast<UINT_PTR>(GetDlgCtrlID(tab)), code};
  return Send(GetParent(tab), WM_NOTIFY, header.idFrom, reinterpret_cast<LPARAM>(&header));
}

struct DialogSearch {
  DWORD process;
  std::vector<HWND> found;
};

// Modal dialogs of this process that have handled INIT and are shown.
BOOL CALLBACK CollectDialog(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<DialogSearch*>(context);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process == search->process && TemplateOf(window) != 0 && IsWindowVisible(window) &&
      (GetWindowLongW(window, GWL_STYLE) & WS_CHILD) == 0) {
    search->found.push_back(window);
  }
  return TRUE;
}

// The newest of them: made last as far as the window thread saw windows made, else the highest
// in the stacking order (where EnumWindows starts).
HWND NewestOpenDialog() {
  DialogSearch search{GetCurrentProcessId(), {}};
  EnumWindows(CollectDialog, reinterpret_cast<LPARAM>(&search));
  HWND newest = nullptr;
  std::uint64_t newestMade = 0;
  std::lock_guard lock(WindowThread::Get().mutex());
  for (HWND window : search.found) {
    const std::uint64_t made = WindowThread::Get().MadeAt(window);
    if (newest == nullptr || made > newestMade) {
      newest = window;
      newestMade = made;
    }
  }
  return newest;
}

}  // namespace
}  // namespace orvex::win32

using orvex::platform_text::CopyText;
using orvex::win32::Control;
using orvex::win32::Kind;
using orvex::win32::Reachable;
using orvex::win32::Send;

extern "C" {

OrvexWindow OrvexPlatform_WaitForDialog(int32_t timeoutMs) {
  orvex::win32::WindowThread::Get();  // from now on, it learns the order in which windows come
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    if (HWND dialog = orvex::win32::NewestOpenDialog()) return dialog;
    if (timeoutMs >= 0 && std::chrono::steady_clock::now() >= deadline) return nullptr;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

int32_t OrvexPlatform_GetTemplateId(OrvexWindow window) {
  return window != nullptr && IsWindow(window) ? orvex::win32::TemplateOf(window) : 0;
}

OrvexWindow OrvexPlatform_GetDialogPage(OrvexWindow dialog, int32_t tab) {
  HWND tabs = Control(dialog, orvex::win32::kPageTabControl, Kind::Tab);
  if (tabs == nullptr) return nullptr;
  for (HWND child = GetWindow(tabs, GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT)) {
    const auto tabPlusOne =
        reinterpret_cast<std::intptr_t>(GetPropW(child, orvex::win32::kTabProperty));
    if (tabPlusOne == std::intptr_t{tab} + 1 && orvex::win32::TemplateOf(child) != 0) return child;
  }
  return nullptr;
}

int32_t OrvexPlatform_IsWindowEnabled(OrvexWindow window) {
  if (window == nullptr || !IsWindow(window)) return -1;
  return IsWindowEnabled(window) ? 1 : 0;
}

int32_t OrvexPlatform_GetSystemLanguage(void) {
  return static_cast<int32_t>(GetSystemDefaultLangID());
}

int32_t OrvexPlatform_GetWindowText(OrvexWindow window, char* buffer, int32_t size) {
  if (window == nullptr || !IsWindow(window)) return -1;
  return CopyText(orvex::win32::TextOf(window), buffer, size);
}

int32_t OrvexPlatform_GetItemText(OrvexWindow window, int32_t id, char* buffer, int32_t size) {
  HWND item = Control(window, id);
  return item != nullptr ? CopyText(orvex::win32::TextOf(item), buffer, size) : -1;
}

int32_t OrvexPlatform_SetItemText(OrvexWindow window, int32_t id, const char* text) {
  HWND item = Reachable(window, id, Kind::Edit);
  if (item == nullptr) return 0;
  const std::string_view typed = text != nullptr ? text : "";
  const LONG style = GetWindowLongW(item, GWL_STYLE);
  if ((style & ES_READONLY) != 0) return 0;
  if ((style & ES_NUMBER) != 0 &&
      !std::all_of(typed.begin(), typed.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return 0;
  }
  // An edit tells its dialog of every change of its text (EN_CHANGE).
  const std::wstring wide = orvex::win32::Widen(typed);
  return Send(item, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str())) != FALSE ? 1 : 0;
}

// BM_CLICK presses and releases the button as the mouse would: a check box toggles, a radio
// button checks itself and unchecks its group, and the dialog hears BN_CLICKED.
int32_t OrvexPlatform_ClickItem(OrvexWindow window, int32_t id) {
  HWND item = Reachable(window, id, Kind::Button);
  if (item == nullptr) return 0;
  Send(item, BM_CLICK);
  return 1;
}

int32_t OrvexPlatform_IsItemChecked(OrvexWindow window, int32_t id) {
  HWND item = Control(window, id);
  if (item == nullptr) return -1;
  return orvex::win32::KindOf(item) == Kind::Button && Send(item, BM_GETCHECK) == BST_CHECKED ? 1
                                                                                              : 0;
}

int32_t OrvexPlatform_IsItemEnabled(OrvexWindow window, int32_t id) {
  HWND item = Control(window, id);
  if (item == nullptr) return -1;
  return IsWindowEnabled(item) ? 1 : 0;
}

int32_t OrvexPlatform_IsItemVisible(OrvexWindow window, int32_t id) {
  HWND item = Control(window, id);
  if (item == nullptr) return -1;
  return (GetWindowLongW(item, GWL_STYLE) & WS_VISIBLE) != 0 ? 1 : 0;
}

int32_t OrvexPlatform_GetListCount(OrvexWindow window, int32_t id) {
  HWND item = Control(window, id, Kind::List);
  return item != nullptr ? static_cast<int32_t>(Send(item, CB_GETCOUNT)) : -1;
}

int32_t OrvexPlatform_GetListSelection(OrvexWindow window, int32_t id) {
  HWND item = Control(window, id, Kind::List);
  return item != nullptr ? static_cast<int32_t>(Send(item, CB_GETCURSEL)) : -1;
}

int32_t OrvexPlatform_GetListItemText(OrvexWindow window, int32_t id, int32_t index, char* buffer,
                                      int32_t size) {
  HWND item = Control(window, id, Kind::List);
  if (item == nullptr || index < 0 || index >= Send(item, CB_GETCOUNT)) return -1;
  const LRESULT length = Send(item, CB_GETLBTEXTLEN, static_cast<WPARAM>(index));
  if (length < 0) return -1;
  std::wstring wide(static_cast<std::size_t>(length) + 1, L'\0');
  const LRESULT got =
      Send(item, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(wide.data()));
  if (got < 0) return -1;
  return CopyText(orvex::win32::Narrow(wide.data(), static_cast<int>(got)), buffer, size);
}

int32_t OrvexPlatform_SelectListItem(OrvexWindow window, int32_t id, int32_t index) {
  HWND item = Reachable(window, id, Kind::List);
  if (item == nullptr || index < 0 || index >= Send(item, CB_GETCOUNT)) return 0;
  Send(item, CB_SETCURSEL, static_cast<WPARAM>(index));
  orvex::win32::Notify(item, CBN_SELCHANGE);
  return 1;
}

int32_t OrvexPlatform_GetTrackbar(OrvexWindow window, int32_t id, int32_t* position,
                                  int32_t* minimum, int32_t* maximum, int32_t* tickFrequency) {
  HWND item = Control(window, id, Kind::Trackbar);
  if (item == nullptr) return 0;
  if (position != nullptr) *position = static_cast<int32_t>(Send(item, TBM_GETPOS));
  if (minimum != nullptr) *minimum = static_cast<int32_t>(Send(item, TBM_GETRANGEMIN));
  if (maximum != nullptr) *maximum = static_cast<int32_t>(Send(item, TBM_GETRANGEMAX));
  if (tickFrequency != nullptr) {
    // A trackbar draws a tick at every position until told otherwise.
    const auto frequency =
        reinterpret_cast<std::intptr_t>(GetPropW(item, orvex::win32::kTickFrequencyProperty));
    *tickFrequency = frequency != 0 ? static_cast<int32_t>(frequency) : 1;
  }
  return 1;
}

int32_t OrvexPlatform_MoveTrackbar(OrvexWindow window, int32_t id, int32_t position) {
  HWND item = Reachable(window, id, Kind::Trackbar);
  if (item == nullptr) return 0;
  Send(item, TBM_SETPOS, TRUE, position);  // kept within the range by the control
  const auto now = static_cast<WORD>(Send(item, TBM_GETPOS));
  const UINT scroll = (GetWindowLongW(item, GWL_STYLE) & TBS_VERT) != 0 ? WM_VSCROLL : WM_HSCROLL;
  Send(GetParent(item), scroll, MAKEWPARAM(TB_THUMBPOSITION, now), reinterpret_cast<LPARAM>(item));
  return 1;
}

int32_t OrvexPlatform_GetUpDown(OrvexWindow window, int32_t id, int32_t* position, int32_t* minimum,
                                int32_t* maximum, int32_t* buddyId) {
  HWND item = Control(window, id, Kind::UpDown);
  if (item == nullptr) return 0;
  INT low = 0;
  INT high = 0;
  Send(item, UDM_GETRANGE32, reinterpret_cast<WPARAM>(&low), reinterpret_cast<LPARAM>(&high));
  if (position != nullptr) *position = static_cast<int32_t>(Send(item, UDM_GETPOS32));
  if (minimum != nullptr) *minimum = low;
  if (maximum != nullptr) *maximum = high;
  if (buddyId != nullptr) {
    HWND buddy = reinterpret_cast<HWND>(Send(item, UDM_GETBUDDY));
    *buddyId = buddy != nullptr ? GetDlgCtrlID(buddy) : 0;
  }
  return 1;
}

int32_t OrvexPlatform_ClickUpDown(OrvexWindow window, int32_t id, int32_t up) {
  HWND item = Reachable(window, id, Kind::UpDown);
  if (item == nullptr) return 0;
  INT low = 0;
  INT high = 0;
  Send(item, UDM_GETRANGE32, reinterpret_cast<WPARAM>(&low), reinterpret_cast<LPARAM>(&high));
  const auto now = static_cast<std::int32_t>(Send(item, UDM_GETPOS32));
  // The upper arrow goes towards the maximum, whichever way the range runs.
  const std::int32_t step = (high >= low) == (up != 0) ? 1 : -1;
  const auto next = static_cast<std::int32_t>(
      std::clamp<std::int64_t>(std::int64_t{now} + step, std::min(low, high), std::max(low, high)));
  // The control shows its new position in its buddy, whose dialog hears the text change.
  if (next != now) Send(item, UDM_SETPOS32, 0, next);
  return 1;
}

int32_t OrvexPlatform_GetTabCount(OrvexWindow window, int32_t id) {
  HWND item = Control(window, id, Kind::Tab);
  return item != nullptr ? static_cast<int32_t>(Send(item, TCM_GETITEMCOUNT)) : -1;
}

int32_t OrvexPlatform_GetTabText(OrvexWindow window, int32_t id, int32_t index, char* buffer,
                                 int32_t size) {
  HWND item = Control(window, id, Kind::Tab);
  if (item == nullptr || index < 0 || index >= Send(item, TCM_GETITEMCOUNT)) return -1;
  wchar_t text[256] = {};
  TCITEMW tab{};
  tab.mask = TCIF_TEXT;
  tab.pszText = text;
  tab.cchTextMax = 256;
  if (!Send(item, TCM_GETITEMW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&tab))) {
    return -1;
  }
  return CopyText(orvex::win32::Narrow(tab.pszText, lstrlenW(tab.pszText)), buffer, size);
}

// As a click on a tab: the dialog may refuse the change (TCN_SELCHANGING), else it hears of it.
int32_t OrvexPlatform_SelectTab(OrvexWindow window, int32_t id, int32_t index) {
  HWND item = Reachable(window, id, Kind::Tab);
  if (item == nullptr || index < 0 || index >= Send(item, TCM_GETITEMCOUNT)) return 0;
  if (Send(item, TCM_GETCURSEL) == index) return 1;  // done, but tells nobody
  if (orvex::win32::NotifyTab(item, TCN_SELCHANGING) != FALSE) return 0;
  Send(item, TCM_SETCURSEL, static_cast<WPARAM>(index));
  orvex::win32::NotifyTab(item, TCN_SELCHANGE);
  return 1;
}

int32_t OrvexPlatform_GetItemRect(OrvexWindow window, int32_t id, int32_t* x, int32_t* y,
                                  int32_t* width, int32_t* height) {
  HWND item = Control(window, id);
  RECT rect;
  if (item == nullptr || !GetWindowRect(item, &rect)) return 0;
  if (x != nullptr) *x = rect.left;
  if (y != nullptr) *y = rect.top;
  if (width != nullptr) *width = rect.right - rect.left;
  if (height != nullptr) *height = rect.bottom - rect.top;
  return 1;
}

}  // extern "C"
