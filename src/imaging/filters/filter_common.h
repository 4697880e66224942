#pragma once

// Shared plumbing of the filter kernels: the decoded kernel call, sample access, the layout of
// destination against source, and the processor forms a fast kernel may choose from.

#include <cfloat>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "imaging/image_filters.h"
#include "imaging/pixel_kernel.h"

#if defined(__x86_64__) || defined(__i386__)
#define ORVEX_FILTERS_X86 1
#else
#define ORVEX_FILTERS_X86 0
#endif

namespace orvex::filters {

enum class FilterStage { kHueSaturation, kGamma, kContrast, kSharpness, kBrightness };

// Instruction sets in increasing order. A stage without a form for a set uses the best one
// below it; every form gives the bytes of the plain reference.
enum class FilterForm { kPlain, kSse2, kAvx2, kAvx512 };

bool FilterFormAvailable(FilterForm form);
FilterForm BestFilterForm();

// Ten-bit samples in 16-bit words: a word above this reads as this (tables have 1024 entries).
inline constexpr int kMax16 = 1023;

inline int ChannelsOf(FilterVariant variant) {
  return variant == FilterVariant::kColor8 || variant == FilterVariant::kColor16 ? 3 : 1;
}
inline bool IsWide(FilterVariant variant) {
  return variant == FilterVariant::kGray16 || variant == FilterVariant::kColor16;
}

// One kernel call with its region turned into a width and height.
struct KernelCall {
  std::uint8_t* destination = nullptr;
  const std::uint8_t* source = nullptr;
  std::int32_t left = 0, top = 0, width = 0, height = 0;
  std::int32_t x = 0, y = 0;
  std::int32_t destinationBytes = 0, sourceBytes = 0;
  std::ptrdiff_t destinationStride = 0, sourceStride = 0;
  const void* record = nullptr;  // what the parameter word points to

  std::uint8_t* DestinationRow(std::int32_t j) const {
    return destination + (static_cast<std::ptrdiff_t>(y) + j) * destinationStride +
           static_cast<std::ptrdiff_t>(x) * destinationBytes;
  }
  const std::uint8_t* SourceRow(std::int32_t j) const {
    return source + (static_cast<std::ptrdiff_t>(top) + j) * sourceStride +
           static_cast<std::ptrdiff_t>(left) * sourceBytes;
  }
  std::int32_t Setting() const {
    std::int32_t value;
    std::memcpy(&value, record, sizeof value);
    return value;
  }
};

enum class CallState { kInvalid, kEmpty, kReady };

// Checks the arguments of a PixelKernel call: pointers present, at least `minBytes` bytes a
// pixel on both sides. An empty region is done at once.
CallState DecodeCall(std::uint8_t* destination, std::uint8_t* source, const std::int32_t* region,
                     std::int32_t x, std::int32_t y, std::int32_t destinationBytes,
                     std::int32_t sourceBytes, std::int32_t destinationStride,
                     std::int32_t sourceStride, void** parameter, std::int32_t minBytes,
                     KernelCall* call);

// What a kernel returns for a call that did not get to run.
inline std::int32_t ResultOf(CallState state) {
  return state == CallState::kEmpty ? 1 : 0;
}

// kSame: every destination pixel is its own source pixel (in place); kDisjoint: the two
// regions share no byte; kOverlap: anything else, where only the reference's visiting order
// defines the result.
enum class Layout { kSame, kDisjoint, kOverlap };
Layout ClassifyLayout(const KernelCall& call);

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
