// Brightness: every sample times a factor, truncated and clamped.

#include <cmath>
#include <cstdint>

#include "base/cpu_features.h"
#include "base/double_precision.h"
#include "imaging/filters/filter_common.h"
#include "imaging/filters/filter_kernels.h"
#include "imaging/filters/table_map.h"

namespace orvex::filters {
namespace {

// The factor and the products, to be computed at double precision (base/double_precision.h).
double Factor(std::int32_t brightness) {
  if (brightness > 0) return AsDouble(1 + AsDouble(brightness * 0.0392156862745098));
  if (brightness < 0) {
    return AsDouble(1 - AsDouble(-static_cast<double>(brightness) * 0.00392156862745098));
  }
  return 1.0;
}

int TruncatedProduct(int value, double factor, int fullScale) {
  const double v = std::trunc(AsDouble(value * factor));
  return v <= 0 ? 0 : v >= fullScale ? fullScale : static_cast<int>(v);
}

std::int32_t BrightnessReference(FilterVariant variant, ORVEX_FILTER_KERNEL_PARAMS) {
  (void)spare;
  KernelCall call;
  const CallState state =
      DecodeFilterCall(variant, destination, source, region, x, y, destinationBytes, sourceBytes,
                       destinationStride, sourceStride, parameter, &call);
  if (state != CallState::kReady) return ResultOf(state);
  WithDoublePrecision([&] {
    const double f = Factor(call.Setting());
    const int channels = ChannelsOf(variant);
    const bool wide = IsWide(variant);
    for (std::int32_t j = 0; j < call.height; ++j) {
      const std::uint8_t* s = call.SourceRow(j);
      std::uint8_t* d = call.DestinationRow(j);
      for (std::int32_t i = 0; i < call.width; ++i) {
        const std::uint8_t* sp = s + static_cast<std::ptrdiff_t>(i) * call.sourceBytes;
        std::uint8_t* dp = d + static_cast<std::ptrdiff_t>(i) * call.destinationBytes;
        for (int k = 0; k < channels; ++k) {
          if (wide) {
            Store16(dp + 2 * k,
                    static_cast<std::uint16_t>(TruncatedProduct(Load10(sp + 2 * k), f, kMax16)));
          } else {
            dp[k] = static_cast<std::uint8_t>(TruncatedProduct(sp[k], f, 255));
          }
        }
      }
    }
  });
  return 1;
}

}  // namespace

double BrightnessFactor(std::int32_t brightness) {
  return WithDoublePrecision([brightness] { return Factor(brightness); });
}

int BrightnessValue(int value, double factor, int fullScale) {
  return WithDoublePrecision([=] { return TruncatedProduct(value, factor, fullScale); });
}

std::int32_t BrightnessGray8_C(ORVEX_FILTER_KERNEL_PARAMS) {
  return BrightnessReference(FilterVariant::kGray8, ORVEX_FILTER_KERNEL_ARGS);
}
std::int32_t BrightnessGray16_C(ORVEX_FILTER_KERNEL_PARAMS) {
  return BrightnessReference(FilterVariant::kGray16, ORVEX_FILTER_KERNEL_ARGS);
}
std::int32_t BrightnessColor8_C(ORVEX_FILTER_KERNEL_PARAMS) {
  return BrightnessReference(FilterVariant::kColor8, ORVEX_FILTER_KERNEL_ARGS);
}
std::int32_t BrightnessColor16_C(ORVEX_FILTER_KERNEL_PARAMS) {
  return BrightnessReference(FilterVariant::kColor16, ORVEX_FILTER_KERNEL_ARGS);
}

void BuildBrightnessTable8(std::int32_t brightness, std::uint8_t* table) {
  WithDoublePrecision([&] {
    const double f = Factor(brightness);
    for (int v = 0; v <= 255; ++v) {
      table[v] = static_cast<std::uint8_t>(TruncatedProduct(v, f, 255));
    }
  });
}

void BuildBrightnessTable16(std::int32_t brightness, std::uint16_t* table) {
  WithDoublePrecision([&] {
    const double f = Factor(brightness);
    for (int v = 0; v <= kMax16; ++v) {
      table[v] = static_cast<std::uint16_t>(TruncatedProduct(v, f, kMax16));
    }
  });
}

void WordBrightnessMap::Prepare(std::int32_t brightness) {
  factor_ = BrightnessFactor(brightness);
  BuildBrightnessTable16(brightness, table_);
  avx2_ = ORVEX_X86 && TestCpuFeature(kCpuHasAvx2);
  line_ = avx2_ && FindLine16(table_, &form_);
}

void WordBrightnessMap::MapRow(std::uint8_t* d, const std::uint8_t* s, std::size_t pixels,
                               int pixelBytes) const {
  const bool bgrx = pixelBytes == 8;
  const std::size_t words = pixels * static_cast<std::size_t>(pixelBytes / 2);
#if ORVEX_X86
  if (line_) {
    LineWords_AVX2(d, s, words, bgrx, form_, table_);
    return;
  }
  // Off a line, pixels with a kept fourth word are looked up faster than computed in doubles;
  // whole rows of samples the other way round (gathers are slow here).
  if (avx2_ && bgrx) {
    Lookup16Bgrx_AVX2(d, s, pixels, table_);
    return;
  }
  if (avx2_) {
    BrightnessWords_AVX2(d, s, words, factor_, table_);
    return;
  }
#endif
  if (bgrx) {
    Lookup16Bgrx_C(d, s, pixels, table_);
  } else {
    Lookup16Run_C(d, s, words, table_);
  }
}

// The result of a sample depends on its value alone, so the fast form maps through a table of
// the same expression for every possible value.
std::int32_t RunBrightness(FilterVariant variant, const KernelCall& call) {
  const std::int32_t bytes = call.sourceBytes;
  const int channels = ChannelsOf(variant);
  if (IsWide(variant) && call.destinationBytes == bytes &&
      (bytes == 2 * channels || (channels == 3 && bytes == 8)) &&
      ClassifyLayout(call) != Layout::kOverlap) {
    WordBrightnessMap map;
    map.Prepare(call.Setting());
    const std::size_t rowBytes = static_cast<std::size_t>(call.width) * bytes;
    ForEachRun(call, rowBytes, [&](std::uint8_t* d, const std::uint8_t* s, std::size_t n) {
      map.MapRow(d, s, n / static_cast<std::size_t>(bytes), bytes);
    });
    return 1;
  }
  if (IsWide(variant)) {
    std::uint16_t table[kMax16 + 1];
    BuildBrightnessTable16(call.Setting(), table);
    MapTable16(call, table, ChannelsOf(variant));
  } else {
    std::uint8_t table[256];
    BuildBrightnessTable8(call.Setting(), table);
    MapTable8(call, table, ChannelsOf(variant));
  }
  return 1;
}

}  // namespace orvex::filters
