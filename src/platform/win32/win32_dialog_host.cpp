// Dialogs on Windows: the library's own dialog resources, run with DialogBoxParamA and
// CreateDialogParamA, their controls driven with the common controls' messages. Texts are UTF-8
// in the library and UTF-16 at the controls, whatever the system's code page.
#include <windows.h>
// commctrl.h needs windows.h first.
#include <commctrl.h>

#include <deque>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "platform/dialog_host.h"

namespace orvex::platform {
namespace {

// Asks a dialog's thread to run the tasks posted for it.
constexpr UINT kRunTasksMessage = WM_APP + 0x3F0;

// Window properties through which an application's test tools (OrvexPlatform's dialog
// automation) tell the dialogs apart: the resource a dialog or page was made from, set once it
// has handled its INIT; a page's tab plus one; a trackbar's tick frequency, which no message
// reads back.
constexpr wchar_t kTemplateProperty[] = L"OrvexDialogTemplate";
constexpr wchar_t kTabProperty[] = L"OrvexDialogTab";
constexpr wchar_t kTickFrequencyProperty[] = L"OrvexTickFrequency";

HWND ToWindow(WindowHandle window) {
  return reinterpret_cast<HWND>(window);
}
WindowHandle FromWindow(HWND window) {
  return reinterpret_cast<WindowHandle>(window);
}

std::wstring Widen(std::string_view text) {
  if (text.empty()) return {};
  const int length =
      MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length > 0 ? length : 0), L'\0');
  if (length > 0) {
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                        length);
  }
  return wide;
}

std::string Narrow(const std::wstring& wide) {
  if (wide.empty()) return {};
  const int length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                         nullptr, 0, nullptr, nullptr);
  std::string text(static_cast<std::size_t>(length > 0 ? length : 0), '\0');
  if (length > 0) {
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), text.data(), length,
                        nullptr, nullptr);
  }
  return text;
}

// The module that holds the dialog resources: the library by its name, or, where its code is
// linked into a program of another name, the module of this code.
HINSTANCE ResourceModule() {
  HMODULE module = GetModuleHandleA("OrvexSdk_QX218.dll");
  if (module == nullptr) {
    GetModuleHandleExA(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<LPCSTR>(&ResourceModule), &module);
  }
  return module;
}

void InitCommonControlsOnce() {
  static const bool done = [] {
    INITCOMMONCONTROLSEX classes{
        sizeof(INITCOMMONCONTROLSEX),
        ICC_STANDARD_CLASSES | ICC_TAB_CLASSES | ICC_BAR_CLASSES | ICC_UPDOWN_CLASS};
    return InitCommonControlsEx(&classes) != FALSE;
  }();
  (void)done;
}

// Tasks posted for one modal dialog and its pages.
struct TaskQueue {
  HWND dialog = nullptr;
  std::mutex mutex;
  std::deque<std::function<void()>> tasks;
};

// Which queue serves each live dialog and page window; read by posting threads.
std::mutex queuesMutex;
std::map<HWND, std::shared_ptr<TaskQueue>> queues;

void RegisterQueue(HWND window, std::shared_ptr<TaskQueue> queue) {
  std::lock_guard lock(queuesMutex);
  queues[window] = std::move(queue);
}

void UnregisterQueue(HWND window) {
  std::lock_guard lock(queuesMutex);
  queues.erase(window);
}

void RunPostedTasks(TaskQueue& queue) {
  std::deque<std::function<void()>> due;
  {
    std::lock_guard lock(queue.mutex);
    due.swap(queue.tasks);
  }
  for (auto& task : due) task();
}

// What a dialog or page window knows of itself, at DWLP_USER.
struct Binding {
  DialogProcedure* procedure = nullptr;
  std::span<const ControlTemplate> controls;
  std::shared_ptr<TaskQueue> queue;
  std::int32_t templateId = 0;
  std::int32_t tabControl = 0;
  std::int32_t tab = -1;
  std::list<Binding> pages;  // of a modal dialog; they go with it
};

Binding* BindingOf(HWND window) {
  return reinterpret_cast<Binding*>(GetWindowLongPtrA(window, DWLP_USER));
}

