#include "imaging/kernel_framework.h"

#include <algorithm>

namespace orvex {
namespace {

int Fail(std::int32_t* region, std::int32_t* x, std::int32_t* y) {
  region[0] = region[1] = region[2] = region[3] = 0;
  *x = 0;
  *y = 0;
  return 0;
}

}  // namespace

int ClipRegion(const ImageBuffer& destination, const ImageBuffer& source, std::int32_t* region,
               std::int32_t* x, std::int32_t* y) {
  const std::int64_t w = destination.width, h = destination.height;
  const std::int64_t ws = source.width, hs = source.height;
  const std::int64_t left = region[0], top = region[1], right = region[2], bottom = region[3];
  const std::int64_t px = *x, py = *y;

  // Source pixel (left + i, top + j) lands on destination (px + i, py + j); keep the offsets
  // i, j for which both lie inside their images, so that a region partly outside is cut to the
  // part inside both and every pixel still lands where it belongs.
  const std::int64_t iBegin = std::max({std::int64_t{0}, -left, -px});
  const std::int64_t iEnd = std::min({right - left, ws - left, w - px});
  const std::int64_t jBegin = std::max({std::int64_t{0}, -top, -py});
  const std::int64_t jEnd = std::min({bottom - top, hs - top, h - py});
  if (iBegin >= iEnd || jBegin >= jEnd) return Fail(region, x, y);

  const std::int64_t sLeft = left + iBegin, sRight = left + iEnd;
  const std::int64_t sTop = top + jBegin, sBottom = top + jEnd;
  const std::int64_t dLeft = px + iBegin, dBottom = py + jEnd;

  // Image rows count from the top, buffer rows from the bottom.
  *x = static_cast<std::int32_t>(dLeft);
  *y = static_cast<std::int32_t>(h - dBottom);
  region[0] = static_cast<std::int32_t>(sLeft);
  region[1] = static_cast<std::int32_t>(hs - sBottom);
  region[2] = static_cast<std::int32_t>(sRight);
  region[3] = static_cast<std::int32_t>(hs - sTop);
  return 1;
}

std::int32_t ApplyKernel(ImageBuffer& destination, PixelKernel kernel, ImageBuffer& source,
                         const std::int32_t* region, std::int32_t x, std::int32_t y,
                         void** parameter, std::int32_t spare) {
  std::int32_t clipped[4] = {0, 0, source.width, source.height};
  if (region != nullptr) std::copy(region, region + 4, clipped);
  if (!ClipRegion(destination, source, clipped, &x, &y)) return 0;
  if (kernel == nullptr || destination.pixels == nullptr || source.pixels == nullptr) return 0;
  return kernel(destination.pixels, source.pixels, clipped, x, y, destination.bitsPerPixel / 8,
                source.bitsPerPixel / 8, static_cast<std::int32_t>(destination.stride),
                static_cast<std::int32_t>(source.stride), parameter, spare);
}

std::int32_t ApplyKernelScaled(ImageBuffer& destination, ScaledKernel kernel, ImageBuffer& source,
                               const std::int32_t* sourceRegion,
                               const std::int32_t* destinationRegion, std::int32_t extra,
                               void** parameter) {
  if (kernel == nullptr || destination.pixels == nullptr || source.pixels == nullptr) return 0;
  const std::int32_t wholeSource[4] = {0, 0, source.width, source.height};
  const std::int32_t wholeDestination[4] = {0, 0, destination.width, destination.height};
  return kernel(destination.pixels, source.pixels,
                destinationRegion != nullptr ? destinationRegion : wholeDestination,
                sourceRegion != nullptr ? sourceRegion : wholeSource, destination.width,
                destination.height, source.width, source.height, destination.bitsPerPixel / 8,
                source.bitsPerPixel / 8, static_cast<std::int32_t>(destination.stride),
                static_cast<std::int32_t>(source.stride), extra, parameter);
}

}  // namespace orvex
