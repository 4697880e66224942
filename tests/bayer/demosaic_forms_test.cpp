// Every form against the form that defines its bytes, on random frames of awkward sizes with
// the buffers ending exactly where the image ends.

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

std::vector<int> AwkwardWidths() {
  std::vector<int> widths;
  for (int w = 1; w <= 40; ++w) widths.push_back(w);
  for (int w : {47, 48, 49, 63, 64, 65, 66, 67, 97, 131}) widths.push_back(w);
  return widths;
}

const int kHeights[] = {1, 5, 6, 9};
const int kModes[] = {0, 1, 2, 3, 6};
// (red, blue): neutral, the vector forms' limit, just past it, the measured maximum.
const std::pair<int, int> kGains[] = {{100, 100}, {0, 200}, {201, 0}, {400, 137}};

// Runs `candidate` and `reference` on the same random frames and compares every byte of the
// destinations, which start out equal and random (so untouched bytes are compared too).
void ExpectSameBytes(PixelKernel reference, PixelKernel candidate, int sourceBytes,
                     int destinationBytes, std::uint32_t wordLimit = 1024) {
  std::mt19937 rng(1234);
  for (int w : AwkwardWidths()) {
    for (int h : kHeights) {
      Frame source(w, h, sourceBytes);
      if (sourceBytes == 2) {
        source.RandomizeWords(rng, wordLimit);
      } else {
        source.Randomize(rng);
      }
      Frame expected(w, h, destinationBytes);
      expected.Randomize(rng);
      for (int mode : kModes) {
        for (auto [red, blue] : kGains) {
          Frame want(expected), got(expected);
          RunKernel(reference, want, source, Record(mode, red, blue));
          RunKernel(candidate, got, source, Record(mode, red, blue));
          ASSERT_TRUE(got == want) << "width " << w << " height " << h << " mode " << mode
                                   << " gains " << red << "/" << blue;
        }
      }
    }
  }
  // One wide frame, and a region inside bigger images placed off the destination's origin.
  for (int mode : kModes) {
    Frame source(1283, 7, sourceBytes);
    if (sourceBytes == 2) {
      source.RandomizeWords(rng, wordLimit);
    } else {
      source.Randomize(rng);
    }
    Frame want(1283, 7, destinationBytes);
    want.Randomize(rng);
    Frame got(want);
    RunKernel(reference, want, source, Record(mode, 123, 77));
    RunKernel(candidate, got, source, Record(mode, 123, 77));
    ASSERT_TRUE(got == want) << "wide, mode " << mode;

    const std::int32_t region[4] = {3, 1, 3 + 45, 1 + 8};
    Frame big(53, 11, sourceBytes);
    big.Randomize(rng);
    Frame placedWant(50, 12, destinationBytes);
    placedWant.Randomize(rng);
    Frame placedGot(placedWant);
    RunKernel(reference, placedWant, big, Record(mode, 180, 20), region, 4, 3);
    RunKernel(candidate, placedGot, big, Record(mode, 180, 20), region, 4, 3);
    ASSERT_TRUE(placedGot == placedWant) << "region, mode " << mode;
  }
}

class Avx2FormsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!bayer::Avx2Available()) GTEST_SKIP() << "no AVX2 on this processor";
  }
};

TEST_F(Avx2FormsTest, Demosaic8MatchesThePlainForm) {
  ExpectSameBytes(Demosaic8, bayer::Demosaic8_AVX2, 1, 3);
  ExpectSameBytes(Demosaic8, bayer::Demosaic8_AVX2, 1, 4);
}

TEST_F(Avx2FormsTest, Demosaic16MatchesThePlainForm) {
  ExpectSameBytes(Demosaic16, bayer::Demosaic16_AVX2, 2, 6);
  ExpectSameBytes(Demosaic16, bayer::Demosaic16_AVX2, 2, 8);
  // Words beyond ten bits, where 16-bit sums would overflow.
  ExpectSameBytes(Demosaic16, bayer::Demosaic16_AVX2, 2, 6, 65536);
  ExpectSameBytes(Demosaic16, bayer::Demosaic16_AVX2, 2, 8, 5000);
}

TEST_F(Avx2FormsTest, VectorFormsMatchTheirModels) {
  ExpectSameBytes(bayer::Demosaic8Sse2_C, bayer::Demosaic8Sse2_AVX2, 1, 3);
  ExpectSameBytes(bayer::Demosaic8Mmx_C, bayer::Demosaic8Mmx_AVX2, 1, 3);
  ExpectSameBytes(bayer::Demosaic8Sse2_C, bayer::Demosaic8Sse2_AVX2, 1, 4);
}

