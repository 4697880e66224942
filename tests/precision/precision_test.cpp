// Every floating-point computation whose result is fixed (tables, factors, ratios, gains) gives
// the same bits whatever unit computes it and however the host program set that unit up. On
// 32-bit x86 without SSE2 the x87 unit computes, at the precision the host chose: the tests run
// each computation at the precision the test program started with, and at 64, 53 and 24 bits.
// Each result set is compared, as a checksum, with what 64-bit x86 computes.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "display/display_kernels.h"
#include "imaging/auto_exposure.h"
#include "imaging/auto_exposure_internal.h"
#include "imaging/bayer/demosaic.h"
#include "imaging/filters/filter_kernels.h"
#include "imaging/gray_white_balance.h"
#include "imaging/hue_table.h"
#include "imaging/image_buffer.h"
#include "support/unit_platform.h"

namespace orvex {
namespace {

#if defined(__i386__) && !defined(__SSE2_MATH__)
constexpr bool kX87 = true;

std::uint16_t ReadControl() {
  std::uint16_t control = 0;
  __asm__ volatile("fnstcw %0" : "=m"(control) : : "memory");
  return control;
}

void WriteControl(std::uint16_t control) {
  __asm__ volatile("fldcw %0" : : "m"(control) : "memory");
}
#else
constexpr bool kX87 = false;
std::uint16_t ReadControl() {
  return 0;
}
void WriteControl(std::uint16_t) {}
#endif

// The precision control of the x87 unit: bits 8 and 9 (00 24 bits, 10 53 bits, 11 64 bits).
// 0 keeps what the program started with.
struct Precision {
  int bits;
  std::uint16_t field;
};

void PrintTo(const Precision& precision, std::ostream* out) {
  *out << (precision.bits == 0 ? std::string("as started")
                               : std::to_string(precision.bits) + " bits");
}

std::string Name(const ::testing::TestParamInfo<Precision>& info) {
  return info.param.bits == 0 ? "AsStarted" : "X87At" + std::to_string(info.param.bits) + "Bits";
}

// FNV-1a over 32-bit values, least significant byte first.
class Checksum {
 public:
  void Add(std::int64_t value) {
    const auto v = static_cast<std::uint32_t>(value);
    for (int shift = 0; shift < 32; shift += 8) {
      hash_ = (hash_ ^ ((v >> shift) & 0xFF)) * 0x100000001B3ull;
    }
  }
  std::uint64_t value() const { return hash_; }

 private:
  std::uint64_t hash_ = 0xCBF29CE484222325ull;
};

// Repeatable pseudo-random numbers.
class Random {
 public:
  std::uint32_t Next(std::uint32_t limit) {
    state_ = state_ * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<std::uint32_t>(state_ >> 33) % limit;
  }

