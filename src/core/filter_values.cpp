// The 27 numbered settings: image filters, white balance and gray correction, analog gains and
// the exposure.
#include <cstdint>

#include "core/camera_context.h"
#include "device/device_link.h"

namespace orvex {
namespace {

constexpr std::int32_t kFirstId = 1;
constexpr std::int32_t kLastId = 27;
constexpr std::int32_t kPackedGainsId = 6;
constexpr std::int32_t kBayerGainAutoId = 10;
constexpr std::int32_t kGlobalGainId = 13;
constexpr std::int32_t kExposureId = 18;
constexpr std::uint8_t kExposureRegister = 82;

struct Range {
  std::int32_t min;
  std::int32_t max;
};

// Accepted values of each id, both ends included. Ids 6 and 10 take any value and are handled
// before the range check; their rows are never read.
constexpr Range kRanges[kLastId + 1] = {
    {0, 0},                  // (no id 0)
    {-255, 255},             // 1 Brightness
    {-127, 127},             // 2 Contrast
    {-360, 360},             // 3 Hue
    {-255, 255},             // 4 Saturation
    {0, 30},                 // 5 Sharpness
    {INT32_MIN, INT32_MAX},  // 6 BayerGainRGB
    {0, 400},                // 7 BayerGainRed
    {0, 400},                // 8 BayerGainGreen
    {0, 400},                // 9 BayerGainBlue
    {INT32_MIN, INT32_MAX},  // 10 BayerGainAuto
    {0, 200},                // 11 Gamma
    {0, 3},                  // 12 BayerMode
    {0, 63},                 // 13 GlobalGain
    {0, 63},                 // 14 ColorGainRed
    {0, 63},                 // 15 ColorGainGreen1
    {0, 63},                 // 16 ColorGainGreen2
    {0, 63},                 // 17 ColorGainBlue
    {0, 16383},              // 18 ExposureTime
    {0, 2},                  // 19 GrayMode
    {0, 255},                // 20 GrayGainR
    {0, 255},                // 21 GrayGainG1
    {0, 255},                // 22 GrayGainG2
    {0, 255},                // 23 GrayGainB
    {-255, 255},             // 24 GrayOffsetR
    {-255, 255},             // 25 GrayOffsetG1
    {-255, 255},             // 26 GrayOffsetG2
    {-255, 255},             // 27 GrayOffsetB
};

// The one field behind an id that reads and writes a single setting; null for the ids with
// an effect of their own (6, 10, 18).
Setting* FieldFor(CameraSettings& c, std::int32_t id) {
  switch (id) {
    case 1:
      return &c.image.Brightness;
    case 2:
      return &c.image.Contrast;
    case 3:
      return &c.image.Hue;
    case 4:
      return &c.image.Saturation;
    case 5:
      return &c.image.Sharpness;
    case 7:
      return &c.image.R_Gain;
    case 8:
      return &c.image.G_Gain;
    case 9:
      return &c.image.B_Gain;
    case 11:
      return &c.image.Gamma;
    case 12:
      return &c.image.BayerMode;
    case 13:
      return &c.analog.Global;
    case 14:
      return &c.analog.ColorR;
    case 15:
      return &c.analog.ColorG1;
    case 16:
      return &c.analog.ColorG2;
    case 17:
      return &c.analog.ColorB;
    case 19:
      return &c.image.GrayMode;
    case 20:
      return &c.image.GainR1;
    case 21:
      return &c.image.GainG1;
    case 22:
      return &c.image.GainG2;
    case 23:
      return &c.image.GainB1;
    case 24:
      return &c.image.OffsetR1;
    case 25:
      return &c.image.OffsetG1;
    case 26:
      return &c.image.OffsetG2;
    case 27:
      return &c.image.OffsetB1;
    default:
      return nullptr;
  }
}

bool IsKnownId(std::int32_t id) {
  return id >= kFirstId && id <= kLastId;
}

}  // namespace

int CameraContext::SetFilterValue(std::int32_t id, std::int32_t value) {
  if (!link_) {
    RecordError(ErrorCode::kNoDevice);
    return 0;
  }
  if (!IsKnownId(id)) {
    RecordError(ErrorCode::kParameter);
    return 0;
  }

  ImageSettings& image = settings_.image;
  AnalogSettings& analog = settings_.analog;
  if (id == kPackedGainsId) {
    const auto bits = static_cast<std::uint32_t>(value);
    image.R_Gain = static_cast<std::int32_t>(bits & 0xFF);
    image.G_Gain = static_cast<std::int32_t>((bits >> 8) & 0xFF);
    image.B_Gain = static_cast<std::int32_t>((bits >> 16) & 0xFF);
    return 1;
  }
  if (id == kBayerGainAutoId) {
    image.BayerGainAuto = value != 0 ? 1 : 0;
    return 1;
  }

  const Range range = kRanges[id];
  if (value < range.min || value > range.max) {
    RecordError(ErrorCode::kParameter);
    return 0;
  }

  switch (id) {
    case kGlobalGainId:
      analog.Global = value;
      analog.ColorG1 = value;
      analog.ColorR = value;
      analog.ColorB = value;
      analog.ColorG2 = value;
      return 1;
    case kExposureId:
      // Stored first; a failed write is not reported, the stored value still counts: the next
      // capture writes it to the camera again.
      analog.Exposure = value;
      link_->WriteFpgaRegister(kExposureRegister, static_cast<std::uint16_t>(value));
      return 1;
    default:
      *FieldFor(settings_, id) = value;
      return 1;
  }
}

std::int32_t CameraContext::GetFilterValue(std::int32_t id, std::int32_t* ok) {
  if (!link_) {
    if (ok != nullptr) *ok = 0;
    RecordError(ErrorCode::kNoDevice);
    return 0;
  }
  if (ok != nullptr) *ok = 1;
  if (!IsKnownId(id)) {
    if (ok != nullptr) *ok = 0;
    RecordError(ErrorCode::kParameter);
    return 0;
  }

  const ImageSettings& image = settings_.image;
  switch (id) {
    case kPackedGainsId:
      return (image.B_Gain & 0xFF) << 16 | (image.G_Gain & 0xFF) << 8 | (image.R_Gain & 0xFF);
    case kBayerGainAutoId:
      return image.BayerGainAuto;
    case kExposureId: {
      // What the camera holds, not the stored value; a camera that does not answer reads as 0,
      // with the flag saying so.
      std::uint16_t exposure = 0;
      if (link_->ReadFpgaRegister(kExposureRegister, &exposure) == 0) {
        if (ok != nullptr) *ok = 0;
        RecordError(ErrorCode::kTransfer);
        return 0;
      }
      return exposure;
    }
    default:
      return *FieldFor(settings_, id);
  }
}

}  // namespace orvex
