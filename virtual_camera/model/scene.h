#pragma once

#include <cstddef>
#include <cstdint>

#include "model/model_memory.h"

namespace orvex::vcam {

// The image area of the sensor, in pixels.
inline constexpr int kSceneWidth = 1280;
inline constexpr int kSceneHeight = 1024;
inline constexpr std::size_t kScenePixels = std::size_t{kSceneWidth} * kSceneHeight;

// Scene levels are 10-bit: the value a sample takes at the reference exposure.
inline constexpr int kLevelMax = 1023;

enum class Channel : std::uint8_t { kRed, kGreen, kBlue };

// The colour filter over the image area: G R on even lines, B G on odd lines.
constexpr Channel FilterChannel(int x, int line) {
  if ((line & 1) == 0) return (x & 1) == 0 ? Channel::kGreen : Channel::kRed;
  return (x & 1) == 0 ? Channel::kBlue : Channel::kGreen;
}

struct Rgb {
  std::uint16_t red = 0;
  std::uint16_t green = 0;
  std::uint16_t blue = 0;
};

// An 8-bit colour value on the 10-bit scale, chosen so that level >> 2 gives the value back.
constexpr std::uint16_t LevelFrom8(int value) {
  return static_cast<std::uint16_t>((value * kLevelMax + 127) / 255);
}

// What the camera looks at. Built-in scenes are computed; an image is scaled and mosaicked once
// when it is shown. The moving scene tiles seamlessly, so that frames scroll through it.
class Scene {
 public:
  enum class Kind { kChart, kMoving, kFlat, kImage };

  Kind kind() const { return kind_; }
  // Changes with every new scene, so that a holder of a mosaic knows when it is stale.
  std::uint32_t version() const { return version_; }

  void ShowChart();
  void ShowMoving();
  void ShowFlat(Rgb level);
  // rgb: width x height pixels of three 16-bit values (0..65535), top row first. Scaled so that it
  // covers the image area, centred and cropped. False (nothing changed) for an empty image or
  // when memory is short.
  bool ShowImage(int width, int height, const std::uint16_t* rgb);
  // An image given as its mosaic, kScenePixels levels as Mosaic gives them (levels above
  // kLevelMax are limited), so that a host can scale an image in one place and show it in
  // another. False (nothing changed) when memory is short.
  bool ShowMosaic(const std::uint16_t* levels);

  // The level that each pixel's filter passes, kSceneWidth x kSceneHeight values, line 0 first.
  void Mosaic(std::uint16_t* out) const;

  // Where frame `frame` starts in the mosaic (which wraps around). Even offsets keep the colour
  // filter's phase.
  void Offset(std::uint64_t frame, int* dx, int* dy) const;

 private:
  void Changed() { ++version_; }

  Kind kind_ = Kind::kChart;
  std::uint32_t version_ = 1;
  Rgb flat_;
  ModelArray<std::uint16_t> image_;  // mosaicked, as Mosaic gives it
};

}  // namespace orvex::vcam
