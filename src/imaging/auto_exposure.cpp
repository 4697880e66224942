// Automatic exposure and gain: five small windows of the raw frame, one frame in three. The
// decision goes back to the acquisition, which writes the camera and tells an open dialog.
#include "imaging/auto_exposure.h"

#include <atomic>
#include <cstdint>
#include <cstring>

#include "base/double_precision.h"
#include "imaging/auto_exposure_internal.h"
#include "imaging/image_buffer.h"
#include "imaging/kernel_call.h"
#include "imaging/kernel_framework.h"

namespace orvex {
namespace {

constexpr std::int32_t kMeasureEvery = 3;
constexpr std::uint16_t kExposureLimit = 255;
constexpr std::int32_t kRaisedGain = 4;

// Shared by every camera of the process: with several cameras previewing, the one-in-three
// rhythm runs over their frames together.
std::atomic<std::int32_t> frameCounter{0};

// One frame passes the counter; true when this frame is to be measured. The decrement and the
// wrap are one read-modify-write, so that frames of two preview threads are never lost.
bool FrameToMeasure() {
  std::int32_t current = frameCounter.load(std::memory_order_relaxed);
  std::int32_t next = 0;
  do {
    next = current - 1;
    if (next < 0) next = kMeasureEvery - 1;
  } while (!frameCounter.compare_exchange_weak(current, next, std::memory_order_relaxed));
  return current == 1;
}

// Fractions of the raw buffer's width and height: left, top, right, bottom, in image
// coordinates (row 0 at the top).
constexpr double kWindows[5][4] = {
    {0.1, 0.1, 0.2, 0.2}, {0.1, 0.8, 0.2, 0.9}, {0.45, 0.45, 0.55, 0.55},
    {0.8, 0.1, 0.9, 0.2}, {0.8, 0.8, 0.9, 0.9},
};

std::int32_t MeasureWindow(ImageBuffer& raw, int window, PixelKernel kernel) {
  std::int32_t region[4];
  WithDoublePrecision([&] {
    const double w = raw.width;
    const double h = raw.height;
    region[0] = static_cast<std::int32_t>(kWindows[window][0] * w);
    region[1] = static_cast<std::int32_t>(kWindows[window][1] * h);
    region[2] = static_cast<std::int32_t>(kWindows[window][2] * w);
    region[3] = static_cast<std::int32_t>(kWindows[window][3] * h);
  });
  return ApplyKernel(raw, kernel, raw, region, region[0], region[1], nullptr, 0);
}

// Window 0 sets the start of the factor, each further window adds its step.
double StartFactor(std::int32_t mean) {
  if (mean > 200) return 0.85;
  if (mean > 160) return 0.9;
  if (mean < 50) return 1.1;
  if (mean < 100) return 1.05;
  return 1.0;
}

double FactorStep(std::int32_t mean) {
  if (mean > 200) return -0.15;
  if (mean > 160) return -0.1;
  if (mean < 50) return 0.1;
  if (mean < 100) return 0.05;
  return 0.0;
}

// The mean of one window's samples (sum / count, truncated); 0 for a window that is empty or
// a call that cannot be read.
template <typename ReadSample>
std::int32_t RegionMean(std::uint8_t* destination, std::uint8_t* source, const std::int32_t* region,
                        std::int32_t x, std::int32_t y, std::int32_t destinationBytes,
                        std::int32_t sourceBytes, std::int32_t destinationStride,
                        std::int32_t sourceStride, ReadSample read) {
  KernelCall call;
  if (DecodeKernelCall(destination, source, region, x, y, destinationBytes, sourceBytes,
                       destinationStride, sourceStride, nullptr, KernelNeeds{},
                       &call) != CallState::kReady) {
    return 0;
  }
  std::uint64_t sum = 0;
  for (std::int32_t row = 0; row < call.height; ++row) {
    const std::uint8_t* sample = call.SourceRow(row);
    for (std::int32_t column = 0; column < call.width; ++column, sample += call.sourceBytes) {
      sum += read(sample);
    }
  }
  return static_cast<std::int32_t>(sum / (static_cast<std::uint64_t>(call.width) * call.height));
}

}  // namespace

std::int32_t WindowMean8(std::uint8_t* destination, std::uint8_t* source,
                         const std::int32_t* region, std::int32_t x, std::int32_t y,
                         std::int32_t destinationBytes, std::int32_t sourceBytes,
                         std::int32_t destinationStride, std::int32_t sourceStride, void**,
                         std::int32_t) {
  return RegionMean(destination, source, region, x, y, destinationBytes, sourceBytes,
                    destinationStride, sourceStride,
                    [](const std::uint8_t* sample) -> std::uint32_t { return *sample; });
}

std::int32_t WindowMean16(std::uint8_t* destination, std::uint8_t* source,
                          const std::int32_t* region, std::int32_t x, std::int32_t y,
                          std::int32_t destinationBytes, std::int32_t sourceBytes,
                          std::int32_t destinationStride, std::int32_t sourceStride, void**,
                          std::int32_t) {
  return RegionMean(destination, source, region, x, y, destinationBytes, sourceBytes,
                    destinationStride, sourceStride,
                    [](const std::uint8_t* sample) -> std::uint32_t {
                      std::uint16_t word;
                      std::memcpy(&word, sample, sizeof word);
                      return (word >> 2) & 0xFFu;
                    });
}

void ResetAutoExposureCounterForTesting() {
  frameCounter.store(0);
}

std::int32_t AutoExposureCounterForTesting() {
  return frameCounter.load();
}

int AutoExposureStep(const AnalogSettings& analog, ImageBuffer* raw, FrameMeasurements* measured) {
  const std::int32_t mode = analog.AutoIris;
  if (mode != 1 && mode != 2) return 0;
  if (raw == nullptr || raw->pixels == nullptr) return 0;

  if (!FrameToMeasure()) return 0;

  const PixelKernel kernel = raw->bitsPerPixel == 16 ? WindowMean16 : WindowMean8;
  std::int32_t means[5];
  for (int window = 0; window < 5; ++window) means[window] = MeasureWindow(*raw, window, kernel);
  const std::int32_t old = analog.Exposure;

  // The factor, and the exposure it gives, in double precision.
  bool inBand = false;
  bool dark = false;
  std::uint16_t exposure = 0;
  WithDoublePrecision([&] {
    double e = StartFactor(means[0]);
    for (int window = 1; window < 5; ++window) e += FactorStep(means[window]);
    inBand = e > 0.6 && e < 1.2;
    dark = e > 1;
    const double base = old != 0 ? old : 1;
    // e lies in 0.25..1.5, so the quotient is finite and fits; the register takes 16 bits.
    exposure = static_cast<std::uint16_t>(static_cast<std::int64_t>(base / e));
  });
  if (inBand) return 1;

  if (mode == 1) {
    std::uint16_t value = exposure;
    if (value > kExposureLimit) value = kExposureLimit;
    measured->exposure = ExposureChange{ExposureChange::Kind::kExposure, value, old < value};
    return 1;
  }

  const std::int32_t gain = dark ? kRaisedGain : 0;
  measured->exposure = ExposureChange{ExposureChange::Kind::kGain, gain, false};
  return 1;
}

}  // namespace orvex
