#pragma once

#include <cstdint>

#include "imaging/hue_table.h"
#include "imaging/image_buffer.h"
#include "imaging/pixel_kernel.h"

namespace orvex {

// Luminance of a colour source (3 or 4 bytes a pixel, blue, green, red) into an 8-bit
// destination: (59 green + 30 red + 11 blue) / 100. LuminanceKernel_C is the definition;
// LuminanceKernel gives its bytes in the fastest form in force.
std::int32_t LuminanceKernel_C(std::uint8_t* destination, std::uint8_t* source,
                               const std::int32_t* region, std::int32_t x, std::int32_t y,
                               std::int32_t destinationBytes, std::int32_t sourceBytes,
                               std::int32_t destinationStride, std::int32_t sourceStride,
                               void** parameter, std::int32_t spare);
std::int32_t LuminanceKernel(std::uint8_t* destination, std::uint8_t* source,
                             const std::int32_t* region, std::int32_t x, std::int32_t y,
                             std::int32_t destinationBytes, std::int32_t sourceBytes,
                             std::int32_t destinationStride, std::int32_t sourceStride,
                             void** parameter, std::int32_t spare);

// Spread rows that arrived packed (region width samples each, one after another from the start
// of the pixel memory) out to the destination stride, in place. The last row moves first, so
// nothing is overwritten before it has moved. One byte a sample, or two.
std::int32_t ExpandRows8(std::uint8_t* destination, std::uint8_t* source,
                         const std::int32_t* region, std::int32_t x, std::int32_t y,
                         std::int32_t destinationBytes, std::int32_t sourceBytes,
                         std::int32_t destinationStride, std::int32_t sourceStride,
                         void** parameter, std::int32_t spare);
std::int32_t ExpandRows16(std::uint8_t* destination, std::uint8_t* source,
                          const std::int32_t* region, std::int32_t x, std::int32_t y,
                          std::int32_t destinationBytes, std::int32_t sourceBytes,
                          std::int32_t destinationStride, std::int32_t sourceStride,
                          void** parameter, std::int32_t spare);

// The pseudo-colour output of 8-bit samples: 0 black, 255 white, any other value v the colour of
// hue table entry v. Both images must have the same width and height (0 otherwise, nothing
// written); rows are taken at their strides.
int PseudoColorMap(const ImageBuffer& raw8, ImageBuffer& color24, const HueTable& table);

// The luminance of one row: `pixels` pixels of 3 or 4 bytes from `colour` into bytes of `gray`
// (apart from each other), in the fastest form in force; and the plain form.
void LuminanceRow(std::uint8_t* gray, const std::uint8_t* colour, std::int32_t pixels,
                  std::int32_t colourBytes);
void LuminanceRow_C(std::uint8_t* gray, const std::uint8_t* colour, std::int32_t pixels,
                    std::int32_t colourBytes);
void LuminanceRow_AVX2(std::uint8_t* gray, const std::uint8_t* colour, std::int32_t pixels,
                       std::int32_t colourBytes);

// One row of the pseudo-colour map: `pixels` samples of `from` through `colors` (blue, green,
// red and a spare byte of every sample value) into 3-byte pixels of `to`, writing no byte past
// the row's 3 x pixels. PseudoColorRow_C is the definition; PseudoColorRow_Pairs gives its
// bytes from the tables below.
void PseudoColorRow_C(std::uint8_t* to, const std::uint8_t* from, std::int32_t pixels,
                      const std::uint8_t (*colors)[4]);
// Each sample value's entry as the first and as the second pixel of an 8-byte word (the second
// starting at byte 3), so that two pixels are one word; and the entries themselves.
struct PseudoColorPairs {
  std::uint64_t first[256] = {};
  std::uint64_t second[256] = {};
  const std::uint8_t (*colors)[4] = nullptr;
};
void PseudoColorRow_Pairs(std::uint8_t* to, const std::uint8_t* from, std::int32_t pixels,
                          const PseudoColorPairs& pairs);
// The same bytes with AVX2, eight pixels a store; what the conversion runs where it may.
void PseudoColorRow_AVX2(std::uint8_t* to, const std::uint8_t* from, std::int32_t pixels,
                         const std::uint8_t (*colors)[4]);

// The hue table's colours as arithmetic on the sample v, for a form that reads no table entry
// per pixel. From kPseudoColorRampStart to 254 each channel is Ramp(t) = floor(254 t / 60) of a
// distance t clamped to 0 .. 60: for blue 179 - v, for red v - 179, for green the nearer of
// v - 59 and 299 - v. Below the start, and at 255, blue and red are the ramps' values corrected
// by a lookup (XOR) at u = v + 1 (mod 256), which is at most kPseudoColorRampStart there, and
// green is the ramp's value (0 below the start, and 255 at 255).
inline constexpr int kPseudoColorRampStart = 59;  // green rises from here
inline constexpr int kPseudoColorRedStart = 179;  // blue has fallen to 0 and red rises
inline constexpr int kPseudoColorGreenEnd = 299;  // where green would have fallen to 0
struct PseudoColorRamps {
  // The corrections of blue and red at u = w - 68 in four steps of 16 entries: step j holds
  // those of w = 64 + 16 j + p at entry p, XORed with step j + 1's. The index of step j is
  // w + 16 (3 - j), saturated, which stays below 128 (a byte shuffle gives 0 above) for the steps
  // from w's own on: their XOR is w's entry. For u past the start w saturates and adds nothing.
  std::uint8_t blueSteps[4][16] = {};
  std::uint8_t redSteps[4][16] = {};
  // Whether the ramps give every one of the 256 colours; the lookup forms run when not.
  bool exact = false;
};
// PseudoColorRow_C's bytes from the ramps, 32 pixels a step, with AVX2; `colors` for the tail.
void PseudoColorRow_RampsAVX2(std::uint8_t* to, const std::uint8_t* from, std::int32_t pixels,
                              const PseudoColorRamps& ramps, const std::uint8_t (*colors)[4]);

// The two conversions above for rows first .. end - 1 of images of one size, as the pipeline
// runs them band by band: the same bytes as the whole-image forms.
struct PseudoColorRows {
  const ImageBuffer* raw8 = nullptr;
  ImageBuffer* color24 = nullptr;
  std::uint8_t colors[256][4] = {};  // blue, green, red and a spare byte of every sample value
  PseudoColorPairs pairs;
  PseudoColorRamps ramps;
};
// False when PseudoColorMap would refuse the images.
bool PreparePseudoColorRows(const ImageBuffer& raw8, ImageBuffer& color24, const HueTable& table,
                            PseudoColorRows* rows);
void ConvertPseudoColorRows(const void* context, std::int32_t first, std::int32_t end);

struct LuminanceRows {
  const ImageBuffer* colour = nullptr;
  ImageBuffer* gray = nullptr;
};
void ConvertLuminanceRows(const void* context, std::int32_t first, std::int32_t end);

}  // namespace orvex
