#include "imaging/bayer/demosaic.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "bayer/bayer_test_support.h"
#include "imaging/bayer_conversion.h"

namespace orvex {
namespace {

using testing::Frame;
using testing::Record;
using testing::RunKernel;

constexpr std::uint8_t kUntouched = 0xAB;

struct NamedKernel {
  const char* name;
  PixelKernel kernel;
};

// The 8-bit forms with the bytes that the tests below expect of every form.
const NamedKernel kVectorModels[] = {{"Sse2Model", bayer::Demosaic8Sse2_C},
                                     {"Sse3Model", bayer::Demosaic8Sse3_C},
                                     {"MmxModel", bayer::Demosaic8Mmx_C}};

bool InWrittenArea(int column, int row, int w, int h) {
  return column >= 2 && column <= w - 3 && row >= 2 && row <= h - 3;
}

// The colour a sample stands for, from its carried phases: 0 green, 1 blue, 2 red.
int ColorAt(int mode, int column, int row, int width) {
  const BayerPhase p = PhaseForBayerMode(mode);
  const int rowPhase = (p.row + row) & 1;
  const int columnPhase = (p.column + row * width + column) & 1;
  if (rowPhase == columnPhase) return 0;
  return rowPhase == 0 ? 1 : 2;
}

TEST(Demosaic8Test, UniformFrameGivesItsValueInsideAndLeavesTheBorder) {
  for (int bytes : {3, 4}) {
    for (int v : {0, 1, 77, 255}) {
      for (int mode = 0; mode < 4; ++mode) {
        SCOPED_TRACE(::testing::Message() << bytes << " bytes, v " << v << ", mode " << mode);
        Frame source(9, 7, 1);
        source.Fill(static_cast<std::uint8_t>(v));
        Frame out(9, 7, bytes);
        out.Fill(kUntouched);
        EXPECT_EQ(RunKernel(Demosaic8, out, source, Record(mode)), 1);
        for (int r = 0; r < 7; ++r) {
          for (int c = 0; c < 9; ++c) {
            const std::uint8_t* p = out.At(c, r);
            const int expected = InWrittenArea(c, r, 9, 7) ? v : kUntouched;
            ASSERT_EQ(p[0], expected) << c << "," << r;
            ASSERT_EQ(p[1], expected) << c << "," << r;
            ASSERT_EQ(p[2], expected) << c << "," << r;
            if (bytes == 4) {
              ASSERT_EQ(p[3], kUntouched);
            }
          }
        }
      }
    }
  }
}

TEST(Demosaic8Test, GainsScaleRedAndBlueAndSaturate) {
  Frame source(8, 8, 1);
  source.Fill(200);
  Frame out(8, 8, 3);
  RunKernel(Demosaic8, out, source, Record(3, /*red=*/200, /*blue=*/100));
  EXPECT_EQ(out.At(4, 4)[0], 200);
  EXPECT_EQ(out.At(4, 4)[1], 200);
  EXPECT_EQ(out.At(4, 4)[2], 255);
  RunKernel(Demosaic8, out, source, Record(3, /*red=*/50, /*blue=*/0));
  EXPECT_EQ(out.At(4, 4)[0], 0);
  EXPECT_EQ(out.At(4, 4)[2], 100);
  // 400 x 1.28 = 512: four times the sum, limited.
  source.Fill(60);
  RunKernel(Demosaic8, out, source, Record(0, 400, 201));
  EXPECT_EQ(out.At(3, 3)[2], 240);
  EXPECT_EQ(out.At(3, 3)[0], (257 * 960) >> 11);
}

TEST(Demosaic8Test, NothingIsWrittenForFourOrFewerRowsOrColumns) {
  for (auto [w, h] : {std::pair{4, 9}, std::pair{9, 4}, std::pair{1, 1}}) {
    Frame source(w, h, 1);
    source.Fill(9);
    Frame out(w, h, 3);
    out.Fill(kUntouched);
    const Frame before(out);
    RunKernel(Demosaic8, out, source, Record(0));
    EXPECT_TRUE(out == before);
    Frame source16(w, h, 2), out16(w, h, 6);
    RunKernel(Demosaic16, out16, source16, Record(0));
  }
}

// Every sample of one colour holds the same value: each output pixel must find exactly that
// colour's samples, whatever the mode.
TEST(DemosaicTest, EachChannelReadsOnlyItsOwnColour) {
  const int kValue[3] = {100, 40, 200};  // green, blue, red
  for (int mode = 0; mode < 4; ++mode) {
    SCOPED_TRACE(mode);
    const int w = 40, h = 8;
    Frame source(w, h, 1), source16(w, h, 2);
    for (int r = 0; r < h; ++r) {
      for (int c = 0; c < w; ++c) {
        const int v = kValue[ColorAt(mode, c, r, w)];
        *source.At(c, r) = static_cast<std::uint8_t>(v);
        source16.SetWord(c, r, 0, static_cast<std::uint16_t>(4 * v));
      }
    }
    Frame out(w, h, 3);
    RunKernel(Demosaic8, out, source, Record(mode));
    Frame out16(w, h, 8);
    RunKernel(Demosaic16, out16, source16, Record(mode));
    for (int r = 2; r <= h - 3; ++r) {
      for (int c = 2; c <= w - 3; ++c) {
        ASSERT_EQ(out.At(c, r)[0], 40) << c << "," << r;
        ASSERT_EQ(out.At(c, r)[1], 100) << c << "," << r;
        ASSERT_EQ(out.At(c, r)[2], 200) << c << "," << r;
        ASSERT_EQ(out16.Word(c, r, 0), 160) << c << "," << r;
        ASSERT_EQ(out16.Word(c, r, 1), 400) << c << "," << r;
        ASSERT_EQ(out16.Word(c, r, 2), 800) << c << "," << r;
      }
    }
    for (const NamedKernel& form : kVectorModels) {
      SCOPED_TRACE(form.name);
      Frame vector(w, h, 3);
      RunKernel(form.kernel, vector, source, Record(mode));
      for (int r = 2; r <= h - 3; ++r) {
        for (int c = 2; c <= w - 2; ++c) {
          ASSERT_EQ(vector.At(c, r)[0], 40) << c << "," << r;
          ASSERT_EQ(vector.At(c, r)[1], 100) << c << "," << r;
          ASSERT_EQ(vector.At(c, r)[2], 200) << c << "," << r;
        }
      }
    }
  }
}

// A linear ramp is reproduced exactly by a bilinear interpolation at the corner half a sample
// before each pixel: this pins the weights and the offsets of every phase.
TEST(DemosaicTest, RampsAreInterpolatedAtTheCornerBeforeEachSample) {
  const int w = 29, h = 28;
  for (int mode = 0; mode < 4; ++mode) {
    for (bool horizontal : {true, false}) {
      SCOPED_TRACE(::testing::Message() << "mode " << mode << (horizontal ? " across" : " down"));
      Frame source(w, h, 1);
      for (int r = 0; r < h; ++r) {
        for (int c = 0; c < w; ++c) *source.At(c, r) = 16 + 8 * (horizontal ? c : r);
      }
      Frame plain(w, h, 3);
      RunKernel(Demosaic8, plain, source, Record(mode));
      Frame vector(w, h, 3);
      RunKernel(bayer::Demosaic8Mmx_C, vector, source, Record(mode));
      for (int r = 2; r <= h - 3; ++r) {
        for (int c = 2; c <= w - 3; ++c) {
          const int expected = 12 + 8 * (horizontal ? c : r);
          for (int channel = 0; channel < 3; ++channel) {
            ASSERT_EQ(plain.At(c, r)[channel], expected) << c << "," << r;
            ASSERT_EQ(vector.At(c, r)[channel], expected) << c << "," << r;
          }
        }
      }
    }
  }
}

TEST(DemosaicTest, ModesOutsideZeroToThreeBehaveAsZero) {
  std::mt19937 rng(5);
  Frame source(13, 9, 1);
  source.Randomize(rng);
  Frame source16(13, 9, 2);
  source16.RandomizeWords(rng, 1024);
  for (PixelKernel kernel : {PixelKernel{Demosaic8}, PixelKernel{bayer::Demosaic8Sse2_C},
                             PixelKernel{bayer::Demosaic8Mmx_C}}) {
    Frame zero(13, 9, 3), other(13, 9, 3);
    RunKernel(kernel, zero, source, Record(0));
    for (int mode : {4, -1, 1000}) {
      RunKernel(kernel, other, source, Record(mode));
      EXPECT_TRUE(other == zero) << mode;
    }
  }
  Frame zero(13, 9, 6), other(13, 9, 6);
  RunKernel(Demosaic16, zero, source16, Record(0));
  RunKernel(Demosaic16, other, source16, Record(9));
  EXPECT_TRUE(other == zero);
}

TEST(Demosaic16Test, TenBitFullScaleStaysFullScaleAndLeavesTheFourthWord) {
  const int w = 8, h = 7;
  Frame source(w, h, 2);
  for (int r = 0; r < h; ++r) {
    for (int c = 0; c < w; ++c) source.SetWord(c, r, 0, 1023);
  }
  for (int red : {100, 400}) {
    Frame out(w, h, 8);
    out.Fill(kUntouched);
    RunKernel(Demosaic16, out, source, Record(3, red));
    for (int r = 0; r < h; ++r) {
      for (int c = 0; c < w; ++c) {
        const std::uint16_t expected = InWrittenArea(c, r, w, h) ? 1023 : 0xABAB;
        for (int word = 0; word < 3; ++word) ASSERT_EQ(out.Word(c, r, word), expected);
        ASSERT_EQ(out.Word(c, r, 3), 0xABAB);
      }
    }
  }
  // Above ten bits the channels are limited to 1023 too.
  for (int r = 0; r < h; ++r) {
    for (int c = 0; c < w; ++c) source.SetWord(c, r, 0, 60000);
  }
  Frame out(w, h, 6);
  RunKernel(Demosaic16, out, source, Record(0, 0, 0));
  EXPECT_EQ(out.Word(3, 3, 0), 0);
  EXPECT_EQ(out.Word(3, 3, 1), 1023);
  EXPECT_EQ(out.Word(3, 3, 2), 0);
}

// Rows 2 .. H - 3 of the vector forms: columns 2 .. 13 and (SSE) L + 2 .. W - 3 are the plain
// form's; the vector columns keep green and are at most 2 below in red and blue; columns 0, 1
// and W - 1 are black in every row and nothing else of rows 0, 1, H - 2, H - 1 changes.
TEST(DemosaicVectorFormTest, ComposeVectorPassPlainRecomputationAndBlackColumns) {
  std::mt19937 rng(11);
  const int h = 7;
  for (int w : {36, 48, 53, 70}) {
    for (int mode = 0; mode < 4; ++mode) {
      Frame source(w, h, 1);
      source.Randomize(rng);
      Frame plain(w, h, 3);
      plain.Fill(kUntouched);
      RunKernel(Demosaic8, plain, source, Record(mode, 150, 90));
      for (int form = 0; form < 3; ++form) {
        SCOPED_TRACE(::testing::Message()
                     << kVectorModels[form].name << " w " << w << " mode " << mode);
        const bool sse = form < 2;
        Frame out(w, h, 3);
        out.Fill(kUntouched);
        RunKernel(kVectorModels[form].kernel, out, source, Record(mode, 150, 90));
        const int right = ((w - 4) / 16) * 16;
        for (int r = 0; r < h; ++r) {
          for (int c = 0; c < w; ++c) {
            const std::uint8_t* o = out.At(c, r);
            const std::uint8_t* p = plain.At(c, r);
            if (c == 0 || c == 1 || c == w - 1) {
              ASSERT_TRUE(o[0] == 0 && o[1] == 0 && o[2] == 0) << c << "," << r;
            } else if (r < 2 || r > h - 3) {
              ASSERT_TRUE(o[0] == kUntouched && o[1] == kUntouched && o[2] == kUntouched);
            } else if (c <= 13) {
              // The recomputation's own phases match the region's only for even widths.
              if (w % 2 == 0) {
                ASSERT_TRUE(std::equal(o, o + 3, p)) << c << "," << r;
              }
            } else if (sse && c >= right + 2 && c <= w - 3) {
              ASSERT_TRUE(std::equal(o, o + 3, p)) << c << "," << r;
            } else if (c <= w - 3) {
              ASSERT_EQ(o[1], p[1]) << c << "," << r;
              for (int channel : {0, 2}) {
                ASSERT_LE(o[channel], p[channel]) << c << "," << r;
                ASSERT_GE(o[channel] + 2, p[channel]) << c << "," << r;
              }
            }
          }
        }
      }
    }
  }
}

TEST(DemosaicVectorFormTest, FinalStepStopsInsideTheRow) {
  // Width 20, mode 0: one step covers columns 2 .. 17 = W - 3, so column 18 is not written;
  // width 21 reaches past W - 3 and writes column 19 = W - 2 from samples inside the row.
  for (int w : {20, 21}) {
    Frame source(w, 6, 1);
    source.Fill(80);
    for (const NamedKernel& form : kVectorModels) {
      SCOPED_TRACE(::testing::Message() << form.name << " " << w);
      Frame out(w, 6, 3);
      out.Fill(kUntouched);
      RunKernel(form.kernel, out, source, Record(0));
      EXPECT_EQ(out.At(w - 3, 2)[1], 80);
      EXPECT_EQ(out.At(w - 2, 2)[1], w == 20 ? kUntouched : 80);
      EXPECT_EQ(out.At(w - 1, 2)[1], 0);
    }
  }
  // Regions too small for any interpolation only get their black columns.
  Frame source(3, 3, 1);
  source.Fill(50);
  Frame out(3, 3, 3);
  out.Fill(kUntouched);
  RunKernel(bayer::Demosaic8Sse2_C, out, source, Record(0));
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 3; ++c) EXPECT_EQ(out.At(c, r)[0], 0);
  }
}

TEST(DemosaicVectorFormTest, PassStartsOneColumnLaterWhereTheColumnPhaseStartsAtOne) {
  // A red gain of 400 on samples of 128 wraps the vector form's 16-bit product to 0 while the
  // plain form gives 255, which tells the columns apart. Width 37, MMX steps of 8: from column
  // 2 (mode 0) five steps reach past W - 3 and write W - 2; from column 3 (mode 2) four steps
  // end exactly at W - 3 and leave W - 2 alone.
  const int w = 37;
  Frame source(w, 6, 1);
  source.Fill(128);
  for (int mode : {0, 2}) {
    SCOPED_TRACE(mode);
    Frame out(w, 6, 3);
    out.Fill(kUntouched);
    RunKernel(bayer::Demosaic8Mmx_C, out, source, Record(mode, 400));
    EXPECT_EQ(out.At(13, 2)[2], 255);
    EXPECT_EQ(out.At(14, 2)[2], 0);
    EXPECT_EQ(out.At(w - 3, 2)[2], 0);
    EXPECT_EQ(out.At(w - 2, 2)[2], mode == 0 ? 0 : kUntouched);
  }
}

}  // namespace
}  // namespace orvex
