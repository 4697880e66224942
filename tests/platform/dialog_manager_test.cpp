#include <gtest/gtest.h>
#include <orvex/platform.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int32_t kOk = 1;
constexpr int32_t kEdit = 10;
constexpr int32_t kDigits = 11;
constexpr int32_t kReadOnly = 12;
constexpr int32_t kTrackbar = 20;
constexpr int32_t kUpDown = 21;
constexpr int32_t kList = 30;
constexpr int32_t kCheck = 40;
constexpr int32_t kRadioA = 41;
constexpr int32_t kRadioB = 42;
constexpr int32_t kRadioC = 43;
constexpr int32_t kDisabled = 44;
constexpr int32_t kHidden = 45;
constexpr int32_t kTab = 1001;
constexpr int32_t kPageButton = 50;

const OrvexDialogItem kDialogItems[] = {
    {kOk, ORVEX_CONTROL_PUSH_BUTTON, ORVEX_CONTROL_DEFAULT, 0, 0, 50, 14, "OK"},
    {kEdit, ORVEX_CONTROL_EDIT, 0, 0, 0, 40, 12, "start"},
    {kDigits, ORVEX_CONTROL_EDIT, ORVEX_CONTROL_DIGITS_ONLY, 0, 0, 40, 12, nullptr},
    {kReadOnly, ORVEX_CONTROL_EDIT, ORVEX_CONTROL_READ_ONLY, 0, 0, 40, 12, nullptr},
    {kTrackbar, ORVEX_CONTROL_TRACKBAR, 0, 0, 0, 100, 14, nullptr},
    {kUpDown, ORVEX_CONTROL_UP_DOWN, 0, 0, 0, 10, 12, nullptr},
    {kList, ORVEX_CONTROL_DROP_DOWN_LIST, 0, 0, 0, 60, 80, nullptr},
    {kCheck, ORVEX_CONTROL_CHECK_BOX, ORVEX_CONTROL_GROUP, 0, 0, 40, 10, "Check"},
    {kRadioA, ORVEX_CONTROL_RADIO_BUTTON, ORVEX_CONTROL_GROUP, 0, 0, 40, 10, "A"},
    {kRadioB, ORVEX_CONTROL_RADIO_BUTTON, 0, 0, 0, 40, 10, "B"},
    {kRadioC, ORVEX_CONTROL_RADIO_BUTTON, ORVEX_CONTROL_GROUP, 0, 0, 40, 10, "C"},
    {kDisabled, ORVEX_CONTROL_PUSH_BUTTON, ORVEX_CONTROL_DISABLED, 0, 0, 40, 14, "Off"},
    {kHidden, ORVEX_CONTROL_CHECK_BOX, ORVEX_CONTROL_HIDDEN, 0, 0, 40, 10, "Unseen"},
    {kTab, ORVEX_CONTROL_TAB, 0, 0, 0, 200, 100, nullptr},
};
const OrvexDialogTemplate kDialog = {900, "Títle ✓", "MS Shell Dlg",          8,
                                     200, 150,       std::size(kDialogItems), kDialogItems};

const OrvexDialogItem kPageItems[] = {
    {kPageButton, ORVEX_CONTROL_PUSH_BUTTON, 0, 0, 0, 40, 14, "Page"},
};
const OrvexDialogTemplate kPage = {901, nullptr, "MS Shell Dlg", 8, 150, 80, 1, kPageItems};

struct Event {
  OrvexWindow window;
  int32_t event;
  int32_t id;
  std::thread::id thread;
};

// Runs a modal dialog on a thread of its own, recording every event its procedures receive.
class RunningDialog {
 public:
  using Handler = std::function<void(RunningDialog&, OrvexWindow, int32_t event, int32_t id)>;

  explicit RunningDialog(Handler handler = nullptr, OrvexWindow owner = 0)
      : handler_(std::move(handler)) {
    result_ = std::async(std::launch::async, [this, owner] {
      thread_ = std::this_thread::get_id();
      return OrvexPlatform_DialogBox(&kDialog, owner, &Procedure, this);
    });
    handle = OrvexPlatform_WaitForDialog(10000);
  }
  ~RunningDialog() {
    if (result_.valid()) {
      OrvexPlatform_EndDialog(handle, 0);
      result_.wait();
    }
  }

