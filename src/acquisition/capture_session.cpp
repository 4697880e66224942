// Preparing an acquisition, single frames on request, and handing images to the application:
// copies into its memory, frame messages, the CSV file.
#include "acquisition/capture_session.h"

#include <cstring>
#include <new>

#include "acquisition/apply_measurements.h"
#include "device/device_link.h"
#include "export/csv_writer.h"
#include "imaging/band_workers.h"
#include "imaging/color_type.h"
#include "imaging/frame_images.h"
#include "imaging/frame_pipeline.h"
#include "imaging/frame_sink.h"
#include "imaging/image_buffer.h"
#include "platform/platform_services.h"

namespace orvex {
namespace {

constexpr std::uint8_t kExposureRegister = 82;

// The link's own result for a raw frame buffer it could not allocate.
constexpr int kLinkOutOfMemory = 7;

// A frame is cut into at most this many bands: a second core halves the work, more add little
// on frames of this size.
constexpr int kMostThreads = 4;

}  // namespace

CaptureSession::CaptureSession(const AcquisitionResources& resources) : resources_(resources) {}

CaptureSession::~CaptureSession() = default;

CaptureSession::ImageFormat CaptureSession::CurrentImageFormat() const {
  const CameraSettings& s = resources_.settings;
  return ImageFormat{s.format.Color, s.format.SubSample, s.geometry.EH, s.geometry.EV};
}

int CaptureSession::PrepareCapture() {
  // Whatever fails below may have left the images half made for the new values.
  prepared_.reset();
  DeviceLink* link = resources_.link.get();
  CameraSettings& settings = resources_.settings;
  if (!link) {
    resources_.errors.RecordError(ErrorCode::kNoDevice);
    return 0;
  }
  if (!link->IsDevicePresent(link->SelectedDevice())) {
    resources_.errors.RecordError(ErrorCode::kDeviceNotFound);
    return 0;
  }
  if (!CheckGeometry(settings.geometry, settings.format)) {
    resources_.errors.RecordError(ErrorCode::kGeometry);
    return 0;
  }

  const std::int32_t color = settings.format.Color;
  const std::int32_t subSample = settings.format.SubSample;
  const std::int32_t eh = settings.geometry.EH, ev = settings.geometry.EV;
  const std::int32_t reduction = subSample == 1 ? 2 : subSample == 2 ? 4 : 1;
  if (!resources_.images.CreateFor(color, eh / reduction, ev / reduction)) {
    resources_.errors.RecordError(ErrorCode::kBuffer);
    return 0;
  }

  // The link always copies the whole window; a reduced output needs room for it beside the
  // raw image, which then receives every second or fourth Bayer block.
  const std::size_t sampleBytes = IsWordSampleType(color) ? 2 : 1;
  const std::size_t windowBytes =
      reduction > 1 ? static_cast<std::size_t>(eh) * static_cast<std::size_t>(ev) * sampleBytes : 0;
  if (!reader_.ReserveWindow(windowBytes)) {
    resources_.errors.RecordError(ErrorCode::kBuffer);
    return 0;
  }

  // A window that the checks above accept can still be one the link refuses (total line or
  // frame too short, too few buffers); the link then keeps its old window, which need not
  // fit the images just made, so the capture is refused.
  const int configured =
      link->ConfigureFrame(settings.geometry.TH, settings.geometry.EHS, eh, settings.geometry.TV,
                           settings.geometry.EVS, ev, settings.geometry.Buf);
  if (configured != 0) {
    resources_.errors.RecordError(configured == kLinkOutOfMemory ? ErrorCode::kBuffer
                                                                 : ErrorCode::kGeometry);
    return 0;
  }
  reader_.SetReduction(reduction);

  link->SetSampleWidth(IsWordSampleType(color) ? 1 : 0);
  link->WriteFpgaRegister(kExposureRegister,
                          static_cast<std::uint16_t>(settings.analog.Exposure & 0xFFFF));

  resources_.sink.PrepareForFrames(resources_.images, color);
  // Threads only for frames large enough to be shared out: a small window's capture would
  // keep them idle for nothing, and starting one costs more than such a frame's whole work.
  const ImageBuffer* output = resources_.images.OutputImageFor(color);
  if (!workers_ && output != nullptr &&
      static_cast<std::int64_t>(output->ByteSize()) >= BandWorkers::kGainfulBytes) {
    const int threads = BandWorkers::SuitableThreads(kMostThreads);
    if (threads > 1) workers_.reset(new (std::nothrow) BandWorkers(threads));
  }
  prepared_ = CurrentImageFormat();
  return 1;
}

int CaptureSession::Capture() {
  ++requests;
  if (!resources_.link) {
    resources_.errors.RecordError(ErrorCode::kNoDevice);
    return 0;
  }
  switch (state) {
    case AcquisitionState::Previewing:
      return 0;
    case AcquisitionState::Capturing:
      return 1;
    default:
      break;
  }
  if (!PrepareCapture()) return 0;
  state = AcquisitionState::Capturing;
  return 1;
}

int CaptureSession::SnapShot(std::uint8_t* buffer, std::int32_t size, std::int32_t bottomUp) {
  DeviceLink* link = resources_.link.get();
  if (!link) {
    resources_.errors.RecordError(ErrorCode::kNoDevice);
    return 0;
  }
  const AcquisitionState current = state;
  if (current == AcquisitionState::Previewing) return 0;
  if (current == AcquisitionState::Idle && !PrepareCapture()) return 0;

  // The application sees only the 0 of a failed read; the reason stays inside the link.
  if (link->StartSingleFrame() != 0) return 0;

  std::lock_guard<std::mutex> lock(frameMutex_);
  const std::int32_t color = resources_.settings.format.Color;
  // A capture prepared before the format or the window's size changed has no images for the
  // frame: it is refused as a frame that does not fit them.
  if (ReadFrame(color, false) != 0 || prepared_ != CurrentImageFormat()) {
    PostFrameMessage(0, static_cast<std::intptr_t>(ErrorCode::kFrameRead));
    resources_.errors.RecordError(ErrorCode::kFrameRead);
    return 0;
  }
  ProcessFrame(color);
  if (buffer != nullptr && size != 0) {
    return CopyImageOut(resources_.images.OutputImageFor(color), bottomUp, buffer, size);
  }
  return 1;
}

int CaptureSession::ReadFrame(std::int32_t colorType, bool fromStream) {
  return reader_.ReadFrameIntoRaw(*resources_.link, resources_.images.RawImageFor(colorType),
                                  fromStream);
}

void CaptureSession::ProcessFrame(std::int32_t colorType) {
  CameraSettings& settings = resources_.settings;
  const FrameMeasurements measured =
      FramePipeline(PipelineInputs{colorType, settings.image, settings.analog, resources_.processor,
                                   resources_.hueTable, workers_.get()},
                    resources_.images);
  ApplyMeasurements(measured, *resources_.link, settings, resources_.views, platform::Clock());
}

void CaptureSession::SetFrameDelivery(platform::WindowHandle window, std::uint8_t* buffer,
                                      std::int32_t size, std::int32_t bottomUp) {
  // A running preview copies out under this lock, so it never sees a buffer with the size of
  // another.
  std::lock_guard<std::mutex> lock(frameMutex_);
  frameWindow = window;
  frameBuffer = buffer;
  frameBufferSize = size;
  frameBottomUp = bottomUp;
}

void CaptureSession::PostFrameMessage(std::uintptr_t wParam, std::intptr_t lParam) {
  const platform::WindowHandle window = frameWindow;
  if (window != 0) platform::Windows().PostWindowMessage(window, kFrameMessage, wParam, lParam);
}

int CaptureSession::CopyImageOut(ImageBuffer* image, std::int32_t bottomUp, std::uint8_t* buffer,
                                 std::int32_t size) {
  const std::int64_t need =
      image != nullptr ? static_cast<std::int64_t>(image->stride) * image->height : 0;
  if (image == nullptr || need > size) {
    PostFrameMessage(0, static_cast<std::intptr_t>(ErrorCode::kBuffer));
    resources_.errors.RecordError(ErrorCode::kBuffer);
    return 0;
  }
  if (need == 0 || image->pixels == nullptr) return 1;
  // An image kept from an earlier capture that no frame has filled yet reads as a new one; one
  // whose reduction for drawing was put off gets it now.
  image->ClearStale();
  resources_.images.RunDeferred(image);
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

int CaptureSession::GetImage(std::uint8_t* buffer, std::int32_t size, std::int32_t bottomUp) {
  if (!resources_.link) {
    resources_.errors.RecordError(ErrorCode::kNoDevice);
    return 0;
  }
  std::lock_guard<std::mutex> lock(frameMutex_);
  ImageBuffer* output = resources_.images.OutputImageFor(resources_.settings.format.Color);
  if (output == nullptr) {
    resources_.errors.RecordError(ErrorCode::kNoDevice);
    return 0;
  }
  if (output->pixels == nullptr || buffer == nullptr) {
    resources_.errors.RecordError(ErrorCode::kBuffer);
    return 0;
  }
  return CopyImageOut(output, bottomUp, buffer, size);
}

int CaptureSession::SaveImage(const char* fileName, std::int32_t /*format: accepted, unused*/) {
  if (!resources_.link) {
    resources_.errors.RecordError(ErrorCode::kNoDevice);
    return 0;
  }
  std::lock_guard<std::mutex> lock(frameMutex_);
  ImageBuffer* raw = resources_.images.RawImage8.get();
  if (raw != nullptr) raw->ClearStale();
  const bool written =
      raw != nullptr ? WriteCsvImage(fileName, raw->pixels, raw->width, raw->height, raw->stride)
                     : WriteCsvImage(fileName, nullptr, 0, 0, 0);
  if (!written) {
    resources_.errors.RecordError(ErrorCode::kParameter);
    return 0;
  }
  return 1;
}

}  // namespace orvex
