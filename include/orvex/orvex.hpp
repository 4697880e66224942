/**
 * @file orvex/orvex.hpp
 * @brief The C++ interface of the camera library (C++17, header only).
 *
 * A thin layer over the exported C functions of OrvexSdk_QX218.h; it adds no export and
 * links nothing beyond the camera library (and, on Linux, OrvexPlatform for the preview's
 * message window; on Windows user32). What it adds:
 *
 * - orvex::Camera owns a camera handle: made in the constructor, released in the destructor,
 *   movable, not copyable.
 * - Every failure is thrown as std::system_error carrying an orvex::Error in
 *   orvex::error_category(), whose messages give the code's name and meaning. Failures the
 *   library reports with a bare 0 and nothing recorded get codes of their own (Error::NoFrame
 *   for a snapshot from an unplugged camera, Error::NotInSizeTable, Error::Busy).
 * - Settings are named (orvex::Setting) and their ranges checked before the library sees them.
 * - Frames come as orvex::Frame (owning) or orvex::FrameView (borrowed) with width, height,
 *   stride, pixel format and rows counted from the top of the picture.
 * - orvex::Preview runs the live preview and calls a function of yours with every frame, on a
 *   thread of this interface; an unplugged camera ends it with Error::StreamStopped, handed to
 *   your error function or thrown by Preview::stop().
 *
 * Threads: every call of this interface into the library goes through one process-wide lock,
 * so a Camera may be used from several threads and beside a running Preview. Calls your code
 * makes to the C functions directly do not take that lock: make them from one thread at a
 * time, and not beside a Preview (see @ref threads "Threads").
 *
 * @see @ref cpp "The C++ interface" for a walk-through.
 */
#ifndef ORVEX_ORVEX_HPP
#define ORVEX_ORVEX_HPP

#include <OrvexSdk_QX218.h>
#include <orvex/errors.h>

#if defined(_WIN32)
#include <windows.h>
#else
#include <orvex/platform.h>
#endif

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <type_traits>
#include <utility>
#include <vector>

/** The C++ interface of the camera library. */
namespace orvex {

/** Error codes: the library's (1 to 13) and this interface's own (100 on). */
enum class Error : std::int32_t {
  NoDevice = ErrorNoDevice,             /**< no camera channel, or a serial ROM access failed */
  DeviceNotFound = ErrorDeviceNotFound, /**< no camera at the selected index */
  ThreadStart = ErrorThreadStart,       /**< the preview thread could not be started */
  Window = ErrorWindow,                 /**< the preview window could not be made */
  Buffer = ErrorBuffer,                 /**< no memory for an image, or a buffer too small */
  Transfer = ErrorTransfer,             /**< a transfer failed (camera unplugged?) */
  Geometry = ErrorGeometry,             /**< the capture geometry is out of range */
  FrameRead = ErrorFrameRead,           /**< a frame could not be copied out */
  Parameter = ErrorParameter,           /**< an argument is out of range */
  NotSupported = ErrorNotSupported,     /**< this camera lacks the feature */
  StreamStopped = ErrorStreamStopped,   /**< the preview stream stopped (camera unplugged?) */
  Unreported = ErrorUnreported,         /**< the library failed without a reason */
  NotInSizeTable = ErrorNotInSizeTable, /**< no size table entry of that size */
  NoFrame = ErrorNoFrame,               /**< a snapshot read no frame (camera unplugged?) */
  Busy = ErrorBusy                      /**< refused while a preview runs */
};

/** The category of orvex::Error: its name is "orvex", its messages "Name (code): meaning". */
class ErrorCategory : public std::error_category {
 public:
  /** "orvex". */
  const char* name() const noexcept override { return "orvex"; }
  /** For example "ErrorNoDevice (1): the handle has no camera channel, ...". */
  std::string message(int code) const override {
    return std::string(OrvexError_Name(code)) + " (" + std::to_string(code) +
           "): " + OrvexError_Text(code);
  }
};

/** The one instance of ErrorCategory. */
inline const std::error_category& error_category() noexcept {
  static const ErrorCategory category;
  return category;
}

/** Makes std::error_code from an orvex::Error (found by argument-dependent lookup). */
inline std::error_code make_error_code(Error error) noexcept {
  return {static_cast<int>(error), error_category()};
}

}  // namespace orvex

namespace std {
/** orvex::Error converts to std::error_code implicitly. */
template <>
struct is_error_code_enum<orvex::Error> : true_type {};
}  // namespace std

