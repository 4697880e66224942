// Preview, CallBackPreview and Close: the preview window around the preview thread.
#include <mutex>

#include "core/camera_context.h"
#include "platform/platform_services.h"

namespace orvex {

int CameraContext::Preview() {
  {
    std::lock_guard<std::mutex> lock(frameMutex_);
    frameWindow = 0;
    frameBuffer = nullptr;
    frameBufferSize = 0;
    frameBottomUp = 0;
  }
  return OpenPreview();
}

int CameraContext::CallBackPreview(platform::WindowHandle window, std::uint8_t* buffer,
                                   std::int32_t size, std::int32_t bottomUp) {
  {
    // A running preview copies out under this lock, so it never sees a buffer with the size of
    // another.
    std::lock_guard<std::mutex> lock(frameMutex_);
    frameWindow = window;
    frameBuffer = buffer;
    frameBufferSize = size;
    frameBottomUp = bottomUp;
  }
  return OpenPreview();
}

int CameraContext::OpenPreview() {
  // A second call replaces the window of the first, which would otherwise stay on the screen
  // with nobody left to close it.
  if (previewWindow != 0 || previewDc != 0 || className[0] != '\0') RetirePreviewWindow();

  const platform::WindowHandle window = CreatePreviewWindow(
      previewParent, previewRect.left, previewRect.top, previewRect.right, previewRect.bottom);
  if (window == 0) {
    RecordError(kErrorWindow);
    return 0;
  }
  const platform::GraphicsHandle dc = platform::Windows().GetWindowDc(window);
  {
    std::lock_guard<std::mutex> lock(frameMutex_);
    previewWindow = window;
    previewDc = dc;
  }
  // Without a device context the window stays until Close.
  if (dc == 0) {
    RecordError(kErrorWindow);
    return 0;
  }
  if (StartPreview()) return 1;
  Close();
  return 0;
}

int CameraContext::Close() {
  DestroyPreviewWindow();
  return 1;
}

}  // namespace orvex
