#pragma once

#include <array>
#include <cstdint>
#include <mutex>
#include <string>

#include "base/camera_settings.h"
#include "imaging/frame_sink.h"
#include "platform/window_system.h"

namespace orvex {

class FrameImages;

// The preview window: a window of the library's own, either a child of the application's
// window or a top-level window of the image's size centred on the screen, and the drawing of
// every frame into it. It never starts or stops the acquisition: its owner stops the
// acquisition before the window goes.
class PreviewWindow final : public FrameSink {
 public:
  // `owner` (the camera context's address) names the window classes, which must be unique in
  // the process; `settings` give a top-level window its size.
  PreviewWindow(std::uintptr_t owner, const CameraSettings& settings);
  PreviewWindow(const PreviewWindow&) = delete;
  PreviewWindow& operator=(const PreviewWindow&) = delete;

  // A child of `parent` at (left, top) sized right x bottom, or without a parent a top-level
  // window of the capture's size centred on the screen; 0 when none could be made. The new
  // window is not yet the one frames are drawn into (see Attach).
  platform::WindowHandle CreatePreviewWindow(platform::WindowHandle parent, std::int32_t left,
                                             std::int32_t top, std::int32_t right,
                                             std::int32_t bottom);
  // From now on frames are drawn into `window` through `dc` (which may be 0: nothing is drawn).
  void Attach(platform::WindowHandle window, platform::GraphicsHandle dc);
  // Takes the window away from frames still being drawn, then releases the device context,
  // destroys the window and unregisters its class.
  void RetirePreviewWindow();
  // The same; always 1.
  int DestroyPreviewWindow();
  // A window, device context or class is left from an earlier preview.
  bool InUse() const;

  // Sizes DisplayImage for the visible window (a step of PrepareCapture).
  void PrepareDisplayImage(FrameImages& images, std::int32_t colorType);
  // Draws the output image of the current frame into the window.
  void DrawFrame(FrameImages& images, std::int32_t colorType);

  void PrepareForFrames(FrameImages& images, std::int32_t colorType) override {
    PrepareDisplayImage(images, colorType);
  }
  void ShowFrame(FrameImages& images, std::int32_t colorType) override {
    DrawFrame(images, colorType);
  }

  // Written on the application's thread; while frames are drawn, only under the lock.
  platform::WindowHandle previewWindow = 0;
  platform::GraphicsHandle previewDc = 0;
  std::array<char, 256> className{};

 private:
  const std::uintptr_t owner_;
  const CameraSettings& settings_;
  // Held while a frame is drawn, so that a window being taken away is never drawn into.
  mutable std::mutex drawMutex_;
};

}  // namespace orvex
