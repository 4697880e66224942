#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/window_system.h"

namespace orvex::platform {

// The controls a dialog template may hold, as the window classes of the common controls.
enum class ControlKind : std::uint8_t {
  PushButton,    // "Button"
  CheckBox,      // "Button", checks and unchecks itself when clicked
  RadioButton,   // "Button", checks itself and unchecks the rest of its group when clicked
  GroupBox,      // "Button"
  Label,         // "Static"
  Edit,          // "Edit"
  DropDownList,  // "ComboBox" without an edit field
  Trackbar,      // "msctls_trackbar32", horizontal
  UpDown,        // "msctls_updown32", showing its position in its buddy edit
  TabControl,    // "SysTabControl32"
};

// Style bits of a control in a template.
namespace control_style {
inline constexpr std::uint32_t kDefault = 0x01;     // the default push button
inline constexpr std::uint32_t kDisabled = 0x02;    // made disabled
inline constexpr std::uint32_t kHidden = 0x04;      // made invisible
inline constexpr std::uint32_t kReadOnly = 0x08;    // an edit nobody can type into
inline constexpr std::uint32_t kDigitsOnly = 0x10;  // an edit that takes only typed digits
inline constexpr std::uint32_t kGroup = 0x20;       // starts a group (of radio buttons)
}  // namespace control_style

// The id of controls that nobody addresses (labels, group boxes).
inline constexpr std::int32_t kNoControlId = -1;

struct ControlTemplate {
  std::int32_t id;
  ControlKind kind;
  std::uint32_t style;
  std::int16_t x, y, width, height;  // dialog units
  const char* text;                  // UTF-8
};

// A dialog or tab page as its resource describes it.
struct DialogTemplate {
  std::int32_t id;  // the resource id
  bool page;        // a child page of a tab control, else a modal dialog with a caption
  const char* title;
  const char* fontName;
  std::int32_t pointSize;
  std::int16_t width, height;  // dialog units
  std::span<const ControlTemplate> controls;
};

// What a dialog or page procedure hears about.
enum class DialogEvent : std::uint8_t {
  Init,              // WM_INITDIALOG; the control id is 0
  Clicked,           // BN_CLICKED of a push button, check box or radio button
  TextChanged,       // EN_CHANGE: an edit's text was typed or set
  SelectionChanged,  // CBN_SELCHANGE: the user chose a list item
  Scrolled,          // WM_HSCROLL from a trackbar the user moved
  TabChanged,        // TCN_SELCHANGE: the user chose another tab
};

// The procedure of a dialog or page; called on the dialog's own thread.
class DialogProcedure {
 public:
  virtual void OnDialogEvent(WindowHandle window, DialogEvent event, std::int32_t control) = 0;

 protected:
  ~DialogProcedure() = default;
};

// Modal dialogs and tab pages made from templates, and their controls by id. Every operation
// but Post is made on the dialog's own thread, from its procedures; those on controls return
// false (or -1, or an empty text) for an unknown window or control.
class DialogHost {
 public:
  virtual ~DialogHost() = default;

  // GetSystemDefaultLangID: 1041 for Japanese, 1033 for English (United States), ...
  virtual std::int32_t SystemLanguage() = 0;

  // DialogBoxParamA: makes the dialog, sends it Init and runs it on the calling thread until
  // EndDialog, with the owner (0: none) disabled meanwhile. The EndDialog result; -1 when the
  // dialog could not be made.
  virtual std::intptr_t RunModal(const DialogTemplate& dialog, WindowHandle owner,
                                 DialogProcedure& procedure) = 0;
  // CreateDialogParamA: the page for tab `tab` of the dialog's tab control `tabControl`, as its
  // child, hidden; it has received Init when this returns. 0 when it could not be made.
  virtual WindowHandle CreatePage(const DialogTemplate& page, WindowHandle dialog,
                                  std::int32_t tabControl, std::int32_t tab,
                                  DialogProcedure& procedure) = 0;
  // Ends the modal dialog once the event being handled returns.
  virtual bool EndDialog(WindowHandle dialog, std::intptr_t result) = 0;
  // SetWindowPos without resizing: pixels in the parent's client area.
  virtual bool SetWindowPosition(WindowHandle window, std::int32_t x, std::int32_t y) = 0;
  virtual bool ShowWindow(WindowHandle window, bool show) = 0;

