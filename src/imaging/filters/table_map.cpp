// Mapping samples through a lookup table: the loop that gamma, contrast and brightness share.

#include "imaging/filters/table_map.h"

#include <algorithm>
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

namespace {

// A word table's entries at the multiples of 4 as low bytes, the high byte of quarter 0 and the
// quarters where the high byte steps up; false when it falls or passes 3.
bool SplitQuarters(const std::uint16_t* table, std::uint8_t low[256], std::uint8_t* base,
                   std::int8_t steps[3]) {
  int high = table[0] >> 8;
  if (high > 3) return false;
  *base = static_cast<std::uint8_t>(high);
  for (int k = 0; k < 3; ++k) steps[k] = 127;
  for (int c = 0; c < 256; ++c) {
    const int entry = table[4 * c];
    low[c] = static_cast<std::uint8_t>(entry & 0xFF);
    const int h = entry >> 8;
    if (h < high || h > 3) return false;
    // Quarter c is the first at high byte h: it passes the steps from high + 1 to h.
    for (; high < h; ++high) steps[high - *base] = static_cast<std::int8_t>(c - 129);
  }
  return true;
}

bool HasQuarterForm(const std::uint16_t* table) {
  std::uint8_t low[256], base;
  std::int8_t steps[3];
  return SplitQuarters(table, low, &base, steps);
}

}  // namespace

void MakeSteppedTable(const std::uint8_t* table, SteppedTable* t) {
  for (int k = 0; k < 8; ++k) {
    for (int b = 0; b < 16; ++b) {
      const std::uint8_t lo =
          static_cast<std::uint8_t>(table[16 * k + b] ^ (k > 0 ? table[16 * (k - 1) + b] : 0));
      const std::uint8_t hi = static_cast<std::uint8_t>(
          table[128 + 16 * k + b] ^ (k < 7 ? table[128 + 16 * (k + 1) + b] : 0));
      t->lower[k][b] = t->lower[k][b + 16] = lo;
      t->upper[k][b] = t->upper[k][b + 16] = hi;
    }
  }
}

bool MakeSteppedQuarterTable(const std::uint16_t* table, SteppedTable* t) {
  std::uint8_t low[256];
  if (!SplitQuarters(table, low, &t->base, t->steps)) return false;
  MakeSteppedTable(low, t);
  return true;
}

int LineEntry(const LineForm& f, int v, int full) {
  const std::int64_t moved = std::max(v + f.add - f.sub, 0);
  const std::int64_t r = (moved * f.multiplier) >> f.shift;
  return r >= full ? full : static_cast<int>(r);
}

namespace {

template <class Entry>
std::int64_t LeastMultiplierOf(const Entry* table, int n, int full, int c, int q,
                               std::int64_t maxM) {
  std::int64_t lo = 0, hi = maxM;
  for (int v = std::max(c + 1, 0); v < n; ++v) {
    const std::int64_t moved = v - c;
    const std::int64_t e = table[v];
    lo = std::max(lo, ((e << q) + moved - 1) / moved);
    if (e < full) hi = std::min(hi, (((e + 1) << q) - 1) / moved);
    if (lo > hi) return -1;
  }
  return lo;
}

}  // namespace

std::int64_t LeastLineMultiplier(const std::uint8_t* table, int n, int full, int c, int q,
                                 std::int64_t maxM) {
  return LeastMultiplierOf(table, n, full, c, q, maxM);
}

std::int64_t LeastLineMultiplier(const std::uint16_t* table, int n, int full, int c, int q,
                                 std::int64_t maxM) {
  return LeastMultiplierOf(table, n, full, c, q, maxM);
}

