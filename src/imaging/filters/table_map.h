#pragma once

// The table mapping that gamma, contrast and brightness share, in its forms: the plain runs
// here and in table_map.cpp, the vector runs in table_map_avx2.cpp and table_map_avx512.cpp.

#include <cstddef>
#include <cstdint>

#include "imaging/filters/filter_common.h"
#include "imaging/kernel_call.h"

namespace orvex::filters {

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

// One run of `n` bytes, every byte a sample; or of `pixels` pixels of four bytes whose fourth
// byte is left as it is (Bgrx). The 16-bit runs take words, a word above 1023 read as 1023.
void LookupRun_C(std::uint8_t* d, const std::uint8_t* s, std::size_t n, const std::uint8_t* table);
void LookupBgrx_C(std::uint8_t* d, const std::uint8_t* s, std::size_t pixels,
                  const std::uint8_t* table);
void Lookup16Run_C(std::uint8_t* d, const std::uint8_t* s, std::size_t words,
                   const std::uint16_t* table);
void Lookup16Bgrx_C(std::uint8_t* d, const std::uint8_t* s, std::size_t pixels,
                    const std::uint16_t* table);

// A 256-entry table looked up with 16-entry byte shuffles (the AVX2 form), which yield zero
// where the index has its top bit set. For x < 128 the shuffle at index x - 16k fires exactly
// for k <= x / 16, so storing each segment XOR its predecessor makes the fired terms telescope
// to segment x / 16. The upper half is done the same way on x - 128, and x's top bit picks.
struct ShuffleTable {
  alignas(32) std::uint8_t lower[8][32];
  alignas(32) std::uint8_t upper[8][32];
};
void MakeShuffleTable(const std::uint8_t* table, ShuffleTable* t);

// A 256-entry byte table (or a word table's quarters) whose two halves are
// looked up from the same indices x - 16k, k = 0..8, instead of the upper half stepping through
// indices of its own. The lower half is ShuffleTable's. For x of 128 on, x - 16k has its top
// bit clear (the shuffle fires) exactly for k past x's upper segment j = (x - 128) / 16:
// upper[k - 1] holds segment k - 1 XOR segment k of the upper half for k = 1..7, and upper[7]
// (at x - 128, which fires for every such x) the last segment, so that the fired terms
// telescope to segment j. x's top bit picks the half, and x - 128 is what the high bytes of
// the quarters are counted from.
struct SteppedTable {
  alignas(32) std::uint8_t lower[8][32];
  alignas(32) std::uint8_t upper[8][32];
  // A word table read only at multiples of 4 up to 1020 (the words hue and saturation leave) is
  // looked up as its 256 quarters: the low byte of each entry from the halves above, the high
  // byte (0..3) as quarter 0's plus the number of steps at or below the quarter, which needs
  // high bytes that never fall along the table (as in every table the stages build).
  std::uint8_t base = 0;  // the high byte of quarter 0
  // Quarter q is at or above step k when q - 128 > steps[k] as signed bytes; 127 for none.
  std::int8_t steps[3] = {127, 127, 127};
};
void MakeSteppedTable(const std::uint8_t* table, SteppedTable* t);
// False, the table left to its plain lookup, when its high bytes at multiples of 4 fall or pass 3.
bool MakeSteppedQuarterTable(const std::uint16_t* table, SteppedTable* t);

// A table that is a clipped straight line, computed instead of looked up: the entry of v is
// min(full, floor(v' x multiplier / 2^shift)) with v' = max(v + add - sub, 0). Brightness is
// such a line through 0, contrast one through its setting c (add or sub moves it there). The
// forms are found from the table itself and checked against every entry before use, so a table
// the products of doubles made a unit off a line here and there stays a table.
struct LineForm {
  std::uint16_t add = 0;
  std::uint16_t sub = 0;
  std::uint32_t multiplier = 0;
  int shift = 0;
  bool wideLanes = false;  // words whose line needs 32-bit lanes
};
int LineEntry(const LineForm& f, int v, int full);
// The least multiplier M <= maxM with min(full, floor(max(v - c, 0) x M / 2^q)) equal to
// every entry of the n-entry table from v = c + 1 on, or -1: each entry bounds M from below,
// and from above unless it is full. Entries up to c are not looked at.
std::int64_t LeastLineMultiplier(const std::uint8_t* table, int n, int full, int c, int q,
                                 std::int64_t maxM);
std::int64_t LeastLineMultiplier(const std::uint16_t* table, int n, int full, int c, int q,
                                 std::int64_t maxM);
// The line runs in 16-bit lanes (multiplier below 2^16, v' x 2^(16 - shift) below 2^15 for
// bytes, 2^16 for words), or for words that need more in 32-bit lanes (v' x multiplier below
// 2^31). False when no line gives every entry.
bool FindLine8(const std::uint8_t* table, LineForm* form);
bool FindLine16(const std::uint16_t* table, LineForm* form);

// A byte table made ready once for the fastest row form in force; then any number of rows.
class ByteTableMap {
 public:
  void Prepare(const std::uint8_t* table);
  // `pixels` pixels of `pixelBytes` bytes from s to d (the same row, or rows apart): every byte
  // a sample for 1 or 3 bytes a pixel; blue, green, red and a kept fourth byte for 4.
  void MapRow(std::uint8_t* d, const std::uint8_t* s, std::size_t pixels, int pixelBytes) const;
  // Whether rows go through AVX2 byte shuffles (not a line, nor AVX-512).
  bool ByShuffles() const { return form_ == Form::kAvx2; }
  const std::uint8_t* Table() const { return table_; }

