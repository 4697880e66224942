#include "acquisition/preview_session.h"

#include <algorithm>
#include <climits>
#include <new>
#include <system_error>

#include "device/device_link.h"
#include "imaging/color_type.h"
#include "imaging/frame_images.h"
#include "imaging/frame_sink.h"
#include "imaging/image_buffer.h"
#include "platform/platform_services.h"

namespace orvex {

PreviewSession::PreviewSession(const AcquisitionResources& resources, CaptureSession& capture)
    : rateStart(platform::Clock().MultimediaTime()), resources_(resources), capture_(capture) {}

int PreviewSession::StartPreview() {
  ++capture_.requests;
  DeviceLink* link = resources_.link.get();
  if (!link) {
    resources_.errors.RecordError(ErrorCode::kNoDevice);
    return 0;
  }
  const AcquisitionState current = capture_.state;
  if (current == AcquisitionState::Previewing) return 1;
  if (current == AcquisitionState::Capturing) return 0;
  if (!capture_.PrepareCapture()) return 0;
  streamFormat_ = CurrentStreamFormat();

  // The loop idles until the stream runs (see below).
  previewRunning_.store(kPreviewStarting, std::memory_order_relaxed);
  try {
    previewDoneEvent_ = std::make_unique<ManualResetEvent>();
    previewThread_ = std::thread([this] { PreviewThreadBody(); });
  } catch (const std::exception&) {  // std::system_error from the thread, std::bad_alloc
    previewRunning_.store(0, std::memory_order_relaxed);
    if (previewThread_.joinable()) previewThread_.join();
    previewDoneEvent_.reset();
    resources_.errors.RecordError(ErrorCode::kThreadStart);
    return 0;
  }

  if (link->StartStream() != 0) {
    StopPreview();
    resources_.errors.RecordError(ErrorCode::kTransfer);
    return 0;
  }
  // Released only now, so that the loop's first poll sees the stream as StartStream left it.
  previewRunning_.store(1, std::memory_order_release);
  capture_.state = AcquisitionState::Previewing;
  return 1;
}

int PreviewSession::StopPreview() {
  ++capture_.requests;
  DeviceLink* link = resources_.link.get();
  if (!link) {
    resources_.errors.RecordError(ErrorCode::kNoDevice);
    return 0;
  }
  previewRunning_.store(0, std::memory_order_relaxed);
  if (previewDoneEvent_) {
    previewDoneEvent_->Wait();
    previewDoneEvent_.reset();
  }
  if (previewThread_.joinable()) previewThread_.join();
  if (capture_.state == AcquisitionState::Idle) return 1;
  capture_.state = AcquisitionState::Idle;
  if (link->StopStream() != 0) {
    resources_.errors.RecordError(ErrorCode::kTransfer);
    return 0;
  }
  return 1;
}

void PreviewSession::PreviewThreadBody() {
  PreviewLoop();
  previewDoneEvent_->Set();
}

void PreviewSession::PreviewLoop() {
  platform::SystemClock& clock = platform::Clock();
  DeviceLink& link = *resources_.link;
  const CaptureFormat& format = resources_.settings.format;
  while (previewRunning_.load(std::memory_order_acquire) != 0) {
    try {
      const std::int32_t wait = format.WaitTime;
      if (wait > 0) {
        clock.Sleep(static_cast<std::uint32_t>(wait));
      } else {
        std::this_thread::yield();
      }
      if (previewRunning_.load(std::memory_order_acquire) != 1) continue;

      const int polled = link.PollStream();
      if (polled == 1) {
        previewRunning_.store(0, std::memory_order_relaxed);
        capture_.PostFrameMessage(0, static_cast<std::intptr_t>(ErrorCode::kStreamStopped));
        resources_.errors.RecordError(ErrorCode::kStreamStopped);
        break;
      }
      if (polled != 3) continue;

      {
        std::lock_guard<std::mutex> lock(capture_.FrameMutex());
        const std::int32_t color = format.Color;
        if (CurrentStreamFormat() != streamFormat_ || capture_.ReadFrame(color, true) != 0) {
          // Once a frame, not once a pass: the buffer stays polled until handed back.
          link.SkipStreamFrame();
          capture_.PostFrameMessage(0, static_cast<std::intptr_t>(ErrorCode::kFrameRead));
          resources_.errors.RecordError(ErrorCode::kFrameRead);
          continue;
        }

        const ImageBuffer* raw = resources_.images.RawImageFor(color);
        FrameInfo.size = 24;
        FrameInfo.width = raw->width;
        FrameInfo.height = raw->height;
        FrameInfo.bitsPerPixel = kBitsForColorType[color];
        MeasureFrameRate();

        capture_.ProcessFrame(color);
        resources_.sink.ShowFrame(resources_.images, color);

        std::uint8_t* const buffer = capture_.frameBuffer;
        const std::int32_t size = capture_.frameBufferSize;
        if (buffer != nullptr && size != 0 &&
            capture_.CopyImageOut(resources_.images.OutputImageFor(color), capture_.frameBottomUp,
                                  buffer, size) == 0) {
          continue;
        }
        // Announced under the lock, so that the window told of the frame is the one whose buffer
        // received it, even when another thread hands the preview a new window and buffer now.
        capture_.PostFrameMessage(reinterpret_cast<std::uintptr_t>(&FrameInfo), 0);
      }
    } catch (const std::bad_alloc&) {
      // The thread's last guard: a frame that ran out of memory on its way through the
      // pipeline or the drawing is a frame lost, reported as the loop reports the others.
      capture_.PostFrameMessage(0, static_cast<std::intptr_t>(ErrorCode::kBuffer));
      resources_.errors.RecordError(ErrorCode::kBuffer);
    }
  }
}

PreviewSession::StreamFormat PreviewSession::CurrentStreamFormat() const {
  const CameraSettings& s = resources_.settings;
  const CaptureGeometry& g = s.geometry;
  return StreamFormat{s.format.Color, s.format.SubSample, g.TH, g.EHS, g.EH, g.TV, g.EVS, g.EV};
}

void PreviewSession::MeasureFrameRate() {
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