namespace orvex {

/** The output pixel formats; the value is the bits a pixel that Orvex_SetColorMode takes. */
enum class PixelFormat : std::int32_t {
  Gray8 = 8,          /**< one byte a pixel: the raw mosaic, or gray by GrayMode */
  Gray16 = 16,        /**< one 16-bit word a pixel holding a 10-bit raw sample (0..1023) */
  PseudoColor24 = 24, /**< blue, green, red bytes: a false-colour map of the raw samples */
  Bgrx32 = 32,        /**< blue, green, red and an unused byte: the colour picture */
  Bgr48 = 48,         /**< blue, green, red 16-bit words holding 10-bit values */
  Bgrx64 = 64         /**< blue, green, red and an unused 16-bit word, 10-bit values */
};

/** Bits a pixel of a format (8 to 64). */
constexpr std::int32_t bits_per_pixel(PixelFormat format) noexcept {
  return static_cast<std::int32_t>(format);
}
/** Bytes a sample of a format: 1, or 2 for the 16-, 48- and 64-bit formats. */
constexpr std::int32_t bytes_per_sample(PixelFormat format) noexcept {
  return format == PixelFormat::Gray16 || format == PixelFormat::Bgr48 ||
                 format == PixelFormat::Bgrx64
             ? 2
             : 1;
}
/** Samples a pixel: 1 (gray), 3 (24 and 48 bits) or 4 (32 and 64 bits). */
constexpr std::int32_t channels(PixelFormat format) noexcept {
  return bits_per_pixel(format) / 8 / bytes_per_sample(format);
}
/** Bytes a row as the library lays it out: width x bytes a pixel, rounded up to 4. */
constexpr std::int64_t row_stride(std::int32_t width, PixelFormat format) noexcept {
  return (static_cast<std::int64_t>(width) * (bits_per_pixel(format) / 8) + 3) / 4 * 4;
}

/**
 * The capture geometry, in sensor samples and lines: a window EH x EV whose first sample is
 * EHS and first line EVS, in a line of TH samples and a frame of TV lines. The sensor's
 * picture is samples 39 to 1318 of lines 0 to 1023: EH + EHS may not pass 1320, EV + EVS not
 * 1024.
 */
struct Geometry {
  std::int32_t TH = 1320; /**< total samples a line */
  std::int32_t EHS = 39;  /**< first sample of the window */
  std::int32_t EH = 1280; /**< width of the window (the output width) */
  std::int32_t TV = 1024; /**< total lines a frame */
  std::int32_t EVS = 0;   /**< first line of the window */
  std::int32_t EV = 1024; /**< height of the window (the output height) */

  /** A width x height window in the middle of the picture (a width and height of at most
      1280 x 1024; even starts keep the colour filter's phase). */
  static Geometry centered(std::int32_t width, std::int32_t height) noexcept {
    Geometry g;
    g.EH = width;
    g.EV = height;
    g.EHS = 39 + (1280 - width) / 4 * 2;
    g.EVS = (1024 - height) / 4 * 2;
    return g;
  }
};

/** Equal when all six values are. */
inline bool operator==(const Geometry& a, const Geometry& b) noexcept {
  return a.TH == b.TH && a.EHS == b.EHS && a.EH == b.EH && a.TV == b.TV && a.EVS == b.EVS &&
         a.EV == b.EV;
}
/** Not equal when any value differs. */
inline bool operator!=(const Geometry& a, const Geometry& b) noexcept {
  return !(a == b);
}

/** The 27 numbered settings (the ids of Orvex_SetFilterValue). */
enum class Setting : std::int32_t {
  Brightness = 1,       /**< -255..255; 0 off; >0 multiplies by 1 + v x 10/255 */
  Contrast = 2,         /**< -127..127; 0 off */
  Hue = 3,              /**< -360..360 degrees; colour formats only */
  Saturation = 4,       /**< -255..255; colour formats only */
  Sharpness = 5,        /**< 0..30; 0 off */
  BayerGainRGB = 6,     /**< red, green, blue white balance gains in bits 0-7, 8-15, 16-23 */
  BayerGainRed = 7,     /**< 0..400 percent, 100 neutral */
  BayerGainGreen = 8,   /**< 0..400 percent, 100 neutral */
  BayerGainBlue = 9,    /**< 0..400 percent, 100 neutral */
  BayerGainAuto = 10,   /**< non-zero: measure the white balance on every colour frame */
  Gamma = 11,           /**< 0..200; 100 off; 0..100 exponent 0..1, 101..200 exponent 1.1..11 */
  BayerMode = 12,       /**< 0..3, phase of the colour filter (3 for this camera) */
  GlobalGain = 13,      /**< 0..63, sets all five analog gains */
  ColorGainRed = 14,    /**< 0..63 */
  ColorGainGreen1 = 15, /**< 0..63 */
  ColorGainGreen2 = 16, /**< 0..63 */
  ColorGainBlue = 17,   /**< 0..63 */
  ExposureTime = 18,    /**< 0..16383, the camera's register 0x52: larger is darker */
  GrayMode = 19,        /**< 0 raw, 1 gray correction, 2 luminance (8-bit format) */
  GrayGainR = 20,       /**< 0..255, 128 = x1 */
  GrayGainG1 = 21,      /**< 0..255, 128 = x1 */
  GrayGainG2 = 22,      /**< 0..255, 128 = x1 */
  GrayGainB = 23,       /**< 0..255, 128 = x1 */
  GrayOffsetR = 24,     /**< -255..255 */
  GrayOffsetG1 = 25,    /**< -255..255 */
  GrayOffsetG2 = 26,    /**< -255..255 */
  GrayOffsetB = 27      /**< -255..255 */
};

/** A setting's name (the name part of its exports) and the values the library accepts. */
struct SettingInfo {
  const char* name; /**< for example "Gamma", as in Orvex_SetGamma */
  std::int32_t min; /**< smallest accepted value */
  std::int32_t max; /**< largest accepted value */
};

/** Name and range of a setting; ids 6 and 10 accept every value, an id outside 1..27 none
    ("Unknown", min 1, max 0). */
constexpr SettingInfo setting_info(Setting setting) noexcept {
  constexpr std::int32_t kAny = 0x7FFFFFFF;
  constexpr SettingInfo table[] = {{"Brightness", -255, 255},   {"Contrast", -127, 127},
                                   {"Hue", -360, 360},          {"Saturation", -255, 255},
                                   {"Sharpness", 0, 30},        {"BayerGainRGB", -kAny - 1, kAny},
                                   {"BayerGainRed", 0, 400},    {"BayerGainGreen", 0, 400},
                                   {"BayerGainBlue", 0, 400},   {"BayerGainAuto", -kAny - 1, kAny},
                                   {"Gamma", 0, 200},           {"BayerMode", 0, 3},
                                   {"GlobalGain", 0, 63},       {"ColorGainRed", 0, 63},
                                   {"ColorGainGreen1", 0, 63},  {"ColorGainGreen2", 0, 63},
                                   {"ColorGainBlue", 0, 63},    {"ExposureTime", 0, 16383},
                                   {"GrayMode", 0, 2},          {"GrayGainR", 0, 255},
                                   {"GrayGainG1", 0, 255},      {"GrayGainG2", 0, 255},
                                   {"GrayGainB", 0, 255},       {"GrayOffsetR", -255, 255},
                                   {"GrayOffsetG1", -255, 255}, {"GrayOffsetG2", -255, 255},
                                   {"GrayOffsetB", -255, 255}};
  const auto id = static_cast<std::int32_t>(setting);
  // An id outside the table (a Setting made from a stored number) has no value in range.
  if (id < 1 || id > static_cast<std::int32_t>(sizeof table / sizeof table[0])) {
    return {"Unknown", 1, 0};
  }
  return table[id - 1];
}

/**
 * A picture in memory that this view does not own: rows of @ref stride bytes, row 0 at the
 * top of the picture (the camera's first line), samples in the library's order (blue, green,
 * red, spare; 16-bit samples little-endian).
 */
class FrameView {
 public:
  /** An empty view (no pixels, 0 x 0). */
  FrameView() = default;
  /** A view of width x height pixels at data, rows stride bytes apart, top row first. */
  FrameView(const std::uint8_t* data, std::int32_t width, std::int32_t height,
            std::ptrdiff_t stride, PixelFormat format) noexcept
      : data_(data), width_(width), height_(height), stride_(stride), format_(format) {}

