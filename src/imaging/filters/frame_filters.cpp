#include "imaging/filters/frame_filters.h"

#include <cstdint>
#include <cstring>
#include <initializer_list>

#include "imaging/filters/filter_common.h"
#include "imaging/filters/filter_kernels.h"

namespace orvex {
namespace {

// The table stages in order, each a table of `Entry` over 0..full, composed into `out`; false
// when none runs.
template <class Entry, int kFull>
bool ComposeTables(const FilterSettings& s, bool gamma, bool contrast, bool brightness,
                   Entry* out) {
  Entry stage[kFull + 1];
  bool any = false;
  const auto add = [&](bool runs, auto build) {
    if (!runs) return;
    build(stage);
    for (int v = 0; v <= kFull; ++v) out[v] = any ? stage[out[v]] : stage[v];
    any = true;
  };
  if constexpr (kFull == 255) {
    add(gamma, [&](Entry* t) { filters::GammaTable8(s.gamma, t); });
    add(contrast, [&](Entry* t) { filters::BuildContrastTable8(s.contrast, t); });
    add(brightness, [&](Entry* t) { filters::BuildBrightnessTable8(s.brightness, t); });
  } else {
    add(gamma, [&](Entry* t) { filters::GammaTable16(s.gamma, t); });
    add(contrast, [&](Entry* t) { filters::BuildContrastTable16(s.contrast, t); });
    add(brightness, [&](Entry* t) { filters::BuildBrightnessTable16(s.brightness, t); });
  }
  return any;
}

}  // namespace

void FrameFilters::Prepare(FilterVariant variant, std::int32_t pixelBytes, const FilterSettings& s,
                           bool sharpen) {
  *this = FrameFilters();
  if (variant == FilterVariant::kNone) return;
  wide_ = filters::IsWide(variant);
  pixelBytes_ = pixelBytes;
  elements_ = wide_ ? pixelBytes / 2 : pixelBytes;
  const bool colour = filters::ChannelsOf(variant) == 3;

  // The same tests as the stages' own, each stage's setting read once.
  hueSaturation_ = colour && (s.hue != 0 || s.saturation != 0);
  if (hueSaturation_)
    offsets_ = filters::NormaliseOffsets(HueSaturationRecord{s.hue, 0, s.saturation});
  const bool gamma = s.gamma != 100, contrast = s.contrast != 0, brightness = s.brightness != 0;
  sharpens_ = sharpen && s.sharpness != 0;
  if (sharpens_) {
    sharpness_ = s.sharpness;
    sharpenTable_ = filters::SharpenTable(s.sharpness, wide_ ? filters::kMax16 : 255);
    sharpenRow_ = filters::FastestSharpnessRow(wide_, sharpenTable_);
  }
  if (wide_) {
    std::uint16_t table[filters::kMax16 + 1];
    before_ = ComposeTables<std::uint16_t, filters::kMax16>(s, gamma, contrast,
                                                            brightness && !sharpens_, table);
    wordsBeforeBrightness_ = before_ && !gamma && !contrast;
    if (wordsBeforeBrightness_) {
      brightnessBefore_.Prepare(s.brightness);
      // Off a line, brightness on the samples hue and saturation leave is faster looked up by
      // quarters than computed.
      if (hueSaturation_ && !brightnessBefore_.Computed()) {
        wordsBeforeBrightness_ = false;
        wordsBefore_.Prepare(brightnessBefore_.Table());
      }
    } else if (before_) {
      wordsBefore_.Prepare(table);
    }
    after_ = sharpens_ && brightness;
    wordsAfterBrightness_ = after_;
    if (after_) {
      brightnessAfter_.Prepare(s.brightness);
      scalesAfter_ =
          filters::FindSampleScale(brightnessAfter_.Table(), filters::kMax16, &afterScale_);
    }
  } else {
    std::uint8_t table[256];
    before_ = ComposeTables<std::uint8_t, 255>(s, gamma, contrast, brightness && !sharpens_, table);
    if (before_) bytesBefore_.Prepare(table);
    after_ = sharpens_ && ComposeTables<std::uint8_t, 255>(s, false, false, brightness, table);
    if (after_) {
      bytesAfter_.Prepare(table);
      scalesAfter_ = filters::FindSampleScale(table, 255, &afterScale_);
    }
  }
  // Pixels of three bytes look up as many bytes either way, and measured no faster in one pass.
  if (hueSaturation_ && before_ && pixelBytes_ != 3) {
    if (!wide_) {
      onepass_ = bytesBefore_.ByShuffles();
      if (onepass_) filters::MakeSteppedTable(bytesBefore_.Table(), &steppedTable_);
    } else if (!wordsBeforeBrightness_ && wordsBefore_.ByQuarters()) {
      onepass_ = filters::MakeSteppedQuarterTable(wordsBefore_.Table(), &steppedTable_);
    }
  }
}

void FrameFilters::MapRow(bool before, std::uint8_t* out, const std::uint8_t* row,
                          std::int32_t pixels) const {
  if (wide_) {
    if (before ? wordsBeforeBrightness_ : wordsAfterBrightness_) {
      (before ? brightnessBefore_ : brightnessAfter_).MapRow(out, row, pixels, pixelBytes_);
    } else {
      (before ? wordsBefore_ : wordsAfter_).MapRow(out, row, pixels, pixelBytes_);
    }
  } else {
    (before ? bytesBefore_ : bytesAfter_).MapRow(out, row, pixels, pixelBytes_);
  }
}

void FrameFilters::HueSaturationTableRow(std::uint8_t* out, std::uint8_t* row,
                                         std::int32_t pixels) const {
#if ORVEX_X86
  KernelCall call = filters::InPlaceRow(row, pixels, pixelBytes_);
  call.destination = out;
  filters::HueSaturationTableRows_AVX2(call, offsets_, wide_, steppedTable_);
#else
  (void)out, (void)row, (void)pixels;
#endif
}

void FrameFilters::BeforeSharpness(std::uint8_t* row, std::int32_t pixels) const {
  if (onepass_) {
    HueSaturationTableRow(row, row, pixels);
    return;
  }
  if (hueSaturation_) filters::HueSaturationRow(row, pixels, pixelBytes_, wide_, offsets_);
  if (before_) MapRow(true, row, row, pixels);
}

void FrameFilters::BeforeSharpenedRow(std::uint8_t* row, std::int32_t pixels,
                                      std::uint8_t* copy) const {
  // The row itself keeps its samples: Sharpen writes every one of them.
  if (onepass_) {
    HueSaturationTableRow(copy, row, pixels);
    return;
  }
  if (hueSaturation_) filters::HueSaturationRow(row, pixels, pixelBytes_, wide_, offsets_);
  if (before_) {
    MapRow(true, copy, row, pixels);
  } else {
    std::memcpy(copy, row, static_cast<std::size_t>(pixels) * pixelBytes_);
  }
}

void FrameFilters::Sharpen(const std::uint8_t* const window[4], std::uint8_t* out,
                           std::int32_t pixels, std::uint16_t* sums,
                           const std::uint8_t* dropped) const {
  const filters::RowJob job{{window[0], window[1], window[2], window[3]},
                            window[2],
                            out,
                            pixels * elements_,
                            elements_,
                            sums,
                            scalesAfter_ ? &afterScale_ : nullptr,
                            dropped};
  sharpenRow_(job, sharpenTable_);
  CopyEdges(window[2], out, pixels, scalesAfter_);
  if (!scalesAfter_) AfterSharpness(out, pixels);
}

void FrameFilters::CopyEdges(const std::uint8_t* from, std::uint8_t* out, std::int32_t pixels,
                             bool scale) const {
  const int e = elements_;
  for (const int first : {0, (pixels - 2) * e}) {
    for (int p = first; p < first + 2 * e; ++p) {
      if (e == 4 && (p & 3) == 3) continue;
      if (wide_) {
        const int v = scale ? afterScale_.Apply(filters::Load10(from + 2 * p))
                            : filters::Load16(from + 2 * p);
        filters::Store16(out + 2 * p, static_cast<std::uint16_t>(v));
      } else {
        out[p] = static_cast<std::uint8_t>(scale ? afterScale_.Apply(from[p]) : from[p]);
      }
    }
  }
}

void FrameFilters::AfterSharpness(std::uint8_t* row, std::int32_t pixels) const {
  if (after_) MapRow(false, row, row, pixels);
}

}  // namespace orvex
