// What the X screen shows of a rectangle, saved as a PNG file, for the pictures in the
// documentation.
#pragma once

// clang-format off
#include "x11/x11_test_support.h"
#include <png.h>
// clang-format on

#include <cstdint>
#include <filesystem>
#include <vector>

namespace orvex::testing {

// The rectangle (x, y, width, height) of the root window as it is on the screen now.
inline bool SaveScreenPicture(TestDisplay& display, int x, int y, int width, int height,
                              const std::filesystem::path& file) {
  std::vector<std::uint8_t> pixels = display.ReadBgr(display.root(), x, y, width, height);
  if (pixels.size() != static_cast<std::size_t>(width) * height * 3) return false;
  for (std::size_t at = 0; at < pixels.size(); at += 3) std::swap(pixels[at], pixels[at + 2]);
  png_image png{};
  png.version = PNG_IMAGE_VERSION;
  png.width = static_cast<png_uint_32>(width);
  png.height = static_cast<png_uint_32>(height);
  png.format = PNG_FORMAT_RGB;
  return png_image_write_to_file(&png, file.c_str(), 0, pixels.data(), 0, nullptr) != 0;
}

}  // namespace orvex::testing