  /** Pixels a row. */
  std::int32_t width() const noexcept { return width_; }
  /** Rows. */
  std::int32_t height() const noexcept { return height_; }
  /** Bytes from one row to the next (the rows are padded to a multiple of 4 bytes). */
  std::ptrdiff_t stride() const noexcept { return stride_; }
  /** The pixel format. */
  PixelFormat format() const noexcept { return format_; }
  /** Bytes a pixel. */
  std::int32_t bytes_per_pixel() const noexcept { return bits_per_pixel(format_) / 8; }
  /** The top row's first byte; null for an empty view. */
  const std::uint8_t* data() const noexcept { return data_; }
  /** Bytes of the whole picture, padding included: stride x height. */
  std::size_t size_bytes() const noexcept {
    return static_cast<std::size_t>(stride_) * static_cast<std::size_t>(height_);
  }
  /** Row y counted from the top (0 .. height - 1). */
  const std::uint8_t* row(std::int32_t y) const noexcept { return data_ + y * stride_; }
  /** Row y of a 16-bit format as words (0..1023 each). */
  const std::uint16_t* row16(std::int32_t y) const noexcept {
    return reinterpret_cast<const std::uint16_t*>(row(y));
  }
  /** True when the view has no pixels. */
  bool empty() const noexcept { return data_ == nullptr || width_ <= 0 || height_ <= 0; }

 private:
  const std::uint8_t* data_ = nullptr;
  std::int32_t width_ = 0;
  std::int32_t height_ = 0;
  std::ptrdiff_t stride_ = 0;
  PixelFormat format_ = PixelFormat::Gray8;
};

/** A picture that owns its memory; rows and layout as FrameView. */
class Frame {
 public:
  /** An empty frame. */
  Frame() = default;
  /** Room for a width x height picture of this format, zero-filled. */
  Frame(std::int32_t width, std::int32_t height, PixelFormat format)
      : pixels_(static_cast<std::size_t>(row_stride(width, format)) *
                static_cast<std::size_t>(height > 0 ? height : 0)),
        width_(width),
        height_(height),
        format_(format) {}

  /** The frame as a view (valid while the frame lives and keeps its size). */
  FrameView view() const noexcept {
    return FrameView(pixels_.data(), width_, height_, row_stride(width_, format_), format_);
  }
  /** Pixels a row. */
  std::int32_t width() const noexcept { return width_; }
  /** Rows. */
  std::int32_t height() const noexcept { return height_; }
  /** Bytes from one row to the next. */
  std::ptrdiff_t stride() const noexcept { return row_stride(width_, format_); }
  /** The pixel format. */
  PixelFormat format() const noexcept { return format_; }
  /** The top row's first byte. */
  const std::uint8_t* data() const noexcept { return pixels_.data(); }
  /** The top row's first byte, writable. */
  std::uint8_t* data() noexcept { return pixels_.data(); }
  /** Bytes of the whole picture: stride x height. */
  std::size_t size_bytes() const noexcept { return pixels_.size(); }
  /** Row y counted from the top. */
  const std::uint8_t* row(std::int32_t y) const noexcept { return view().row(y); }
  /** Row y of a 16-bit format as words. */
  const std::uint16_t* row16(std::int32_t y) const noexcept { return view().row16(y); }