  intptr_t Result() { return result_.get(); }

  std::vector<Event> Events() {
    std::lock_guard lock(mutex_);
    return events_;
  }
  int Count(int32_t event, int32_t id) {
    int n = 0;
    for (const Event& e : Events()) n += e.event == event && e.id == id;
    return n;
  }
  // The events all came on the dialog's thread.
  bool AllOnDialogThread() {
    for (const Event& e : Events()) {
      if (e.thread != thread_) return false;
    }
    return true;
  }

  static void Procedure(OrvexWindow window, int32_t event, int32_t id, void* context) {
    auto* self = static_cast<RunningDialog*>(context);
    {
      std::lock_guard lock(self->mutex_);
      self->events_.push_back({window, event, id, std::this_thread::get_id()});
    }
    if (self->handler_) self->handler_(*self, window, event, id);
  }

  OrvexWindow handle = 0;

 private:
  Handler handler_;
  std::future<intptr_t> result_;
  std::thread::id thread_;
  std::mutex mutex_;
  std::vector<Event> events_;
};

std::string ItemText(OrvexWindow window, int32_t id) {
  char buffer[64] = {};
  return OrvexPlatform_GetItemText(window, id, buffer, sizeof buffer) >= 0 ? buffer : "<none>";
}

TEST(DialogManagerTest, ModalDialogBlocksItsCallerAndDisablesTheOwnerUntilItEnds) {
  const OrvexWindow owner = OrvexPlatform_CreateMessageWindow();
  RunningDialog dialog(
      [](RunningDialog&, OrvexWindow window, int32_t event, int32_t id) {
        if (event == ORVEX_DIALOG_CLICKED && id == kOk) OrvexPlatform_EndDialog(window, 7);
      },
      owner);
  ASSERT_NE(dialog.handle, 0u);
  EXPECT_EQ(OrvexPlatform_GetTemplateId(dialog.handle), 900);
  char title[64];
  EXPECT_EQ(OrvexPlatform_GetWindowText(dialog.handle, title, sizeof title), 10);
  EXPECT_STREQ(title, "Títle ✓");
  // Cut at a character boundary: "Tí" is three bytes, "Tít" four.
  EXPECT_EQ(OrvexPlatform_GetWindowText(dialog.handle, title, 4), 10);
  EXPECT_STREQ(title, "Tí");
  EXPECT_EQ(OrvexPlatform_IsWindowEnabled(owner), 0);
  EXPECT_EQ(dialog.Count(ORVEX_DIALOG_INIT, 0), 1);

  EXPECT_EQ(OrvexPlatform_ClickItem(dialog.handle, kOk), 1);
  EXPECT_EQ(dialog.Result(), 7);
  EXPECT_TRUE(dialog.AllOnDialogThread());
  EXPECT_EQ(OrvexPlatform_IsWindowEnabled(owner), 1);
  EXPECT_EQ(OrvexPlatform_IsWindow(dialog.handle), 0);
  EXPECT_EQ(OrvexPlatform_WaitForDialog(0), 0u);
  EXPECT_EQ(OrvexPlatform_ClickItem(dialog.handle, kOk), 0);
  EXPECT_EQ(OrvexPlatform_GetTemplateId(dialog.handle), 0);

  // Two dialogs over one owner, ending in either order: the owner is enabled once both ended.
  for (const bool firstEndsFirst : {true, false}) {
    SCOPED_TRACE(firstEndsFirst ? "first ends first" : "last ends first");
    auto first = std::make_unique<RunningDialog>(nullptr, owner);
    auto second = std::make_unique<RunningDialog>(nullptr, owner);
    // Until the second has opened, the newest open dialog is the first.
    for (int wait = 0; wait < 5000 && second->handle == first->handle; ++wait) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      second->handle = OrvexPlatform_WaitForDialog(0);
    }
    ASSERT_NE(second->handle, first->handle);
    (firstEndsFirst ? first : second).reset();
    EXPECT_EQ(OrvexPlatform_IsWindowEnabled(owner), 0);
    (firstEndsFirst ? second : first).reset();
    EXPECT_EQ(OrvexPlatform_IsWindowEnabled(owner), 1);
  }
  OrvexPlatform_DestroyWindow(owner);
}

