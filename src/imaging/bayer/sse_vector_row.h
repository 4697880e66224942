#pragma once

// The 128-bit pass over one row, shared by the SSE2 and SSE3 forms (and, with the plain form's
// arithmetic, by the SSE2 exact form). Included by exactly those two files, each inside its
// own instruction-set target region: everything here has internal linkage so that the two
// copies never meet at link time.
//
// Eight 16-bit lanes, each one pair of output pixels: lane k holds columns c + 2k (column phase
// 0) and c + 2k + 1 (column phase 1). The samples a lane needs lie at even distances from the
// pair, so every operand is the low bytes of the 16-bit lanes of one load.

namespace orvex::bayer {
namespace {

template <bool kSse3>
inline __m128i LoadRow(const std::uint8_t* p) {
  if constexpr (kSse3) {
    return _mm_lddqu_si128(reinterpret_cast<const __m128i*>(p));
  } else {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  }
}

// Lane k = p[2k].
template <bool kSse3>
inline __m128i EvenSamples(const std::uint8_t* p) {
  return _mm_and_si128(LoadRow<kSse3>(p), _mm_set1_epi16(0x00FF));
}

// 9a + 3b + 3c + d with signed saturation (never reached with 8-bit samples).
inline __m128i Weighted(__m128i a, __m128i b, __m128i c, __m128i d) {
  const __m128i nine = _mm_set1_epi16(9), three = _mm_set1_epi16(3);
  __m128i sum = _mm_adds_epi16(_mm_mullo_epi16(a, nine), _mm_mullo_epi16(b, three));
  sum = _mm_adds_epi16(sum, _mm_mullo_epi16(c, three));
  return _mm_adds_epi16(sum, d);
}

// The vector forms' (f x (sum >> 4)) >> 7 in 16-bit lanes, or with kExact the plain form's
// (f x sum) >> 11, which is the high half of sum x (f << 5) while f < 2048.
template <bool kExact>
inline __m128i Scale(__m128i sum, __m128i factor) {
  if constexpr (kExact) {
    return _mm_mulhi_epu16(sum, factor);
  } else {
    return _mm_srli_epi16(_mm_mullo_epi16(_mm_srli_epi16(sum, 4), factor), 7);
  }
}

// Saturated bytes of the even-column and odd-column lanes, in column order.
inline __m128i Interleave(__m128i even, __m128i odd) {
  const __m128i bytes = _mm_packus_epi16(even, odd);
  return _mm_unpacklo_epi8(bytes, _mm_srli_si128(bytes, 8));
}

// Four pixels B G R 0 (32 bits each) -> their 12 bytes B G R packed at the bottom.
inline __m128i PackFour(__m128i q) {
  const __m128i lowDwords = _mm_set_epi32(0, -1, 0, -1);
  const __m128i lowQword = _mm_set_epi32(0, 0, -1, -1);
  const __m128i six =
      _mm_or_si128(_mm_and_si128(q, lowDwords), _mm_srli_epi64(_mm_andnot_si128(lowDwords, q), 8));
  return _mm_or_si128(_mm_and_si128(six, lowQword),
                      _mm_srli_si128(_mm_andnot_si128(lowQword, six), 2));
}

// 16 pixels from three planes -> 48 packed bytes.
inline void PackPixels(__m128i blue, __m128i green, __m128i red, __m128i out[3]) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i bgLo = _mm_unpacklo_epi8(blue, green), bgHi = _mm_unpackhi_epi8(blue, green);
  const __m128i rLo = _mm_unpacklo_epi8(red, zero), rHi = _mm_unpackhi_epi8(red, zero);
  const __m128i c0 = PackFour(_mm_unpacklo_epi16(bgLo, rLo));
  const __m128i c1 = PackFour(_mm_unpackhi_epi16(bgLo, rLo));
  const __m128i c2 = PackFour(_mm_unpacklo_epi16(bgHi, rHi));
  const __m128i c3 = PackFour(_mm_unpackhi_epi16(bgHi, rHi));
  out[0] = _mm_or_si128(c0, _mm_slli_si128(c1, 12));
  out[1] = _mm_or_si128(_mm_srli_si128(c1, 4), _mm_slli_si128(c2, 8));
  out[2] = _mm_or_si128(_mm_srli_si128(c2, 8), _mm_slli_si128(c3, 4));
}

// 16 pixels B G R into 4-byte pixels whose fourth byte keeps its value.
inline void StoreWithFourthByte(__m128i blue, __m128i green, __m128i red, std::uint8_t* out) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i keep = _mm_set1_epi32(static_cast<int>(0xFF000000u));
  const __m128i bgLo = _mm_unpacklo_epi8(blue, green), bgHi = _mm_unpackhi_epi8(blue, green);
  const __m128i rLo = _mm_unpacklo_epi8(red, zero), rHi = _mm_unpackhi_epi8(red, zero);
  const __m128i pixels[4] = {_mm_unpacklo_epi16(bgLo, rLo), _mm_unpackhi_epi16(bgLo, rLo),
                             _mm_unpacklo_epi16(bgHi, rHi), _mm_unpackhi_epi16(bgHi, rHi)};
  for (int k = 0; k < 4; ++k) {
    auto* p = reinterpret_cast<__m128i*>(out + 16 * k);
    _mm_storeu_si128(p, _mm_or_si128(pixels[k], _mm_and_si128(_mm_loadu_si128(p), keep)));
  }
}

