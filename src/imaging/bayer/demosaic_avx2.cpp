#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "imaging/bayer/demosaic.h"

#if ORVEX_DEMOSAIC_AVX2
#include <immintrin.h>

namespace orvex::bayer {
namespace {

// Three planes of values of `bytes` bytes (1 or 2), E = 16 / bytes of them a 128-bit lane,
// interleaved into 3 x 16 packed bytes a lane. Value j of channel c goes to element 3j + c of
// the lane's output, that is to chunk (3j + c) / E at place (3j + c) mod E. As 3 and E have no
// common factor, j -> (3j + c) mod E is one to one: one byte shuffle puts every value of a
// plane at its place, and each chunk is those shuffled planes blended, place by place, from
// the plane whose channel lands there.
struct alignas(32) Interleave3 {
  std::uint8_t spread[3][32];   // [plane][byte]
  std::uint8_t pick[3][2][32];  // [chunk][plane 1, plane 2][byte]: 0xFF where it lands
};

constexpr Interleave3 MakeInterleave3(int bytes) {
  Interleave3 t{};
  const int e = 16 / bytes;
  const int inverse3 = e == 16 ? 11 : 3;  // 3 x inverse3 = 1 modulo e
  for (int plane = 0; plane < 3; ++plane) {
    for (int b = 0; b < 16; ++b) {
      const int place = b / bytes;
      const int j = ((place - plane + e) * inverse3) % e;
      const auto m = static_cast<std::uint8_t>(j * bytes + b % bytes);
      t.spread[plane][b] = t.spread[plane][b + 16] = m;
    }
  }
  for (int chunk = 0; chunk < 3; ++chunk) {
    for (int b = 0; b < 16; ++b) {
      const int channel = (chunk * e + b / bytes) % 3;
      for (int plane = 1; plane <= 2; ++plane) {
        const std::uint8_t m = channel == plane ? 0xFF : 0x00;
        t.pick[chunk][plane - 1][b] = t.pick[chunk][plane - 1][b + 16] = m;
      }
    }
  }
  return t;
}

constexpr Interleave3 kInterleave8 = MakeInterleave3(1);
constexpr Interleave3 kInterleave16 = MakeInterleave3(2);

ORVEX_TARGET_BEGIN("avx2")

enum class Arithmetic { kExact, kVector };

ORVEX_ALWAYS_INLINE __m256i Load(const std::uint8_t* p) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}
ORVEX_ALWAYS_INLINE void Store(std::uint8_t* p, __m256i v) {
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
}
ORVEX_ALWAYS_INLINE __m256i Aligned(const std::uint8_t* p) {
  return _mm256_load_si256(reinterpret_cast<const __m256i*>(p));
}

// Interleave3's picks for values of two bytes as blend immediates (the same for both lanes of
// every chunk), so that blending planes of words needs no mask registers.
constexpr int PickWords(int chunk, int plane) {
  int imm = 0;
  for (int w = 0; w < 8; ++w) {
    if ((chunk * 8 + w) % 3 == plane) imm |= 1 << w;
  }
  return imm;
}

// Three planes of values of kValueBytes bytes (16 / kValueBytes a lane) -> 96 packed bytes, as
// three vectors.
struct Packed3 {
  __m256i v[3];
};
template <int kValueBytes>
ORVEX_ALWAYS_INLINE Packed3 Pack3(__m256i p0, __m256i p1, __m256i p2) {
  const Interleave3& t = kValueBytes == 1 ? kInterleave8 : kInterleave16;
  const __m256i s0 = _mm256_shuffle_epi8(p0, Aligned(t.spread[0]));
  const __m256i s1 = _mm256_shuffle_epi8(p1, Aligned(t.spread[1]));
  const __m256i s2 = _mm256_shuffle_epi8(p2, Aligned(t.spread[2]));
  const auto chunk = [&](auto k) {
    constexpr int kChunk = decltype(k)::value;
    if constexpr (kValueBytes == 1) {
      return _mm256_blendv_epi8(_mm256_blendv_epi8(s0, s1, Aligned(t.pick[kChunk][0])), s2,
                                Aligned(t.pick[kChunk][1]));
    } else {
      return _mm256_blend_epi16(_mm256_blend_epi16(s0, s1, PickWords(kChunk, 1)), s2,
                                PickWords(kChunk, 2));
    }
  };
  const __m256i x0 = chunk(std::integral_constant<int, 0>{});
  const __m256i x1 = chunk(std::integral_constant<int, 1>{});
  const __m256i x2 = chunk(std::integral_constant<int, 2>{});
  return Packed3{{_mm256_permute2x128_si256(x0, x1, 0x20), _mm256_blend_epi32(x2, x0, 0xF0),
                  _mm256_permute2x128_si256(x1, x2, 0x31)}};
}

template <int kValueBytes>
ORVEX_ALWAYS_INLINE void StorePacked3(__m256i p0, __m256i p1, __m256i p2, std::uint8_t* out) {
  const Packed3 y = Pack3<kValueBytes>(p0, p1, p2);
  Store(out, y.v[0]);
  Store(out + 32, y.v[1]);
  Store(out + 64, y.v[2]);
}

// Stores `count` vectors of packed pixels, but only bytes first .. last of them (and never the
// fourth byte of 4-byte pixels); the others keep their value.
ORVEX_ALWAYS_INLINE void StoreBytesBetween(const __m256i* y, int count, int first, int last,
                                           bool skipFourth, std::uint8_t* out) {
  const __m256i index =
      _mm256_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21,
                       22, 23, 24, 25, 26, 27, 28, 29, 30, 31);
  const __m256i fourth = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
  for (int k = 0; k < count; ++k) {
    const __m256i i = _mm256_add_epi8(index, _mm256_set1_epi8(static_cast<char>(32 * k)));
    // Byte indices go up to 127, so every bound fits a signed byte.
    __m256i take =
        _mm256_andnot_si256(_mm256_cmpgt_epi8(i, _mm256_set1_epi8(static_cast<char>(last))),
                            _mm256_cmpgt_epi8(i, _mm256_set1_epi8(static_cast<char>(first - 1))));
    if (skipFourth) take = _mm256_andnot_si256(fourth, take);
    Store(out + 32 * k, _mm256_blendv_epi8(Load(out + 32 * k), y[k], take));
  }
}