TEST(DialogManagerTest, ADialogThatEndedHearsNothingMore) {
  int32_t clickAfterEnd = -1;
  RunningDialog dialog([&](RunningDialog&, OrvexWindow window, int32_t event, int32_t id) {
    if (event == ORVEX_DIALOG_CLICKED && id == kOk) {
      OrvexPlatform_EndDialog(window, 1);
      // A key handled in the same turn, after the one that ended it.
      clickAfterEnd = OrvexPlatform_ClickItem(window, kRadioB);
    }
  });
  ASSERT_NE(dialog.handle, 0u);
  EXPECT_EQ(OrvexPlatform_ClickItem(dialog.handle, kOk), 1);
  EXPECT_EQ(dialog.Result(), 1);
  EXPECT_EQ(clickAfterEnd, 0);
  EXPECT_EQ(dialog.Count(ORVEX_DIALOG_CLICKED, kRadioB), 0);
}

TEST(DialogManagerTest, EditsTrackbarsAndUpDownsBehaveAsTheCommonControls) {
  RunningDialog dialog;
  const OrvexWindow w = dialog.handle;
  ASSERT_NE(w, 0u);

  // Typing: a digits-only edit refuses anything but digits, a read-only one everything.
  EXPECT_EQ(OrvexPlatform_SetItemText(w, kEdit, "-5 x"), 1);
  EXPECT_EQ(ItemText(w, kEdit), "-5 x");
  EXPECT_EQ(OrvexPlatform_SetItemText(w, kDigits, "-5"), 0);
  EXPECT_EQ(OrvexPlatform_SetItemText(w, kDigits, "1a"), 0);
  EXPECT_EQ(OrvexPlatform_SetItemText(w, kDigits, "042"), 1);
  EXPECT_EQ(ItemText(w, kDigits), "042");
  EXPECT_EQ(OrvexPlatform_SetItemText(w, kReadOnly, "1"), 0);
  EXPECT_EQ(OrvexPlatform_SetDialogItemText(w, kReadOnly, "set"), 1);
  EXPECT_EQ(ItemText(w, kReadOnly), "set");
  EXPECT_EQ(OrvexPlatform_SetItemText(w, kOk, "x"), 0);
  EXPECT_EQ(dialog.Count(ORVEX_DIALOG_TEXT_CHANGED, kEdit), 1);
  EXPECT_EQ(dialog.Count(ORVEX_DIALOG_TEXT_CHANGED, kDigits), 1);
  EXPECT_EQ(dialog.Count(ORVEX_DIALOG_TEXT_CHANGED, kReadOnly), 1);

  // A trackbar keeps its position within its range, also when the range shrinks under it.
  int32_t position = 0, minimum = 0, maximum = 0, frequency = 0, buddy = 0;
  ASSERT_EQ(OrvexPlatform_GetTrackbar(w, kTrackbar, &position, &minimum, &maximum, &frequency), 1);
  EXPECT_EQ(maximum, 100);
  EXPECT_EQ(frequency, 1);
  EXPECT_EQ(OrvexPlatform_SetTrackbarRange(w, kTrackbar, -10, 63), 1);
  EXPECT_EQ(OrvexPlatform_SetTrackbarTickFrequency(w, kTrackbar, 7), 1);
  EXPECT_EQ(OrvexPlatform_MoveTrackbar(w, kTrackbar, 500), 1);
  OrvexPlatform_GetTrackbar(w, kTrackbar, &position, &minimum, &maximum, &frequency);
  EXPECT_EQ(position, 63);
  EXPECT_EQ(minimum, -10);
  EXPECT_EQ(frequency, 7);
  EXPECT_EQ(OrvexPlatform_SetTrackbarPosition(w, kTrackbar, -99), 1);
  OrvexPlatform_GetTrackbar(w, kTrackbar, &position, nullptr, nullptr, nullptr);
  EXPECT_EQ(position, -10);
  OrvexPlatform_SetTrackbarRange(w, kTrackbar, 0, 5);
  OrvexPlatform_GetTrackbar(w, kTrackbar, &position, nullptr, nullptr, nullptr);
  EXPECT_EQ(position, 0);
  EXPECT_EQ(dialog.Count(ORVEX_DIALOG_SCROLLED, kTrackbar), 1);  // setting never scrolls

  // An up-down shows its position in its buddy and reads a typed number back from it.
  EXPECT_EQ(OrvexPlatform_SetUpDownBuddy(w, kUpDown, kOk), 0);
  EXPECT_EQ(OrvexPlatform_SetUpDownRange(w, kUpDown, -255, 255), 1);
  EXPECT_EQ(OrvexPlatform_SetUpDownBuddy(w, kUpDown, kEdit), 1);
  EXPECT_EQ(OrvexPlatform_SetUpDownPosition(w, kUpDown, 300), 1);
  EXPECT_EQ(ItemText(w, kEdit), "255");
  EXPECT_EQ(dialog.Count(ORVEX_DIALOG_TEXT_CHANGED, kEdit), 2);
  OrvexPlatform_SetItemText(w, kEdit, " -17 ");
  ASSERT_EQ(OrvexPlatform_GetUpDown(w, kUpDown, &position, &minimum, &maximum, &buddy), 1);
  EXPECT_EQ(position, -17);
  EXPECT_EQ(minimum, -255);
  EXPECT_EQ(buddy, kEdit);
  OrvexPlatform_SetItemText(w, kEdit, "999");  // outside the range: the last position stays
  OrvexPlatform_GetUpDown(w, kUpDown, &position, nullptr, nullptr, nullptr);
  EXPECT_EQ(position, -17);
  EXPECT_TRUE(dialog.AllOnDialogThread());
}

