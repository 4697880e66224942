// Table mapping with AVX-512 byte permutes: across four registers the whole table is two
// permutes and a blend, 64 bytes a step.

#include <cstddef>
#include <cstdint>

#include "imaging/filters/filter_common.h"
#include "imaging/filters/table_map.h"

#if ORVEX_X86
#include <immintrin.h>

namespace orvex::filters {
namespace {

ORVEX_TARGET_BEGIN("avx512f,avx512bw,avx512vbmi")

struct PermuteTable {
  __m512i t0, t1, t2, t3;
};

inline __m512i Lookup64(const PermuteTable& p, __m512i x) {
  const __m512i lo = _mm512_permutex2var_epi8(p.t0, x, p.t1);
  const __m512i hi = _mm512_permutex2var_epi8(p.t2, x, p.t3);
  return _mm512_mask_blend_epi8(_mm512_movepi8_mask(x), lo, hi);
}

void LoadPermute(const std::uint8_t* table, PermuteTable* p) {
  p->t0 = _mm512_loadu_si512(table);
  p->t1 = _mm512_loadu_si512(table + 64);
  p->t2 = _mm512_loadu_si512(table + 128);
  p->t3 = _mm512_loadu_si512(table + 192);
}

}  // namespace

void LookupRun_AVX512(std::uint8_t* d, const std::uint8_t* s, std::size_t n,
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

void LookupBgrx_AVX512(std::uint8_t* d, const std::uint8_t* s, std::size_t pixels,
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

ORVEX_TARGET_END

}  // namespace orvex::filters

#endif  // ORVEX_X86
