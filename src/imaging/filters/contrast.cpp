// Contrast: a straight line through the middle, clipped at both ends, as a table.

#include <cmath>
#include <cstdint>

#include "base/double_precision.h"
#include "imaging/filters/filter_common.h"
#include "imaging/filters/filter_kernels.h"

namespace orvex::filters {
namespace {

// Entries are 0 below c, full scale above full - c and trunc(full+1 / (2 x (half - c)) x (i - c))
// between. Settings far outside the setter's range are computed in 64 bits rather than
// overflowing; every entry then still lies within 0..full.
template <class Entry>
void BuildContrastTableAtDoublePrecision(std::int64_t c, int full, Entry* table) {
  const std::int64_t half = (full + 1) / 2;
  const double slope =
      AsDouble(static_cast<double>(full + 1) / static_cast<double>(2 * (half - c)));
  for (int i = 0; i <= full; ++i) {
    int entry;
    if (i < c) {
      entry = 0;
    } else if (i > full - c) {
      entry = full;
    } else {
      const double v = std::trunc(AsDouble(slope * static_cast<double>(i - c)));
      entry = v <= 0 ? 0 : v >= full ? full : static_cast<int>(v);
    }
    table[i] = static_cast<Entry>(entry);
  }
}

template <class Entry>
void BuildContrastTable(std::int64_t c, int full, Entry* table) {
  WithDoublePrecision([&] { BuildContrastTableAtDoublePrecision(c, full, table); });
}

std::int32_t ContrastReference(FilterVariant variant, ORVEX_FILTER_KERNEL_PARAMS) {
  (void)spare;
  KernelCall call;
  const CallState state =
      DecodeFilterCall(variant, destination, source, region, x, y, destinationBytes, sourceBytes,
                       destinationStride, sourceStride, parameter, &call);
  if (state != CallState::kReady) return ResultOf(state);
  if (IsWide(variant)) {
    std::uint16_t table[kMax16 + 1];
    BuildContrastTable16(call.Setting(), table);
    MapTable16_C(call, table, ChannelsOf(variant));
  } else {
    std::uint8_t table[256];
    BuildContrastTable8(call.Setting(), table);
    MapTable8_C(call, table, ChannelsOf(variant));
  }
  return 1;
}

}  // namespace

void BuildContrastTable8(std::int32_t contrast, std::uint8_t* table) {
  BuildContrastTable(contrast, 255, table);
}

void BuildContrastTable16(std::int32_t contrast, std::uint16_t* table) {
  BuildContrastTable(std::int64_t{4} * contrast, kMax16, table);
}

std::int32_t ContrastGray8_C(ORVEX_FILTER_KERNEL_PARAMS) {
  return ContrastReference(FilterVariant::kGray8, ORVEX_FILTER_KERNEL_ARGS);
}
std::int32_t ContrastGray16_C(ORVEX_FILTER_KERNEL_PARAMS) {
  return ContrastReference(FilterVariant::kGray16, ORVEX_FILTER_KERNEL_ARGS);
}
std::int32_t ContrastColor8_C(ORVEX_FILTER_KERNEL_PARAMS) {
  return ContrastReference(FilterVariant::kColor8, ORVEX_FILTER_KERNEL_ARGS);
}
std::int32_t ContrastColor16_C(ORVEX_FILTER_KERNEL_PARAMS) {
  return ContrastReference(FilterVariant::kColor16, ORVEX_FILTER_KERNEL_ARGS);
}

std::int32_t RunContrast(FilterVariant variant, const KernelCall& call) {
  if (IsWide(variant)) {
    std::uint16_t table[kMax16 + 1];
    BuildContrastTable16(call.Setting(), table);
    MapTable16(call, table, ChannelsOf(variant));
  } else {
    std::uint8_t table[256];
    BuildContrastTable8(call.Setting(), table);
    MapTable8(call, table, ChannelsOf(variant));
  }
  return 1;
}

}  // namespace orvex::filters