TEST(DialogManagerTest, ButtonsListsAndTabsAnswerAPersonsClicks) {
  RunningDialog dialog;
  const OrvexWindow w = dialog.handle;
  ASSERT_NE(w, 0u);

  // Radio buttons uncheck the others of their group only; a check box toggles.
  EXPECT_EQ(OrvexPlatform_CheckItem(w, kRadioC, 1), 1);
  EXPECT_EQ(OrvexPlatform_ClickItem(w, kRadioA), 1);
  EXPECT_EQ(OrvexPlatform_ClickItem(w, kRadioB), 1);
  EXPECT_EQ(OrvexPlatform_IsItemChecked(w, kRadioA), 0);
  EXPECT_EQ(OrvexPlatform_IsItemChecked(w, kRadioB), 1);
  EXPECT_EQ(OrvexPlatform_IsItemChecked(w, kRadioC), 1);
  EXPECT_EQ(OrvexPlatform_ClickItem(w, kCheck), 1);
  EXPECT_EQ(OrvexPlatform_IsItemChecked(w, kCheck), 1);
  EXPECT_EQ(OrvexPlatform_ClickItem(w, kCheck), 1);
  EXPECT_EQ(OrvexPlatform_IsItemChecked(w, kCheck), 0);
  EXPECT_EQ(dialog.Count(ORVEX_DIALOG_CLICKED, kCheck), 2);

  // Disabled and hidden controls cannot be reached; a control that is not a button is no click.
  EXPECT_EQ(OrvexPlatform_ClickItem(w, kDisabled), 0);
  EXPECT_EQ(OrvexPlatform_ClickItem(w, kHidden), 0);
  EXPECT_EQ(OrvexPlatform_ClickItem(w, kEdit), 0);
  EXPECT_EQ(OrvexPlatform_IsItemEnabled(w, kDisabled), 0);
  EXPECT_EQ(OrvexPlatform_IsItemVisible(w, kHidden), 0);
  EXPECT_EQ(OrvexPlatform_EnableItem(w, kDisabled, 1), 1);
  EXPECT_EQ(OrvexPlatform_ClickItem(w, kDisabled), 1);
  EXPECT_EQ(OrvexPlatform_ShowItem(w, kEdit, 0), 1);
  EXPECT_EQ(OrvexPlatform_SetItemText(w, kEdit, "1"), 0);

  // Lists: the selection stays on its item as items come and go.
  EXPECT_EQ(OrvexPlatform_InsertListItem(w, kList, -1, "a"), 0);
  EXPECT_EQ(OrvexPlatform_InsertListItem(w, kList, -1, "c"), 1);
  EXPECT_EQ(OrvexPlatform_SetListSelection(w, kList, 1), 1);
  EXPECT_EQ(OrvexPlatform_InsertListItem(w, kList, 1, "b"), 1);
  EXPECT_EQ(OrvexPlatform_GetListSelection(w, kList), 2);
  EXPECT_EQ(OrvexPlatform_InsertListItem(w, kList, 9, "x"), -1);
  EXPECT_EQ(OrvexPlatform_DeleteListItem(w, kList, 0), 1);
  EXPECT_EQ(OrvexPlatform_GetListSelection(w, kList), 1);
  EXPECT_EQ(OrvexPlatform_DeleteListItem(w, kList, 1), 1);
  EXPECT_EQ(OrvexPlatform_GetListSelection(w, kList), -1);
  EXPECT_EQ(OrvexPlatform_GetListCount(w, kList), 1);
  char text[8];
  EXPECT_EQ(OrvexPlatform_GetListItemText(w, kList, 0, text, sizeof text), 1);
  EXPECT_STREQ(text, "b");
  EXPECT_EQ(OrvexPlatform_GetListItemText(w, kList, 1, text, sizeof text), -1);
  EXPECT_EQ(OrvexPlatform_SelectListItem(w, kList, 1), 0);
  EXPECT_EQ(OrvexPlatform_SelectListItem(w, kList, 0), 1);
  EXPECT_EQ(OrvexPlatform_GetListSelection(w, kList), 0);
  EXPECT_EQ(dialog.Count(ORVEX_DIALOG_SELECTION_CHANGED, kList), 1);

  // Tabs: the first inserted is chosen; choosing the chosen one tells nobody.
  EXPECT_EQ(OrvexPlatform_GetTabSelection(w, kTab), -1);
  EXPECT_EQ(OrvexPlatform_InsertTab(w, kTab, 0, "One"), 0);
  EXPECT_EQ(OrvexPlatform_InsertTab(w, kTab, 1, "Two"), 1);
  EXPECT_EQ(OrvexPlatform_GetTabSelection(w, kTab), 0);
  EXPECT_EQ(OrvexPlatform_GetTabCount(w, kTab), 2);
  EXPECT_EQ(OrvexPlatform_GetTabText(w, kTab, 1, text, sizeof text), 3);
  EXPECT_STREQ(text, "Two");
  EXPECT_EQ(OrvexPlatform_SelectTab(w, kTab, 0), 1);
  EXPECT_EQ(OrvexPlatform_SelectTab(w, kTab, 1), 1);
  EXPECT_EQ(OrvexPlatform_SelectTab(w, kTab, 2), 0);
  EXPECT_EQ(dialog.Count(ORVEX_DIALOG_TAB_CHANGED, kTab), 1);

  // Unknown windows and controls, and controls of another kind.
  EXPECT_EQ(OrvexPlatform_IsItemChecked(w, 999), -1);
  EXPECT_EQ(OrvexPlatform_GetListCount(w, kTab), -1);
  EXPECT_EQ(OrvexPlatform_GetItemText(0, kEdit, text, sizeof text), -1);
  EXPECT_EQ(OrvexPlatform_GetTrackbar(w, kList, nullptr, nullptr, nullptr, nullptr), 0);
  EXPECT_EQ(OrvexPlatform_MoveTrackbar(w, kList, 1), 0);
  EXPECT_TRUE(dialog.AllOnDialogThread());
}

