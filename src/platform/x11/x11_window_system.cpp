#include "platform/x11/x11_window_system.h"

#include <orvex/platform.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>
#include <string>
#include <utility>

#include "platform/x11/x11_display.h"

namespace orvex::platform::x11 {
namespace {

// X resource ids leave their top three bits clear; the library's own window handles never do.
bool IsXid(WindowHandle window) {
  return window != 0 && window < (WindowHandle{1} << 29);
}

xcb_window_t ToWindow(WindowHandle window) {
  return static_cast<xcb_window_t>(window);
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

xcb_void_cookie_t SetProperty(Connection& connection, xcb_window_t window, xcb_atom_t property,
                              xcb_atom_t type, std::uint8_t format, std::size_t items,
                              const void* data) {
  return xcb_change_property_checked(connection.get(), XCB_PROP_MODE_REPLACE, window, property,
                                     type, format, static_cast<std::uint32_t>(items), data);
}

// The window's state, or none when it is no X window, does not exist or the connection is gone.
std::optional<WindowState> StateOf(Connection& connection, WindowHandle window) {
  if (!IsXid(window)) return std::nullopt;
  return connection.State(ToWindow(window));
}

// WM_NORMAL_HINTS as ICCCM lays them out: 18 words, the flags first; PPosition and PSize.
constexpr std::uint32_t kProgramPosition = 1u << 2;
constexpr std::uint32_t kProgramSize = 1u << 3;
constexpr std::size_t kSizeHintWords = 18;

}  // namespace

X11WindowSystem::X11WindowSystem(Options options) : options_(std::move(options)) {}

X11WindowSystem::Call X11WindowSystem::Here() {
  ServeTopLevels();
  return Call{{}, ThreadConnection(options_.display)};
}

void X11WindowSystem::ServeTopLevels() {
  std::unique_lock lock(topLevelMutex_, std::try_to_lock);
  if (!lock.owns_lock() || !topLevelConnection_) return;
  const PipeSignalGuard guard;
  topLevelConnection_->DrainEvents();
}

bool X11WindowSystem::PostWindowMessage(WindowHandle window, std::uint32_t message,
                                        std::uintptr_t wParam, std::intptr_t lParam) {
  if (window == 0) return false;
  if (OrvexPlatform_PostMessage(window, message, wParam, lParam) != 0) return true;
  if (!IsXid(window)) return false;
  const Call call = Here();
  Connection* connection = call.connection;
  if (connection == nullptr) return false;

  // Format-32 items carry 32 bits each: every word-sized parameter goes in two halves.
  const auto w = static_cast<std::uint64_t>(wParam);
  const auto l = static_cast<std::uint64_t>(static_cast<std::int64_t>(lParam));
  xcb_client_message_event_t event{};
  event.response_type = XCB_CLIENT_MESSAGE;
  event.format = 32;
  event.window = ToWindow(window);
  event.type = connection->Intern(ORVEX_PLATFORM_MESSAGE_ATOM);
  event.data.data32[0] = message;
  event.data.data32[1] = static_cast<std::uint32_t>(w & 0xFFFFFFFFu);
  event.data.data32[2] = static_cast<std::uint32_t>(w >> 32);
  event.data.data32[3] = static_cast<std::uint32_t>(l & 0xFFFFFFFFu);
  event.data.data32[4] = static_cast<std::uint32_t>(l >> 32);
  // No event mask: the event goes to the client that made the window.
  return connection->Check(
      {xcb_send_event_checked(connection->get(), 0, ToWindow(window), XCB_EVENT_MASK_NO_EVENT,
                              reinterpret_cast<const char*>(&event))});
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
  const Call call = Here();
  Connection* connection = call.connection;
  std::unique_lock<std::mutex> topLevelLock;
  if (topLevel) {
    topLevelLock = std::unique_lock(topLevelMutex_);
    // A lost connection took its windows with it.
    if (!topLevelConnection_ || topLevelConnection_->dead()) {
      topLevelConnection_ = OpenConnection(options_.display);
    }
    connection = topLevelConnection_.get();
  }
  if (connection == nullptr) return 0;
  xcb_connection_t* c = connection->get();
  const xcb_screen_t& screen = *connection->screen();
  const xcb_atom_t netName = connection->Intern("_NET_WM_NAME");
  const xcb_atom_t utf8String = connection->Intern("UTF8_STRING");
  const xcb_atom_t protocols = connection->Intern("WM_PROTOCOLS");
  const xcb_atom_t deleteWindow = connection->Intern("WM_DELETE_WINDOW");
  // Everything that allocates comes before the window exists: once made and mapped, it must
  // reach its owner. WM_NAME is Latin-1 text; _NET_WM_NAME carries the title as it is.
  std::string utf8;
  std::string latin1;
  try {
    utf8 = title != nullptr ? title : "";
    latin1 = Latin1Of(utf8);
    if (topLevel) connection->topLevels().reserve(connection->topLevels().size() + 1);
  } catch (const std::bad_alloc&) {
    return 0;
  }

  // The screen's root visual rather than the parent's, so that every preview window takes the
  // same pixels whatever visual the application's window has. Values in the order of their
  // mask bits.
  const std::uint32_t values[] = {screen.black_pixel, 0, screen.default_colormap};
  const xcb_window_t window = xcb_generate_id(c);
  const std::int16_t left = static_cast<std::int16_t>(ClampPosition(x));
  const std::int16_t top = static_cast<std::int16_t>(ClampPosition(y));
  const auto wide = static_cast<std::uint16_t>(ClampSize(width));
  const auto high = static_cast<std::uint16_t>(ClampSize(height));
  const xcb_void_cookie_t created = xcb_create_window_checked(
      c, screen.root_depth, window, topLevel ? connection->root() : ToWindow(parent), left, top,
      wide, high, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, screen.root_visual,
      XCB_CW_BACK_PIXEL | XCB_CW_BORDER_PIXEL | XCB_CW_COLORMAP, values);
  const xcb_void_cookie_t named = SetProperty(*connection, window, XCB_ATOM_WM_NAME,
                                              XCB_ATOM_STRING, 8, latin1.size(), latin1.data());
  const xcb_void_cookie_t netNamed =
      SetProperty(*connection, window, netName, utf8String, 8, utf8.size(), utf8.data());
  xcb_void_cookie_t hinted = named, closable = named;
  if (topLevel) {
    closable = SetProperty(*connection, window, protocols, XCB_ATOM_ATOM, 32, 1, &deleteWindow);
    // The library centres the window itself.
    std::uint32_t hints[kSizeHintWords] = {kProgramPosition | kProgramSize,
                                           static_cast<std::uint32_t>(left),
                                           static_cast<std::uint32_t>(top), wide, high};
    hinted = SetProperty(*connection, window, XCB_ATOM_WM_NORMAL_HINTS, XCB_ATOM_WM_SIZE_HINTS, 32,
                         kSizeHintWords, hints);
  }
  const xcb_void_cookie_t mapped = xcb_map_window_checked(c, window);
  if (!connection->Check({created, named, netNamed, closable, hinted, mapped})) {
    // A parent that does not exist (or went away meanwhile) leaves at most a half-made window.
    connection->Check({xcb_destroy_window_checked(c, window)});
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
  const Call call = Here();
  return call.connection != nullptr ? call.connection->screen()->width_in_pixels : 0;
}

std::int32_t X11WindowSystem::ScreenHeight() {
  const Call call = Here();
  return call.connection != nullptr ? call.connection->screen()->height_in_pixels : 0;
}

bool X11WindowSystem::SetFocus(WindowHandle window) {
  const Call call = Here();
  Connection* connection = call.connection;
  const std::optional<WindowState> state =
      connection != nullptr ? StateOf(*connection, window) : std::nullopt;
  // Only a viewable window can take the focus; a top-level window that the window manager has
  // not mapped yet keeps the focus where it is.
  if (!state || state->mapState != XCB_MAP_STATE_VIEWABLE) return false;
  return connection->Check({xcb_set_input_focus_checked(connection->get(), XCB_INPUT_FOCUS_PARENT,
                                                        ToWindow(window), XCB_CURRENT_TIME)});
}

bool X11WindowSystem::ShowWindow(WindowHandle window) {
  const Call call = Here();
  Connection* connection = call.connection;
  if (connection == nullptr || !IsXid(window)) return false;
  return connection->Check({xcb_map_window_checked(connection->get(), ToWindow(window))});
}

bool X11WindowSystem::UpdateWindow(WindowHandle window) {
  // Nothing waits to be painted: the server clears exposed parts to the black background and
  // the next frame fills them. The window must exist, though.
  const Call call = Here();
  return call.connection != nullptr && StateOf(*call.connection, window).has_value();
}

bool X11WindowSystem::DestroyWindow(WindowHandle window) {
  const Call call = Here();
  Connection* connection = call.connection;
  if (connection == nullptr || !IsXid(window)) return false;
  {
    std::lock_guard lock(topLevelMutex_);
    if (topLevelConnection_) {
      auto& topLevels = topLevelConnection_->topLevels();
      topLevels.erase(std::remove(topLevels.begin(), topLevels.end(), ToWindow(window)),
                      topLevels.end());
    }
  }
  return connection->Check({xcb_destroy_window_checked(connection->get(), ToWindow(window))});
}

bool X11WindowSystem::GetClientRect(WindowHandle window, WindowRect* rect) {
  const Call call = Here();
  if (rect == nullptr || call.connection == nullptr) return false;
  const std::optional<WindowState> state = StateOf(*call.connection, window);
  if (!state) return false;
  *rect = WindowRect{0, 0, state->width, state->height};
  return true;
}

bool X11WindowSystem::IsWindowVisible(WindowHandle window) {
  const Call call = Here();
  if (call.connection == nullptr) return false;
  const std::optional<WindowState> state = StateOf(*call.connection, window);
  return state && state->mapState == XCB_MAP_STATE_VIEWABLE;
}

GraphicsHandle X11WindowSystem::GetWindowDc(WindowHandle window) {
  const Call call = Here();
  Connection* connection = call.connection;
  if (connection == nullptr || !connection->Format().has_value()) return 0;
  const std::optional<WindowState> state = StateOf(*connection, window);
  const xcb_screen_t& screen = *connection->screen();
  if (!state || state->windowClass != XCB_WINDOW_CLASS_INPUT_OUTPUT ||
      state->depth != screen.root_depth || state->visual != screen.root_visual) {
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
  const Call call = Here();
  Connection* connection = call.connection;
  if (connection == nullptr) return false;
  const std::optional<PixelFormat>& format = connection->Format();
  if (!format) return false;
  const std::optional<SourceBitmap> source = ReadBitmap(bitmap, *format);
  if (!source) return false;
  // Frames are drawn on the preview thread: short of memory for the placement, nothing is
  // drawn, as when the server refuses the image.
  Placement placement;
  try {
    placement = place(source->dib);
  } catch (const std::bad_alloc&) {
    return false;
  }
  if (placement.width <= 0 || placement.height <= 0) return true;  // nothing inside the bitmap
  if (placement.x != ClampPosition(placement.x) || placement.y != ClampPosition(placement.y)) {
    return false;
  }
  std::size_t bytesPerLine = 0;
  std::uint8_t* image =
      connection->BeginImage(placement.width, placement.height, options_.useShm, &bytesPerLine);
  if (image == nullptr) return false;
  ComposeImage(*source, placement, *format, image, bytesPerLine);
  if (!connection->PutImage(ToWindow(window), static_cast<std::int16_t>(placement.x),
                            static_cast<std::int16_t>(placement.y))) {
    return false;
  }
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
  // Never destroyed: library threads may still draw while the process exits. The choice is
  // made within some call of the library (a release among them), which nothing may leave: out
  // of memory for it, the process draws headless, as without a display.
  static X11WindowSystem* const instance =
      DefaultDisplayReachable() ? new (std::nothrow) X11WindowSystem : nullptr;
  return instance;
}

}  // namespace orvex::platform::x11