 private:
  std::vector<std::uint8_t> pixels_;
  std::int32_t width_ = 0;
  std::int32_t height_ = 0;
  PixelFormat format_ = PixelFormat::Gray8;
};

namespace detail {

// One lock for every call of this interface, so that a failed call reads its own error code
// rather than one another thread's call recorded meanwhile (recursive: a call may make others).
inline std::recursive_mutex& library_mutex() {
  static std::recursive_mutex mutex;
  return mutex;
}

// What a Camera and its Preview share: the handle (0 once released) and whether a preview runs.
struct CameraState {
  CameraHandle handle = 0;
  std::atomic<bool> previewing{false};
};

// Empties the handle's error queue, so that the code read after a failure is this call's.
inline void drain_errors(CameraHandle handle) {
  for (int i = 0; i < 20 && Orvex_GetLastError(handle) != 0; ++i) {
  }
}

// Reads a word that another thread writes as a whole (the library's FrameInfo).
inline std::int32_t load_word(const std::int32_t* word) {
#if defined(__GNUC__) || defined(__clang__)
  return __atomic_load_n(word, __ATOMIC_RELAXED);
#else
  return *static_cast<const volatile std::int32_t*>(word);
#endif
}

[[noreturn]] inline void raise(std::error_code code, const std::string& what) {
  throw std::system_error(code, what);
}

}  // namespace detail

class Preview;

/**
 * One camera, through a handle that this object owns.
 *
 * The constructor makes the handle (Orvex_Initialize), selects the device and throws when
 * start-up recorded an error; the destructor releases it (Orvex_Release), which also saves the
 * settings of this user. Every member throws std::system_error on failure.
 */
class Camera {
 public:
  /**
   * Opens the camera at index 0..7.
   * @param device the device index (Orvex_SetDeviceNumber when not 0).
   * @param notify_window a window that receives ErrorMessage for every recorded error, or 0.
   * A stored capture geometry out of range does not stop the camera opening: the library
   * takes the full picture instead, as Orvex_Initialize does.
   * @throws std::system_error Error::DeviceNotFound when no camera is at the index, the code
   *         start-up recorded (Error::Buffer), Error::Buffer when no handle could be made.
   */
  explicit Camera(std::int32_t device = 0, OrvexWindow notify_window = 0)
      : state_(std::make_shared<detail::CameraState>()) {
    std::lock_guard<std::recursive_mutex> lock(detail::library_mutex());
    const CameraHandle handle = Orvex_Initialize(notify_window);
    if (handle == 0) detail::raise(Error::Buffer, "Orvex_Initialize");
    state_->handle = handle;
    std::int32_t started = Orvex_GetLastError(handle);
    // The handle works with the default geometry; refusing it would leave the camera closed to
    // this interface for good, since nothing here could correct the stored entry.
    if (started == ErrorGeometry) started = 0;
    if (started == 0 && device == 0) {
      char name[64] = {};
      // The probe at start-up decides what is present; device 0 may be missing too.
      if (Orvex_GetDeviceName(handle, 0, name, sizeof name) != 0) return;
    }
    if (started == 0 && device != 0 && Orvex_SetDeviceNumber(handle, device) != 0) return;
    std::int32_t code = started != 0 ? started : Orvex_GetLastError(handle);
    if (code == 0) code = static_cast<std::int32_t>(Error::DeviceNotFound);
    Orvex_Release(handle);
    state_->handle = 0;
    detail::raise(std::error_code(code, error_category()), "camera " + std::to_string(device));
  }

  /** Releases the handle (the preview stops, the settings are saved); never throws. */
  ~Camera() { close(); }

  Camera(const Camera&) = delete;
  Camera& operator=(const Camera&) = delete;
  /** Takes over the other camera's handle; the other is left closed. */
  Camera(Camera&& other) noexcept : state_(std::move(other.state_)) {}
  /** Releases this handle and takes over the other's. */
  Camera& operator=(Camera&& other) noexcept {
    if (this != &other) {
      close();
      state_ = std::move(other.state_);
    }
    return *this;
  }

  /** Releases the handle now; later calls throw Error::NoDevice. Never throws. */
  void close() noexcept {
    if (!state_ || state_->handle == 0) return;
    std::lock_guard<std::recursive_mutex> lock(detail::library_mutex());
    Orvex_Release(state_->handle);
    state_->handle = 0;
  }

  /** The handle for calls of the C functions; 0 when closed. */
  CameraHandle handle() const noexcept { return state_ ? state_->handle : 0; }
  /** True while the camera has a handle. */
  explicit operator bool() const noexcept { return handle() != 0; }

  /** The output pixel format. */
  PixelFormat pixel_format() const {
    const std::int32_t bits = call("Orvex_GetColorMode", Orvex_GetColorMode);
    if (bits < 0) detail::raise(Error::Parameter, "Orvex_GetColorMode: stored colour type");
    return static_cast<PixelFormat>(bits);
  }
  /** Sets the output pixel format; takes effect at the next snapshot or preview. */
  void set_pixel_format(PixelFormat format) {
    checked("Orvex_SetColorMode", Orvex_SetColorMode, bits_per_pixel(format));
  }

  /** The capture geometry. */
  Geometry geometry() const {
    Geometry g;
    call("Orvex_GetCaptureWindowEx", Orvex_GetCaptureWindowEx, &g.TH, &g.EHS, &g.EH, &g.TV, &g.EVS,
         &g.EV);
    return g;
  }
  /** Sets the capture geometry (Orvex_SetCaptureWindowEx).
      @throws std::system_error Error::Geometry, and the library keeps the rejected values. */
  void set_geometry(const Geometry& g) {
    checked("Orvex_SetCaptureWindowEx", Orvex_SetCaptureWindowEx, g.TH, g.EHS, g.EH, g.TV, g.EVS,
            g.EV);
  }
  /** Takes the geometry of the first size table entry of this size (Orvex_SetCaptureWindow).
      @throws std::system_error Error::NotInSizeTable when the table has none. */
  void set_capture_size(std::int32_t width, std::int32_t height) {
    checked_as(Error::NotInSizeTable, "Orvex_SetCaptureWindow", Orvex_SetCaptureWindow, width,
               height);
  }
  /** Output width: the geometry's EH, halved or quartered by a stored sub-sampling (a SubSample
      of 1 or 2 in the settings file or registry; the camera dialog shows it, unchangeable). */
  std::int32_t width() const { return output_size().width; }
  /** Output height: the geometry's EV, halved or quartered by a stored sub-sampling. */
  std::int32_t height() const { return output_size().height; }

