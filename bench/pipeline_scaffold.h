// What the pipeline benchmarks and the instruction-count workloads share: the frame size, images
// in plain memory instead of a graphics service's bitmaps, and settings that leave every stage
// neutral, so that a run switches on only the stages it measures.
#pragma once

#include <cstdint>

#include "base/camera_settings.h"
#include "platform/window_system.h"

namespace orvex::bench {

constexpr std::int32_t kWidth = 1280;
constexpr std::int32_t kHeight = 1024;

class MemoryWindows final : public platform::WindowSystem {
 public:
  bool PostWindowMessage(platform::WindowHandle, std::uint32_t, std::uintptr_t,
                         std::intptr_t) override {
    return false;
  }
};

inline void SetNeutralSettings(CameraSettings& settings, std::int32_t grayMode) {
  settings.analog.AutoIris = 0;
  ImageSettings& s = settings.image;
  s.Brightness = s.Contrast = s.Hue = s.Saturation = s.Sharpness = 0;
  s.R_Gain = s.G_Gain = s.B_Gain = s.Gamma = 100;
  s.BayerMode = 3;
  s.GrayMode = grayMode;
  s.BayerGainAuto = 0;
}

}  // namespace orvex::bench
