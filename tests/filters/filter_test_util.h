#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "base/cpu_features.h"
#include "imaging/filters/filter_kernels.h"
#include "imaging/image_filters.h"

namespace orvex::filters::testing {

// Pixels in a heap block that ends exactly with the last pixel of the last row (no padding
// after it), so that AddressSanitizer reports any access past the image.
struct Frame {
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::int32_t bytes = 0;  // a pixel
  std::int32_t stride = 0;
  std::size_t size = 0;
  std::unique_ptr<std::uint8_t[]> data;

  Frame(std::int32_t w, std::int32_t h, std::int32_t pixelBytes, bool padded)
      : width(w), height(h), bytes(pixelBytes) {
    const std::int32_t row = w * pixelBytes;
    stride = padded ? (row + 3) / 4 * 4 : row;
    size = static_cast<std::size_t>(stride) * (h - 1) + row;
    data.reset(new std::uint8_t[size]);
    std::memset(data.get(), 0, size);
  }
  Frame(const Frame& other)
      : width(other.width),
        height(other.height),
        bytes(other.bytes),
        stride(other.stride),
        size(other.size),
        data(new std::uint8_t[other.size]) {
    std::memcpy(data.get(), other.data.get(), size);
  }
  Frame& operator=(const Frame&) = delete;

  std::uint8_t* Pixel(std::int32_t i, std::int32_t j) const {
    return data.get() + static_cast<std::size_t>(j) * stride + static_cast<std::size_t>(i) * bytes;
  }
  std::uint16_t Word(std::int32_t i, std::int32_t j, int k) const {
    std::uint16_t v;
    std::memcpy(&v, Pixel(i, j) + 2 * k, 2);
    return v;
  }
  void SetWord(std::int32_t i, std::int32_t j, int k, std::uint16_t v) {
    std::memcpy(Pixel(i, j) + 2 * k, &v, 2);
  }
  bool operator==(const Frame& o) const {
    return size == o.size && std::memcmp(data.get(), o.data.get(), size) == 0;
  }
};

inline bool IsWideVariant(FilterVariant v) {
  return v == FilterVariant::kGray16 || v == FilterVariant::kColor16;
}

// Random samples; for 16-bit images mostly 10-bit values with some words above 1023.
inline void FillRandom(Frame& f, FilterVariant variant, std::mt19937& rng) {
  if (IsWideVariant(variant)) {
    for (std::size_t i = 0; i + 1 < f.size; i += 2) {
      std::uint16_t v = static_cast<std::uint16_t>(rng() % 1024);
      if (rng() % 16 == 0) v = static_cast<std::uint16_t>(1024 + rng() % 64512);
      std::memcpy(f.data.get() + i, &v, 2);
    }
  } else {
    for (std::size_t i = 0; i < f.size; ++i) f.data[i] = static_cast<std::uint8_t>(rng());
  }
}

// A kernel call over `region` of `source`, written at (x, y) of `destination`.
inline std::int32_t Call(PixelKernel kernel, Frame& destination, Frame& source,
                         const std::int32_t (&region)[4], std::int32_t x, std::int32_t y,
                         const void* record) {
  void* parameter = const_cast<void*>(record);
  return kernel(destination.data.get(), source.data.get(), region, x, y, destination.bytes,
                source.bytes, destination.stride, source.stride, &parameter, 0);
}

// The instruction sets a fast form may use, in increasing order; a form runs with the
// processor's features masked down to its own.
enum class FilterForm { kPlain, kSse2, kAvx2, kAvx512 };

inline std::uint32_t FeaturesOf(FilterForm form) {
  switch (form) {
    case FilterForm::kPlain:
      return 0;
    case FilterForm::kSse2:
      return kCpuHasSse2;
    case FilterForm::kAvx2:
      return kCpuHasSse2 | kCpuHasAvx2;
    case FilterForm::kAvx512:
      break;
  }
  return kCpuAllFeatures;
}

inline std::int32_t CallForm(FilterStage stage, FilterVariant variant, FilterForm form,
                             Frame& destination, Frame& source, const std::int32_t (&region)[4],
                             std::int32_t x, std::int32_t y, const void* record) {
  void* parameter = const_cast<void*>(record);
  MaskCpuFeatures(FeaturesOf(form));
  const std::int32_t result =
      RunFilter(stage, variant, destination.data.get(), source.data.get(), region, x, y,
                destination.bytes, source.bytes, destination.stride, source.stride, &parameter, 0);
  MaskCpuFeatures(kCpuAllFeatures);
  return result;
}

// The forms this processor can run.
inline std::vector<FilterForm> AvailableForms() {
  std::vector<FilterForm> forms;
  for (FilterForm f :
       {FilterForm::kPlain, FilterForm::kSse2, FilterForm::kAvx2, FilterForm::kAvx512}) {
    if (TestCpuFeature(FeaturesOf(f))) forms.push_back(f);
  }
  return forms;
}

}  // namespace orvex::filters::testing
