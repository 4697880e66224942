// The live preview: its start and stop, the preview thread and its loop, the frame rate.
#include <algorithm>
#include <climits>
#include <system_error>

#include "core/camera_context.h"
#include "device/device_link.h"
#include "imaging/frame_pipeline.h"
#include "imaging/image_buffer.h"
#include "platform/platform_services.h"

namespace orvex {
namespace {

constexpr std::int32_t kBitsForColorType[] = {8, 16, 24, 32, 48, 64};

}  // namespace

int CameraContext::StartPreview() {
  if (!link) {
    RecordError(kErrorNoDevice);
    return 0;
  }
  const std::int32_t current = state;
  if (current == Previewing) return 1;
  if (current == Capturing) return 0;
  if (!PrepareCapture()) return 0;

  // The loop idles until the stream runs (see below).
  previewRunning.store(kPreviewStarting, std::memory_order_relaxed);
  try {
    previewDoneEvent = std::make_unique<ManualResetEvent>();
    previewThread = std::thread([this] { PreviewThreadBody(); });
  } catch (const std::exception&) {  // std::system_error from the thread, std::bad_alloc
    previewRunning.store(0, std::memory_order_relaxed);
    if (previewThread.joinable()) previewThread.join();
    previewDoneEvent.reset();
    RecordError(kErrorThreadStart);
    return 0;
  }

  if (link->StartStream() != 0) {
    StopPreview();
    RecordError(kErrorTransfer);
    return 0;
  }
  // Released only now, so that the loop's first poll sees the stream as StartStream left it.
  previewRunning.store(1, std::memory_order_release);
  state = Previewing;
  return 1;
}

int CameraContext::StopPreview() {
  if (!link) {
    RecordError(kErrorNoDevice);
    return 0;
  }
  previewRunning.store(0, std::memory_order_relaxed);
  if (previewDoneEvent) {
    previewDoneEvent->Wait();
    previewDoneEvent.reset();
  }
  if (previewThread.joinable()) previewThread.join();
  if (state == Idle) return 1;
  state = Idle;
  if (link->StopStream() != 0) {
    RecordError(kErrorTransfer);
    return 0;
  }
  return 1;
}

void CameraContext::PreviewThreadBody() {
  PreviewLoop();
  previewDoneEvent->Set();
}

void CameraContext::PreviewLoop() {
  platform::SystemClock& clock = platform::Clock();
  while (previewRunning.load(std::memory_order_acquire) != 0) {
    const std::int32_t wait = format.WaitTime;
    if (wait > 0) {
      clock.Sleep(static_cast<std::uint32_t>(wait));
    } else {
      std::this_thread::yield();
    }
    if (previewRunning.load(std::memory_order_acquire) != 1) continue;

    const int polled = link->PollStream();
    if (polled == 1) {
      previewRunning.store(0, std::memory_order_relaxed);
      PostFrameMessage(0, kErrorStreamStopped);
      RecordError(kErrorStreamStopped);
      break;
    }
    if (polled != 3) continue;

    bool deliver = true;
    {
      std::lock_guard<std::mutex> lock(frameMutex_);
      const std::int32_t color = format.Color;
      ImageBuffer* raw = RawImageFor(color);
      if (ReadFrameIntoRaw(raw, true) != 0) {
        PostFrameMessage(0, kErrorFrameRead);
        RecordError(kErrorFrameRead);
        continue;
      }

      FrameInfo.size = 24;
      FrameInfo.width = raw->width;
      FrameInfo.height = raw->height;
      FrameInfo.bitsPerPixel = kBitsForColorType[color];
      MeasureFrameRate();

      FramePipeline(*this);
      DrawFrame();

      std::uint8_t* const buffer = frameBuffer;
      const std::int32_t size = frameBufferSize;
      if (buffer != nullptr && size != 0) {
        deliver = CopyImageOut(OutputImageFor(color), frameBottomUp, buffer, size) != 0;
      }
    }
    if (deliver) PostFrameMessage(reinterpret_cast<std::uintptr_t>(&FrameInfo), 0);
  }
}

void CameraContext::MeasureFrameRate() {
  platform::SystemClock& clock = platform::Clock();
  ++frameCount;
  if (static_cast<std::uint32_t>(clock.MultimediaTime() - rateStart) > 1000) {
    const std::uint32_t elapsed = clock.MultimediaTime() - rateStart;
    if (elapsed != 0) {
      const double rate = static_cast<double>(frameCount) * 10000.0 / elapsed;
      frameRate = static_cast<std::int32_t>(std::min(rate, static_cast<double>(INT_MAX)));
    }
    frameCount = 0;
    rateStart = clock.MultimediaTime();
  }
  FrameInfo.frameRate = frameRate;
}

}  // namespace orvex
