#pragma once

#include <cstdint>

namespace orvex {

// The one signature of every per-pixel routine of the image pipeline. The region is four
// 32-bit values left, top, right, bottom (right and bottom exclusive) in source buffer rows and
// columns; x and y place the region's first pixel in destination buffer columns and rows. Bytes
// a pixel count 16-bit samples as 2 (so 1, 2, 3, 4, 6 or 8). `parameter` points to a pointer
// to the stage's parameter record. A kernel visits rows top .. bottom - 1 and within a row
// columns left .. right - 1, reading the source at (left + i, top + j) and writing the
// destination at (x + i, y + j); it returns 1 (the window means return the mean).
using PixelKernel = std::int32_t (*)(std::uint8_t* destination, std::uint8_t* source,
                                     const std::int32_t* region, std::int32_t x, std::int32_t y,
                                     std::int32_t destinationBytes, std::int32_t sourceBytes,
                                     std::int32_t destinationStride, std::int32_t sourceStride,
                                     void** parameter, std::int32_t spare);

// The fourteen-argument form that the scaled drawing uses: both regions are given whole (left,
// top, right, bottom) and nothing is clipped.
using ScaledKernel = std::int32_t (*)(std::uint8_t* destination, std::uint8_t* source,
                                      const std::int32_t* destinationRegion,
                                      const std::int32_t* sourceRegion,
                                      std::int32_t destinationWidth, std::int32_t destinationHeight,
                                      std::int32_t sourceWidth, std::int32_t sourceHeight,
                                      std::int32_t destinationBytes, std::int32_t sourceBytes,
                                      std::int32_t destinationStride, std::int32_t sourceStride,
                                      std::int32_t extra, void** parameter);

// The Bayer phase that a BayerMode gives a region's first sample; any other mode behaves as 0.
struct BayerPhase {
  int row;
  int column;
};
constexpr BayerPhase PhaseForBayerMode(std::int32_t bayerMode) {
  switch (bayerMode) {
    case 1:
      return {1, 0};
    case 2:
      return {0, 1};
    case 3:
      return {1, 1};
    default:
      return {0, 0};
  }
}

}  // namespace orvex