// Rows r - 2 .. r + 1 of one output row r, at region column 0.
struct Rows {
  const std::uint8_t* a;
  const std::uint8_t* b;
  const std::uint8_t* c;
  const std::uint8_t* d;
};

ORVEX_ALWAYS_INLINE Rows RowsOf(const DemosaicCall& call, int row) {
  return Rows{call.SourceRow(row - 2), call.SourceRow(row - 1), call.SourceRow(row),
              call.SourceRow(row + 1)};
}

// --- 8-bit samples: 32 output pixels a block --------------------------------------------------

struct Factors8 {
  __m256i blue;  // exact: f << 5 for a high multiply; vector: f's low 16 bits
  __m256i red;
};

template <Arithmetic kArithmetic>
ORVEX_ALWAYS_INLINE Factors8 MakeFactors8(const DemosaicCall& call) {
  if constexpr (kArithmetic == Arithmetic::kExact) {
    return Factors8{_mm256_set1_epi16(static_cast<short>(call.fBlue << 5)),
                    _mm256_set1_epi16(static_cast<short>(call.fRed << 5))};
  } else {
    return Factors8{_mm256_set1_epi16(static_cast<short>(Factor16(call.fBlue))),
                    _mm256_set1_epi16(static_cast<short>(Factor16(call.fRed)))};
  }
}

// (f x sum) >> 11 is exactly the high half of sum x (f << 5) while f < 2048.
template <Arithmetic kArithmetic>
ORVEX_ALWAYS_INLINE __m256i Scale(__m256i sum, __m256i factor) {
  if constexpr (kArithmetic == Arithmetic::kExact) {
    return _mm256_mulhi_epu16(sum, factor);
  } else {
    return _mm256_srli_epi16(_mm256_mullo_epi16(_mm256_srli_epi16(sum, 4), factor), 7);
  }
}

struct Planes {
  __m256i blue, green, red;
};

// The weighted sums of one sample row X for the even and the odd pixels of 32 output pixels
// from x, as words: pixel c takes wc X[c - 1 + mu] + wo X[c + 1 - 3 mu], mu alternating from
// kMu0 at column x. Two neighbouring pixels read the same two samples (with the weights
// swapped) where mu is 0 on the even one, so one byte blend gives both their pairs and
// multiply-adds give the sums in place, with no unpacking.
struct EvenOdd {
  __m256i even, odd;  // pixels x + 2j and x + 2j + 1 in word j
};
template <int kMu0>
ORVEX_ALWAYS_INLINE EvenOdd RowSums8(const std::uint8_t* row, int x, __m256i oddBytes,
                                     __m256i weights, __m256i swapped) {
  if constexpr (kMu0 == 0) {
    // Word j: X[x + 2j - 1], X[x + 2j + 1].
    const __m256i pair = _mm256_blendv_epi8(Load(row + x - 1), Load(row + x), oddBytes);
    return EvenOdd{_mm256_maddubs_epi16(pair, weights), _mm256_maddubs_epi16(pair, swapped)};
  } else {
    // Word j: X[x + 2j - 2], X[x + 2j] for the even pixel; X[x + 2j], X[x + 2j + 2] for the odd.
    const __m256i even = _mm256_blendv_epi8(Load(row + x - 2), Load(row + x - 1), oddBytes);
    const __m256i odd = _mm256_blendv_epi8(Load(row + x), Load(row + x + 1), oddBytes);
    return EvenOdd{_mm256_maddubs_epi16(even, swapped), _mm256_maddubs_epi16(odd, weights)};
  }
}

// Two channels' scaled even and odd words (all below 32768, so the signed saturating pack limits
// them to 255 exactly as the plain forms do) as bytes in pixel order: each pack puts one lane's
// even (or odd) pixels of the first channel before those of the second, and interleaving the two
// packs' bytes restores the pixel order of both at once.
struct TwoChannels {
  __m256i first, second;
};
ORVEX_ALWAYS_INLINE TwoChannels BytesOf(__m256i firstEven, __m256i firstOdd, __m256i secondEven,
                                        __m256i secondOdd) {
  const __m256i even = _mm256_packus_epi16(firstEven, secondEven);
  const __m256i odd = _mm256_packus_epi16(firstOdd, secondOdd);
  return TwoChannels{_mm256_unpacklo_epi8(even, odd), _mm256_unpackhi_epi8(even, odd)};
}

// Output pixels x .. x + 31 of a row, kM0 the phase m (column phase xor row phase) of column
// x. Per pixel: the row pair (r, r - 2) gives 9 C[c - 1 + m] + 3 C[c + 1 - 3m] +
// 3 A[c - 1 + m] + A[c + 1 - 3m], the row pair (r - 1, r + 1) 9 B[c - m] + 3 B[c - 2 + 3m] +
// 3 D[c - m] + D[c - 2 + 3m] (the same with the phase 1 - m); the first is blue on row phase 0
// and red on row phase 1. Green: B[c - 1] + C[c] where m is 0, else C[c - 1] + B[c].
// The weights of the rows' sums as multiply-add byte pairs: 9, 3 for the output row and the row
// above it, 3, 1 for the rows two above and one below.
struct Weights8 {
  __m256i oddBytes, w93, w39, w31, w13;
};
ORVEX_ALWAYS_INLINE Weights8 MakeWeights8() {
  return Weights8{_mm256_set1_epi16(static_cast<short>(0xFF00)), _mm256_set1_epi16(0x0309),
                  _mm256_set1_epi16(0x0903), _mm256_set1_epi16(0x0103), _mm256_set1_epi16(0x0301)};
}

template <int kMu0>
ORVEX_ALWAYS_INLINE EvenOdd Sums93(const Weights8& k, const std::uint8_t* row, int x) {
  return RowSums8<kMu0>(row, x, k.oddBytes, k.w93, k.w39);
}
template <int kMu0>
ORVEX_ALWAYS_INLINE EvenOdd Sums31(const Weights8& k, const std::uint8_t* row, int x) {
  return RowSums8<kMu0>(row, x, k.oddBytes, k.w31, k.w13);
}

