// The 16-bit vector form adds its weighted sums in 16-bit lanes that saturate, and hands a block
// whose sums reach 65535 to the plain arithmetic. Samples around where the sums stop fitting
// (16 x 4095 + 15 is exactly 65535) must give the plain form's bytes on either side.

#include <gtest/gtest.h>

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

TEST(DemosaicWordSumsTest, SumsAroundTheLaneLimitGiveThePlainBytes) {
  if (!bayer::Avx2Available()) GTEST_SKIP() << "no AVX2 on this processor";
  // Sample sets: all sums below the limit, sums landing on 65534 .. 65536 among them, and
  // blocks where only some lanes overflow.
  const std::vector<std::vector<std::uint16_t>> sets = {
      {4094, 4095}, {4095, 4110, 4094, 4096}, {4095, 4109, 4111}, {0, 1023, 65535},
      {4096, 4097}, {1, 4095, 8191}};
  std::mt19937 rng(4242);
  for (std::size_t set = 0; set < sets.size(); ++set) {
    for (int w : {21, 37, 50, 67}) {
      Frame source(w, 7, 2);
      for (int row = 0; row < source.height; ++row) {
        for (int column = 0; column < w; ++column) {
          source.SetWord(column, row, 0, sets[set][rng() % sets[set].size()]);
        }
      }
      for (int bytes : {6, 8}) {
        for (int mode : {0, 1, 2, 3}) {
          for (auto [red, blue] : {std::pair{100, 100}, std::pair{400, 1}, std::pair{0, 1599}}) {
            Frame want(w, 7, bytes);
            want.Randomize(rng);
            Frame got(want);
            RunKernel(Demosaic16, want, source, Record(mode, red, blue));
            RunKernel(bayer::Demosaic16_AVX2, got, source, Record(mode, red, blue));
            ASSERT_TRUE(got == want) << "set " << set << " width " << w << " bytes " << bytes
                                     << " mode " << mode << " gains " << red << "/" << blue;
          }
        }
      }
    }
  }
}

}  // namespace
}  // namespace orvex
