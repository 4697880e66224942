#include "platform/x11/x11_display.h"

#include <X11/Xutil.h>
#include <poll.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <sys/socket.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>

// Xlib's private header (for the flags of a display) goes last, and its min and max macros
// with it.
// clang-format off
#include <X11/Xlibint.h>
#undef min
#undef max
// clang-format on

namespace orvex::platform::x11 {
namespace {

// --- the calling thread's connections ---

struct ThreadConnections {
  ThreadConnections();
  ~ThreadConnections();
  Connection* Find(Display* display) const {
    for (const auto& connection : connections) {
      if (connection->display() == display) return connection.get();
    }
    return nullptr;
  }
  std::vector<std::unique_ptr<Connection>> connections;
};

// Set while the thread's list exists. The handlers look here only: errors of a connection are
// always reported on the thread that owns it, as no other thread calls Xlib on it.
thread_local ThreadConnections* currentThreadConnections = nullptr;

ThreadConnections::ThreadConnections() {
  currentThreadConnections = this;
}

ThreadConnections::~ThreadConnections() {
  // Closing may still report errors of a connection, so each stays findable while it closes.
  for (const auto& connection : connections) connection->Close();
  connections.clear();
  currentThreadConnections = nullptr;
}

Connection* OwnConnection(Display* display) {
  ThreadConnections* mine = currentThreadConnections;
  return mine != nullptr ? mine->Find(display) : nullptr;
}

// --- process-wide handlers ---

std::mutex handlerMutex;
std::atomic<XErrorHandler> previousErrorHandler{nullptr};
std::atomic<XIOErrorHandler> previousIoErrorHandler{nullptr};
// Set while a handler passes an error on: a replaced handler that passes errors back to the
// one it replaced (ours) would otherwise send them round for ever.
thread_local bool passingErrorOn = false;

int HandleError(Display* display, XErrorEvent* event) {
  if (Connection* connection = OwnConnection(display)) {
    connection->RecordError(event->error_code);
    return 0;
  }
  const XErrorHandler previous = previousErrorHandler.load(std::memory_order_acquire);
  if (previous == nullptr || passingErrorOn) return 0;
  passingErrorOn = true;
  const int result = previous(display, event);
  passingErrorOn = false;
  return result;
}

int HandleIoError(Display* display) {
  if (Connection* connection = OwnConnection(display)) {
    connection->MarkDead();
    return 0;
  }
  const XIOErrorHandler previous = previousIoErrorHandler.load(std::memory_order_acquire);
  if (previous == nullptr || passingErrorOn) return 0;
  passingErrorOn = true;
  const int result = previous(display);
  passingErrorOn = false;
  return result;
}

// Xlib calls this after the I/O error handler and ends the process when it returns for a
// display without one of its own; ours returns, and the connection is left for dead.
void KeepProcessOnIoError(Display* display, void* /*data*/) {
  if (Connection* connection = OwnConnection(display)) connection->MarkDead();
}

void InstallHandlers() {
  std::lock_guard lock(handlerMutex);
  const XErrorHandler error = XSetErrorHandler(HandleError);
  if (error != HandleError) previousErrorHandler.store(error, std::memory_order_release);
  const XIOErrorHandler io = XSetIOErrorHandler(HandleIoError);
  if (io != HandleIoError) previousIoErrorHandler.store(io, std::memory_order_release);
}

const char* DisplayName(const std::string& name) {
  return name.empty() ? nullptr : name.c_str();
}

}  // namespace

// --- probe ---

ProbeResult ProbeDisplay(const std::string& name, std::chrono::milliseconds limit) {
  // XOpenDisplay(NULL) would read $DISPLAY and fail at once without it.
  if (name.empty()) {
    const char* variable = std::getenv("DISPLAY");
    if (variable == nullptr || *variable == '\0') return ProbeResult::kUnreachable;
  }
  struct Outcome {
    std::mutex mutex;
    std::condition_variable done;
    std::optional<bool> opened;
  };
  auto outcome = std::make_shared<Outcome>();
  try {
    std::thread([outcome, name] {
      Display* display = XOpenDisplay(DisplayName(name));
      if (display != nullptr) XCloseDisplay(display);
      std::lock_guard lock(outcome->mutex);
      outcome->opened = display != nullptr;
      outcome->done.notify_all();
    }).detach();
  } catch (const std::exception&) {
    return ProbeResult::kUnreachable;
  }
  std::unique_lock lock(outcome->mutex);
  if (!outcome->done.wait_for(lock, limit, [&] { return outcome->opened.has_value(); })) {
    return ProbeResult::kTimedOut;
  }
  return *outcome->opened ? ProbeResult::kReachable : ProbeResult::kUnreachable;
}

bool DefaultDisplayReachable() {
  static const bool reachable =
      ProbeDisplay(std::string(), std::chrono::seconds(2)) == ProbeResult::kReachable;
  return reachable;
}

// --- connections ---

Connection* ThreadConnection(const std::string& name) {
  thread_local ThreadConnections mine;
  auto& list = mine.connections;
  auto it =
      std::find_if(list.begin(), list.end(), [&](const auto& c) { return c->name() == name; });
  if (it != list.end()) {
    (*it)->NoticeHangUp();
    if (!(*it)->dead()) return it->get();
    (*it)->Close();
    list.erase(it);
  }

  // Handlers first: the connection is ours from its first request on.
  InstallHandlers();
  Display* display = XOpenDisplay(DisplayName(name));
  if (display == nullptr) return nullptr;
  XSetIOErrorExitHandler(display, KeepProcessOnIoError, nullptr);
  try {
    list.push_back(std::make_unique<Connection>(display, name));
  } catch (const std::exception&) {
    XCloseDisplay(display);
    return nullptr;
  }
  return list.back().get();
}

Connection::Connection(Display* display, std::string name)
    : display_(display), name_(std::move(name)) {}

Connection::~Connection() {
  Close();
}

void Connection::Close() {
  if (display_ == nullptr) return;
  ReleaseImages();
  if (segmentBytes_ != 0) {
    if (!dead_) XShmDetach(display_, &segment_);
    shmdt(segment_.shmaddr);
    segmentBytes_ = 0;
  }
  if (gc_ != nullptr) XFreeGC(display_, gc_);
  gc_ = nullptr;
  // A dead connection only frees its memory here.
  XCloseDisplay(display_);
  display_ = nullptr;
  dead_ = true;
}

void Connection::NoticeHangUp() {
  if (dead_) return;
  pollfd socket{ConnectionNumber(display_), POLLIN, 0};
  if (poll(&socket, 1, 0) <= 0) return;
  bool gone = (socket.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
  if (!gone) {
    char byte;
    gone = recv(socket.fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT) == 0;
  }
  if (!gone) return;
  // As Xlib marks a connection it found broken: nothing is sent on it any more, and closing it
  // only frees memory.
  display_->flags = display_->flags | XlibDisplayIOError;
  dead_ = true;
}

bool Connection::Sync() {
  if (!dead_) XSync(display_, False);
  return !dead_ && error_ == 0;
}

Atom Connection::Intern(const char* name) {
  for (const auto& [text, atom] : atoms_) {
    if (text == name) return atom;
  }
  const Atom atom = XInternAtom(display_, name, False);
  if (atom != None) atoms_.emplace_back(name, atom);
  return atom;
}

const std::optional<PixelFormat>& Connection::Format() {
  if (formatKnown_) return format_;
  formatKnown_ = true;
  Visual* visual = DefaultVisual(display_, screen());
  // A 1 x 1 image tells the layout of every image of this visual.
  XImage* probe = XCreateImage(display_, visual, DefaultDepth(display_, screen()), ZPixmap, 0,
                               nullptr, 1, 1, 32, 0);
  if (probe == nullptr) return format_;
  format_ = MakePixelFormat(visual->c_class, probe->bits_per_pixel, probe->byte_order == MSBFirst,
                            probe->red_mask, probe->green_mask, probe->blue_mask);
  XDestroyImage(probe);
  return format_;
}

void Connection::ReleaseImages() {
  if (image_ == nullptr) return;
  // The pixels belong to the segment or to memory_, the segment record to this object.
  image_->data = nullptr;
  image_->obdata = nullptr;
  XDestroyImage(image_);
  image_ = nullptr;
}

bool Connection::AttachShm(std::size_t bytes) {
  if (segmentBytes_ != 0) {
    XShmDetach(display_, &segment_);
    shmdt(segment_.shmaddr);
    segmentBytes_ = 0;
  }
  const int id = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
  if (id < 0) return false;
  void* address = shmat(id, nullptr, 0);
  if (address == reinterpret_cast<void*>(-1)) {
    shmctl(id, IPC_RMID, nullptr);
    return false;
  }
  segment_ = XShmSegmentInfo{};
  segment_.shmid = id;
  segment_.shmaddr = static_cast<char*>(address);
  segment_.readOnly = False;
  // A server that cannot reach our memory (another machine, another IPC namespace, other
  // permissions) answers BadAccess here.
  ClearErrors();
  const bool attached = XShmAttach(display_, &segment_) && Sync();
  // Marked for removal at once: it goes when both sides have detached, even after a crash.
  shmctl(id, IPC_RMID, nullptr);
  if (!attached) {
    shmdt(address);
    ClearErrors();
    return false;
  }
  segmentBytes_ = bytes;
  return true;
}

std::uint8_t* Connection::BeginImage(std::int32_t width, std::int32_t height, bool allowShm,
                                     std::size_t* bytesPerLine) {
  if (dead_ || width <= 0 || height <= 0) return nullptr;
  Visual* visual = DefaultVisual(display_, screen());
  const unsigned depth = static_cast<unsigned>(DefaultDepth(display_, screen()));
  ReleaseImages();

  if (allowShm && shm_ == Shm::kUntried)
    shm_ = XShmQueryExtension(display_) ? Shm::kWorks : Shm::kRefused;
  if (allowShm && shm_ == Shm::kWorks) {
    image_ = XShmCreateImage(display_, visual, depth, ZPixmap, nullptr, &segment_,
                             static_cast<unsigned>(width), static_cast<unsigned>(height));
    if (image_ != nullptr) {
      const std::size_t bytes = static_cast<std::size_t>(image_->bytes_per_line) * height;
      if (bytes <= segmentBytes_ || AttachShm(bytes)) {
        image_->data = segment_.shmaddr;
        imageInSegment_ = true;
        *bytesPerLine = static_cast<std::size_t>(image_->bytes_per_line);
        return reinterpret_cast<std::uint8_t*>(image_->data);
      }
      // Refused once, refused for good on this connection: plain images from now on.
      shm_ = Shm::kRefused;
      ReleaseImages();
    }
  }

  image_ = XCreateImage(display_, visual, depth, ZPixmap, 0, nullptr, static_cast<unsigned>(width),
                        static_cast<unsigned>(height), 32, 0);
  if (image_ == nullptr) return nullptr;
  const std::size_t bytes = static_cast<std::size_t>(image_->bytes_per_line) * height;
  try {
    if (memory_.size() < bytes) memory_.resize(bytes);
  } catch (const std::bad_alloc&) {
    ReleaseImages();
    return nullptr;
  }
  image_->data = reinterpret_cast<char*>(memory_.data());
  imageInSegment_ = false;
  *bytesPerLine = static_cast<std::size_t>(image_->bytes_per_line);
  return memory_.data();
}

bool Connection::PutImage(Drawable drawable, std::int32_t x, std::int32_t y) {
  if (image_ == nullptr || dead_) return false;
  if (gc_ == nullptr) {
    XGCValues values{};
    values.graphics_exposures = False;
    gc_ = XCreateGC(display_, root(), GCGraphicsExposures, &values);
    if (gc_ == nullptr) return false;
  }
  ClearErrors();
  const auto width = static_cast<unsigned>(image_->width);
  const auto height = static_cast<unsigned>(image_->height);
  if (imageInSegment_) {
    XShmPutImage(display_, drawable, gc_, image_, 0, 0, x, y, width, height, False);
  } else {
    XPutImage(display_, drawable, gc_, image_, 0, 0, x, y, width, height);
  }
  // The segment is written again by the next frame: the server must be done with it, and the
  // round trip keeps a slow server from falling behind by more than a frame.
  return Sync();
}

void Connection::DrainEvents() {
  if (dead_ || topLevels_.empty()) return;
  const Atom protocols = Intern("WM_PROTOCOLS");
  const Atom deleteWindow = Intern("WM_DELETE_WINDOW");
  while (!dead_ && XPending(display_) > 0) {
    XEvent event;
    XNextEvent(display_, &event);
    if (event.type != ClientMessage || event.xclient.message_type != protocols ||
        static_cast<Atom>(event.xclient.data.l[0]) != deleteWindow) {
      continue;
    }
    const Window window = event.xclient.window;
    if (std::find(topLevels_.begin(), topLevels_.end(), window) != topLevels_.end()) {
      XUnmapWindow(display_, window);
    }
  }
}

}  // namespace orvex::platform::x11
