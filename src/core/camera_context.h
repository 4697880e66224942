#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "base/manual_reset_event.h"
#include "base/camera_settings.h"
#include "acquisition/dialog_views.h"
#include "core/last_error_queue.h"
#include "imaging/hue_table.h"
#include "imaging/processor_info.h"
#include "platform/window_system.h"

namespace orvex {

class DeviceLink;
class ImageBuffer;

enum AcquisitionState : std::int32_t { Idle = 0, Previewing = 1, Capturing = 2 };

// A rectangle as the window system passes it: left, top, right, bottom. The preview
// placement uses the last two as width and height.
struct Rect {
  std::int32_t left = 0;
  std::int32_t top = 0;
  std::int32_t right = 0;
  std::int32_t bottom = 0;
};

// Error codes recorded for the application (the public header names them too).
enum ErrorCode : std::int32_t {
  kErrorNoDevice = 1,
  kErrorDeviceNotFound = 2,
  kErrorThreadStart = 3,
  kErrorWindow = 4,
  kErrorBuffer = 5,
  kErrorTransfer = 6,
  kErrorGeometry = 7,
  kErrorFrameRead = 8,
  kErrorParameter = 9,
  kErrorNotSupported = 11,
  kErrorStreamStopped = 13,
};

inline constexpr std::uint32_t kFrameMessage = 32770;
inline constexpr std::uint32_t kErrorMessage = 32771;

// The description of the last preview frame, posted by address with every FrameMessage: six
// 32-bit words laid out as the public FrameInfo. The preview thread writes it while the
// application may read it.
struct FrameInfoRecord {
  RelaxedAtomic<std::int32_t> size{24};
  RelaxedAtomic<std::int32_t> width{0};
  RelaxedAtomic<std::int32_t> height{0};
  RelaxedAtomic<std::int32_t> bitsPerPixel{0};
  RelaxedAtomic<std::int32_t> frameRate{0};  // tenths of frames a second
  RelaxedAtomic<std::int32_t> reserved{0};
};
static_assert(sizeof(FrameInfoRecord) == 24);

// The object behind one camera handle. It owns the device link, the eight images, the preview
// window and thread, every setting of the camera and the image pipeline, and the error queue.
// Exports forward to its operations; a few read or write its settings directly.
class CameraContext {
 public:
  CameraContext();
  virtual ~CameraContext();
  CameraContext(const CameraContext&) = delete;
  CameraContext& operator=(const CameraContext&) = delete;

  // The start-up sequence: processor, device link, images, stored settings, start-up registers.
  // 1, or 0 when the link or an image could not be made (recorded as ErrorBuffer).
  int Initialize(platform::WindowHandle notifyWindow);

  // --- errors ---
  int RecordError(std::int32_t code);
  std::int32_t TakeLastError();

  // --- shared checks and lookups ---
  int CheckGeometry() const;
  void ApplyDefaultGeometry();
  ImageBuffer* RawImageFor(std::int32_t colorType) const;
  ImageBuffer* OutputImageFor(std::int32_t colorType) const;
  static bool IsGrayType(std::int32_t colorType) { return colorType == 0 || colorType == 1; }
  static bool IsColorType(std::int32_t colorType) { return colorType >= 2 && colorType <= 5; }
  static bool IsByteSampleType(std::int32_t colorType) {
    return colorType == 0 || colorType == 2 || colorType == 3;
  }
  static bool IsWordSampleType(std::int32_t colorType) {
    return colorType == 1 || colorType == 4 || colorType == 5;
  }

  // --- capture format, geometry and device selection ---
  int SetColorMode(std::int32_t bitsPerPixel);
  std::int32_t GetColorMode() const;
  int SetPreviewWindow(platform::WindowHandle parent, const Rect& rect);
  int SetCaptureWindow(std::int32_t width, std::int32_t height);
  int SetCaptureWindowEx(std::int32_t TH, std::int32_t EHS, std::int32_t EH, std::int32_t TV,
                         std::int32_t EVS, std::int32_t EV);
  int GetCaptureWindowEx(std::int32_t* TH, std::int32_t* EHS, std::int32_t* EH, std::int32_t* TV,
                         std::int32_t* EVS, std::int32_t* EV) const;
  int SetDeviceNumber(std::int32_t index);
  std::int32_t EnumDevice(char (*names)[256]);
  int GetDeviceName(std::int32_t index, char* name, std::int32_t size);
  int GetCameraInfo(std::int32_t* info);

  // --- analog controls and filter values, by id 1..27 ---
  int SetFilterValue(std::int32_t id, std::int32_t value);
  std::int32_t GetFilterValue(std::int32_t id, std::int32_t* ok);

  // --- raw camera access ---
  std::int32_t FpgaWriteRegister(std::int32_t address, std::int32_t value);
  std::int32_t FpgaReadRegister(std::int32_t address, std::int32_t* ok);
  std::int32_t WriteSromId(std::int32_t index, std::int32_t value);
  std::int32_t ReadSromId(std::int32_t index, std::int32_t* ok);

