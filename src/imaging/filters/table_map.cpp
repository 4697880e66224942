// Mapping samples through a lookup table: the loop that gamma, contrast and brightness share.

#include "imaging/filters/table_map.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

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

void MakeShuffleTable(const std::uint8_t* table, ShuffleTable* t) {
  for (int k = 0; k < 8; ++k) {
    for (int b = 0; b < 16; ++b) {
      const std::uint8_t lo =
          static_cast<std::uint8_t>(table[16 * k + b] ^ (k > 0 ? table[16 * (k - 1) + b] : 0));
      const std::uint8_t hi = static_cast<std::uint8_t>(
          table[128 + 16 * k + b] ^ (k > 0 ? table[128 + 16 * (k - 1) + b] : 0));
      t->lower[k][b] = t->lower[k][b + 16] = lo;
      t->upper[k][b] = t->upper[k][b + 16] = hi;
    }
  }
}

void ByteTableMap::Prepare(const std::uint8_t* table) {
  std::memcpy(table_, table, sizeof table_);
  form_ = Form::kPlain;
#if ORVEX_X86
  if (TestCpuFeature(kCpuHasAvx512)) {
    form_ = Form::kAvx512;
  } else if (TestCpuFeature(kCpuHasAvx2)) {
    form_ = Form::kAvx2;
    MakeShuffleTable(table_, &shuffle_);
  }
#endif
}

void ByteTableMap::MapRow(std::uint8_t* d, const std::uint8_t* s, std::size_t pixels,
                          int pixelBytes) const {
  const bool bgrx = pixelBytes == 4;
  const std::size_t n = pixels * static_cast<std::size_t>(pixelBytes);
  switch (form_) {
#if ORVEX_X86
    case Form::kAvx512:
      if (bgrx) {
        LookupBgrx_AVX512(d, s, pixels, table_);
      } else {
        LookupRun_AVX512(d, s, n, table_);
      }
      return;
    case Form::kAvx2:
      if (bgrx) {
        LookupBgrx_AVX2(d, s, pixels, table_, shuffle_);
      } else {
        LookupRun_AVX2(d, s, n, table_, shuffle_);
      }
      return;
#endif
    default:
      if (bgrx) {
        LookupBgrx_C(d, s, pixels, table_);
      } else {
        LookupRun_C(d, s, n, table_);
      }
  }
}

void WordTableMap::Prepare(const std::uint16_t* table) {
  std::memcpy(table_, table, sizeof table_);
  avx2_ = ORVEX_X86 && TestCpuFeature(kCpuHasAvx2);
  if (avx2_) {
    for (int i = 0; i <= kMax16; ++i) wide_[i] = table_[i];
  }
}

void WordTableMap::MapRow(std::uint8_t* d, const std::uint8_t* s, std::size_t pixels,
                          int pixelBytes) const {
  const bool bgrx = pixelBytes == 8;
#if ORVEX_X86
  // Gathers pay where every word is a sample; with a fourth word to keep, the plain loop wins.
  if (avx2_ && !bgrx) {
    Lookup16Run_AVX2(d, s, pixels * static_cast<std::size_t>(pixelBytes / 2), table_, wide_);
    return;
  }
#endif
  if (bgrx) {
    Lookup16Bgrx_C(d, s, pixels, table_);
  } else {
    Lookup16Run_C(d, s, pixels * static_cast<std::size_t>(pixelBytes / 2), table_);
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
  ByteTableMap map;
  map.Prepare(table);
  const std::size_t rowBytes = static_cast<std::size_t>(call.width) * bytes;
  ForEachRun(call, rowBytes, [&](std::uint8_t* d, const std::uint8_t* s, std::size_t n) {
    map.MapRow(d, s, n / static_cast<std::size_t>(bytes), bytes);
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
  WordTableMap map;
  map.Prepare(table);
  const std::size_t rowBytes = static_cast<std::size_t>(call.width) * bytes;
  ForEachRun(call, rowBytes, [&](std::uint8_t* d, const std::uint8_t* s, std::size_t n) {
    map.MapRow(d, s, n / static_cast<std::size_t>(bytes), bytes);
  });
}

}  // namespace orvex::filters
