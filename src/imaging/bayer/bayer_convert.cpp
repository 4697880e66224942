#include "core/camera_context.h"
#include "imaging/bayer/demosaic.h"
#include "imaging/bayer_conversion.h"
#include "imaging/gray_white_balance.h"
#include "imaging/image_buffer.h"
#include "imaging/kernel_framework.h"

namespace orvex {

PixelKernel ChooseDemosaicKernel(const ProcessorInfo& processor, int sourceBitsPerPixel,
                                 int destinationBitsPerPixel, const BayerRecord& record) {
  if (sourceBitsPerPixel == 16) return Demosaic16;
  // The vector forms multiply in 16-bit lanes, which only holds for gains 0 .. 200.
  const auto outsideVectorRange = [](std::int32_t gain) { return gain > 200 || gain < 0; };
  if (destinationBitsPerPixel == 32 || outsideVectorRange(record.R_Gain) ||
      outsideVectorRange(record.G_Gain) || outsideVectorRange(record.B_Gain)) {
    return Demosaic8;
  }
  if (processor.Usable(kFeatureSse3)) return Demosaic8Sse3;
  if (processor.Usable(kFeatureSse2)) return Demosaic8Sse2;
  if (processor.Usable(kFeatureMmx)) return Demosaic8Mmx;
  return Demosaic8;
}

namespace bayer {

PixelKernel FastestEquivalent(PixelKernel kernel, const ProcessorInfo& processor) {
  if (Avx2Available()) {
    if (kernel == Demosaic8) return Demosaic8Avx2;
    if (kernel == Demosaic16) return Demosaic16Avx2;
    if (kernel == Demosaic8Sse3 || kernel == Demosaic8Sse2) return Demosaic8Sse2Avx2;
    if (kernel == Demosaic8Mmx) return Demosaic8MmxAvx2;
  }
#if defined(__x86_64__)
  const bool sse2 = true;
#else
  const bool sse2 = ORVEX_BAYER_X86 && processor.Usable(kFeatureSse2);
#endif
  if (sse2 && kernel == Demosaic8) return Demosaic8Sse2Exact;
  (void)processor;
  return kernel;
}

}  // namespace bayer

int BayerConvert(CameraContext& context, ImageBuffer& destination, ImageBuffer& source) {
  if (context.image.BayerGainAuto != 0) MeasureWhiteBalance(context, source);

  // Read once: a gain changed meanwhile applies from the next frame.
  BayerRecord record{context.image.BayerMode, context.image.R_Gain, context.image.G_Gain,
                     context.image.B_Gain};
  const PixelKernel kernel =
      bayer::FastestEquivalent(ChooseDemosaicKernel(context.processorInfo, source.bitsPerPixel,
                                                    destination.bitsPerPixel, record),
                               context.processorInfo);
  void* parameter = &record;
  ApplyKernel(destination, kernel, source, nullptr, 0, 0, &parameter, 0);
  return 1;
}

}  // namespace orvex
