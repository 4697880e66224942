#pragma once

#include <cstdint>

#include "imaging/hue_table.h"
#include "imaging/image_buffer.h"
#include "imaging/pixel_kernel.h"

namespace orvex {

// Luminance of a colour source (3 or 4 bytes a pixel, blue, green, red) into an 8-bit
// destination: (59 green + 30 red + 11 blue) / 100.
std::int32_t LuminanceKernel(std::uint8_t* destination, std::uint8_t* source,
                             const std::int32_t* region, std::int32_t x, std::int32_t y,
                             std::int32_t destinationBytes, std::int32_t sourceBytes,
                             std::int32_t destinationStride, std::int32_t sourceStride,
                             void** parameter, std::int32_t spare);

// Spread rows that arrived packed (region width samples each, one after another from the start
// of the pixel memory) out to the destination stride, in place. The last row moves first, so
// nothing is overwritten before it has moved. One byte a sample, or two.
std::int32_t ExpandRows8(std::uint8_t* destination, std::uint8_t* source,
                         const std::int32_t* region, std::int32_t x, std::int32_t y,
                         std::int32_t destinationBytes, std::int32_t sourceBytes,
                         std::int32_t destinationStride, std::int32_t sourceStride,
                         void** parameter, std::int32_t spare);
std::int32_t ExpandRows16(std::uint8_t* destination, std::uint8_t* source,
                          const std::int32_t* region, std::int32_t x, std::int32_t y,
                          std::int32_t destinationBytes, std::int32_t sourceBytes,
                          std::int32_t destinationStride, std::int32_t sourceStride,
                          void** parameter, std::int32_t spare);

// The pseudo-colour output of 8-bit samples: 0 black, 255 white, any other value v the colour of
// hue table entry v. Both images must have the same width and height (0 otherwise, nothing
// written); rows are taken at their strides.
int PseudoColorMap(const ImageBuffer& raw8, ImageBuffer& color24, const HueTable& table);

}  // namespace orvex
