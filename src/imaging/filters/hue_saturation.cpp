// Hue and saturation: each pixel to hue, lightness and saturation (64 steps a sector, lightness
// on 0..255), offsets added, and back.

#include "imaging/filters/hue_saturation.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "base/cpu_features.h"
#include "imaging/filters/filter_common.h"
#include "imaging/filters/filter_kernels.h"

namespace orvex::filters {
namespace {

std::int64_t Clamp255(std::int64_t v) {
  return v < 0 ? 0 : v > 255 ? 255 : v;
}

std::int64_t RuleValue(std::int64_t m1, std::int64_t m2, std::int64_t angle) {
  const std::int64_t h = angle % 360;
  if (h < 0) return m1;
  if (h < 60) return m1 + (((m2 - m1) * h) >> 6);
  if (h < 180) return m2;
  if (h < 240) return m1 + (((m2 - m1) * (240 - h)) >> 6);
  return m1;
}

std::uint32_t Pack(std::int64_t red, std::int64_t green, std::int64_t blue) {
  return static_cast<std::uint32_t>(blue | green << 8 | red << 16);
}

// ceil(2^32 / d): for n < 2^16 the product overshoots n / d by less than 2^-16, which never
// reaches the next integer since n / d is at least 1/255 below it.
constexpr std::array<std::uint64_t, 256> kReciprocals = [] {
  std::array<std::uint64_t, 256> r{};
  for (std::uint64_t d = 1; d < 256; ++d) r[d] = ((std::uint64_t{1} << 32) + d - 1) / d;
  return r;
}();

// The weight of m2 against m1 in 64ths at a hue angle: the rule of the inverse conversion
// with its three pieces as one interpolation (64/64 is m2 exactly, 0 is m1).
int Weight(int angle) {
  if (angle < 0) return 0;  // m1, also where the remainder is 0
  int h = angle;
  while (h >= 360) h -= 360;
  if (h < 60) return h;
  if (h < 180) return 64;
  if (h < 240) return 240 - h;
  return 0;
}

template <bool kWide>
void ReadPixel(const std::uint8_t* p, int* red, int* green, int* blue) {
  if constexpr (kWide) {
    *blue = Load10(p) >> 2;
    *green = Load10(p + 2) >> 2;
    *red = Load10(p + 4) >> 2;
  } else {
    *blue = p[0];
    *green = p[1];
    *red = p[2];
  }
}

template <bool kWide>
void WritePixel(std::uint8_t* p, std::uint32_t packed) {
  if constexpr (kWide) {
    Store16(p, static_cast<std::uint16_t>((packed & 0xFF) << 2));
    Store16(p + 2, static_cast<std::uint16_t>(((packed >> 8) & 0xFF) << 2));
    Store16(p + 4, static_cast<std::uint16_t>(((packed >> 16) & 0xFF) << 2));
  } else {
    p[0] = static_cast<std::uint8_t>(packed);
    p[1] = static_cast<std::uint8_t>(packed >> 8);
    p[2] = static_cast<std::uint8_t>(packed >> 16);
  }
}

const HueSaturationRecord& RecordOf(const KernelCall& call) {
  return call.RecordAs<const HueSaturationRecord>();
}

template <bool kWide>
std::int32_t HueSaturationReference(ORVEX_FILTER_KERNEL_PARAMS) {
  (void)spare;
  KernelCall call;
  const CallState state = DecodeFilterCall(
      kWide ? FilterVariant::kColor16 : FilterVariant::kColor8, destination, source, region, x, y,
      destinationBytes, sourceBytes, destinationStride, sourceStride, parameter, &call);
  if (state != CallState::kReady) return ResultOf(state);
  const HueSaturationRecord record = RecordOf(call);
  for (std::int32_t j = 0; j < call.height; ++j) {
    const std::uint8_t* s = call.SourceRow(j);
    std::uint8_t* d = call.DestinationRow(j);
    for (std::int32_t i = 0; i < call.width; ++i) {
      int red, green, blue;
      ReadPixel<kWide>(s + static_cast<std::ptrdiff_t>(i) * call.sourceBytes, &red, &green, &blue);
      WritePixel<kWide>(d + static_cast<std::ptrdiff_t>(i) * call.destinationBytes,
                        HueSaturationPixel_C(red, green, blue, record));
    }
  }
  return 1;
}

// ---- Plain fast form (the AVX2 one is in hue_saturation_avx2.cpp) -------------------------

template <bool kWide>
void Rows_C(const KernelCall& call, const HueSaturationOffsets& offsets) {
  for (std::int32_t j = 0; j < call.height; ++j) {
    const std::uint8_t* s = call.SourceRow(j);
    std::uint8_t* d = call.DestinationRow(j);
    for (std::int32_t i = 0; i < call.width; ++i) {
      int red, green, blue;
      ReadPixel<kWide>(s + static_cast<std::ptrdiff_t>(i) * call.sourceBytes, &red, &green, &blue);
      WritePixel<kWide>(d + static_cast<std::ptrdiff_t>(i) * call.destinationBytes,
                        HueSaturationPixel(red, green, blue, offsets));
    }
  }
}

template <bool kWide>
std::int32_t RunRows(const KernelCall& call) {
  const HueSaturationOffsets offsets = NormaliseOffsets(RecordOf(call));
#if ORVEX_X86
  if (TestCpuFeature(kCpuHasAvx2) && call.destinationBytes == call.sourceBytes &&
      ClassifyLayout(call) != Layout::kOverlap && HueSaturationRows_AVX2(call, offsets, kWide)) {
    return 1;
  }
#endif
  // Pixel by pixel in the reference's order, so that even overlapping regions agree.
  Rows_C<kWide>(call, offsets);
  return 1;
}

}  // namespace

std::uint32_t HueSaturationPixel_C(int red, int green, int blue,
                                   const HueSaturationRecord& record) {
  const int mx = std::max({red, green, blue});
  const int mn = std::min({red, green, blue});
  const int lightness = (mx + mn) >> 1;
  int saturation = 0;
  int hue = 0;
  if (mx != mn) {
    const int d = mx - mn;
    saturation = lightness < 128 ? d * 255 / (mx + mn) : d * 255 / (510 - mx - mn);
    if (red == mx) {
      hue = ((green - blue) * 64) / d;
    } else if (green == mx) {
      hue = ((blue - red) * 64) / d + 120;
    } else {
      hue = ((red - green) * 64) / d + 240;
    }
    if (hue < 0) {
      hue += 360;
    } else if (hue >= 360) {
      hue -= 360;
    }
  }
  // 64 bits: the offsets may be any 32-bit values.
  const std::int64_t h2 = hue + std::int64_t{record.hueOffset};
  const std::int64_t l2 = lightness + std::int64_t{record.lightnessOffset};
  std::int64_t s2 = saturation + std::int64_t{record.saturationOffset};
  if (s2 <= 0) {
    const std::int64_t v = Clamp255(l2);
    return Pack(v, v, v);
  }
  s2 = std::min<std::int64_t>(s2, 255);
  const std::int64_t m2 = l2 < 128 ? ((s2 + 255) * l2) >> 8 : s2 + l2 - ((s2 * l2) >> 8);
  const std::int64_t m1 = 2 * l2 - m2;
  return Pack(Clamp255(RuleValue(m1, m2, h2 + 120)), Clamp255(RuleValue(m1, m2, h2)),
              Clamp255(RuleValue(m1, m2, h2 - 120)));
}

HueSaturationOffsets NormaliseOffsets(const HueSaturationRecord& record) {
  // Hue: from 360 on every angle is positive, so only the offset modulo 360 matters; at -720
  // and below every angle is negative and each channel is m1.
  std::int32_t hue = record.hueOffset;
  if (hue >= 720) hue = 360 + hue % 360;
  if (hue < -720) hue = -720;
  // Lightness beyond +-512 already drives every channel to 255 or 0; saturation beyond +-512
  // already makes S' at least 255 or at most 0.
  return {hue, std::clamp(record.lightnessOffset, -512, 512),
          std::clamp(record.saturationOffset, -512, 512)};
}

int DivideByReciprocal(int n, int d) {
  return static_cast<int>((static_cast<std::uint64_t>(n) * kReciprocals[d]) >> 32);
}

std::uint32_t HueSaturationPixel(int red, int green, int blue,
                                 const HueSaturationOffsets& offsets) {
  const int mx = std::max({red, green, blue});
  const int mn = std::min({red, green, blue});
  const int sum = mx + mn;
  const int lightness = sum >> 1;
  const int d = mx - mn;
  int saturation = 0;
  int hue = 0;
  if (d != 0) {
    saturation = DivideByReciprocal(d * 255, lightness < 128 ? sum : 510 - sum);
    int numerator, sector;
    if (red == mx) {
      numerator = green - blue;
      sector = 0;
    } else if (green == mx) {
      numerator = blue - red;
      sector = 120;
    } else {
      numerator = red - green;
      sector = 240;
    }
    const int q = DivideByReciprocal((numerator < 0 ? -numerator : numerator) * 64, d);
    hue = (numerator < 0 ? -q : q) + sector;
    if (hue < 0) hue += 360;
  }
  const int h2 = hue + offsets.hue;
  const int l2 = lightness + offsets.lightness;
  const int s2 = saturation + offsets.saturation;
  if (s2 <= 0) {
    const int v = std::clamp(l2, 0, 255);
    return Pack(v, v, v);
  }
  const int s3 = std::min(s2, 255);
  const int m2 = l2 < 128 ? ((s3 + 255) * l2) >> 8 : s3 + l2 - ((s3 * l2) >> 8);
  const int m1 = 2 * l2 - m2;
  auto channel = [&](int angle) {
    return std::clamp(m1 + (((m2 - m1) * Weight(angle)) >> 6), 0, 255);
  };
  return Pack(channel(h2 + 120), channel(h2), channel(h2 - 120));
}

void HueSaturationRow(std::uint8_t* row, std::int32_t pixels, std::int32_t pixelBytes, bool wide,
                      const HueSaturationOffsets& offsets) {
  const KernelCall call = InPlaceRow(row, pixels, pixelBytes);
#if ORVEX_X86
  if (TestCpuFeature(kCpuHasAvx2) && HueSaturationRows_AVX2(call, offsets, wide)) return;
#endif
  if (wide) {
    Rows_C<true>(call, offsets);
  } else {
    Rows_C<false>(call, offsets);
  }
}

std::int32_t HueSaturationColor8_C(ORVEX_FILTER_KERNEL_PARAMS) {
  return HueSaturationReference<false>(ORVEX_FILTER_KERNEL_ARGS);
}
std::int32_t HueSaturationColor16_C(ORVEX_FILTER_KERNEL_PARAMS) {
  return HueSaturationReference<true>(ORVEX_FILTER_KERNEL_ARGS);
}

std::int32_t RunHueSaturation(FilterVariant variant, const KernelCall& call) {
  if (variant == FilterVariant::kColor16) return RunRows<true>(call);
  if (variant == FilterVariant::kColor8) return RunRows<false>(call);
  return 0;
}

}  // namespace orvex::filters
