#include "imaging/color_conversion.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "imaging/kernel_call.h"

namespace orvex {
namespace {

std::int32_t ExpandRows(std::uint8_t* destination, std::uint8_t* source, const std::int32_t* region,
                        std::int32_t x, std::int32_t y, std::int32_t destinationBytes,
                        std::int32_t sourceBytes, std::int32_t destinationStride,
                        std::int32_t sourceStride, std::size_t sampleBytes) {
  KernelCall call;
  const CallState state =
      DecodeKernelCall(destination, source, region, x, y, destinationBytes, sourceBytes,
                       destinationStride, sourceStride, nullptr, KernelNeeds{}, &call);
  if (state == CallState::kInvalid) return 0;
  const std::size_t packedRow = static_cast<std::size_t>(call.width) * sampleBytes;
  const std::size_t stride = static_cast<std::size_t>(destinationStride);
  std::uint8_t* const base = destination + static_cast<std::size_t>(x) * sampleBytes;
  // Every row moves to a place at or after where it lies packed, so going from the last row
  // to the first never overwrites a row that has still to move; memmove takes care of the
  // overlap within a row (it moves the last sample first here).
  for (std::size_t row = static_cast<std::size_t>(call.height); row-- > 0;) {
    std::uint8_t* to = base + (static_cast<std::size_t>(y) + row) * stride;
    const std::uint8_t* from = destination + row * packedRow;
    if (to != from) std::memmove(to, from, packedRow);
  }
  return 1;
}

}  // namespace

std::int32_t LuminanceKernel(std::uint8_t* destination, std::uint8_t* source,
                             const std::int32_t* region, std::int32_t x, std::int32_t y,
                             std::int32_t destinationBytes, std::int32_t sourceBytes,
                             std::int32_t destinationStride, std::int32_t sourceStride,
                             void** /*parameter*/, std::int32_t /*spare*/) {
  KernelCall call;
  const CallState state =
      DecodeKernelCall(destination, source, region, x, y, destinationBytes, sourceBytes,
                       destinationStride, sourceStride, nullptr, KernelNeeds{}, &call);
  if (state == CallState::kInvalid) return 0;
  for (std::int32_t j = 0; j < call.height; ++j) {
    const std::uint8_t* from = call.SourceRow(j);
    std::uint8_t* to = call.DestinationRow(j);
    for (std::int32_t i = 0; i < call.width; ++i) {
      const std::int32_t luminance = (59 * from[1] + 30 * from[2] + 11 * from[0]) / 100;
      *to = static_cast<std::uint8_t>(std::clamp(luminance, 0, 255));
      from += sourceBytes;
      to += destinationBytes;
    }
  }
  return 1;
}

std::int32_t ExpandRows8(std::uint8_t* destination, std::uint8_t* source,
                         const std::int32_t* region, std::int32_t x, std::int32_t y,
                         std::int32_t destinationBytes, std::int32_t sourceBytes,
                         std::int32_t destinationStride, std::int32_t sourceStride,
                         void** /*parameter*/, std::int32_t /*spare*/) {
  return ExpandRows(destination, source, region, x, y, destinationBytes, sourceBytes,
                    destinationStride, sourceStride, 1);
}

std::int32_t ExpandRows16(std::uint8_t* destination, std::uint8_t* source,
                          const std::int32_t* region, std::int32_t x, std::int32_t y,
                          std::int32_t destinationBytes, std::int32_t sourceBytes,
                          std::int32_t destinationStride, std::int32_t sourceStride,
                          void** /*parameter*/, std::int32_t /*spare*/) {
  return ExpandRows(destination, source, region, x, y, destinationBytes, sourceBytes,
                    destinationStride, sourceStride, 2);
}

int PseudoColorMap(const ImageBuffer& raw8, ImageBuffer& color24, const HueTable& table) {
  if (raw8.pixels == nullptr || color24.pixels == nullptr || raw8.bitsPerPixel != 8 ||
      color24.bitsPerPixel != 24 || raw8.width != color24.width || raw8.height != color24.height) {
    return 0;
  }
  // Blue, green, red (and a spare byte) of every sample value, worked out once a call.
  std::array<std::array<std::uint8_t, 4>, 256> colors;
  for (int v = 0; v < 256; ++v) {
    const std::uint32_t packed = v == 0 ? 0u : v == 255 ? 0xFFFFFFu : table[v];
    colors[v] = {static_cast<std::uint8_t>(packed >> 16), static_cast<std::uint8_t>(packed >> 8),
                 static_cast<std::uint8_t>(packed), 0};
  }
  // Row by row at each image's stride: at widths that are a multiple of 4 this is the same as
  // walking both images as packed arrays, and at other widths the rows stay in line.
  const std::size_t width = static_cast<std::size_t>(raw8.width);
  for (std::int32_t row = 0; row < raw8.height; ++row) {
    const std::uint8_t* from = raw8.pixels + static_cast<std::size_t>(row) * raw8.stride;
    std::uint8_t* to = color24.pixels + static_cast<std::size_t>(row) * color24.stride;
    // Four bytes a pixel in one store; the next pixel overwrites the spare one. The last pixel
    // of a row gets its three bytes only.
    std::size_t i = 0;
    for (; i + 1 < width; ++i) std::memcpy(to + 3 * i, colors[from[i]].data(), 4);
    std::memcpy(to + 3 * i, colors[from[i]].data(), 3);
  }
  return 1;
}

}  // namespace orvex
