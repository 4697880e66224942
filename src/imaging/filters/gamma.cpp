// Gamma: a table from the exponent's curve, searched in log10 steps, then a table mapping.

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <new>

#include "base/double_precision.h"
#include "imaging/filters/filter_common.h"
#include "imaging/filters/filter_kernels.h"

namespace orvex::filters {
namespace {

// clang does not evaluate maths built-ins in constant expressions; its one build here is the
// fuzzer's, on Linux, where glibc computes the same table once at start-up.
#if defined(__clang__)
#define ORVEX_MATH_TABLE const
#define ORVEX_MATH_TABLE_FUNCTION inline
#else
#define ORVEX_MATH_TABLE constexpr
#define ORVEX_MATH_TABLE_FUNCTION constexpr
#endif

// log10(k) for k = 1 .. 1024, correctly rounded, computed by the compiler: the same values on
// every target whatever its maths library (the tables come out as with glibc's log10, whose
// few values a unit off the correctly rounded ones never change an entry).
ORVEX_MATH_TABLE_FUNCTION std::array<double, kMax16 + 2> MakeLog10Table() {
  std::array<double, kMax16 + 2> lg{};
  for (int k = 1; k <= kMax16 + 1; ++k) lg[k] = __builtin_log10(static_cast<double>(k));
  return lg;
}

ORVEX_MATH_TABLE std::array<double, kMax16 + 2> kLog10 = MakeLog10Table();

template <class Entry>
void BuildGammaTableAtDoublePrecision(std::int32_t gamma, int full, Entry* table,
                                      bool linearSearch) {
  const double e = GammaExponent(gamma);
  const std::array<double, kMax16 + 2>& lg = kLog10;
  bool ascending = true;
  for (int k = 2; k <= full + 1; ++k) {
    if (lg[k] < lg[k - 1]) ascending = false;
  }
  const double logFull = lg[full];
  table[0] = 0;
  for (int i = 1; i <= full; ++i) {
    const double m = AsDouble(logFull + AsDouble(e * AsDouble(lg[i] - logFull)));
    if (m < 0) {
      table[i] = 1;
      continue;
    }
    // The first o = 2 .. N - 1 with log10(o - 1) <= m <= log10(o + 1), else N.
    int entry = full;
    if (ascending && !linearSearch) {
      // With ascending logarithms the o meeting the right-hand test form a tail and those
      // meeting the left-hand one a head, so the first o of the tail decides.
      const double* tail = std::lower_bound(&lg[3], &lg[full] + 1, m);
      if (tail != &lg[full] + 1) {
        const int o = static_cast<int>(tail - &lg[0]) - 1;
        if (lg[o - 1] <= m) entry = o;
      }
    } else {
      for (int o = 2; o <= full - 1; ++o) {
        if (lg[o - 1] <= m && m <= lg[o + 1]) {
          entry = o;
          break;
        }
      }
    }
    table[i] = static_cast<Entry>(entry);
  }
}

template <class Entry>
void BuildGammaTable(std::int32_t gamma, int full, Entry* table, bool linearSearch) {
  WithDoublePrecision([&] { BuildGammaTableAtDoublePrecision(gamma, full, table, linearSearch); });
}

// The table depends on the setting alone, and building it takes up to a millisecond, so each
// setting's table is built once and published for every thread. Tables live for the process.
template <class Entry, int kFull>
class GammaCache {
 public:
  static constexpr std::int32_t kSettings = 201;  // the setter's range 0..200

  // The table of `gamma`, or null outside the setter's range or when memory is short.
  const Entry* Find(std::int32_t gamma) {
    if (gamma < 0 || gamma >= kSettings) return nullptr;
    std::atomic<const Entry*>& slot = slots_[gamma];
    const Entry* table = slot.load(std::memory_order_acquire);
    if (table != nullptr) return table;
    Entry* built = new (std::nothrow) Entry[kFull + 1];
    if (built == nullptr) return nullptr;
    BuildGammaTable(gamma, kFull, built, false);
    const Entry* expected = nullptr;
    if (slot.compare_exchange_strong(expected, built, std::memory_order_acq_rel,
                                     std::memory_order_acquire)) {
      return built;
    }
    delete[] built;  // another thread published the same table first
    return expected;
  }

