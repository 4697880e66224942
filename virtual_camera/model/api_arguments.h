// What both forms of the control API (the Linux library and the Windows one) check and guard in
// the same way before they reach a camera.
#pragma once

#include <cstdint>

namespace orvex::vcam {

// A raster larger than this many samples is refused before anything is copied.
constexpr std::int64_t kMaxRasterSamples = std::int64_t{1} << 26;

inline bool RasterArgumentsValid(std::int32_t pitch, std::int32_t lines,
                                 std::int32_t bytesPerSample) {
  return pitch > 0 && lines > 0 && (bytesPerSample == 1 || bytesPerSample == 2) &&
         std::int64_t{pitch} * lines <= kMaxRasterSamples;
}

// The C API never lets an exception out: a failed allocation inside `fn` gives `onFailure`.
template <typename Fn>
std::int32_t Guarded(std::int32_t onFailure, Fn&& fn) noexcept {
  try {
    return fn();
  } catch (...) {
    return onFailure;
  }
}

}  // namespace orvex::vcam
