#include "display/display_kernels.h"

#include <cstring>
#include <vector>

#include "base/double_precision.h"
#include "imaging/kernel_call.h"

namespace orvex {
namespace {

// Bits 2 to 9 of a 10-bit sample stored as a little-endian 16-bit word.
inline std::uint8_t Narrow(const std::uint8_t* word) {
  const unsigned sample = word[0] | (word[1] << 8);
  return static_cast<std::uint8_t>((sample >> 2) & 0xFF);
}

template <typename Pixel>
std::int32_t ForEachPixel(std::uint8_t* destination, std::uint8_t* source,
                          const std::int32_t* region, std::int32_t x, std::int32_t y,
                          std::int32_t destinationBytes, std::int32_t sourceBytes,
                          std::int32_t destinationStride, std::int32_t sourceStride, Pixel pixel) {
  KernelCall call;
  const CallState state =
      DecodeKernelCall(destination, source, region, x, y, destinationBytes, sourceBytes,
                       destinationStride, sourceStride, nullptr, KernelNeeds{}, &call);
  if (state == CallState::kInvalid) return 0;
  for (std::int32_t row = 0; row < call.height; ++row) {
    const std::uint8_t* from = call.SourceRow(row);
    std::uint8_t* to = call.DestinationRow(row);
    for (std::int32_t column = 0; column < call.width; ++column) {
      pixel(to, from);
      from += sourceBytes;
      to += destinationBytes;
    }
  }
  return 1;
}

template <int PixelBytes>
std::int32_t Scale(std::uint8_t* destination, const std::uint8_t* source,
                   const std::int32_t* destinationRegion, const std::int32_t* sourceRegion,
                   std::int32_t sourceWidth, std::int32_t sourceHeight,
                   std::int32_t destinationStride, std::int32_t sourceStride) {
  const std::int32_t left = destinationRegion[0], top = destinationRegion[1];
  const std::int32_t width = destinationRegion[2] - left;
  const std::int32_t height = destinationRegion[3] - top;
  const std::int32_t sourceBottom = sourceRegion[3];
  if (width <= 0 || height <= 0 || sourceWidth <= 0 || sourceHeight <= 0) return 1;

  // The ratios are single precision, each quotient rounded once; their products with a row or
  // column number are exact in double precision, so every platform truncates the same values.
  std::vector<std::int32_t> columns(static_cast<std::size_t>(width));
  std::vector<std::int32_t> rows(static_cast<std::size_t>(height));
  WithDoublePrecision([&] {
    const float xRatio =
        RoundToFloat(static_cast<float>(sourceRegion[2] - sourceRegion[0]) / width);
    const float yRatio = RoundToFloat(static_cast<float>(sourceBottom - sourceRegion[1]) / height);
    for (std::int32_t j = 0; j < width; ++j) {
      columns[j] = static_cast<std::int32_t>(j * static_cast<double>(xRatio));
    }
    for (std::int32_t i = 0; i < height; ++i) {
      rows[i] = static_cast<std::int32_t>(i * static_cast<double>(yRatio));
    }
  });
  for (std::int32_t j = 0; j < width; ++j) {
    std::int32_t v = columns[j];
    if (v < 0) v = 0;
    if (v >= sourceWidth) v = sourceWidth - 1;
    columns[j] = v * PixelBytes;
  }

  for (std::int32_t i = 0; i < height; ++i) {
    std::int32_t u = rows[i];
    if (u < 0) u = 0;
    if (u >= sourceHeight) u = sourceHeight - 1;
    std::int32_t sourceRow = sourceBottom - 1 - u;
    // Only a source region reaching past the image could leave it.
    if (sourceRow < 0) sourceRow = 0;
    if (sourceRow >= sourceHeight) sourceRow = sourceHeight - 1;
    const std::uint8_t* from = source + static_cast<std::ptrdiff_t>(sourceRow) * sourceStride;
    std::uint8_t* to = destination + static_cast<std::ptrdiff_t>(top + i) * destinationStride +
                       static_cast<std::ptrdiff_t>(left) * PixelBytes;
    for (std::int32_t j = 0; j < width; ++j, to += PixelBytes) {
      std::memcpy(to, from + columns[j], PixelBytes);
    }
  }
  return 1;
}

}  // namespace

std::int32_t Narrow16To8(std::uint8_t* destination, std::uint8_t* source,
                         const std::int32_t* region, std::int32_t x, std::int32_t y,
                         std::int32_t destinationBytes, std::int32_t sourceBytes,
                         std::int32_t destinationStride, std::int32_t sourceStride,
                         void** /*parameter*/, std::int32_t /*spare*/) {
  return ForEachPixel(destination, source, region, x, y, destinationBytes, sourceBytes,
                      destinationStride, sourceStride,
                      [](std::uint8_t* to, const std::uint8_t* from) { *to = Narrow(from); });
}

std::int32_t Drop32To24(std::uint8_t* destination, std::uint8_t* source, const std::int32_t* region,
                        std::int32_t x, std::int32_t y, std::int32_t destinationBytes,
                        std::int32_t sourceBytes, std::int32_t destinationStride,
                        std::int32_t sourceStride, void** /*parameter*/, std::int32_t /*spare*/) {
  return ForEachPixel(destination, source, region, x, y, destinationBytes, sourceBytes,
                      destinationStride, sourceStride,
                      [](std::uint8_t* to, const std::uint8_t* from) { std::memcpy(to, from, 3); });
}

std::int32_t Narrow48To24(std::uint8_t* destination, std::uint8_t* source,
                          const std::int32_t* region, std::int32_t x, std::int32_t y,
                          std::int32_t destinationBytes, std::int32_t sourceBytes,
                          std::int32_t destinationStride, std::int32_t sourceStride,
                          void** /*parameter*/, std::int32_t /*spare*/) {
  return ForEachPixel(destination, source, region, x, y, destinationBytes, sourceBytes,
                      destinationStride, sourceStride,
                      [](std::uint8_t* to, const std::uint8_t* from) {
                        to[0] = Narrow(from);
                        to[1] = Narrow(from + 2);
                        to[2] = Narrow(from + 4);
                      });
}

std::int32_t ScaleGray8(std::uint8_t* destination, std::uint8_t* source,
                        const std::int32_t* destinationRegion, const std::int32_t* sourceRegion,
                        std::int32_t /*destinationWidth*/, std::int32_t /*destinationHeight*/,
                        std::int32_t sourceWidth, std::int32_t sourceHeight,
                        std::int32_t /*destinationBytes*/, std::int32_t /*sourceBytes*/,
                        std::int32_t destinationStride, std::int32_t sourceStride,
                        std::int32_t /*extra*/, void** /*parameter*/) {
  return Scale<1>(destination, source, destinationRegion, sourceRegion, sourceWidth, sourceHeight,
                  destinationStride, sourceStride);
}

std::int32_t ScaleColor24(std::uint8_t* destination, std::uint8_t* source,
                          const std::int32_t* destinationRegion, const std::int32_t* sourceRegion,
                          std::int32_t /*destinationWidth*/, std::int32_t /*destinationHeight*/,
                          std::int32_t sourceWidth, std::int32_t sourceHeight,
                          std::int32_t /*destinationBytes*/, std::int32_t /*sourceBytes*/,
                          std::int32_t destinationStride, std::int32_t sourceStride,
                          std::int32_t /*extra*/, void** /*parameter*/) {
  return Scale<3>(destination, source, destinationRegion, sourceRegion, sourceWidth, sourceHeight,
                  destinationStride, sourceStride);
}

}  // namespace orvex