// One output row's pixels from its rows' sums (c and b with weights 9, 3; a and d with 3, 1)
// and its green from rows r (cRow) and r - 1 (bRow).
template <Arithmetic kArithmetic, int kRowPhase, int kM0>
ORVEX_ALWAYS_INLINE Planes PlanesOf8(const EvenOdd& c, const EvenOdd& a, const EvenOdd& b,
                                     const EvenOdd& d, const std::uint8_t* cRow,
                                     const std::uint8_t* bRow, int x, const Factors8& f) {
  const __m256i caEven = _mm256_add_epi16(c.even, a.even), caOdd = _mm256_add_epi16(c.odd, a.odd);
  const __m256i bdEven = _mm256_add_epi16(b.even, d.even), bdOdd = _mm256_add_epi16(b.odd, d.odd);

  const __m256i& blueEven = kRowPhase == 0 ? caEven : bdEven;
  const __m256i& blueOdd = kRowPhase == 0 ? caOdd : bdOdd;
  const __m256i& redEven = kRowPhase == 0 ? bdEven : caEven;
  const __m256i& redOdd = kRowPhase == 0 ? bdOdd : caOdd;
  const TwoChannels blueRed =
      BytesOf(Scale<kArithmetic>(blueEven, f.blue), Scale<kArithmetic>(blueOdd, f.blue),
              Scale<kArithmetic>(redEven, f.red), Scale<kArithmetic>(redOdd, f.red));
  Planes out;
  out.blue = blueRed.first;
  out.red = blueRed.second;
  // Where m is 0 green reads B[c - 1] and C[c]: on the odd bytes when m is 1 at column x, else
  // on the even ones (the blends take their second operand on the odd bytes).
  const __m256i oddBytes = _mm256_set1_epi16(static_cast<short>(0xFF00));
  const __m256i cm1 = Load(cRow + x - 1), c0 = Load(cRow + x);
  const __m256i bm1 = Load(bRow + x - 1), b0 = Load(bRow + x);
  const __m256i g1 =
      kM0 == 0 ? _mm256_blendv_epi8(bm1, cm1, oddBytes) : _mm256_blendv_epi8(cm1, bm1, oddBytes);
  const __m256i g2 =
      kM0 == 0 ? _mm256_blendv_epi8(c0, b0, oddBytes) : _mm256_blendv_epi8(b0, c0, oddBytes);
  // Rounded-down mean of two bytes: g1 + g2 less the rounded-up mean, which the byte average
  // gives; the result is a byte, so the wrapping byte arithmetic gives it exactly.
  out.green = _mm256_sub_epi8(_mm256_add_epi8(g1, g2), _mm256_avg_epu8(g1, g2));
  return out;
}

// Output pixels x .. x + 31 of a row, kM0 the phase m (column phase xor row phase) of column
// x. Per pixel: the row pair (r, r - 2) gives 9 C[c - 1 + m] + 3 C[c + 1 - 3m] +
// 3 A[c - 1 + m] + A[c + 1 - 3m], the row pair (r - 1, r + 1) 9 B[c - m] + 3 B[c - 2 + 3m] +
// 3 D[c - m] + D[c - 2 + 3m] (the same with the phase 1 - m); the first is blue on row phase 0
// and red on row phase 1. Green: B[c - 1] + C[c] where m is 0, else C[c - 1] + B[c].
template <Arithmetic kArithmetic, int kRowPhase, int kM0>
ORVEX_ALWAYS_INLINE Planes Block8(const Rows& s, int x, const Factors8& f) {
  const Weights8 k = MakeWeights8();
  return PlanesOf8<kArithmetic, kRowPhase, kM0>(Sums93<kM0>(k, s.c, x), Sums31<kM0>(k, s.a, x),
                                                Sums93<1 - kM0>(k, s.b, x),
                                                Sums31<1 - kM0>(k, s.d, x), s.c, s.b, x, f);
}

// Rows r - 2 .. r + 2 of two output rows r and r + 1 whose column phases are the same (the
// region's width is even), at region column 0.
struct RowsOfPair {
  const std::uint8_t* rows[5];
};

// Output pixels x .. x + 31 of rows r and r + 1, kRowPhase and kM0 those of row r. Row r + 1
// has the other row phase and, with the same column phase, the other m, so every sample row
// is summed at one phase for both output rows: row r's own sums with weights 9, 3 are also
// row r + 1's sums of the row above, and each row's samples are loaded and blended once.
template <Arithmetic kArithmetic, int kRowPhase, int kM0>
ORVEX_ALWAYS_INLINE void Block8Pair(const RowsOfPair& s, int x, const Factors8& f, Planes* first,
                                    Planes* second) {
  const Weights8 k = MakeWeights8();
  const EvenOdd up31 = Sums31<1 - kM0>(k, s.rows[1], x);
  const EvenOdd up93 = Sums93<1 - kM0>(k, s.rows[1], x);
  const EvenOdd own93 = Sums93<kM0>(k, s.rows[2], x);
  const EvenOdd down31 = Sums31<1 - kM0>(k, s.rows[3], x);
  const EvenOdd down93 = Sums93<1 - kM0>(k, s.rows[3], x);
  *first = PlanesOf8<kArithmetic, kRowPhase, kM0>(own93, Sums31<kM0>(k, s.rows[0], x), up93, down31,
                                                  s.rows[2], s.rows[1], x, f);
  *second = PlanesOf8<kArithmetic, 1 - kRowPhase, 1 - kM0>(
      down93, up31, own93, Sums31<kM0>(k, s.rows[4], x), s.rows[3], s.rows[2], x, f);
}

// Block8 with m at column x known only when it runs.
template <Arithmetic kArithmetic, int kRowPhase>
ORVEX_ALWAYS_INLINE Planes Block8At(const Rows& s, int x, int m0, const Factors8& f) {
  return m0 == 0 ? Block8<kArithmetic, kRowPhase, 0>(s, x, f)
                 : Block8<kArithmetic, kRowPhase, 1>(s, x, f);
}

// 32 pixels B G R in four vectors of 8; the fourth bytes (which every store keeps) hold red
// again, so that no register is given to zeros.
ORVEX_ALWAYS_INLINE void Pack4(const Planes& p, __m256i o[4]) {
  const __m256i bgLo = _mm256_unpacklo_epi8(p.blue, p.green);
  const __m256i bgHi = _mm256_unpackhi_epi8(p.blue, p.green);
  const __m256i rLo = _mm256_unpacklo_epi8(p.red, p.red);
  const __m256i rHi = _mm256_unpackhi_epi8(p.red, p.red);
  const __m256i q0 = _mm256_unpacklo_epi16(bgLo, rLo);  // pixels 0-3 | 16-19
  const __m256i q1 = _mm256_unpackhi_epi16(bgLo, rLo);  // 4-7 | 20-23
  const __m256i q2 = _mm256_unpacklo_epi16(bgHi, rHi);  // 8-11 | 24-27
  const __m256i q3 = _mm256_unpackhi_epi16(bgHi, rHi);  // 12-15 | 28-31
  o[0] = _mm256_permute2x128_si256(q0, q1, 0x20);
  o[1] = _mm256_permute2x128_si256(q2, q3, 0x20);
  o[2] = _mm256_permute2x128_si256(q0, q1, 0x31);
  o[3] = _mm256_permute2x128_si256(q2, q3, 0x31);
}

