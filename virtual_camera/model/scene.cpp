#include "model/scene.h"

#include <algorithm>
#include <array>
#include <numbers>
#include <utility>

namespace orvex::vcam {
namespace {

std::uint16_t Pick(const Rgb& rgb, Channel channel) {
  switch (channel) {
    case Channel::kRed:
      return rgb.red;
    case Channel::kGreen:
      return rgb.green;
    case Channel::kBlue:
      return rgb.blue;
  }
  return 0;
}

Rgb Gray(int level) {
  const auto v = static_cast<std::uint16_t>(std::clamp(level, 0, kLevelMax));
  return {v, v, v};
}

Rgb From8(int red, int green, int blue) {
  return {LevelFrom8(red), LevelFrom8(green), LevelFrom8(blue)};
}

// Colour bars on top, a 6 x 4 field of colour patches in the middle (a photographic checker's
// colours, the bottom row neutral), then a continuous gray ramp and 16 gray steps.
Rgb ChartPixel(int x, int y) {
  if (y < 384) {
    static constexpr std::array<std::array<int, 3>, 8> kBars = {
        {{1, 1, 1}, {1, 1, 0}, {0, 1, 1}, {0, 1, 0}, {1, 0, 1}, {1, 0, 0}, {0, 0, 1}, {0, 0, 0}}};
    const auto& bar = kBars[static_cast<std::size_t>(x / 160)];
    const int on = LevelFrom8(191);  // 75 %
    return {static_cast<std::uint16_t>(bar[0] * on), static_cast<std::uint16_t>(bar[1] * on),
            static_cast<std::uint16_t>(bar[2] * on)};
  }
  if (y < 768) {
    static constexpr std::array<std::array<int, 3>, 24> kPatches = {{
        {115, 82, 68},   {194, 150, 130}, {98, 122, 157}, {87, 108, 67},   {133, 128, 177},
        {103, 189, 170}, {214, 126, 44},  {80, 91, 166},  {193, 90, 99},   {94, 60, 108},
        {157, 188, 64},  {224, 163, 46},  {56, 61, 150},  {70, 148, 73},   {175, 54, 60},
        {231, 199, 31},  {187, 86, 149},  {8, 133, 161},  {243, 243, 242}, {200, 200, 200},
        {160, 160, 160}, {122, 122, 121}, {85, 85, 85},   {52, 52, 52},
    }};
    const int column = std::min(x / 213, 5);
    const int row = (y - 384) / 96;
    const int cellX = x - column * 213;
    const int cellY = (y - 384) - row * 96;
    const int cellWidth = column == 5 ? kSceneWidth - 5 * 213 : 213;
    if (cellX < 8 || cellY < 8 || cellX >= cellWidth - 8 || cellY >= 96 - 8) return Gray(200);
    const auto& patch = kPatches[static_cast<std::size_t>(row * 6 + column)];
    return From8(patch[0], patch[1], patch[2]);
  }
  if (y < 896) return Gray(x * kLevelMax / (kSceneWidth - 1));
  return Gray((x / 80) * kLevelMax / 15);
}

// Colour waves with whole numbers of periods across the area, and discs on a grid that divides
// it, so that the pattern wraps around without a seam.
constexpr int kWavePeriod = 5120;

struct WaveTables {
  std::array<std::uint16_t, kWavePeriod> red, green, blue;
};

// clang does not evaluate maths built-ins in constant expressions; its one build here is the
// fuzzer's, on Linux, where glibc computes the same table once at start-up.
#if defined(__clang__)
#define ORVEX_MATH_TABLE const
#define ORVEX_MATH_TABLE_FUNCTION inline
#else
#define ORVEX_MATH_TABLE constexpr
#define ORVEX_MATH_TABLE_FUNCTION constexpr
#endif

// 480 + 300 sin(angle), rounded. The compiler computes the tables, with IEEE double arithmetic
// whatever unit the target calculates with, so that every build of the camera sends the same
// samples and the model needs no maths library at run time.
ORVEX_MATH_TABLE_FUNCTION std::uint16_t Wave(double angle) {
  return static_cast<std::uint16_t>(__builtin_lround(480.0 + 300.0 * __builtin_sin(angle)));
}

ORVEX_MATH_TABLE_FUNCTION WaveTables MakeWaveTables() {
  WaveTables tables{};
  for (int i = 0; i < kWavePeriod; ++i) {
    const double angle = 2.0 * std::numbers::pi * i / kWavePeriod;
    tables.red[static_cast<std::size_t>(i)] = Wave(angle);
    tables.green[static_cast<std::size_t>(i)] = Wave(angle + 2.0);
    tables.blue[static_cast<std::size_t>(i)] = Wave(angle + 4.0);
  }
  return tables;
}

ORVEX_MATH_TABLE WaveTables kWaves = MakeWaveTables();

int WrapPhase(int phase) {
  return ((phase % kWavePeriod) + kWavePeriod) % kWavePeriod;
}

Rgb MovingPixel(int x, int y) {
  const int dx = x % 320 - 160;
  const int dy = y % 256 - 128;
  if (dx * dx + dy * dy <= 56 * 56) return ((x / 320 + y / 256) & 1) == 0 ? Gray(960) : Gray(60);
  // Phases in 1/5120 of a turn: x / 1280 = 4x / 5120, y / 1024 = 5y / 5120.
  const auto r = static_cast<std::size_t>(WrapPhase(4 * x + 5 * y));
  const auto g = static_cast<std::size_t>(WrapPhase(8 * x - 5 * y));
  const auto b = static_cast<std::size_t>(WrapPhase(-4 * x + 10 * y));
  return {kWaves.red[r], kWaves.green[g], kWaves.blue[b]};
}

template <typename PixelFn>
void MosaicOf(PixelFn pixel, std::uint16_t* out) {
  for (int y = 0; y < kSceneHeight; ++y) {
    for (int x = 0; x < kSceneWidth; ++x) *out++ = Pick(pixel(x, y), FilterChannel(x, y));
  }
}

std::uint16_t LevelFrom16(std::uint16_t value) {
  return static_cast<std::uint16_t>((std::uint32_t{value} * kLevelMax + 32767) / 65535);
}

}  // namespace

void Scene::ShowChart() {
  kind_ = Kind::kChart;
  image_.Clear();
  Changed();
}

void Scene::ShowMoving() {
  kind_ = Kind::kMoving;
  image_.Clear();
  Changed();
}

void Scene::ShowFlat(Rgb level) {
  kind_ = Kind::kFlat;
  flat_ = {std::min<std::uint16_t>(level.red, kLevelMax),
           std::min<std::uint16_t>(level.green, kLevelMax),
           std::min<std::uint16_t>(level.blue, kLevelMax)};
  image_.Clear();
  Changed();
}

bool Scene::ShowImage(int width, int height, const std::uint16_t* rgb) {
  if (width <= 0 || height <= 0 || rgb == nullptr) return false;
  // Cover scaling s = max(kSceneWidth / width, kSceneHeight / height) = num / den; the source
  // pixel of target x is floor(((x + 0.5) + (width * s - kSceneWidth) / 2) / s), kept in integers.
  std::int64_t num = kSceneWidth;
  std::int64_t den = width;
  if (std::int64_t{kSceneWidth} * height < std::int64_t{kSceneHeight} * width) {
    num = kSceneHeight;
    den = height;
  }
  ModelArray<int> sourceX;
  ModelArray<int> sourceY;
  ModelArray<std::uint16_t> mosaic;
  if (!sourceX.SetSize(kSceneWidth) || !sourceY.SetSize(kSceneHeight) ||
      !mosaic.SetSize(kScenePixels)) {
    return false;
  }
  auto source = [&](int target, int extent, int sourceExtent) {
    const std::int64_t value =
        ((2 * std::int64_t{target} + 1) * den + sourceExtent * num - extent * den) / (2 * num);
    return static_cast<int>(std::clamp<std::int64_t>(value, 0, sourceExtent - 1));
  };
  for (int x = 0; x < kSceneWidth; ++x)
    sourceX[static_cast<std::size_t>(x)] = source(x, kSceneWidth, width);
  for (int y = 0; y < kSceneHeight; ++y)
    sourceY[static_cast<std::size_t>(y)] = source(y, kSceneHeight, height);

  MosaicOf(
      [&](int x, int y) {
        const std::uint16_t* p =
            rgb + (std::size_t(sourceY[static_cast<std::size_t>(y)]) * std::size_t(width) +
                   std::size_t(sourceX[static_cast<std::size_t>(x)])) *
                      3;
        return Rgb{LevelFrom16(p[0]), LevelFrom16(p[1]), LevelFrom16(p[2])};
      },
      mosaic.data());
  image_ = std::move(mosaic);
  kind_ = Kind::kImage;
  Changed();
  return true;
}

bool Scene::ShowMosaic(const std::uint16_t* levels) {
  if (levels == nullptr) return false;
  ModelArray<std::uint16_t> mosaic;
  if (!mosaic.SetSize(kScenePixels)) return false;
  for (std::size_t i = 0; i < kScenePixels; ++i) {
    mosaic[i] = std::min<std::uint16_t>(levels[i], kLevelMax);
  }
  image_ = std::move(mosaic);
  kind_ = Kind::kImage;
  Changed();
  return true;
}

void Scene::Mosaic(std::uint16_t* out) const {
  switch (kind_) {
    case Kind::kChart:
      MosaicOf(ChartPixel, out);
      return;
    case Kind::kMoving:
      MosaicOf(MovingPixel, out);
      return;
    case Kind::kFlat:
      MosaicOf([&](int, int) { return flat_; }, out);
      return;
    case Kind::kImage:
      std::copy(image_.data(), image_.data() + image_.size(), out);
      return;
  }
}

void Scene::Offset(std::uint64_t frame, int* dx, int* dy) const {
  if (kind_ != Kind::kMoving) {
    *dx = 0;
    *dy = 0;
    return;
  }
  *dx = static_cast<int>((frame * 16) % kSceneWidth);
  *dy = static_cast<int>((frame * 8) % kSceneHeight);
}

}  // namespace orvex::vcam