  // --- acquisition ---
  int PrepareCapture();
  int StartPreview();
  int StopPreview();
  int Capture();
  int SnapShot(std::uint8_t* buffer, std::int32_t size, std::int32_t bottomUp);
  int GetImage(std::uint8_t* buffer, std::int32_t size, std::int32_t bottomUp);
  // Copies `image` row by row into `buffer`: bottom row first (memory order) when `bottomUp`
  // is non-zero, top row first otherwise. Needs stride x height bytes.
  int CopyImageOut(const ImageBuffer* image, std::int32_t bottomUp, std::uint8_t* buffer,
                   std::int32_t size);
  int SaveImage(const char* fileName, std::int32_t format);

  // --- display ---
  // Opens the preview window and starts the preview; no frame messages.
  int Preview();
  // As Preview; every frame is also copied into `buffer` (when set) and announced to `window`.
  int CallBackPreview(platform::WindowHandle window, std::uint8_t* buffer, std::int32_t size,
                      std::int32_t bottomUp);
  // Stops the acquisition and destroys the preview window; always 1.
  int Close();
  // A child of `parent` at (left, top) sized right x bottom, or without a parent a top-level
  // window of the capture's size centred on the screen; 0 when none could be made.
  platform::WindowHandle CreatePreviewWindow(platform::WindowHandle parent, std::int32_t left,
                                             std::int32_t top, std::int32_t right,
                                             std::int32_t bottom);
  int DestroyPreviewWindow();
  // Sizes DisplayImage for the visible preview window (a step of PrepareCapture).
  void PrepareDisplayImage();
  // Draws the output image of the current frame into the preview window.
  void DrawFrame();

  DeviceLink* Link() const { return link.get(); }

  // --- owned resources ---
  ProcessorInfo processorInfo;
  std::unique_ptr<DeviceLink> link;
  std::unique_ptr<ImageBuffer> RawImage8;
  std::unique_ptr<ImageBuffer> RawImage16;
  std::unique_ptr<ImageBuffer> ColorImage24;
  std::unique_ptr<ImageBuffer> ColorImage32;
  std::unique_ptr<ImageBuffer> ColorImage48;
  std::unique_ptr<ImageBuffer> ColorImage64;
  std::unique_ptr<ImageBuffer> ScratchImage;
  std::unique_ptr<ImageBuffer> DisplayImage;
  // Written on the application's thread; while a preview thread runs, only under frameMutex_,
  // which the thread holds while it draws.
  platform::WindowHandle previewWindow = 0;
  platform::GraphicsHandle previewDc = 0;
  std::array<char, 256> className{};

  // --- settings ---
  CaptureGeometry geometry;
  ImageSettings image;
  std::atomic<ImageDialogView*> imageDialog{nullptr};  // the open image dialog, if any
  AnalogSettings analog;
  std::atomic<AnalogDialogView*> analogDialog{nullptr};  // the open analog dialog, if any

  // --- acquisition ---
  // 1 while the preview loop is to go on, 0 to end it; kPreviewStarting while StartPreview
  // still starts the stream, so that the loop polls only a started stream.
  static constexpr std::int32_t kPreviewStarting = 2;
  std::atomic<std::int32_t> previewRunning{0};
  std::thread previewThread;
  std::unique_ptr<ManualResetEvent> previewDoneEvent;  // set by the preview thread as it ends
  platform::WindowHandle previewParent = 0;
  Rect previewRect{0, 0, 1280, 1024};
  RelaxedAtomic<platform::WindowHandle> notifyWindow{0};
  RelaxedAtomic<platform::WindowHandle> frameWindow{0};
  RelaxedAtomic<std::uint8_t*> frameBuffer{nullptr};
  RelaxedAtomic<std::int32_t> frameBufferSize{0};
  RelaxedAtomic<std::int32_t> frameBottomUp{0};
  FrameInfoRecord FrameInfo;
  RelaxedAtomic<std::int32_t> state{Idle};

  // --- capture format ---
  CaptureFormat format;

  // --- frame rate ---
  std::int32_t frameRate = 0;
  std::int32_t frameCount = 0;
  std::uint32_t rateStart = 0;

  HueTable hueTable{};

 private:
  void PreviewThreadBody();
  void PreviewLoop();
  void MeasureFrameRate();
  // Copies the newest frame (single or stream) into `raw`, checked against the link's window
  // first; 0, or non-zero when nothing usable arrived.
  int ReadFrameIntoRaw(ImageBuffer* raw, bool fromStream);
  void PostFrameMessage(std::uintptr_t wParam, std::intptr_t lParam);
  // Steps 2 to 4 of Preview: the window, its device context, the start.
  int OpenPreview();
  // Takes an existing preview window away from a running preview and destroys it.
  void RetirePreviewWindow();

  LastErrorQueue errors_;

  // Serialises the frame work of the preview thread (copy, pipeline, drawing, copy-out) with
  // GetImage and SaveImage, so that those always see a whole frame.
  std::mutex frameMutex_;
  // 1, 2 or 4: the output is the link's window divided by this (SubSample at PrepareCapture).
  std::int32_t reduction_ = 1;
  // With a reduction, the link's full window lands here before it is thinned into the raw image.
  std::vector<std::uint8_t> fullWindow_;
};

}  // namespace orvex
