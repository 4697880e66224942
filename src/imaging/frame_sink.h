#pragma once

#include <cstdint>

namespace orvex {

class FrameImages;

// Where the acquisition hands every frame once the pipeline has made its output: the preview
// window, which draws it. Called on the thread that runs the pipeline.
class FrameSink {
 public:
  // A capture of `colorType` is about to start: size what the sink keeps per capture.
  virtual void PrepareForFrames(FrameImages& images, std::int32_t colorType) = 0;
  // The output of the frame just processed is in `images`; the sink may use the images' spare
  // buffers, never the output.
  virtual void ShowFrame(FrameImages& images, std::int32_t colorType) = 0;

 protected:
  ~FrameSink() = default;
};

}  // namespace orvex
