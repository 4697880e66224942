// Mapping samples through a lookup table: the loop that gamma, contrast and brightness share.

#include <cstddef>
#include <cstdint>

#include "imaging/filters/filter_common.h"
#include "imaging/filters/filter_kernels.h"

#if ORVEX_FILTERS_X86
#include <immintrin.h>
#endif

namespace orvex::filters {
namespace {

// ---- 8-bit -------------------------------------------------------------------------------

void LookupRun_Plain(std::uint8_t* d, const std::uint8_t* s, std::size_t n,
                     const std::uint8_t* table) {
  for (std::size_t i = 0; i < n; ++i) d[i] = table[s[i]];
}

// Pixels of four bytes: the fourth byte of the destination is left as it is.
void LookupBgrx_Plain(std::uint8_t* d, const std::uint8_t* s, std::size_t pixels,
                      const std::uint8_t* table) {
  for (std::size_t i = 0; i < pixels; ++i, d += 4, s += 4) {
    d[0] = table[s[0]];
    d[1] = table[s[1]];
    d[2] = table[s[2]];
  }
}

#if ORVEX_FILTERS_X86

// A 256-entry byte table looked up with 16-entry byte shuffles, which yield zero where the
// index has its top bit set. For x < 128 the shuffle at index x - 16k fires exactly for
// k <= x / 16, so storing each segment XOR its predecessor makes the fired terms telescope to
// segment x / 16. The upper half is done the same way on x - 128, and x's top bit picks.
struct ShuffleTable {
  alignas(32) std::uint8_t lower[8][32];
  alignas(32) std::uint8_t upper[8][32];
};

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

struct ShuffleRegisters {
  __m256i lower[8];
  __m256i upper[8];
};

__attribute__((target("avx2"))) inline __m256i Lookup32(const ShuffleRegisters& r, __m256i x) {
  const __m256i sixteen = _mm256_set1_epi8(16);
  const __m256i half = _mm256_set1_epi8(static_cast<char>(0x80));
  __m256i index = x;
  __m256i lo = _mm256_shuffle_epi8(r.lower[0], index);
  __m256i hi = _mm256_shuffle_epi8(r.upper[0], _mm256_xor_si256(index, half));
  for (int k = 1; k < 8; ++k) {
    index = _mm256_sub_epi8(index, sixteen);
    lo = _mm256_xor_si256(lo, _mm256_shuffle_epi8(r.lower[k], index));
    hi = _mm256_xor_si256(hi, _mm256_shuffle_epi8(r.upper[k], _mm256_xor_si256(index, half)));
  }
  return _mm256_blendv_epi8(lo, hi, x);
}

__attribute__((target("avx2"))) void LoadShuffle(const ShuffleTable& t, ShuffleRegisters* r) {
  for (int k = 0; k < 8; ++k) {
    r->lower[k] = _mm256_load_si256(reinterpret_cast<const __m256i*>(t.lower[k]));
    r->upper[k] = _mm256_load_si256(reinterpret_cast<const __m256i*>(t.upper[k]));
  }
}

__attribute__((target("avx2"))) void LookupRun_AVX2(std::uint8_t* d, const std::uint8_t* s,
                                                    std::size_t n, const std::uint8_t* table,
                                                    const ShuffleTable& t) {
  ShuffleRegisters r;
  LoadShuffle(t, &r);
  std::size_t i = 0;
  for (; i + 32 <= n; i += 32) {
    const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + i));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + i), Lookup32(r, x));
  }
  LookupRun_Plain(d + i, s + i, n - i, table);
}

__attribute__((target("avx2"))) void LookupBgrx_AVX2(std::uint8_t* d, const std::uint8_t* s,
                                                     std::size_t pixels, const std::uint8_t* table,
                                                     const ShuffleTable& t) {
  ShuffleRegisters r;
  LoadShuffle(t, &r);
  const __m256i fourth = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
  std::size_t i = 0;
  for (; i + 8 <= pixels; i += 8) {
    const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + 4 * i));
    const __m256i kept = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(d + 4 * i));
    const __m256i mapped = Lookup32(r, x);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + 4 * i),
                        _mm256_blendv_epi8(mapped, kept, fourth));
  }
  LookupBgrx_Plain(d + 4 * i, s + 4 * i, pixels - i, table);
}

