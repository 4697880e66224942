#include "imaging/bayer/demosaic.h"
#include "imaging/bayer_conversion.h"
#include "imaging/gray_white_balance.h"
#include "imaging/image_buffer.h"
#include "imaging/kernel_framework.h"

namespace orvex {

DemosaicKernel ChooseDemosaic(const ProcessorInfo& processor, int sourceBitsPerPixel,
                              int destinationBitsPerPixel, const BayerRecord& record) {
  if (sourceBitsPerPixel == 16) return DemosaicKernel::kDemosaic16;
  // The vector forms multiply in 16-bit lanes, which only holds for gains 0 .. 200.
  const auto outsideVectorRange = [](std::int32_t gain) { return gain > 200 || gain < 0; };
  if (destinationBitsPerPixel == 32 || outsideVectorRange(record.R_Gain) ||
      outsideVectorRange(record.G_Gain) || outsideVectorRange(record.B_Gain)) {
    return DemosaicKernel::kDemosaic8;
  }
  if (processor.Usable(kFeatureSse3)) return DemosaicKernel::kDemosaic8Sse3;
  if (processor.Usable(kFeatureSse2)) return DemosaicKernel::kDemosaic8Sse2;
  if (processor.Usable(kFeatureMmx)) return DemosaicKernel::kDemosaic8Mmx;
  return DemosaicKernel::kDemosaic8;
}

PixelKernel DemosaicKernelOf(DemosaicKernel kernel) {
  switch (kernel) {
    case DemosaicKernel::kDemosaic16:
      return Demosaic16;
    case DemosaicKernel::kDemosaic8Sse3:
      return Demosaic8Sse3;
    case DemosaicKernel::kDemosaic8Sse2:
      return Demosaic8Sse2;
    case DemosaicKernel::kDemosaic8Mmx:
      return Demosaic8Mmx;
    case DemosaicKernel::kDemosaic8:
      break;
  }
  return Demosaic8;
}

PixelKernel ChooseDemosaicKernel(const ProcessorInfo& processor, int sourceBitsPerPixel,
                                 int destinationBitsPerPixel, const BayerRecord& record) {
  return DemosaicKernelOf(
      ChooseDemosaic(processor, sourceBitsPerPixel, destinationBitsPerPixel, record));
}

namespace bayer {

PixelKernel FastestDemosaicForm(DemosaicKernel kernel) {
  const bool avx2 = Avx2Available();
  const bool sse2 = ORVEX_X86 && TestCpuFeature(kCpuHasSse2);
  switch (kernel) {
    case DemosaicKernel::kDemosaic8:
      return avx2 ? Demosaic8_AVX2 : sse2 ? Demosaic8_SSE2 : Demosaic8;
    case DemosaicKernel::kDemosaic16:
      return avx2 ? Demosaic16_AVX2 : Demosaic16;
    case DemosaicKernel::kDemosaic8Sse3:
    case DemosaicKernel::kDemosaic8Sse2:
      // The SSE3 form gives the SSE2 form's bytes: one AVX2 form stands for both.
      return avx2 ? Demosaic8Sse2_AVX2 : DemosaicKernelOf(kernel);
    case DemosaicKernel::kDemosaic8Mmx:
      return avx2 ? Demosaic8Mmx_AVX2 : Demosaic8Mmx;
  }
  return Demosaic8;
}

DemosaicRows FastestDemosaicRows(DemosaicKernel kernel) {
  const bool avx2 = Avx2Available();
  const bool sse2 = ORVEX_X86 && TestCpuFeature(kCpuHasSse2);
  switch (kernel) {
    case DemosaicKernel::kDemosaic8:
      return avx2 ? Demosaic8Rows_AVX2 : sse2 ? Demosaic8Rows_SSE2 : Demosaic8Rows_C;
    case DemosaicKernel::kDemosaic16:
      return avx2 ? Demosaic16Rows_AVX2 : Demosaic16Rows_C;
    case DemosaicKernel::kDemosaic8Sse3:
      return avx2 ? SseFormRows_AVX2 : Demosaic8Sse3Rows;
    case DemosaicKernel::kDemosaic8Sse2:
      return avx2 ? SseFormRows_AVX2 : Demosaic8Sse2Rows;
    case DemosaicKernel::kDemosaic8Mmx:
      return avx2 ? MmxFormRows_AVX2 : Demosaic8MmxRows;
  }
  return Demosaic8Rows_C;
}

}  // namespace bayer

namespace {

// The record of a conversion: the gains of the moment, or, while BayerGainAuto is set, those
// measured on this frame. Read once: a gain changed meanwhile applies from the next frame.
BayerRecord RecordFor(const ImageSettings& image, ImageBuffer& source,
                      FrameMeasurements* measured) {
  BayerRecord record{image.BayerMode, image.R_Gain, image.G_Gain, image.B_Gain};
  if (image.BayerGainAuto != 0) {
    const WhiteBalanceResult balance = MeasureWhiteBalance(image, source);
    record.R_Gain = balance.red.value_or(record.R_Gain);
    record.G_Gain = balance.green.value_or(record.G_Gain);
    record.B_Gain = balance.blue.value_or(record.B_Gain);
    measured->whiteBalance = balance;
  }
  return record;
}

}  // namespace

int BayerConvert(const ImageSettings& image, const ProcessorInfo& processor,
                 ImageBuffer& destination, ImageBuffer& source, FrameMeasurements* measured) {
  BayerRecord record = RecordFor(image, source, measured);
  const PixelKernel kernel = bayer::FastestDemosaicForm(
      ChooseDemosaic(processor, source.bitsPerPixel, destination.bitsPerPixel, record));
  void* parameter = &record;
  ApplyKernel(destination, kernel, source, nullptr, 0, 0, &parameter, 0);
  return 1;
}

namespace bayer {

bool PrepareBayerRows(const ImageSettings& image, const ProcessorInfo& processor,
                      ImageBuffer& destination, ImageBuffer& source, FrameMeasurements* measured,
                      BayerRows* rows) {
  BayerRecord record = RecordFor(image, source, measured);
  if (destination.pixels == nullptr || source.pixels == nullptr ||
      destination.width != source.width || destination.height != source.height) {
    return false;
  }
  const DemosaicKernel choice =
      ChooseDemosaic(processor, source.bitsPerPixel, destination.bitsPerPixel, record);
  // The call ApplyKernel makes over the whole image of the same size.
  const std::int32_t region[4] = {0, 0, source.width, source.height};
  void* parameter = &record;
  const CallState state = DecodeDemosaicCall(
      destination.pixels, source.pixels, region, 0, 0, destination.bitsPerPixel / 8,
      source.bitsPerPixel / 8, static_cast<std::int32_t>(destination.stride),
      static_cast<std::int32_t>(source.stride), &parameter,
      choice == DemosaicKernel::kDemosaic16 ? kNeeds16 : kNeeds8, &rows->call);
  if (state != CallState::kReady) return false;
  rows->rows = FastestDemosaicRows(choice);
  return true;
}

void ConvertBayerRows(const void* context, std::int32_t first, std::int32_t end) {
  const BayerRows& rows = *static_cast<const BayerRows*>(context);
  DemosaicCall call = rows.call;
  call.rowBegin = first;
  call.rowEnd = end;
  rows.rows(call);
}

}  // namespace bayer

}  // namespace orvex
