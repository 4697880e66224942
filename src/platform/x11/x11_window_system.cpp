#include "platform/x11/x11_window_system.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <orvex/platform.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <string>
#include <utility>

#include "platform/x11/x11_display.h"

namespace orvex::platform::x11 {
namespace {

// X resource ids leave their top three bits clear; the library's own window handles never do.
bool IsXid(WindowHandle window) {
  return window != 0 && window < (WindowHandle{1} << 29);
}

Window ToWindow(WindowHandle window) {
  return static_cast<Window>(window);
}

int ClampPosition(std::int32_t value) {
  return std::clamp<std::int32_t>(value, std::numeric_limits<std::int16_t>::min(),
                                  std::numeric_limits<std::int16_t>::max());
}

// X has no empty windows: a size of 0 or less becomes 1.
unsigned ClampSize(std::int32_t value) {
  return static_cast<unsigned>(std::clamp<std::int32_t>(value, 1, 32767));
}

// WM_NAME is Latin-1 text: characters beyond it, and bytes that are not UTF-8, become '?'.
std::string Latin1Of(const std::string& utf8) {
  std::string out;
  for (std::size_t i = 0; i < utf8.size();) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    if (lead < 0x80) {
      out.push_back(static_cast<char>(lead));
      ++i;
      continue;
    }
    const std::size_t length = (lead & 0xE0) == 0xC0   ? 2
                               : (lead & 0xF0) == 0xE0 ? 3
                               : (lead & 0xF8) == 0xF0 ? 4
                                                       : 0;
    std::uint32_t code = lead & (0x7F >> length);
    std::size_t k = 1;
    for (; length != 0 && k < length && i + k < utf8.size(); ++k) {
      const auto next = static_cast<unsigned char>(utf8[i + k]);
      if ((next & 0xC0) != 0x80) break;
      code = (code << 6) | (next & 0x3F);
    }
    const bool whole = length != 0 && k == length;
    out.push_back(whole && code <= 0xFF ? static_cast<char>(code) : '?');
    i += whole ? length : 1;
  }
  return out;
}

void SetTitle(Connection& connection, Window window, const char* title) {
  const std::string utf8 = title != nullptr ? title : "";
  const std::string latin1 = Latin1Of(utf8);
  Display* display = connection.display();
  XChangeProperty(display, window, XA_WM_NAME, XA_STRING, 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(latin1.data()),
                  static_cast<int>(latin1.size()));
  XChangeProperty(display, window, connection.Intern("_NET_WM_NAME"),
                  connection.Intern("UTF8_STRING"), 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(utf8.data()),
                  static_cast<int>(utf8.size()));
}

// The window's attributes, or false when it does not exist (or the connection is gone).
bool Attributes(Connection& connection, WindowHandle window, XWindowAttributes* attributes) {
  if (!IsXid(window)) return false;
  // The call waits for its replies: an error comes back in their place and makes it fail.
  const Status status = XGetWindowAttributes(connection.display(), ToWindow(window), attributes);
  return status != 0 && !connection.dead();
}

}  // namespace

X11WindowSystem::X11WindowSystem(Options options) : options_(std::move(options)) {}

Connection* X11WindowSystem::Here() {
  Connection* connection = ThreadConnection(options_.display);
  if (connection != nullptr) connection->DrainEvents();
  return connection;
}

bool X11WindowSystem::PostWindowMessage(WindowHandle window, std::uint32_t message,
                                        std::uintptr_t wParam, std::intptr_t lParam) {
  if (window == 0) return false;
  if (OrvexPlatform_PostMessage(window, message, wParam, lParam) != 0) return true;
  if (!IsXid(window)) return false;
  Connection* connection = Here();
  if (connection == nullptr) return false;

  // Format-32 items carry 32 bits each: every word-sized parameter goes in two halves.
  const auto w = static_cast<std::uint64_t>(wParam);
  const auto l = static_cast<std::uint64_t>(static_cast<std::int64_t>(lParam));
  XEvent event{};
  XClientMessageEvent& client = event.xclient;
  client.type = ClientMessage;
  client.display = connection->display();
  client.window = ToWindow(window);
  client.message_type = connection->Intern(ORVEX_PLATFORM_MESSAGE_ATOM);
  client.format = 32;
  client.data.l[0] = static_cast<long>(message);
  client.data.l[1] = static_cast<long>(w & 0xFFFFFFFFu);
  client.data.l[2] = static_cast<long>(w >> 32);
  client.data.l[3] = static_cast<long>(l & 0xFFFFFFFFu);
  client.data.l[4] = static_cast<long>(l >> 32);
  connection->ClearErrors();
  // No event mask: the event goes to the client that made the window.
  XSendEvent(connection->display(), ToWindow(window), False, NoEventMask, &event);
  return connection->Sync();
}

bool X11WindowSystem::RegisterWindowClass(const char* className) {
  return className != nullptr && className[0] != '\0';
}