// The template's kind of a control; notification codes mean different things per class.
const ControlTemplate* FindControl(const Binding& binding, int id) {
  for (const ControlTemplate& control : binding.controls) {
    if (control.id == id) return &control;
  }
  return nullptr;
}

bool IsButton(ControlKind kind) {
  return kind == ControlKind::PushButton || kind == ControlKind::CheckBox ||
         kind == ControlKind::RadioButton;
}

// The event of a WM_COMMAND, if it is one the procedures hear about.
std::optional<DialogEvent> CommandEvent(const Binding& binding, WPARAM wParam) {
  const ControlTemplate* control = FindControl(binding, LOWORD(wParam));
  if (control == nullptr) return std::nullopt;
  const WORD code = HIWORD(wParam);
  if (IsButton(control->kind) && code == BN_CLICKED) return DialogEvent::Clicked;
  if (control->kind == ControlKind::Edit && code == EN_CHANGE) return DialogEvent::TextChanged;
  if (control->kind == ControlKind::DropDownList && code == CBN_SELCHANGE) {
    return DialogEvent::SelectionChanged;
  }
  return std::nullopt;
}

INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    auto* binding = reinterpret_cast<Binding*>(lParam);
    SetWindowLongPtrA(window, DWLP_USER, lParam);
    if (binding->queue->dialog == nullptr) binding->queue->dialog = window;
    RegisterQueue(window, binding->queue);
    if (binding->tab >= 0) {
      SetPropW(window, kTabProperty, reinterpret_cast<HANDLE>(std::intptr_t{binding->tab} + 1));
    }
    binding->procedure->OnDialogEvent(FromWindow(window), DialogEvent::Init, 0);
    SetPropW(window, kTemplateProperty,
             reinterpret_cast<HANDLE>(std::intptr_t{binding->templateId}));
    return TRUE;
  }
  Binding* binding = BindingOf(window);
  if (binding == nullptr) return FALSE;
  switch (message) {
    case WM_COMMAND:
      if (const std::optional<DialogEvent> event = CommandEvent(*binding, wParam)) {
        binding->procedure->OnDialogEvent(FromWindow(window), *event, LOWORD(wParam));
        return TRUE;
      }
      return FALSE;
    case WM_HSCROLL: {
      const int id = lParam != 0 ? GetDlgCtrlID(reinterpret_cast<HWND>(lParam)) : 0;
      const ControlTemplate* control = FindControl(*binding, id);
      if (control == nullptr || control->kind != ControlKind::Trackbar) return FALSE;
      binding->procedure->OnDialogEvent(FromWindow(window), DialogEvent::Scrolled, id);
      return TRUE;
    }
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lParam);
      if (header == nullptr || header->code != static_cast<UINT>(TCN_SELCHANGE)) return FALSE;
      binding->procedure->OnDialogEvent(FromWindow(window), DialogEvent::TabChanged,
                                        static_cast<std::int32_t>(header->idFrom));
      return TRUE;
    }
    case kRunTasksMessage:
      RunPostedTasks(*binding->queue);
      return TRUE;
    case WM_DESTROY:
      UnregisterQueue(window);
      RemovePropW(window, kTemplateProperty);
      RemovePropW(window, kTabProperty);
      for (const ControlTemplate& control : binding->controls) {
        if (control.kind == ControlKind::Trackbar) {
          RemovePropW(GetDlgItem(window, control.id), kTickFrequencyProperty);
        }
      }
      return FALSE;
    default:
      return FALSE;
  }
}

LRESULT SendItem(WindowHandle window, std::int32_t id, UINT message, WPARAM wParam, LPARAM lParam) {
  return SendDlgItemMessageW(ToWindow(window), id, message, wParam, lParam);
}

HWND Item(WindowHandle window, std::int32_t id) {
  return GetDlgItem(ToWindow(window), id);
}

class Win32DialogHost final : public DialogHost {
 public:
  std::int32_t SystemLanguage() override { return GetSystemDefaultLangID(); }

