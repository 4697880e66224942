#pragma once

#include <cstdint>

namespace orvex {

class CameraContext;
class ImageBuffer;

// The first stage of every frame: measures five windows of the raw frame on one frame in
// three (a counter shared by the process) and moves the exposure register or the analog gains.
// 1 when it measured, 0 when it did not.
int AutoExposureStep(CameraContext& context, ImageBuffer* raw);

}  // namespace orvex
