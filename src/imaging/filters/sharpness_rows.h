#pragma once

// The row forms of the sharpness stage: what they share here, the plain form in sharpness.cpp,
// the vector forms in sharpness_sse2.cpp and sharpness_avx2.cpp.

#include <cstdint>

#include "imaging/filters/filter_common.h"

namespace orvex::filters {

// Beyond ten times full scale every non-zero difference already saturates, so larger settings
// give the same bytes; the bound keeps s x (k - B) within 32 bits.
inline int ClampedSharpness(std::int32_t s, int full) {
  const int limit = 10 * full + 10;
  return s < -limit ? -limit : s > limit ? limit : s;
}

// The sharpen table T[k] = (s x (k - B)) / 10, 2 x (B + 1) entries.
struct SharpenTable {
  int full = 0;
  int s = 0;
  int entries[2 * (kMax16 + 1)];

  SharpenTable(std::int32_t setting, int fullScale)
      : full(fullScale), s(ClampedSharpness(setting, fullScale)) {
    for (int k = 0; k < 2 * (full + 1); ++k) entries[k] = (s * (k - full)) / 10;
  }
  int Apply(int o, int b) const {
    const int v = o + entries[o - b + full];
    return v < 0 ? 0 : v > full ? full : v;
  }
};

template <bool kWide>
inline int ReadSample(const std::uint8_t* p) {
  if constexpr (kWide) {
    return Load10(p);
  } else {
    return *p;
  }
}

template <bool kWide>
inline void WriteSample(std::uint8_t* p, int v) {
  if constexpr (kWide) {
    Store16(p, static_cast<std::uint16_t>(v));
  } else {
    *p = static_cast<std::uint8_t>(v);
  }
}

// A table stage after sharpness in the form the sharpness rows can apply to the samples they
// have just computed, still in 16-bit lanes, instead of in a pass of its own over the row:
// v -> min(((v << up) x multiplier) >> (16 + down), full), for v in 0..full. Brightness,
// trunc(v x f) clamped, has such a form for most factors; FindSampleScale finds it and checks it
// against every entry of the stage's table.
struct SampleScale {
  std::uint32_t multiplier = 0;  // below 65536
  int up = 0;                    // full << up stays below 65536
  int down = 0;
  int full = 0;

  int Apply(int v) const {
    const auto r =
        static_cast<int>((((static_cast<std::uint32_t>(v) << up) * multiplier) >> 16) >> down);
    return r > full ? full : r;
  }
};

// The form of `table` (entries 0..full of a stage that maps each sample by its value) as a
// SampleScale, false when none gives every entry exactly. Before the clamp to full its values
// stay below 32768, so that lanes saturate as signed 16-bit ones: a pack to bytes clamps them.
bool FindSampleScale(const std::uint8_t* table, int full, SampleScale* scale);
bool FindSampleScale(const std::uint16_t* table, int full, SampleScale* scale);

// ---- Row forms ---------------------------------------------------------------------------
//
// A row is a run of elements (bytes, or 16-bit words), `e` of them a pixel. The fast forms sum
// the four source rows per element first, then four of those sums `e` apart. Element p of an
// output row is written only when it is a channel (p % e < 3); the fourth is kept.

struct RowJob {
  const std::uint8_t* rows[4];  // source rows r - 2 .. r + 1
  const std::uint8_t* source;   // source row r
  std::uint8_t* destination;    // destination row r
  int elements;                 // a row, width x e
  int e;
  std::uint16_t* sums;  // the vertical sums, `elements` of them
  // The stage after sharpness applied to the written samples as well; null for none.
  const SampleScale* scale = nullptr;
  // Null, or source row r - 3 when `sums` hold the vertical sums of rows r - 3 .. r (those of
  // the row before): the new sums are then those plus row r + 1 less this row.
  const std::uint8_t* dropped = nullptr;
};

template <bool kWide>
inline void VerticalSum_C(const RowJob& job, int begin, int end) {
  const int size = kWide ? 2 : 1;
  for (int p = begin; p < end; ++p) {
    const auto at = [&](const std::uint8_t* row) { return ReadSample<kWide>(row + size * p); };
    const int sum = job.dropped != nullptr
                        ? job.sums[p] + at(job.rows[3]) - at(job.dropped)
                        : at(job.rows[0]) + at(job.rows[1]) + at(job.rows[2]) + at(job.rows[3]);
    job.sums[p] = static_cast<std::uint16_t>(sum);
  }
}

template <bool kWide>
inline void Sharpen_C(const RowJob& job, const SharpenTable& table, int begin, int end) {
  const int size = kWide ? 2 : 1;
  const int e = job.e;
  const std::uint16_t* v = job.sums;
  for (int p = begin; p < end; ++p) {
    if (e == 4 && (p & 3) == 3) continue;
    const int b = (v[p - 2 * e] + v[p - e] + v[p] + v[p + e]) >> 4;
    const int o = ReadSample<kWide>(job.source + size * p);
    const int sharpened = table.Apply(o, b);
    WriteSample<kWide>(job.destination + size * p,
                       job.scale ? job.scale->Apply(sharpened) : sharpened);
  }
}

// The vector forms compute T[k] = (s x d) / 10 instead of looking it up: |s x d| fits 16 bits,
// and for |x| < 32768 trunc(x / 10) is the signed (x x 26215) >> 18, plus one where x is
// negative; for |x| < 16384 (x x 6554) >> 16 does instead, one shift fewer. Both hold over
// their whole ranges.
inline constexpr int kTenthMultiplier = 26215;
inline constexpr int kShortTenthMultiplier = 6554;
inline bool ShortTenth(const SharpenTable& table) {
  return (table.s < 0 ? -table.s : table.s) * table.full < 16384;
}
constexpr int VectorSharpnessLimit(int full) {
  return 32767 / full;
}

// Vector rows run in chunks starting at begin, begin + chunk, ... and, for the rest, once more
// for the chunk ending exactly at `end`: each element is computed from the source alone, so the
// overlap writes the same values again. Spans shorter than a chunk take the plain form. Each
// vector file has its own ForEachChunk(begin, end, step) built for its instruction set, so that
// the steps, marked ORVEX_INLINE_STEP, are inlined into it.
#if defined(__GNUC__)
#define ORVEX_INLINE_STEP __attribute__((always_inline))
#else
#define ORVEX_INLINE_STEP
#endif

// One output row r from the rows around it: the vertical sums, then the sharpened samples of
// columns 2 .. width - 3. The vector forms take settings within +-VectorSharpnessLimit only.
template <bool kWide>
void SharpnessRow_C(const RowJob& job, const SharpenTable& table) {
  VerticalSum_C<kWide>(job, 0, job.elements);
  Sharpen_C<kWide>(job, table, 2 * job.e, job.elements - 2 * job.e);
}
template <bool kWide>
void SharpnessRow_SSE2(const RowJob& job, const SharpenTable& table);
template <bool kWide>
void SharpnessRow_AVX2(const RowJob& job, const SharpenTable& table);

// The fastest row form in force for 8-bit (or, `wide`, 16-bit) samples and this table.
using SharpnessRowForm = void (*)(const RowJob& job, const SharpenTable& table);
SharpnessRowForm FastestSharpnessRow(bool wide, const SharpenTable& table);

}  // namespace orvex::filters