TEST(DialogManagerTest, UpDownArrowsStepWithinTheRangeAndControlsLieInTheirDialog) {
  RunningDialog dialog;
  const OrvexWindow w = dialog.handle;
  ASSERT_NE(w, 0u);
  // A new range takes the position into it.
  OrvexPlatform_SetUpDownRange(w, kUpDown, 10, 20);
  int32_t position = -1;
  ASSERT_EQ(OrvexPlatform_GetUpDown(w, kUpDown, &position, nullptr, nullptr, nullptr), 1);
  EXPECT_EQ(position, 10);
  OrvexPlatform_SetUpDownBuddy(w, kUpDown, kEdit);
  OrvexPlatform_SetUpDownRange(w, kUpDown, 0, 3);
  OrvexPlatform_SetUpDownPosition(w, kUpDown, 2);
  const int changes = dialog.Count(ORVEX_DIALOG_TEXT_CHANGED, kEdit);
  EXPECT_EQ(OrvexPlatform_ClickUpDown(w, kUpDown, 1), 1);
  EXPECT_EQ(ItemText(w, kEdit), "3");
  EXPECT_EQ(OrvexPlatform_ClickUpDown(w, kUpDown, 1), 1);  // at the maximum: no change
  EXPECT_EQ(dialog.Count(ORVEX_DIALOG_TEXT_CHANGED, kEdit), changes + 1);
  // The arrows start from the number typed into the buddy; with a range that runs downwards
  // the upper arrow still goes towards the maximum.
  OrvexPlatform_SetUpDownRange(w, kUpDown, 5, 0);
  OrvexPlatform_SetItemText(w, kEdit, "4");
  EXPECT_EQ(OrvexPlatform_ClickUpDown(w, kUpDown, 1), 1);
  EXPECT_EQ(ItemText(w, kEdit), "3");
  EXPECT_EQ(OrvexPlatform_ClickUpDown(w, kUpDown, 0), 1);
  EXPECT_EQ(ItemText(w, kEdit), "4");
  EXPECT_EQ(OrvexPlatform_ClickUpDown(w, kList, 1), 0);
  OrvexPlatform_EnableItem(w, kUpDown, 0);
  EXPECT_EQ(OrvexPlatform_ClickUpDown(w, kUpDown, 1), 0);

  // Places on the screen, from the template's dialog units.
  int32_t dx = 0, dy = 0, dw = 0, dh = 0, x = 0, y = 0, width = 0, height = 0, editWidth = 0;
  ASSERT_EQ(OrvexPlatform_GetWindowRect(w, &dx, &dy, &dw, &dh), 1);
  EXPECT_GT(dw, dh);  // 200 x 150 units
  ASSERT_EQ(OrvexPlatform_GetItemRect(w, kOk, &x, &y, &width, &height), 1);
  EXPECT_EQ(x, dx);
  EXPECT_EQ(y, dy);
  EXPECT_GT(height, 0);
  ASSERT_EQ(OrvexPlatform_GetItemRect(w, kEdit, nullptr, nullptr, &editWidth, nullptr), 1);
  EXPECT_GT(width, editWidth);  // 50 against 40 units
  EXPECT_EQ(OrvexPlatform_GetItemRect(w, 999, &x, &y, &width, &height), 0);
  EXPECT_EQ(OrvexPlatform_GetItemRect(0, kOk, &x, &y, &width, &height), 0);
  EXPECT_TRUE(dialog.AllOnDialogThread());
}

