#pragma once

#include <cstdint>

#include "imaging/image_buffer.h"
#include "imaging/pixel_kernel.h"

namespace orvex {

// A rectangle left, top, right, bottom (right and bottom exclusive), as the kernels take it.
using Region = std::int32_t[4];

// Turns a region of the source and a position in the destination, both in image coordinates
// (row 0 at the top, which is the buffer's last row), into source buffer rows and a destination
// buffer position, cut to the part that lies inside both images. 1, or 0 with all set to 0
// when nothing is left.
int ClipRegion(const ImageBuffer& destination, const ImageBuffer& source, std::int32_t* region,
               std::int32_t* x, std::int32_t* y);

// Runs `kernel` once over the clipped region (the whole source when `region` is null), placed
// at (x, y) of the destination; returns the kernel's result, or 0 when nothing is left of the
// region, the kernel is absent or an image has no pixels.
std::int32_t ApplyKernel(ImageBuffer& destination, PixelKernel kernel, ImageBuffer& source,
                         const std::int32_t* region, std::int32_t x, std::int32_t y,
                         void** parameter, std::int32_t spare);

// Runs a scaling kernel once with both regions given whole (null: the whole image) and nothing
// clipped; 0 when the kernel is absent or an image has no pixels.
std::int32_t ApplyKernelScaled(ImageBuffer& destination, ScaledKernel kernel, ImageBuffer& source,
                               const std::int32_t* sourceRegion,
                               const std::int32_t* destinationRegion, std::int32_t extra,
                               void** parameter);

}  // namespace orvex