// With byte permutes across four registers the whole table is two permutes and a blend.
#define ORVEX_AVX512 __attribute__((target("avx512f,avx512bw,avx512vbmi")))

struct PermuteTable {
  __m512i t0, t1, t2, t3;
};

ORVEX_AVX512 inline __m512i Lookup64(const PermuteTable& p, __m512i x) {
  const __m512i lo = _mm512_permutex2var_epi8(p.t0, x, p.t1);
  const __m512i hi = _mm512_permutex2var_epi8(p.t2, x, p.t3);
  return _mm512_mask_blend_epi8(_mm512_movepi8_mask(x), lo, hi);
}

ORVEX_AVX512 void LoadPermute(const std::uint8_t* table, PermuteTable* p) {
  p->t0 = _mm512_loadu_si512(table);
  p->t1 = _mm512_loadu_si512(table + 64);
  p->t2 = _mm512_loadu_si512(table + 128);
  p->t3 = _mm512_loadu_si512(table + 192);
}

ORVEX_AVX512 void LookupRun_AVX512(std::uint8_t* d, const std::uint8_t* s, std::size_t n,
                                   const std::uint8_t* table) {
  PermuteTable p;
  LoadPermute(table, &p);
  std::size_t i = 0;
  for (; i + 64 <= n; i += 64) {
    _mm512_storeu_si512(d + i, Lookup64(p, _mm512_loadu_si512(s + i)));
  }
  if (i < n) {
    const __mmask64 m = ~std::uint64_t{0} >> (64 - (n - i));
    _mm512_mask_storeu_epi8(d + i, m, Lookup64(p, _mm512_maskz_loadu_epi8(m, s + i)));
  }
}

ORVEX_AVX512 void LookupBgrx_AVX512(std::uint8_t* d, const std::uint8_t* s, std::size_t pixels,
                                    const std::uint8_t* table) {
  PermuteTable p;
  LoadPermute(table, &p);
  const __mmask64 colour = 0x7777777777777777ull;
  const std::size_t n = 4 * pixels;
  std::size_t i = 0;
  for (; i + 64 <= n; i += 64) {
    _mm512_mask_storeu_epi8(d + i, colour, Lookup64(p, _mm512_loadu_si512(s + i)));
  }
  if (i < n) {
    const __mmask64 m = ~std::uint64_t{0} >> (64 - (n - i));
    _mm512_mask_storeu_epi8(d + i, m & colour, Lookup64(p, _mm512_maskz_loadu_epi8(m, s + i)));
  }
}

#endif  // ORVEX_FILTERS_X86

// ---- 16-bit ------------------------------------------------------------------------------

void Lookup16Run_Plain(std::uint8_t* d, const std::uint8_t* s, std::size_t words,
                       const std::uint16_t* table) {
  for (std::size_t i = 0; i < words; ++i) Store16(d + 2 * i, table[Load10(s + 2 * i)]);
}

void Lookup16Bgrx_Plain(std::uint8_t* d, const std::uint8_t* s, std::size_t pixels,
                        const std::uint16_t* table) {
  for (std::size_t i = 0; i < pixels; ++i, d += 8, s += 8) {
    Store16(d, table[Load10(s)]);
    Store16(d + 2, table[Load10(s + 2)]);
    Store16(d + 4, table[Load10(s + 4)]);
  }
}

#if ORVEX_FILTERS_X86

// Sixteen words a step through gathers from the table widened to 32 bits (so that no gather
// reads past its entry); indices are clamped to 1023 first.
__attribute__((target("avx2"))) inline __m256i Lookup16x16(const std::uint8_t* s,
                                                           const std::uint32_t* wide) {
  const __m256i v = _mm256_min_epu16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(s)),
                                     _mm256_set1_epi16(kMax16));
  const int* base = reinterpret_cast<const int*>(wide);
  const __m256i lo =
      _mm256_i32gather_epi32(base, _mm256_cvtepu16_epi32(_mm256_castsi256_si128(v)), 4);
  const __m256i hi =
      _mm256_i32gather_epi32(base, _mm256_cvtepu16_epi32(_mm256_extracti128_si256(v, 1)), 4);
  return _mm256_permute4x64_epi64(_mm256_packus_epi32(lo, hi), 0xD8);
}