TEST(DialogManagerTest, PagesBelongToTheirTabAndAreReachedOnlyWhenShown) {
  OrvexWindow page = 0;
  RunningDialog dialog([&](RunningDialog& self, OrvexWindow window, int32_t event, int32_t) {
    if (event == ORVEX_DIALOG_INIT && OrvexPlatform_GetTemplateId(window) == 900) {
      OrvexPlatform_InsertTab(window, kTab, 0, "Page");
      page =
          OrvexPlatform_CreateDialogPage(&kPage, window, kTab, 0, &RunningDialog::Procedure, &self);
    }
  });
  ASSERT_NE(dialog.handle, 0u);
  const OrvexWindow found = OrvexPlatform_GetDialogPage(dialog.handle, 0);
  ASSERT_NE(found, 0u);
  EXPECT_EQ(found, page);
  EXPECT_EQ(OrvexPlatform_GetDialogPage(dialog.handle, 1), 0u);
  EXPECT_EQ(OrvexPlatform_GetTemplateId(found), 901);
  EXPECT_EQ(OrvexPlatform_GetParent(found), dialog.handle);
  EXPECT_EQ(OrvexPlatform_ClickItem(found, kPageButton), 0);  // hidden page
  EXPECT_EQ(OrvexPlatform_ShowWindow(found, 1), 1);
  EXPECT_EQ(OrvexPlatform_SetWindowPosition(found, 30, 25), 1);
  EXPECT_EQ(OrvexPlatform_IsWindowVisible(found), 1);
  // The page lies at its place in the tab control, on the screen the dialog is shown on.
  int32_t tabX = 0, tabY = 0, pageX = 0, pageY = 0, pageWidth = 0, dialogWidth = 0;
  ASSERT_EQ(OrvexPlatform_GetItemRect(dialog.handle, kTab, &tabX, &tabY, nullptr, nullptr), 1);
  ASSERT_EQ(OrvexPlatform_GetWindowRect(found, &pageX, &pageY, &pageWidth, nullptr), 1);
  ASSERT_EQ(OrvexPlatform_GetWindowRect(dialog.handle, nullptr, nullptr, &dialogWidth, nullptr), 1);
  EXPECT_EQ(pageX, tabX + 30);
  EXPECT_EQ(pageY, tabY + 25);
  EXPECT_NEAR(pageWidth * 200.0 / dialogWidth, 150, 1);  // 150 and 200 dialog units wide
  // Placed as far as 32 bits go, its controls lie at the end of that range (headless) or at the
  // edge of the screen (drawn), never wrapped round to the other side.
  EXPECT_EQ(OrvexPlatform_SetWindowPosition(dialog.handle, 100, 100), 1);
  EXPECT_EQ(OrvexPlatform_SetWindowPosition(found, INT32_MAX, INT32_MAX), 1);
  ASSERT_EQ(OrvexPlatform_GetItemRect(found, kPageButton, &pageX, &pageY, nullptr, nullptr), 1);
  EXPECT_GE(pageX, 0);
  EXPECT_GE(pageY, 0);
  EXPECT_EQ(OrvexPlatform_SetWindowPosition(found, 30, 25), 1);
  EXPECT_EQ(OrvexPlatform_ClickItem(found, kPageButton), 1);
  EXPECT_EQ(dialog.Count(ORVEX_DIALOG_CLICKED, kPageButton), 1);
  EXPECT_TRUE(dialog.AllOnDialogThread());
  EXPECT_EQ(OrvexPlatform_ClickItem(dialog.handle, kPageButton), 0);  // not in the dialog itself
  EXPECT_EQ(OrvexPlatform_EndDialog(found, 1), 0);                    // a page is no modal dialog

  OrvexPlatform_EndDialog(dialog.handle, 3);
  EXPECT_EQ(dialog.Result(), 3);
  EXPECT_EQ(OrvexPlatform_IsWindow(found), 0);
}