bool X11WindowSystem::UnregisterWindowClass(const char* className) {
  return className != nullptr && className[0] != '\0';
}

WindowHandle X11WindowSystem::MakeWindow(WindowHandle parent, const char* title, std::int32_t x,
                                         std::int32_t y, std::int32_t width, std::int32_t height,
                                         bool topLevel) {
  if (!topLevel && !IsXid(parent)) return 0;
  Connection* connection = Here();
  if (connection == nullptr) return 0;
  Display* display = connection->display();
  const int screen = connection->screen();

  // The screen's default visual rather than the parent's, so that every preview window takes
  // the same pixels whatever visual the application's window has.
  XSetWindowAttributes attributes{};
  attributes.background_pixel = BlackPixel(display, screen);
  attributes.border_pixel = 0;
  attributes.colormap = DefaultColormap(display, screen);
  connection->ClearErrors();
  const Window window = XCreateWindow(
      display, topLevel ? connection->root() : ToWindow(parent), ClampPosition(x), ClampPosition(y),
      ClampSize(width), ClampSize(height), 0, DefaultDepth(display, screen), InputOutput,
      DefaultVisual(display, screen), CWBackPixel | CWBorderPixel | CWColormap, &attributes);
  SetTitle(*connection, window, title);
  if (topLevel) {
    Atom deleteWindow = connection->Intern("WM_DELETE_WINDOW");
    XSetWMProtocols(display, window, &deleteWindow, 1);
    if (XSizeHints* hints = XAllocSizeHints()) {
      // The library centres the window itself.
      hints->flags = PPosition | PSize;
      hints->x = ClampPosition(x);
      hints->y = ClampPosition(y);
      hints->width = static_cast<int>(ClampSize(width));
      hints->height = static_cast<int>(ClampSize(height));
      XSetWMNormalHints(display, window, hints);
      XFree(hints);
    }
  }
  XMapWindow(display, window);
  if (!connection->Sync()) {
    // A parent that does not exist (or went away meanwhile) leaves at most a half-made window.
    XDestroyWindow(display, window);
    connection->ClearErrors();
    connection->Sync();
    return 0;
  }
  if (topLevel) connection->topLevels().push_back(window);
  return static_cast<WindowHandle>(window);
}

WindowHandle X11WindowSystem::CreateChildWindow(const char* /*className*/, const char* title,
                                                WindowHandle parent, std::int32_t x, std::int32_t y,
                                                std::int32_t width, std::int32_t height,
                                                std::int32_t /*childId*/) {
  return MakeWindow(parent, title, x, y, width, height, false);
}

bool X11WindowSystem::AdjustTopLevelRect(WindowRect* rect) {
  return rect != nullptr;
}

WindowHandle X11WindowSystem::CreateTopLevelWindow(const char* /*className*/, const char* title,
                                                   std::int32_t x, std::int32_t y,
                                                   std::int32_t width, std::int32_t height) {
  return MakeWindow(0, title, x, y, width, height, true);
}

std::int32_t X11WindowSystem::ScreenWidth() {
  Connection* connection = Here();
  return connection ? DisplayWidth(connection->display(), connection->screen()) : 0;
}

std::int32_t X11WindowSystem::ScreenHeight() {
  Connection* connection = Here();
  return connection ? DisplayHeight(connection->display(), connection->screen()) : 0;
}

bool X11WindowSystem::SetFocus(WindowHandle window) {
  Connection* connection = Here();
  XWindowAttributes attributes;
  if (connection == nullptr || !Attributes(*connection, window, &attributes)) return false;
  // Only a viewable window can take the focus; a top-level window that the window manager has
  // not mapped yet keeps the focus where it is.
  if (attributes.map_state != IsViewable) return false;
  connection->ClearErrors();
  XSetInputFocus(connection->display(), ToWindow(window), RevertToParent, CurrentTime);
  return connection->Sync();
}

bool X11WindowSystem::ShowWindow(WindowHandle window) {
  Connection* connection = Here();
  if (connection == nullptr || !IsXid(window)) return false;
  connection->ClearErrors();
  XMapWindow(connection->display(), ToWindow(window));
  return connection->Sync();
}

bool X11WindowSystem::UpdateWindow(WindowHandle window) {
  // Nothing waits to be painted: the server clears exposed parts to the black background and
  // the next frame fills them. The window must exist, though.
  Connection* connection = Here();
  XWindowAttributes attributes;
  return connection != nullptr && Attributes(*connection, window, &attributes);
}

bool X11WindowSystem::DestroyWindow(WindowHandle window) {
  Connection* connection = Here();
  if (connection == nullptr || !IsXid(window)) return false;
  auto& topLevels = connection->topLevels();
  topLevels.erase(std::remove(topLevels.begin(), topLevels.end(), ToWindow(window)),
                  topLevels.end());
  connection->ClearErrors();
  XDestroyWindow(connection->display(), ToWindow(window));
  return connection->Sync();
}