// Writes 32 pixels of 3 or 4 bytes; the fourth byte keeps its value.
template <int kBytes>
ORVEX_ALWAYS_INLINE void StorePixels8(const Planes& p, std::uint8_t* out) {
  if constexpr (kBytes == 3) {
    StorePacked3<1>(p.blue, p.green, p.red, out);
  } else {
    __m256i o[4];
    Pack4(p, o);
    // Written out one by one: as a loop the compiler kept the four vectors on the stack.
    const __m256i keep = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
    const auto store = [out, keep](int i, __m256i v) {
      Store(out + 32 * i, _mm256_blendv_epi8(v, Load(out + 32 * i), keep));
    };
    store(0, o[0]);
    store(1, o[1]);
    store(2, o[2]);
    store(3, o[3]);
  }
}

// Writes pixels first .. last (0 .. 31) of the 32 at `out`.
template <int kBytes>
ORVEX_ALWAYS_INLINE void StorePixelsBetween8(const Planes& p, int first, int last,
                                             std::uint8_t* out) {
  if constexpr (kBytes == 3) {
    const Packed3 y = Pack3<1>(p.blue, p.green, p.red);
    StoreBytesBetween(y.v, 3, 3 * first, 3 * last + 2, false, out);
  } else {
    __m256i o[4];
    Pack4(p, o);
    StoreBytesBetween(o, 4, 4 * first, 4 * last + 3, true, out);
  }
}

// The whole blocks of 32 from `first`, which all have the phase m of column `first` (kM0) at
// their first column; returns the column after them.
template <Arithmetic kArithmetic, int kBytes, int kRowPhase, int kM0>
ORVEX_ALWAYS_INLINE int WholeBlocks8(const Rows& s, int first, int last, const Factors8& f,
                                     std::uint8_t* out) {
  int x = first;
  for (; x + 31 <= last; x += 32) {
    StorePixels8<kBytes>(Block8<kArithmetic, kRowPhase, kM0>(s, x, f), out + x * kBytes);
  }
  return x;
}

// Range8's blocks, with the row phase fixed.
template <Arithmetic kArithmetic, int kBytes, int kRowPhase>
ORVEX_ALWAYS_INLINE void Blocks8(const Rows& s, int first, int last, int phase, int w,
                                 const Factors8& f, std::uint8_t* out) {
  const auto m0 = [phase](int x) { return (phase + x + kRowPhase) & 1; };
  if (last - first + 1 >= 32) {
    int x = m0(first) == 0
                ? WholeBlocks8<kArithmetic, kBytes, kRowPhase, 0>(s, first, last, f, out)
                : WholeBlocks8<kArithmetic, kBytes, kRowPhase, 1>(s, first, last, f, out);
    if (x <= last) {
      x = last - 31;
      StorePixels8<kBytes>(Block8At<kArithmetic, kRowPhase>(s, x, m0(x), f), out + x * kBytes);
    }
    return;
  }
  const int x = std::min(first, w - 2 - 31);
  StorePixelsBetween8<kBytes>(Block8At<kArithmetic, kRowPhase>(s, x, m0(x), f), first - x, last - x,
                              out + x * kBytes);
}

// Output columns first .. last of a row (first >= 2, last <= W - 2, so every sample read lies
// in the region), with `phase` the column phase of the row's column 0. Blocks stay inside
// columns 2 .. W - 2; a range narrower than a block is computed in one block placed over it
// and only its own pixels are written.
template <Arithmetic kArithmetic, int kBytes>
void Range8(const DemosaicCall& call, int row, int first, int last, int phase) {
  if (last < first) return;
  const int rowPhase = call.RowPhaseOfRow(row);
  const Rows s = RowsOf(call, row);
  std::uint8_t* out = call.DestinationRow(row);
  const int w = call.width;
  if (w < 35) {
    for (int c = first; c <= last; ++c) {
      const std::uint8_t* sample = s.c + c;
      if constexpr (kArithmetic == Arithmetic::kExact) {
        PlainPixel8(ArithmeticOf(call), sample, out + c * kBytes, rowPhase, (phase + c) & 1);
      } else {
        VectorPixel8(ArithmeticOf(call), sample, out + c * kBytes, rowPhase, (phase + c) & 1);
      }
    }
    return;
  }
  const Factors8 f = MakeFactors8<kArithmetic>(call);
  if (rowPhase == 0) {
    Blocks8<kArithmetic, kBytes, 0>(s, first, last, phase, w, f, out);
  } else {
    Blocks8<kArithmetic, kBytes, 1>(s, first, last, phase, w, f, out);
  }
}

// Whole blocks of 32 of two rows from `first`; returns the column after them.
template <int kBytes, int kRowPhase, int kM0>
ORVEX_ALWAYS_INLINE int WholeBlockPairs8(const RowsOfPair& s, int first, int last,
                                         const Factors8& f, std::uint8_t* out0,
                                         std::uint8_t* out1) {
  int x = first;
  for (; x + 31 <= last; x += 32) {
    Planes p0, p1;
    Block8Pair<Arithmetic::kExact, kRowPhase, kM0>(s, x, f, &p0, &p1);
    StorePixels8<kBytes>(p0, out0 + x * kBytes);
    StorePixels8<kBytes>(p1, out1 + x * kBytes);
  }
  return x;
}

