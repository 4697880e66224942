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

constexpr std::size_t kQuarterChunk = 1024;  // words of a run looked up in one go

// The bits a multiple of 4 up to 1020 lacks, in every word or in all but a kept fourth one.
ORVEX_ALWAYS_INLINE __m256i OutsideQuarters(bool keepFourth) {
  return keepFourth ? _mm256_set1_epi64x(static_cast<long long>(0x0000FC03FC03FC03ull))
                    : _mm256_set1_epi16(static_cast<short>(0xFC03));
}

// Thirty-two words as their quarters in bytes, per 128-bit lane eight of a then eight of b (a
// kept fourth word's byte is whatever the pack makes of it).
ORVEX_ALWAYS_INLINE __m256i PackQuarters(__m256i a, __m256i b) {
  return _mm256_packus_epi16(_mm256_srli_epi16(a, 2), _mm256_srli_epi16(b, 2));
}

// The quarter table's constants for the second pass: its upper half, and the high bytes.
struct QuarterRegisters {
  HalfRegisters upper;
  __m256i base, step0, step1, step2;
};

ORVEX_ALWAYS_INLINE void LoadQuarterRegisters(const QuarterTable& q, QuarterRegisters* r) {
  LoadHalf(q.low.upper, &r->upper);
  r->base = _mm256_set1_epi8(static_cast<char>(q.base));
  r->step0 = _mm256_set1_epi8(q.steps[0]);
  r->step1 = _mm256_set1_epi8(q.steps[1]);
  r->step2 = _mm256_set1_epi8(q.steps[2]);
}

// The high bytes of thirty-two quarters given as x - 128 in signed bytes: a compare gives -1
// where the quarter is at or above a step.
ORVEX_ALWAYS_INLINE __m256i HighBytes(__m256i moved, const QuarterRegisters& r) {
  __m256i hi = _mm256_sub_epi8(r.base, _mm256_cmpgt_epi8(moved, r.step0));
  hi = _mm256_sub_epi8(hi, _mm256_cmpgt_epi8(moved, r.step1));
  return _mm256_sub_epi8(hi, _mm256_cmpgt_epi8(moved, r.step2));
}

// The entries of thirty-two quarters: low bytes, from the lower half the first pass looked up
// and the upper half, and high bytes.
ORVEX_ALWAYS_INLINE void QuarterEntries(__m256i x, __m256i lower, const QuarterRegisters& r,
                                        __m256i* lo, __m256i* hi) {
  const __m256i moved = _mm256_xor_si256(x, _mm256_set1_epi8(static_cast<char>(0x80)));
  *lo = _mm256_blendv_epi8(lower, LookupHalf(r.upper, moved), x);
  *hi = HighBytes(moved, r);
}

// Sixteen words of entries stored at d, the fourth of each pixel kept with `keepFourth`.
ORVEX_ALWAYS_INLINE void StoreEntries(std::uint8_t* d, __m256i v, bool keepFourth) {
  if (keepFourth) {
    v = _mm256_blend_epi16(v, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(d)), 0x88);
  }
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(d), v);
}

ORVEX_ALWAYS_INLINE __m256i Load(const std::uint8_t* s) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s));
}

