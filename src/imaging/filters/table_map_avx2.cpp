// Table mapping with AVX2: 32 bytes a step through byte shuffles, words through indices limited
// in vectors and looked up one by one.

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "imaging/filters/filter_common.h"
#include "imaging/filters/table_map.h"

#if ORVEX_X86
#include <immintrin.h>

namespace orvex::filters {

ORVEX_TARGET_BEGIN("avx2")

namespace {

// The sixteen segments do not fit the sixteen vector registers beside the index and the
// sums, so a run is looked up in chunks, first in the lower half of the table, then in the
// upper half, each pass keeping its eight segments in registers.
struct HalfRegisters {
  __m256i segment[8];
};

ORVEX_ALWAYS_INLINE void LoadHalf(const std::uint8_t (*half)[32], HalfRegisters* r) {
#pragma GCC unroll 8
  for (int k = 0; k < 8; ++k) {
    r->segment[k] = _mm256_load_si256(reinterpret_cast<const __m256i*>(half[k]));
  }
}

// The entry of x in one half of the table where x falls in it (x - 128 for the upper half,
// whose index has its top bit flipped first), and zero where it falls in the other half.
ORVEX_ALWAYS_INLINE __m256i LookupHalf(const HalfRegisters& r, __m256i index) {
  const __m256i sixteen = _mm256_set1_epi8(16);
  __m256i v = _mm256_shuffle_epi8(r.segment[0], index);
#pragma GCC unroll 8
  for (int k = 1; k < 8; ++k) {
    index = _mm256_sub_epi8(index, sixteen);
    v = _mm256_xor_si256(v, _mm256_shuffle_epi8(r.segment[k], index));
  }
  return v;
}

constexpr std::size_t kChunk = 1024;  // bytes of a run looked up in one go

// Bytes of s mapped into d, n a multiple of 32 and at most kChunk; in place or apart. With
// `bgrx`, every fourth byte of d keeps its value.
void LookupChunk(std::uint8_t* d, const std::uint8_t* s, std::size_t n, const ShuffleTable& t,
                 bool bgrx) {
  alignas(32) std::uint8_t lower[kChunk];
  HalfRegisters r;
  LoadHalf(t.lower, &r);
  for (std::size_t i = 0; i < n; i += 32) {
    const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + i));
    _mm256_store_si256(reinterpret_cast<__m256i*>(lower + i), LookupHalf(r, x));
  }
  LoadHalf(t.upper, &r);
  const __m256i half = _mm256_set1_epi8(static_cast<char>(0x80));
  const __m256i fourth = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
  for (std::size_t i = 0; i < n; i += 32) {
    const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + i));
    const __m256i hi = LookupHalf(r, _mm256_xor_si256(x, half));
    const __m256i lo = _mm256_load_si256(reinterpret_cast<const __m256i*>(lower + i));
    __m256i mapped = _mm256_blendv_epi8(lo, hi, x);
    if (bgrx) {
      mapped = _mm256_blendv_epi8(
          mapped, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(d + i)), fourth);
    }
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + i), mapped);
  }
}

void LookupChunks(std::uint8_t* d, const std::uint8_t* s, std::size_t n, const ShuffleTable& t,
                  bool bgrx) {
  const std::size_t whole = n / 32 * 32;
  for (std::size_t i = 0; i < whole; i += kChunk) {
    LookupChunk(d + i, s + i, std::min(kChunk, whole - i), t, bgrx);
  }
}

// Words of a run looked up one by one from indices limited to 1023 in vectors: scalar loads
// and stores keep the load and store units busier than gathers (or building vectors of the
// entries) do, and a block of 128 words leaves enough independent lookups between its loop
// steps. The indices are read two to a 32-bit load, which saves loads, the busiest unit here.
template <std::size_t kWords>
ORVEX_ALWAYS_INLINE void Lookup16Block(std::uint8_t* d, const std::uint8_t* s,
                                       const std::uint16_t* table) {
  const __m256i limit = _mm256_set1_epi16(kMax16);
  alignas(32) std::uint32_t pairs[kWords / 2];
#pragma GCC unroll 8
  for (std::size_t k = 0; k < kWords / 16; ++k) {
    _mm256_store_si256(
        reinterpret_cast<__m256i*>(pairs + 8 * k),
        _mm256_min_epu16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + 32 * k)), limit));
  }
#pragma GCC unroll 64
  for (std::size_t k = 0; k < kWords / 2; ++k) {
    const std::uint32_t pair = pairs[k];
    Store16(d + 4 * k, table[pair & 0xFFFF]);
    Store16(d + 4 * k + 2, table[pair >> 16]);
  }
}