  // Queues `task` for the thread of the window's dialog and returns at once: it never waits for
  // that thread. False (the task dropped) for a window that is gone; a task still queued when
  // its dialog ends is dropped without running.
  virtual bool Post(WindowHandle window, std::function<void()> task) = 0;

  // --- controls ---
  // SetDlgItemText: an edit tells its procedure of the change (TextChanged) before this returns.
  virtual bool SetItemText(WindowHandle window, std::int32_t id, std::string_view text) = 0;
  virtual std::string GetItemText(WindowHandle window, std::int32_t id) = 0;
  // SetDlgItemInt, GetDlgItemInt (signed or unsigned): decimal text. A text that is not a number
  // reads as 0.
  bool SetItemInt(WindowHandle window, std::int32_t id, std::int32_t value);
  bool SetItemUnsigned(WindowHandle window, std::int32_t id, std::uint32_t value);
  std::int32_t GetItemInt(WindowHandle window, std::int32_t id);
  std::uint32_t GetItemUnsigned(WindowHandle window, std::int32_t id);
  // CheckDlgButton, IsDlgButtonChecked: check boxes and radio buttons, without any event.
  virtual bool CheckItem(WindowHandle window, std::int32_t id, bool checked) = 0;
  virtual bool IsItemChecked(WindowHandle window, std::int32_t id) = 0;
  virtual bool EnableItem(WindowHandle window, std::int32_t id, bool enable) = 0;
  virtual bool ShowItem(WindowHandle window, std::int32_t id, bool show) = 0;

  // Drop-down lists (CB_ADDSTRING, CB_INSERTSTRING, CB_DELETESTRING, CB_SETCURSEL,
  // CB_GETCURSEL); none of them sends an event. Indexes are -1 for none or on failure.
  std::int32_t AddListItem(WindowHandle window, std::int32_t id, std::string_view text) {
    return InsertListItem(window, id, -1, text);
  }
  virtual std::int32_t InsertListItem(WindowHandle window, std::int32_t id, std::int32_t index,
                                      std::string_view text) = 0;
  virtual bool DeleteListItem(WindowHandle window, std::int32_t id, std::int32_t index) = 0;
  virtual bool SetListSelection(WindowHandle window, std::int32_t id, std::int32_t index) = 0;
  virtual std::int32_t GetListSelection(WindowHandle window, std::int32_t id) = 0;

  // Trackbars (TBM_SETRANGEMIN/MAX, TBM_SETPOS, TBM_SETTICFREQ, TBM_GETPOS): the position is
  // kept within the range; none of them sends an event.
  virtual bool SetTrackbarRange(WindowHandle window, std::int32_t id, std::int32_t minimum,
                                std::int32_t maximum) = 0;
  virtual bool SetTrackbarPosition(WindowHandle window, std::int32_t id, std::int32_t position) = 0;
  virtual bool SetTrackbarTickFrequency(WindowHandle window, std::int32_t id,
                                        std::int32_t frequency) = 0;
  virtual std::int32_t GetTrackbarPosition(WindowHandle window, std::int32_t id) = 0;

  // Up-downs (UDM_SETRANGE32, UDM_SETPOS32, UDM_SETBUDDY with an edit of the same window).
  virtual bool SetUpDownRange(WindowHandle window, std::int32_t id, std::int32_t minimum,
                              std::int32_t maximum) = 0;
  virtual bool SetUpDownPosition(WindowHandle window, std::int32_t id, std::int32_t position) = 0;
  virtual bool SetUpDownBuddy(WindowHandle window, std::int32_t id, std::int32_t buddyId) = 0;

  // Tab controls (TCM_INSERTITEM, TCM_GETCURSEL): the index, or -1.
  virtual std::int32_t InsertTab(WindowHandle window, std::int32_t id, std::int32_t index,
                                 std::string_view text) = 0;
  virtual std::int32_t GetTabSelection(WindowHandle window, std::int32_t id) = 0;
};

// The number in a control's text as GetDlgItemInt reads it: leading and trailing blanks allowed,
// a minus sign only when signed; nullopt when the text is not a number that fits.
std::optional<std::int64_t> ParseDialogNumber(std::string_view text, bool isSigned);

// The dialog host of the process: the platform's own unless a test installed another, which
// stays in force until it installs another or null (back to the platform's). The installer keeps
// ownership.
DialogHost& Dialogs();
void InstallDialogHost(DialogHost* host);
// The platform's own host (posix/ or win32/), made on first use.
DialogHost& DefaultDialogHost();

}  // namespace orvex::platform