bool X11WindowSystem::GetClientRect(WindowHandle window, WindowRect* rect) {
  Connection* connection = Here();
  XWindowAttributes attributes;
  if (rect == nullptr || connection == nullptr || !Attributes(*connection, window, &attributes)) {
    return false;
  }
  *rect = WindowRect{0, 0, attributes.width, attributes.height};
  return true;
}

bool X11WindowSystem::IsWindowVisible(WindowHandle window) {
  Connection* connection = Here();
  XWindowAttributes attributes;
  return connection != nullptr && Attributes(*connection, window, &attributes) &&
         attributes.map_state == IsViewable;
}

GraphicsHandle X11WindowSystem::GetWindowDc(WindowHandle window) {
  Connection* connection = Here();
  XWindowAttributes attributes;
  if (connection == nullptr || !connection->Format().has_value() ||
      !Attributes(*connection, window, &attributes)) {
    return 0;
  }
  Display* display = connection->display();
  const int screen = connection->screen();
  if (attributes.c_class != InputOutput || attributes.depth != DefaultDepth(display, screen) ||
      XVisualIDFromVisual(attributes.visual) !=
          XVisualIDFromVisual(DefaultVisual(display, screen))) {
    return 0;
  }
  std::lock_guard lock(dcMutex_);
  const GraphicsHandle dc = nextDc_++;
  dcs_.emplace(dc, window);
  return dc;
}

bool X11WindowSystem::ReleaseWindowDc(WindowHandle window, GraphicsHandle dc) {
  std::lock_guard lock(dcMutex_);
  auto it = dcs_.find(dc);
  if (it == dcs_.end() || it->second != window) return false;
  dcs_.erase(it);
  return true;
}

WindowHandle X11WindowSystem::DcWindow(GraphicsHandle dc) {
  std::lock_guard lock(dcMutex_);
  auto it = dcs_.find(dc);
  return it != dcs_.end() ? it->second : 0;
}

template <typename Place>
bool X11WindowSystem::Draw(GraphicsHandle dc, const BitmapView& bitmap, Place place,
                           std::int32_t* rows) {
  *rows = 0;
  const WindowHandle window = DcWindow(dc);
  if (window == 0) return false;
  Connection* connection = Here();
  if (connection == nullptr) return false;
  const std::optional<PixelFormat>& format = connection->Format();
  if (!format) return false;
  const std::optional<SourceBitmap> source = ReadBitmap(bitmap, *format);
  if (!source) return false;
  const Placement placement = place(source->dib);
  if (placement.width <= 0 || placement.height <= 0) return true;  // nothing inside the bitmap
  if (placement.x != ClampPosition(placement.x) || placement.y != ClampPosition(placement.y)) {
    return false;
  }
  std::size_t bytesPerLine = 0;
  std::uint8_t* image =
      connection->BeginImage(placement.width, placement.height, options_.useShm, &bytesPerLine);
  if (image == nullptr) return false;
  ComposeImage(*source, placement, *format, image, bytesPerLine);
  if (!connection->PutImage(ToWindow(window), placement.x, placement.y)) return false;
  *rows = placement.height;
  return true;
}

std::int32_t X11WindowSystem::SetDiBitsToDevice(GraphicsHandle dc, std::int32_t x, std::int32_t y,
                                                std::int32_t width, std::int32_t height,
                                                std::int32_t sourceX, std::int32_t sourceY,
                                                std::int32_t startScan, std::int32_t scanLines,
                                                const BitmapView& bitmap) {
  std::int32_t rows = 0;
  if (!SizeUsable(width, height)) return 0;
  Draw(
      dc, bitmap,
      [&](const DibSource& source) {
        return PlaceDiBits(source, x, y, width, height, sourceX, sourceY, startScan, scanLines);
      },
      &rows);
  return rows;
}

bool X11WindowSystem::StretchBlt(GraphicsHandle dc, std::int32_t x, std::int32_t y,
                                 std::int32_t width, std::int32_t height, const BitmapView& source,
                                 std::int32_t sourceX, std::int32_t sourceY,
                                 std::int32_t sourceWidth, std::int32_t sourceHeight) {
  std::int32_t rows = 0;
  if (!SizeUsable(width, height) || sourceWidth == 0 || sourceHeight == 0) return false;
  return Draw(
      dc, source,
      [&](const DibSource& bitmap) {
        return PlaceStretch(bitmap, x, y, width, height, sourceX, sourceY, sourceWidth,
                            sourceHeight);
      },
      &rows);
}

X11WindowSystem* ReachableX11WindowSystem() {
  // Never destroyed: library threads may still draw while the process exits.
  static X11WindowSystem* const instance =
      DefaultDisplayReachable() ? new X11WindowSystem : nullptr;
  return instance;
}

}  // namespace orvex::platform::x11