// A task for a dialog's thread: counts its runs and its drops.
struct Counted {
  std::mutex mutex;
  int runs = 0;
  int drops = 0;
  std::thread::id ranOn;
  static void Task(void* context, int32_t run) {
    auto* self = static_cast<Counted*>(context);
    std::lock_guard lock(self->mutex);
    (run ? self->runs : self->drops) += 1;
    if (run) self->ranOn = std::this_thread::get_id();
  }
};

TEST(DialogManagerTest, PostedTasksRunOnTheDialogsThreadOrAreDroppedWhenItEnds) {
  Counted posted, late;
  std::thread::id dialogThread;
  RunningDialog dialog([&](RunningDialog&, OrvexWindow window, int32_t event, int32_t id) {
    if (event == ORVEX_DIALOG_INIT) dialogThread = std::this_thread::get_id();
    if (event == ORVEX_DIALOG_CLICKED && id == kOk) {
      // Queued behind the end: nobody will run it.
      OrvexPlatform_PostDialogTask(window, &Counted::Task, &late);
      OrvexPlatform_EndDialog(window, 1);
    }
  });
  ASSERT_NE(dialog.handle, 0u);
  EXPECT_EQ(OrvexPlatform_PostDialogTask(dialog.handle, &Counted::Task, &posted), 1);
  // Calls are carried out in order, so the task has run once the query returns.
  EXPECT_EQ(OrvexPlatform_IsItemChecked(dialog.handle, kCheck), 0);
  {
    std::lock_guard lock(posted.mutex);
    EXPECT_EQ(posted.runs, 1);
    EXPECT_EQ(posted.ranOn, dialogThread);
  }
  EXPECT_EQ(OrvexPlatform_ClickItem(dialog.handle, kOk), 1);
  EXPECT_EQ(dialog.Result(), 1);
  EXPECT_EQ(late.runs, 0);
  EXPECT_EQ(late.drops, 1);
  EXPECT_EQ(OrvexPlatform_PostDialogTask(dialog.handle, &Counted::Task, &late), 0);
  EXPECT_EQ(late.drops, 1);
}

