#pragma once

#include <cstdint>

#include "imaging/pixel_kernel.h"

namespace orvex {

// The pixel format a filter stage works on, from the ColorType.
enum class FilterVariant { kGray8, kGray16, kColor8, kColor16, kNone };
FilterVariant FilterVariantFor(std::int32_t colorType);

// The parameter record of the hue and saturation stage.
struct HueSaturationRecord {
  std::int32_t hueOffset;         // degrees
  std::int32_t lightnessOffset;   // 8-bit sample units
  std::int32_t saturationOffset;  // on the 0..255 saturation scale
};

// The kernel of each filter stage for a variant: the fastest form this processor runs, giving
// the same bytes as the plain form. Null where the stage has no such variant (hue and
// saturation for gray images) or for kNone. Each stage's parameter is a pointer to a pointer to
// its setting (an int32_t), or to a HueSaturationRecord.
PixelKernel HueSaturationKernel(FilterVariant variant);
PixelKernel GammaKernel(FilterVariant variant);
PixelKernel ContrastKernel(FilterVariant variant);
PixelKernel SharpnessKernel(FilterVariant variant);  // source: the untouched copy
PixelKernel BrightnessKernel(FilterVariant variant);

}  // namespace orvex
