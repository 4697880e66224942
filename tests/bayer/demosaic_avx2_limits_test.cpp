// The 8-bit AVX2 forms at the edges of their arithmetic: gains whose scaled sums pass 255 by far
// (the packing must limit them exactly as the plain forms do), the last gain the 16-bit lanes
// hold and the first they do not, widths around the 32-pixel block, and rows written band by
// band from odd rows, where the row phase picks which sums are blue and which red.

#include <gtest/gtest.h>

#include <random>

#include "bayer/bayer_test_support.h"
#include "imaging/bayer/demosaic.h"
#include "imaging/bayer_conversion.h"

namespace orvex {
namespace {

using testing::Frame;
using testing::Record;
using testing::RunKernel;

class Avx2LimitsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!bayer::Avx2Available()) GTEST_SKIP() << "no AVX2 on this processor";
  }
};

// (red, blue) gains: none, the largest the 16-bit lanes hold (factor 2047) on either side, the
// first they do not, and one where a bright block scales to several times 255.
const std::pair<int, int> kLimitGains[] = {{0, 0},       {1599, 0},    {0, 1599}, {1599, 1599},
                                           {1600, 1599}, {1599, 1600}, {731, 977}};
const int kBlockWidths[] = {35, 36, 37, 38, 66, 67, 68, 69, 98, 99, 100, 101};

TEST_F(Avx2LimitsTest, FormsKeepTheirReferenceBytesAtTheGainLimits) {
  struct Form {
    PixelKernel reference, candidate;
    int destinationBytes;
  };
  const Form forms[] = {{Demosaic8, bayer::Demosaic8_AVX2, 3},
                        {Demosaic8, bayer::Demosaic8_AVX2, 4},
                        {bayer::Demosaic8Sse2_C, bayer::Demosaic8Sse2_AVX2, 3},
                        {bayer::Demosaic8Sse2_C, bayer::Demosaic8Sse2_AVX2, 4},
                        {bayer::Demosaic8Mmx_C, bayer::Demosaic8Mmx_AVX2, 3}};
  std::mt19937 rng(77);
  for (const Form& form : forms) {
    for (int w : kBlockWidths) {
      for (int h : {5, 6, 7}) {
        // Random samples, and a bright frame whose sums all scale past 255.
        for (bool bright : {false, true}) {
          Frame source(w, h, 1);
          source.Randomize(rng);
          if (bright) {
            for (std::size_t i = 0; i < source.size; ++i) source.memory[i] |= 0xC0;
          }
          Frame start(w, h, form.destinationBytes);
          start.Randomize(rng);
          for (int mode = 0; mode < 4; ++mode) {
            for (auto [red, blue] : kLimitGains) {
              Frame want(start), got(start);
              RunKernel(form.reference, want, source, Record(mode, red, blue));
              RunKernel(form.candidate, got, source, Record(mode, red, blue));
              ASSERT_TRUE(got == want)
                  << "form " << (&form - forms) << ", " << w << " x " << h << " mode " << mode
                  << " gains " << red << "/" << blue << (bright ? " bright" : "");
            }
          }
        }
      }
    }
  }
}

// Bands of two rows starting on odd rows, then single rows: each band's first row has the other
// row phase than in the whole call's row order.
TEST_F(Avx2LimitsTest, BandsFromOddRowsWriteWhatTheWholeCallWrites) {
  std::mt19937 rng(5);
  for (int destinationBytes : {3, 4}) {
    for (int w : {36, 67, 99}) {
      const int h = 11;
      Frame source(w, h, 1);
      source.Randomize(rng);
      Frame want(w, h, destinationBytes);
      want.Randomize(rng);
      Frame got(want);
      BayerRecord record = Record(static_cast<int>(rng() % 4), 1599, 1);
      RunKernel(Demosaic8, want, source, record);

      const std::int32_t region[4] = {0, 0, w, h};
      void* parameter = &record;
      bayer::DemosaicCall call;
      ASSERT_EQ(bayer::DecodeDemosaicCall(
                    got.pixels(), source.pixels(), region, 0, 0, destinationBytes, 1,
                    static_cast<std::int32_t>(got.stride), static_cast<std::int32_t>(source.stride),
                    &parameter, bayer::kNeeds8, &call),
                CallState::kReady);
      for (auto [first, end] : {std::pair{0, 1}, {1, 3}, {3, 5}, {5, 7}, {7, 8}, {8, 9}, {9, 11}}) {
        call.rowBegin = first;
        call.rowEnd = end;
        bayer::Demosaic8Rows_AVX2(call);
      }
      ASSERT_TRUE(got == want) << destinationBytes << " bytes, width " << w;
    }
  }
}

}  // namespace
}  // namespace orvex
