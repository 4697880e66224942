// Dialogs drawn with FLTK on the library's own X connection (x11_dialog_display.h).
//
// A dialog is a double-buffered top-level window; its controls are widgets in the window, made
// in the reverse of the template's order so that, as in a dialog box, a control earlier in the
// template lies above a later one (a tab control at the end lies under the controls on it). A
// page is a group inside the window, over its tab control. Every widget shows the model of its
// control (DialogView::Show) and reports what a person does through the automation API, so that
// the model stays the one source of state.
//
// Sizes follow the dialog units of the template as a dialog box converts them: a horizontal unit
// is a quarter of the dialog font's average character width, a vertical one an eighth of its
// height, both measured on the font the dialog is drawn in (the 8-point template font at 96 dots
// an inch: 11 pixels).
//
// The keyboard works as in a dialog box: Tab and Shift+Tab move through the controls in the
// template's order (a group of radio buttons is one stop, at its checked button), Enter clicks
// the focused push button or else the default one, Escape and the window's close button click
// Cancel (id 2), the arrow keys move within a group of radio buttons, and Alt with the letter
// after "&" in a control's text (or the letter alone outside an edit) reaches that control: a
// button is clicked, a label or group box hands the focus to the next control after it.

// clang-format off
#include <FL/Fl.H>
#include <FL/Fl_Double_Window.H>
#include <FL/fl_ask.H>
#include <FL/fl_draw.H>
#include <FL/x.H>
#include <X11/Xatom.h>
// clang-format on

#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>
#include <memory>

#include "dialog_manager.h"
#include "dialog_view.h"
#include "fltk_dialog_widgets.h"
#include "headless_geometry.h"
#include "x11_dialog_display.h"

namespace orvex::headless {
namespace fltk {
namespace {

constexpr Fl_Font kJapaneseFace = FL_FREE_FONT;
constexpr std::int32_t kJapanese = 1041;
constexpr std::int32_t kButtonOk = 1;
constexpr std::int32_t kButtonCancel = 2;
// Dialog fonts are given in points; the layout is that of a 96 dots-an-inch screen.
constexpr int kDotsPerInch = 96;

// The dialog font and the dialog units it makes.
struct DialogFont {
  Fl_Font face = FL_HELVETICA;
  Fl_Fontsize size = 11;
  int baseX = 6;
  int baseY = 13;