// Rows `row` and row + 1 of the exact form, columns 2 .. W - 3, for a region of even width
// of at least 36 (so that a row holds a whole block and both rows have one column phase).
template <int kBytes, int kRowPhase>
void RowPair8(const DemosaicCall& call, int row, const Factors8& f) {
  const RowsOfPair s{{call.SourceRow(row - 2), call.SourceRow(row - 1), call.SourceRow(row),
                      call.SourceRow(row + 1), call.SourceRow(row + 2)}};
  std::uint8_t* out0 = call.DestinationRow(row);
  std::uint8_t* out1 = call.DestinationRow(row + 1);
  const int first = 2, last = call.width - 3;
  const int phase = call.ColumnPhaseOfRow(row);
  const int x = ((phase + first + kRowPhase) & 1) == 0
                    ? WholeBlockPairs8<kBytes, kRowPhase, 0>(s, first, last, f, out0, out1)
                    : WholeBlockPairs8<kBytes, kRowPhase, 1>(s, first, last, f, out0, out1);
  if (x <= last) {
    // The last block, placed to end at the last column, overlaps the others.
    const int tail = last - 31;
    const int m0 = (phase + tail + kRowPhase) & 1;
    StorePixels8<kBytes>(Block8At<Arithmetic::kExact, kRowPhase>(RowsOf(call, row), tail, m0, f),
                         out0 + tail * kBytes);
    StorePixels8<kBytes>(
        Block8At<Arithmetic::kExact, 1 - kRowPhase>(RowsOf(call, row + 1), tail, 1 - m0, f),
        out1 + tail * kBytes);
  }
}

template <int kBytes>
void Demosaic8Exact(const DemosaicCall& call) {
  if (call.width <= 4 || call.height <= 4) return;
  int row = call.FirstInteriorRow();
  const int lastRow = call.LastInteriorRow();
  if (call.width >= 36 && call.width % 2 == 0) {
    const Factors8 f = MakeFactors8<Arithmetic::kExact>(call);
    for (; row + 1 <= lastRow; row += 2) {
      if (call.RowPhaseOfRow(row) == 0) {
        RowPair8<kBytes, 0>(call, row, f);
      } else {
        RowPair8<kBytes, 1>(call, row, f);
      }
    }
  }
  for (; row <= lastRow; ++row) {
    Range8<Arithmetic::kExact, kBytes>(call, row, 2, call.width - 3, call.ColumnPhaseOfRow(row));
  }
}

// The vector forms, row by row: each step of the form writes a row from the samples alone, so
// finishing one row before the next gives the bytes of doing each step over the whole region.
template <int kBytes>
void VectorForm8(const DemosaicCall& call, int step, bool recomputeRight) {
  const int w = call.width;
  const int leftWidth = std::min(16, w);
  const int leftLast = leftWidth > 4 ? leftWidth - 3 : 1;  // last column step 2 writes
  const int right = RightRecomputeLeft(w);
  const bool hasRight = recomputeRight && w - right > 4;
  const DemosaicCall left = call.Columns(0, leftWidth);
  for (int row = call.FirstInteriorRow(); row <= call.LastInteriorRow(); ++row) {
    const int phase = call.ColumnPhaseOfRow(row);
    if (leftWidth > 4) {
      Range8<Arithmetic::kExact, kBytes>(call, row, 2, leftLast, left.ColumnPhaseOfRow(row));
    }
    Range8<Arithmetic::kVector, kBytes>(call, row,
                                        std::max(VectorPassFirst(call, row), leftLast + 1),
                                        VectorPassLast(call, row, step), phase);
    if (hasRight) Range8<Arithmetic::kExact, kBytes>(call, row, right + 2, w - 3, phase);
  }
  for (int row = call.rowBegin; row < call.rowEnd; ++row) {
    std::uint8_t* d = call.DestinationRow(row);
    for (int column : {0, 1, w - 1}) {
      if (column >= 0 && column < w) std::memset(d + column * kBytes, 0, 3);
    }
  }
}

// --- 16-bit samples: 16 output pixels a block -------------------------------------------------

ORVEX_ALWAYS_INLINE __m256i Load16(const std::uint8_t* row, int column) {
  return Load(row + 2 * column);
}

// Sums saturate at 65535: every term is at least 0, so a sum is exact or 65535, and 65535
// is out of reach of exact sums of samples below 4096 (at most 16 x 4095).
ORVEX_ALWAYS_INLINE __m256i Times3(__m256i v) {
  return _mm256_adds_epu16(v, _mm256_adds_epu16(v, v));
}

// One sample row's words of a block, blended for its phase: `near` has weight 3 and `far`
// weight 1 in the row's own sum (the output row's and the row above's sums take 3 of it).
// Words where kMask is set are the pixels whose samples lie on the other side.
struct RowWords16 {
  __m256i near, far;
};
template <int kMask>
ORVEX_ALWAYS_INLINE RowWords16 RowWordsOf16(const std::uint8_t* row, int x) {
  return RowWords16{_mm256_blend_epi16(Load16(row, x - 1), Load16(row, x), kMask),
                    _mm256_blend_epi16(Load16(row, x + 1), Load16(row, x - 2), kMask)};
}

// A weighted sum 9 n + 3 f + 3 n' + f' of a row (n, f) weighted 9, 3 and a row (n', f') weighted
// 3, 1, or 65535 where that is 65535 or more, as 3 (3 n + f + n') + f': seven saturating adds
// instead of nine, and 3 n + f (Inner16) serves both output rows that weight the row 9, 3.
ORVEX_ALWAYS_INLINE __m256i Inner16(const RowWords16& w) {
  return _mm256_adds_epu16(Times3(w.near), w.far);
}
ORVEX_ALWAYS_INLINE __m256i Outer16(__m256i inner, const RowWords16& other) {
  return _mm256_adds_epu16(Times3(_mm256_adds_epu16(inner, other.near)), other.far);
}

// Whether weighted sums fit 16 bits: a sum of 65535 is one that did not, which takes samples of
// 4096 or more (the caller then computes those pixels one by one).
ORVEX_ALWAYS_INLINE bool Fit16(__m256i sums) {
  const __m256i full = _mm256_set1_epi16(-1);
  return _mm256_testz_si256(_mm256_cmpeq_epi16(sums, full), full);
}

// One output row's words from its two weighted sums (ca of rows r, r - 2; bd of rows r - 1,
// r + 1), which fit 16 bits, and its green pair.
template <bool kRowPhase>
ORVEX_ALWAYS_INLINE Planes Words16(__m256i ca, __m256i bd, __m256i g1, __m256i g2, __m256i fBlue,
                                   __m256i fRed) {
  const __m256i limit = _mm256_set1_epi16(1023);
  const __m256i blue = kRowPhase ? bd : ca;
  const __m256i red = kRowPhase ? ca : bd;
  Planes out;
  out.blue = _mm256_min_epu16(_mm256_mulhi_epu16(blue, fBlue), limit);
  out.red = _mm256_min_epu16(_mm256_mulhi_epu16(red, fRed), limit);
  // Rounded-down mean as in PlanesOf8, in wrapping word arithmetic.
  const __m256i green = _mm256_sub_epi16(_mm256_add_epi16(g1, g2), _mm256_avg_epu16(g1, g2));
  out.green = _mm256_min_epu16(green, limit);
  return out;
}

