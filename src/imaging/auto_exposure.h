#pragma once

#include <cstdint>

#include "base/camera_settings.h"
#include "imaging/frame_measurements.h"

namespace orvex {

class ImageBuffer;

// The first stage of every frame: measures five windows of the raw frame on one frame in
// three (a counter shared by the process) and, with AutoIris 1 or 2, decides a new exposure or
// analog gain into `measured`. 1 when it measured, 0 when it did not.
int AutoExposureStep(const AnalogSettings& analog, ImageBuffer* raw, FrameMeasurements* measured);

}  // namespace orvex
