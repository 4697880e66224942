// The strip of buttons of orvex preview. Core X fonts are all a bare X server is sure to have
// ("fixed"), so the strip uses them rather than a font library of its own.
#if !defined(_WIN32)

#include "tools/orvex/preview_toolbar.h"

#include <X11/Xutil.h>

#include <algorithm>

namespace orvex::tool {
namespace {

constexpr int kMargin = 4;  // around the buttons
constexpr int kButtonHeight = 22;
constexpr int kTextPadding = 10;  // each side of a label
constexpr int kStatusSpace = 120;

// The colours of a dialog box's face and buttons, so that the strip sits well beside the
// property dialogs.
constexpr unsigned kFace = 0xF0F0F0;
constexpr unsigned kEdge = 0xA0A0A0;
constexpr unsigned kButtonFace = 0xE1E1E1;
constexpr unsigned kButtonEdge = 0xADADAD;
constexpr unsigned kPressedFace = 0xCCE4F7;
constexpr unsigned kPressedEdge = 0x005499;
constexpr unsigned kText = 0x000000;
constexpr unsigned kStatusText = 0x404040;

}  // namespace

PreviewToolbar::PreviewToolbar(Display* display, Window window,
                               const std::vector<std::string>& labels)
    : display_(display), window_(window), gc_(XCreateGC(display, window, 0, nullptr)) {
  font_ = XLoadQueryFont(display, "-misc-fixed-medium-r-semicondensed--13-*-*-*-*-*-iso8859-1");
  if (font_ == nullptr) font_ = XLoadQueryFont(display, "fixed");
  if (font_ != nullptr) XSetFont(display, gc_, font_->fid);
  int x = kMargin;
  for (const std::string& label : labels) {
    const int width = TextWidth(label) + 2 * kTextPadding;
    buttons_.push_back(Button{label, x, width});
    x += width + kMargin;
  }
}

PreviewToolbar::~PreviewToolbar() {
  if (font_ != nullptr) XFreeFont(display_, font_);
  XFreeGC(display_, gc_);
}

int PreviewToolbar::MinimumWidth() const {
  const int buttons = buttons_.empty() ? 0 : buttons_.back().x + buttons_.back().width;
  return buttons + kMargin + kStatusSpace;
}

int PreviewToolbar::ButtonAt(int x, int y) const {
  if (y < kMargin || y >= kMargin + kButtonHeight) return -1;
  for (std::size_t i = 0; i < buttons_.size(); ++i) {
    if (x >= buttons_[i].x && x < buttons_[i].x + buttons_[i].width) return static_cast<int>(i);
  }
  return -1;
}

void PreviewToolbar::SetPressed(int button) {
  if (button == pressed_) return;
  pressed_ = button;
  if (width_ > 0) Draw(width_);
}

void PreviewToolbar::SetStatus(const std::string& status) {
  if (status == status_) return;
  status_ = status;
  if (width_ > 0) Draw(width_);
}

unsigned long PreviewToolbar::Colour(unsigned rgb) const {
  XColor colour{};
  colour.red = static_cast<unsigned short>((rgb >> 16 & 0xFF) * 257);
  colour.green = static_cast<unsigned short>((rgb >> 8 & 0xFF) * 257);
  colour.blue = static_cast<unsigned short>((rgb & 0xFF) * 257);
  // On a TrueColor screen this is a computation without a round trip to the server.
  if (XAllocColor(display_, DefaultColormap(display_, DefaultScreen(display_)), &colour) == 0) {
    return (rgb >> 16 & 0xFF) + (rgb >> 8 & 0xFF) + (rgb & 0xFF) > 3 * 0x80
               ? WhitePixel(display_, DefaultScreen(display_))
               : BlackPixel(display_, DefaultScreen(display_));
  }
  return colour.pixel;
}

int PreviewToolbar::TextWidth(const std::string& text) const {
  if (font_ == nullptr) return static_cast<int>(text.size()) * 6;
  return XTextWidth(font_, text.data(), static_cast<int>(text.size()));
}

void PreviewToolbar::Draw(int width) {
  width_ = width;
  XSetForeground(display_, gc_, Colour(kFace));
  XFillRectangle(display_, window_, gc_, 0, 0, static_cast<unsigned>(width), kHeight - 1);
  XSetForeground(display_, gc_, Colour(kEdge));
  XDrawLine(display_, window_, gc_, 0, kHeight - 1, width - 1, kHeight - 1);

  const int ascent = font_ != nullptr ? font_->ascent : 10;
  const int descent = font_ != nullptr ? font_->descent : 3;
  const int baseline = kMargin + (kButtonHeight + ascent - descent) / 2;
  for (std::size_t i = 0; i < buttons_.size(); ++i) {
    const Button& button = buttons_[i];
    const bool pressed = static_cast<int>(i) == pressed_;
    XSetForeground(display_, gc_, Colour(pressed ? kPressedFace : kButtonFace));
    XFillRectangle(display_, window_, gc_, button.x, kMargin, static_cast<unsigned>(button.width),
                   kButtonHeight);
    XSetForeground(display_, gc_, Colour(pressed ? kPressedEdge : kButtonEdge));
    XDrawRectangle(display_, window_, gc_, button.x, kMargin,
                   static_cast<unsigned>(button.width - 1), kButtonHeight - 1);
    XSetForeground(display_, gc_, Colour(kText));
    XDrawString(display_, window_, gc_, button.x + kTextPadding, baseline, button.label.data(),
                static_cast<int>(button.label.size()));
  }

  const int buttonsEnd = buttons_.empty() ? 0 : buttons_.back().x + buttons_.back().width;
  const int statusX = std::max(buttonsEnd + 2 * kMargin, width - kMargin - TextWidth(status_));
  XSetForeground(display_, gc_, Colour(kStatusText));
  XDrawString(display_, window_, gc_, statusX, baseline, status_.data(),
              static_cast<int>(status_.size()));
  XFlush(display_);
}

}  // namespace orvex::tool

#endif