 private:
  std::uint64_t state_ = 0x2545F4914F6CDD1Dull;
};

class PrecisionTest : public testing::UnitPlatformTest,
                      public ::testing::WithParamInterface<Precision> {
 protected:
  void SetUp() override {
    saved_ = ReadControl();
    if (GetParam().bits != 0) WriteControl((saved_ & ~0x0300) | GetParam().field);
  }
  void TearDown() override { WriteControl(saved_); }

 private:
  std::uint16_t saved_ = 0;
};

TEST_P(PrecisionTest, HueTable) {
  HueTable table{};
  ASSERT_EQ(BuildHueTable(table), 1);
  Checksum sum;
  for (std::uint32_t entry : table) sum.Add(entry);
  EXPECT_EQ(sum.value(), 3139414211754640738u);
}

TEST_P(PrecisionTest, GammaContrastAndBrightnessTables) {
  Checksum gamma;
  std::uint8_t table8[256];
  std::uint16_t table16[1024];
  for (std::int32_t g = 0; g <= 200; ++g) {
    filters::BuildGammaTable8(g, table8);
    filters::BuildGammaTable16(g, table16);
    for (std::uint8_t v : table8) gamma.Add(v);
    for (std::uint16_t v : table16) gamma.Add(v);
  }
  Checksum contrast;
  for (std::int32_t c = -127; c <= 127; ++c) {
    filters::BuildContrastTable8(c, table8);
    filters::BuildContrastTable16(c, table16);
    for (std::uint8_t v : table8) contrast.Add(v);
    for (std::uint16_t v : table16) contrast.Add(v);
  }
  Checksum brightness;
  for (std::int32_t b = -255; b <= 255; ++b) {
    const double f = filters::BrightnessFactor(b);
    for (int v = 0; v <= 1023; ++v) {
      brightness.Add(filters::BrightnessValue(v, f, 255));
      brightness.Add(filters::BrightnessValue(v, f, 1023));
    }
  }
  EXPECT_EQ(gamma.value(), 10485258416894463952u);
  EXPECT_EQ(contrast.value(), 17433048911888217561u);
  EXPECT_EQ(brightness.value(), 10201402034523145440u);
}

TEST_P(PrecisionTest, BayerGainFactor) {
  Checksum sum;
  for (std::int32_t gain = -1000; gain <= 5000; ++gain) sum.Add(bayer::GainFactor(gain));
  for (std::int32_t gain : {INT32_MIN, INT32_MIN + 1, INT32_MAX - 1, INT32_MAX}) {
    sum.Add(bayer::GainFactor(gain));
    sum.Add(bayer::GainFactor(gain) >> 32);
  }
  EXPECT_EQ(sum.value(), 15063656926600978707u);
}

// The gray gains and the white balance measured on random mosaics: means and ratios.
TEST_P(PrecisionTest, BalanceGains) {
  Random random;
  Checksum gray;
  Checksum white;
  std::vector<std::uint8_t> samples8(12 * 10);
  std::vector<std::uint16_t> samples16(12 * 10);
  for (int image = 0; image < 3000; ++image) {
    const std::int32_t width = 2 + static_cast<std::int32_t>(random.Next(11));
    const std::int32_t height = 2 + static_cast<std::int32_t>(random.Next(9));
    for (auto& s : samples8) s = static_cast<std::uint8_t>(random.Next(256));
    for (auto& s : samples16) s = static_cast<std::uint16_t>(random.Next(1024));
    const std::int32_t region[4] = {0, 0, width, height};
    const auto mode = static_cast<std::int32_t>(random.Next(4));

    GrayCorrectionRecord record{mode, -7, -7, -7, -7, 0, 0, 0, 0};
    void* parameter = &record;
    GrayBalanceKernel(samples8.data(), samples8.data(), region, 0, 0, 1, 1, width, width,
                      &parameter, 0);
    for (std::int32_t gain : {record.GainR1, record.GainG1, record.GainG2, record.GainB1}) {
      gray.Add(gain);
    }

    WhiteBalanceRecord balance8{0, 0, 0, mode};
    parameter = &balance8;
    WhiteBalanceKernel8(samples8.data(), samples8.data(), region, 0, 0, 1, 1, width, width,
                        &parameter, 0);
    WhiteBalanceRecord balance16{0, 0, 0, mode};
    parameter = &balance16;
    WhiteBalanceKernel16(reinterpret_cast<std::uint8_t*>(samples16.data()),
                         reinterpret_cast<std::uint8_t*>(samples16.data()), region, 0, 0, 2, 2,
                         2 * width, 2 * width, &parameter, 0);
    for (const WhiteBalanceRecord& r : {balance8, balance16}) {
      white.Add(r.blue);
      white.Add(r.green);
      white.Add(r.red);
    }
  }
  EXPECT_EQ(gray.value(), 15835298290550111112u);
  EXPECT_EQ(white.value(), 10720268143027166910u);
}

// The nearest-neighbour scaling of the preview: single-precision ratios of every pair of
// sizes up to 64, each way.
TEST_P(PrecisionTest, ScalingRatios) {
  Checksum sum;
  std::vector<std::uint8_t> source(64);
  for (int i = 0; i < 64; ++i) source[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i);
  std::vector<std::uint8_t> destination(64);
  for (std::int32_t from = 1; from <= 64; ++from) {
    for (std::int32_t to = 1; to <= 64; ++to) {
      // One row across: the columns taken; one column down: the rows taken.
      const std::int32_t across[2][4] = {{0, 0, to, 1}, {0, 0, from, 1}};
      ScaleGray8(destination.data(), source.data(), across[0], across[1], to, 1, from, 1, 1, 1, 64,
                 64, 0, nullptr);
      for (int i = 0; i < to; ++i) sum.Add(destination[static_cast<std::size_t>(i)]);
      const std::int32_t down[2][4] = {{0, 0, 1, to}, {0, 0, 1, from}};
      ScaleGray8(destination.data(), source.data(), down[0], down[1], 1, to, 1, from, 1, 1, 1, 1, 0,
                 nullptr);
      for (int i = 0; i < to; ++i) sum.Add(destination[static_cast<std::size_t>(i)]);
    }
  }
  EXPECT_EQ(sum.value(), 1338327560124187371u);
}

// The automatic exposure's windows and factor: every combination of the five brightness classes
// of the windows, on frames of several sizes, from several exposures, in both modes.
TEST_P(PrecisionTest, AutomaticExposure) {
  ImageBuffer raw(windows);
  AnalogSettings analog;
  constexpr std::uint8_t kClasses[5] = {230, 180, 130, 75, 20};
  constexpr double kFractions[5][4] = {{0.1, 0.1, 0.2, 0.2},
                                       {0.1, 0.8, 0.2, 0.9},
                                       {0.45, 0.45, 0.55, 0.55},
                                       {0.8, 0.1, 0.9, 0.2},
                                       {0.8, 0.8, 0.9, 0.9}};
  Checksum sum;
  for (const auto& [width, height] : {std::pair{40, 30}, std::pair{73, 61}, std::pair{130, 101}}) {
    ASSERT_EQ(raw.Create(width, height, 8), 1);
    for (int combination = 0; combination < 5 * 5 * 5 * 5 * 5; ++combination) {
      // Each window filled with its class; the windows here are a tenth of the frame each way,
      // found with exact integer fractions, one row and column inside their computed bounds.
      std::memset(raw.pixels, 130, static_cast<std::size_t>(raw.stride) * height);
      for (int window = 0, rest = combination; window < 5; ++window, rest /= 5) {
        const int left = width * static_cast<int>(kFractions[window][0] * 100 + 0.5) / 100 + 1;
        const int top = height * static_cast<int>(kFractions[window][1] * 100 + 0.5) / 100 + 1;
        const int right = width * static_cast<int>(kFractions[window][2] * 100 + 0.5) / 100 - 1;
        const int bottom = height * static_cast<int>(kFractions[window][3] * 100 + 0.5) / 100 - 1;
        for (int row = top; row < bottom; ++row) {
          std::memset(raw.TopRow(row) + left, kClasses[rest % 5],
                      static_cast<std::size_t>(right - left));
        }
      }
      for (int mode : {1, 2}) {
        for (std::int32_t exposure : {0, 1, 90, 100, 254, 16383}) {
          analog.AutoIris = mode;
          analog.Exposure = exposure;
          analog.Global = 11;
          ResetAutoExposureCounterForTesting();
          for (int frame = 0; frame < 3; ++frame) {
            // Each frame's decision is applied before the next, as the acquisition does.
            FrameMeasurements measured;
            AutoExposureStep(analog, &raw, &measured);
            if (!measured.exposure) continue;
            if (measured.exposure->kind == ExposureChange::Kind::kExposure) {
              analog.Exposure = measured.exposure->value;
            } else {
              analog.Global = measured.exposure->value;
            }
          }
          sum.Add(mode == 1 ? analog.Exposure : analog.Global);
        }
      }
    }
  }
  EXPECT_EQ(sum.value(), 18210725251648277044u);
}

std::vector<Precision> Precisions() {
  if (!kX87) return {{0, 0}};
  return {{0, 0}, {64, 0x0300}, {53, 0x0200}, {24, 0x0000}};
}

INSTANTIATE_TEST_SUITE_P(Units, PrecisionTest, ::testing::ValuesIn(Precisions()), Name);

}  // namespace
}  // namespace orvex
