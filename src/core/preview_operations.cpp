// Preview, CallBackPreview and Close: the preview window around the acquisition.
#include "core/camera_context.h"
#include "platform/platform_services.h"

namespace orvex {

int CameraContext::Preview() {
  acquisition_.SetFrameDelivery(0, nullptr, 0, 0);
  return OpenPreview();
}

int CameraContext::CallBackPreview(platform::WindowHandle window, std::uint8_t* buffer,
                                   std::int32_t size, std::int32_t bottomUp) {
  acquisition_.SetFrameDelivery(window, buffer, size, bottomUp);
  return OpenPreview();
}

int CameraContext::OpenPreview() {
  // A second call replaces the window of the first, which would otherwise stay on the screen
  // with nobody left to close it.
  if (window_.InUse()) window_.RetirePreviewWindow();

  const platform::WindowHandle window = window_.CreatePreviewWindow(
      previewParent_, previewRect_.left, previewRect_.top, previewRect_.right, previewRect_.bottom);
  if (window == 0) {
    RecordError(ErrorCode::kWindow);
    return 0;
  }
  const platform::GraphicsHandle dc = platform::Windows().GetWindowDc(window);
  window_.Attach(window, dc);
  // Without a device context the window stays until Close.
  if (dc == 0) {
    RecordError(ErrorCode::kWindow);
    return 0;
  }
  if (preview_.StartPreview()) return 1;
  Close();
  return 0;
}

int CameraContext::Close() {
  DestroyPreviewWindow();
  return 1;
}

int CameraContext::DestroyPreviewWindow() {
  // No frame may be drawn through the device context once it is released.
  preview_.StopPreview();
  return window_.DestroyPreviewWindow();
}

}  // namespace orvex