__attribute__((target("avx2"))) void Lookup16Run_AVX2(std::uint8_t* d, const std::uint8_t* s,
                                                      std::size_t words, const std::uint16_t* table,
                                                      const std::uint32_t* wide) {
  std::size_t i = 0;
  for (; i + 16 <= words; i += 16) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + 2 * i), Lookup16x16(s + 2 * i, wide));
  }
  Lookup16Run_Plain(d + 2 * i, s + 2 * i, words - i, table);
}

#endif  // ORVEX_FILTERS_X86

// The rows of a call as runs of contiguous bytes: one run when neither side has padding.
template <class Run>
void ForEachRun(const KernelCall& call, std::size_t rowBytes, Run run) {
  if (call.height > 1 && call.sourceStride == static_cast<std::ptrdiff_t>(rowBytes) &&
      call.destinationStride == static_cast<std::ptrdiff_t>(rowBytes)) {
    run(call.DestinationRow(0), call.SourceRow(0), rowBytes * call.height);
    return;
  }
  for (std::int32_t j = 0; j < call.height; ++j) {
    run(call.DestinationRow(j), call.SourceRow(j), rowBytes);
  }
}

}  // namespace

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

void MapTable8(const KernelCall& call, const std::uint8_t* table, int channels, FilterForm form) {
  const std::int32_t bytes = call.sourceBytes;
  const bool whole = bytes == channels;  // every byte of the row is a channel
  const bool bgrx = channels == 3 && bytes == 4;
  if (call.destinationBytes != bytes || !(whole || bgrx) ||
      ClassifyLayout(call) == Layout::kOverlap) {
    MapTable8_C(call, table, channels);
    return;
  }
  const std::size_t rowBytes = static_cast<std::size_t>(call.width) * bytes;
#if ORVEX_FILTERS_X86
  if (form >= FilterForm::kAvx512) {
    ForEachRun(call, rowBytes, [&](std::uint8_t* d, const std::uint8_t* s, std::size_t n) {
      if (whole) {
        LookupRun_AVX512(d, s, n, table);
      } else {
        LookupBgrx_AVX512(d, s, n / 4, table);
      }
    });
    return;
  }
  if (form >= FilterForm::kAvx2) {
    ShuffleTable t;
    MakeShuffleTable(table, &t);
    ForEachRun(call, rowBytes, [&](std::uint8_t* d, const std::uint8_t* s, std::size_t n) {
      if (whole) {
        LookupRun_AVX2(d, s, n, table, t);
      } else {
        LookupBgrx_AVX2(d, s, n / 4, table, t);
      }
    });
    return;
  }
#else
  (void)form;
#endif
  ForEachRun(call, rowBytes, [&](std::uint8_t* d, const std::uint8_t* s, std::size_t n) {
    if (whole) {
      LookupRun_Plain(d, s, n, table);
    } else {
      LookupBgrx_Plain(d, s, n / 4, table);
    }
  });
}

void MapTable16(const KernelCall& call, const std::uint16_t* table, int channels, FilterForm form) {
  const std::int32_t bytes = call.sourceBytes;
  const bool whole = bytes == 2 * channels;
  const bool bgrx = channels == 3 && bytes == 8;
  if (call.destinationBytes != bytes || !(whole || bgrx) ||
      ClassifyLayout(call) == Layout::kOverlap) {
    MapTable16_C(call, table, channels);
    return;
  }
  const std::size_t rowBytes = static_cast<std::size_t>(call.width) * bytes;
#if ORVEX_FILTERS_X86
  // Gathers pay where every word is a sample; with a fourth word to keep, the plain loop wins.
  if (form >= FilterForm::kAvx2 && whole) {
    std::uint32_t wide[kMax16 + 1];
    for (int i = 0; i <= kMax16; ++i) wide[i] = table[i];
    ForEachRun(call, rowBytes, [&](std::uint8_t* d, const std::uint8_t* s, std::size_t n) {
      Lookup16Run_AVX2(d, s, n / 2, table, wide);
    });
    return;
  }
#else
  (void)form;
#endif
  ForEachRun(call, rowBytes, [&](std::uint8_t* d, const std::uint8_t* s, std::size_t n) {
    if (whole) {
      Lookup16Run_Plain(d, s, n / 2, table);
    } else {
      Lookup16Bgrx_Plain(d, s, n / 8, table);
    }
  });
}

}  // namespace orvex::filters