  /** Milliseconds the preview sleeps before it looks for the next frame. */
  std::chrono::milliseconds wait_time() const {
    return std::chrono::milliseconds(call("Orvex_GetWaitTime", Orvex_GetWaitTime));
  }
  /** Sets the preview's wait; a negative time throws Error::Parameter. */
  void set_wait_time(std::chrono::milliseconds wait) {
    if (wait.count() < 0 || wait.count() > 0x7FFFFFFF) {
      detail::raise(Error::Parameter, "wait time " + std::to_string(wait.count()) + " ms");
    }
    checked("Orvex_SetWaitTime", Orvex_SetWaitTime, static_cast<std::int32_t>(wait.count()));
  }

  /** True while the automatic exposure runs. */
  bool auto_exposure() const {
    std::int32_t ok = 0;
    return call("Orvex_GetAutoIris", Orvex_GetAutoIris, &ok) != 0;
  }
  /** Starts or stops the automatic exposure (it steers ExposureTime within 0..255). */
  void set_auto_exposure(bool on) { checked("Orvex_SetAutoIris", Orvex_SetAutoIris, on ? 1 : 0); }

  /** A setting's value. ExposureTime is read from the camera, and throws Error::Transfer when
      the camera does not answer. */
  std::int32_t get(Setting setting) const {
    return checked_ok(std::string("Orvex_Get") + setting_info(setting).name, Orvex_GetFilterValue,
                      static_cast<std::int32_t>(setting));
  }
  /** Sets a setting; it reaches the next frame (ExposureTime reaches the camera at once).
      @throws std::system_error Error::Parameter for a value outside the setting's range,
      before the library is called. */
  void set(Setting setting, std::int32_t value) {
    const SettingInfo info = setting_info(setting);
    if (value < info.min || value > info.max) {
      detail::raise(Error::Parameter, std::string(info.name) + " " + std::to_string(value) +
                                          " outside " + std::to_string(info.min) + ".." +
                                          std::to_string(info.max));
    }
    checked(std::string("Orvex_Set") + info.name, Orvex_SetFilterValue,
            static_cast<std::int32_t>(setting), value);
  }

  /** Takes one frame into a new Frame, top row first.
      @throws std::system_error Error::NoFrame when no frame arrived (unplugged camera),
      Error::Busy while a Preview runs, or the code the library recorded. */
  Frame snapshot() {
    // One hold of the lock: the frame fits the image the library makes.
    std::lock_guard<std::recursive_mutex> lock(detail::library_mutex());
    Frame frame = new_frame();
    snapshot_into(frame);
    return frame;
  }
  /** Takes one frame into frame, which is resized when the size or format changed. */
  void snapshot(Frame& frame) {
    std::lock_guard<std::recursive_mutex> lock(detail::library_mutex());
    const OutputSize size = output_size();
    const PixelFormat f = pixel_format();
    if (frame.width() != size.width || frame.height() != size.height || frame.format() != f) {
      frame = frame_of(size);
    }
    snapshot_into(frame);
  }
  /** Prepares the camera once so that following snapshots start at once (Orvex_Capture);
      stop_capture() ends it. */
  void capture() {
    if (previewing()) detail::raise(Error::Busy, "Orvex_Capture");
    checked("Orvex_Capture", Orvex_Capture);
  }
  /** Ends a capture that capture() prepared.
      @throws std::system_error Error::Busy while a Preview runs (its stream is not this call's
      to stop). */
  void stop_capture() {
    if (previewing()) detail::raise(Error::Busy, "Orvex_StopPreview");
    checked("Orvex_StopPreview", Orvex_StopPreview);
  }
  /** The last image the pipeline made (Orvex_GetImage), top row first, sized for the current
      geometry and pixel format: call it after a frame taken in them. After a change of either,
      the library's image no longer matches the frame: Error::Buffer when it is larger, and only
      its own bytes, at its own row size, when it is smaller. */
  Frame last_image() {
    std::lock_guard<std::recursive_mutex> lock(detail::library_mutex());
    Frame frame = new_frame();
    checked("Orvex_GetImage", Orvex_GetImage, frame.data(),
            static_cast<std::int32_t>(frame.size_bytes()), 1);
    return frame;
  }
  /** Writes the 8-bit raw image as comma-separated text (Orvex_SaveImage). */
  void save_csv(const std::string& path) {
    checked("Orvex_SaveImage " + path, Orvex_SaveImage, path.c_str(), 0);
  }

  /** Names of the cameras present at start-up, in index order. */
  std::vector<std::string> device_names() const {
    char names[10][256] = {};
    const std::int32_t count = call("Orvex_EnumDevice", Orvex_EnumDevice, names);
    return std::vector<std::string>(names, names + (count > 0 ? count : 0));
  }
  /** Drives the camera at another index (stop a Preview first). */
  void select_device(std::int32_t index) {
    if (previewing()) detail::raise(Error::Busy, "Orvex_SetDeviceNumber");
    checked("Orvex_SetDeviceNumber", Orvex_SetDeviceNumber, index);
  }

  /** Reads a register of the camera's FPGA (address 0..255). */
  std::uint16_t read_register(std::uint8_t address) const {
    return static_cast<std::uint16_t>(
        checked_ok("Orvex_Fpga_ReadRegister", Orvex_Fpga_ReadRegister, std::int32_t{address}));
  }
  /** Writes a register of the camera's FPGA. */
  void write_register(std::uint8_t address, std::uint16_t value) {
    checked("Orvex_Fpga_WriteRegister", Orvex_Fpga_WriteRegister, std::int32_t{address},
            std::int32_t{value});
  }
  /** Reads identification byte 0..7 of the camera's serial ROM. */
  std::uint8_t read_rom_id(std::int32_t index) const {
    return static_cast<std::uint8_t>(checked_ok("Orvex_ReadSromID", Orvex_ReadSromID, index));
  }
  /** Writes identification byte 0..7 of the camera's serial ROM. */
  void write_rom_id(std::int32_t index, std::uint8_t value) {
    checked("Orvex_WriteSromID", Orvex_WriteSromID, index, std::int32_t{value});
  }

