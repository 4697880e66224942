#pragma once

// The filter kernels in all their forms, for the dispatch, the tests and the benchmarks.
//
// Each stage and pixel format has a plain reference form (`..._C`) that is the definition, and
// a fast implementation (`Run...`) that gives the same bytes with the row routines of the
// instruction sets in force (base/cpu_features.h): `..._C` in the stage's file, `..._SSE2`,
// `..._AVX2`, `..._AVX512` in the files named after them. 16-bit variants read a word above
// 1023 as 1023.

#include <cstdint>

#include "imaging/filters/filter_common.h"

#define ORVEX_FILTER_KERNEL_PARAMS                                                             \
  std::uint8_t *destination, std::uint8_t *source, const std::int32_t *region, std::int32_t x, \
      std::int32_t y, std::int32_t destinationBytes, std::int32_t sourceBytes,                 \
      std::int32_t destinationStride, std::int32_t sourceStride, void **parameter,             \
      std::int32_t spare
#define ORVEX_FILTER_KERNEL_ARGS                                                       \
  destination, source, region, x, y, destinationBytes, sourceBytes, destinationStride, \
      sourceStride, parameter, spare

namespace orvex::filters {

#define ORVEX_DECLARE_FILTER_FAMILY(Stage)                  \
  std::int32_t Stage##Gray8_C(ORVEX_FILTER_KERNEL_PARAMS);  \
  std::int32_t Stage##Gray16_C(ORVEX_FILTER_KERNEL_PARAMS); \
  std::int32_t Stage##Color8_C(ORVEX_FILTER_KERNEL_PARAMS); \
  std::int32_t Stage##Color16_C(ORVEX_FILTER_KERNEL_PARAMS);

ORVEX_DECLARE_FILTER_FAMILY(Gamma)
ORVEX_DECLARE_FILTER_FAMILY(Contrast)
ORVEX_DECLARE_FILTER_FAMILY(Sharpness)
ORVEX_DECLARE_FILTER_FAMILY(Brightness)
#undef ORVEX_DECLARE_FILTER_FAMILY
std::int32_t HueSaturationColor8_C(ORVEX_FILTER_KERNEL_PARAMS);
std::int32_t HueSaturationColor16_C(ORVEX_FILTER_KERNEL_PARAMS);

// The fewest bytes a pixel a variant can work on.
std::int32_t MinimumPixelBytes(FilterVariant variant);

// The fast implementations, on a decoded call.
std::int32_t RunHueSaturation(FilterVariant variant, const KernelCall& call);
std::int32_t RunGamma(FilterVariant variant, const KernelCall& call);
std::int32_t RunContrast(FilterVariant variant, const KernelCall& call);
std::int32_t RunSharpness(FilterVariant variant, const KernelCall& call);
std::int32_t RunBrightness(FilterVariant variant, const KernelCall& call);

// A whole kernel call through the fast implementation of `stage`, as the image_filters.h
// kernels run it (tests and benchmarks pin the forms with MaskCpuFeatures).
std::int32_t RunFilter(FilterStage stage, FilterVariant variant, ORVEX_FILTER_KERNEL_PARAMS);

// The reference form of a stage and variant; null where the stage has no such variant.
PixelKernel ReferenceFilterKernel(FilterStage stage, FilterVariant variant);

// Tables shared by the reference and the fast forms.
double GammaExponent(std::int32_t gamma);
// Gamma tables of 256 and 1024 entries. The search for each entry bisects where log10 ascends
// (it does, for any sane library) and scans o = 2, 3, ... otherwise or when asked to.
void BuildGammaTable8(std::int32_t gamma, std::uint8_t* table, bool linearSearch = false);
void BuildGammaTable16(std::int32_t gamma, std::uint16_t* table, bool linearSearch = false);
void BuildContrastTable8(std::int32_t contrast, std::uint8_t* table);
void BuildContrastTable16(std::int32_t contrast, std::uint16_t* table);
// The gamma tables as the fast forms use them (built once a setting, then copied).
void GammaTable8(std::int32_t gamma, std::uint8_t* table);
void GammaTable16(std::int32_t gamma, std::uint16_t* table);
double BrightnessFactor(std::int32_t brightness);
int BrightnessValue(int value, double factor, int fullScale);  // trunc(value x f), clamped
void BuildBrightnessTable8(std::int32_t brightness, std::uint8_t* table);
void BuildBrightnessTable16(std::int32_t brightness, std::uint16_t* table);

// Table mapping of 1 or 3 channels a pixel: the reference loop and the fast one.
void MapTable8_C(const KernelCall& call, const std::uint8_t* table, int channels);
void MapTable8(const KernelCall& call, const std::uint8_t* table, int channels);
void MapTable16_C(const KernelCall& call, const std::uint16_t* table, int channels);
void MapTable16(const KernelCall& call, const std::uint16_t* table, int channels);

}  // namespace orvex::filters
