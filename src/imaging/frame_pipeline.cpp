#include "imaging/frame_pipeline.h"

#include <cstring>

#include "imaging/auto_exposure.h"
#include "imaging/bayer_conversion.h"
#include "imaging/color_conversion.h"
#include "imaging/color_type.h"
#include "imaging/frame_images.h"
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

// One in-place filter stage over the whole output.
void RunInPlace(ImageBuffer& output, PixelKernel kernel, void* record) {
  if (kernel == nullptr) return;
  void* parameter = record;
  ApplyKernel(output, kernel, output, nullptr, 0, 0, &parameter, 0);
}

}  // namespace

FrameMeasurements FramePipeline(const PipelineInputs& inputs, FrameImages& images) {
  FrameMeasurements measured;
  const ImageSettings& settings = inputs.image;
  const std::int32_t color = inputs.colorType;
  ImageBuffer* output = images.OutputImageFor(color);
  ImageBuffer* raw = images.RawImageFor(color);
  // The images are made for one ColorType by PrepareCapture; a frame of another shape (the
  // format changed since) is left alone rather than converted across mismatched buffers.
  if (output == nullptr || raw == nullptr || !SameSize(*output, *raw)) return measured;

  AutoExposureStep(inputs.analog, raw, &measured);
  if (output != raw) SettleConvertedImage(*output);

  switch (color) {
    case 0: {
      const std::int32_t grayMode = settings.GrayMode;
      if (grayMode == 1) {
        if (images.RawImage8) GrayCorrectionStage(settings, *images.RawImage8, &measured);
      } else if (grayMode == 2 && images.ColorImage24 && SameSize(*images.ColorImage24, *raw)) {
        SettleConvertedImage(*images.ColorImage24);
        // It may still owe a reduction for drawing that an earlier preview put off.
        images.RunDeferred(images.ColorImage24.get());
        BayerConvert(settings, inputs.processor, *images.ColorImage24, *raw, &measured);
        ApplyKernel(*raw, LuminanceKernel, *images.ColorImage24, nullptr, 0, 0, nullptr, 0);
      }
      break;
    }
    case 2:
      images.RunDeferred(output);
      PseudoColorMap(*raw, *output, inputs.hueTable);
      break;
    case 3:
    case 4:
    case 5:
      BayerConvert(settings, inputs.processor, *output, *raw, &measured);
      break;
    default:
      break;
  }

  const FilterVariant variant = FilterVariantFor(color);

  const std::int32_t hue = settings.Hue;
  const std::int32_t saturation = settings.Saturation;
  if ((hue != 0 || saturation != 0) && IsColorType(color)) {
    HueSaturationRecord record{hue, 0, saturation};
    RunInPlace(*output, HueSaturationKernel(variant), &record);
  }

  std::int32_t gamma = settings.Gamma;
  if (gamma != 100) RunInPlace(*output, GammaKernel(variant), &gamma);

  std::int32_t contrast = settings.Contrast;
  if (contrast != 0) RunInPlace(*output, ContrastKernel(variant), &contrast);

  std::int32_t sharpness = settings.Sharpness;
  ImageBuffer* scratch = images.ScratchImage.get();
  if (sharpness != 0 && scratch != nullptr && scratch->pixels != nullptr &&
      scratch->ByteSize() == output->ByteSize() && scratch->stride == output->stride) {
    // The kernel reads neighbours, so it works from an untouched copy of the output.
    std::memcpy(scratch->pixels, output->pixels, output->ByteSize());
    PixelKernel kernel = SharpnessKernel(variant);
    if (kernel != nullptr) {
      void* parameter = &sharpness;
      ApplyKernel(*output, kernel, *scratch, nullptr, 0, 0, &parameter, 0);
    }
  }

  std::int32_t brightness = settings.Brightness;
  if (brightness != 0) RunInPlace(*output, BrightnessKernel(variant), &brightness);
  return measured;
}

}  // namespace orvex