 private:
  std::array<std::atomic<const Entry*>, kSettings> slots_{};
};

GammaCache<std::uint8_t, 255>& Cache8() {
  static GammaCache<std::uint8_t, 255> cache;
  return cache;
}

GammaCache<std::uint16_t, kMax16>& Cache16() {
  static GammaCache<std::uint16_t, kMax16> cache;
  return cache;
}

std::int32_t GammaReference(FilterVariant variant, ORVEX_FILTER_KERNEL_PARAMS) {
  (void)spare;
  KernelCall call;
  const CallState state =
      DecodeFilterCall(variant, destination, source, region, x, y, destinationBytes, sourceBytes,
                       destinationStride, sourceStride, parameter, &call);
  if (state != CallState::kReady) return ResultOf(state);
  if (IsWide(variant)) {
    std::uint16_t table[kMax16 + 1];
    BuildGammaTable16(call.Setting(), table);
    MapTable16_C(call, table, ChannelsOf(variant));
  } else {
    std::uint8_t table[256];
    BuildGammaTable8(call.Setting(), table);
    MapTable8_C(call, table, ChannelsOf(variant));
  }
  return 1;
}

}  // namespace

double GammaExponent(std::int32_t gamma) {
  return WithDoublePrecision([gamma] {
    double e =
        gamma <= 100 ? AsDouble(gamma * 0.01) : AsDouble(AsDouble((gamma - 100) * 0.1) + 1.0);
    if (e <= 0.001) e = 0.001;
    if (e >= 99.999) e = 99.999;
    return e;
  });
}

void BuildGammaTable8(std::int32_t gamma, std::uint8_t* table, bool linearSearch) {
  BuildGammaTable(gamma, 255, table, linearSearch);
}

void BuildGammaTable16(std::int32_t gamma, std::uint16_t* table, bool linearSearch) {
  BuildGammaTable(gamma, kMax16, table, linearSearch);
}

std::int32_t GammaGray8_C(ORVEX_FILTER_KERNEL_PARAMS) {
  return GammaReference(FilterVariant::kGray8, ORVEX_FILTER_KERNEL_ARGS);
}
std::int32_t GammaGray16_C(ORVEX_FILTER_KERNEL_PARAMS) {
  return GammaReference(FilterVariant::kGray16, ORVEX_FILTER_KERNEL_ARGS);
}
std::int32_t GammaColor8_C(ORVEX_FILTER_KERNEL_PARAMS) {
  return GammaReference(FilterVariant::kColor8, ORVEX_FILTER_KERNEL_ARGS);
}
std::int32_t GammaColor16_C(ORVEX_FILTER_KERNEL_PARAMS) {
  return GammaReference(FilterVariant::kColor16, ORVEX_FILTER_KERNEL_ARGS);
}

std::int32_t RunGamma(FilterVariant variant, const KernelCall& call) {
  const std::int32_t gamma = call.Setting();
  if (IsWide(variant)) {
    const std::uint16_t* table = Cache16().Find(gamma);
    std::uint16_t local[kMax16 + 1];
    if (table == nullptr) {
      BuildGammaTable16(gamma, local);
      table = local;
    }
    MapTable16(call, table, ChannelsOf(variant));
  } else {
    const std::uint8_t* table = Cache8().Find(gamma);
    std::uint8_t local[256];
    if (table == nullptr) {
      BuildGammaTable8(gamma, local);
      table = local;
    }
    MapTable8(call, table, ChannelsOf(variant));
  }
  return 1;
}

}  // namespace orvex::filters
