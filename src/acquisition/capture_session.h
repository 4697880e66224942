#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>

#include "acquisition/dialog_views.h"
#include "acquisition/raw_frame_reader.h"
#include "base/camera_settings.h"
#include "base/error_reporter.h"
#include "base/relaxed_atomic.h"
#include "imaging/hue_table.h"
#include "imaging/processor_info.h"
#include "platform/window_system.h"

namespace orvex {

class BandWorkers;
class DeviceLink;
class FrameImages;
class FrameSink;
class ImageBuffer;

enum class AcquisitionState : std::int32_t { Idle = 0, Previewing = 1, Capturing = 2 };

// Posted to the frame window with every preview frame, or with the error of a failed one.
inline constexpr std::uint32_t kFrameMessage = 32770;

// What the acquisition works with, all owned by the camera context: the link (absent when it
// could not be made), the settings, the images and the context's findings, and where frames,
// changes and errors go.
struct AcquisitionResources {
  const std::unique_ptr<DeviceLink>& link;
  CameraSettings& settings;
  FrameImages& images;
  const ProcessorInfo& processor;
  const HueTable& hueTable;
  FrameSink& sink;
  DialogViews& views;
  ErrorReporter& errors;
};

// Frames on request: preparing a capture, single frames, the copies handed to the application,
// the CSV file; and what the preview thread shares with them, the state and the frame lock.
class CaptureSession {
 public:
  explicit CaptureSession(const AcquisitionResources& resources);
  ~CaptureSession();
  CaptureSession(const CaptureSession&) = delete;
  CaptureSession& operator=(const CaptureSession&) = delete;

  // Checks the selected device and the geometry, sizes the images for the ColorType, configures
  // the frame, sets the sample width, writes the exposure register and lets the frame sink
  // prepare; 1, or 0 with the reason recorded.
  int PrepareCapture();
  // Prepares once for the snapshots that follow (state Capturing); 0 while previewing.
  int Capture();
  // One frame through the pipeline, copied into `buffer` when one is given.
  int SnapShot(std::uint8_t* buffer, std::int32_t size, std::int32_t bottomUp);
  // Copies the output of the last frame.
  int GetImage(std::uint8_t* buffer, std::int32_t size, std::int32_t bottomUp);
  // Writes the last 8-bit raw frame as a comma-separated file.
  int SaveImage(const char* fileName, std::int32_t format);
  // Copies `image` row by row into `buffer`: bottom row first (memory order) when `bottomUp`
  // is non-zero, top row first otherwise. Needs stride x height bytes.
  // A stale image (kept from an earlier capture, no frame since) is zeroed first.
  int CopyImageOut(ImageBuffer* image, std::int32_t bottomUp, std::uint8_t* buffer,
                   std::int32_t size);

  // Where preview frames go: announced to `window` and, when `buffer` is given, copied into it.
  void SetFrameDelivery(platform::WindowHandle window, std::uint8_t* buffer, std::int32_t size,
                        std::int32_t bottomUp);
  void PostFrameMessage(std::uintptr_t wParam, std::intptr_t lParam);

  // For the preview thread, with the frame lock held: the newest frame into the raw image of
  // `colorType` (0, or non-zero when nothing usable arrived), and the pipeline over it with
  // what it measured carried out.
  int ReadFrame(std::int32_t colorType, bool fromStream);
  void ProcessFrame(std::int32_t colorType);
  // Serialises the frame work of the preview thread (copy, pipeline, drawing, copy-out) with
  // GetImage and SaveImage, so that those always see a whole frame.
  std::mutex& FrameMutex() { return frameMutex_; }

  RelaxedAtomic<AcquisitionState> state{AcquisitionState::Idle};
  // Every start, stop and capture asked for, counted under the operations lock: a dialog that
  // paused the acquisition restarts it only if nobody has asked for anything since.
  std::uint32_t requests = 0;
  RelaxedAtomic<platform::WindowHandle> frameWindow{0};
  RelaxedAtomic<std::uint8_t*> frameBuffer{nullptr};
  RelaxedAtomic<std::int32_t> frameBufferSize{0};
  RelaxedAtomic<std::int32_t> frameBottomUp{0};

 private:
  AcquisitionResources resources_;
  RawFrameReader reader_;
  // What the last successful preparation made the images for. A capture prepared once serves
  // snapshots only while these stay as they were: after another format, the pipeline would find
  // no image of it and the application's buffer nothing copied. (Where the window only moved,
  // its setter has told the camera and the images still fit.)
  struct ImageFormat {
    std::int32_t color, subSample, width, height;
    bool operator==(const ImageFormat&) const = default;
  };
  ImageFormat CurrentImageFormat() const;
  std::optional<ImageFormat> prepared_;
  // The threads that share each frame's rows with the one running the pipeline, made by the
  // first preparation on a machine of several cores and kept, idle, between frames.
  std::unique_ptr<BandWorkers> workers_;
  std::mutex frameMutex_;
};

}  // namespace orvex
