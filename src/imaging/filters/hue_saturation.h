#pragma once

// The per-pixel arithmetic of the hue and saturation stage, shared by its kernels and tests.

#include <cstdint>

#include "imaging/image_filters.h"
#include "imaging/kernel_call.h"

namespace orvex::filters {

// The stage's result for one pixel of 8-bit channels, packed blue | green << 8 | red << 16,
// exactly as defined (64 steps a sector, divisions truncating, offsets of any 32-bit value).
std::uint32_t HueSaturationPixel_C(int red, int green, int blue, const HueSaturationRecord& record);

// Offsets brought into ranges where 32-bit arithmetic cannot overflow, chosen so that every
// pixel's result stays the same: past these bounds an offset only saturates further.
struct HueSaturationOffsets {
  std::int32_t hue;         // -720 .. 719
  std::int32_t lightness;   // -512 .. 512
  std::int32_t saturation;  // -512 .. 512
};
HueSaturationOffsets NormaliseOffsets(const HueSaturationRecord& record);

// floor(n / d) for 0 <= n < 65536 and 1 <= d <= 255 by a multiplication.
int DivideByReciprocal(int n, int d);

// The plain fast form's arithmetic for one pixel; the same packed result.
std::uint32_t HueSaturationPixel(int red, int green, int blue, const HueSaturationOffsets& offsets);

// The stage in place on one row of `pixels` pixels of 3 or 4 bytes (6 or 8 when `wide`), in the
// fastest form in force.
void HueSaturationRow(std::uint8_t* row, std::int32_t pixels, std::int32_t pixelBytes, bool wide,
                      const HueSaturationOffsets& offsets);

// The rows of a call of 3 or 4 bytes a pixel (or 6 or 8 when `wide`) with AVX2, destination
// in place of or apart from the source; false, with nothing done, for other pixel sizes.
bool HueSaturationRows_AVX2(const KernelCall& call, const HueSaturationOffsets& offsets, bool wide);

struct SteppedTable;
// The same followed by a table, in one pass: each result looked up before it is written, a byte
// table for bytes, and for `wide` a word table's quarters (hue and saturation leave every word
// a multiple of 4) with their high bytes.
bool HueSaturationTableRows_AVX2(const KernelCall& call, const HueSaturationOffsets& offsets,
                                 bool wide, const SteppedTable& table);

}  // namespace orvex::filters
