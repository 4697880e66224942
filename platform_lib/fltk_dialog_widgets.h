// The widgets of drawn dialogs, one class per kind of control, drawn and behaving as the common
// controls they stand for. They keep no state of their own beyond what they draw: what a person
// does is handed to the automation API (OrvexPlatform_ClickItem, ...), which changes the model
// and tells the dialog's procedure; the view then sets the widgets from the model.
#pragma once

// clang-format off
#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Group.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Menu_Item.H>
#include <FL/Fl_Widget.H>
// clang-format on
#include <orvex/platform.h>

#include <cstdint>
#include <string>
#include <vector>

namespace orvex::headless::fltk {

// The control a widget shows: its window (dialog or page) and id.
struct ControlRef {
  OrvexWindow window = 0;
  std::int32_t id = 0;
};

// The widgets that stand for a control; `ref` tells the automation API which one.
class ControlWidget {
 public:
  explicit ControlWidget(ControlRef ref) : ref(ref) {}
  virtual ~ControlWidget() = default;
  const ControlRef ref;
};

// Labels with "&" underline the letter after it, as their mnemonic; "&&" shows one "&".
class PushButton final : public Fl_Button, public ControlWidget {
 public:
  PushButton(int x, int y, int w, int h, ControlRef ref, bool isDefault);
  int handle(int event) override;
  void draw() override;

 private:
  bool default_;
};

// A check box, or a radio button: a square or a circle and the text beside it. Its check is
// the model's; a click only reports.
class ToggleButton final : public Fl_Button, public ControlWidget {
 public:
  ToggleButton(int x, int y, int w, int h, ControlRef ref, bool round);
  int handle(int event) override;
  void draw() override;

 private:
  bool round_;
};

class Label final : public Fl_Box, public ControlWidget {
 public:
  Label(int x, int y, int w, int h, ControlRef ref);
};

// A frame with its caption set into the top line.
class GroupBox final : public Fl_Widget, public ControlWidget {
 public:
  GroupBox(int x, int y, int w, int h, ControlRef ref);
  void draw() override;
};

// An edit; read-only edits show the dialog's colour, digits-only ones refuse anything else, and
// the buddy of an up-down steps it with the arrow keys.
class Edit final : public Fl_Input, public ControlWidget {
 public:
  Edit(int x, int y, int w, int h, ControlRef ref, bool digitsOnly);
  int handle(int event) override;
  void SetReadOnly(bool readOnly);
  std::int32_t upDown = 0;  // the up-down whose buddy this is, 0 for none

 private:
  bool digitsOnly_;
};

// A drop-down list: a closed box showing the selection that opens the list when clicked, and
// the arrow keys choose the previous or next item.
class DropDownList final : public Fl_Choice, public ControlWidget {
 public:
  DropDownList(int x, int y, int w, int h, ControlRef ref);
  int handle(int event) override;
  // False when they were the items already.
  bool SetItems(const std::vector<std::string>& items);
  void Select(std::int32_t index);

 private:
  std::vector<std::string> items_;
  std::vector<std::string> labels_;  // the items with "&" doubled, as menus draw them
  std::vector<Fl_Menu_Item> menu_;
};

// A horizontal trackbar: a channel, a thumb pointing down to tick marks at the ends and every
// tick frequency. Dragging the thumb moves it; a click beside it moves by a page (a fifth of the
// range); the arrow keys move by one, Page Up and Down by a page, Home and End to the ends.
class Trackbar final : public Fl_Widget, public ControlWidget {
 public:
  Trackbar(int x, int y, int w, int h, ControlRef ref);
  int handle(int event) override;
  void draw() override;
  // False when nothing changed.
  bool Set(std::int32_t minimum, std::int32_t maximum, std::int32_t position,
           std::int32_t tickFrequency);

  // The horizontal pixel of the thumb's centre at a position.
  int ThumbCentre(std::int32_t position) const;

 private:
  int ChannelLeft() const;
  int ChannelRight() const;
  std::int32_t PositionAt(int x) const;
  std::int32_t Page() const;
  void MoveTo(std::int32_t position);

  std::int32_t minimum_ = 0, maximum_ = 100, position_ = 0, tickFrequency_ = 1;
  bool dragging_ = false;
  int grabOffset_ = 0;
};

// A vertical up-down: the upper arrow steps its position up, the lower one down, repeating while
// held.
class UpDown final : public Fl_Widget, public ControlWidget {
 public:
  UpDown(int x, int y, int w, int h, ControlRef ref);
  ~UpDown() override;
  int handle(int event) override;
  void draw() override;

 private:
  static void Repeat(void* self);
  void Step();
  int pressed_ = 0;  // 1 upper arrow, -1 lower arrow, 0 none
};

// A tab control: the tabs along the top over a raised body; the pages are separate widgets that
// the dialog's procedure shows and hides when the chosen tab changes.
class TabControl final : public Fl_Widget, public ControlWidget {
 public:
  TabControl(int x, int y, int w, int h, ControlRef ref);
  int handle(int event) override;
  void draw() override;
  // False when nothing changed.
  bool Set(const std::vector<std::string>& tabs, std::int32_t selection);

 private:
  int TabHeight() const;
  int TabAt(int x, int y) const;
  std::vector<int> TabEdges() const;

  std::vector<std::string> tabs_;
  std::int32_t selection_ = -1;
};

// A tab page: a group with the dialog's colour whose keys go to the dialog window.
class Page final : public Fl_Group {
 public:
  Page(int x, int y, int w, int h);
  int handle(int event) override;
};

// The mnemonic of a text: the lower-case letter or digit after a single "&", or 0.
char Mnemonic(const std::string& text);

}  // namespace orvex::headless::fltk
