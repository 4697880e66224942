#include "imaging/frame_pipeline.h"

#include <cstring>

#include "core/camera_context.h"
#include "imaging/auto_exposure.h"
#include "imaging/bayer_conversion.h"
#include "imaging/color_conversion.h"
#include "imaging/gray_white_balance.h"
#include "imaging/image_buffer.h"
#include "imaging/image_filters.h"
#include "imaging/kernel_framework.h"

namespace orvex {
namespace {

bool SameSize(const ImageBuffer& a, const ImageBuffer& b) {
  return a.pixels != nullptr && b.pixels != nullptr && a.width == b.width && a.height == b.height;
}

// One in-place filter stage over the whole output.
void RunInPlace(ImageBuffer& output, PixelKernel kernel, void* record) {
  if (kernel == nullptr) return;
  void* parameter = record;
  ApplyKernel(output, kernel, output, nullptr, 0, 0, &parameter, 0);
}

}  // namespace

void FramePipeline(CameraContext& context) {
  const std::int32_t color = context.format.Color;
  ImageBuffer* output = context.OutputImageFor(color);
  ImageBuffer* raw = context.RawImageFor(color);
  // The images are made for one ColorType by PrepareCapture; a frame of another shape (the
  // format changed since) is left alone rather than converted across mismatched buffers.
  if (output == nullptr || raw == nullptr || !SameSize(*output, *raw)) return;

  AutoExposureStep(context, raw);

  switch (color) {
    case 0: {
      const std::int32_t grayMode = context.image.GrayMode;
      if (grayMode == 1) {
        GrayCorrectionStage(context);
      } else if (grayMode == 2 && context.ColorImage24 && SameSize(*context.ColorImage24, *raw)) {
        BayerConvert(context, *context.ColorImage24, *raw);
        ApplyKernel(*raw, LuminanceKernel, *context.ColorImage24, nullptr, 0, 0, nullptr, 0);
      }
      break;
    }
    case 2:
      PseudoColorMap(*raw, *output, context.hueTable);
      break;
    case 3:
    case 4:
    case 5:
      BayerConvert(context, *output, *raw);
      break;
    default:
      break;
  }

  const FilterVariant variant = FilterVariantFor(color);

  const std::int32_t hue = context.image.Hue;
  const std::int32_t saturation = context.image.Saturation;
  if ((hue != 0 || saturation != 0) && CameraContext::IsColorType(color)) {
    HueSaturationRecord record{hue, 0, saturation};
    RunInPlace(*output, HueSaturationKernel(variant), &record);
  }

  std::int32_t gamma = context.image.Gamma;
  if (gamma != 100) RunInPlace(*output, GammaKernel(variant), &gamma);

  std::int32_t contrast = context.image.Contrast;
  if (contrast != 0) RunInPlace(*output, ContrastKernel(variant), &contrast);

  std::int32_t sharpness = context.image.Sharpness;
  ImageBuffer* scratch = context.ScratchImage.get();
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

  std::int32_t brightness = context.image.Brightness;
  if (brightness != 0) RunInPlace(*output, BrightnessKernel(variant), &brightness);
}

}  // namespace orvex
