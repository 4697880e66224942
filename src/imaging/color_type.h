#pragma once

#include <cstdint>

namespace orvex {

// The ColorType of the output: 0 to 5 for 8, 16, 24, 32, 48 and 64 bits per pixel. 0 and 1 are
// gray, 2 to 5 colour; 0, 2 and 3 take one byte a sample from the camera, 1, 4 and 5 two.
inline constexpr std::int32_t kColorTypes = 6;
inline constexpr std::int32_t kBitsForColorType[kColorTypes] = {8, 16, 24, 32, 48, 64};

inline bool IsGrayType(std::int32_t colorType) {
  return colorType == 0 || colorType == 1;
}
inline bool IsColorType(std::int32_t colorType) {
  return colorType >= 2 && colorType <= 5;
}
inline bool IsByteSampleType(std::int32_t colorType) {
  return colorType == 0 || colorType == 2 || colorType == 3;
}
inline bool IsWordSampleType(std::int32_t colorType) {
  return colorType == 1 || colorType == 4 || colorType == 5;
}

}  // namespace orvex