TEST(ExactFormsTest, Sse2Demosaic8MatchesThePlainForm) {
  ExpectSameBytes(Demosaic8, bayer::Demosaic8_SSE2, 1, 3);
  ExpectSameBytes(Demosaic8, bayer::Demosaic8_SSE2, 1, 4);
}

TEST(VectorFormsTest, IntrinsicFormsMatchTheirModels) {
  ExpectSameBytes(bayer::Demosaic8Sse2_C, Demosaic8Sse2, 1, 3);
  ExpectSameBytes(bayer::Demosaic8Sse3_C, Demosaic8Sse3, 1, 3);
  ExpectSameBytes(bayer::Demosaic8Mmx_C, Demosaic8Mmx, 1, 3);
}

TEST(VectorFormsTest, FastestEquivalentKeepsTheKernelsBytes) {
  for (DemosaicKernel choice :
       {DemosaicKernel::kDemosaic8, DemosaicKernel::kDemosaic16, DemosaicKernel::kDemosaic8Sse2,
        DemosaicKernel::kDemosaic8Sse3, DemosaicKernel::kDemosaic8Mmx}) {
    const PixelKernel kernel = DemosaicKernelOf(choice);
    const PixelKernel fast = bayer::FastestDemosaicForm(choice);
    const bool words = kernel == Demosaic16;
    Frame source(70, 9, words ? 2 : 1);
    std::mt19937 rng(3);
    if (words) {
      source.RandomizeWords(rng, 1024);
    } else {
      source.Randomize(rng);
    }
    Frame want(70, 9, words ? 6 : 3);
    Frame got(want);
    RunKernel(kernel, want, source, Record(3, 190, 110));
    RunKernel(fast, got, source, Record(3, 190, 110));
    EXPECT_TRUE(got == want);
  }
}

// The pipeline runs the rows forms band by band: any split into bands, down to single rows,
// writes what the whole call writes.
TEST(RowsFormsTest, BandsWriteWhatTheWholeCallWrites) {
  struct Form {
    bayer::DemosaicRows rows;
    PixelKernel whole;
    int sourceBytes, destinationBytes;
    bool avx2 = false;
  };
  const Form forms[] = {{bayer::Demosaic8Rows_C, Demosaic8, 1, 4},
                        {bayer::Demosaic8Rows_SSE2, Demosaic8, 1, 3},
                        {bayer::Demosaic8Rows_AVX2, Demosaic8, 1, 4, true},
                        {bayer::Demosaic16Rows_C, Demosaic16, 2, 8},
                        {bayer::Demosaic16Rows_AVX2, Demosaic16, 2, 6, true},
                        {bayer::SseModelRows_C, bayer::Demosaic8Sse2_C, 1, 3},
                        {bayer::SseFormRows_AVX2, bayer::Demosaic8Sse2_C, 1, 3, true},
                        {bayer::MmxFormRows_AVX2, bayer::Demosaic8Mmx_C, 1, 3, true},
                        {bayer::Demosaic8Sse2Rows, bayer::Demosaic8Sse2_C, 1, 3},
                        {bayer::Demosaic8Sse3Rows, bayer::Demosaic8Sse3_C, 1, 3},
                        {bayer::Demosaic8MmxRows, bayer::Demosaic8Mmx_C, 1, 3}};
  std::mt19937 rng(11);
  for (const Form& form : forms) {
    if (form.avx2 && !bayer::Avx2Available()) continue;
    for (int w : {5, 37, 70}) {
      for (int h : {5, 9, 23}) {
        Frame source(w, h, form.sourceBytes);
        source.Randomize(rng);
        if (form.sourceBytes == 2) source.RandomizeWords(rng, 1024);
        Frame want(w, h, form.destinationBytes);
        want.Randomize(rng);
        Frame got(want);
        BayerRecord record = Record(static_cast<int>(rng() % 4), 150, 90);
        RunKernel(form.whole, want, source, record);

        bayer::DemosaicCall call;
        ASSERT_EQ(testing::DecodeWholeFrame(got, source, record, &call), CallState::kReady);
        for (int first = 0; first < h;) {
          const int end = std::min(h, first + 1 + static_cast<int>(rng() % 4));
          call.rowBegin = first;
          call.rowEnd = end;
          form.rows(call);
          first = end;
        }
        ASSERT_TRUE(got == want) << "form " << (&form - forms) << ", " << w << " x " << h;
      }
    }
  }
}

}  // namespace
}  // namespace orvex
