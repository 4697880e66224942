#pragma once

// Shared plumbing of the filter kernels: reading a call, sample access and the layout of
// destination against source.

#include <cfloat>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "imaging/image_filters.h"
#include "imaging/kernel_call.h"
#include "imaging/pixel_kernel.h"
#include "imaging/simd_target.h"

namespace orvex::filters {

enum class FilterStage { kHueSaturation, kGamma, kContrast, kSharpness, kBrightness };

// Ten-bit samples in 16-bit words: a word above this reads as this (tables have 1024 entries).
inline constexpr int kMax16 = 1023;

inline int ChannelsOf(FilterVariant variant) {
  return variant == FilterVariant::kColor8 || variant == FilterVariant::kColor16 ? 3 : 1;
}
inline bool IsWide(FilterVariant variant) {
  return variant == FilterVariant::kGray16 || variant == FilterVariant::kColor16;
}

// Reads a call for a filter stage of `variant`: pointers and the record present, at least the
// variant's bytes a pixel on both sides.
CallState DecodeFilterCall(FilterVariant variant, std::uint8_t* destination, std::uint8_t* source,
                           const std::int32_t* region, std::int32_t x, std::int32_t y,
                           std::int32_t destinationBytes, std::int32_t sourceBytes,
                           std::int32_t destinationStride, std::int32_t sourceStride,
                           void** parameter, KernelCall* call);

// What a filter kernel returns for a call that did not get to run: 1 for an empty region,
// 0 for anything wrong with the arguments.
inline std::int32_t ResultOf(CallState state) {
  return state == CallState::kEmpty ? 1 : 0;
}

// kSame: every destination pixel is its own source pixel (in place); kDisjoint: the two
// regions share no byte; kOverlap: anything else, where only the reference's visiting order
// defines the result.
enum class Layout { kSame, kDisjoint, kOverlap };
Layout ClassifyLayout(const KernelCall& call);

// A call over one row of `pixels` pixels in place, as the row forms of the pipeline make them.
inline KernelCall InPlaceRow(std::uint8_t* row, std::int32_t pixels, std::int32_t pixelBytes) {
  KernelCall call;
  call.destination = row;
  call.source = row;
  call.width = pixels;
  call.height = 1;
  call.destinationBytes = call.sourceBytes = pixelBytes;
  call.destinationStride = call.sourceStride = static_cast<std::ptrdiff_t>(pixels) * pixelBytes;
  return call;
}

inline std::uint16_t Load16(const std::uint8_t* p) {
  std::uint16_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
inline void Store16(std::uint8_t* p, std::uint16_t v) {
  std::memcpy(p, &v, sizeof v);
}
inline int Load10(const std::uint8_t* p) {
  const int v = Load16(p);
  return v > kMax16 ? kMax16 : v;
}

// Rounds to a double where the compiler keeps wider intermediates (x87), so that the tables do
// not depend on which values stayed in registers.
inline double AsDouble(double v) {
#if FLT_EVAL_METHOD != 0
  volatile double stored = v;
  return stored;
#else
  return v;
#endif
}

}  // namespace orvex::filters
