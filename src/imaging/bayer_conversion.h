#pragma once

#include <cstdint>

#include "base/camera_settings.h"
#include "imaging/frame_measurements.h"
#include "imaging/pixel_kernel.h"
#include "imaging/processor_info.h"

namespace orvex {

class ImageBuffer;

// The parameter record of the Bayer kernels.
struct BayerRecord {
  std::int32_t BayerMode;
  std::int32_t R_Gain;
  std::int32_t G_Gain;
  std::int32_t B_Gain;
};

// Turns the raw mosaic `source` (RawImage8 or RawImage16) into the colour image `destination`.
// While BayerGainAuto is set it first measures the white balance (into `measured`) and
// converts this frame with the gains it measured; returns 1.
int BayerConvert(const ImageSettings& image, const ProcessorInfo& processor,
                 ImageBuffer& destination, ImageBuffer& source, FrameMeasurements* measured);

// The kernels (each a PixelKernel taking a BayerRecord). Demosaic8 and Demosaic16 are the plain
// forms: rows and columns 2 .. size - 3 of the region, the rest untouched. The vector forms
// (3 bytes a pixel, gains up to 200) approximate red and blue in 16-bit lanes and clear columns
// 0, 1 and W - 1 of every row.
std::int32_t Demosaic8(std::uint8_t* destination, std::uint8_t* source, const std::int32_t* region,
                       std::int32_t x, std::int32_t y, std::int32_t destinationBytes,
                       std::int32_t sourceBytes, std::int32_t destinationStride,
                       std::int32_t sourceStride, void** parameter, std::int32_t spare);
std::int32_t Demosaic16(std::uint8_t* destination, std::uint8_t* source, const std::int32_t* region,
                        std::int32_t x, std::int32_t y, std::int32_t destinationBytes,
                        std::int32_t sourceBytes, std::int32_t destinationStride,
                        std::int32_t sourceStride, void** parameter, std::int32_t spare);
std::int32_t Demosaic8Sse3(std::uint8_t* destination, std::uint8_t* source,
                           const std::int32_t* region, std::int32_t x, std::int32_t y,
                           std::int32_t destinationBytes, std::int32_t sourceBytes,
                           std::int32_t destinationStride, std::int32_t sourceStride,
                           void** parameter, std::int32_t spare);
std::int32_t Demosaic8Sse2(std::uint8_t* destination, std::uint8_t* source,
                           const std::int32_t* region, std::int32_t x, std::int32_t y,
                           std::int32_t destinationBytes, std::int32_t sourceBytes,
                           std::int32_t destinationStride, std::int32_t sourceStride,
                           void** parameter, std::int32_t spare);
std::int32_t Demosaic8Mmx(std::uint8_t* destination, std::uint8_t* source,
                          const std::int32_t* region, std::int32_t x, std::int32_t y,
                          std::int32_t destinationBytes, std::int32_t sourceBytes,
                          std::int32_t destinationStride, std::int32_t sourceStride,
                          void** parameter, std::int32_t spare);

// The five kernels, as BayerConvert chooses between them.
enum class DemosaicKernel {
  kDemosaic8,
  kDemosaic16,
  kDemosaic8Sse3,
  kDemosaic8Sse2,
  kDemosaic8Mmx
};

// The kernel BayerConvert picks, first match wins: a 16-bit source -> Demosaic16; a 32-bit
// destination or a gain above 200 -> Demosaic8; then SSE3, SSE2, MMX (each usable in both
// feature words) -> its vector form; else Demosaic8.
DemosaicKernel ChooseDemosaic(const ProcessorInfo& processor, int sourceBitsPerPixel,
                              int destinationBitsPerPixel, const BayerRecord& record);
// The kernel function of a choice, in the form that defines its bytes.
PixelKernel DemosaicKernelOf(DemosaicKernel kernel);
// Both in one.
PixelKernel ChooseDemosaicKernel(const ProcessorInfo& processor, int sourceBitsPerPixel,
                                 int destinationBitsPerPixel, const BayerRecord& record);

}  // namespace orvex
