// The exact AVX2 forms convert two rows a pass where the region's width is even (both rows then
// have one column phase and share the sums of the sample rows they read). Every row must still
// get the plain form's bytes: for every phase, at the widths where the pass has no block or one
// overlapping block left over, whether a band starts on the first or the second row of a pair,
// and, for words, where only one row of a pair has sums past 16 bits (a sample row of large
// words is read by the four output rows around it, so the pairs beside it have one such row).

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "bayer/bayer_test_support.h"
#include "imaging/bayer/demosaic.h"
#include "imaging/bayer_conversion.h"

namespace orvex {
namespace {

using testing::Frame;
using testing::Record;
using testing::RunKernel;

struct PairForm {
  bayer::DemosaicRows rows;
  PixelKernel plain;
  int sourceBytes, destinationBytes;
  std::vector<int> widths;  // even: the smallest with whole blocks only, and with one over
};

// Writes rows in bands of two from `start` (0 or 1), as the frame pipeline calls the rows forms.
void RunInBandsOfTwo(const PairForm& form, Frame& destination, const Frame& source,
                     BayerRecord record, int start) {
  bayer::DemosaicCall call;
  ASSERT_EQ(testing::DecodeWholeFrame(destination, source, record, &call), CallState::kReady);
  for (int first = 0; first < source.height;) {
    const int end = std::min(source.height, first == 0 && start == 1 ? 1 : first + 2);
    call.rowBegin = first;
    call.rowEnd = end;
    form.rows(call);
    first = end;
  }
}

TEST(DemosaicRowPairsTest, EveryRowOfAPairGetsThePlainBytes) {
  if (!bayer::Avx2Available()) GTEST_SKIP() << "no AVX2 on this processor";
  const PairForm forms[] = {{bayer::Demosaic8Rows_AVX2, Demosaic8, 1, 3, {36, 38, 68}},
                            {bayer::Demosaic8Rows_AVX2, Demosaic8, 1, 4, {36, 38, 68}},
                            {bayer::Demosaic16Rows_AVX2, Demosaic16, 2, 6, {20, 22, 36}},
                            {bayer::Demosaic16Rows_AVX2, Demosaic16, 2, 8, {20, 22, 36}}};
  // (red, blue) gains: the largest the 16-bit lanes hold (factor 2047) and an ordinary pair.
  const std::pair<int, int> gains[] = {{1599, 0}, {123, 77}};
  std::mt19937 rng(2027);
  for (const PairForm& form : forms) {
    for (int w : form.widths) {
      const int h = 9;
      // For words, -1: ten-bit samples only; else sample row `big` holds words that put the
      // sums past 16 bits in one block's columns (65535) or just reach that limit (4096).
      for (int big = form.sourceBytes == 2 ? 0 : -1; big < (form.sourceBytes == 2 ? h : 0); ++big) {
        Frame source(w, h, form.sourceBytes);
        if (form.sourceBytes == 2) {
          source.RandomizeWords(rng, 1024);
          if (big >= 0) {
            const auto word = static_cast<std::uint16_t>(big % 2 == 0 ? 65535 : 4096);
            for (int column = 6; column < 14; ++column) source.SetWord(column, big, 0, word);
          }
        } else {
          source.Randomize(rng);
        }
        for (int mode = 0; mode < 4; ++mode) {
          for (auto [red, blue] : gains) {
            Frame want(w, h, form.destinationBytes);
            want.Randomize(rng);
            Frame whole(want);
            RunKernel(form.plain, want, source, Record(mode, red, blue));
            RunKernel(form.sourceBytes == 2 ? bayer::Demosaic16_AVX2 : bayer::Demosaic8_AVX2, whole,
                      source, Record(mode, red, blue));
            ASSERT_TRUE(whole == want) << form.destinationBytes << " bytes, width " << w
                                       << ", big row " << big << ", mode " << mode;
            for (int start : {0, 1}) {
              Frame banded(whole);
              // The channels the bands write are checked against the plain bytes: spoil them
              // first (the fourth byte or word of wider pixels is never written).
              for (int row = 2; row < h - 2; ++row) {
                for (int column = 2; column < w - 2; ++column) {
                  std::fill_n(banded.At(column, row), 3 * form.sourceBytes, std::uint8_t{0x5A});
                }
              }
              RunInBandsOfTwo(form, banded, source, Record(mode, red, blue), start);
              ASSERT_TRUE(banded == want)
                  << form.destinationBytes << " bytes, width " << w << ", big row " << big
                  << ", mode " << mode << ", bands from row " << start;
            }
          }
        }
      }
    }
  }
}

}  // namespace
}  // namespace orvex
