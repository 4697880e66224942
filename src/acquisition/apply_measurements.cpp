#include "acquisition/apply_measurements.h"

#include <climits>

#include "device/device_link.h"

namespace orvex {
namespace {

constexpr std::uint8_t kExposureRegister = 0x52;
constexpr int kExposureItem = 1027;
constexpr int kGlobalGainItem = 1015;

void ApplyExposure(const ExposureChange& change, DeviceLink& link, AnalogSettings& analog,
                   DialogViews& views, platform::SystemClock& clock) {
  if (change.kind == ExposureChange::Kind::kExposure) {
    const auto value = static_cast<std::uint16_t>(change.value);
    // Every increase of the exposure register is preceded by a short pause.
    if (change.raised) clock.Sleep(1);
    link.WriteFpgaRegister(kExposureRegister, value);
    analog.Exposure = value;
    views.ShowInAnalogDialogs(kExposureItem, value);
    return;
  }
  analog.Global = change.value;
  analog.ColorG1 = change.value;
  analog.ColorR = change.value;
  analog.ColorB = change.value;
  analog.ColorG2 = change.value;
  views.ShowInAnalogDialogs(kGlobalGainItem, change.value);
}

void ApplyGrayBalance(const GrayBalanceResult& gains, ImageSettings& s, DialogViews& views) {
  s.GainR1 = gains.GainR1;
  s.GainG1 = gains.GainG1;
  s.GainG2 = gains.GainG2;
  s.GainB1 = gains.GainB1;
  views.RefreshImageDialogs();
  // Counting on below the smallest value would wrap around; it measures every frame anyway.
  // The count was read when the frame's measurement began: a dialog that switched the balance
  // off (or asked for one more) since then keeps what it stored.
  if (gains.countBefore != INT32_MIN) {
    s.GrayBalanceCount.CompareExchange(gains.countBefore, gains.countBefore - 1);
  }
}

void ApplyWhiteBalance(const WhiteBalanceResult& gains, ImageSettings& s, DialogViews& views) {
  if (gains.blue) s.B_Gain = *gains.blue;
  if (gains.green) s.G_Gain = *gains.green;
  if (gains.red) s.R_Gain = *gains.red;
  views.RefreshImageDialogs();
  if (s.BayerGainAuto != 0 && s.BayerGainOnce1 != 0 && s.BayerGainOnce2 != 0) {
    s.BayerGainAuto = 0;
    s.BayerGainOnce1 = 0;
    s.BayerGainOnce2 = 0;
  }
}

}  // namespace

void ApplyExposureChange(const FrameMeasurements& measured, DeviceLink& link,
                         AnalogSettings& analog, DialogViews& views, platform::SystemClock& clock) {
  if (measured.exposure) ApplyExposure(*measured.exposure, link, analog, views, clock);
}

void ApplyBalanceGains(const FrameMeasurements& measured, ImageSettings& image,
                       DialogViews& views) {
  if (measured.grayBalance) ApplyGrayBalance(*measured.grayBalance, image, views);
  if (measured.whiteBalance) ApplyWhiteBalance(*measured.whiteBalance, image, views);
}

void ApplyMeasurements(const FrameMeasurements& measured, DeviceLink& link,
                       CameraSettings& settings, DialogViews& views, platform::SystemClock& clock) {
  ApplyExposureChange(measured, link, settings.analog, views, clock);
  ApplyBalanceGains(measured, settings.image, views);
}

}  // namespace orvex
