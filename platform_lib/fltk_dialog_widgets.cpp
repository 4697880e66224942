#include "fltk_dialog_widgets.h"

// clang-format off
#include <FL/fl_ask.H>
#include <FL/fl_draw.H>
// clang-format on

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace orvex::headless::fltk {
namespace {

constexpr int kThumbWidth = 11;
// Outlines of check boxes, radio buttons and trackbar thumbs, taking input or not.
const Fl_Color kOutline = fl_rgb_color(0x70, 0x70, 0x70);
const Fl_Color kInactiveOutline = fl_rgb_color(0xB0, 0xB0, 0xB0);
constexpr int kTickLength = 3;
constexpr double kRepeatDelay = 0.4;
constexpr double kRepeatInterval = 0.05;

bool AllDigits(const char* text, int length) {
  return std::all_of(text, text + length, [](char c) { return c >= '0' && c <= '9'; });
}

// The text as drawn: single "&" marks dropped, "&&" shown as one.
std::string Shown(const char* text) {
  std::string shown;
  for (const char* c = text; c != nullptr && *c != '\0'; ++c) {
    if (*c == '&') {
      if (c[1] != '&') continue;
      ++c;
    }
    shown += *c;
  }
  return shown;
}

std::string DoubleAmpersands(const std::string& text) {
  std::string doubled;
  for (const char c : text) {
    doubled += c;
    if (c == '&') doubled += '&';
  }
  return doubled;
}

bool NoModifiers() {
  return (Fl::event_state() & (FL_SHIFT | FL_CTRL | FL_ALT | FL_META)) == 0;
}

// Shortcuts are the dialog's business (the window looks for mnemonics itself).
constexpr bool IsShortcut(int event) {
  return event == FL_SHORTCUT;
}

template <typename Widget>
void ClickCallback(Fl_Widget* widget, void*) {
  const ControlRef ref = static_cast<Widget*>(widget)->ref;
  OrvexPlatform_ClickItem(ref.window, ref.id);
}

}  // namespace

char Mnemonic(const std::string& text) {
  for (std::size_t i = 0; i + 1 < text.size(); ++i) {
    if (text[i] != '&') continue;
    const auto next = static_cast<unsigned char>(text[i + 1]);
    if (next == '&') {
      ++i;
      continue;
    }
    return std::isalnum(next) != 0 ? static_cast<char>(std::tolower(next)) : 0;
  }
  return 0;
}

// --- buttons ---

PushButton::PushButton(int x, int y, int w, int h, ControlRef ref, bool isDefault)
    : Fl_Button(x, y, w, h), ControlWidget(ref), default_(isDefault) {
  callback(ClickCallback<PushButton>);
}

int PushButton::handle(int event) {
  return IsShortcut(event) ? 0 : Fl_Button::handle(event);
}

void PushButton::draw() {
  if (!default_) {
    Fl_Button::draw();
    return;
  }
  // The default button: a dark line around the usual button.
  const int X = x(), Y = y(), W = w(), H = h();
  resize(X + 1, Y + 1, W - 2, H - 2);
  Fl_Button::draw();
  resize(X, Y, W, H);
  fl_color(active_r() ? FL_FOREGROUND_COLOR : fl_inactive(FL_FOREGROUND_COLOR));
  fl_rect(X, Y, W, H);
}

ToggleButton::ToggleButton(int x, int y, int w, int h, ControlRef ref, bool round)
    : Fl_Button(x, y, w, h), ControlWidget(ref), round_(round) {
  type(FL_TOGGLE_BUTTON);
  box(FL_FLAT_BOX);
  callback(ClickCallback<ToggleButton>);
}

int ToggleButton::handle(int event) {
  return IsShortcut(event) ? 0 : Fl_Button::handle(event);
}

void ToggleButton::draw() {
  draw_box();
  const bool enabled = active_r();
  const int size = std::min(13, h());
  const int left = x();
  const int top = y() + (h() - size) / 2;
  const Fl_Color ink = enabled ? FL_FOREGROUND_COLOR : fl_inactive(FL_FOREGROUND_COLOR);
  const Fl_Color fill = enabled ? FL_BACKGROUND2_COLOR : FL_BACKGROUND_COLOR;
  if (round_) {
    fl_color(fill);
    fl_pie(left, top, size, size, 0, 360);
    fl_color(enabled ? kOutline : kInactiveOutline);
    fl_arc(left, top, size, size, 0, 360);
    if (value() != 0) {
      const int dot = std::max(3, size / 2 - 1);
      fl_color(ink);
      fl_pie(left + (size - dot) / 2, top + (size - dot) / 2, dot, dot, 0, 360);
    }
  } else {
    fl_color(fill);
    fl_rectf(left, top, size, size);
    fl_color(enabled ? kOutline : kInactiveOutline);
    fl_rect(left, top, size, size);
    if (value() != 0) {
      fl_color(ink);
      fl_line_style(FL_SOLID, 2);
      fl_line(left + 3, top + size / 2, left + size / 2 - 1, top + size - 4, left + size - 3,
              top + 3);
      fl_line_style(0);
    }
  }
  const int textLeft = left + size + 4;
  const std::string shown = Shown(label());
  if (!shown.empty()) {
    draw_label(textLeft, y(), w() - (textLeft - x()), h(), FL_ALIGN_LEFT | FL_ALIGN_INSIDE);
  }
  if (Fl::focus() == this) {
    if (shown.empty()) {
      draw_focus(FL_FLAT_BOX, left - 2, top - 2, size + 4, size + 4);
    } else {
      fl_font(labelfont(), labelsize());
      const int width =
          std::min(static_cast<int>(fl_width(shown.c_str())) + 4, x() + w() - textLeft);
      draw_focus(FL_FLAT_BOX, textLeft - 2, y(), width, h());
    }
  }
}

// --- static controls ---

Label::Label(int x, int y, int w, int h, ControlRef ref) : Fl_Box(x, y, w, h), ControlWidget(ref) {
  box(FL_FLAT_BOX);
  align(FL_ALIGN_LEFT | FL_ALIGN_TOP | FL_ALIGN_INSIDE | FL_ALIGN_WRAP | FL_ALIGN_CLIP);
  set_flag(SHORTCUT_LABEL);
}

GroupBox::GroupBox(int x, int y, int w, int h, ControlRef ref)
    : Fl_Widget(x, y, w, h), ControlWidget(ref) {
  box(FL_NO_BOX);
  set_flag(SHORTCUT_LABEL);
}

void GroupBox::draw() {
  fl_font(labelfont(), labelsize());
  const int textHeight = fl_height();
  const int top = y() + textHeight / 2;
  fl_draw_box(FL_ENGRAVED_FRAME, x(), top, w(), h() - (top - y()), color());
  const std::string shown = Shown(label());
  if (shown.empty()) return;
  const int textWidth = static_cast<int>(fl_width(shown.c_str())) + 1;
  fl_color(color());
  fl_rectf(x() + 6, y(), textWidth + 4, textHeight);
  draw_label(x() + 8, y(), textWidth, textHeight, FL_ALIGN_LEFT | FL_ALIGN_INSIDE);
}

// --- edits ---

Edit::Edit(int x, int y, int w, int h, ControlRef ref, bool digitsOnly)
    : Fl_Input(x, y, w, h), ControlWidget(ref), digitsOnly_(digitsOnly) {
  when(FL_WHEN_CHANGED);
  callback([](Fl_Widget* widget, void*) {
    auto* edit = static_cast<Edit*>(widget);
    OrvexPlatform_SetItemText(edit->ref.window, edit->ref.id, edit->value());
  });
}

void Edit::SetReadOnly(bool readOnly) {
  readonly(readOnly ? 1 : 0);
  color(readOnly ? FL_BACKGROUND_COLOR : FL_BACKGROUND2_COLOR);
}

int Edit::handle(int event) {
  if (event == FL_KEYBOARD) {
    const int key = Fl::event_key();
    if (upDown != 0 && (key == FL_Up || key == FL_Down) && NoModifiers()) {
      OrvexPlatform_ClickUpDown(ref.window, upDown, key == FL_Up ? 1 : 0);
      return 1;
    }
    const char* text = Fl::event_text();
    const int length = Fl::event_length();
    const bool typed = length > 0 && static_cast<unsigned char>(text[0]) >= ' ' && text[0] != 127 &&
                       (Fl::event_state() & (FL_CTRL | FL_ALT | FL_META)) == 0;
    if (digitsOnly_ && typed && !readonly() && !AllDigits(text, length)) {
      fl_beep();
      return 1;
    }
  }
  if (event == FL_PASTE && digitsOnly_ && !AllDigits(Fl::event_text(), Fl::event_length())) {
    fl_beep();
    return 1;
  }
  return Fl_Input::handle(event);
}

// --- drop-down lists ---

DropDownList::DropDownList(int x, int y, int w, int h, ControlRef ref)
    : Fl_Choice(x, y, w, h), ControlWidget(ref) {
  // A choice of the same item tells the procedure too, as the list does.
  when(FL_WHEN_RELEASE | FL_WHEN_NOT_CHANGED);
  callback([](Fl_Widget* widget, void*) {
    auto* list = static_cast<DropDownList*>(widget);
    OrvexPlatform_SelectListItem(list->ref.window, list->ref.id, list->value());
  });
  menu_.push_back(Fl_Menu_Item{});
  menu(menu_.data());
}

int DropDownList::handle(int event) {
  if (IsShortcut(event)) return 0;
  if (event == FL_KEYBOARD && NoModifiers() &&
      (Fl::event_key() == FL_Up || Fl::event_key() == FL_Down)) {
    const int next = value() + (Fl::event_key() == FL_Up ? -1 : 1);
    if (next >= 0 && next < static_cast<int>(items_.size())) {
      OrvexPlatform_SelectListItem(ref.window, ref.id, next);
    }
    return 1;
  }
  return Fl_Choice::handle(event);
}

bool DropDownList::SetItems(const std::vector<std::string>& items) {
  if (items == items_) return false;
  items_ = items;
  labels_.clear();
  for (const std::string& item : items_) labels_.push_back(DoubleAmpersands(item));
  menu_.assign(labels_.size() + 1, Fl_Menu_Item{});
  for (std::size_t i = 0; i < labels_.size(); ++i) menu_[i].text = labels_[i].c_str();
  menu(menu_.data());
  return true;
}

void DropDownList::Select(std::int32_t index) {
  value(index >= 0 && index < static_cast<std::int32_t>(items_.size()) ? index : -1);
}

// --- trackbars ---

Trackbar::Trackbar(int x, int y, int w, int h, ControlRef ref)
    : Fl_Widget(x, y, w, h), ControlWidget(ref) {
  box(FL_FLAT_BOX);
}

bool Trackbar::Set(std::int32_t minimum, std::int32_t maximum, std::int32_t position,
                   std::int32_t tickFrequency) {
  if (minimum == minimum_ && maximum == maximum_ && position == position_ &&
      tickFrequency == tickFrequency_) {
    return false;
  }
  minimum_ = minimum;
  maximum_ = maximum;
  position_ = position;
  tickFrequency_ = tickFrequency;
  redraw();
  return true;
}

int Trackbar::ChannelLeft() const {
  return x() + 4 + kThumbWidth / 2;
}

int Trackbar::ChannelRight() const {
  return std::max(ChannelLeft(), x() + w() - 5 - kThumbWidth / 2);
}

int Trackbar::ThumbCentre(std::int32_t position) const {
  const std::int64_t range = std::int64_t{maximum_} - minimum_;
  if (range <= 0) return ChannelLeft();
  const std::int64_t offset =
      (std::int64_t{position} - minimum_) * (ChannelRight() - ChannelLeft()) / range;
  return ChannelLeft() +
         static_cast<int>(std::clamp<std::int64_t>(offset, 0, ChannelRight() - ChannelLeft()));
}

std::int32_t Trackbar::PositionAt(int px) const {
  const int span = ChannelRight() - ChannelLeft();
  const std::int64_t range = std::int64_t{maximum_} - minimum_;
  if (span <= 0 || range <= 0) return minimum_;
  const std::int64_t along = std::clamp(px - ChannelLeft(), 0, span);
  return static_cast<std::int32_t>(minimum_ + (along * range + span / 2) / span);
}

std::int32_t Trackbar::Page() const {
  return std::max<std::int32_t>(1,
                                static_cast<std::int32_t>((std::int64_t{maximum_} - minimum_) / 5));
}

void Trackbar::MoveTo(std::int32_t position) {
  const std::int32_t kept =
      std::clamp(position, std::min(minimum_, maximum_), std::max(minimum_, maximum_));
  if (kept == position_) return;
  position_ = kept;
  redraw();
  OrvexPlatform_MoveTrackbar(ref.window, ref.id, kept);
}

int Trackbar::handle(int event) {
  switch (event) {
    case FL_PUSH: {
      if (Fl::visible_focus()) take_focus();
      const int centre = ThumbCentre(position_);
      const int ex = Fl::event_x();
      if (std::abs(ex - centre) <= kThumbWidth / 2) {
        dragging_ = true;
        grabOffset_ = ex - centre;
      } else {
        MoveTo(position_ + (ex < centre ? -Page() : Page()));
      }
      return 1;
    }
    case FL_DRAG:
      if (dragging_) MoveTo(PositionAt(Fl::event_x() - grabOffset_));
      return 1;
    case FL_RELEASE:
      // The thumb ends where the button came up, whether or not a last move was reported.
      if (dragging_) MoveTo(PositionAt(Fl::event_x() - grabOffset_));
      dragging_ = false;
      return 1;
    case FL_KEYBOARD:
      if (!NoModifiers()) return 0;
      switch (Fl::event_key()) {
        case FL_Left:
        case FL_Up:
          MoveTo(position_ - 1);
          return 1;
        case FL_Right:
        case FL_Down:
          MoveTo(position_ + 1);
          return 1;
        case FL_Page_Up:
          MoveTo(position_ - Page());
          return 1;
        case FL_Page_Down:
          MoveTo(position_ + Page());
          return 1;
        case FL_Home:
          MoveTo(std::min(minimum_, maximum_));
          return 1;
        case FL_End:
          MoveTo(std::max(minimum_, maximum_));
          return 1;
        default:
          return 0;
      }
    case FL_FOCUS:
    case FL_UNFOCUS:
      redraw();
      return 1;
    default:
      return 0;
  }
}

void Trackbar::draw() {
  draw_box();
  const bool enabled = active_r();
  const int thumbHeight = std::max(10, h() - 4 - kTickLength - 2);
  const int top = y() + 2;
  const int middle = top + thumbHeight / 2;
  // The channel.
  const int channelLeft = ChannelLeft() - 2;
  const int channelWidth = ChannelRight() - ChannelLeft() + 5;
  fl_color(FL_BACKGROUND2_COLOR);
  fl_rectf(channelLeft, middle - 2, channelWidth, 4);
  fl_color(kInactiveOutline);
  fl_rect(channelLeft, middle - 2, channelWidth, 4);
  // Tick marks below the thumb: both ends and every tick frequency from the minimum.
  fl_color(enabled ? FL_FOREGROUND_COLOR : fl_inactive(FL_FOREGROUND_COLOR));
  const int tickTop = top + thumbHeight + 2;
  auto tick = [&](std::int64_t at) {
    const int px = ThumbCentre(static_cast<std::int32_t>(at));
    fl_yxline(px, tickTop, tickTop + kTickLength - 1);
  };
  tick(minimum_);
  tick(maximum_);
  if (tickFrequency_ > 0) {
    // Ticks at most a pixel apart cover every pixel between the ends: drawn as one band, so
    // that a range of millions of positions does not cost a line each.
    const std::int64_t ticks = (std::int64_t{maximum_} - minimum_) / tickFrequency_;
    if (ticks >= ChannelRight() - ChannelLeft()) {
      const int from = ThumbCentre(minimum_);
      fl_rectf(from, tickTop, ThumbCentre(maximum_) - from + 1, kTickLength);
    } else {
      for (std::int64_t at = std::int64_t{minimum_} + tickFrequency_; at < maximum_;
           at += tickFrequency_) {
        tick(at);
      }
    }
  }
  // The thumb, pointing down at the ticks.
  const int centre = ThumbCentre(position_);
  const int left = centre - kThumbWidth / 2;
  const int right = left + kThumbWidth - 1;
  const int tip = kThumbWidth / 2;
  const int bottom = top + thumbHeight - 1;
  fl_color(enabled ? FL_LIGHT1 : FL_BACKGROUND_COLOR);
  fl_polygon(left, top, right, top, right, bottom - tip, centre, bottom);
  fl_polygon(left, top, centre, bottom, left, bottom - tip);
  fl_color(enabled ? kOutline : kInactiveOutline);
  fl_begin_loop();
  fl_vertex(left, top);
  fl_vertex(right, top);
  fl_vertex(right, bottom - tip);
  fl_vertex(centre, bottom);
  fl_vertex(left, bottom - tip);
  fl_end_loop();
  if (Fl::focus() == this) draw_focus(FL_FLAT_BOX, x(), y(), w(), h());
}

// --- up-downs ---

UpDown::UpDown(int x, int y, int w, int h, ControlRef ref)
    : Fl_Widget(x, y, w, h), ControlWidget(ref) {
  box(FL_FLAT_BOX);
  clear_visible_focus();
}

UpDown::~UpDown() {
  Fl::remove_timeout(Repeat, this);
}

void UpDown::Step() {
  OrvexPlatform_ClickUpDown(ref.window, ref.id, pressed_ > 0 ? 1 : 0);
}

void UpDown::Repeat(void* self) {
  auto* upDown = static_cast<UpDown*>(self);
  if (upDown->pressed_ == 0 || !upDown->active_r()) return;
  upDown->Step();
  Fl::repeat_timeout(kRepeatInterval, Repeat, self);
}

int UpDown::handle(int event) {
  switch (event) {
    case FL_PUSH:
      pressed_ = Fl::event_y() < y() + h() / 2 ? 1 : -1;
      redraw();
      Step();
      Fl::add_timeout(kRepeatDelay, Repeat, this);
      return 1;
    case FL_DRAG:
      return 1;
    case FL_RELEASE:
      pressed_ = 0;
      Fl::remove_timeout(Repeat, this);
      redraw();
      return 1;
    default:
      return 0;
  }
}

void UpDown::draw() {
  draw_box();
  const int upperHeight = h() / 2;
  const int halves[2][2] = {{y(), upperHeight}, {y() + upperHeight, h() - upperHeight}};
  for (int half = 0; half < 2; ++half) {
    const int top = halves[half][0];
    const int height = halves[half][1];
    const bool down = pressed_ == (half == 0 ? 1 : -1);
    fl_draw_box(down ? FL_DOWN_BOX : FL_UP_BOX, x(), top, w(), height, FL_BACKGROUND_COLOR);
    const int size = std::max(2, std::min(w() - 4, height) / 3);
    const int cx = x() + w() / 2;
    const int cy = top + height / 2;
    fl_color(active_r() ? FL_FOREGROUND_COLOR : fl_inactive(FL_FOREGROUND_COLOR));
    if (half == 0) {
      fl_polygon(cx - size, cy + size / 2, cx + size, cy + size / 2, cx, cy - size / 2 - 1);
    } else {
      fl_polygon(cx - size, cy - size / 2, cx + size, cy - size / 2, cx, cy + size / 2 + 1);
    }
  }
}

// --- tab controls ---

TabControl::TabControl(int x, int y, int w, int h, ControlRef ref)
    : Fl_Widget(x, y, w, h), ControlWidget(ref) {
  box(FL_NO_BOX);
}

bool TabControl::Set(const std::vector<std::string>& tabs, std::int32_t selection) {
  if (tabs == tabs_ && selection == selection_) return false;
  tabs_ = tabs;
  selection_ = selection;
  return true;
}

int TabControl::TabHeight() const {
  fl_font(labelfont(), labelsize());
  return fl_height() + 8;
}

std::vector<int> TabControl::TabEdges() const {
  fl_font(labelfont(), labelsize());
  std::vector<int> edges{x() + 2};
  for (const std::string& tab : tabs_) {
    edges.push_back(edges.back() + static_cast<int>(fl_width(tab.c_str())) + 12);
  }
  return edges;
}

int TabControl::TabAt(int px, int py) const {
  if (py < y() || py >= y() + TabHeight()) return -1;
  const std::vector<int> edges = TabEdges();
  for (std::size_t i = 0; i + 1 < edges.size(); ++i) {
    if (px >= edges[i] && px < edges[i + 1]) return static_cast<int>(i);
  }
  return -1;
}

int TabControl::handle(int event) {
  switch (event) {
    case FL_PUSH: {
      const int tab = TabAt(Fl::event_x(), Fl::event_y());
      if (tab < 0) return 0;
      if (Fl::visible_focus()) take_focus();
      OrvexPlatform_SelectTab(ref.window, ref.id, tab);
      return 1;
    }
    case FL_KEYBOARD: {
      const int key = Fl::event_key();
      if (!NoModifiers() || (key != FL_Left && key != FL_Right)) return 0;
      const int next = selection_ + (key == FL_Left ? -1 : 1);
      if (next >= 0 && next < static_cast<int>(tabs_.size())) {
        OrvexPlatform_SelectTab(ref.window, ref.id, next);
      }
      return 1;
    }
    case FL_FOCUS:
    case FL_UNFOCUS:
      // The body lies under other controls: the whole window draws again.
      if (window() != nullptr) window()->redraw();
      return 1;
    default:
      return 0;
  }
}

void TabControl::draw() {
  const int tabHeight = TabHeight();
  const int bodyTop = y() + tabHeight - 2;
  fl_draw_box(FL_UP_BOX, x(), bodyTop, w(), h() - (bodyTop - y()), FL_BACKGROUND_COLOR);
  const std::vector<int> edges = TabEdges();
  const Fl_Color text = active_r() ? FL_FOREGROUND_COLOR : fl_inactive(FL_FOREGROUND_COLOR);
  for (std::size_t i = 0; i + 1 < edges.size(); ++i) {
    const bool chosen = static_cast<std::int32_t>(i) == selection_;
    // The chosen tab stands out: higher, wider, and open into the body.
    const int left = edges[i] - (chosen ? 2 : 0);
    const int right = edges[i + 1] - 1 + (chosen ? 2 : 0);
    const int top = y() + (chosen ? 0 : 2);
    const int bottom = chosen ? bodyTop + 1 : bodyTop - 1;
    fl_color(FL_BACKGROUND_COLOR);
    fl_rectf(left, top, right - left + 1, bottom - top + 1);
    fl_color(FL_WHITE);
    fl_yxline(left, bottom, top + 2);
    fl_line(left, top + 2, left + 2, top);
    fl_xyline(left + 2, top, right - 2);
    fl_color(FL_DARK3);
    fl_line(right - 2, top, right, top + 2);
    fl_yxline(right, top + 2, bottom);
    fl_color(text);
    fl_font(labelfont(), labelsize());
    fl_draw(tabs_[i].c_str(), left, top, right - left + 1, tabHeight - 2, FL_ALIGN_CENTER);
    if (chosen && Fl::focus() == this) {
      draw_focus(FL_FLAT_BOX, left + 2, top + 2, right - left - 3, tabHeight - 6);
    }
  }
}

// --- pages ---

Page::Page(int x, int y, int w, int h) : Fl_Group(x, y, w, h) {
  box(FL_FLAT_BOX);
  resizable(nullptr);
}

int Page::handle(int event) {
  // Tab and the arrow keys move between the dialog's controls, which the dialog window decides.
  return event == FL_KEYBOARD ? 0 : Fl_Group::handle(event);
}

}  // namespace orvex::headless::fltk