// Pixels of four words the same way, a pixel's indices read in one 64-bit load; the fourth word
// of each is left as it is (where gathers of the same words, the kept ones too, take longer).
template <std::size_t kPixels>
ORVEX_ALWAYS_INLINE void Lookup16BgrxBlock(std::uint8_t* d, const std::uint8_t* s,
                                           const std::uint16_t* table) {
  const __m256i limit = _mm256_set1_epi16(kMax16);
  alignas(32) std::uint64_t pixel[kPixels];
#pragma GCC unroll 8
  for (std::size_t k = 0; k < kPixels / 4; ++k) {
    _mm256_store_si256(
        reinterpret_cast<__m256i*>(pixel + 4 * k),
        _mm256_min_epu16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + 32 * k)), limit));
  }
#pragma GCC unroll 32
  for (std::size_t p = 0; p < kPixels; ++p) {
    const std::uint64_t x = pixel[p];
    Store16(d + 8 * p, table[x & 0xFFFF]);
    Store16(d + 8 * p + 2, table[(x >> 16) & 0xFFFF]);
    Store16(d + 8 * p + 4, table[(x >> 32) & 0xFFFF]);
  }
}

// A line's constants in registers: the move to its origin, the multiplier and the shift.
struct LineRegisters {
  __m256i add, sub, multiplier;
  __m128i shift;
};

// Thirty-two bytes through a line in 16-bit lanes: v' << (16 - q) times M, high half, is
// v' x M >> q; the pack limits it to 255 (the form keeps it below 2^15, never negative).
template <bool kMoved>
ORVEX_ALWAYS_INLINE __m256i LineBytes32(__m256i x, const LineRegisters& r) {
  const __m256i zero = _mm256_setzero_si256();
  __m256i lo = _mm256_unpacklo_epi8(x, zero);
  __m256i hi = _mm256_unpackhi_epi8(x, zero);
  if (kMoved) {
    lo = _mm256_subs_epu16(_mm256_adds_epu16(lo, r.add), r.sub);
    hi = _mm256_subs_epu16(_mm256_adds_epu16(hi, r.add), r.sub);
  }
  lo = _mm256_mulhi_epu16(_mm256_sll_epi16(lo, r.shift), r.multiplier);
  hi = _mm256_mulhi_epu16(_mm256_sll_epi16(hi, r.shift), r.multiplier);
  return _mm256_packus_epi16(lo, hi);
}

template <bool kMoved, bool kBgrx>
void LineBytesLoop(std::uint8_t* d, const std::uint8_t* s, std::size_t whole,
                   const LineRegisters& r) {
  const __m256i fourth = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
  for (std::size_t i = 0; i < whole; i += 32) {
    __m256i v = LineBytes32<kMoved>(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + i)), r);
    if (kBgrx) {
      v = _mm256_blendv_epi8(v, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(d + i)),
                             fourth);
    }
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + i), v);
  }
}

// Sixteen words through a line, read as at most 1023 and limited to 1023: in 16-bit lanes as
// the bytes, or in 32-bit lanes.
template <bool kMoved>
ORVEX_ALWAYS_INLINE __m256i LineWords16(__m256i v, const LineRegisters& r) {
  v = _mm256_min_epu16(v, _mm256_set1_epi16(kMax16));
  if (kMoved) v = _mm256_subs_epu16(_mm256_adds_epu16(v, r.add), r.sub);
  v = _mm256_mulhi_epu16(_mm256_sll_epi16(v, r.shift), r.multiplier);
  return _mm256_min_epu16(v, _mm256_set1_epi16(kMax16));
}

ORVEX_ALWAYS_INLINE __m256i LineWords32(__m256i v, const LineRegisters& r) {
  const __m256i zero = _mm256_setzero_si256();
  v = _mm256_min_epu16(v, _mm256_set1_epi16(kMax16));
  v = _mm256_subs_epu16(_mm256_adds_epu16(v, r.add), r.sub);
  const __m256i lo =
      _mm256_srl_epi32(_mm256_mullo_epi32(_mm256_unpacklo_epi16(v, zero), r.multiplier), r.shift);
  const __m256i hi =
      _mm256_srl_epi32(_mm256_mullo_epi32(_mm256_unpackhi_epi16(v, zero), r.multiplier), r.shift);
  return _mm256_min_epu16(_mm256_packus_epi32(lo, hi), _mm256_set1_epi16(kMax16));
}

enum class WordLanes { k16, k16Moved, k32 };

template <WordLanes kLanes, bool kKeepFourth>
std::size_t LineWordsLoop(std::uint8_t* d, const std::uint8_t* s, std::size_t words,
                          const LineRegisters& r) {
  const __m256i fourth = _mm256_set1_epi64x(static_cast<long long>(0xFFFF000000000000ull));
  std::size_t i = 0;
  for (; i + 16 <= words; i += 16) {
    const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + 2 * i));
    __m256i v = kLanes == WordLanes::k32 ? LineWords32(x, r)
                                         : LineWords16<kLanes == WordLanes::k16Moved>(x, r);
    if (kKeepFourth) {
      v = _mm256_blendv_epi8(v, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(d + 2 * i)),
                             fourth);
    }
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + 2 * i), v);
  }
  return i;
}

