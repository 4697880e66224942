// Handing images to the application: copies into its memory, frame messages, the CSV file.
#include <cstring>

#include "core/camera_context.h"
#include "export/csv_writer.h"
#include "imaging/image_buffer.h"
#include "platform/platform_services.h"

namespace orvex {

void CameraContext::PostFrameMessage(std::uintptr_t wParam, std::intptr_t lParam) {
  const platform::WindowHandle window = frameWindow;
  if (window != 0) platform::Windows().PostWindowMessage(window, kFrameMessage, wParam, lParam);
}

int CameraContext::CopyImageOut(const ImageBuffer* image, std::int32_t bottomUp,
                                std::uint8_t* buffer, std::int32_t size) {
  const std::int64_t need =
      image != nullptr ? static_cast<std::int64_t>(image->stride) * image->height : 0;
  if (image == nullptr || need > size) {
    PostFrameMessage(0, kErrorBuffer);
    RecordError(kErrorBuffer);
    return 0;
  }
  if (need == 0 || image->pixels == nullptr) return 1;
  if (bottomUp != 0) {
    // The order the image keeps its rows in: one block.
    std::memcpy(buffer, image->pixels, static_cast<std::size_t>(need));
    return 1;
  }
  const std::size_t stride = image->stride;
  for (std::int32_t row = 0; row < image->height; ++row) {
    std::memcpy(buffer + static_cast<std::size_t>(row) * stride,
                image->pixels + static_cast<std::size_t>(image->height - 1 - row) * stride, stride);
  }
  return 1;
}

int CameraContext::GetImage(std::uint8_t* buffer, std::int32_t size, std::int32_t bottomUp) {
  if (!link) {
    RecordError(kErrorNoDevice);
    return 0;
  }
  std::lock_guard<std::mutex> lock(frameMutex_);
  const ImageBuffer* output = OutputImageFor(format.Color);
  if (output == nullptr) {
    RecordError(kErrorNoDevice);
    return 0;
  }
  if (output->pixels == nullptr || buffer == nullptr) {
    RecordError(kErrorBuffer);
    return 0;
  }
  return CopyImageOut(output, bottomUp, buffer, size);
}

int CameraContext::SaveImage(const char* fileName, std::int32_t /*format: accepted, unused*/) {
  if (!link) {
    RecordError(kErrorNoDevice);
    return 0;
  }
  std::lock_guard<std::mutex> lock(frameMutex_);
  const ImageBuffer* raw = RawImage8.get();
  const bool written =
      raw != nullptr ? WriteCsvImage(fileName, raw->pixels, raw->width, raw->height, raw->stride)
                     : WriteCsvImage(fileName, nullptr, 0, 0, 0);
  if (!written) {
    RecordError(kErrorParameter);
    return 0;
  }
  return 1;
}

}  // namespace orvex
