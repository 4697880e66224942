#include "imaging/color_conversion.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

#include "base/cpu_features.h"
#include "imaging/kernel_call.h"
#include "imaging/simd_target.h"

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

// Blue, green and red as the ramp form computes them before its corrections, for any v: the
// distances as its saturating byte arithmetic gives them (299 - v wraps to a byte, which changes
// nothing from v = 44 on), one Ramp of the nearest, and 254 for a channel whose distance is
// larger (at least 60 wherever the colours follow the ramps).
void PseudoColorRampValues(int v, int* blue, int* green, int* red) {
  const int above = std::max(v - kPseudoColorRedStart, 0);
  const int blueOrRedDistance = above | std::max(kPseudoColorRedStart - v, 0);
  const int greenDistance =
      std::min(std::max(v - kPseudoColorRampStart, 0), (kPseudoColorGreenEnd - v) & 0xFF);
  const int nearest = std::min(blueOrRedDistance, greenDistance);
  const int ramp = 254 * nearest / 60;
  const int blueOrRed = blueOrRedDistance == nearest ? ramp : 254;
  *blue = above == 0 ? blueOrRed : 0;
  *green = greenDistance == nearest ? ramp : 254;
  *red = above == 0 ? 0 : blueOrRed;
}

// The corrections from the colours, and whether the ramps and corrections then give every
// colour: the ramp form runs only for a table it reproduces byte for byte.
void PreparePseudoColorRamps(const std::uint8_t (*colors)[4], PseudoColorRamps* ramps) {
  std::uint8_t blue[64] = {}, red[64] = {};  // by w - 64 = u + 4
  bool exact = true;
  for (int v = 0; v < 256; ++v) {
    int b, g, r;
    PseudoColorRampValues(v, &b, &g, &r);
    const int u = (v + 1) & 0xFF;
    if (u <= kPseudoColorRampStart) {
      blue[u + 4] = static_cast<std::uint8_t>(colors[v][0] ^ b);
      red[u + 4] = static_cast<std::uint8_t>(colors[v][2] ^ r);
      if (u == 0) g = 255;
    } else {
      exact = exact && b == colors[v][0] && r == colors[v][2];
    }
    exact = exact && g == colors[v][1];
  }
  for (int j = 0; j < 4; ++j) {
    for (int p = 0; p < 16; ++p) {
      const int at = 16 * j + p;
      ramps->blueSteps[j][p] = static_cast<std::uint8_t>(blue[at] ^ (j < 3 ? blue[at + 16] : 0));
      ramps->redSteps[j][p] = static_cast<std::uint8_t>(red[at] ^ (j < 3 ? red[at + 16] : 0));
    }
  }
  ramps->exact = exact;
}

}  // namespace