// Dialogs on two threads whose procedures call each other: a dialog thread waiting for its call
// to the other carries out the other's call to it meanwhile, as with SendMessage, instead of
// both waiting for ever.
TEST(DialogManagerTest, DialogThreadsCallingEachOtherBothGoOn) {
  std::atomic<OrvexWindow> calling{0};
  std::string seen;
  RunningDialog answering([&](RunningDialog&, OrvexWindow, int32_t event, int32_t id) {
    if (event == ORVEX_DIALOG_CLICKED && id == kCheck) seen = ItemText(calling, kEdit);
  });
  int32_t clicked = -1;
  RunningDialog callingDialog([&](RunningDialog&, OrvexWindow, int32_t event, int32_t id) {
    if (event == ORVEX_DIALOG_CLICKED && id == kCheck) {
      clicked = OrvexPlatform_ClickItem(answering.handle, kCheck);
    }
  });
  // Until the second has opened, the newest open dialog is the first.
  for (int wait = 0; wait < 5000 && callingDialog.handle == answering.handle; ++wait) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    callingDialog.handle = OrvexPlatform_WaitForDialog(0);
  }
  ASSERT_NE(answering.handle, 0u);
  ASSERT_NE(callingDialog.handle, answering.handle);
  calling = callingDialog.handle;
  auto click =
      std::async(std::launch::async, [&] { return OrvexPlatform_ClickItem(calling, kCheck); });
  if (click.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
    ADD_FAILURE() << "the two dialog threads wait for each other";
    std::_Exit(1);  // neither thread can be ended now
  }
  EXPECT_EQ(click.get(), 1);
  EXPECT_EQ(clicked, 1);
  EXPECT_EQ(seen, "start");
}

TEST(DialogManagerTest, DestroyingARunningDialogEndsIt) {
  RunningDialog dialog;
  ASSERT_NE(dialog.handle, 0u);
  EXPECT_EQ(OrvexPlatform_DestroyWindow(dialog.handle), 1);
  EXPECT_EQ(dialog.Result(), 0);
}

TEST(DialogManagerTest, RefusesBadTemplatesAndNoDialogOpensMeanwhile) {
  const OrvexDialogItem bad[] = {{1, 99, 0, 0, 0, 1, 1, "?"}};
  const OrvexDialogTemplate badTemplate = {1, "", "MS Shell Dlg", 8, 10, 10, 1, bad};
  EXPECT_EQ(OrvexPlatform_DialogBox(&badTemplate, 0, &RunningDialog::Procedure, nullptr), -1);
  EXPECT_EQ(OrvexPlatform_DialogBox(nullptr, 0, &RunningDialog::Procedure, nullptr), -1);
  EXPECT_EQ(OrvexPlatform_DialogBox(&kDialog, 0, nullptr, nullptr), -1);
  EXPECT_EQ(OrvexPlatform_WaitForDialog(10), 0u);
  EXPECT_EQ(OrvexPlatform_CreateDialogPage(&kPage, 0, kTab, 0, &RunningDialog::Procedure, nullptr),
            0u);
}

TEST(SystemLanguageTest, FollowsTheLocaleUnlessOverridden) {
  unsetenv("LC_ALL");
  unsetenv("LC_MESSAGES");
  unsetenv("LANG");
  EXPECT_EQ(OrvexPlatform_GetSystemLanguage(), 1033);
  setenv("LANG", "ja_JP.UTF-8", 1);
  EXPECT_EQ(OrvexPlatform_GetSystemLanguage(), 1041);
  setenv("LC_MESSAGES", "", 1);  // empty: the next one counts
  EXPECT_EQ(OrvexPlatform_GetSystemLanguage(), 1041);
  setenv("LC_ALL", "C.UTF-8", 1);
  EXPECT_EQ(OrvexPlatform_GetSystemLanguage(), 1033);
  EXPECT_EQ(OrvexPlatform_SetSystemLanguage(1041), 1);
  EXPECT_EQ(OrvexPlatform_GetSystemLanguage(), 1041);
  EXPECT_EQ(OrvexPlatform_SetSystemLanguage(2052), 1);
  EXPECT_EQ(OrvexPlatform_GetSystemLanguage(), 2052);
  EXPECT_EQ(OrvexPlatform_SetSystemLanguage(0), 1);
  EXPECT_EQ(OrvexPlatform_GetSystemLanguage(), 1033);
}

}  // namespace
