#pragma once

#include <cstdint>

#include "imaging/pixel_kernel.h"

namespace orvex {

// Reductions of the deeper output formats to what a window can show, each a PixelKernel run
// row for row without mirroring. The 10-bit samples show their bits 2 to 9.
//   Narrow16To8:  16-bit sample -> 8 bits, (s >> 2) & 0xFF.
//   Drop32To24:   blue, green, red of a 32-bit pixel.
//   Narrow48To24: the first three 16-bit words of a 48- or 64-bit pixel, each (w >> 2) & 0xFF.
std::int32_t Narrow16To8(std::uint8_t* destination, std::uint8_t* source,
                         const std::int32_t* region, std::int32_t x, std::int32_t y,
                         std::int32_t destinationBytes, std::int32_t sourceBytes,
                         std::int32_t destinationStride, std::int32_t sourceStride,
                         void** parameter, std::int32_t spare);
std::int32_t Drop32To24(std::uint8_t* destination, std::uint8_t* source, const std::int32_t* region,
                        std::int32_t x, std::int32_t y, std::int32_t destinationBytes,
                        std::int32_t sourceBytes, std::int32_t destinationStride,
                        std::int32_t sourceStride, void** parameter, std::int32_t spare);
std::int32_t Narrow48To24(std::uint8_t* destination, std::uint8_t* source,
                          const std::int32_t* region, std::int32_t x, std::int32_t y,
                          std::int32_t destinationBytes, std::int32_t sourceBytes,
                          std::int32_t destinationStride, std::int32_t sourceStride,
                          void** parameter, std::int32_t spare);

// Nearest-neighbour scaling of a source rectangle into a destination rectangle (ScaledKernel),
// mirrored top to bottom in memory: destination memory row top + i takes source memory row
// sourceBottom - 1 - u, so that a bottom-up destination shows the source's first memory row at
// its top. ScaleGray8 moves 1 byte a pixel, ScaleColor24 3.
std::int32_t ScaleGray8(std::uint8_t* destination, std::uint8_t* source,
                        const std::int32_t* destinationRegion, const std::int32_t* sourceRegion,
                        std::int32_t destinationWidth, std::int32_t destinationHeight,
                        std::int32_t sourceWidth, std::int32_t sourceHeight,
                        std::int32_t destinationBytes, std::int32_t sourceBytes,
                        std::int32_t destinationStride, std::int32_t sourceStride,
                        std::int32_t extra, void** parameter);
std::int32_t ScaleColor24(std::uint8_t* destination, std::uint8_t* source,
                          const std::int32_t* destinationRegion, const std::int32_t* sourceRegion,
                          std::int32_t destinationWidth, std::int32_t destinationHeight,
                          std::int32_t sourceWidth, std::int32_t sourceHeight,
                          std::int32_t destinationBytes, std::int32_t sourceBytes,
                          std::int32_t destinationStride, std::int32_t sourceStride,
                          std::int32_t extra, void** parameter);

}  // namespace orvex