// Words of s mapped into d through the quarter table, `words` a multiple of 32 and at most
// kQuarterChunk. The first pass packs each word's quarter into a byte and looks up the lower
// half of the table; when a word (not a kept fourth one) is not a multiple of 4 up to 1020, the
// chunk is left to the word lookup before anything is written. The second pass looks up the
// upper half, counts the high bytes and widens the bytes back to words.
void QuarterChunk(std::uint8_t* d, const std::uint8_t* s, std::size_t words, bool keepFourth,
                  const QuarterTable& q, const std::uint16_t* table) {
  alignas(32) std::uint8_t quarter[kQuarterChunk];
  alignas(32) std::uint8_t lower[kQuarterChunk];
  const __m256i outside = OutsideQuarters(keepFourth);
  __m256i stray = _mm256_setzero_si256();
  HalfRegisters r;
  LoadHalf(q.low.lower, &r);
  for (std::size_t i = 0; i < words; i += 32) {
    const __m256i a = Load(s + 2 * i), b = Load(s + 2 * i + 32);
    stray = _mm256_or_si256(stray, _mm256_and_si256(_mm256_or_si256(a, b), outside));
    const __m256i x = PackQuarters(a, b);
    _mm256_store_si256(reinterpret_cast<__m256i*>(quarter + i), x);
    _mm256_store_si256(reinterpret_cast<__m256i*>(lower + i), LookupHalf(r, x));
  }
  if (!_mm256_testz_si256(stray, stray)) {
    if (keepFourth) {
      Lookup16Bgrx_AVX2(d, s, words / 4, table);
    } else {
      Lookup16Run_AVX2(d, s, words, table);
    }
    return;
  }
  QuarterRegisters u;
  LoadQuarterRegisters(q, &u);
  for (std::size_t i = 0; i < words; i += 32) {
    __m256i lo, hi;
    QuarterEntries(_mm256_load_si256(reinterpret_cast<const __m256i*>(quarter + i)),
                   _mm256_load_si256(reinterpret_cast<const __m256i*>(lower + i)), u, &lo, &hi);
    StoreEntries(d + 2 * i, _mm256_unpacklo_epi8(lo, hi), keepFourth);
    StoreEntries(d + 2 * i + 32, _mm256_unpackhi_epi8(lo, hi), keepFourth);
  }
}