  /** True while a Preview of this camera runs. */
  bool previewing() const noexcept { return state_ && state_->previewing.load(); }

 private:
  friend class Preview;

  // Calls a C function under the library lock with this handle first; a closed camera throws.
  template <typename Function, typename... Args>
  std::int32_t call(const char* what, Function function, Args... args) const {
    std::lock_guard<std::recursive_mutex> lock(detail::library_mutex());
    const CameraHandle h = handle();
    if (h == 0) detail::raise(Error::NoDevice, std::string(what) + ": the camera is closed");
    detail::drain_errors(h);
    return function(h, args...);
  }

  // As call(), and a result of 0 throws the code the call recorded, or `fallback` when it
  // recorded none. The code is read in the same hold of the lock as the call: in between,
  // another thread's call would empty the queue before its own call (or a failure of its own
  // would add its code on top), and the failure would be thrown with a code not its own.
  template <typename Function, typename... Args>
  std::int32_t checked_as(Error fallback, const std::string& what, Function function,
                          Args... args) const {
    std::lock_guard<std::recursive_mutex> lock(detail::library_mutex());
    const std::int32_t result = call(what.c_str(), function, args...);
    if (result == 0) raise_recorded(fallback, what);
    return result;
  }
  template <typename Function, typename... Args>
  std::int32_t checked(const std::string& what, Function function, Args... args) const {
    return checked_as(Error::Unreported, what, function, args...);
  }
  // For the functions that report success through a last argument `ok`: its 0 throws as a
  // result of 0 does in checked().
  template <typename Function, typename... Args>
  std::int32_t checked_ok(const std::string& what, Function function, Args... args) const {
    std::lock_guard<std::recursive_mutex> lock(detail::library_mutex());
    std::int32_t ok = 0;
    const std::int32_t value = call(what.c_str(), function, args..., &ok);
    if (ok == 0) raise_recorded(Error::Unreported, what);
    return value;
  }
  // Throws the code the last call recorded; the caller holds the lock since before that call.
  [[noreturn]] void raise_recorded(Error fallback, const std::string& what) const {
    const std::int32_t code = Orvex_GetLastError(handle());
    detail::raise(code != 0 ? std::error_code(code, error_category()) : make_error_code(fallback),
                  what);
  }

  // The size of the images the library makes now: the window, divided as PrepareCapture divides
  // it for a SubSample of 1 or 2 (Orvex_Width and Orvex_Height give the window undivided). One
  // hold of the lock, so that a geometry set by another thread meanwhile is taken whole.
  struct OutputSize {
    std::int32_t width;
    std::int32_t height;
  };
  OutputSize output_size() const {
    std::lock_guard<std::recursive_mutex> lock(detail::library_mutex());
    const std::int32_t sub_sample = call("Orvex_GetSubSample", Orvex_GetSubSample);
    const std::int32_t divisor = sub_sample == 1 ? 2 : sub_sample == 2 ? 4 : 1;
    return {call("Orvex_Width", Orvex_Width) / divisor,
            call("Orvex_Height", Orvex_Height) / divisor};
  }
  // Room for the image the library makes now, in the current pixel format.
  Frame new_frame() const {
    std::lock_guard<std::recursive_mutex> lock(detail::library_mutex());
    return frame_of(output_size());
  }
  // A geometry the library refused stays stored: a size from it that no accepted geometry has
  // (negative, or past the sensor's line and frame) is no room to make but the geometry's
  // error, which the library would give anyway.
  Frame frame_of(const OutputSize& size) const {
    if (size.width < 0 || size.height < 0 || size.width > 1320 || size.height > 1024) {
      detail::raise(Error::Geometry, "image size " + std::to_string(size.width) + " x " +
                                         std::to_string(size.height));
    }
    return Frame(size.width, size.height, pixel_format());
  }

  void snapshot_into(Frame& frame) {
    if (previewing()) detail::raise(Error::Busy, "Orvex_SnapShot");
    // bottomUp 1 gives the camera's first line first: the top of the picture.
    checked_as(Error::NoFrame, "Orvex_SnapShot", Orvex_SnapShot, frame.data(),
               static_cast<std::int32_t>(frame.size_bytes()), 1);
  }

  std::shared_ptr<detail::CameraState> state_;
};

/** Where the library draws the preview: a child of parent at x, y, or a window of its own. */
struct PreviewWindow {
  OrvexWindow parent = 0;  /**< the application's window, or 0 for a top-level window */
  std::int32_t x = 0;      /**< left edge in parent */
  std::int32_t y = 0;      /**< top edge in parent */
  std::int32_t width = 0;  /**< width in parent; 0 takes the image's width */
  std::int32_t height = 0; /**< height in parent; 0 takes the image's height */
};

namespace detail {

#if defined(_WIN32)
// A message-only window of the thread that makes it; the library posts to it and the same
// thread reads it.
class MessagePump {
 public:
  static constexpr UINT kQuit = WM_APP + 0x3F00;
  MessagePump() {
    static const wchar_t* const kClass = L"OrvexInterfaceMessages";
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kClass;
    RegisterClassExW(&windowClass);  // fails harmlessly when registered before
    window_ = CreateWindowExW(0, kClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                              GetModuleHandleW(nullptr), nullptr);
  }
  ~MessagePump() {
    if (window_ != nullptr) DestroyWindow(window_);
  }
  OrvexWindow window() const { return window_; }
  bool get(std::uint32_t* message, std::uintptr_t* wParam, std::intptr_t* lParam) {
    MSG msg;
    if (GetMessageW(&msg, window_, 0, 0) <= 0) return false;
    *message = msg.message;
    *wParam = static_cast<std::uintptr_t>(msg.wParam);
    *lParam = static_cast<std::intptr_t>(msg.lParam);
    return true;
  }
  // The next message already queued, without waiting; false when there is none.
  bool peek(std::uint32_t* message, std::uintptr_t* wParam, std::intptr_t* lParam) {
    MSG msg;
    if (!PeekMessageW(&msg, window_, 0, 0, PM_REMOVE)) return false;
    *message = msg.message;
    *wParam = static_cast<std::uintptr_t>(msg.wParam);
    *lParam = static_cast<std::intptr_t>(msg.lParam);
    return true;
  }
  static void post_quit(OrvexWindow window) { PostMessageW(window, kQuit, 0, 0); }

