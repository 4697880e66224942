#include <algorithm>
#include <cstdint>
#include <limits>

#include "imaging/filters/filter_common.h"
#include "imaging/filters/filter_kernels.h"
#include "imaging/image_filters.h"

namespace orvex {
namespace filters {
namespace {

std::uintptr_t Address(const std::uint8_t* p) {
  return reinterpret_cast<std::uintptr_t>(p);
}

// The byte range [first, last) that a region's rows cover.
void Span(const std::uint8_t* row0, std::ptrdiff_t stride, std::int32_t height,
          std::size_t rowBytes, std::uintptr_t* first, std::uintptr_t* last) {
  const std::uintptr_t a = Address(row0);
  const std::uintptr_t b = Address(row0 + (height - 1) * stride);
  *first = std::min(a, b);
  *last = std::max(a, b) + rowBytes;
}

template <FilterStage S, FilterVariant V>
std::int32_t FastKernel(ORVEX_FILTER_KERNEL_PARAMS) {
  return RunFilter(S, V, ORVEX_FILTER_KERNEL_ARGS);
}

template <FilterStage S>
PixelKernel FastKernelFor(FilterVariant variant) {
  switch (variant) {
    case FilterVariant::kGray8:
      return &FastKernel<S, FilterVariant::kGray8>;
    case FilterVariant::kGray16:
      return &FastKernel<S, FilterVariant::kGray16>;
    case FilterVariant::kColor8:
      return &FastKernel<S, FilterVariant::kColor8>;
    case FilterVariant::kColor16:
      return &FastKernel<S, FilterVariant::kColor16>;
    case FilterVariant::kNone:
      break;
  }
  return nullptr;
}

}  // namespace

CallState DecodeFilterCall(FilterVariant variant, std::uint8_t* destination, std::uint8_t* source,
                           const std::int32_t* region, std::int32_t x, std::int32_t y,
                           std::int32_t destinationBytes, std::int32_t sourceBytes,
                           std::int32_t destinationStride, std::int32_t sourceStride,
                           void** parameter, KernelCall* call) {
  const std::int32_t bytes = MinimumPixelBytes(variant);
  return DecodeKernelCall(destination, source, region, x, y, destinationBytes, sourceBytes,
                          destinationStride, sourceStride, parameter,
                          KernelNeeds{bytes, bytes, true}, call);
}

Layout ClassifyLayout(const KernelCall& call) {
  if (call.DestinationRow(0) == call.SourceRow(0) && call.destinationBytes == call.sourceBytes &&
      (call.height == 1 || call.destinationStride == call.sourceStride)) {
    return Layout::kSame;
  }
  std::uintptr_t d0, d1, s0, s1;
  Span(call.DestinationRow(0), call.destinationStride, call.height,
       static_cast<std::size_t>(call.width) * call.destinationBytes, &d0, &d1);
  Span(call.SourceRow(0), call.sourceStride, call.height,
       static_cast<std::size_t>(call.width) * call.sourceBytes, &s0, &s1);
  return (d1 <= s0 || s1 <= d0) ? Layout::kDisjoint : Layout::kOverlap;
}

std::int32_t MinimumPixelBytes(FilterVariant variant) {
  switch (variant) {
    case FilterVariant::kGray8:
      return 1;
    case FilterVariant::kGray16:
      return 2;
    case FilterVariant::kColor8:
      return 3;
    case FilterVariant::kColor16:
      return 6;
    case FilterVariant::kNone:
      break;
  }
  return 0;
}

std::int32_t RunFilter(FilterStage stage, FilterVariant variant, ORVEX_FILTER_KERNEL_PARAMS) {
  (void)spare;
  if (variant == FilterVariant::kNone) return 0;
  if (stage == FilterStage::kHueSaturation &&
      (variant == FilterVariant::kGray8 || variant == FilterVariant::kGray16)) {
    return 0;
  }
  KernelCall call;
  const CallState state =
      DecodeFilterCall(variant, destination, source, region, x, y, destinationBytes, sourceBytes,
                       destinationStride, sourceStride, parameter, &call);
  if (state != CallState::kReady) return ResultOf(state);
  switch (stage) {
    case FilterStage::kHueSaturation:
      return RunHueSaturation(variant, call);
    case FilterStage::kGamma:
      return RunGamma(variant, call);
    case FilterStage::kContrast:
      return RunContrast(variant, call);
    case FilterStage::kSharpness:
      return RunSharpness(variant, call);
    case FilterStage::kBrightness:
      return RunBrightness(variant, call);
  }
  return 0;
}

PixelKernel ReferenceFilterKernel(FilterStage stage, FilterVariant variant) {
#define ORVEX_REFERENCE_FAMILY(Stage) \
  switch (variant) {                  \
    case FilterVariant::kGray8:       \
      return &Stage##Gray8_C;         \
    case FilterVariant::kGray16:      \
      return &Stage##Gray16_C;        \
    case FilterVariant::kColor8:      \
      return &Stage##Color8_C;        \
    case FilterVariant::kColor16:     \
      return &Stage##Color16_C;       \
    case FilterVariant::kNone:        \
      return nullptr;                 \
  }                                   \
  return nullptr;
  switch (stage) {
    case FilterStage::kHueSaturation:
      if (variant == FilterVariant::kColor8) return &HueSaturationColor8_C;
      if (variant == FilterVariant::kColor16) return &HueSaturationColor16_C;
      return nullptr;
    case FilterStage::kGamma:
      ORVEX_REFERENCE_FAMILY(Gamma)
    case FilterStage::kContrast:
      ORVEX_REFERENCE_FAMILY(Contrast)
    case FilterStage::kSharpness:
      ORVEX_REFERENCE_FAMILY(Sharpness)
    case FilterStage::kBrightness:
      ORVEX_REFERENCE_FAMILY(Brightness)
  }
#undef ORVEX_REFERENCE_FAMILY
  return nullptr;
}

}  // namespace filters

FilterVariant FilterVariantFor(std::int32_t colorType) {
  switch (colorType) {
    case 0:
      return FilterVariant::kGray8;
    case 1:
      return FilterVariant::kGray16;
    case 2:
    case 3:
      return FilterVariant::kColor8;
    case 4:
    case 5:
      return FilterVariant::kColor16;
    default:
      return FilterVariant::kNone;
  }
}

PixelKernel HueSaturationKernel(FilterVariant variant) {
  if (variant != FilterVariant::kColor8 && variant != FilterVariant::kColor16) return nullptr;
  return filters::FastKernelFor<filters::FilterStage::kHueSaturation>(variant);
}

PixelKernel GammaKernel(FilterVariant variant) {
  return filters::FastKernelFor<filters::FilterStage::kGamma>(variant);
}

PixelKernel ContrastKernel(FilterVariant variant) {
  return filters::FastKernelFor<filters::FilterStage::kContrast>(variant);
}

PixelKernel SharpnessKernel(FilterVariant variant) {
  return filters::FastKernelFor<filters::FilterStage::kSharpness>(variant);
}

PixelKernel BrightnessKernel(FilterVariant variant) {
  return filters::FastKernelFor<filters::FilterStage::kBrightness>(variant);
}

}  // namespace orvex