// Pixels with a kept fourth word as QuarterChunk, `words` a multiple of 128 (32 pixels) and at
// most kQuarterChunk, without looking up the fourth words: of every eight vectors of words, the
// quarters of the last two ride in the fourth-word bytes of the other three packed pairs (in
// the same 128-bit lane, so byte shuffles move them), and three vectors are looked up for four.
void QuarterBgrxChunk(std::uint8_t* d, const std::uint8_t* s, std::size_t words,
                      const QuarterTable& q, const std::uint16_t* table) {
  // Per lane, the last pair's quarters are bytes 0-2, 4-6, 8-10 and 12-14; the fourth-word
  // bytes 3, 7, 11 and 15. Fill k takes four of those quarters into a pair's fourth-word
  // bytes; take k moves them back.
  constexpr char z = static_cast<char>(0x80);
  const __m256i fill[3] = {_mm256_setr_epi8(z, z, z, 0, z, z, z, 1, z, z, z, 2, z, z, z, 4, z, z, z,
                                            0, z, z, z, 1, z, z, z, 2, z, z, z, 4),
                           _mm256_setr_epi8(z, z, z, 5, z, z, z, 6, z, z, z, 8, z, z, z, 9, z, z, z,
                                            5, z, z, z, 6, z, z, z, 8, z, z, z, 9),
                           _mm256_setr_epi8(z, z, z, 10, z, z, z, 12, z, z, z, 13, z, z, z, 14, z,
                                            z, z, 10, z, z, z, 12, z, z, z, 13, z, z, z, 14)};
  const __m256i take[3] = {_mm256_setr_epi8(3, 7, 11, z, 15, z, z, z, z, z, z, z, z, z, z, z, 3, 7,
                                            11, z, 15, z, z, z, z, z, z, z, z, z, z, z),
                           _mm256_setr_epi8(z, z, z, z, z, 3, 7, z, 11, 15, z, z, z, z, z, z, z, z,
                                            z, z, z, 3, 7, z, 11, 15, z, z, z, z, z, z),
                           _mm256_setr_epi8(z, z, z, z, z, z, z, z, z, z, 3, z, 7, 11, 15, z, z, z,
                                            z, z, z, z, z, z, z, z, 3, z, 7, 11, 15, z)};
  const __m256i fourth = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
  alignas(32) std::uint8_t quarter[kQuarterChunk];
  alignas(32) std::uint8_t lower[kQuarterChunk];
  const __m256i outside = OutsideQuarters(true);
  __m256i stray = _mm256_setzero_si256();
  HalfRegisters r;
  LoadHalf(q.low.lower, &r);
  for (std::size_t i = 0; i < words; i += 128) {
    const std::uint8_t* g = s + 2 * i;
    __m256i x[4];
    __m256i any = _mm256_setzero_si256();
#pragma GCC unroll 4
    for (int k = 0; k < 4; ++k) {
      const __m256i a = Load(g + 64 * k), b = Load(g + 64 * k + 32);
      any = _mm256_or_si256(any, _mm256_or_si256(a, b));
      x[k] = PackQuarters(a, b);
    }
    stray = _mm256_or_si256(stray, _mm256_and_si256(any, outside));
    _mm256_store_si256(reinterpret_cast<__m256i*>(quarter + i + 96), x[3]);
#pragma GCC unroll 3
    for (int k = 0; k < 3; ++k) {
      const __m256i full = _mm256_blendv_epi8(x[k], _mm256_shuffle_epi8(x[3], fill[k]), fourth);
      _mm256_store_si256(reinterpret_cast<__m256i*>(quarter + i + 32 * k), full);
      _mm256_store_si256(reinterpret_cast<__m256i*>(lower + i + 32 * k), LookupHalf(r, full));
    }
  }
  if (!_mm256_testz_si256(stray, stray)) {
    Lookup16Bgrx_AVX2(d, s, words / 4, table);
    return;
  }
  QuarterRegisters u;
  LoadQuarterRegisters(q, &u);
  for (std::size_t i = 0; i < words; i += 128) {
    std::uint8_t* g = d + 2 * i;
    __m256i last = _mm256_setzero_si256();
#pragma GCC unroll 3
    for (int k = 0; k < 3; ++k) {
      __m256i lo, hi;
      QuarterEntries(_mm256_load_si256(reinterpret_cast<const __m256i*>(quarter + i + 32 * k)),
                     _mm256_load_si256(reinterpret_cast<const __m256i*>(lower + i + 32 * k)), u,
                     &lo, &hi);
      last = _mm256_or_si256(last, _mm256_shuffle_epi8(lo, take[k]));
      StoreEntries(g + 64 * k, _mm256_unpacklo_epi8(lo, hi), true);
      StoreEntries(g + 64 * k + 32, _mm256_unpackhi_epi8(lo, hi), true);
    }
    const __m256i x = _mm256_load_si256(reinterpret_cast<const __m256i*>(quarter + i + 96));
    const __m256i hi = HighBytes(_mm256_xor_si256(x, _mm256_set1_epi8(static_cast<char>(0x80))), u);
    StoreEntries(g + 192, _mm256_unpacklo_epi8(last, hi), true);
    StoreEntries(g + 224, _mm256_unpackhi_epi8(last, hi), true);
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

void QuarterWords_AVX2(std::uint8_t* d, const std::uint8_t* s, std::size_t words, bool keepFourth,
                       const QuarterTable& q, const std::uint16_t* table) {
  std::size_t i = 0;
  if (keepFourth) {
    const std::size_t groups = words / 128 * 128;
    for (; i < groups; i += kQuarterChunk) {
      QuarterBgrxChunk(d + 2 * i, s + 2 * i, std::min(kQuarterChunk, groups - i), q, table);
    }
    i = groups;
  }
  const std::size_t whole = words / 32 * 32;
  for (; i < whole; i += kQuarterChunk) {
    QuarterChunk(d + 2 * i, s + 2 * i, std::min(kQuarterChunk, whole - i), keepFourth, q, table);
  }
  if (keepFourth) {
    Lookup16Bgrx_C(d + 2 * whole, s + 2 * whole, (words - whole) / 4, table);
  } else {
    Lookup16Run_C(d + 2 * whole, s + 2 * whole, words - whole, table);
  }
}

ORVEX_TARGET_END

}  // namespace orvex::filters

#endif  // ORVEX_X86