 private:
  enum class Form { kPlain, kAvx2, kAvx512, kLineAvx2 };
  Form form_ = Form::kPlain;
  alignas(64) std::uint8_t table_[256] = {};
  ShuffleTable shuffle_;
  LineForm line_;
};

// A table of 10-bit samples in words (a word above 1023 reads as 1023), made ready once.
class WordTableMap {
 public:
  void Prepare(const std::uint16_t* table);
  // `pixels` pixels of `pixelBytes` bytes: every word a sample for 2 or 6 bytes a pixel; blue,
  // green, red and a kept fourth word for 8.
  void MapRow(std::uint8_t* d, const std::uint8_t* s, std::size_t pixels, int pixelBytes) const;
  const std::uint16_t* Table() const { return table_; }
  // Whether the table has a quarter form (MakeSteppedQuarterTable) worth looking up after hue
  // and saturation: with AVX2, the table not a line.
  bool ByQuarters() const { return quarter_; }

 private:
  bool avx2_ = false;
  bool line_ = false;     // the table is a line (avx2_ only)
  bool quarter_ = false;  // avx2_, no line, and a quarter form
  LineForm form_;
  std::uint16_t table_[kMax16 + 1] = {};
};

// Brightness of words by its arithmetic where that is faster than its table (which it equals
// entry for entry, as BuildBrightnessTable16 makes it), made ready once: as a line in integers
// where one gives every entry, else in doubles.
class WordBrightnessMap {
 public:
  void Prepare(std::int32_t brightness);
  // As WordTableMap::MapRow.
  void MapRow(std::uint8_t* d, const std::uint8_t* s, std::size_t pixels, int pixelBytes) const;
  const std::uint16_t* Table() const { return table_; }
  // Whether rows go through a line in integers (in vectors) rather than the table or doubles.
  bool Computed() const { return line_; }

 private:
  bool avx2_ = false;
  bool line_ = false;
  LineForm form_;
  double factor_ = 1.0;
  std::uint16_t table_[kMax16 + 1] = {};
};

// The row forms behind the maps. Words are 10-bit samples, every fourth kept when `keepFourth`
// (whole pixels then); lines take `n` bytes, every fourth kept with `bgrx` (whole pixels then).
void LineBytes_AVX2(std::uint8_t* d, const std::uint8_t* s, std::size_t n, bool bgrx,
                    const LineForm& form, const std::uint8_t* table);
void LineWords_AVX2(std::uint8_t* d, const std::uint8_t* s, std::size_t words, bool keepFourth,
                    const LineForm& form, const std::uint16_t* table);
// Brightness of `words` words of samples in doubles.
void BrightnessWords_AVX2(std::uint8_t* d, const std::uint8_t* s, std::size_t words, double factor,
                          const std::uint16_t* table);
void LookupRun_AVX2(std::uint8_t* d, const std::uint8_t* s, std::size_t n,
                    const std::uint8_t* table, const ShuffleTable& t);
void LookupBgrx_AVX2(std::uint8_t* d, const std::uint8_t* s, std::size_t pixels,
                     const std::uint8_t* table, const ShuffleTable& t);
void LookupRun_AVX512(std::uint8_t* d, const std::uint8_t* s, std::size_t n,
                      const std::uint8_t* table);
void LookupBgrx_AVX512(std::uint8_t* d, const std::uint8_t* s, std::size_t pixels,
                       const std::uint8_t* table);
void Lookup16Bgrx_AVX2(std::uint8_t* d, const std::uint8_t* s, std::size_t pixels,
                       const std::uint16_t* table);
void Lookup16Run_AVX2(std::uint8_t* d, const std::uint8_t* s, std::size_t words,
                      const std::uint16_t* table);

}  // namespace orvex::filters
