#pragma once

#include <cstdint>
#include <vector>

namespace orvex::vcam {

struct RgbImage {
  int width = 0;
  int height = 0;
  std::vector<std::uint16_t> rgb;  // width x height x 3 values 0..65535, top row first
};

// Reads a PNG file of any colour type and depth as 16-bit RGB (alpha dropped), with libpng on
// Linux and the Windows Imaging Component on Windows. Both refuse the same files: false when the
// file cannot be opened, is not a PNG, is damaged (a critical chunk whose check sum fails, a
// chunk cut short) or is unreasonably large (a side above 16384 pixels, more than 32 Mi pixels).
bool ReadPng(const char* path, RgbImage* image);

}  // namespace orvex::vcam
