// Drawing each preview frame into the preview window, and the display image it may need.
#include "display/display_kernels.h"
#include "display/preview_window.h"
#include "imaging/color_type.h"
#include "imaging/frame_images.h"
#include "imaging/image_buffer.h"
#include "imaging/kernel_framework.h"
#include "platform/platform_services.h"

namespace orvex {
namespace {

// The client size of a preview window that can be drawn into, or false.
bool DrawableClient(platform::WindowSystem& windows, platform::WindowHandle window,
                    platform::GraphicsHandle dc, std::int32_t* width, std::int32_t* height) {
  if (window == 0 || dc == 0 || !windows.IsWindowVisible(window)) return false;
  platform::WindowRect client;
  if (!windows.GetClientRect(window, &client)) return false;
  *width = client.right - client.left;
  *height = client.bottom - client.top;
  return *width > 0 && *height > 0;
}

// Gray pictures are drawn with 8 bits and the gray table, colour pictures with 24 bits.
std::uint16_t DisplayBitsFor(std::int32_t colorType) {
  return IsGrayType(colorType) ? 8 : 24;
}

bool MakeDisplayImage(ImageBuffer& display, std::int32_t width, std::int32_t height,
                      std::int32_t colorType) {
  display.Release();
  if (!display.Create(width, height, DisplayBitsFor(colorType))) return false;
  if (IsGrayType(colorType)) display.SetColorTable(0, nullptr, 0, 256);
  return true;
}

platform::BitmapView ViewOf(const ImageBuffer& image, const platform::BitmapInfoHeader* header) {
  return platform::BitmapView{image.memoryDc, image.pixels, header,
                              image.bitsPerPixel == 8 ? GrayColorTable().data() : nullptr};
}

}  // namespace

void PreviewWindow::PrepareDisplayImage(FrameImages& images, std::int32_t colorType) {
  const std::int32_t color = colorType;
  if (!images.DisplayImage || !(IsGrayType(color) || IsColorType(color))) return;
  std::lock_guard<std::mutex> lock(drawMutex_);
  std::int32_t width = 0, height = 0;
  if (!DrawableClient(platform::Windows(), previewWindow, previewDc, &width, &height)) return;
  MakeDisplayImage(*images.DisplayImage, width, height, color);
}

void PreviewWindow::DrawFrame(FrameImages& images, std::int32_t colorType) {
  if (!images.RawImage8 || !images.RawImage16 || !images.ColorImage24 || !images.ColorImage32 ||
      !images.ColorImage48 || !images.ColorImage64 || !images.DisplayImage) {
    return;
  }
  const std::int32_t color = colorType;
  ImageBuffer* view = nullptr;
  switch (color) {
    case 0:
      view = images.RawImage8.get();
      break;
    case 1:
      ApplyKernel(*images.RawImage8, Narrow16To8, *images.RawImage16, nullptr, 0, 0, nullptr, 0);
      view = images.RawImage8.get();
      break;
    case 2:
      view = images.ColorImage24.get();
      break;
    case 3:
      ApplyKernel(*images.ColorImage24, Drop32To24, *images.ColorImage32, nullptr, 0, 0, nullptr,
                  0);
      view = images.ColorImage24.get();
      break;
    case 4:
      ApplyKernel(*images.ColorImage24, Narrow48To24, *images.ColorImage48, nullptr, 0, 0, nullptr,
                  0);
      view = images.ColorImage24.get();
      break;
    case 5:
      ApplyKernel(*images.ColorImage24, Narrow48To24, *images.ColorImage64, nullptr, 0, 0, nullptr,
                  0);
      view = images.ColorImage24.get();
      break;
    default:
      return;
  }
  if (view == nullptr || view->pixels == nullptr) return;

  std::lock_guard<std::mutex> lock(drawMutex_);
  platform::WindowSystem& windows = platform::Windows();
  const platform::GraphicsHandle dc = previewDc;
  std::int32_t width = 0, height = 0;
  if (!DrawableClient(windows, previewWindow, dc, &width, &height)) return;

  if (width == view->width && height == view->height && color != 1) {
    // The view's first memory row is the first line the camera sent: read as a top-down bitmap
    // it lands at the top of the window, as on every other path. (A StretchBlt from source row
    // `height` with a negative height, the other way to turn it over, starts one row below the
    // picture in GDI, which counts a mirrored rectangle from its first pixel: the window would
    // show an undefined first line and lose the last one.)
    platform::BitmapInfoHeader topDown = view->header;
    topDown.height = -view->height;
    windows.SetDiBitsToDevice(dc, 0, 0, width, height, 0, 0, 0, view->height,
                              ViewOf(*view, &topDown));
    return;
  }

  // A display image of another size or depth (from an earlier format) is made anew; when that
  // fails this frame is not drawn and the next one tries again.
  ImageBuffer& display = *images.DisplayImage;
  if (display.width != width || display.height != height ||
      display.bitsPerPixel != DisplayBitsFor(color) || display.pixels == nullptr) {
    if (!MakeDisplayImage(display, width, height, color)) return;
  }
  ApplyKernelScaled(display, IsGrayType(color) ? ScaleGray8 : ScaleColor24, *view, nullptr, nullptr,
                    0, nullptr);
  windows.SetDiBitsToDevice(dc, 0, 0, width, height, 0, 0, 0, display.height,
                            ViewOf(display, &display.header));
}

}  // namespace orvex
