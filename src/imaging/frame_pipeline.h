#pragma once

#include <cstdint>

#include "base/camera_settings.h"
#include "imaging/frame_measurements.h"
#include "imaging/hue_table.h"
#include "imaging/processor_info.h"

namespace orvex {

class BandWorkers;
class FrameImages;

// What the pipeline reads of the camera: the settings of the moment (each read whole, as the
// application or a dialog may change them meanwhile) and what the context found out once.
struct PipelineInputs {
  std::int32_t colorType;
  const ImageSettings& image;
  const AnalogSettings& analog;
  const ProcessorInfo& processor;
  const HueTable& hueTable;
  // Threads to share the frame's rows with (null: this thread alone).
  BandWorkers* workers = nullptr;
};

// Runs every stage for the newest raw frame (in RawImage8 or RawImage16) into the output image
// of the ColorType, and returns what it measured on the way.
// The stages run band by band, each row through all of them while it is in the cache, on the
// workers' threads when there are some and the frame is large enough.
FrameMeasurements FramePipeline(const PipelineInputs& inputs, FrameImages& images);

// The definition of its bytes: every stage one after another over the whole image, the filters
// in their plain forms through the image's scratch copy, the conversions in the forms the
// processor features in force allow (all plain with the features masked off). Tests and
// benchmarks compare with it.
FrameMeasurements FramePipelineStageByStage(const PipelineInputs& inputs, FrameImages& images);

}  // namespace orvex