 private:
  HWND window_ = nullptr;
};
#else
// A message window of OrvexPlatform: any thread may make it, post to it and read it.
class MessagePump {
 public:
  static constexpr std::uint32_t kQuit = 0xBF00;
  MessagePump() : window_(OrvexPlatform_CreateMessageWindow()) {}
  ~MessagePump() {
    if (window_ != 0) OrvexPlatform_DestroyWindow(window_);
  }
  OrvexWindow window() const { return window_; }
  bool get(std::uint32_t* message, std::uintptr_t* wParam, std::intptr_t* lParam) {
    return OrvexPlatform_GetMessage(window_, -1, message, wParam, lParam) != 0;
  }
  bool peek(std::uint32_t* message, std::uintptr_t* wParam, std::intptr_t* lParam) {
    return OrvexPlatform_GetMessage(window_, 0, message, wParam, lParam) != 0;
  }
  static void post_quit(OrvexWindow window) { OrvexPlatform_PostMessage(window, kQuit, 0, 0); }

 private:
  OrvexWindow window_ = 0;
};
#endif

}  // namespace detail

/**
 * The live preview of a Camera, with every frame handed to a function of yours.
 *
 * The library draws each frame into its preview window (see PreviewWindow) and announces it
 * with FrameMessage to a message window of this interface (a message-only window on Windows).
 * A thread of this interface reads those messages, copies the newest whole frame
 * (Orvex_GetImage) into a Frame of its own and calls on_frame with a view of it, top row
 * first. The view is valid during the call only; the next frame reuses its memory. Frames
 * that arrive while on_frame still runs are skipped, never torn.
 *
 * Failures of single frames (Error::FrameRead, Error::Buffer) go to on_error and the preview
 * goes on. A stream that stops (Error::StreamStopped, for example when the camera is
 * unplugged) ends the preview: on_error receives it, running() turns false, and stop() throws
 * it when no on_error was given. Do not change the pixel format, geometry or device while a
 * Preview runs; snapshots are refused with Error::Busy.
 */
class Preview {
 public:
  /** Called on the preview's thread with each frame and its FrameInfo. */
  using FrameHandler = std::function<void(const FrameView& frame, const FrameInfo& info)>;
  /** Called on the preview's thread with each error the library reported for a frame. */
  using ErrorHandler = std::function<void(std::error_code error)>;

  /**
   * Starts the preview (Orvex_SetPreviewWindow, Orvex_CallBackPreview).
   * @throws std::system_error Error::Busy when the camera already previews or captures, or the
   *         code the library recorded (Error::DeviceNotFound, Error::Window, ...).
   */
  Preview(Camera& camera, FrameHandler on_frame, ErrorHandler on_error = nullptr,
          const PreviewWindow& window = PreviewWindow())
      : state_(camera.state_),
        on_frame_(std::move(on_frame)),
        on_error_(std::move(on_error)),
        frame_(camera.new_frame()) {
    if (state_->previewing.exchange(true)) detail::raise(Error::Busy, "a preview runs");
    std::promise<OrvexWindow> made;
    std::future<OrvexWindow> pump = made.get_future();
    try {
      thread_ = std::thread([this, &made] { run(made); });
    } catch (const std::system_error&) {
      state_->previewing = false;
      detail::raise(Error::ThreadStart, "preview thread");
    }
    pump_ = pump.get();
    if (pump_ == 0) {
      finish_thread();
      state_->previewing = false;
      detail::raise(Error::Window, "preview message window");
    }
    std::int32_t started = 0, code = 0;
    {
      std::lock_guard<std::recursive_mutex> lock(detail::library_mutex());
      const CameraHandle h = state_->handle;
      if (h != 0) {
        detail::drain_errors(h);
        const std::int32_t w = window.width > 0 ? window.width : frame_.width();
        const std::int32_t hgt = window.height > 0 ? window.height : frame_.height();
        started = Orvex_SetPreviewWindow(h, window.parent, window.x, window.y, w, hgt) != 0 &&
                  Orvex_CallBackPreview(h, pump_, nullptr, 0, 0) != 0;
        code = started ? 0 : Orvex_GetLastError(h);
      } else {
        code = ErrorNoDevice;
      }
    }
    if (!started) {
      finish_thread();
      state_->previewing = false;
      // A refusal without a reason: the camera was prepared for snapshots (Camera::capture).
      detail::raise(
          code != 0 ? std::error_code(code, error_category()) : make_error_code(Error::Busy),
          "Orvex_CallBackPreview");
    }
  }

  /** Stops the preview; never throws (call stop() to learn of errors). */
  ~Preview() {
    try {
      stop();
    } catch (...) {
    }
    // A stop from one of its own handlers could not wait for the thread.
    if (thread_.joinable()) thread_.join();
  }

  Preview(const Preview&) = delete;
  Preview& operator=(const Preview&) = delete;