template <bool kKeepFourth>
std::size_t LineWordsLoop(std::uint8_t* d, const std::uint8_t* s, std::size_t words,
                          const LineForm& form, const LineRegisters& r) {
  if (form.wideLanes) return LineWordsLoop<WordLanes::k32, kKeepFourth>(d, s, words, r);
  if (form.add != 0 || form.sub != 0) {
    return LineWordsLoop<WordLanes::k16Moved, kKeepFourth>(d, s, words, r);
  }
  return LineWordsLoop<WordLanes::k16, kKeepFourth>(d, s, words, r);
}

}  // namespace

void LineBytes_AVX2(std::uint8_t* d, const std::uint8_t* s, std::size_t n, bool bgrx,
                    const LineForm& form, const std::uint8_t* table) {
  const LineRegisters r{_mm256_set1_epi16(static_cast<short>(form.add)),
                        _mm256_set1_epi16(static_cast<short>(form.sub)),
                        _mm256_set1_epi16(static_cast<short>(form.multiplier)),
                        _mm_cvtsi32_si128(16 - form.shift)};
  const std::size_t whole = n / 32 * 32;
  const bool moved = form.add != 0 || form.sub != 0;
  if (bgrx) {
    if (moved) {
      LineBytesLoop<true, true>(d, s, whole, r);
    } else {
      LineBytesLoop<false, true>(d, s, whole, r);
    }
    LookupBgrx_C(d + whole, s + whole, (n - whole) / 4, table);
  } else {
    if (moved) {
      LineBytesLoop<true, false>(d, s, whole, r);
    } else {
      LineBytesLoop<false, false>(d, s, whole, r);
    }
    LookupRun_C(d + whole, s + whole, n - whole, table);
  }
}

void LineWords_AVX2(std::uint8_t* d, const std::uint8_t* s, std::size_t words, bool keepFourth,
                    const LineForm& form, const std::uint16_t* table) {
  const LineRegisters r{_mm256_set1_epi16(static_cast<short>(form.add)),
                        _mm256_set1_epi16(static_cast<short>(form.sub)),
                        form.wideLanes ? _mm256_set1_epi32(static_cast<int>(form.multiplier))
                                       : _mm256_set1_epi16(static_cast<short>(form.multiplier)),
                        _mm_cvtsi32_si128(form.wideLanes ? form.shift : 16 - form.shift)};
  if (keepFourth) {
    const std::size_t i = LineWordsLoop<true>(d, s, words, form, r);
    Lookup16Bgrx_C(d + 2 * i, s + 2 * i, (words - i) / 4, table);
  } else {
    const std::size_t i = LineWordsLoop<false>(d, s, words, form, r);
    Lookup16Run_C(d + 2 * i, s + 2 * i, words - i, table);
  }
}

void LookupRun_AVX2(std::uint8_t* d, const std::uint8_t* s, std::size_t n,
                    const std::uint8_t* table, const ShuffleTable& t) {
  LookupChunks(d, s, n, t, false);
  const std::size_t i = n / 32 * 32;
  LookupRun_C(d + i, s + i, n - i, table);
}

void LookupBgrx_AVX2(std::uint8_t* d, const std::uint8_t* s, std::size_t pixels,
                     const std::uint8_t* table, const ShuffleTable& t) {
  LookupChunks(d, s, 4 * pixels, t, true);
  const std::size_t i = pixels / 8 * 8;
  LookupBgrx_C(d + 4 * i, s + 4 * i, pixels - i, table);
}

void Lookup16Bgrx_AVX2(std::uint8_t* d, const std::uint8_t* s, std::size_t pixels,
                       const std::uint16_t* table) {
  std::size_t i = 0;
  for (; i + 32 <= pixels; i += 32) Lookup16BgrxBlock<32>(d + 8 * i, s + 8 * i, table);
  for (; i + 4 <= pixels; i += 4) Lookup16BgrxBlock<4>(d + 8 * i, s + 8 * i, table);
  Lookup16Bgrx_C(d + 8 * i, s + 8 * i, pixels - i, table);
}

void Lookup16Run_AVX2(std::uint8_t* d, const std::uint8_t* s, std::size_t words,
                      const std::uint16_t* table) {
  std::size_t i = 0;
  for (; i + 128 <= words; i += 128) Lookup16Block<128>(d + 2 * i, s + 2 * i, table);
  for (; i + 16 <= words; i += 16) Lookup16Block<16>(d + 2 * i, s + 2 * i, table);
  Lookup16Run_C(d + 2 * i, s + 2 * i, words - i, table);
}

ORVEX_TARGET_END

}  // namespace orvex::filters

#endif  // ORVEX_X86
