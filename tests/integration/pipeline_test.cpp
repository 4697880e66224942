// The whole frame pipeline through the public interface: rasters from the virtual camera,
// settings through the exports, and every output format compared with a small model of the
// arithmetic written here from the definitions, not from the library's code.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <random>
#include <sstream>
#include <vector>

#include "integration_fixture.h"

namespace {

// A small window, away from the raster's first line and sample, so that the Bayer phase is seen
// to start at the window's first sample.
constexpr int32_t kTH = 64, kEHS = 2, kEH = 46, kTV = 40, kEVS = 1, kEV = 32;

// An image as the model sees it: rows in memory order (the window's first line first),
// `channels` values a pixel (blue, green, red for colour). A mosaic has one channel.
struct Picture {
  Picture(int32_t w, int32_t h, int32_t c)
      : width(w), height(h), channels(c), values(static_cast<size_t>(w) * h * c, 0) {}
  int32_t& at(int32_t column, int32_t row, int32_t channel = 0) {
    return values[(static_cast<size_t>(row) * width + column) * channels + channel];
  }
  int32_t at(int32_t column, int32_t row, int32_t channel = 0) const {
    return values[(static_cast<size_t>(row) * width + column) * channels + channel];
  }
  int32_t width, height, channels;
  std::vector<int32_t> values;
};

int32_t Clamp(int64_t v, int32_t limit) {
  return static_cast<int32_t>(std::clamp<int64_t>(v, 0, limit));
}

template <typename F>
Picture Map(const Picture& in, F f) {
  Picture out = in;
  for (int32_t& v : out.values) v = f(v);
  return out;
}

// --- The Bayer mosaic ---------------------------------------------------------------------

enum Colour { kBlue = 0, kGreen = 1, kRed = 2 };

// The row and column phase that a BayerMode gives the region's first sample.
std::array<int, 2> StartPhase(int32_t mode) {
  switch (mode) {
    case 1:
      return {1, 0};
    case 2:
      return {0, 1};
    case 3:
      return {1, 1};
    default:
      return {0, 0};
  }
}

// The colour of a phase: (0, 0) green, (0, 1) blue, (1, 0) red, (1, 1) green.
Colour ColourOfPhase(int rowPhase, int columnPhase) {
  static constexpr Colour kColours[2][2] = {{kGreen, kBlue}, {kRed, kGreen}};
  return kColours[rowPhase & 1][columnPhase & 1];
}

// The row phase flips every row; the column phase flips every sample and is carried from one
// row to the next.
std::array<int, 2> PhaseAt(int32_t mode, int32_t width, int32_t column, int32_t row) {
  const std::array<int, 2> start = StartPhase(mode);
  return {(start[0] + row) & 1, static_cast<int>((start[1] + int64_t{row} * width + column) & 1)};
}

// The plain conversion: each output pixel stands for the corner between samples (c - 1, r - 1)
// and (c, r). Red and blue interpolate bilinearly from the four nearest samples of their colour
// (weights 9, 3, 3, 1 by distance), green is the mean of the block's two greens; red and blue
// are scaled by trunc(gain x 1.28) / 2048. Rows and columns 0, 1 and the last two stay as the
// fresh buffer had them: 0.
Picture Demosaic(const Picture& mosaic, int32_t mode, int32_t redGain, int32_t blueGain,
                 int32_t limit) {
  const int32_t w = mosaic.width, h = mosaic.height;
  Picture out(w, h, 3);
  const int64_t fRed = static_cast<int64_t>(std::trunc(redGain * 1.28));
  const int64_t fBlue = static_cast<int64_t>(std::trunc(blueGain * 1.28));
  for (int32_t r = 2; r <= h - 3; ++r) {
    for (int32_t c = 2; c <= w - 3; ++c) {
      const std::array<int, 2> phase = PhaseAt(mode, w, c, r);
      // The mosaic around (c, r) continues with the phase of (c, r).
      const auto colourAt = [&](int dc, int dr) {
        return ColourOfPhase(phase[0] + dr + 2, phase[1] + dc + 2);
      };
      const auto sample = [&](int dc, int dr) { return mosaic.at(c + dc, r + dr); };
      int32_t green = 0;
      for (int dr : {-1, 0}) {
        for (int dc : {-1, 0}) {
          const Colour colour = colourAt(dc, dr);
          if (colour == kGreen) {
            green += sample(dc, dr);
            continue;
          }
          // The sample on the far side of the corner is two away.
          const int fc = dc == 0 ? -2 : 1, fr = dr == 0 ? -2 : 1;
          const int32_t sum =
              9 * sample(dc, dr) + 3 * sample(fc, dr) + 3 * sample(dc, fr) + sample(fc, fr);
          const int64_t factor = colour == kRed ? fRed : fBlue;
          out.at(c, r, colour) = Clamp((factor * sum) >> 11, limit);
        }
      }
      out.at(c, r, kGreen) = Clamp(green >> 1, limit);
    }
  }
  return out;
}

// --- Pseudo-colour --------------------------------------------------------------------------

int32_t HueRule(int32_t lo, int32_t hi, int32_t angle) {
  constexpr double q = -0.016666666666666666;
  const int32_t h = angle % 360;
  if (h < 0) return lo;
  if (h < 60) return lo - static_cast<int32_t>(std::trunc(static_cast<double>((hi - lo) * h) * q));
  if (h < 180) return hi;
  if (h < 240) {
    return lo - static_cast<int32_t>(std::trunc(static_cast<double>((hi - lo) * (240 - h)) * q));
  }
  return lo;
}

// Entries as red, green, blue.
std::array<std::array<int32_t, 3>, 360> HueTable() {
  std::array<std::array<int32_t, 3>, 360> table{};
  for (int32_t k = 0; k < 360; ++k) {
    const int32_t n = 38100 - 127 * k;
    int32_t L = 127;
    if (n > 30480) L = 127 + (n - 30480) / 60;
    if (n < 0) L = 127 + n / 60;
    const int32_t m2 = L < 128 ? L * 510 / 255 : L - L * 255 / 255 + 255;
    const int32_t m1 = 2 * L - m2;
    table[359 - k] = {Clamp(HueRule(m1, m2, k + 420), 255), Clamp(HueRule(m1, m2, k + 300), 255),
                      Clamp(HueRule(m1, m2, k + 180), 255)};
  }
  return table;
}

Picture PseudoColour(const Picture& mosaic) {
  const auto table = HueTable();
  Picture out(mosaic.width, mosaic.height, 3);
  for (int32_t r = 0; r < mosaic.height; ++r) {
    for (int32_t c = 0; c < mosaic.width; ++c) {
      const int32_t v = mosaic.at(c, r);
      for (int ch = 0; ch < 3; ++ch) {
        out.at(c, r, ch) = v == 0 ? 0 : v == 255 ? 255 : table[v][2 - ch];
      }
    }
  }
  return out;
}

// --- Filters --------------------------------------------------------------------------------

std::vector<int32_t> GammaTable(int32_t gamma, int32_t n) {
  double e = gamma <= 100 ? gamma * 0.01 : (gamma - 100) * 0.1 + 1.0;
  e = std::clamp(e, 0.001, 99.999);
  std::vector<int32_t> table(n + 1, 0);
  for (int32_t i = 1; i <= n; ++i) {
    const double m = std::log10(n) + e * (std::log10(i) - std::log10(n));
    if (m < 0) {
      table[i] = 1;
      continue;
    }
    table[i] = n;
    for (int32_t o = 2; o <= n - 1; ++o) {
      if (std::log10(o - 1) <= m && m <= std::log10(o + 1)) {
        table[i] = o;
        break;
      }
    }
  }
  return table;
}

int32_t Contrast8(int32_t c, int32_t i) {
  if (i < c) return 0;
  if (i > 255 - c) return 255;
  return static_cast<int32_t>(std::trunc((256.0 / (2 * (128 - c))) * (i - c)));
}

double BrightnessFactor(int32_t b) {
  if (b > 0) return 1 + b * 0.0392156862745098;
  if (b < 0) return 1 - -b * 0.00392156862745098;
  return 1.0;
}

int32_t Bright(int32_t v, int32_t b, int32_t limit) {
  return Clamp(static_cast<int64_t>(std::trunc(v * BrightnessFactor(b))), limit);
}

// Gray 8: a 4 x 4 mean reaching two back and one forward, then the difference scaled by s / 10;
// the outer two rows and columns keep their values.
Picture Sharpen8(const Picture& in, int32_t s) {
  Picture out = in;
  for (int32_t r = 2; r <= in.height - 3; ++r) {
    for (int32_t c = 2; c <= in.width - 3; ++c) {
      int32_t sum = 0;
      for (int32_t dr = -2; dr <= 1; ++dr) {
        for (int32_t dc = -2; dc <= 1; ++dc) sum += in.at(c + dc, r + dr);
      }
      const int32_t o = in.at(c, r), b = sum >> 4;
      out.at(c, r) = Clamp(o + (s * (o - b)) / 10, 255);
    }
  }
  return out;
}

int32_t Luminance(const Picture& colour, int32_t c, int32_t r) {
  return Clamp(
      (59 * colour.at(c, r, kGreen) + 30 * colour.at(c, r, kRed) + 11 * colour.at(c, r, kBlue)) /
          100,
      255);
}

// --- Output formats -------------------------------------------------------------------------

int SampleBytes(int32_t bits) {
  return bits == 16 || bits == 48 || bits == 64 ? 2 : 1;
}
int Channels(int32_t bits) {
  return bits <= 16 ? 1 : 3;
}
size_t Stride(int32_t bits) {
  return (static_cast<size_t>(kEH) * bits / 8 + 3) & ~size_t{3};
}

// Compares the application's copy with the model: every channel of every pixel, and the fourth
// byte or word of 32- and 64-bit pixels, which no stage writes. The bytes that pad a row to its
// stride carry no image.
::testing::AssertionResult Matches(const std::vector<uint8_t>& image, const Picture& expected,
                                   int32_t bits, bool bottomUp) {
  const int bytes = SampleBytes(bits), channels = Channels(bits), pixelBytes = bits / 8;
  if (image.size() != Stride(bits) * kEV || expected.width != kEH || expected.height != kEV ||
      expected.channels != channels) {
    return ::testing::AssertionFailure() << "sizes differ";
  }
  int mismatches = 0;
  std::ostringstream first;
  for (int32_t row = 0; row < kEV; ++row) {
    const uint8_t* line = image.data() + (bottomUp ? row : kEV - 1 - row) * Stride(bits);
    for (int32_t column = 0; column < kEH; ++column) {
      const uint8_t* pixel = line + column * pixelBytes;
      for (int ch = 0; ch < pixelBytes / bytes; ++ch) {
        const int32_t actual = bytes == 1 ? pixel[ch] : pixel[2 * ch] | pixel[2 * ch + 1] << 8;
        const int32_t want = ch < channels ? expected.at(column, row, ch) : 0;
        if (actual != want && mismatches++ == 0) {
          first << "column " << column << ", row " << row << ", channel " << ch << ": " << actual
                << " instead of " << want;
        }
      }
    }
  }
  if (mismatches == 0) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << bits << " bits, bottomUp " << bottomUp << ": "
                                       << mismatches << " values differ, first at " << first.str();
}

using Setter = int32_t(ORVEX_CALL*)(CameraHandle, int32_t);
using Getter = int32_t(ORVEX_CALL*)(CameraHandle, int32_t*);

class PipelineTest : public IntegrationTest {
 protected:
  void SetUp() override {
    IntegrationTest::SetUp();
    ASSERT_EQ(OrvexVirtualCamera_Attach(0), 1);
    ASSERT_EQ(OrvexVirtualCamera_SetFramePeriod(0, 0), 1);
    handle_ = Orvex_Initialize(window_);
    ASSERT_NE(handle_, 0);
    ASSERT_EQ(Orvex_SetCaptureWindowEx(handle_, kTH, kEHS, kEH, kTV, kEVS, kEV), 1);
    ASSERT_EQ(Orvex_SetAutoIris(handle_, 0), 1);
    for (Setter neutral :
         {Orvex_SetBrightness, Orvex_SetContrast, Orvex_SetHue, Orvex_SetSaturation,
          Orvex_SetSharpness, Orvex_SetBayerGainAuto, Orvex_SetGrayMode}) {
      Set(neutral, 0);
    }
    for (Setter hundred :
         {Orvex_SetGamma, Orvex_SetBayerGainRed, Orvex_SetBayerGainGreen, Orvex_SetBayerGainBlue}) {
      Set(hundred, 100);
    }
    Set(Orvex_SetBayerMode, 3);
  }
  void TearDown() override {
    if (handle_ != 0) {
      EXPECT_EQ(Orvex_Release(handle_), 1);
    }
    IntegrationTest::TearDown();
  }