  /**
   * Stops the preview and closes its window; on_frame is not called any more once this
   * returns. Safe to call twice. Called from on_frame or on_error it stops all the same, and
   * the handler running is the last one (the Preview itself must outlive it).
   * @throws std::system_error Error::StreamStopped when the stream stopped and no on_error
   *         was given; the code of a failed Orvex_StopPreview; what on_frame threw.
   */
  void stop() {
    if (stopped_) return;
    stopped_ = true;
    std::int32_t code = 0;
    {
      std::lock_guard<std::recursive_mutex> lock(detail::library_mutex());
      const CameraHandle h = state_->handle;
      if (h != 0) {
        detail::drain_errors(h);
        if (Orvex_StopPreview(h) == 0) code = Orvex_GetLastError(h);
        Orvex_Close(h);
      }
    }
    finish_thread();
    state_->previewing = false;
    const std::error_code ended = error();
    if (handler_failure_) std::rethrow_exception(handler_failure_);
    // After a stream failure the library's stop reports the dead stream again (Transfer).
    if (ended == Error::StreamStopped) {
      if (!on_error_) detail::raise(ended, "preview");
      return;
    }
    if (code != 0) detail::raise(std::error_code(code, error_category()), "Orvex_StopPreview");
  }

  /** False once stopped, once the stream stopped on an error, or once on_frame or on_error
      threw (no frame is handed on after that; stop() rethrows it). */
  bool running() const noexcept { return !stopped_ && !ended_.load() && !failed_.load(); }

  /** Error::StreamStopped once the stream stopped, else no error. */
  std::error_code error() const noexcept {
    return ended_.load() ? make_error_code(Error::StreamStopped) : std::error_code();
  }

  /** Waits until the preview ended on an error (the stream stopped, or a handler threw) or the
      time passed; true when it ended. */
  bool wait_for_end(std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(end_mutex_);
    return end_.wait_for(lock, timeout, [this] { return ended_.load() || failed_.load(); });
  }

  /** Frames handed to on_frame so far. */
  std::int64_t frames() const noexcept { return frames_.load(); }

 private:
  void run(std::promise<OrvexWindow>& made) {
    detail::MessagePump pump;
    made.set_value(pump.window());
    if (pump.window() == 0) return;
    std::uint32_t message = 0;
    std::uintptr_t wParam = 0;
    std::intptr_t lParam = 0;
    bool quit = false;
    while (!quit && pump.get(&message, &wParam, &lParam)) {
      // Frame messages queued behind this one announce newer frames, and one copy of the newest
      // answers them all: a handler slower than the camera skips frames instead of falling
      // further behind. Failed frames are each reported.
      const FrameInfo* newest = nullptr;
      do {
        if (message == detail::MessagePump::kQuit) {
          quit = true;
        } else if (message == FrameMessage && wParam == 0) {
          report(static_cast<std::int32_t>(lParam));
        } else if (message == FrameMessage) {
          newest = reinterpret_cast<const FrameInfo*>(wParam);
        }
      } while (!quit && pump.peek(&message, &wParam, &lParam));
      if (!quit && newest != nullptr && !handler_failure_) deliver(newest);
    }
  }

  void deliver(const FrameInfo* posted) {
    std::int32_t copied = 0, rate = 0;
    {
      std::lock_guard<std::recursive_mutex> lock(detail::library_mutex());
      const CameraHandle h = state_->handle;
      // The library copies whole frames only, under a lock of its own.
      if (h != 0 && !stopped_) {
        copied =
            Orvex_GetImage(h, frame_.data(), static_cast<std::int32_t>(frame_.size_bytes()), 1);
        if (!copied) Orvex_GetLastError(h);
        // The posted record belongs to the handle: read while the lock keeps a close() on
        // another thread from releasing it. The library may be rewriting it for the next frame
        // already, so only its rate is taken, word-wise; the size is the frame's own.
        if (copied) rate = detail::load_word(&posted->frameRate);
      }
    }
    if (!copied) return;
    FrameInfo info{};
    info.size = sizeof info;
    info.width = frame_.width();
    info.height = frame_.height();
    info.bitsPerPixel = bits_per_pixel(frame_.format());
    info.frameRate = rate;
    try {
      ++frames_;
      if (on_frame_) on_frame_(frame_.view(), info);
    } catch (...) {
      fail(std::current_exception());
    }
  }

  void report(std::int32_t code) {
    if (code == ErrorStreamStopped) {
      {
        std::lock_guard<std::mutex> lock(end_mutex_);
        ended_ = true;
      }
      end_.notify_all();
    }
    try {
      if (on_error_) on_error_(std::error_code(code, error_category()));
    } catch (...) {
      fail(std::current_exception());
    }
  }

  // A handler that threw ends the delivery; the application learns of it through running(),
  // wait_for_end() and stop().
  void fail(std::exception_ptr failure) {
    handler_failure_ = std::move(failure);
    {
      std::lock_guard<std::mutex> lock(end_mutex_);
      failed_ = true;
    }
    end_.notify_all();
  }

  void finish_thread() {
    if (pump_ != 0) detail::MessagePump::post_quit(pump_);
    pump_ = 0;
    // From one of its own handlers the thread cannot wait for itself: it ends once the handler
    // returns, and the destructor collects it.
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
  }

  std::shared_ptr<detail::CameraState> state_;
  FrameHandler on_frame_;
  ErrorHandler on_error_;
  Frame frame_;
  std::thread thread_;
  OrvexWindow pump_ = 0;
  std::atomic<bool> stopped_{false};
  std::atomic<bool> ended_{false};
  std::atomic<bool> failed_{false};
  std::atomic<std::int64_t> frames_{0};
  std::exception_ptr handler_failure_;
  std::mutex end_mutex_;
  std::condition_variable end_;
};

}  // namespace orvex

#endif /* ORVEX_ORVEX_HPP */
