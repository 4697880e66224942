#include <orvex/platform.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/dialog_host.h"

namespace orvex::platform {
namespace {

// The template kinds and styles are the OrvexPlatform ones, in the same order and bits.
static_assert(ORVEX_CONTROL_PUSH_BUTTON == static_cast<int>(ControlKind::PushButton) + 1);
static_assert(ORVEX_CONTROL_TAB == static_cast<int>(ControlKind::TabControl) + 1);
static_assert(ORVEX_CONTROL_DEFAULT == control_style::kDefault);
static_assert(ORVEX_CONTROL_DISABLED == control_style::kDisabled);
static_assert(ORVEX_CONTROL_HIDDEN == control_style::kHidden);
static_assert(ORVEX_CONTROL_READ_ONLY == control_style::kReadOnly);
static_assert(ORVEX_CONTROL_DIGITS_ONLY == control_style::kDigitsOnly);
static_assert(ORVEX_CONTROL_GROUP == control_style::kGroup);

OrvexWindow ToPlatform(WindowHandle window) {
  return static_cast<OrvexWindow>(window);
}

// A template as OrvexPlatform takes it; the items point into `dialog`, which must outlive it.
struct PlatformTemplate {
  explicit PlatformTemplate(const DialogTemplate& dialog) {
    items.reserve(dialog.controls.size());
    for (const ControlTemplate& control : dialog.controls) {
      items.push_back({control.id, static_cast<int32_t>(control.kind) + 1, control.style, control.x,
                       control.y, control.width, control.height, control.text});
    }
    description = {dialog.id,
                   dialog.title,
                   dialog.fontName,
                   dialog.pointSize,
                   dialog.width,
                   dialog.height,
                   static_cast<int32_t>(items.size()),
                   items.data()};
  }
  std::vector<OrvexDialogItem> items;
  OrvexDialogTemplate description{};
};

void Dispatch(OrvexWindow window, int32_t event, int32_t itemId, void* context) {
  DialogEvent translated;
  switch (event) {
    case ORVEX_DIALOG_INIT:
      translated = DialogEvent::Init;
      break;
    case ORVEX_DIALOG_CLICKED:
      translated = DialogEvent::Clicked;
      break;
    case ORVEX_DIALOG_TEXT_CHANGED:
      translated = DialogEvent::TextChanged;
      break;
    case ORVEX_DIALOG_SELECTION_CHANGED:
      translated = DialogEvent::SelectionChanged;
      break;
    case ORVEX_DIALOG_SCROLLED:
      translated = DialogEvent::Scrolled;
      break;
    case ORVEX_DIALOG_TAB_CHANGED:
      translated = DialogEvent::TabChanged;
      break;
    default:
      return;
  }
  static_cast<DialogProcedure*>(context)->OnDialogEvent(window, translated, itemId);
}

void RunTask(void* context, int32_t run) {
  std::unique_ptr<std::function<void()>> task(static_cast<std::function<void()>*>(context));
  if (run != 0) (*task)();
}

std::string Text(std::string_view text) {
  return std::string(text);
}

// Dialogs of the OrvexPlatform library: the headless dialog manager, driven by its automation
// API. The window handles are OrvexPlatform windows.
class PlatformDialogHost final : public DialogHost {
 public:
  std::int32_t SystemLanguage() override;
  std::intptr_t RunModal(const DialogTemplate& dialog, WindowHandle owner,
                         DialogProcedure& procedure) override;
  WindowHandle CreatePage(const DialogTemplate& page, WindowHandle dialog, std::int32_t tabControl,
                          std::int32_t tab, DialogProcedure& procedure) override;
  bool EndDialog(WindowHandle dialog, std::intptr_t result) override;
  bool SetWindowPosition(WindowHandle window, std::int32_t x, std::int32_t y) override;
  bool ShowWindow(WindowHandle window, bool show) override;
  bool Post(WindowHandle window, std::function<void()> task) override;

