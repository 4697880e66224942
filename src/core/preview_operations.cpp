// Preview, CallBackPreview and Close: the preview window around the acquisition.
#include "core/camera_context.h"
#include "platform/platform_services.h"

namespace orvex {
namespace {

// The preview window of one context, claimed by one application thread at a time.
class WindowClaim {
 public:
  explicit WindowClaim(std::atomic<bool>& busy)
      : busy_(busy), held_(!busy.exchange(true, std::memory_order_acquire)) {}
  ~WindowClaim() {
    if (held_) busy_.store(false, std::memory_order_release);
  }
  WindowClaim(const WindowClaim&) = delete;
  WindowClaim& operator=(const WindowClaim&) = delete;
  explicit operator bool() const { return held_; }

 private:
  std::atomic<bool>& busy_;
  const bool held_;
};

}  // namespace

int CameraContext::Preview() {
  return OpenPreview(0, nullptr, 0, 0);
}

int CameraContext::CallBackPreview(platform::WindowHandle window, std::uint8_t* buffer,
                                   std::int32_t size, std::int32_t bottomUp) {
  return OpenPreview(window, buffer, size, bottomUp);
}

int CameraContext::OpenPreview(platform::WindowHandle frameWindow, std::uint8_t* buffer,
                               std::int32_t size, std::int32_t bottomUp) {
  // Another thread is opening or closing this preview window right now: its window calls may
  // be waiting for this thread, so this call gives way instead of waiting for them.
  const WindowClaim claim(windowBusy_);
  if (!claim) {
    RecordError(ErrorCode::kWindow);
    return 0;
  }
  platform::WindowHandle parent = 0;
  Rect rect;
  {
    const auto lock = LockOperations();
    acquisition_.SetFrameDelivery(frameWindow, buffer, size, bottomUp);
    parent = previewParent_;
    rect = previewRect_;
  }

  // A second call replaces the window of the first, which would otherwise stay on the screen
  // with nobody left to close it.
  if (window_.InUse()) window_.RetirePreviewWindow();
  // A preview already running would go on delivering into the buffer just given, which the
  // caller, told the call failed, may free: it stops with the window that failed. For the same
  // reason the refusal counts as a request, so that a preview the camera dialog paused is not
  // started again into that buffer.
  const auto refuse = [this] {
    {
      const auto lock = LockOperations();
      ++acquisition_.requests;
      if (acquisition_.state == AcquisitionState::Previewing) preview_.StopPreview();
    }
    RecordError(ErrorCode::kWindow);
    return 0;
  };
  const platform::WindowHandle window =
      window_.CreatePreviewWindow(parent, rect.left, rect.top, rect.right, rect.bottom);
  if (window == 0) return refuse();
  const platform::GraphicsHandle dc = platform::Windows().GetWindowDc(window);
  window_.Attach(window, dc);
  // Without a device context the window stays until Close.
  if (dc == 0) return refuse();
  {
    const auto lock = LockOperations();
    if (preview_.StartPreview()) return 1;
    preview_.StopPreview();
  }
  window_.RetirePreviewWindow();
  return 0;
}

int CameraContext::Close() {
  DestroyPreviewWindow();
  return 1;
}

int CameraContext::DestroyPreviewWindow() {
  // No frame may be drawn through the device context once it is released. Another thread may
  // start the acquisition again before the window goes: retiring the window takes it from
  // under the drawing first, so that a restarted preview draws nowhere.
  {
    const auto lock = LockOperations();
    preview_.StopPreview();
  }
  // While another thread opens this window, that call owns it and decides its fate.
  const WindowClaim claim(windowBusy_);
  if (claim) window_.RetirePreviewWindow();
  return 1;
}

}  // namespace orvex
