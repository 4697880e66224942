// Mapping samples through a lookup table: the loop that gamma, contrast and brightness share.

#include "imaging/filters/table_map.h"

#include <cstddef>
#include <cstdint>

#include "base/cpu_features.h"
#include "imaging/filters/filter_common.h"
#include "imaging/filters/filter_kernels.h"

namespace orvex::filters {

void LookupRun_C(std::uint8_t* d, const std::uint8_t* s, std::size_t n, const std::uint8_t* table) {
  for (std::size_t i = 0; i < n; ++i) d[i] = table[s[i]];
}

void LookupBgrx_C(std::uint8_t* d, const std::uint8_t* s, std::size_t pixels,
                  const std::uint8_t* table) {
  for (std::size_t i = 0; i < pixels; ++i, d += 4, s += 4) {
    d[0] = table[s[0]];
    d[1] = table[s[1]];
    d[2] = table[s[2]];
  }
}

void Lookup16Run_C(std::uint8_t* d, const std::uint8_t* s, std::size_t words,
                   const std::uint16_t* table) {
  for (std::size_t i = 0; i < words; ++i) Store16(d + 2 * i, table[Load10(s + 2 * i)]);
}

void Lookup16Bgrx_C(std::uint8_t* d, const std::uint8_t* s, std::size_t pixels,
                    const std::uint16_t* table) {
  for (std::size_t i = 0; i < pixels; ++i, d += 8, s += 8) {
    Store16(d, table[Load10(s)]);
    Store16(d + 2, table[Load10(s + 2)]);
    Store16(d + 4, table[Load10(s + 4)]);
  }
}

void MapTable8_C(const KernelCall& call, const std::uint8_t* table, int channels) {
  for (std::int32_t j = 0; j < call.height; ++j) {
    const std::uint8_t* s = call.SourceRow(j);
    std::uint8_t* d = call.DestinationRow(j);
    for (std::int32_t i = 0; i < call.width; ++i) {
      const std::uint8_t* sp = s + static_cast<std::ptrdiff_t>(i) * call.sourceBytes;
      std::uint8_t* dp = d + static_cast<std::ptrdiff_t>(i) * call.destinationBytes;
      for (int k = 0; k < channels; ++k) dp[k] = table[sp[k]];
    }
  }
}

void MapTable16_C(const KernelCall& call, const std::uint16_t* table, int channels) {
  for (std::int32_t j = 0; j < call.height; ++j) {
    const std::uint8_t* s = call.SourceRow(j);
    std::uint8_t* d = call.DestinationRow(j);
    for (std::int32_t i = 0; i < call.width; ++i) {
      const std::uint8_t* sp = s + static_cast<std::ptrdiff_t>(i) * call.sourceBytes;
      std::uint8_t* dp = d + static_cast<std::ptrdiff_t>(i) * call.destinationBytes;
      for (int k = 0; k < channels; ++k) Store16(dp + 2 * k, table[Load10(sp + 2 * k)]);
    }
  }
}

void MapTable8(const KernelCall& call, const std::uint8_t* table, int channels) {
  const std::int32_t bytes = call.sourceBytes;
  const bool whole = bytes == channels;  // every byte of the row is a channel
  const bool bgrx = channels == 3 && bytes == 4;
  if (call.destinationBytes != bytes || !(whole || bgrx) ||
      ClassifyLayout(call) == Layout::kOverlap) {
    MapTable8_C(call, table, channels);
    return;
  }
#if ORVEX_X86
  if (TestCpuFeature(kCpuHasAvx512)) {
    MapRuns8_AVX512(call, table, whole);
    return;
  }
  if (TestCpuFeature(kCpuHasAvx2)) {
    MapRuns8_AVX2(call, table, whole);
    return;
  }
#endif
  const std::size_t rowBytes = static_cast<std::size_t>(call.width) * bytes;
  ForEachRun(call, rowBytes, [&](std::uint8_t* d, const std::uint8_t* s, std::size_t n) {
    if (whole) {
      LookupRun_C(d, s, n, table);
    } else {
      LookupBgrx_C(d, s, n / 4, table);
    }
  });
}

void MapTable16(const KernelCall& call, const std::uint16_t* table, int channels) {
  const std::int32_t bytes = call.sourceBytes;
  const bool whole = bytes == 2 * channels;
  const bool bgrx = channels == 3 && bytes == 8;
  if (call.destinationBytes != bytes || !(whole || bgrx) ||
      ClassifyLayout(call) == Layout::kOverlap) {
    MapTable16_C(call, table, channels);
    return;
  }
#if ORVEX_X86
  // Gathers pay where every word is a sample; with a fourth word to keep, the plain loop wins.
  if (whole && TestCpuFeature(kCpuHasAvx2)) {
    MapRuns16_AVX2(call, table);
    return;
  }
#endif
  const std::size_t rowBytes = static_cast<std::size_t>(call.width) * bytes;
  ForEachRun(call, rowBytes, [&](std::uint8_t* d, const std::uint8_t* s, std::size_t n) {
    if (whole) {
      Lookup16Run_C(d, s, n / 2, table);
    } else {
      Lookup16Bgrx_C(d, s, n / 8, table);
    }
  });
}

}  // namespace orvex::filters
