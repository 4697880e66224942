#pragma once

#include "acquisition/dialog_views.h"
#include "base/camera_settings.h"
#include "imaging/frame_measurements.h"
#include "platform/system_clock.h"

namespace orvex {

class DeviceLink;

// Carries out what the pipeline measured on a frame, each change shown in the dialog open for
// it. The automatic exposure's: a new exposure goes to the camera's exposure register (after a
// short pause when it rises) and to the settings, a new gain to the five analog gains.
void ApplyExposureChange(const FrameMeasurements& measured, DeviceLink& link,
                         AnalogSettings& analog, DialogViews& views, platform::SystemClock& clock);
// The balances': new gray or white balance gains go to the settings, counting a gray balance
// down and ending a one-shot white balance.
void ApplyBalanceGains(const FrameMeasurements& measured, ImageSettings& image, DialogViews& views);
// Both, in the order the pipeline measures them.
void ApplyMeasurements(const FrameMeasurements& measured, DeviceLink& link,
                       CameraSettings& settings, DialogViews& views, platform::SystemClock& clock);

}  // namespace orvex
