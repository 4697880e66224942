#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include "acquisition/capture_session.h"
#include "acquisition/dialog_views.h"
#include "acquisition/preview_session.h"
#include "base/call_gate.h"
#include "base/camera_settings.h"
#include "base/error_reporter.h"
#include "base/relaxed_atomic.h"
#include "core/last_error_queue.h"
#include "display/preview_window.h"
#include "imaging/frame_images.h"
#include "imaging/hue_table.h"
#include "imaging/processor_info.h"
#include "platform/window_system.h"

namespace orvex {

class DeviceLink;

// Posted to the notify window with every error recorded.
inline constexpr std::uint32_t kErrorMessage = 32771;

// The size word a CameraInfo record must at least carry.
inline constexpr std::uint32_t kCameraInfoBytes = 36;

// A rectangle as the window system passes it: left, top, right, bottom. The preview
// placement uses the last two as width and height.
struct Rect {
  std::int32_t left = 0;
  std::int32_t top = 0;
  std::int32_t right = 0;
  std::int32_t bottom = 0;
};

// The object behind one camera handle: the owner of the device link, the settings, the images,
// the preview window, the acquisition and the error queue, which it wires together. Its own
// operations are those that span them (start-up, format and device selection, the numbered
// settings, the preview window around the acquisition); the exports reach the others through
// the collaborators.
class CameraContext : public ErrorReporter {
 public:
  CameraContext();
  virtual ~CameraContext();
  CameraContext(const CameraContext&) = delete;
  CameraContext& operator=(const CameraContext&) = delete;

  // The start-up sequence: processor, device link, images, stored settings, start-up registers.
  // 1, or 0 when the link or an image could not be made (recorded as ErrorBuffer).
  int Initialize(platform::WindowHandle notifyWindow);

  // --- errors ---
  int RecordError(ErrorCode code) override;
  std::int32_t TakeLastError();

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

  // --- the preview window around the acquisition ---
  // Opens the preview window and starts the preview; no frame messages.
  int Preview();
  // As Preview; every frame is also copied into `buffer` (when set) and announced to `window`.
  int CallBackPreview(platform::WindowHandle window, std::uint8_t* buffer, std::int32_t size,
                      std::int32_t bottomUp);
  // Stops the acquisition and destroys the preview window; always 1.
  int Close();
  // The same: the acquisition first, so that no frame is drawn into a window going away.
  int DestroyPreviewWindow();

  // --- the property dialogs, each modal on the calling thread over `owner` (0: none) ---
  // 1 once the dialog has closed, whatever closed it; 0 with the reason recorded when no dialog
  // could be shown.
  int RunCameraDialog(platform::WindowHandle owner);
  int RunAnalogDialog(platform::WindowHandle owner);
  int RunImageDialog(platform::WindowHandle owner);

  // --- application threads ---
  // Serialises, among the application's threads, what replaces buffers, changes the
  // acquisition or talks to the camera. Recursive, because operations nest (Preview starts the
  // preview, a dialog stops and restarts it). Never held across a modal dialog or a
  // window-system call, so nothing that calls back can wait for it; the library's own threads
  // never take it.
  std::unique_lock<std::recursive_mutex> LockOperations() {
    return std::unique_lock<std::recursive_mutex>(operationMutex_);
  }
  // The application's calls in progress on this context (see Orvex_Release).
  CallGate& Calls() { return calls_; }

  // --- the collaborators ---
  DeviceLink* Link() const { return link_.get(); }
  CameraSettings& Settings() { return settings_; }
  FrameImages& Images() { return images_; }
  PreviewWindow& Window() { return window_; }
  CaptureSession& Acquisition() { return acquisition_; }
  PreviewSession& LivePreview() { return preview_; }
  DialogViews& Views() { return views_; }
  const ProcessorInfo& Processor() const { return processorInfo_; }
  const HueTable& Hues() const { return hueTable_; }

 private:
  // Preview and CallBackPreview: where frames go, the window, its device context, the start.
  int OpenPreview(platform::WindowHandle frameWindow, std::uint8_t* buffer, std::int32_t size,
                  std::int32_t bottomUp);
  // What the sessions work with: members declared before them.
  AcquisitionResources Resources();

  LastErrorQueue errors_;
  RelaxedAtomic<platform::WindowHandle> notifyWindow_{0};
  ProcessorInfo processorInfo_;
  HueTable hueTable_{};
  std::unique_ptr<DeviceLink> link_;
  CameraSettings settings_;
  FrameImages images_;
  DialogViews views_;
  platform::WindowHandle previewParent_ = 0;
  Rect previewRect_{0, 0, 1280, 1024};
  PreviewWindow window_;
  CaptureSession acquisition_;
  PreviewSession preview_;

  // Set by Initialize: only a context that started saves its settings when it goes.
  bool started_ = false;
  std::recursive_mutex operationMutex_;
  // Set while one application thread creates or destroys the preview window. Claimed, never
  // waited for: window creation may call back into the application (a parent's notification
  // on its own thread), which must not find another of its calls blocked on this one.
  std::atomic<bool> windowBusy_{false};
  CallGate calls_;
};

}  // namespace orvex