std::int32_t LuminanceKernel_C(std::uint8_t* destination, std::uint8_t* source,
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

void LuminanceRow_C(std::uint8_t* gray, const std::uint8_t* colour, std::int32_t pixels,
                    std::int32_t colourBytes) {
  for (std::int32_t i = 0; i < pixels; ++i, colour += colourBytes) {
    gray[i] = static_cast<std::uint8_t>((59 * colour[1] + 30 * colour[2] + 11 * colour[0]) / 100);
  }
}

void LuminanceRow(std::uint8_t* gray, const std::uint8_t* colour, std::int32_t pixels,
                  std::int32_t colourBytes) {
#if ORVEX_X86
  if ((colourBytes == 3 || colourBytes == 4) && TestCpuFeature(kCpuHasAvx2)) {
    LuminanceRow_AVX2(gray, colour, pixels, colourBytes);
    return;
  }
#endif
  LuminanceRow_C(gray, colour, pixels, colourBytes);
}

std::int32_t LuminanceKernel(std::uint8_t* destination, std::uint8_t* source,
                             const std::int32_t* region, std::int32_t x, std::int32_t y,
                             std::int32_t destinationBytes, std::int32_t sourceBytes,
                             std::int32_t destinationStride, std::int32_t sourceStride,
                             void** parameter, std::int32_t spare) {
  KernelCall call;
  const CallState state =
      DecodeKernelCall(destination, source, region, x, y, destinationBytes, sourceBytes,
                       destinationStride, sourceStride, nullptr, KernelNeeds{}, &call);
  if (state == CallState::kInvalid) return 0;
  // The row form reads a source row whole before it writes: only where no destination byte
  // lies among the source's does the order of the plain form not matter.
  const auto span = [](const std::uint8_t* row0, std::ptrdiff_t stride, std::int32_t rows,
                       std::size_t bytes, std::uintptr_t* from, std::uintptr_t* to) {
    const std::uintptr_t a = reinterpret_cast<std::uintptr_t>(row0);
    const std::uintptr_t b = reinterpret_cast<std::uintptr_t>(row0 + (rows - 1) * stride);
    *from = std::min(a, b);
    *to = std::max(a, b) + bytes;
  };
  bool apart = destinationBytes == 1 && call.height > 0 && call.width > 0;
  if (apart) {
    std::uintptr_t d0, d1, s0, s1;
    span(call.DestinationRow(0), call.destinationStride, call.height,
         static_cast<std::size_t>(call.width), &d0, &d1);
    span(call.SourceRow(0), call.sourceStride, call.height,
         static_cast<std::size_t>(call.width) * sourceBytes, &s0, &s1);
    apart = d1 <= s0 || s1 <= d0;
  }
  if (!apart) {
    return LuminanceKernel_C(destination, source, region, x, y, destinationBytes, sourceBytes,
                             destinationStride, sourceStride, parameter, spare);
  }
  for (std::int32_t j = 0; j < call.height; ++j) {
    LuminanceRow(call.DestinationRow(j), call.SourceRow(j), call.width, sourceBytes);
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

bool PreparePseudoColorRows(const ImageBuffer& raw8, ImageBuffer& color24, const HueTable& table,
                            PseudoColorRows* rows) {
  if (raw8.pixels == nullptr || color24.pixels == nullptr || raw8.bitsPerPixel != 8 ||
      color24.bitsPerPixel != 24 || raw8.width != color24.width || raw8.height != color24.height) {
    return false;
  }
  rows->raw8 = &raw8;
  rows->color24 = &color24;
  // Blue, green, red (and a spare byte) of every sample value, worked out once a frame.
  for (int v = 0; v < 256; ++v) {
    const std::uint32_t packed = v == 0 ? 0u : v == 255 ? 0xFFFFFFu : table[v];
    rows->colors[v][0] = static_cast<std::uint8_t>(packed >> 16);
    rows->colors[v][1] = static_cast<std::uint8_t>(packed >> 8);
    rows->colors[v][2] = static_cast<std::uint8_t>(packed);
    rows->colors[v][3] = 0;
    std::uint32_t entry;
    std::memcpy(&entry, rows->colors[v], 4);
    rows->pairs.first[v] = entry;
    rows->pairs.second[v] = std::uint64_t{entry} << 24;
  }
  rows->pairs.colors = rows->colors;
  PreparePseudoColorRamps(rows->colors, &rows->ramps);
  return true;
}

void PseudoColorRow_C(std::uint8_t* to, const std::uint8_t* from, std::int32_t pixels,
                      const std::uint8_t (*colors)[4]) {
  if (pixels <= 0) return;
  // Four bytes a pixel in one store; the next pixel overwrites the spare one. The last pixel
  // of a row gets its three bytes only.
  std::int32_t i = 0;
  for (; i + 1 < pixels; ++i) std::memcpy(to + 3 * i, colors[from[i]], 4);
  std::memcpy(to + 3 * i, colors[from[i]], 3);
}

// The words are put together and taken apart in little-endian order.
static_assert(std::endian::native == std::endian::little);

void PseudoColorRow_Pairs(std::uint8_t* to, const std::uint8_t* from, std::int32_t pixels,
                          const PseudoColorPairs& pairs) {
  std::int32_t i = 0;
  // Eight samples in one load, taken apart in registers, and two pixels in each 8-byte store
  // (the next store overwrites its last two bytes): half the loads and stores of the plain
  // loop, which were what bounded it.
  for (; i + 9 <= pixels; i += 8) {
    std::uint64_t samples;
    std::memcpy(&samples, from + i, 8);
    std::uint8_t* at = to + 3 * i;
#pragma GCC unroll 4
    for (int k = 0; k < 4; ++k, samples >>= 16, at += 6) {
      const std::uint64_t two = pairs.first[samples & 0xFF] | pairs.second[(samples >> 8) & 0xFF];
      std::memcpy(at, &two, 8);
    }
  }
  PseudoColorRow_C(to + 3 * i, from + i, pixels - i, pairs.colors);
}

void ConvertPseudoColorRows(const void* context, std::int32_t first, std::int32_t end) {
  const PseudoColorRows& rows = *static_cast<const PseudoColorRows*>(context);
  const ImageBuffer& raw8 = *rows.raw8;
  ImageBuffer& color24 = *rows.color24;
  // Row by row at each image's stride: at widths that are a multiple of 4 this is the same as
  // walking both images as packed arrays, and at other widths the rows stay in line.
  const bool avx2 = ORVEX_X86 && TestCpuFeature(kCpuHasAvx2);
  for (std::int32_t row = first; row < end; ++row) {
    std::uint8_t* to = color24.pixels + static_cast<std::size_t>(row) * color24.stride;
    const std::uint8_t* from = raw8.pixels + static_cast<std::size_t>(row) * raw8.stride;
    // The words of the pairs form are registers on 64-bit processors only.
    if (avx2) {
#if ORVEX_X86
      // The ramps want 16 vector registers: on 32-bit processors their eight lookup steps alone
      // take all 8, and the table reads measured faster there.
      if (sizeof(void*) >= 8 && rows.ramps.exact) {
        PseudoColorRow_RampsAVX2(to, from, raw8.width, rows.ramps, rows.colors);
      } else {
        PseudoColorRow_AVX2(to, from, raw8.width, rows.colors);
      }
#endif
    } else if constexpr (sizeof(void*) >= 8) {
      PseudoColorRow_Pairs(to, from, raw8.width, rows.pairs);
    } else {
      PseudoColorRow_C(to, from, raw8.width, rows.colors);
    }
  }
}

int PseudoColorMap(const ImageBuffer& raw8, ImageBuffer& color24, const HueTable& table) {
  PseudoColorRows rows;
  if (!PreparePseudoColorRows(raw8, color24, table, &rows)) return 0;
  ConvertPseudoColorRows(&rows, 0, raw8.height);
  return 1;
}

void ConvertLuminanceRows(const void* context, std::int32_t first, std::int32_t end) {
  const LuminanceRows& rows = *static_cast<const LuminanceRows*>(context);
  const ImageBuffer& colour = *rows.colour;
  ImageBuffer& gray = *rows.gray;
  const std::int32_t colourBytes = colour.bitsPerPixel / 8;
  for (std::int32_t row = first; row < end; ++row) {
    LuminanceRow(gray.pixels + static_cast<std::size_t>(row) * gray.stride,
                 colour.pixels + static_cast<std::size_t>(row) * colour.stride, gray.width,
                 colourBytes);
  }
}

}  // namespace orvex
