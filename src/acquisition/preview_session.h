#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>

#include "acquisition/capture_session.h"
#include "base/manual_reset_event.h"
#include "base/relaxed_atomic.h"

namespace orvex {

// The description of the last preview frame, posted by address with every FrameMessage: six
// 32-bit words laid out as the public FrameInfo. The preview thread writes it while the
// application may read it.
struct FrameInfoRecord {
  RelaxedAtomic<std::int32_t> size{24};
  RelaxedAtomic<std::int32_t> width{0};
  RelaxedAtomic<std::int32_t> height{0};
  RelaxedAtomic<std::int32_t> bitsPerPixel{0};
  RelaxedAtomic<std::int32_t> frameRate{0};  // tenths of frames a second
  RelaxedAtomic<std::int32_t> reserved{0};
};
static_assert(sizeof(FrameInfoRecord) == 24);

// The live preview: the stream, the preview thread and its loop, which polls the stream, puts
// every new frame through the pipeline, hands it to the frame sink (the preview window), copies
// it to the application and announces it.
class PreviewSession {
 public:
  PreviewSession(const AcquisitionResources& resources, CaptureSession& capture);
  PreviewSession(const PreviewSession&) = delete;
  PreviewSession& operator=(const PreviewSession&) = delete;

  // Prepares the capture, starts the preview thread and the stream; 1 when previewing (also
  // when it already was), 0 while capturing or with the reason recorded.
  int StartPreview();
  // Ends the preview thread and the stream; 1, or 0 when the link is missing or the stream
  // did not stop cleanly (recorded).
  int StopPreview();
  // The preview thread has not been collected yet.
  bool HasThread() const { return previewThread_.joinable(); }

  FrameInfoRecord FrameInfo;

  // The frame rate: frames counted since rateStart, in tenths of frames a second once more
  // than a second has passed.
  std::int32_t frameRate = 0;
  std::int32_t frameCount = 0;
  std::uint32_t rateStart = 0;

 private:
  void PreviewThreadBody();
  void PreviewLoop();
  void MeasureFrameRate();

  // What the running preview's link window and images were made for. The link keeps its window
  // while its stream runs, so a change of any of these under the preview leaves the frames of
  // the old window to images made for other ones (or none): such frames are refused until the
  // preview is started again.
  struct StreamFormat {
    std::int32_t color, subSample, TH, EHS, EH, TV, EVS, EV;
    bool operator==(const StreamFormat&) const = default;
  };
  StreamFormat CurrentStreamFormat() const;

  AcquisitionResources resources_;
  CaptureSession& capture_;

  // 1 while the preview loop is to go on, 0 to end it; kPreviewStarting while StartPreview
  // still starts the stream, so that the loop polls only a started stream.
  static constexpr std::int32_t kPreviewStarting = 2;
  std::atomic<std::int32_t> previewRunning_{0};
  std::thread previewThread_;
  std::unique_ptr<ManualResetEvent> previewDoneEvent_;  // set by the preview thread as it ends
  StreamFormat streamFormat_{};                         // written before the preview thread starts
};

}  // namespace orvex
