// Single frames on request.
#include "core/camera_context.h"
#include "device/device_link.h"
#include "imaging/frame_pipeline.h"
#include "imaging/image_buffer.h"

namespace orvex {

int CameraContext::SnapShot(std::uint8_t* buffer, std::int32_t size, std::int32_t bottomUp) {
  if (!link) {
    RecordError(kErrorNoDevice);
    return 0;
  }
  const std::int32_t current = state;
  if (current == Previewing) return 0;
  if (current == Idle && !PrepareCapture()) return 0;

  // The application sees only the 0 of a failed read; the reason stays inside the link.
  if (link->StartSingleFrame() != 0) return 0;

  std::lock_guard<std::mutex> lock(frameMutex_);
  if (ReadFrameIntoRaw(RawImageFor(format.Color), false) != 0) {
    PostFrameMessage(0, kErrorFrameRead);
    RecordError(kErrorFrameRead);
    return 0;
  }
  FramePipeline(*this);
  if (buffer != nullptr && size != 0) {
    return CopyImageOut(OutputImageFor(format.Color), bottomUp, buffer, size);
  }
  return 1;
}

}  // namespace orvex
