// The windows of the OrvexPlatform library: one table for message windows and for windows with a
// picture on the headless screen, so that both share one handle space and every window can
// receive posted messages.
//
// The camera library's threads post and draw while the application reads messages and the
// screen on others, so the table lives behind one process-wide mutex. It is held only for table
// and picture operations, never while a caller runs code of its own.
#pragma once

#include <orvex/platform.h>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace orvex::headless {

struct PostedMessage {
  std::uint32_t message;
  std::uintptr_t wParam;
  std::intptr_t lParam;
};

// A rectangle as a position and a size.
struct Box {
  std::int32_t x = 0;
  std::int32_t y = 0;
  std::int32_t width = 0;
  std::int32_t height = 0;
};

struct Dialog;

struct Window {
  // --- messages ---
  std::deque<PostedMessage> queue;
  std::condition_variable posted;
  bool destroyed = false;

  // --- the picture; message windows have none and are never drawn ---
  bool hasPicture = false;
  OrvexWindow parent = 0;
  std::string title;
  std::uint32_t style = 0;
  Box outer;  // relative to the parent's client area, or to the screen for a top-level window
  bool visible = false;
  std::uint8_t background[3] = {0, 0, 0};  // blue, green, red
  std::int32_t clientWidth = 0;
  std::int32_t clientHeight = 0;
  std::vector<std::uint8_t> pixels;  // client area, top row first, 3 bytes a pixel (B, G, R)
  std::int32_t drawCount = 0;

  // --- dialogs and their pages (dialog_manager.h); they have no picture ---
  std::shared_ptr<Dialog> dialog;
  bool enabled = true;               // false while a modal dialog that it owns is open
  std::int32_t ownedDialogs = 0;     // modal dialogs open over it
  bool enabledBeforeDialogs = true;  // `enabled` when the first of them opened
};

// Frame of a framed top-level window around its client area.
inline constexpr std::int32_t kFrameBorder = 4;
inline constexpr std::int32_t kFrameCaption = 20;
// Largest width or height of a window or of the screen.
inline constexpr std::int32_t kMaxExtent = 16384;

class WindowTable {
 public:
  std::mutex& Mutex() { return mutex_; }

  // The caller holds the mutex for all of the following.
  OrvexWindow Add(std::shared_ptr<Window> window);
  // Null when the handle is unknown.
  Window* Find(OrvexWindow handle) const;
  std::shared_ptr<Window> Share(OrvexWindow handle) const;
  // Removes the window and, for a window with a picture or a dialog, every window inside it;
  // wakes their waiting readers and ends a modal dialog's loop. False for an unknown handle.
  bool Remove(OrvexWindow handle);
  // Every window in creation order, which is also the stacking order (later ones above).
  const std::map<OrvexWindow, std::shared_ptr<Window>>& All() const { return windows_; }

  std::int32_t screenWidth = 1920;
  std::int32_t screenHeight = 1080;
  OrvexWindow focus = 0;

 private:
  std::mutex mutex_;
  std::map<OrvexWindow, std::shared_ptr<Window>> windows_;
  std::uintptr_t nextSerial_ = 1;
};

// The process's table; never destroyed, as threads may still post or draw while it exits.
WindowTable& Table();

// Gives the window its client size from its outer size and style, and a picture of that size
// filled with its background (the old picture is kept where it overlaps).
void ResizePicture(Window& window);

// Tells a dialog that its window is being removed, so that its modal loop ends. The caller holds
// the table's lock.
void DialogWindowRemoved(Window& window);

}  // namespace orvex::headless