  std::intptr_t RunModal(const DialogTemplate& dialog, WindowHandle owner,
                         DialogProcedure& procedure) override {
    InitCommonControlsOnce();
    Binding binding;
    binding.procedure = &procedure;
    binding.controls = dialog.controls;
    binding.queue = std::make_shared<TaskQueue>();
    binding.templateId = dialog.id;
    const INT_PTR result =
        DialogBoxParamA(ResourceModule(), MAKEINTRESOURCEA(dialog.id), ToWindow(owner), &DialogProc,
                        reinterpret_cast<LPARAM>(&binding));
    // Tasks that came too late are dropped; the windows have gone from the registry.
    std::lock_guard lock(binding.queue->mutex);
    binding.queue->tasks.clear();
    return result;
  }

  WindowHandle CreatePage(const DialogTemplate& page, WindowHandle dialog, std::int32_t tabControl,
                          std::int32_t tab, DialogProcedure& procedure) override {
    Binding* parent = BindingOf(ToWindow(dialog));
    HWND tabWindow = Item(dialog, tabControl);
    if (parent == nullptr || tabWindow == nullptr) return 0;
    Binding& binding = parent->pages.emplace_back();
    binding.procedure = &procedure;
    binding.controls = page.controls;
    binding.queue = parent->queue;
    binding.templateId = page.id;
    binding.tabControl = tabControl;
    binding.tab = tab;
    return FromWindow(CreateDialogParamA(ResourceModule(), MAKEINTRESOURCEA(page.id), tabWindow,
                                         &DialogProc, reinterpret_cast<LPARAM>(&binding)));
  }

  bool EndDialog(WindowHandle dialog, std::intptr_t result) override {
    return ::EndDialog(ToWindow(dialog), result) != FALSE;
  }

  bool SetWindowPosition(WindowHandle window, std::int32_t x, std::int32_t y) override {
    return SetWindowPos(ToWindow(window), nullptr, x, y, 0, 0,
                        SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE) != FALSE;
  }

  bool ShowWindow(WindowHandle window, bool show) override {
    if (IsWindow(ToWindow(window)) == FALSE) return false;
    ::ShowWindow(ToWindow(window), show ? SW_SHOW : SW_HIDE);
    return true;
  }

  bool Post(WindowHandle window, std::function<void()> task) override {
    std::shared_ptr<TaskQueue> queue;
    {
      std::lock_guard lock(queuesMutex);
      auto found = queues.find(ToWindow(window));
      if (found == queues.end()) return false;
      queue = found->second;
    }
    {
      std::lock_guard lock(queue->mutex);
      queue->tasks.push_back(std::move(task));
    }
    return PostMessageA(queue->dialog, kRunTasksMessage, 0, 0) != FALSE;
  }

  bool SetItemText(WindowHandle window, std::int32_t id, std::string_view text) override {
    return SetDlgItemTextW(ToWindow(window), id, Widen(text).c_str()) != FALSE;
  }

  std::string GetItemText(WindowHandle window, std::int32_t id) override {
    HWND item = Item(window, id);
    if (item == nullptr) return {};
    std::wstring wide(static_cast<std::size_t>(GetWindowTextLengthW(item)) + 1, L'\0');
    const int length = GetWindowTextW(item, wide.data(), static_cast<int>(wide.size()));
    wide.resize(static_cast<std::size_t>(length > 0 ? length : 0));
    return Narrow(wide);
  }

  bool CheckItem(WindowHandle window, std::int32_t id, bool checked) override {
    return CheckDlgButton(ToWindow(window), id, checked ? BST_CHECKED : BST_UNCHECKED) != FALSE;
  }

  bool IsItemChecked(WindowHandle window, std::int32_t id) override {
    return IsDlgButtonChecked(ToWindow(window), id) == BST_CHECKED;
  }

  bool EnableItem(WindowHandle window, std::int32_t id, bool enable) override {
    HWND item = Item(window, id);
    if (item == nullptr) return false;
    EnableWindow(item, enable ? TRUE : FALSE);
    return true;
  }

  bool ShowItem(WindowHandle window, std::int32_t id, bool show) override {
    HWND item = Item(window, id);
    if (item == nullptr) return false;
    ::ShowWindow(item, show ? SW_SHOW : SW_HIDE);
    return true;
  }