// Words where m is 1 at a block starting with m = 1 (kOddPhase) or 0.
constexpr int MaskOf16(bool kOddPhase) {
  return kOddPhase ? 0x55 : 0xAA;
}

// As Block8, on words; false when the sums do not fit 16 bits (Fit16). kOddPhase: column x has
// column phase 1 xor row phase 1.
template <bool kOddPhase, bool kRowPhase>
ORVEX_ALWAYS_INLINE bool Block16(const Rows& s, int x, __m256i fBlue, __m256i fRed, Planes* out) {
  constexpr int kM = MaskOf16(kOddPhase);
  constexpr int kG = ~kM & 0xFF;
  const __m256i ca = Outer16(Inner16(RowWordsOf16<kM>(s.c, x)), RowWordsOf16<kM>(s.a, x));
  const __m256i bd = Outer16(Inner16(RowWordsOf16<kG>(s.b, x)), RowWordsOf16<kG>(s.d, x));
  const __m256i g1 = _mm256_blend_epi16(Load16(s.c, x - 1), Load16(s.b, x - 1), kG);
  const __m256i g2 = _mm256_blend_epi16(Load16(s.b, x), Load16(s.c, x), kG);
  if (!Fit16(_mm256_max_epu16(ca, bd))) return false;
  *out = Words16<kRowPhase>(ca, bd, g1, g2, fBlue, fRed);
  return true;
}

template <int kBytes>
ORVEX_ALWAYS_INLINE void StorePixels16(const Planes& p, std::uint8_t* out) {
  if constexpr (kBytes == 6) {
    StorePacked3<2>(p.blue, p.green, p.red, out);
  } else {
    // Word 3 of each pixel holds red again until the stores put back its own value.
    const __m256i bgLo = _mm256_unpacklo_epi16(p.blue, p.green);
    const __m256i bgHi = _mm256_unpackhi_epi16(p.blue, p.green);
    const __m256i rLo = _mm256_unpacklo_epi16(p.red, p.red);
    const __m256i rHi = _mm256_unpackhi_epi16(p.red, p.red);
    const __m256i q0 = _mm256_unpacklo_epi32(bgLo, rLo);  // pixels 0-1 | 8-9
    const __m256i q1 = _mm256_unpackhi_epi32(bgLo, rLo);  // 2-3 | 10-11
    const __m256i q2 = _mm256_unpacklo_epi32(bgHi, rHi);  // 4-5 | 12-13
    const __m256i q3 = _mm256_unpackhi_epi32(bgHi, rHi);  // 6-7 | 14-15
    // Word 3 of each pixel keeps its value. Written out one by one: as a loop over an array
    // the compiler kept the four vectors on the stack.
    const auto store = [out](int i, __m256i v) {
      Store(out + 32 * i, _mm256_blend_epi16(v, Load(out + 32 * i), 0x88));
    };
    store(0, _mm256_permute2x128_si256(q0, q1, 0x20));
    store(1, _mm256_permute2x128_si256(q2, q3, 0x20));
    store(2, _mm256_permute2x128_si256(q0, q1, 0x31));
    store(3, _mm256_permute2x128_si256(q2, q3, 0x31));
  }
}

// Columns first .. last of a row, whole blocks of 16 from `first` (the caller leaves none
// over): the column phase of every block start is the same, so the blocks of a row are one
// loop with their phases fixed.
template <int kBytes, bool kOddPhase, bool kRowPhase>
void Blocks16(const DemosaicCall& call, const Rows& s, std::uint8_t* out, int first, int last,
              int rowPhase, int phase) {
  const __m256i fBlue = _mm256_set1_epi16(static_cast<short>(call.fBlue << 5));
  const __m256i fRed = _mm256_set1_epi16(static_cast<short>(call.fRed << 5));
  for (int x = first; x + 15 <= last; x += 16) {
    Planes p;
    if (Block16<kOddPhase, kRowPhase>(s, x, fBlue, fRed, &p)) {
      StorePixels16<kBytes>(p, out + x * kBytes);
    } else {
      const PixelArithmetic arithmetic = ArithmeticOf(call);
      for (int c = x; c <= x + 15; ++c) {
        PlainPixel16(arithmetic, s.c + 2 * c, out + c * kBytes, rowPhase, (phase + c) & 1);
      }
    }
  }
}

template <int kBytes, bool kRowPhase>
void PhasedBlocks16(const DemosaicCall& call, const Rows& s, std::uint8_t* out, int first, int last,
                    int rowPhase, int phase) {
  if (((phase + first) & 1) != static_cast<int>(kRowPhase)) {
    Blocks16<kBytes, true, kRowPhase>(call, s, out, first, last, rowPhase, phase);
  } else {
    Blocks16<kBytes, false, kRowPhase>(call, s, out, first, last, rowPhase, phase);
  }
}

template <int kBytes>
void Row16(const DemosaicCall& call, int row) {
  const int w = call.width;
  const int rowPhase = call.RowPhaseOfRow(row);
  const int phase = call.ColumnPhaseOfRow(row);
  const Rows s = RowsOf(call, row);
  std::uint8_t* out = call.DestinationRow(row);
  const int first = 2, last = w - 3;
  if (last - first + 1 < 16) {
    const PixelArithmetic arithmetic = ArithmeticOf(call);
    for (int c = first; c <= last; ++c) {
      PlainPixel16(arithmetic, s.c + 2 * c, out + c * kBytes, rowPhase, (phase + c) & 1);
    }
    return;
  }
  const auto blocks = [&](int from, int to) {
    if (rowPhase != 0) {
      PhasedBlocks16<kBytes, true>(call, s, out, from, to, rowPhase, phase);
    } else {
      PhasedBlocks16<kBytes, false>(call, s, out, from, to, rowPhase, phase);
    }
  };
  const int whole = (last - first + 1) / 16 * 16;
  blocks(first, first + whole - 1);
  // The last block, placed to end at the last column, overlaps the others.
  if (whole < last - first + 1) blocks(last - 15, last);
}

