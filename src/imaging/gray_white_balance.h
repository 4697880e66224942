#pragma once

#include <cstdint>

#include "base/camera_settings.h"
#include "imaging/frame_measurements.h"
#include "imaging/pixel_kernel.h"

namespace orvex {

class ImageBuffer;

// The parameter record of the gray kernels.
struct GrayCorrectionRecord {
  std::int32_t BayerMode;
  std::int32_t GainR1;
  std::int32_t GainG1;
  std::int32_t GainG2;
  std::int32_t GainB1;
  std::int32_t OffsetR1;
  std::int32_t OffsetG1;
  std::int32_t OffsetG2;
  std::int32_t OffsetB1;
};

// The parameter record of the white balance measurement. A result of -1 means that it could
// not be measured (no sample, or a mean of 0, where it divides); the gain then stays as it was.
struct WhiteBalanceRecord {
  std::int32_t blue;
  std::int32_t green;
  std::int32_t red;
  std::int32_t BayerMode;
};

// Gray correction of RawImage8 in place (ColorType 0, GrayMode 1). While GrayBalanceCount is
// non-zero it first measures new gray gains, corrects this frame with them and reports them in
// `measured`.
void GrayCorrectionStage(const ImageSettings& image, ImageBuffer& raw8,
                         FrameMeasurements* measured);

// White balance measurement on the raw source of a Bayer conversion (while BayerGainAuto is
// set): the new R_Gain, G_Gain and B_Gain it could measure.
WhiteBalanceResult MeasureWhiteBalance(const ImageSettings& image, ImageBuffer& source);

// The kernels (PixelKernels; destination = source). GrayBalanceKernel measures new gray gains
// into its GrayCorrectionRecord: GainG1 = 128, the others 128 x the first green mean over their
// position's mean, ignoring samples of 0 and 255; a gain whose position (or the first green
// position) has no such sample keeps its value. GrayCorrectionKernel corrects 8-bit samples in
// place. WhiteBalanceKernel8 and WhiteBalanceKernel16 measure 8-bit samples or 16-bit words
// into a WhiteBalanceRecord.
std::int32_t GrayBalanceKernel(std::uint8_t* destination, std::uint8_t* source,
                               const std::int32_t* region, std::int32_t x, std::int32_t y,
                               std::int32_t destinationBytes, std::int32_t sourceBytes,
                               std::int32_t destinationStride, std::int32_t sourceStride,
                               void** parameter, std::int32_t spare);
std::int32_t GrayCorrectionKernel(std::uint8_t* destination, std::uint8_t* source,
                                  const std::int32_t* region, std::int32_t x, std::int32_t y,
                                  std::int32_t destinationBytes, std::int32_t sourceBytes,
                                  std::int32_t destinationStride, std::int32_t sourceStride,
                                  void** parameter, std::int32_t spare);
std::int32_t WhiteBalanceKernel8(std::uint8_t* destination, std::uint8_t* source,
                                 const std::int32_t* region, std::int32_t x, std::int32_t y,
                                 std::int32_t destinationBytes, std::int32_t sourceBytes,
                                 std::int32_t destinationStride, std::int32_t sourceStride,
                                 void** parameter, std::int32_t spare);
std::int32_t WhiteBalanceKernel16(std::uint8_t* destination, std::uint8_t* source,
                                  const std::int32_t* region, std::int32_t x, std::int32_t y,
                                  std::int32_t destinationBytes, std::int32_t sourceBytes,
                                  std::int32_t destinationStride, std::int32_t sourceStride,
                                  void** parameter, std::int32_t spare);

}  // namespace orvex
