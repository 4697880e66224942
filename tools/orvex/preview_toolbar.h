// The strip of buttons along the top of orvex preview's window, drawn with Xlib: one button
// for each property dialog, and a line that tells what the picture is.
#pragma once

#if !defined(_WIN32)

#include <X11/Xlib.h>

#include <string>
#include <vector>

namespace orvex::tool {

class PreviewToolbar {
 public:
  static constexpr int kHeight = 28;

  // Buttons with these labels, left to right, on the window's connection.
  PreviewToolbar(Display* display, Window window, const std::vector<std::string>& labels);
  ~PreviewToolbar();
  PreviewToolbar(const PreviewToolbar&) = delete;
  PreviewToolbar& operator=(const PreviewToolbar&) = delete;

  // The narrowest window that shows every button and a short status.
  int MinimumWidth() const;
  // The button at (x, y) of the window, or -1.
  int ButtonAt(int x, int y) const;
  // Draws a button as held down (the one pressed, or the one whose dialog is open); -1 none.
  void SetPressed(int button);
  int Pressed() const { return pressed_; }
  // The text at the right end of the strip.
  void SetStatus(const std::string& status);
  // Draws the whole strip, `width` pixels wide.
  void Draw(int width);

 private:
  struct Button {
    std::string label;
    int x = 0, width = 0;
  };

  unsigned long Colour(unsigned rgb) const;
  int TextWidth(const std::string& text) const;

  Display* display_;
  Window window_;
  GC gc_;
  XFontStruct* font_;
  std::vector<Button> buttons_;
  std::string status_;
  int pressed_ = -1;
  int width_ = 0;
};

}  // namespace orvex::tool

#endif