  int X(int units) const { return MulDiv(units, baseX, 4); }
  int Y(int units) const { return MulDiv(units, baseY, 8); }
};

// Whether the text holds characters that only a CJK font has.
bool HasCjkText(const char* text) {
  for (const unsigned char* c = reinterpret_cast<const unsigned char*>(text); c && *c; ++c) {
    // Lead bytes of three- and four-byte sequences from U+3000 on.
    if (*c >= 0xE3) return true;
  }
  return false;
}

DialogFont ChooseFont(const OrvexDialogTemplate& dialogTemplate) {
  bool japanese =
      OrvexPlatform_GetSystemLanguage() == kJapanese || HasCjkText(dialogTemplate.title);
  for (std::int32_t i = 0; i < dialogTemplate.itemCount && !japanese; ++i) {
    japanese = HasCjkText(dialogTemplate.items[i].text);
  }
  DialogFont font;
  font.face = japanese && JapaneseFontFamily() ? kJapaneseFace : FL_HELVETICA;
  font.size =
      static_cast<Fl_Fontsize>(MulDiv(std::max(1, dialogTemplate.pointSize), kDotsPerInch, 72));
  fl_font(font.face, font.size);
  // The average width of the letters, as the dialog manager of the other platform measures it.
  const int letters =
      static_cast<int>(fl_width("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  font.baseX = std::max(1, (letters / 26 + 1) / 2);
  font.baseY = std::max(1, fl_height());
  return font;
}

// The place of a widget's top left corner on the root window.
std::optional<Box> OnRoot(Fl_Window* window, int x, int y, int w, int h) {
  const ::Window xid = fl_xid(window);
  if (xid == 0) return std::nullopt;
  Display* display = x11::SeatDisplay();
  int rootX = 0, rootY = 0;
  ::Window child = 0;
  x11::ClearError();
  if (!XTranslateCoordinates(display, xid, DefaultRootWindow(display), x, y, &rootX, &rootY,
                             &child) ||
      x11::LastError() != 0) {
    return std::nullopt;
  }
  return Box{rootX, rootY, w, h};
}

class ScreenDialog;

// Dialogs and the windows that keep input from their owners, by X window, for the events that
// FLTK is not to handle itself. Used on the thread that holds the seat only.
std::map<::Window, ScreenDialog*>& DialogsByWindow() {
  static auto* const dialogs = new std::map<::Window, ScreenDialog*>;
  return *dialogs;
}
std::map<::Window, ScreenDialog*>& DialogsByCover() {
  static auto* const dialogs = new std::map<::Window, ScreenDialog*>;
  return *dialogs;
}

class DialogWindow final : public Fl_Double_Window {
 public:
  DialogWindow(int w, int h, ScreenDialog& owner) : Fl_Double_Window(w, h), owner_(owner) {}
  int handle(int event) override;

 private:
  ScreenDialog& owner_;
};

// One window of the dialog: the dialog itself or a page, with a widget per control.
struct Surface {
  OrvexWindow handle = 0;
  Fl_Group* group = nullptr;  // the window, or the page's group
  std::int32_t tabId = 0;
  std::vector<Fl_Widget*> widgets;  // by control index
  WindowModel model;                // what was shown last
};

class ScreenDialog final : public DialogView {
 public:
  ScreenDialog(const OrvexDialogTemplate& dialogTemplate, const WindowModel& model,
               unsigned long ownerXWindow, bool ownerIsForeign);
  ~ScreenDialog() override;

  void AddPage(const WindowModel& page, std::int16_t widthUnits, std::int16_t heightUnits) override;
  void Show(const DialogModel& model) override;
  void Present() override;
  void Wait() override;
  std::optional<Box> WindowBox(OrvexWindow window) override;
  std::optional<Box> ItemBox(OrvexWindow window, std::int32_t id) override;
  unsigned long XWindow() const override { return fl_xid(window_.get()); }

  // Keys the focused widget did not use; true when handled.
  bool Key();
  bool Shortcut();
  void Cancel();
  // A click on the window that keeps input from the owner.
  void OwnerClicked();
  void Mapped();

 private:
  // A control of a surface, in the order the keyboard visits them.
  struct Place {
    Surface* surface;
    std::size_t index;
    const Control& control() const { return surface->model.controls[index]; }
    Fl_Widget* widget() const { return surface->widgets[index]; }
  };

  void MakeWidgets(Surface& surface, int originX, int originY);
  Fl_Widget* MakeWidget(const Control& control, OrvexWindow window, int x, int y);
  bool ShowControl(const Control& control, Fl_Widget* widget);
  bool ShowSurface(Surface& surface, const WindowModel& model);
  Surface* FindSurface(OrvexWindow handle);
  Fl_Widget* TabWidget(std::int32_t tabId);

  std::vector<Place> Places();
  static std::pair<std::size_t, std::size_t> GroupAround(const std::vector<Place>& all,
                                                         std::size_t at);
  bool IsStop(const Place& place, const std::vector<Place>& all, std::size_t at) const;
  std::optional<std::size_t> FocusedPlace(const std::vector<Place>& places) const;
  void Focus(const Place& place);
  bool Navigate(int step);
  bool MoveInRadioGroup(int step);
  bool PressEnter();
  bool Mnemonic(char key);
  void FocusFirst();

  DialogFont font_;
  std::unique_ptr<DialogWindow> window_;
  Surface dialog_;
  std::vector<std::unique_ptr<Surface>> pages_;
  std::string title_;
  unsigned long owner_ = 0;
  bool ownerIsForeign_ = false;
  ::Window cover_ = 0;
  ::Window mapped_ = 0;
};

int DialogWindow::handle(int event) {
  switch (event) {
    case FL_KEYBOARD:
      return owner_.Key() ? 1 : 0;
    case FL_SHORTCUT:
      return owner_.Shortcut() ? 1 : 0;
    default:
      return Fl_Double_Window::handle(event);
  }
}

ScreenDialog::ScreenDialog(const OrvexDialogTemplate& dialogTemplate, const WindowModel& model,
                           unsigned long ownerXWindow, bool ownerIsForeign)
    : font_(ChooseFont(dialogTemplate)),
      title_(dialogTemplate.title != nullptr ? dialogTemplate.title : ""),
      owner_(ownerXWindow),
      ownerIsForeign_(ownerIsForeign) {
  Fl_Group::current(nullptr);
  window_ = std::make_unique<DialogWindow>(font_.X(dialogTemplate.width),
                                           font_.Y(dialogTemplate.height), *this);
  window_->copy_label(title_.c_str());
  window_->size_range(window_->w(), window_->h(), window_->w(), window_->h());
  window_->callback(
      [](Fl_Widget* widget, void* self) {
        // The window's close button: as Escape.
        (void)widget;
        static_cast<ScreenDialog*>(self)->Cancel();
      },
      this);
  window_->set_modal();
  dialog_.handle = model.handle;
  dialog_.group = window_.get();
  dialog_.model = model;
  window_->begin();
  MakeWidgets(dialog_, 0, 0);
  window_->end();
  Fl_Group::current(nullptr);
}

ScreenDialog::~ScreenDialog() {
  Display* display = x11::SeatDisplay();
  if (const ::Window xid = fl_xid(window_.get())) {
    DialogsByWindow().erase(xid);
    // The keyboard goes back to the owner, as it came from there.
    ::Window focus = 0;
    int revert = 0;
    XGetInputFocus(display, &focus, &revert);
    if (focus == xid && owner_ != 0) XSetInputFocus(display, owner_, RevertToParent, CurrentTime);
  }
  window_.reset();
  if (cover_ != 0) {
    DialogsByCover().erase(cover_);
    // Gone already when the application destroyed its window meanwhile; the error is ours.
    XDestroyWindow(display, cover_);
  }
  // The window is gone and the owner takes input again before the dialog's caller goes on.
  XSync(display, False);
  x11::ClearError();
  x11::LeaveSeat();
}

void ScreenDialog::MakeWidgets(Surface& surface, int originX, int originY) {
  const Controls& controls = surface.model.controls;
  surface.widgets.assign(controls.size(), nullptr);
  for (std::size_t i = controls.size(); i-- > 0;) {
    surface.widgets[i] = MakeWidget(controls[i], surface.handle, originX, originY);
  }
  for (std::size_t i = 0; i < controls.size(); ++i) ShowControl(controls[i], surface.widgets[i]);
}

Fl_Widget* ScreenDialog::MakeWidget(const Control& control, OrvexWindow window, int originX,
                                    int originY) {
  const ControlRef ref{window, control.id};
  const int x = originX + font_.X(control.x);
  const int y = originY + font_.Y(control.y);
  const int w = std::max(1, font_.X(control.width));
  const int h = std::max(1, font_.Y(control.height));
  Fl_Widget* widget = nullptr;
  switch (control.kind) {
    case ORVEX_CONTROL_PUSH_BUTTON:
      widget = new PushButton(x, y, w, h, ref, (control.style & ORVEX_CONTROL_DEFAULT) != 0);
      break;
    case ORVEX_CONTROL_CHECK_BOX:
    case ORVEX_CONTROL_RADIO_BUTTON:
      widget = new ToggleButton(x, y, w, h, ref, control.kind == ORVEX_CONTROL_RADIO_BUTTON);
      break;
    case ORVEX_CONTROL_GROUP_BOX:
      widget = new GroupBox(x, y, w, h, ref);
      break;
    case ORVEX_CONTROL_LABEL:
      widget = new Label(x, y, w, h, ref);
      break;
    case ORVEX_CONTROL_EDIT: {
      auto* edit = new Edit(x, y, w, h, ref, (control.style & ORVEX_CONTROL_DIGITS_ONLY) != 0);
      edit->SetReadOnly((control.style & ORVEX_CONTROL_READ_ONLY) != 0);
      edit->textfont(font_.face);
      edit->textsize(font_.size);
      widget = edit;
      break;
    }
    case ORVEX_CONTROL_DROP_DOWN_LIST: {
      // The template's height includes the opened list; closed, it is one line high.
      auto* list = new DropDownList(x, y, w, std::min(h, font_.baseY + 8), ref);
      list->textfont(font_.face);
      list->textsize(font_.size);
      widget = list;
      break;
    }
    case ORVEX_CONTROL_TRACKBAR:
      widget = new Trackbar(x, y, w, h, ref);
      break;
    case ORVEX_CONTROL_UP_DOWN:
      widget = new UpDown(x, y, w, h, ref);
      break;
    default:
      widget = new TabControl(x, y, w, h, ref);
      break;
  }
  widget->labelfont(font_.face);
  widget->labelsize(font_.size);
  return widget;
}

// Sets the widget from its control's model; true when anything changed.
bool ScreenDialog::ShowControl(const Control& control, Fl_Widget* widget) {
  bool changed = false;
  if (control.visible != (widget->visible() != 0)) {
    control.visible ? widget->show() : widget->hide();
    changed = true;
  }
  if (control.enabled != (widget->active() != 0)) {
    control.enabled ? widget->activate() : widget->deactivate();
    changed = true;
  }
  switch (control.kind) {
    case ORVEX_CONTROL_CHECK_BOX:
    case ORVEX_CONTROL_RADIO_BUTTON: {
      auto* button = static_cast<Fl_Button*>(widget);
      // A box the person holds the button down on already shows the click to come; put back
      // now, the release would find no change and the click would be lost. A click the
      // dialog refuses is put back at the next showing after it.
      if (Fl::pushed() != widget && (button->value() != 0) != control.checked) {
        button->value(control.checked ? 1 : 0);
        changed = true;
      }
      [[fallthrough]];
    }
    case ORVEX_CONTROL_PUSH_BUTTON:
    case ORVEX_CONTROL_GROUP_BOX:
    case ORVEX_CONTROL_LABEL: {
      const char* shown = widget->label() != nullptr ? widget->label() : "";
      if (control.text != shown) {
        widget->copy_label(control.text.c_str());
        changed = true;
      }
      break;
    }
    case ORVEX_CONTROL_EDIT: {
      auto* edit = static_cast<Edit*>(widget);
      if (control.text != edit->value()) {
        edit->value(control.text.c_str());
        changed = true;
      }
      break;
    }
    case ORVEX_CONTROL_DROP_DOWN_LIST: {
      auto* list = static_cast<DropDownList*>(widget);
      changed = list->SetItems(control.items) || changed;
      const std::int32_t shown =
          list->mvalue() != nullptr && list->mvalue()->text != nullptr ? list->value() : -1;
      if (shown != control.selection) {
        list->Select(control.selection);
        changed = true;
      }
      break;
    }
    case ORVEX_CONTROL_TRACKBAR:
      changed = static_cast<Trackbar*>(widget)->Set(control.minimum, control.maximum,
                                                    control.position, control.tickFrequency) ||
                changed;
      break;
    case ORVEX_CONTROL_TAB:
      changed = static_cast<TabControl*>(widget)->Set(control.items, control.selection) || changed;
      break;
    default:
      break;
  }
  return changed;
}

bool ScreenDialog::ShowSurface(Surface& surface, const WindowModel& model) {
  bool changed = false;
  const std::size_t count = std::min(surface.widgets.size(), model.controls.size());
  for (std::size_t i = 0; i < count; ++i) {
    changed = ShowControl(model.controls[i], surface.widgets[i]) || changed;
  }
  // An up-down's buddy steps it with the arrow keys.
  for (const Control& control : model.controls) {
    if (control.kind != ORVEX_CONTROL_UP_DOWN || control.buddy == 0) continue;
    for (std::size_t i = 0; i < count; ++i) {
      if (model.controls[i].id == control.buddy && model.controls[i].kind == ORVEX_CONTROL_EDIT) {
        static_cast<Edit*>(surface.widgets[i])->upDown = control.id;
      }
    }
  }
  if (surface.group != window_.get()) {
    if (Fl_Widget* tab = TabWidget(surface.tabId)) {
      const int x = Clamp32(std::int64_t{tab->x()} + model.outer.x);
      const int y = Clamp32(std::int64_t{tab->y()} + model.outer.y);
      if (surface.group->x() != x || surface.group->y() != y) {
        surface.group->position(x, y);
        changed = true;
      }
    }
    if (model.visible != (surface.group->visible() != 0)) {
      model.visible ? surface.group->show() : surface.group->hide();
      changed = true;
    }
  }
  surface.model = model;
  return changed;
}

Surface* ScreenDialog::FindSurface(OrvexWindow handle) {
  if (handle == dialog_.handle) return &dialog_;
  for (const auto& page : pages_) {
    if (page->handle == handle) return page.get();
  }
  return nullptr;
}

Fl_Widget* ScreenDialog::TabWidget(std::int32_t tabId) {
  const Controls& controls = dialog_.model.controls;
  for (std::size_t i = 0; i < controls.size(); ++i) {
    if (controls[i].id == tabId && controls[i].kind == ORVEX_CONTROL_TAB) {
      return dialog_.widgets[i];
    }
  }
  return nullptr;
}

void ScreenDialog::AddPage(const WindowModel& page, std::int16_t widthUnits,
                           std::int16_t heightUnits) {
  auto surface = std::make_unique<Surface>();
  surface->handle = page.handle;
  surface->tabId = page.tabId;
  surface->model = page;
  Fl_Widget* tab = TabWidget(page.tabId);
  const int x = (tab != nullptr ? tab->x() : 0) + page.outer.x;
  const int y = (tab != nullptr ? tab->y() : 0) + page.outer.y;
  Fl_Group::current(nullptr);
  auto* group = new Page(x, y, font_.X(widthUnits), font_.Y(heightUnits));
  surface->group = group;
  group->begin();
  MakeWidgets(*surface, x, y);
  group->end();
  Fl_Group::current(nullptr);
  group->hide();
  // Last in the window: drawn over the tab control and everything else.
  window_->add(group);
  pages_.push_back(std::move(surface));
  window_->redraw();
}

void ScreenDialog::Show(const DialogModel& model) {
  bool changed = ShowSurface(dialog_, model.dialog);
  for (auto page = pages_.begin(); page != pages_.end();) {
    const auto shown =
        std::find_if(model.pages.begin(), model.pages.end(),
                     [&](const WindowModel& m) { return m.handle == (*page)->handle; });
    if (shown == model.pages.end()) {
      // Destroyed meanwhile.
      window_->remove((*page)->group);
      delete (*page)->group;
      page = pages_.erase(page);
      changed = true;
      continue;
    }
    changed = ShowSurface(**page, *shown) || changed;
    ++page;
  }
  // Labels and group boxes are drawn over what lies below them: the whole window again.
  if (changed) window_->redraw();
}

void ScreenDialog::Present() {
  Display* display = x11::SeatDisplay();
  const ::Window root = DefaultRootWindow(display);
  // Centred on the owner when there is one, else on the screen.
  int centreX = 0, centreY = 0;
  bool placed = false;
  if (owner_ != 0) {
    XWindowAttributes attributes{};
    int x = 0, y = 0;
    ::Window child = 0;
    x11::ClearError();
    if (XGetWindowAttributes(display, owner_, &attributes) &&
        XTranslateCoordinates(display, owner_, root, 0, 0, &x, &y, &child) &&
        x11::LastError() == 0) {
      centreX = x + attributes.width / 2;
      centreY = y + attributes.height / 2;
      placed = true;
    } else {
      owner_ = 0;  // gone already
    }
  }
  int sx = 0, sy = 0, sw = 0, sh = 0;
  Fl::screen_xywh(sx, sy, sw, sh, placed ? centreX : 0, placed ? centreY : 0);
  if (!placed) {
    centreX = sx + sw / 2;
    centreY = sy + sh / 2;
  }
  const int x = std::clamp(centreX - window_->w() / 2, sx, std::max(sx, sx + sw - window_->w()));
  const int y = std::clamp(centreY - window_->h() / 2, sy, std::max(sy, sy + sh - window_->h()));
  window_->position(x, y);

  // The owner takes no input while the dialog is open: a window of ours over all of it.
  if (owner_ != 0 && ownerIsForeign_) {
    XSetWindowAttributes attributes{};
    attributes.event_mask = ButtonPressMask | ButtonReleaseMask | KeyPressMask | KeyReleaseMask;
    x11::ClearError();
    cover_ = XCreateWindow(display, owner_, 0, 0, 32767, 32767, 0, 0, InputOnly, CopyFromParent,
                           CWEventMask, &attributes);
    XMapRaised(display, cover_);
    DialogsByCover()[cover_] = this;
  }

  // FLTK makes and maps the window in one go. What a window manager reads when it takes the
  // window on follows the map request in the same buffer, with no round trip in between, so the
  // server has it before the manager can ask: the atoms are asked for first.
  const Atom state = XInternAtom(display, "_NET_WM_STATE", False);
  const Atom modal = XInternAtom(display, "_NET_WM_STATE_MODAL", False);
  const Atom type = XInternAtom(display, "_NET_WM_WINDOW_TYPE", False);
  const Atom dialogType = XInternAtom(display, "_NET_WM_WINDOW_TYPE_DIALOG", False);
  window_->show();
  const ::Window xid = fl_xid(window_.get());
  if (owner_ != 0) XSetTransientForHint(display, xid, owner_);
  XChangeProperty(display, xid, state, XA_ATOM, 32, PropModeAppend,
                  reinterpret_cast<const unsigned char*>(&modal), 1);
  XChangeProperty(display, xid, type, XA_ATOM, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(&dialogType), 1);
  XFlush(display);
  DialogsByWindow()[xid] = this;
  FocusFirst();
}

void ScreenDialog::Mapped() {
  // Without a window manager nobody gives the new window the keyboard.
  const ::Window xid = fl_xid(window_.get());
  if (xid == 0 || mapped_ == xid) return;
  mapped_ = xid;
  XSetInputFocus(x11::SeatDisplay(), xid, RevertToParent, CurrentTime);
}

void ScreenDialog::OwnerClicked() {
  // A click on a window that waits for its dialog brings the dialog up.
  if (const ::Window xid = fl_xid(window_.get())) {
    XRaiseWindow(x11::SeatDisplay(), xid);
    XSetInputFocus(x11::SeatDisplay(), xid, RevertToParent, CurrentTime);
  }
  fl_beep();
}

void ScreenDialog::Wait() {
  Fl::wait(0.25);
}

std::optional<Box> ScreenDialog::WindowBox(OrvexWindow window) {
  Surface* surface = FindSurface(window);
  if (surface == nullptr) return std::nullopt;
  Fl_Widget* area = surface->group;
  const bool isWindow = surface == &dialog_;
  return OnRoot(window_.get(), isWindow ? 0 : area->x(), isWindow ? 0 : area->y(), area->w(),
                area->h());
}

std::optional<Box> ScreenDialog::ItemBox(OrvexWindow window, std::int32_t id) {
  Surface* surface = FindSurface(window);
  if (surface == nullptr) return std::nullopt;
  const Controls& controls = surface->model.controls;
  for (std::size_t i = 0; i < controls.size(); ++i) {
    if (controls[i].id != id) continue;
    Fl_Widget* widget = surface->widgets[i];
    return OnRoot(window_.get(), widget->x(), widget->y(), widget->w(), widget->h());
  }
  return std::nullopt;
}

// --- keyboard ---

std::vector<ScreenDialog::Place> ScreenDialog::Places() {
  std::vector<Place> places;
  for (std::size_t i = 0; i < dialog_.model.controls.size(); ++i) {
    places.push_back({&dialog_, i});
    const Control& control = dialog_.model.controls[i];
    if (control.kind != ORVEX_CONTROL_TAB) continue;
    // The controls of the tab's pages come right after it.
    for (const auto& page : pages_) {
      if (page->tabId != control.id || !page->model.visible) continue;
      for (std::size_t j = 0; j < page->model.controls.size(); ++j) {
        places.push_back({page.get(), j});
      }
    }
  }
  return places;
}

// Whether the keyboard may rest on the control: it can be reached and takes input; of a group
// of radio buttons only the checked one, or the first when none is.
// The group of controls (of one window) that the control at `at` belongs to: from the nearest
// control at or before it that starts a group up to the next one that does, [first, end).
std::pair<std::size_t, std::size_t> ScreenDialog::GroupAround(const std::vector<Place>& all,
                                                              std::size_t at) {
  const Surface* surface = all[at].surface;
  std::size_t first = at;
  while (first > 0 && all[first - 1].surface == surface &&
         (all[first].control().style & ORVEX_CONTROL_GROUP) == 0) {
    --first;
  }
  std::size_t end = first + 1;
  while (end < all.size() && all[end].surface == surface &&
         (all[end].control().style & ORVEX_CONTROL_GROUP) == 0) {
    ++end;
  }
  return {first, end};
}

bool ScreenDialog::IsStop(const Place& place, const std::vector<Place>& all, std::size_t at) const {
  const Control& control = place.control();
  if (!control.enabled || !control.visible) return false;
  if (place.surface != &dialog_ && !place.surface->model.visible) return false;
  switch (control.kind) {
    case ORVEX_CONTROL_PUSH_BUTTON:
    case ORVEX_CONTROL_CHECK_BOX:
    case ORVEX_CONTROL_EDIT:
    case ORVEX_CONTROL_DROP_DOWN_LIST:
    case ORVEX_CONTROL_TRACKBAR:
    case ORVEX_CONTROL_TAB:
      return true;
    case ORVEX_CONTROL_RADIO_BUTTON: {
      if (control.checked) return true;
      const auto [first, end] = GroupAround(all, at);
      for (std::size_t i = first; i < end; ++i) {
        if (all[i].control().kind == ORVEX_CONTROL_RADIO_BUTTON && all[i].control().checked) {
          return false;
        }
      }
      // None checked: the first radio button of the group that can be reached.
      for (std::size_t i = first; i < at; ++i) {
        const Control& before = all[i].control();
        if (before.kind == ORVEX_CONTROL_RADIO_BUTTON && before.enabled && before.visible) {
          return false;
        }
      }
      return true;
    }
    default:
      return false;
  }
}

std::optional<std::size_t> ScreenDialog::FocusedPlace(const std::vector<Place>& places) const {
  const Fl_Widget* focus = Fl::focus();
  for (std::size_t i = 0; i < places.size(); ++i) {
    if (places[i].widget() == focus) return i;
  }
  return std::nullopt;
}

void ScreenDialog::Focus(const Place& place) {
  Fl_Widget* widget = place.widget();
  if (!widget->take_focus()) Fl::focus(widget);
}

void ScreenDialog::FocusFirst() {
  const std::vector<Place> places = Places();
  for (std::size_t i = 0; i < places.size(); ++i) {
    if (IsStop(places[i], places, i)) {
      Focus(places[i]);
      return;
    }
  }
}

bool ScreenDialog::Navigate(int step) {
  const std::vector<Place> places = Places();
  if (places.empty()) return true;
  const auto count = static_cast<std::ptrdiff_t>(places.size());
  const std::optional<std::size_t> focused = FocusedPlace(places);
  std::ptrdiff_t at = focused ? static_cast<std::ptrdiff_t>(*focused) : (step > 0 ? -1 : count);
  for (std::ptrdiff_t tried = 0; tried < count; ++tried) {
    at = ((at + step) % count + count) % count;
    if (IsStop(places[static_cast<std::size_t>(at)], places, static_cast<std::size_t>(at))) {
      Focus(places[static_cast<std::size_t>(at)]);
      return true;
    }
  }
  return true;
}

bool ScreenDialog::MoveInRadioGroup(int step) {
  const std::vector<Place> places = Places();
  const std::optional<std::size_t> focused = FocusedPlace(places);
  if (!focused || places[*focused].control().kind != ORVEX_CONTROL_RADIO_BUTTON) return false;
  const auto [first, end] = GroupAround(places, *focused);
  std::vector<std::size_t> group;
  for (std::size_t i = first; i < end; ++i) {
    const Control& control = places[i].control();
    if (control.kind == ORVEX_CONTROL_RADIO_BUTTON && control.enabled && control.visible) {
      group.push_back(i);
    }
  }
  const auto mine = std::find(group.begin(), group.end(), *focused);
  if (mine == group.end()) return true;
  const auto size = static_cast<std::ptrdiff_t>(group.size());
  const std::ptrdiff_t next = ((mine - group.begin() + step) % size + size) % size;
  const Place& target = places[group[static_cast<std::size_t>(next)]];
  Focus(target);
  // Moving onto a radio button checks it, as a click would.
  OrvexPlatform_ClickItem(target.surface->handle, target.control().id);
  return true;
}

bool ScreenDialog::PressEnter() {
  if (auto* button = dynamic_cast<PushButton*>(Fl::focus())) {
    OrvexPlatform_ClickItem(button->ref.window, button->ref.id);
    return true;
  }
  for (const Control& control : dialog_.model.controls) {
    if (control.kind == ORVEX_CONTROL_PUSH_BUTTON && (control.style & ORVEX_CONTROL_DEFAULT) != 0) {
      OrvexPlatform_ClickItem(dialog_.handle, control.id);
      return true;
    }
  }
  Notify(dialog_.handle, ControlEvent{ORVEX_DIALOG_CLICKED, kButtonOk});
  return true;
}

void ScreenDialog::Cancel() {
  if (FindControl(dialog_.model.controls, kButtonCancel) != nullptr) {
    OrvexPlatform_ClickItem(dialog_.handle, kButtonCancel);
  } else {
    Notify(dialog_.handle, ControlEvent{ORVEX_DIALOG_CLICKED, kButtonCancel});
  }
}

bool ScreenDialog::Mnemonic(char key) {
  const std::vector<Place> places = Places();
  if (places.empty()) return false;
  const std::size_t count = places.size();
  // Several controls may share a letter: each press goes to the next one.
  const std::optional<std::size_t> focused = FocusedPlace(places);
  const std::size_t start = focused ? *focused + 1 : 0;
  for (std::size_t tried = 0; tried < count; ++tried) {
    const std::size_t at = (start + tried) % count;
    const Place& place = places[at];
    const Control& control = place.control();
    if (fltk::Mnemonic(control.text) != key || !control.visible) continue;
    if (place.surface != &dialog_ && !place.surface->model.visible) continue;
    switch (control.kind) {
      case ORVEX_CONTROL_PUSH_BUTTON:
        OrvexPlatform_ClickItem(place.surface->handle, control.id);
        return true;
      case ORVEX_CONTROL_CHECK_BOX:
      case ORVEX_CONTROL_RADIO_BUTTON:
        if (!control.enabled) continue;
        Focus(place);
        OrvexPlatform_ClickItem(place.surface->handle, control.id);
        return true;
      case ORVEX_CONTROL_LABEL:
      case ORVEX_CONTROL_GROUP_BOX:
        for (std::size_t next = at + 1; next < count; ++next) {
          if (IsStop(places[next], places, next)) {
            Focus(places[next]);
            return true;
          }
        }
        return true;
      default:
        continue;
    }
  }
  return false;
}

bool ScreenDialog::Key() {
  const int key = Fl::event_key();
  const int state = Fl::event_state() & (FL_SHIFT | FL_CTRL | FL_ALT | FL_META);
  switch (key) {
    case FL_Tab:
      if ((state & ~FL_SHIFT) != 0) return false;
      return Navigate(state == FL_SHIFT ? -1 : 1);
    case FL_Enter:
    case FL_KP_Enter:
      return state == 0 && PressEnter();
    case FL_Escape:
      if (state != 0) return false;
      Cancel();
      return true;
    case FL_Left:
    case FL_Up:
      return state == 0 && MoveInRadioGroup(-1);
    case FL_Right:
    case FL_Down:
      return state == 0 && MoveInRadioGroup(1);
    default:
      return false;
  }
}

bool ScreenDialog::Shortcut() {
  const int key = Fl::event_key();
  if (key == FL_Escape || key == FL_Enter || key == FL_KP_Enter) return Key();
  const int state = Fl::event_state() & (FL_CTRL | FL_ALT | FL_META);
  if (state != 0 && state != FL_ALT) return false;
  if (key < 0 || key > 127 || std::isalnum(key) == 0) return false;
  return Mnemonic(static_cast<char>(std::tolower(key)));
}

// --- the toolkit, once per process ---

// Events that FLTK is not to see: a window that keeps input from an owner, and reparenting by a
// window manager, which FLTK would answer by touching the process's Xlib error handler (the
// window's place arrives with the next configure event anyway). A dialog mapped takes the keyboard.
int FilterEvent(void* event, void*) {
  const XEvent& x = *static_cast<const XEvent*>(event);
  if (x.type == ReparentNotify) return 1;
  if (auto cover = DialogsByCover().find(x.xany.window); cover != DialogsByCover().end()) {
    if (x.type == ButtonPress) cover->second->OwnerClicked();
    return 1;
  }
  if (x.type == MapNotify) {
    if (auto dialog = DialogsByWindow().find(x.xmap.window); dialog != DialogsByWindow().end()) {
      dialog->second->Mapped();
    }
  }
  return 0;
}

void Quiet(const char*, ...) {}

// An open drop-down list runs a loop of the toolkit's own until it closes, in which nothing the
// dialog's thread is asked gets done (calls of other threads, the dialog's end): it is closed as
// Escape closes it, so that the dialog's loop goes on. The menu window holds the grab.
void CloseOpenMenu() {
  Fl_Window* menu = Fl::grab();
  const int key = Fl::e_keysym;
  Fl::e_keysym = FL_Escape;
  menu->handle(FL_KEYBOARD);
  Fl::e_keysym = key;
}

std::string& JapaneseFaceName() {
  static auto* const name = new std::string;
  return *name;
}

// FLTK on the library's connection. fl_open_display(Display*) takes the connection as it is: it
// installs no Xlib handlers and leaves the locale alone (the form without a display would do
// both); every later FLTK call finds it open and never opens another.
void InitialiseToolkit(Display* display) {
  Fl::warning = Quiet;  // FLTK's notes about input methods and the like are nobody's business
  fl_open_display(display);
  // FLTK watches the root window for changes of the work area; between dialogs nobody reads
  // this connection, so such events would only pile up.
  XSelectInput(display, DefaultRootWindow(display), 0);
  Fl::add_system_handler(FilterEvent, nullptr);
  Fl::add_fd(x11::WakeDescriptor(), FL_READ, [](int, void*) {
    x11::DrainWakes();
    if (Fl::grab() != nullptr && DialogLoopWanted()) CloseOpenMenu();
  });
  Fl::visible_focus(1);
  Fl::background(0xF0, 0xF0, 0xF0);
  if (const std::optional<std::string>& family = JapaneseFontFamily()) {
    // A leading space: the plain face of the family, not bold nor italic.
    JapaneseFaceName() = " " + *family;
    Fl::set_font(kJapaneseFace, JapaneseFaceName().c_str());
  }
}

}  // namespace
}  // namespace fltk

bool DialogsOnScreen() {
  return x11::DisplayUsable();
}

void AllowDialogsOnScreen(bool allow) {
  x11::AllowDrawing(allow);
}

void WakeScreen() {
  x11::Wake();
}

std::shared_ptr<DialogView> MakeScreenDialog(const OrvexDialogTemplate& dialogTemplate,
                                             const WindowModel& model, unsigned long ownerXWindow,
                                             bool ownerIsForeign) {
  if (!x11::TakeSeat(fltk::InitialiseToolkit)) return nullptr;
  try {
    return std::make_shared<fltk::ScreenDialog>(dialogTemplate, model, ownerXWindow,
                                                ownerIsForeign);
  } catch (...) {
    x11::LeaveSeat();
    return nullptr;
  }
}

}  // namespace orvex::headless
