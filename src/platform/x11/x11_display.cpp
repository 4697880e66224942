#include "platform/x11/x11_display.h"

#include <pthread.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <algorithm>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <thread>
#include <utility>

namespace orvex::platform::x11 {
namespace {

const char* DisplayName(const std::string& name) {
  return name.empty() ? nullptr : name.c_str();
}

const xcb_screen_t* ScreenOf(xcb_connection_t* connection, int number) {
  const xcb_setup_t* setup = xcb_get_setup(connection);
  if (setup == nullptr) return nullptr;
  for (auto it = xcb_setup_roots_iterator(setup); it.rem > 0; xcb_screen_next(&it), --number) {
    if (number == 0) return it.data;
  }
  return nullptr;
}

sigset_t PipeSignal() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGPIPE);
  return set;
}

bool PipeSignalPending() {
  sigset_t pending;
  return sigpending(&pending) == 0 && sigismember(&pending, SIGPIPE) == 1;
}

// The request's outcome: true when the server answered it without an error.
bool Succeeded(xcb_connection_t* connection, xcb_void_cookie_t cookie) {
  xcb_generic_error_t* error = xcb_request_check(connection, cookie);
  std::free(error);
  return error == nullptr;
}

}  // namespace

// --- SIGPIPE ---

PipeSignalGuard::PipeSignalGuard() : wasPending_(PipeSignalPending()) {
  const sigset_t pipe = PipeSignal();
  pthread_sigmask(SIG_BLOCK, &pipe, &previousMask_);
}

PipeSignalGuard::~PipeSignalGuard() {
  // A SIGPIPE raised by a write on this thread is pending for this thread: take it.
  if (!wasPending_ && PipeSignalPending()) {
    const sigset_t pipe = PipeSignal();
    const timespec now{};
    sigtimedwait(&pipe, nullptr, &now);
  }
  pthread_sigmask(SIG_SETMASK, &previousMask_, nullptr);
}

// --- probe ---

ProbeResult ProbeDisplay(const std::string& name, std::chrono::milliseconds limit) {
  // xcb_connect(NULL) would read $DISPLAY and fail at once without it.
  if (name.empty()) {
    const char* variable = std::getenv("DISPLAY");
    if (variable == nullptr || *variable == '\0') return ProbeResult::kUnreachable;
  }
  struct Outcome {
    std::mutex mutex;
    std::condition_variable done;
    std::optional<bool> opened;
  };
  std::shared_ptr<Outcome> outcome;
  try {
    outcome = std::make_shared<Outcome>();
    std::thread([outcome, name] {
      const PipeSignalGuard guard;
      xcb_connection_t* connection = xcb_connect(DisplayName(name), nullptr);
      const bool opened = xcb_connection_has_error(connection) == 0;
      xcb_disconnect(connection);
      std::lock_guard lock(outcome->mutex);
      outcome->opened = opened;
      outcome->done.notify_all();
    }).detach();
  } catch (const std::exception&) {  // no thread, or no memory: as a refused connection
    return ProbeResult::kUnreachable;
  }
  std::unique_lock lock(outcome->mutex);
  if (!outcome->done.wait_for(lock, limit, [&] { return outcome->opened.has_value(); })) {
    return ProbeResult::kTimedOut;
  }
  return *outcome->opened ? ProbeResult::kReachable : ProbeResult::kUnreachable;
}

