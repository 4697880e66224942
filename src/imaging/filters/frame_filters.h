#pragma once

// The filter stages of one frame, made ready to run row by row in place on the output.

#include <cstdint>

#include "imaging/filters/hue_saturation.h"
#include "imaging/filters/sharpness_rows.h"
#include "imaging/filters/table_map.h"
#include "imaging/image_filters.h"

namespace orvex {

// The settings of the filter stages, each read once for the frame.
struct FilterSettings {
  std::int32_t hue = 0;
  std::int32_t saturation = 0;
  std::int32_t gamma = 100;
  std::int32_t contrast = 0;
  std::int32_t sharpness = 0;
  std::int32_t brightness = 0;
};

// Hue and saturation, gamma, contrast, sharpness and brightness over rows, giving the bytes of
// the stages run one after another over the whole image. Gamma, contrast and brightness map
// each sample through a table of its value alone (a 16-bit word above 1023 read as 1023, and
// every table's entries within 0..1023), so consecutive ones are one table: the entry of v is
// the last stage's entry of the one before's entry of ... of v. Sharpness reads the neighbours
// of a sample as they were before it, so it splits the tables in two: those before it, and
// brightness after it.
class FrameFilters {
 public:
  // `pixelBytes` of the output (1, 2, 3, 4, 6 or 8 as `variant` says); `sharpen`: whether the
  // sharpness stage may run at all (it has its copy of the image), as the settings ask.
  void Prepare(FilterVariant variant, std::int32_t pixelBytes, const FilterSettings& settings,
               bool sharpen);

  bool Active() const { return hueSaturation_ || before_ || sharpens_ || after_; }
  bool Sharpens() const { return sharpens_; }

  // Hue and saturation and the table stages up to sharpness (all of them when nothing
  // sharpens), in place on a row of `pixels` pixels.
  void BeforeSharpness(std::uint8_t* row, std::int32_t pixels) const;
  // The same stages for a row that Sharpen will write, their results put in `copy` instead of
  // the row: its samples wait for Sharpen, which writes each of them (they may be left as they
  // were), and its fourth elements, which those stages keep, stay as they are. Copy's fourth
  // elements are left undefined.
  void BeforeSharpenedRow(std::uint8_t* row, std::int32_t pixels, std::uint8_t* copy) const;
  // Sharpness and the table stages after it for output row r: `window` holds rows r - 2 .. r + 1
  // as they were before sharpness, `out` row r, whose every sample is written (columns
  // 2 .. pixels - 3 sharpened, the others from window[2]); its fourth elements are kept.
  // `sums` has room for a row's samples (pixels x the samples a pixel); `dropped`, when not
  // null, is row r - 3 before sharpness, and `sums` then hold what this call left in them for
  // row r - 1, which it updates instead of summing four rows again.
  void Sharpen(const std::uint8_t* const window[4], std::uint8_t* out, std::int32_t pixels,
               std::uint16_t* sums, const std::uint8_t* dropped = nullptr) const;
  // The table stages after sharpness, in place, for a row that sharpness leaves as it is.
  void AfterSharpness(std::uint8_t* row, std::int32_t pixels) const;

  // Samples (bytes or words) a pixel takes in a row, the unit of `sums`.
  std::int32_t ElementsPerPixel() const { return elements_; }

 private:
  // Hue and saturation and the table after them from `row` to `out` in one pass.
  void HueSaturationTableRow(std::uint8_t* out, std::uint8_t* row, std::int32_t pixels) const;
  void MapRow(bool before, std::uint8_t* out, const std::uint8_t* row, std::int32_t pixels) const;
  // The columns sharpness leaves, from `from` to `out`: as they are, or through `afterScale_`.
  void CopyEdges(const std::uint8_t* from, std::uint8_t* out, std::int32_t pixels,
                 bool scale) const;

  bool wide_ = false;
  std::int32_t pixelBytes_ = 0;
  std::int32_t elements_ = 0;
  bool hueSaturation_ = false;
  filters::HueSaturationOffsets offsets_{};
  // Hue and saturation and the table after them in one pass over the row, the table looked up
  // by byte shuffles (of quarters, for words) before the results are written: where the table
  // would go by shuffles or quarters anyway.
  bool onepass_ = false;
  filters::SteppedTable steppedTable_;
  bool before_ = false;
  bool after_ = false;
  bool sharpens_ = false;
  std::int32_t sharpness_ = 0;
  using SharpenRow = void (*)(const filters::RowJob&, const filters::SharpenTable&);
  SharpenRow sharpenRow_ = nullptr;
  // Tables of bytes or of words, as the variant takes.
  filters::ByteTableMap bytesBefore_, bytesAfter_;
  filters::WordTableMap wordsBefore_, wordsAfter_;
  // Brightness alone on words goes by its arithmetic.
  bool wordsBeforeBrightness_ = false, wordsAfterBrightness_ = false;
  filters::WordBrightnessMap brightnessBefore_, brightnessAfter_;
  filters::SharpenTable sharpenTable_{0, 255};
  // The stage after sharpness as arithmetic the sharpness rows apply to what they write, when
  // it has such a form; the rest of the row then takes it from CopyEdges.
  bool scalesAfter_ = false;
  filters::SampleScale afterScale_{};
};

}  // namespace orvex
