#pragma once

namespace orvex {

class CameraContext;

// Runs every stage for the newest raw frame (in RawImage8 or RawImage16) into the output image
// of the current ColorType.
void FramePipeline(CameraContext& context);

}  // namespace orvex