  void Set(Setter setter, int32_t value) { ASSERT_EQ(setter(handle_, value), 1) << value; }
  int32_t Get(Getter getter) {
    int32_t ok = 0;
    const int32_t value = getter(handle_, &ok);
    EXPECT_EQ(ok, 1);
    return value;
  }

  // The camera sends `window` at the capture window and a constant elsewhere; one byte a
  // sample, or two (10-bit values).
  static void Show(const Picture& window, int bytes) {
    const int32_t outside = bytes == 1 ? 0xA5 : 0x2A5;
    std::vector<uint8_t> raster(static_cast<size_t>(kTH) * kTV * bytes);
    for (int32_t line = 0; line < kTV; ++line) {
      for (int32_t sample = 0; sample < kTH; ++sample) {
        const bool inside =
            line >= kEVS && line < kEVS + kEV && sample >= kEHS && sample < kEHS + kEH;
        const int32_t v = inside ? window.at(sample - kEHS, line - kEVS) : outside;
        const size_t at = (static_cast<size_t>(line) * kTH + sample) * bytes;
        raster[at] = static_cast<uint8_t>(v);
        if (bytes == 2) raster[at + 1] = static_cast<uint8_t>(v >> 8);
      }
    }
    ASSERT_EQ(OrvexVirtualCamera_SetRaster(0, raster.data(), kTH, kTV, bytes), 1);
  }