bool DefaultDisplayReachable() {
  // The answer holds for the whole process, so a connection refused for a moment (a server at
  // its client limit, a busy listen queue) is asked again a few times before it counts; a
  // server that never answers is waited for once.
  static const bool reachable = [] {
    const char* variable = std::getenv("DISPLAY");
    if (variable == nullptr || *variable == '\0') return false;
    for (int attempt = 0;; ++attempt) {
      const ProbeResult result = ProbeDisplay(std::string(), std::chrono::seconds(2));
      if (result != ProbeResult::kUnreachable || attempt == 2) {
        return result == ProbeResult::kReachable;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
  }();
  return reachable;
}

// --- connections ---

std::unique_ptr<Connection> OpenConnection(const std::string& name) {
  int screen = 0;
  xcb_connection_t* connection = xcb_connect(DisplayName(name), &screen);
  if (xcb_connection_has_error(connection) != 0) {
    xcb_disconnect(connection);
    return nullptr;
  }
  std::unique_ptr<Connection> opened;
  try {
    opened = std::make_unique<Connection>(connection, screen, name);
  } catch (const std::exception&) {
    xcb_disconnect(connection);
    return nullptr;
  }
  if (opened->screen() == nullptr) return nullptr;
  return opened;
}

Connection* ThreadConnection(const std::string& name) {
  const PipeSignalGuard guard;
  thread_local std::vector<std::unique_ptr<Connection>> connections;
  auto it = std::find_if(connections.begin(), connections.end(),
                         [&](const auto& c) { return c->name() == name; });
  if (it != connections.end()) {
    (*it)->DrainEvents();
    if (!(*it)->dead()) return it->get();
    connections.erase(it);
  }
  std::unique_ptr<Connection> opened = OpenConnection(name);
  if (!opened) return nullptr;
  try {
    connections.push_back(std::move(opened));
  } catch (const std::exception&) {
    return nullptr;
  }
  return connections.back().get();
}

Connection::Connection(xcb_connection_t* connection, int screenNumber, std::string name)
    : connection_(connection),
      name_(std::move(name)),
      screen_(ScreenOf(connection, screenNumber)) {}

Connection::~Connection() {
  Close();
}

void Connection::Close() {
  if (connection_ == nullptr) return;
  // The server frees the windows, the graphics context and the segment's attachment of a
  // client that goes; only our side of the segment is left.
  if (segmentBytes_ != 0) shmdt(segmentAddress_);
  segmentBytes_ = 0;
  xcb_disconnect(connection_);
  connection_ = nullptr;
}

bool Connection::Check(std::initializer_list<xcb_void_cookie_t> cookies) {
  bool passed = true;
  for (const xcb_void_cookie_t cookie : cookies) passed = Succeeded(connection_, cookie) && passed;
  return passed && !dead();
}

std::optional<WindowState> Connection::State(xcb_window_t window) {
  if (dead()) return std::nullopt;
  // Both requests go out before either answer is awaited: one round trip.
  const auto attributesCookie = xcb_get_window_attributes(connection_, window);
  const auto geometryCookie = xcb_get_geometry(connection_, window);
  xcb_generic_error_t* attributesError = nullptr;
  xcb_generic_error_t* geometryError = nullptr;
  xcb_get_window_attributes_reply_t* attributes =
      xcb_get_window_attributes_reply(connection_, attributesCookie, &attributesError);
  xcb_get_geometry_reply_t* geometry =
      xcb_get_geometry_reply(connection_, geometryCookie, &geometryError);
  std::optional<WindowState> state;
  if (attributes != nullptr && geometry != nullptr) {
    state = WindowState{geometry->width,    geometry->height,   geometry->depth,
                        attributes->visual, attributes->_class, attributes->map_state};
  }
  std::free(attributes);
  std::free(geometry);
  std::free(attributesError);
  std::free(geometryError);
  return state;
}

xcb_atom_t Connection::Intern(const char* name) {
  for (const auto& [text, atom] : atoms_) {
    if (text == name) return atom;
  }
  const auto cookie =
      xcb_intern_atom(connection_, 0, static_cast<std::uint16_t>(std::strlen(name)), name);
  xcb_generic_error_t* error = nullptr;
  xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection_, cookie, &error);
  std::free(error);
  const xcb_atom_t atom = reply != nullptr ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
  std::free(reply);
  // The atom serves without the cache: it is asked for again next time.
  try {
    if (atom != XCB_ATOM_NONE) atoms_.emplace_back(name, atom);
  } catch (const std::bad_alloc&) {
  }
  return atom;
}

const std::optional<PixelFormat>& Connection::Format() {
  if (formatKnown_) return format_;
  formatKnown_ = true;
  const xcb_setup_t* setup = xcb_get_setup(connection_);
  int bitsPerPixel = 0;
  for (auto it = xcb_setup_pixmap_formats_iterator(setup); it.rem > 0; xcb_format_next(&it)) {
    if (it.data->depth != screen_->root_depth) continue;
    bitsPerPixel = it.data->bits_per_pixel;
    scanlinePad_ = it.data->scanline_pad;
  }
  const xcb_visualtype_t* visual = nullptr;
  for (auto depth = xcb_screen_allowed_depths_iterator(screen_); depth.rem > 0 && !visual;
       xcb_depth_next(&depth)) {
    for (auto it = xcb_depth_visuals_iterator(depth.data); it.rem > 0; xcb_visualtype_next(&it)) {
      if (it.data->visual_id == screen_->root_visual) {
        visual = it.data;
        break;
      }
    }
  }
  if (visual == nullptr || bitsPerPixel == 0 || scanlinePad_ < 8) return format_;
  format_ = MakePixelFormat(visual->_class, bitsPerPixel,
                            setup->image_byte_order == XCB_IMAGE_ORDER_MSB_FIRST, visual->red_mask,
                            visual->green_mask, visual->blue_mask);
  return format_;
}

void Connection::DetachShm() {
  if (segmentBytes_ == 0) return;
  if (!dead()) xcb_shm_detach(connection_, segment_);
  shmdt(segmentAddress_);
  segmentAddress_ = nullptr;
  segmentBytes_ = 0;
}

bool Connection::AttachShm(std::size_t bytes) {
  DetachShm();
  const int id = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
  if (id < 0) return false;
  void* address = shmat(id, nullptr, 0);
  if (address == reinterpret_cast<void*>(-1)) {
    shmctl(id, IPC_RMID, nullptr);
    return false;
  }
  segment_ = xcb_generate_id(connection_);
  // A server that cannot reach our memory (another machine, another IPC namespace, other
  // permissions) answers BadAccess here.
  const bool attached =
      Check({xcb_shm_attach_checked(connection_, segment_, static_cast<std::uint32_t>(id), 0)});
  // Marked for removal at once: it goes when both sides have detached, even after a crash.
  shmctl(id, IPC_RMID, nullptr);
  if (!attached) {
    shmdt(address);
    return false;
  }
  segmentAddress_ = static_cast<std::uint8_t*>(address);
  segmentBytes_ = bytes;
  return true;
}

std::uint8_t* Connection::BeginImage(std::int32_t width, std::int32_t height, bool allowShm,
                                     std::size_t* bytesPerLine) {
  imageBegun_ = false;
  if (dead() || width <= 0 || height <= 0 || width > 0xFFFF || height > 0xFFFF) return nullptr;
  const std::optional<PixelFormat>& format = Format();
  if (!format) return nullptr;
  // Rows padded as the server's pixmap format wants them, for XShm and PutImage alike.
  const std::size_t pad = scanlinePad_;
  const std::size_t bits = static_cast<std::size_t>(width) * format->bytesPerPixel * 8;
  const std::size_t line = (bits + pad - 1) / pad * pad / 8;
  const std::size_t bytes = line * static_cast<std::size_t>(height);

  if (allowShm && shm_ == Shm::kUntried) {
    const xcb_query_extension_reply_t* extension = xcb_get_extension_data(connection_, &xcb_shm_id);
    xcb_shm_query_version_reply_t* version =
        extension != nullptr && extension->present != 0
            ? xcb_shm_query_version_reply(connection_, xcb_shm_query_version(connection_), nullptr)
            : nullptr;
    shm_ = version != nullptr ? Shm::kWorks : Shm::kRefused;
    std::free(version);
  }
  std::uint8_t* pixels = nullptr;
  if (allowShm && shm_ == Shm::kWorks) {
    if (bytes <= segmentBytes_ || AttachShm(bytes)) {
      pixels = segmentAddress_;
    } else {
      // Refused once, refused for good on this connection: plain images from now on.
      shm_ = Shm::kRefused;
    }
  }
  imageInSegment_ = pixels != nullptr;
  if (pixels == nullptr) {
    try {
      if (memory_.size() < bytes) memory_.resize(bytes);
    } catch (const std::bad_alloc&) {
      return nullptr;
    }
    pixels = memory_.data();
  }
  imageWidth_ = static_cast<std::uint16_t>(width);
  imageHeight_ = static_cast<std::uint16_t>(height);
  imageBytesPerLine_ = line;
  imageBegun_ = true;
  *bytesPerLine = line;
  return pixels;
}

bool Connection::PutPlainImage(xcb_drawable_t drawable, std::int16_t x, std::int16_t y) {
  // XCB sends a request as it is given, so the image goes in pieces of whole rows, each no
  // larger than a request without BIG-REQUESTS (256 KiB, less 28 bytes of head): the server
  // draws one piece while the next arrives, where one request of a whole frame made it wait
  // for all of it (half the frames a second on Xvfb).
  constexpr std::size_t kPieceBytes = (std::size_t{1} << 18) - 28;
  const std::size_t largest = std::min<std::size_t>(
      std::size_t{xcb_get_maximum_request_length(connection_)} * 4 - 28, kPieceBytes);
  const std::size_t rowsEach = std::max<std::size_t>(1, largest / imageBytesPerLine_);
  // Room for every cookie before the first piece goes: a piece sent is a reply to collect.
  std::vector<xcb_void_cookie_t> cookies;
  try {
    cookies.reserve((imageHeight_ + rowsEach - 1) / rowsEach);
  } catch (const std::bad_alloc&) {
    return false;
  }
  for (std::size_t row = 0; row < imageHeight_ && y + static_cast<std::int32_t>(row) <= 0x7FFF;
       row += rowsEach) {
    const std::size_t rows = std::min<std::size_t>(rowsEach, imageHeight_ - row);
    cookies.push_back(xcb_put_image_checked(
        connection_, XCB_IMAGE_FORMAT_Z_PIXMAP, drawable, gc_, imageWidth_,
        static_cast<std::uint16_t>(rows), x, static_cast<std::int16_t>(y + row), 0,
        screen_->root_depth, static_cast<std::uint32_t>(rows * imageBytesPerLine_),
        memory_.data() + row * imageBytesPerLine_));
  }
  // The first check waits for the server to take them all.
  bool passed = true;
  for (const xcb_void_cookie_t cookie : cookies) passed = Succeeded(connection_, cookie) && passed;
  return passed && !dead();
}

bool Connection::PutImage(xcb_drawable_t drawable, std::int16_t x, std::int16_t y) {
  if (!imageBegun_ || dead()) return false;
  if (gc_ == 0) {
    const xcb_gcontext_t gc = xcb_generate_id(connection_);
    const std::uint32_t noExposures = 0;
    if (!Check({xcb_create_gc_checked(connection_, gc, root(), XCB_GC_GRAPHICS_EXPOSURES,
                                      &noExposures)})) {
      return false;
    }
    gc_ = gc;
  }
  if (!imageInSegment_) return PutPlainImage(drawable, x, y);
  // The segment is written again by the next frame: the server must be done with it, and the
  // round trip keeps a slow server from falling behind by more than a frame.
  return Check({xcb_shm_put_image_checked(connection_, drawable, gc_, imageWidth_, imageHeight_, 0,
                                          0, imageWidth_, imageHeight_, x, y, screen_->root_depth,
                                          XCB_IMAGE_FORMAT_Z_PIXMAP, 0, segment_, 0)});
}

void Connection::DrainEvents() {
  if (connection_ == nullptr) return;
  bool unmapped = false;
  while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
    // Errors of requests nobody checked are dropped with the rest.
    if ((event->response_type & 0x7F) == XCB_CLIENT_MESSAGE && !topLevels_.empty()) {
      const auto* message = reinterpret_cast<const xcb_client_message_event_t*>(event);
      if (message->format == 32 && message->type == Intern("WM_PROTOCOLS") &&
          message->data.data32[0] == Intern("WM_DELETE_WINDOW") &&
          std::find(topLevels_.begin(), topLevels_.end(), message->window) != topLevels_.end()) {
        xcb_unmap_window(connection_, message->window);
        unmapped = true;
      }
    }
    std::free(event);
  }
  if (unmapped) xcb_flush(connection_);
}

}  // namespace orvex::platform::x11