namespace {

// Where the line may leave zero: 0 (brightness); one before the end of the leading zeros (a
// contrast steeper than 1, whose first step is at least 1); or, for a line that starts above
// zero, around where it would cross zero.
template <class Entry>
int LineOrigins(const Entry* table, int n, int full, int origins[8]) {
  int count = 0;
  origins[count++] = 0;
  int zeros = 0;
  while (zeros < n && table[zeros] == 0) ++zeros;
  if (zeros >= 2 && zeros < n) origins[count++] = zeros - 1;
  if (table[0] > 0) {
    int last = n - 1;
    while (last > 0 && table[last] >= full) --last;
    if (last > 0 && table[last] > table[0]) {
      const double slope = static_cast<double>(table[last] - table[0]) / last;
      const int estimate = static_cast<int>(-static_cast<double>(table[0]) / slope);
      for (int d = -3; d <= 2 && count < 8; ++d) {
        if (estimate + d < 0 && estimate + d > -n) origins[count++] = estimate + d;
      }
    }
  }
  return count;
}

template <class Entry>
bool Verified(const Entry* table, int n, int full, const LineForm& f) {
  for (int v = 0; v < n; ++v) {
    if (LineEntry(f, v, full) != table[v]) return false;
  }
  return true;
}

// The line through origin c with the largest q in [qLow, qHigh] whose multiplier stays within
// maxM, if one gives every entry. A line that fits at q fits at q + 1 too (twice the
// multiplier), so only the largest q the multiplier allows need be tried; the first entry above
// zero tells which that is, up to the rounding the next q down covers.
template <class Entry>
bool FitLine(const Entry* table, int n, int full, int c, int qLow, int qHigh, std::int64_t maxM,
             LineForm* form) {
  for (int v = 0; v <= c && v < n; ++v) {
    if (table[v] != 0) return false;
  }
  int q = qHigh;
  for (int v = std::max(c + 1, 0); v < n; ++v) {
    if (table[v] == 0) continue;
    const std::int64_t moved = v - c;
    while (q > qLow && (std::int64_t{table[v]} << q) > maxM * moved) --q;
    break;
  }
  for (int tries = 0; tries < 2 && q >= qLow; ++tries, --q) {
    const std::int64_t m = LeastLineMultiplier(table, n, full, c, q, maxM);
    if (m < 0) continue;
    form->add = static_cast<std::uint16_t>(c < 0 ? -c : 0);
    form->sub = static_cast<std::uint16_t>(c > 0 ? c : 0);
    form->multiplier = static_cast<std::uint32_t>(m);
    form->shift = q;
    return Verified(table, n, full, *form);
  }
  return false;
}

}  // namespace

bool FindLine8(const std::uint8_t* table, LineForm* form) {
  int origins[8];
  const int count = LineOrigins(table, 256, 255, origins);
  for (int k = 0; k < count; ++k) {
    const int c = origins[k];
    // 16-bit lanes: v' << (16 - q), times M, high half; v' << (16 - q) kept below 2^15.
    int qLow = 8;
    while ((255 - c) << (16 - qLow) > 32767) ++qLow;
    form->wideLanes = false;
    if (FitLine(table, 256, 255, c, qLow, 16, 65535, form)) return true;
  }
  return false;
}

bool FindLine16(const std::uint16_t* table, LineForm* form) {
  int origins[8];
  const int count = LineOrigins(table, kMax16 + 1, kMax16, origins);
  for (int k = 0; k < count; ++k) {
    const int c = origins[k];
    const std::int64_t top = kMax16 - c;  // the largest v'
    // 16-bit lanes as for bytes (v' << (16 - q) below 2^16, the high half limited after), else
    // 32-bit lanes with v' x M below 2^31.
    int qLow = 0;
    while ((top << (16 - qLow)) > 65535) ++qLow;
    form->wideLanes = false;
    if (FitLine(table, kMax16 + 1, kMax16, c, qLow, 16, 65535, form)) return true;
    form->wideLanes = true;
    if (FitLine(table, kMax16 + 1, kMax16, c, 1, 30, INT32_MAX / top, form)) return true;
  }
  return false;
}

void ByteTableMap::Prepare(const std::uint8_t* table) {
  std::memcpy(table_, table, sizeof table_);
  form_ = Form::kPlain;
#if ORVEX_X86
  if (TestCpuFeature(kCpuHasAvx512)) {
    form_ = Form::kAvx512;
  } else if (TestCpuFeature(kCpuHasAvx2)) {
    if (FindLine8(table_, &line_)) {
      form_ = Form::kLineAvx2;
    } else {
      form_ = Form::kAvx2;
      MakeShuffleTable(table_, &shuffle_);
    }
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
    case Form::kLineAvx2:
      LineBytes_AVX2(d, s, n, bgrx, line_, table_);
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
  line_ = avx2_ && FindLine16(table_, &form_);
  quarter_ = avx2_ && !line_ && HasQuarterForm(table_);
}

void WordTableMap::MapRow(std::uint8_t* d, const std::uint8_t* s, std::size_t pixels,
                          int pixelBytes) const {
  const bool bgrx = pixelBytes == 8;
#if ORVEX_X86
  if (line_) {
    LineWords_AVX2(d, s, pixels * static_cast<std::size_t>(pixelBytes / 2), bgrx, form_, table_);
    return;
  }
  if (avx2_) {
    if (bgrx) {
      Lookup16Bgrx_AVX2(d, s, pixels, table_);
    } else {
      Lookup16Run_AVX2(d, s, pixels * static_cast<std::size_t>(pixelBytes / 2), table_);
    }
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