  // Noise over 0..max with both ends present.
  static Picture Noise(int32_t max, unsigned seed) {
    std::mt19937 random(seed);
    Picture mosaic(kEH, kEV, 1);
    for (int32_t& v : mosaic.values) v = static_cast<int32_t>(random() % (max + 1));
    mosaic.at(5, 5) = 0;
    mosaic.at(6, 5) = max;
    return mosaic;
  }

  // A flat value for each colour of the mosaic under `mode`.
  static Picture ByColour(int32_t mode, int32_t green, int32_t red, int32_t blue) {
    Picture mosaic(kEH, kEV, 1);
    for (int32_t r = 0; r < kEV; ++r) {
      for (int32_t c = 0; c < kEH; ++c) {
        const std::array<int, 2> phase = PhaseAt(mode, kEH, c, r);
        const Colour colour = ColourOfPhase(phase[0], phase[1]);
        mosaic.at(c, r) = colour == kGreen ? green : colour == kRed ? red : blue;
      }
    }
    return mosaic;
  }

  std::vector<uint8_t> Snap(int32_t bits, bool bottomUp = true) {
    EXPECT_EQ(Orvex_SetColorMode(handle_, bits), 1);
    std::vector<uint8_t> image(Stride(bits) * kEV);
    EXPECT_EQ(
        Orvex_SnapShot(handle_, image.data(), static_cast<int32_t>(image.size()), bottomUp ? 1 : 0),
        1)
        << "error " << Orvex_GetLastError(handle_);
    return image;
  }