// The plain arithmetic for pixels x .. x + 15 of a row whose block does not fit 16-bit sums.
template <int kBytes>
void PlainBlock16(const DemosaicCall& call, int row, int x) {
  const PixelArithmetic arithmetic = ArithmeticOf(call);
  const int rowPhase = call.RowPhaseOfRow(row);
  const int phase = call.ColumnPhaseOfRow(row);
  const std::uint8_t* s = call.SourceRow(row);
  std::uint8_t* out = call.DestinationRow(row);
  for (int c = x; c <= x + 15; ++c) {
    PlainPixel16(arithmetic, s + 2 * c, out + c * kBytes, rowPhase, (phase + c) & 1);
  }
}

// Whole blocks of 16 of rows `row` and row + 1 (kOddPhase and kRowPhase those of row r) where
// both rows have one column phase: row r + 1 has the other m, so each sample row is blended
// once for both, and row r's 3 near + far serves as row r + 1's too. Row r + 1's values are
// made before row r is written, as the stores could overwrite the samples for all the compiler
// knows.
template <int kBytes, bool kOddPhase, bool kRowPhase>
void BlockPairs16(const DemosaicCall& call, int row, int first, int last) {
  const RowsOfPair s{{call.SourceRow(row - 2), call.SourceRow(row - 1), call.SourceRow(row),
                      call.SourceRow(row + 1), call.SourceRow(row + 2)}};
  std::uint8_t* out0 = call.DestinationRow(row);
  std::uint8_t* out1 = call.DestinationRow(row + 1);
  const __m256i fBlue = _mm256_set1_epi16(static_cast<short>(call.fBlue << 5));
  const __m256i fRed = _mm256_set1_epi16(static_cast<short>(call.fRed << 5));
  constexpr int kM = MaskOf16(kOddPhase);
  constexpr int kG = ~kM & 0xFF;
  for (int x = first; x + 15 <= last; x += 16) {
    const RowWords16 up = RowWordsOf16<kG>(s.rows[1], x);
    const RowWords16 down = RowWordsOf16<kG>(s.rows[3], x);
    const __m256i ownInner = Inner16(RowWordsOf16<kM>(s.rows[2], x));
    const __m256i upM1 = Load16(s.rows[1], x - 1), up0 = Load16(s.rows[1], x);
    const __m256i ownM1 = Load16(s.rows[2], x - 1), own0 = Load16(s.rows[2], x);
    const __m256i downM1 = Load16(s.rows[3], x - 1), down0 = Load16(s.rows[3], x);
    const __m256i ca0 = Outer16(ownInner, RowWordsOf16<kM>(s.rows[0], x));
    const __m256i bd0 = Outer16(Inner16(up), down);
    const __m256i ca1 = Outer16(Inner16(down), up);
    const __m256i bd1 = Outer16(ownInner, RowWordsOf16<kM>(s.rows[4], x));
    // One test for both rows: where either does not fit, both take the plain arithmetic.
    if (Fit16(_mm256_max_epu16(_mm256_max_epu16(ca0, bd0), _mm256_max_epu16(ca1, bd1)))) {
      const __m256i g11 = _mm256_blend_epi16(downM1, ownM1, kM);
      const __m256i g21 = _mm256_blend_epi16(own0, down0, kM);
      StorePixels16<kBytes>(Words16<kRowPhase>(ca0, bd0, _mm256_blend_epi16(ownM1, upM1, kG),
                                               _mm256_blend_epi16(up0, own0, kG), fBlue, fRed),
                            out0 + x * kBytes);
      StorePixels16<kBytes>(Words16<!kRowPhase>(ca1, bd1, g11, g21, fBlue, fRed),
                            out1 + x * kBytes);
    } else {
      PlainBlock16<kBytes>(call, row, x);
      PlainBlock16<kBytes>(call, row + 1, x);
    }
  }
}

// Rows `row` and row + 1 of a region of even width of at least 20, block by block together.
template <int kBytes>
void RowPair16(const DemosaicCall& call, int row) {
  const int first = 2, last = call.width - 3;
  const int whole = (last - first + 1) / 16 * 16;
  const int rowPhase = call.RowPhaseOfRow(row);
  const int phase = call.ColumnPhaseOfRow(row);
  const auto blocks = [&](int from, int to) {
    const bool oddPhase = ((phase + from) & 1) != rowPhase;
    if (rowPhase != 0) {
      if (oddPhase) {
        BlockPairs16<kBytes, true, true>(call, row, from, to);
      } else {
        BlockPairs16<kBytes, false, true>(call, row, from, to);
      }
    } else if (oddPhase) {
      BlockPairs16<kBytes, true, false>(call, row, from, to);
    } else {
      BlockPairs16<kBytes, false, false>(call, row, from, to);
    }
  };
  blocks(first, first + whole - 1);
  // The last block, placed to end at the last column, overlaps the others.
  if (whole < last - first + 1) blocks(last - 15, last);
}

template <int kBytes>
void Demosaic16Exact(const DemosaicCall& call) {
  if (call.width <= 4 || call.height <= 4) return;
  int row = call.FirstInteriorRow();
  const int lastRow = call.LastInteriorRow();
  if (call.width >= 20 && call.width % 2 == 0) {
    for (; row + 1 <= lastRow; row += 2) RowPair16<kBytes>(call, row);
  }
  for (; row <= lastRow; ++row) Row16<kBytes>(call, row);
}

ORVEX_TARGET_END

}  // namespace

ORVEX_TARGET("avx2")
void Demosaic8Rows_AVX2(const DemosaicCall& call) {
  if (call.sourceStep != 1 || (call.destinationStep != 3 && call.destinationStep != 4) ||
      !ExactFactorsFit(call)) {
    Demosaic8Rows_C(call);
  } else if (call.destinationStep == 3) {
    Demosaic8Exact<3>(call);
  } else {
    Demosaic8Exact<4>(call);
  }
}

ORVEX_TARGET("avx2")
void Demosaic16Rows_AVX2(const DemosaicCall& call) {
  if (call.sourceStep != 2 || (call.destinationStep != 6 && call.destinationStep != 8) ||
      !ExactFactorsFit(call)) {
    Demosaic16Rows_C(call);
    return;
  }
  if (call.destinationStep == 6) {
    Demosaic16Exact<6>(call);
  } else {
    Demosaic16Exact<8>(call);
  }
}