  std::int32_t InsertListItem(WindowHandle window, std::int32_t id, std::int32_t index,
                              std::string_view text) override {
    const std::wstring wide = Widen(text);
    const LRESULT at = SendItem(window, id, CB_INSERTSTRING, static_cast<WPARAM>(index),
                                reinterpret_cast<LPARAM>(wide.c_str()));
    return at >= 0 ? static_cast<std::int32_t>(at) : -1;
  }

  bool DeleteListItem(WindowHandle window, std::int32_t id, std::int32_t index) override {
    return SendItem(window, id, CB_DELETESTRING, static_cast<WPARAM>(index), 0) != CB_ERR;
  }

  bool SetListSelection(WindowHandle window, std::int32_t id, std::int32_t index) override {
    const LRESULT at = SendItem(window, id, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    return index == -1 ? Item(window, id) != nullptr : at == index;
  }

  std::int32_t GetListSelection(WindowHandle window, std::int32_t id) override {
    return static_cast<std::int32_t>(SendItem(window, id, CB_GETCURSEL, 0, 0));
  }

  bool SetTrackbarRange(WindowHandle window, std::int32_t id, std::int32_t minimum,
                        std::int32_t maximum) override {
    if (Item(window, id) == nullptr) return false;
    SendItem(window, id, TBM_SETRANGEMAX, FALSE, maximum);
    SendItem(window, id, TBM_SETRANGEMIN, TRUE, minimum);
    return true;
  }

  bool SetTrackbarPosition(WindowHandle window, std::int32_t id, std::int32_t position) override {
    if (Item(window, id) == nullptr) return false;
    SendItem(window, id, TBM_SETPOS, TRUE, position);
    return true;
  }

  bool SetTrackbarTickFrequency(WindowHandle window, std::int32_t id,
                                std::int32_t frequency) override {
    HWND item = Item(window, id);
    if (item == nullptr) return false;
    SendItem(window, id, TBM_SETTICFREQ, static_cast<WPARAM>(frequency), 0);
    SetPropW(item, kTickFrequencyProperty, reinterpret_cast<HANDLE>(std::intptr_t{frequency}));
    return true;
  }

  std::int32_t GetTrackbarPosition(WindowHandle window, std::int32_t id) override {
    return static_cast<std::int32_t>(SendItem(window, id, TBM_GETPOS, 0, 0));
  }

  bool SetUpDownRange(WindowHandle window, std::int32_t id, std::int32_t minimum,
                      std::int32_t maximum) override {
    if (Item(window, id) == nullptr) return false;
    SendItem(window, id, UDM_SETRANGE32, static_cast<WPARAM>(minimum), maximum);
    return true;
  }

  bool SetUpDownPosition(WindowHandle window, std::int32_t id, std::int32_t position) override {
    if (Item(window, id) == nullptr) return false;
    SendItem(window, id, UDM_SETPOS32, 0, position);
    return true;
  }

  bool SetUpDownBuddy(WindowHandle window, std::int32_t id, std::int32_t buddyId) override {
    HWND buddy = Item(window, buddyId);
    if (Item(window, id) == nullptr || buddy == nullptr) return false;
    SendItem(window, id, UDM_SETBUDDY, reinterpret_cast<WPARAM>(buddy), 0);
    return true;
  }

  std::int32_t InsertTab(WindowHandle window, std::int32_t id, std::int32_t index,
                         std::string_view text) override {
    if (index < 0) index = static_cast<std::int32_t>(SendItem(window, id, TCM_GETITEMCOUNT, 0, 0));
    std::wstring wide = Widen(text);
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = wide.data();
    const LRESULT at = SendItem(window, id, TCM_INSERTITEMW, static_cast<WPARAM>(index),
                                reinterpret_cast<LPARAM>(&item));
    return at >= 0 ? static_cast<std::int32_t>(at) : -1;
  }

  std::int32_t GetTabSelection(WindowHandle window, std::int32_t id) override {
    return static_cast<std::int32_t>(SendItem(window, id, TCM_GETCURSEL, 0, 0));
  }
};

}  // namespace

DialogHost& DefaultDialogHost() {
  static Win32DialogHost host;
  return host;
}

}  // namespace orvex::platform