  static int32_t ValueAt(const std::vector<uint8_t>& image, int32_t bits, int32_t column,
                         int32_t row, int channel) {
    const uint8_t* at = image.data() + row * Stride(bits) + column * (bits / 8);
    return SampleBytes(bits) == 1 ? at[channel] : at[2 * channel] | at[2 * channel + 1] << 8;
  }

  CameraHandle handle_ = 0;
};

TEST_F(PipelineTest, EveryColorTypeMatchesTheModelAtNeutralSettings) {
  const auto table = HueTable();
  using Entry = std::array<int32_t, 3>;
  ASSERT_EQ(table[1], (Entry{9, 0, 10}));
  ASSERT_EQ(table[59], (Entry{0, 0, 254}));
  ASSERT_EQ(table[128], (Entry{0, 254, 215}));
  ASSERT_EQ(table[179], (Entry{0, 254, 0}));
  ASSERT_EQ(table[200], (Entry{88, 254, 0}));
  ASSERT_EQ(table[254], (Entry{254, 190, 0}));

  const Picture mosaic8 = Noise(255, 1);
  Show(mosaic8, 1);
  EXPECT_TRUE(Matches(Snap(8), mosaic8, 8, true));
  for (const bool bottomUp : {true, false}) {
    EXPECT_TRUE(Matches(Snap(24, bottomUp), PseudoColour(mosaic8), 24, bottomUp));
    EXPECT_TRUE(Matches(Snap(32, bottomUp), Demosaic(mosaic8, 3, 100, 100, 255), 32, bottomUp));
  }

  const Picture mosaic10 = Noise(1023, 2);
  Show(mosaic10, 2);
  EXPECT_TRUE(Matches(Snap(16), mosaic10, 16, true));
  const Picture colour10 = Demosaic(mosaic10, 3, 100, 100, 1023);
  EXPECT_TRUE(Matches(Snap(48), colour10, 48, true));
  EXPECT_TRUE(Matches(Snap(64, false), colour10, 64, false));
  EXPECT_EQ(PostedErrors(), std::vector<intptr_t>{});
}

TEST_F(PipelineTest, WhiteBalanceGainsScaleRedAndBlueUpToFullScale) {
  Set(Orvex_SetBayerGainRed, 150);
  Set(Orvex_SetBayerGainBlue, 80);
  const Picture mosaic8 = Noise(255, 3);
  Show(mosaic8, 1);
  EXPECT_TRUE(Matches(Snap(32), Demosaic(mosaic8, 3, 150, 80, 255), 32, true));

  // Bright 10-bit samples with red at four times: red saturates at 1023.
  Set(Orvex_SetBayerGainRed, 400);
  Set(Orvex_SetBayerGainBlue, 250);
  const Picture bright = Map(Noise(323, 4), [](int32_t v) { return v + 700; });
  Show(bright, 2);
  const Picture colour10 = Demosaic(bright, 3, 400, 250, 1023);
  ASSERT_EQ(colour10.at(10, 10, kRed), 1023);
  EXPECT_TRUE(Matches(Snap(48), colour10, 48, true));
  EXPECT_TRUE(Matches(Snap(64), colour10, 64, true));
}

TEST_F(PipelineTest, BayerModeDecidesTheColourOfEachSample) {
  // Only the samples in even rows and odd columns of the window are lit.
  Picture lit(kEH, kEV, 1);
  for (int32_t r = 0; r < kEV; r += 2) {
    for (int32_t c = 1; c < kEH; c += 2) lit.at(c, r) = 200;
  }
  Show(lit, 1);
  struct Case {
    int32_t mode, blue, green, red;
  };
  // G B / R G, R G / G B, B G / G R, G R / B G from the window's first sample.
  for (const Case& k :
       {Case{0, 200, 0, 0}, Case{1, 0, 100, 0}, Case{2, 0, 100, 0}, Case{3, 0, 0, 200}}) {
    Set(Orvex_SetBayerMode, k.mode);
    const std::vector<uint8_t> image = Snap(32);
    EXPECT_TRUE(Matches(image, Demosaic(lit, k.mode, 100, 100, 255), 32, true));
    EXPECT_EQ(ValueAt(image, 32, 20, 15, kBlue), k.blue) << "BayerMode " << k.mode;
    EXPECT_EQ(ValueAt(image, 32, 20, 15, kGreen), k.green) << "BayerMode " << k.mode;
    EXPECT_EQ(ValueAt(image, 32, 20, 15, kRed), k.red) << "BayerMode " << k.mode;
  }
  // The 16-bit conversion follows the same phases; one-byte rasters arrive x 4 there.
  Set(Orvex_SetBayerMode, 0);
  EXPECT_TRUE(Matches(
      Snap(48), Demosaic(Map(lit, [](int32_t v) { return v * 4; }), 0, 100, 100, 1023), 48, true));
}

TEST_F(PipelineTest, GrayFilterStagesRunInTheirOrder) {
  const Picture mosaic = Noise(255, 5);
  Show(mosaic, 1);
  const std::vector<int32_t> gamma = GammaTable(150, 255);
  const Picture afterGamma = Map(mosaic, [&](int32_t v) { return gamma[v]; });
  Set(Orvex_SetGamma, 150);
  EXPECT_TRUE(Matches(Snap(8), afterGamma, 8, true));

  // Gamma, contrast, sharpness and brightness, none of which commute; hue and saturation
  // never touch a gray image.
  Set(Orvex_SetContrast, 40);
  Set(Orvex_SetSharpness, 10);
  Set(Orvex_SetBrightness, 30);
  Set(Orvex_SetHue, 90);
  Set(Orvex_SetSaturation, 100);
  const Picture contrasted = Map(afterGamma, [](int32_t v) { return Contrast8(40, v); });
  const Picture expected =
      Map(Sharpen8(contrasted, 10), [](int32_t v) { return Bright(v, 30, 255); });
  EXPECT_TRUE(Matches(Snap(8), expected, 8, true));
}

TEST_F(PipelineTest, DesaturationComesBeforeBrightness) {
  // Saturation -255 leaves every pixel at its lightness (max + min) / 2, on 8-bit values; the
  // brightness that follows saturates some of them.
  Set(Orvex_SetSaturation, -255);
  Set(Orvex_SetBrightness, 100);
  const auto gray = [](const Picture& colour, int32_t shift, int32_t limit) {
    Picture out(colour.width, colour.height, 3);
    for (int32_t r = 0; r < colour.height; ++r) {
      for (int32_t c = 0; c < colour.width; ++c) {
        int32_t lo = 255, hi = 0;
        for (int ch = 0; ch < 3; ++ch) {
          lo = std::min(lo, colour.at(c, r, ch) >> shift);
          hi = std::max(hi, colour.at(c, r, ch) >> shift);
        }
        const int32_t v = Bright(((lo + hi) >> 1) << shift, 100, limit);
        for (int ch = 0; ch < 3; ++ch) out.at(c, r, ch) = v;
      }
    }
    return out;
  };
  const Picture mosaic8 = Noise(255, 6);
  Show(mosaic8, 1);
  EXPECT_TRUE(Matches(Snap(24), gray(PseudoColour(mosaic8), 0, 255), 24, true));
  const Picture mosaic10 = Noise(1023, 7);
  Show(mosaic10, 2);
  EXPECT_TRUE(Matches(Snap(48), gray(Demosaic(mosaic10, 3, 100, 100, 1023), 2, 1023), 48, true));
}

TEST_F(PipelineTest, BrightnessMinus255BlackensEveryFormat) {
  Set(Orvex_SetBrightness, -255);
  for (const int32_t bits : {8, 16, 24, 32, 48, 64}) {
    Show(Noise(SampleBytes(bits) == 1 ? 255 : 1023, 8), SampleBytes(bits));
    EXPECT_TRUE(Matches(Snap(bits), Picture(kEH, kEV, Channels(bits)), bits, true));
  }
}

TEST_F(PipelineTest, GrayCorrectionAppliesTheGainAndOffsetOfEachPosition) {
  Set(Orvex_SetGrayMode, 1);
  Set(Orvex_SetBayerMode, 1);
  Set(Orvex_SetGrayGainR, 200);
  Set(Orvex_SetGrayGainG1, 128);
  Set(Orvex_SetGrayGainG2, 64);
  Set(Orvex_SetGrayGainB, 255);
  Set(Orvex_SetGrayOffsetR, -10);
  Set(Orvex_SetGrayOffsetG1, 5);
  Set(Orvex_SetGrayOffsetG2, 0);
  Set(Orvex_SetGrayOffsetB, 20);
  const Picture mosaic = Noise(255, 9);
  Show(mosaic, 1);
  // Gain and offset by phase: (0, 0) G1, (0, 1) R, (1, 0) B, (1, 1) G2.
  const int32_t gains[2][2] = {{128, 200}, {255, 64}};
  const int32_t offsets[2][2] = {{5, -10}, {20, 0}};
  Picture expected = mosaic;
  for (int32_t r = 0; r < kEV; ++r) {
    for (int32_t c = 0; c < kEH; ++c) {
      const std::array<int, 2> p = PhaseAt(1, kEH, c, r);
      expected.at(c, r) =
          Clamp(mosaic.at(c, r) * gains[p[0]][p[1]] / 128 + offsets[p[0]][p[1]], 255);
    }
  }
  EXPECT_TRUE(Matches(Snap(8), expected, 8, true));
}

TEST_F(PipelineTest, LuminanceOfTheConvertedColours) {
  Set(Orvex_SetGrayMode, 2);
  const Picture mosaic = Noise(255, 10);
  Show(mosaic, 1);
  const auto luminance = [](const Picture& colour) {
    Picture out(colour.width, colour.height, 1);
    for (int32_t r = 0; r < colour.height; ++r) {
      for (int32_t c = 0; c < colour.width; ++c) out.at(c, r) = Luminance(colour, c, r);
    }
    return out;
  };

  // A gain above 200 makes every processor use the plain conversion: exact bytes, and the
  // unconverted border is the luminance of the fresh colour image's zeros.
  Set(Orvex_SetBayerGainRed, 250);
  EXPECT_TRUE(Matches(Snap(8), luminance(Demosaic(mosaic, 3, 250, 100, 255)), 8, true));

  // Up to 200 a vector form may run: its red and blue may come out up to 2 lower (so the
  // luminance up to 1 lower) and it clears columns 0, 1 and W - 1, which the plain form leaves
  // at the fresh buffer's 0; column W - 2 is the vector form's own.
  Set(Orvex_SetBayerGainRed, 150);
  Set(Orvex_SetBayerGainBlue, 180);
  const Picture model = luminance(Demosaic(mosaic, 3, 150, 180, 255));
  const std::vector<uint8_t> image = Snap(8);
  int outside = 0;
  for (int32_t r = 0; r < kEV; ++r) {
    for (int32_t c = 0; c < kEH; ++c) {
      const int32_t v = ValueAt(image, 8, c, r, 0);
      if (r < 2 || r > kEV - 3 || c < 2 || c == kEH - 1) {
        if (v != 0) ++outside;
      } else if (c < kEH - 2 && (v > model.at(c, r) || v < model.at(c, r) - 1)) {
        ++outside;
      }
    }
  }
  EXPECT_EQ(outside, 0);
}

// The measured gain of one colour: 100 x the green mean over its mean, by way of the thirds.
int32_t MeasuredGain(double green, double red, double blue, double mean) {
  const double third = 0.3333333333333333;
  const double total = green + red + blue;
  const double k = 1 / ((total / green) * third);
  return std::min(400, static_cast<int32_t>(std::trunc((total / mean) * third * k * 100)));
}

TEST_F(PipelineTest, WhiteBalanceMeasuresEveryConvertedFrameWhileOn) {
  Set(Orvex_SetBayerGainAuto, 5);
  EXPECT_EQ(Get(Orvex_GetBayerGainAuto), 1);

  // Green 100, red 200, blue 50: the measured gains bring the frame to a flat gray 100.
  Show(ByColour(3, 100, 200, 50), 1);
  std::vector<uint8_t> image = Snap(32);
  const int32_t red = MeasuredGain(100, 200, 50, 200), blue = MeasuredGain(100, 200, 50, 50);
  EXPECT_EQ(red, 50);
  EXPECT_EQ(blue, 200);
  EXPECT_EQ(Get(Orvex_GetBayerGainRed), red);
  EXPECT_EQ(Get(Orvex_GetBayerGainGreen), 100);
  EXPECT_EQ(Get(Orvex_GetBayerGainBlue), blue);
  EXPECT_TRUE(Matches(image, Demosaic(ByColour(3, 100, 200, 50), 3, red, blue, 255), 32, true));
  EXPECT_EQ(ValueAt(image, 32, 20, 15, kBlue), 100);
  EXPECT_EQ(ValueAt(image, 32, 20, 15, kRed), 100);

  // Every converted frame measures again; blue 20 would need 500 and gets 400.
  Show(ByColour(3, 100, 120, 20), 1);
  image = Snap(32);
  const int32_t red2 = MeasuredGain(100, 120, 20, 120);
  EXPECT_EQ(Get(Orvex_GetBayerGainRed), red2);
  EXPECT_EQ(Get(Orvex_GetBayerGainBlue), 400);
  EXPECT_TRUE(Matches(image, Demosaic(ByColour(3, 100, 120, 20), 3, red2, 400, 255), 32, true));

  // The pseudo-colour output converts nothing and so measures nothing.
  Show(ByColour(3, 100, 50, 50), 1);
  Snap(24);
  EXPECT_EQ(Get(Orvex_GetBayerGainRed), red2);
  EXPECT_EQ(Get(Orvex_GetBayerGainBlue), 400);

  // Switched off, the last measured gains stay and are used.
  Set(Orvex_SetBayerGainAuto, 0);
  EXPECT_EQ(Get(Orvex_GetBayerGainAuto), 0);
  image = Snap(32);
  EXPECT_EQ(Get(Orvex_GetBayerGainRed), red2);
  EXPECT_EQ(Get(Orvex_GetBayerGainBlue), 400);
  EXPECT_TRUE(Matches(image, Demosaic(ByColour(3, 100, 50, 50), 3, red2, 400, 255), 32, true));
}

}  // namespace
