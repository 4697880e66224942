#pragma once

#include <cstdint>
#include <optional>

namespace orvex {

// What the pipeline measured on a frame, for the acquisition to apply: to the settings, the
// camera and any open dialog. The pipeline itself writes none of them.

// A frame of the automatic exposure that moved it.
struct ExposureChange {
  enum class Kind { kExposure, kGain };
  Kind kind = Kind::kExposure;
  std::int32_t value = 0;  // the new exposure register value, or the gain of all five
  bool raised = false;     // the exposure went up (the camera then wants a short pause first)
};

// New gray gains of a gray balance measurement, and the count of measurements it leaves.
struct GrayBalanceResult {
  std::int32_t GainR1 = 0;
  std::int32_t GainG1 = 0;
  std::int32_t GainG2 = 0;
  std::int32_t GainB1 = 0;
  std::int32_t countBefore = 0;  // GrayBalanceCount as the measurement found it
};

// A white balance measurement: the gains it could measure, each limited to 400.
struct WhiteBalanceResult {
  std::optional<std::int32_t> blue;
  std::optional<std::int32_t> green;
  std::optional<std::int32_t> red;
};

struct FrameMeasurements {
  std::optional<ExposureChange> exposure;
  std::optional<GrayBalanceResult> grayBalance;
  std::optional<WhiteBalanceResult> whiteBalance;
};

}  // namespace orvex