// Columns first .. last of one row (first has column phase 0), with the vector forms'
// arithmetic or (kExact) the plain form's. Whole steps of 16 read columns c - 2 .. c + 17; the
// steps that would read past the row's last sample are done pixel by pixel with the same
// arithmetic.
template <bool kSse3, bool kExact = false>
void SseVectorRow(const DemosaicCall& call, int row, int first, int last) {
  const int rowPhase = call.RowPhaseOfRow(row);
  const std::uint8_t* a = call.SourceRow(row - 2);
  const std::uint8_t* b = call.SourceRow(row - 1);
  const std::uint8_t* c = call.SourceRow(row);
  const std::uint8_t* d = call.SourceRow(row + 1);
  std::uint8_t* out = call.DestinationRow(row);
  const std::uint8_t* pairNear = rowPhase == 0 ? c : b;
  const std::uint8_t* pairFar = rowPhase == 0 ? a : d;
  const std::uint8_t* centerNear = rowPhase == 0 ? b : c;
  const std::uint8_t* centerFar = rowPhase == 0 ? d : a;
  // Green pairs: row r - 1 at x - 1 and x + 1 with row r at x on row phase 0, the other way
  // round on row phase 1.
  const std::uint8_t* greenFirst = rowPhase == 0 ? b : c;
  const std::uint8_t* greenSecond = rowPhase == 0 ? c : b;
  const __m128i fBlue = _mm_set1_epi16(static_cast<short>(
      kExact ? call.fBlue << 5 : static_cast<std::int64_t>(Factor16(call.fBlue))));
  const __m128i fRed = _mm_set1_epi16(
      static_cast<short>(kExact ? call.fRed << 5 : static_cast<std::int64_t>(Factor16(call.fRed))));
  const std::ptrdiff_t step = call.destinationStep;

  alignas(16) std::uint8_t storage[3][16];
  int x = first;
  for (; x + 16 - 1 <= last && x + 17 <= call.width - 1; x += 16) {
    // Blue lies on the pair's column phase 1 neighbours (x - 1 and x + 1), red on column phase
    // 0 samples (x - 2, x, x + 2); row r - 1 or r carries the weight 9 by row phase.
    const __m128i p = EvenSamples<kSse3>(pairNear + x - 1),
                  q = EvenSamples<kSse3>(pairNear + x + 1);
    const __m128i pf = EvenSamples<kSse3>(pairFar + x - 1),
                  qf = EvenSamples<kSse3>(pairFar + x + 1);
    const __m128i blueEven = Weighted(p, q, pf, qf);
    const __m128i blueOdd = Weighted(q, p, qf, pf);
    const __m128i u = EvenSamples<kSse3>(centerNear + x - 2),
                  v = EvenSamples<kSse3>(centerNear + x),
                  w = EvenSamples<kSse3>(centerNear + x + 2);
    const __m128i uf = EvenSamples<kSse3>(centerFar + x - 2),
                  vf = EvenSamples<kSse3>(centerFar + x),
                  wf = EvenSamples<kSse3>(centerFar + x + 2);
    const __m128i redEven = Weighted(v, u, vf, uf);
    const __m128i redOdd = Weighted(v, w, vf, wf);
    // Green: the two green samples of the 2 x 2 block ending at the pixel.
    const __m128i gFirst = EvenSamples<kSse3>(greenFirst + x - 1);  // x - 1
    const __m128i gMiddle = EvenSamples<kSse3>(greenSecond + x);    // x
    const __m128i gLast = EvenSamples<kSse3>(greenFirst + x + 1);   // x + 1
    const __m128i gEven = _mm_add_epi16(gFirst, gMiddle);
    const __m128i gOdd = _mm_add_epi16(gMiddle, gLast);
    const __m128i blue = Interleave(Scale<kExact>(blueEven, fBlue), Scale<kExact>(blueOdd, fBlue));
    const __m128i green = Interleave(_mm_srli_epi16(gEven, 1), _mm_srli_epi16(gOdd, 1));
    const __m128i red = Interleave(Scale<kExact>(redEven, fRed), Scale<kExact>(redOdd, fRed));
    std::uint8_t* o = out + x * step;
    if (step == 3) {
      __m128i packed[3];
      PackPixels(blue, green, red, packed);
      if constexpr (kSse3) {
        for (int k = 0; k < 3; ++k) {
          _mm_store_si128(reinterpret_cast<__m128i*>(storage[k]), packed[k]);
        }
        std::memcpy(o, storage, sizeof storage);
      } else {
        for (int k = 0; k < 3; ++k) {
          _mm_storeu_si128(reinterpret_cast<__m128i*>(o + 16 * k), packed[k]);
        }
      }
    } else if (step == 4) {
      StoreWithFourthByte(blue, green, red, o);
    } else {
      _mm_store_si128(reinterpret_cast<__m128i*>(storage[0]), blue);
      _mm_store_si128(reinterpret_cast<__m128i*>(storage[1]), green);
      _mm_store_si128(reinterpret_cast<__m128i*>(storage[2]), red);
      for (int k = 0; k < 16; ++k, o += step) {
        o[0] = storage[0][k];
        o[1] = storage[1][k];
        o[2] = storage[2][k];
      }
    }
  }
  if (x <= last) {
    if constexpr (kExact) {
      Row8_C(call, row, x, last);
    } else {
      VectorRow8_C(call, row, x, last);
    }
  }
}

template <bool kSse3>
void SseVectorForm(const DemosaicCall& call) {
  if (call.sourceStep != 1) {
    VectorFormRows_C(call, kSseStep, true);
    return;
  }
  for (int row = call.FirstInteriorRow(); row <= call.LastInteriorRow(); ++row) {
    SseVectorRow<kSse3>(call, row, VectorPassFirst(call, row), VectorPassLast(call, row, kSseStep));
  }
  FinishVectorForm(call, true, [](const DemosaicCall& part) { Demosaic8Rows_C(part); });
}

}  // namespace
}  // namespace orvex::bayer
