// The table stages' row forms on a band of rows as the pipeline hands them over (1280 pixels x
// 16 rows, in place), each scaled to a 1280 x 1024 frame: a curve (gamma) through the table, and
// lines (brightness, contrast) computed; and what making a map ready costs, line search included.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "imaging/filters/filter_kernels.h"
#include "imaging/filters/table_map.h"

namespace orvex::filters {
namespace {

constexpr std::size_t kBandPixels = 1280 * 16;
constexpr double kBandsAFrame = 1024 / 16;

enum class Stage { kGamma, kContrast, kBrightness };
constexpr std::int32_t kSetting[] = {60, 40, 30};

std::vector<std::uint8_t> Band(int pixelBytes, bool words) {
  std::vector<std::uint8_t> band(kBandPixels * pixelBytes);
  for (std::size_t i = 0; i < band.size() / (words ? 2 : 1); ++i) {
    const int v = static_cast<int>((i / 5 + i % 24) % 256);
    if (words) {
      Store16(&band[2 * i], static_cast<std::uint16_t>(v * 4 + i % 4));
    } else {
      band[i] = static_cast<std::uint8_t>(v);
    }
  }
  return band;
}

template <class Map>
void RunBand(benchmark::State& state, const Map& map, int pixelBytes, bool words) {
  std::vector<std::uint8_t> band = Band(pixelBytes, words);
  for (auto _ : state) {
    map.MapRow(band.data(), band.data(), kBandPixels, pixelBytes);
    benchmark::ClobberMemory();
  }
  state.counters["ms/frame"] =
      benchmark::Counter(1e-3 / kBandsAFrame, benchmark::Counter::kIsIterationInvariantRate |
                                                  benchmark::Counter::kInvert);
}

void BM_Bytes(benchmark::State& state) {
  const auto stage = static_cast<Stage>(state.range(0));
  std::uint8_t table[256];
  if (stage == Stage::kGamma) GammaTable8(kSetting[0], table);
  if (stage == Stage::kContrast) BuildContrastTable8(kSetting[1], table);
  if (stage == Stage::kBrightness) BuildBrightnessTable8(kSetting[2], table);
  ByteTableMap map;
  map.Prepare(table);
  RunBand(state, map, static_cast<int>(state.range(1)), false);
}

void BM_Words(benchmark::State& state) {
  const auto stage = static_cast<Stage>(state.range(0));
  std::uint16_t table[kMax16 + 1];
  if (stage == Stage::kGamma) GammaTable16(kSetting[0], table);
  if (stage == Stage::kContrast) BuildContrastTable16(kSetting[1], table);
  if (stage == Stage::kBrightness) BuildBrightnessTable16(kSetting[2], table);
  WordTableMap map;
  map.Prepare(table);
  RunBand(state, map, static_cast<int>(state.range(1)), true);
}

// Brightness of words at a setting on a line (30) and at one the doubles put off it (40).
void BM_WordBrightness(benchmark::State& state) {
  WordBrightnessMap map;
  map.Prepare(static_cast<std::int32_t>(state.range(0)));
  RunBand(state, map, static_cast<int>(state.range(1)), true);
}

void BM_PrepareWords(benchmark::State& state) {
  const auto stage = static_cast<Stage>(state.range(0));
  std::uint16_t table[kMax16 + 1];
  if (stage == Stage::kGamma) GammaTable16(kSetting[0], table);
  if (stage == Stage::kBrightness) BuildBrightnessTable16(kSetting[2], table);
  for (auto _ : state) {
    WordTableMap map;
    map.Prepare(table);
    benchmark::DoNotOptimize(&map);
  }
}

// Stage (gamma 0, contrast 1, brightness 2) and bytes a pixel.
BENCHMARK(BM_Bytes)->Name("TableMap/bytes")->ArgsProduct({{0, 1, 2}, {3, 4}});
BENCHMARK(BM_Words)->Name("TableMap/words")->ArgsProduct({{0, 1, 2}, {6, 8}});
BENCHMARK(BM_WordBrightness)->Name("TableMap/word_brightness")->ArgsProduct({{30, 40}, {6, 8}});
BENCHMARK(BM_PrepareWords)->Name("TableMap/prepare_words")->Arg(0)->Arg(2);

}  // namespace
}  // namespace orvex::filters
