// What both forms of the control API (the Linux library and the Windows one) check and guard in
// the same way before they reach a camera.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace orvex::vcam {

inline constexpr int kSlotCount = 8;

// The slot index named by a device path "\\.\OrvexNec06A-N", or -1. Both forms take only this
// spelling, so that a program that opens a camera on one system opens it on the other.
inline int ParseDevicePath(const char* path) {
  constexpr char kPrefix[] = "\\\\.\\OrvexNec06A-";
  constexpr std::size_t kPrefixLength = sizeof kPrefix - 1;
  if (path == nullptr || std::strncmp(path, kPrefix, kPrefixLength) != 0) return -1;
  const char* number = path + kPrefixLength;
  if (number[0] < '0' || number[0] >= '0' + kSlotCount || number[1] != '\0') return -1;
  return number[0] - '0';
}

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
