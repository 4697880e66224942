#pragma once

#include <cstdint>

#include "base/camera_settings.h"
#include "imaging/frame_measurements.h"
#include "imaging/hue_table.h"
#include "imaging/processor_info.h"

namespace orvex {

class FrameImages;

// What the pipeline reads of the camera: the settings of the moment (each read whole, as the
// application or a dialog may change them meanwhile) and what the context found out once.
struct PipelineInputs {
  std::int32_t colorType;
  const ImageSettings& image;
  const AnalogSettings& analog;
  const ProcessorInfo& processor;
  const HueTable& hueTable;
};

// Runs every stage for the newest raw frame (in RawImage8 or RawImage16) into the output image
// of the ColorType, and returns what it measured on the way.
FrameMeasurements FramePipeline(const PipelineInputs& inputs, FrameImages& images);

}  // namespace orvex
