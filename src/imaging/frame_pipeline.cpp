#include "imaging/frame_pipeline.h"

#include <cstring>

#include "imaging/auto_exposure.h"
#include "imaging/bayer/demosaic.h"
#include "imaging/bayer_conversion.h"
#include "imaging/color_conversion.h"
#include "imaging/color_type.h"
#include "imaging/filters/filter_kernels.h"
#include "imaging/filters/frame_filters.h"
#include "imaging/frame_images.h"
#include "imaging/frame_rows.h"
#include "imaging/gray_white_balance.h"
#include "imaging/image_buffer.h"
#include "imaging/image_filters.h"
#include "imaging/kernel_framework.h"

namespace orvex {
namespace {

bool SameSize(const ImageBuffer& a, const ImageBuffer& b) {
  return a.pixels != nullptr && b.pixels != nullptr && a.width == b.width && a.height == b.height;
}

// Before an image kept from an earlier capture (stale) receives a converted frame: the
// conversion leaves the outer two rows and columns as they were (and the later stages work on
// them in place), and no stage writes the row padding, so those are zeroed as a new image has
// them; everything else is overwritten from the raw frame.
void SettleConvertedImage(ImageBuffer& image) {
  if (!image.stale) return;
  const std::size_t pixelBytes = image.bitsPerPixel / 8;
  const std::int32_t w = image.width, h = image.height;
  if (w <= 4 || h <= 4) {
    image.ClearStale();
    return;
  }
  for (std::int32_t row : {0, 1, h - 2, h - 1}) {
    std::memset(image.pixels + static_cast<std::size_t>(row) * image.stride, 0, image.RowBytes());
  }
  for (std::int32_t row = 2; row < h - 2; ++row) {
    std::uint8_t* at = image.pixels + static_cast<std::size_t>(row) * image.stride;
    std::memset(at, 0, 2 * pixelBytes);
    std::memset(at + (w - 2) * pixelBytes, 0, 2 * pixelBytes);
  }
  image.ClearPadding();
  image.stale = false;
}

// The sharpness stage reads a byte copy of the output; without one of the same layout it does
// not run.
bool ScratchFits(const ImageBuffer* scratch, const ImageBuffer& output) {
  return scratch != nullptr && scratch->pixels != nullptr &&
         scratch->ByteSize() == output.ByteSize() && scratch->stride == output.stride;
}

// One in-place filter stage over the whole output.
void RunInPlace(ImageBuffer& output, PixelKernel kernel, void* record) {
  if (kernel == nullptr) return;
  void* parameter = record;
  ApplyKernel(output, kernel, output, nullptr, 0, 0, &parameter, 0);
}

// The filter stages one after another over the whole output, each setting read as its stage
// comes; `reference` picks each stage's plain form.
void FilterStages(const ImageSettings& settings, std::int32_t color, ImageBuffer& output,
                  ImageBuffer* scratch, bool reference) {
  const FilterVariant variant = FilterVariantFor(color);
  const auto kernel = [&](filters::FilterStage stage, PixelKernel fast) {
    return reference ? filters::ReferenceFilterKernel(stage, variant) : fast;
  };

  const std::int32_t hue = settings.Hue;
  const std::int32_t saturation = settings.Saturation;
  if ((hue != 0 || saturation != 0) && IsColorType(color)) {
    HueSaturationRecord record{hue, 0, saturation};
    RunInPlace(output, kernel(filters::FilterStage::kHueSaturation, HueSaturationKernel(variant)),
               &record);
  }

  std::int32_t gamma = settings.Gamma;
  if (gamma != 100) {
    RunInPlace(output, kernel(filters::FilterStage::kGamma, GammaKernel(variant)), &gamma);
  }

  std::int32_t contrast = settings.Contrast;
  if (contrast != 0) {
    RunInPlace(output, kernel(filters::FilterStage::kContrast, ContrastKernel(variant)), &contrast);
  }

  std::int32_t sharpness = settings.Sharpness;
  if (sharpness != 0 && ScratchFits(scratch, output)) {
    // The kernel reads neighbours, so it works from an untouched copy of the output.
    std::memcpy(scratch->pixels, output.pixels, output.ByteSize());
    PixelKernel sharpen = kernel(filters::FilterStage::kSharpness, SharpnessKernel(variant));
    if (sharpen != nullptr) {
      void* parameter = &sharpness;
      ApplyKernel(output, sharpen, *scratch, nullptr, 0, 0, &parameter, 0);
    }
  }

  std::int32_t brightness = settings.Brightness;
  if (brightness != 0) {
    RunInPlace(output, kernel(filters::FilterStage::kBrightness, BrightnessKernel(variant)),
               &brightness);
  }
}

// What both forms of the pipeline do first: the checks, the automatic exposure and the images
// settled. Null when the frame is left alone.
ImageBuffer* Begin(const PipelineInputs& inputs, FrameImages& images, FrameMeasurements* measured) {
  ImageBuffer* output = images.OutputImageFor(inputs.colorType);
  ImageBuffer* raw = images.RawImageFor(inputs.colorType);
  // The images are made for one ColorType by PrepareCapture; a frame of another shape (the
  // format changed since) is left alone rather than converted across mismatched buffers.
  if (output == nullptr || raw == nullptr || !SameSize(*output, *raw)) return nullptr;
  AutoExposureStep(inputs.analog, raw, measured);
  if (output != raw) SettleConvertedImage(*output);
  return output;
}

// The colour image of the luminance mode, ready for its frame; null when it does not fit.
ImageBuffer* LuminanceColourImage(FrameImages& images, const ImageBuffer& raw) {
  ImageBuffer* colour = images.ColorImage24.get();
  if (colour == nullptr || !SameSize(*colour, raw)) return nullptr;
  SettleConvertedImage(*colour);
  // It may still owe a reduction for drawing that an earlier preview put off.
  images.RunDeferred(colour);
  return colour;
}

}  // namespace

FrameMeasurements FramePipeline(const PipelineInputs& inputs, FrameImages& images) {
  FrameMeasurements measured;
  ImageBuffer* output = Begin(inputs, images, &measured);
  if (output == nullptr) return measured;
  const ImageSettings& settings = inputs.image;
  const std::int32_t color = inputs.colorType;
  ImageBuffer& raw = *images.RawImageFor(color);

  // The conversion, as rows the filters take up one by one; measurements come first, as they
  // read the whole raw frame.
  FrameRows rows;
  rows.output = output;
  bayer::BayerRows bayerRows;
  PseudoColorRows pseudoRows;
  LuminanceRows luminanceRows;
  switch (color) {
    case 0: {
      const std::int32_t grayMode = settings.GrayMode;
      if (grayMode == 1) {
        GrayCorrectionStage(settings, raw, &measured);
      } else if (grayMode == 2) {
        ImageBuffer* colour = LuminanceColourImage(images, raw);
        if (colour == nullptr) break;
        // The luminance reads the colour image whole, border included, so the conversion into
        // it is done first.
        if (bayer::PrepareBayerRows(settings, inputs.processor, *colour, raw, &measured,
                                    &bayerRows)) {
          RunRowBands(raw.height, static_cast<std::int64_t>(colour->ByteSize()), inputs.workers,
                      bayer::ConvertBayerRows, &bayerRows);
        }
        luminanceRows = LuminanceRows{colour, &raw};
        rows.convert = ConvertLuminanceRows;
        rows.convertContext = &luminanceRows;
      }
      break;
    }
    case 2:
      images.RunDeferred(output);
      if (PreparePseudoColorRows(raw, *output, inputs.hueTable, &pseudoRows)) {
        rows.convert = ConvertPseudoColorRows;
        rows.convertContext = &pseudoRows;
      }
      break;
    case 3:
    case 4:
    case 5:
      if (bayer::PrepareBayerRows(settings, inputs.processor, *output, raw, &measured,
                                  &bayerRows)) {
        rows.convert = bayer::ConvertBayerRows;
        rows.convertContext = &bayerRows;
      }
      break;
    default:
      break;
  }

  FilterSettings filterSettings;
  filterSettings.hue = settings.Hue;
  filterSettings.saturation = settings.Saturation;
  filterSettings.gamma = settings.Gamma;
  filterSettings.contrast = settings.Contrast;
  filterSettings.sharpness = settings.Sharpness;
  filterSettings.brightness = settings.Brightness;
  FrameFilters filters;
  filters.Prepare(FilterVariantFor(color), output->bitsPerPixel / 8, filterSettings,
                  ScratchFits(images.ScratchImage.get(), *output));
  rows.filters = &filters;

  if (rows.convert == nullptr && !filters.Active()) return measured;
  if (!RunFrameRows(rows, inputs.workers)) {
    // No memory for the rows the bands keep: the stages one after another over the image.
    if (rows.convert != nullptr) rows.convert(rows.convertContext, 0, output->height);
    FilterStages(settings, color, *output, images.ScratchImage.get(), false);
  }
  return measured;
}

FrameMeasurements FramePipelineStageByStage(const PipelineInputs& inputs, FrameImages& images) {
  FrameMeasurements measured;
  ImageBuffer* output = Begin(inputs, images, &measured);
  if (output == nullptr) return measured;
  const ImageSettings& settings = inputs.image;
  const std::int32_t color = inputs.colorType;
  ImageBuffer& raw = *images.RawImageFor(color);
  switch (color) {
    case 0: {
      const std::int32_t grayMode = settings.GrayMode;
      if (grayMode == 1) {
        GrayCorrectionStage(settings, raw, &measured);
      } else if (grayMode == 2) {
        ImageBuffer* colour = LuminanceColourImage(images, raw);
        if (colour == nullptr) break;
        BayerConvert(settings, inputs.processor, *colour, raw, &measured);
        ApplyKernel(raw, LuminanceKernel_C, *colour, nullptr, 0, 0, nullptr, 0);
      }
      break;
    }
    case 2:
      images.RunDeferred(output);
      PseudoColorMap(raw, *output, inputs.hueTable);
      break;
    case 3:
    case 4:
    case 5:
      BayerConvert(settings, inputs.processor, *output, raw, &measured);
      break;
    default:
      break;
  }
  FilterStages(settings, color, *output, images.ScratchImage.get(), true);
  return measured;
}

}  // namespace orvex
