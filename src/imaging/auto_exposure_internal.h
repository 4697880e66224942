#pragma once

#include <cstdint>

namespace orvex {

// Mean brightness 0..255 of the region (sum / count, truncated; 0 for an empty region), as
// PixelKernels run with the raw buffer as both images. WindowMean8 reads 8-bit samples;
// WindowMean16 reads bits 2 to 9 of each 16-bit word, so that 10-bit samples land on the same
// 0..255 scale.
std::int32_t WindowMean8(std::uint8_t* destination, std::uint8_t* source,
                         const std::int32_t* region, std::int32_t x, std::int32_t y,
                         std::int32_t destinationBytes, std::int32_t sourceBytes,
                         std::int32_t destinationStride, std::int32_t sourceStride,
                         void** parameter, std::int32_t spare);
std::int32_t WindowMean16(std::uint8_t* destination, std::uint8_t* source,
                          const std::int32_t* region, std::int32_t x, std::int32_t y,
                          std::int32_t destinationBytes, std::int32_t sourceBytes,
                          std::int32_t destinationStride, std::int32_t sourceStride,
                          void** parameter, std::int32_t spare);

// The process-wide frame counter lives as long as the process; tests start it over.
void ResetAutoExposureCounterForTesting();
std::int32_t AutoExposureCounterForTesting();

}  // namespace orvex