  bool SetItemText(WindowHandle window, std::int32_t id, std::string_view text) override;
  std::string GetItemText(WindowHandle window, std::int32_t id) override;
  bool CheckItem(WindowHandle window, std::int32_t id, bool checked) override;
  bool IsItemChecked(WindowHandle window, std::int32_t id) override;
  bool EnableItem(WindowHandle window, std::int32_t id, bool enable) override;
  bool ShowItem(WindowHandle window, std::int32_t id, bool show) override;
  std::int32_t InsertListItem(WindowHandle window, std::int32_t id, std::int32_t index,
                              std::string_view text) override;
  bool DeleteListItem(WindowHandle window, std::int32_t id, std::int32_t index) override;
  bool SetListSelection(WindowHandle window, std::int32_t id, std::int32_t index) override;
  std::int32_t GetListSelection(WindowHandle window, std::int32_t id) override;
  bool SetTrackbarRange(WindowHandle window, std::int32_t id, std::int32_t minimum,
                        std::int32_t maximum) override;
  bool SetTrackbarPosition(WindowHandle window, std::int32_t id, std::int32_t position) override;
  bool SetTrackbarTickFrequency(WindowHandle window, std::int32_t id,
                                std::int32_t frequency) override;
  std::int32_t GetTrackbarPosition(WindowHandle window, std::int32_t id) override;
  bool SetUpDownRange(WindowHandle window, std::int32_t id, std::int32_t minimum,
                      std::int32_t maximum) override;
  bool SetUpDownPosition(WindowHandle window, std::int32_t id, std::int32_t position) override;
  bool SetUpDownBuddy(WindowHandle window, std::int32_t id, std::int32_t buddyId) override;
  std::int32_t InsertTab(WindowHandle window, std::int32_t id, std::int32_t index,
                         std::string_view text) override;
  std::int32_t GetTabSelection(WindowHandle window, std::int32_t id) override;
};

}  // namespace

std::int32_t PlatformDialogHost::SystemLanguage() {
  return OrvexPlatform_GetSystemLanguage();
}

std::intptr_t PlatformDialogHost::RunModal(const DialogTemplate& dialog, WindowHandle owner,
                                           DialogProcedure& procedure) {
  const PlatformTemplate described(dialog);
  return OrvexPlatform_DialogBox(&described.description, ToPlatform(owner), &Dispatch, &procedure);
}

WindowHandle PlatformDialogHost::CreatePage(const DialogTemplate& page, WindowHandle dialog,
                                            std::int32_t tabControl, std::int32_t tab,
                                            DialogProcedure& procedure) {
  const PlatformTemplate described(page);
  return OrvexPlatform_CreateDialogPage(&described.description, ToPlatform(dialog), tabControl, tab,
                                        &Dispatch, &procedure);
}

bool PlatformDialogHost::EndDialog(WindowHandle dialog, std::intptr_t result) {
  return OrvexPlatform_EndDialog(ToPlatform(dialog), result) != 0;
}

bool PlatformDialogHost::SetWindowPosition(WindowHandle window, std::int32_t x, std::int32_t y) {
  return OrvexPlatform_SetWindowPosition(ToPlatform(window), x, y) != 0;
}

bool PlatformDialogHost::ShowWindow(WindowHandle window, bool show) {
  return OrvexPlatform_ShowWindow(ToPlatform(window), show ? 1 : 0) != 0;
}

bool PlatformDialogHost::Post(WindowHandle window, std::function<void()> task) {
  auto owned = std::make_unique<std::function<void()>>(std::move(task));
  if (OrvexPlatform_PostDialogTask(ToPlatform(window), &RunTask, owned.get()) == 0) return false;
  owned.release();  // RunTask owns it now
  return true;
}

bool PlatformDialogHost::SetItemText(WindowHandle window, std::int32_t id, std::string_view text) {
  return OrvexPlatform_SetDialogItemText(ToPlatform(window), id, Text(text).c_str()) != 0;
}

std::string PlatformDialogHost::GetItemText(WindowHandle window, std::int32_t id) {
  // The text may change between asking its length and reading it: read until it fitted.
  std::string text(64, '\0');
  for (;;) {
    const int32_t length = OrvexPlatform_GetItemText(ToPlatform(window), id, text.data(),
                                                     static_cast<int32_t>(text.size()));
    if (length < 0) return {};
    if (static_cast<std::size_t>(length) < text.size()) {
      text.resize(static_cast<std::size_t>(length));
      return text;
    }
    text.assign(static_cast<std::size_t>(length) + 1, '\0');
  }
}

bool PlatformDialogHost::CheckItem(WindowHandle window, std::int32_t id, bool checked) {
  return OrvexPlatform_CheckItem(ToPlatform(window), id, checked ? 1 : 0) != 0;
}

bool PlatformDialogHost::IsItemChecked(WindowHandle window, std::int32_t id) {
  return OrvexPlatform_IsItemChecked(ToPlatform(window), id) == 1;
}

bool PlatformDialogHost::EnableItem(WindowHandle window, std::int32_t id, bool enable) {
  return OrvexPlatform_EnableItem(ToPlatform(window), id, enable ? 1 : 0) != 0;
}

bool PlatformDialogHost::ShowItem(WindowHandle window, std::int32_t id, bool show) {
  return OrvexPlatform_ShowItem(ToPlatform(window), id, show ? 1 : 0) != 0;
}

std::int32_t PlatformDialogHost::InsertListItem(WindowHandle window, std::int32_t id,
                                                std::int32_t index, std::string_view text) {
  return OrvexPlatform_InsertListItem(ToPlatform(window), id, index, Text(text).c_str());
}

bool PlatformDialogHost::DeleteListItem(WindowHandle window, std::int32_t id, std::int32_t index) {
  return OrvexPlatform_DeleteListItem(ToPlatform(window), id, index) != 0;
}

bool PlatformDialogHost::SetListSelection(WindowHandle window, std::int32_t id,
                                          std::int32_t index) {
  return OrvexPlatform_SetListSelection(ToPlatform(window), id, index) != 0;
}

std::int32_t PlatformDialogHost::GetListSelection(WindowHandle window, std::int32_t id) {
  return OrvexPlatform_GetListSelection(ToPlatform(window), id);
}

bool PlatformDialogHost::SetTrackbarRange(WindowHandle window, std::int32_t id,
                                          std::int32_t minimum, std::int32_t maximum) {
  return OrvexPlatform_SetTrackbarRange(ToPlatform(window), id, minimum, maximum) != 0;
}

bool PlatformDialogHost::SetTrackbarPosition(WindowHandle window, std::int32_t id,
                                             std::int32_t position) {
  return OrvexPlatform_SetTrackbarPosition(ToPlatform(window), id, position) != 0;
}

bool PlatformDialogHost::SetTrackbarTickFrequency(WindowHandle window, std::int32_t id,
                                                  std::int32_t frequency) {
  return OrvexPlatform_SetTrackbarTickFrequency(ToPlatform(window), id, frequency) != 0;
}

std::int32_t PlatformDialogHost::GetTrackbarPosition(WindowHandle window, std::int32_t id) {
  int32_t position = 0;
  OrvexPlatform_GetTrackbar(ToPlatform(window), id, &position, nullptr, nullptr, nullptr);
  return position;
}

bool PlatformDialogHost::SetUpDownRange(WindowHandle window, std::int32_t id, std::int32_t minimum,
                                        std::int32_t maximum) {
  return OrvexPlatform_SetUpDownRange(ToPlatform(window), id, minimum, maximum) != 0;
}

bool PlatformDialogHost::SetUpDownPosition(WindowHandle window, std::int32_t id,
                                           std::int32_t position) {
  return OrvexPlatform_SetUpDownPosition(ToPlatform(window), id, position) != 0;
}

bool PlatformDialogHost::SetUpDownBuddy(WindowHandle window, std::int32_t id,
                                        std::int32_t buddyId) {
  return OrvexPlatform_SetUpDownBuddy(ToPlatform(window), id, buddyId) != 0;
}

std::int32_t PlatformDialogHost::InsertTab(WindowHandle window, std::int32_t id, std::int32_t index,
                                           std::string_view text) {
  return OrvexPlatform_InsertTab(ToPlatform(window), id, index, Text(text).c_str());
}

std::int32_t PlatformDialogHost::GetTabSelection(WindowHandle window, std::int32_t id) {
  return OrvexPlatform_GetTabSelection(ToPlatform(window), id);
}

DialogHost& DefaultDialogHost() {
  static PlatformDialogHost host;
  return host;
}

}  // namespace orvex::platform