namespace {

void VectorFormRowsAvx2(const DemosaicCall& call, int step) {
  const bool recomputeRight = step == kSseStep;
  if (call.sourceStep != 1 || (call.destinationStep != 3 && call.destinationStep != 4) ||
      !ExactFactorsFit(call)) {
    VectorFormRows_C(call, step, recomputeRight);
  } else if (call.destinationStep == 3) {
    VectorForm8<3>(call, step, recomputeRight);
  } else {
    VectorForm8<4>(call, step, recomputeRight);
  }
}

template <DemosaicRows kRows>
std::int32_t RunRows(std::uint8_t* destination, std::uint8_t* source, const std::int32_t* region,
                     std::int32_t x, std::int32_t y, std::int32_t destinationBytes,
                     std::int32_t sourceBytes, std::int32_t destinationStride,
                     std::int32_t sourceStride, void** parameter, const KernelNeeds& needs) {
  DemosaicCall call;
  const CallState state =
      DecodeDemosaicCall(destination, source, region, x, y, destinationBytes, sourceBytes,
                         destinationStride, sourceStride, parameter, needs, &call);
  if (state != CallState::kReady) return DemosaicResultOf(state);
  kRows(call);
  return 1;
}

}  // namespace

void SseFormRows_AVX2(const DemosaicCall& call) {
  VectorFormRowsAvx2(call, kSseStep);
}

void MmxFormRows_AVX2(const DemosaicCall& call) {
  VectorFormRowsAvx2(call, kMmxStep);
}

std::int32_t Demosaic8_AVX2(std::uint8_t* destination, std::uint8_t* source,
                            const std::int32_t* region, std::int32_t x, std::int32_t y,
                            std::int32_t destinationBytes, std::int32_t sourceBytes,
                            std::int32_t destinationStride, std::int32_t sourceStride,
                            void** parameter, std::int32_t) {
  return RunRows<Demosaic8Rows_AVX2>(destination, source, region, x, y, destinationBytes,
                                     sourceBytes, destinationStride, sourceStride, parameter,
                                     kNeeds8);
}

std::int32_t Demosaic16_AVX2(std::uint8_t* destination, std::uint8_t* source,
                             const std::int32_t* region, std::int32_t x, std::int32_t y,
                             std::int32_t destinationBytes, std::int32_t sourceBytes,
                             std::int32_t destinationStride, std::int32_t sourceStride,
                             void** parameter, std::int32_t) {
  return RunRows<Demosaic16Rows_AVX2>(destination, source, region, x, y, destinationBytes,
                                      sourceBytes, destinationStride, sourceStride, parameter,
                                      kNeeds16);
}

std::int32_t Demosaic8Sse2_AVX2(std::uint8_t* destination, std::uint8_t* source,
                                const std::int32_t* region, std::int32_t x, std::int32_t y,
                                std::int32_t destinationBytes, std::int32_t sourceBytes,
                                std::int32_t destinationStride, std::int32_t sourceStride,
                                void** parameter, std::int32_t) {
  return RunRows<SseFormRows_AVX2>(destination, source, region, x, y, destinationBytes, sourceBytes,
                                   destinationStride, sourceStride, parameter, kNeeds8);
}

std::int32_t Demosaic8Mmx_AVX2(std::uint8_t* destination, std::uint8_t* source,
                               const std::int32_t* region, std::int32_t x, std::int32_t y,
                               std::int32_t destinationBytes, std::int32_t sourceBytes,
                               std::int32_t destinationStride, std::int32_t sourceStride,
                               void** parameter, std::int32_t) {
  return RunRows<MmxFormRows_AVX2>(destination, source, region, x, y, destinationBytes, sourceBytes,
                                   destinationStride, sourceStride, parameter, kNeeds8);
}

}  // namespace orvex::bayer

#else

namespace orvex::bayer {

// Never chosen without AVX2; they give the bytes of the forms they stand for.
void Demosaic8Rows_AVX2(const DemosaicCall& call) {
  Demosaic8Rows_C(call);
}
void Demosaic16Rows_AVX2(const DemosaicCall& call) {
  Demosaic16Rows_C(call);
}
void SseFormRows_AVX2(const DemosaicCall& call) {
  SseModelRows_C(call);
}
void MmxFormRows_AVX2(const DemosaicCall& call) {
  MmxModelRows_C(call);
}
std::int32_t Demosaic8_AVX2(std::uint8_t* destination, std::uint8_t* source,
                            const std::int32_t* region, std::int32_t x, std::int32_t y,
                            std::int32_t destinationBytes, std::int32_t sourceBytes,
                            std::int32_t destinationStride, std::int32_t sourceStride,
                            void** parameter, std::int32_t spare) {
  return Demosaic8(destination, source, region, x, y, destinationBytes, sourceBytes,
                   destinationStride, sourceStride, parameter, spare);
}
std::int32_t Demosaic16_AVX2(std::uint8_t* destination, std::uint8_t* source,
                             const std::int32_t* region, std::int32_t x, std::int32_t y,
                             std::int32_t destinationBytes, std::int32_t sourceBytes,
                             std::int32_t destinationStride, std::int32_t sourceStride,
                             void** parameter, std::int32_t spare) {
  return Demosaic16(destination, source, region, x, y, destinationBytes, sourceBytes,
                    destinationStride, sourceStride, parameter, spare);
}
std::int32_t Demosaic8Sse2_AVX2(std::uint8_t* destination, std::uint8_t* source,
                                const std::int32_t* region, std::int32_t x, std::int32_t y,
                                std::int32_t destinationBytes, std::int32_t sourceBytes,
                                std::int32_t destinationStride, std::int32_t sourceStride,
                                void** parameter, std::int32_t spare) {
  return Demosaic8Sse2_C(destination, source, region, x, y, destinationBytes, sourceBytes,
                         destinationStride, sourceStride, parameter, spare);
}
std::int32_t Demosaic8Mmx_AVX2(std::uint8_t* destination, std::uint8_t* source,
                               const std::int32_t* region, std::int32_t x, std::int32_t y,
                               std::int32_t destinationBytes, std::int32_t sourceBytes,
                               std::int32_t destinationStride, std::int32_t sourceStride,
                               void** parameter, std::int32_t spare) {
  return Demosaic8Mmx_C(destination, source, region, x, y, destinationBytes, sourceBytes,
                        destinationStride, sourceStride, parameter, spare);
}

}  // namespace orvex::bayer

#endif
