// Bayer conversion, white balance and gray correction at the sensor's full size, one thread,
// beside a memcpy of the output's bytes and (when the build has it) OpenCV's conversion.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "imaging/bayer/demosaic.h"
#include "imaging/bayer_conversion.h"
#include "imaging/gray_white_balance.h"

#if defined(ORVEX_HAVE_OPENCV)
#include <opencv2/core.hpp>
#include <opencv2/core/utility.hpp>
#include <opencv2/imgproc.hpp>
#endif

namespace {

using orvex::BayerRecord;
using orvex::PixelKernel;

constexpr int kWidth = 1280;
constexpr int kHeight = 1024;

std::vector<std::uint8_t> RandomSamples(int bytesPerSample) {
  std::mt19937 rng(42);
  std::vector<std::uint8_t> v(static_cast<std::size_t>(kWidth) * kHeight * bytesPerSample);
  if (bytesPerSample == 1) {
    for (auto& b : v) b = static_cast<std::uint8_t>(rng());
  } else {
    for (std::size_t i = 0; i < v.size(); i += 2) {
      const auto w = static_cast<std::uint16_t>(rng() % 1024);
      std::memcpy(&v[i], &w, 2);
    }
  }
  return v;
}

void SetFrameCounters(benchmark::State& state, std::size_t outputBytes) {
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(outputBytes));
  state.counters["ms/frame"] =
      benchmark::Counter(1e-3 * static_cast<double>(state.iterations()),
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void RunDemosaic(benchmark::State& state, PixelKernel kernel, int sourceBytes, int destinationBytes,
                 bool needsAvx2 = false) {
  if (needsAvx2 && !orvex::bayer::Avx2Available()) {
    state.SkipWithError("no AVX2");
    return;
  }
  std::vector<std::uint8_t> source = RandomSamples(sourceBytes);
  std::vector<std::uint8_t> destination(static_cast<std::size_t>(kWidth) * kHeight *
                                        destinationBytes);
  BayerRecord record{3, 120, 100, 140};
  void* parameter = &record;
  const std::int32_t region[4] = {0, 0, kWidth, kHeight};
  for (auto _ : state) {
    kernel(destination.data(), source.data(), region, 0, 0, destinationBytes, sourceBytes,
           kWidth * destinationBytes, kWidth * sourceBytes, &parameter, 0);
    benchmark::DoNotOptimize(destination.data());
    benchmark::ClobberMemory();
  }
  SetFrameCounters(state, destination.size());
}

void BM_Memcpy(benchmark::State& state) {
  const auto bytes = static_cast<std::size_t>(kWidth) * kHeight * state.range(0);
  std::vector<std::uint8_t> from(bytes, 1), to(bytes);
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), bytes);
    benchmark::DoNotOptimize(to.data());
    benchmark::ClobberMemory();
  }
  SetFrameCounters(state, bytes);
}
BENCHMARK(BM_Memcpy)->ArgName("bytesPerPixel")->Arg(1)->Arg(3)->Arg(4)->Arg(6)->Arg(8);

// Plain forms (the definition).
BENCHMARK_CAPTURE(RunDemosaic, Demosaic8_To24_Plain, orvex::Demosaic8, 1, 3);
BENCHMARK_CAPTURE(RunDemosaic, Demosaic8_To32_Plain, orvex::Demosaic8, 1, 4);
BENCHMARK_CAPTURE(RunDemosaic, Demosaic16_To48_Plain, orvex::Demosaic16, 2, 6);
BENCHMARK_CAPTURE(RunDemosaic, Demosaic16_To64_Plain, orvex::Demosaic16, 2, 8);
// Models of the vector forms and the vector forms themselves.
BENCHMARK_CAPTURE(RunDemosaic, Demosaic8Sse2_To24_Model, orvex::bayer::Demosaic8Sse2_C, 1, 3);
BENCHMARK_CAPTURE(RunDemosaic, Demosaic8Mmx_To24_Model, orvex::bayer::Demosaic8Mmx_C, 1, 3);
BENCHMARK_CAPTURE(RunDemosaic, Demosaic8Sse3_To24, orvex::Demosaic8Sse3, 1, 3);
BENCHMARK_CAPTURE(RunDemosaic, Demosaic8Sse2_To24, orvex::Demosaic8Sse2, 1, 3);
BENCHMARK_CAPTURE(RunDemosaic, Demosaic8Mmx_To24, orvex::Demosaic8Mmx, 1, 3);
// The forms that run (same bytes as the ones above them).
BENCHMARK_CAPTURE(RunDemosaic, Demosaic8_To24_Sse2Exact, orvex::bayer::Demosaic8_SSE2, 1, 3);
BENCHMARK_CAPTURE(RunDemosaic, Demosaic8_To32_Sse2Exact, orvex::bayer::Demosaic8_SSE2, 1, 4);
BENCHMARK_CAPTURE(RunDemosaic, Demosaic8_To24_Avx2, orvex::bayer::Demosaic8_AVX2, 1, 3, true);
BENCHMARK_CAPTURE(RunDemosaic, Demosaic8_To32_Avx2, orvex::bayer::Demosaic8_AVX2, 1, 4, true);
BENCHMARK_CAPTURE(RunDemosaic, Demosaic16_To48_Avx2, orvex::bayer::Demosaic16_AVX2, 2, 6, true);
BENCHMARK_CAPTURE(RunDemosaic, Demosaic16_To64_Avx2, orvex::bayer::Demosaic16_AVX2, 2, 8, true);
BENCHMARK_CAPTURE(RunDemosaic, Demosaic8Sse2_To24_Avx2, orvex::bayer::Demosaic8Sse2_AVX2, 1, 3,
                  true);
BENCHMARK_CAPTURE(RunDemosaic, Demosaic8Mmx_To24_Avx2, orvex::bayer::Demosaic8Mmx_AVX2, 1, 3, true);

template <typename Record>
void RunMeasurement(benchmark::State& state, PixelKernel kernel, int sourceBytes, Record record) {
  std::vector<std::uint8_t> source = RandomSamples(sourceBytes);
  const std::int32_t region[4] = {0, 0, kWidth, kHeight};
  for (auto _ : state) {
    Record r = record;
    void* parameter = &r;
    kernel(source.data(), source.data(), region, 0, 0, sourceBytes, sourceBytes,
           kWidth * sourceBytes, kWidth * sourceBytes, &parameter, 0);
    benchmark::DoNotOptimize(r);
  }
  SetFrameCounters(state, source.size());
}
BENCHMARK_CAPTURE(RunMeasurement, WhiteBalance8, orvex::WhiteBalanceKernel8, 1,
                  orvex::WhiteBalanceRecord{0, 0, 0, 3});
BENCHMARK_CAPTURE(RunMeasurement, WhiteBalance16, orvex::WhiteBalanceKernel16, 2,
                  orvex::WhiteBalanceRecord{0, 0, 0, 3});
BENCHMARK_CAPTURE(RunMeasurement, GrayBalance, orvex::GrayBalanceKernel, 1,
                  orvex::GrayCorrectionRecord{3, 128, 128, 128, 128, 0, 0, 0, 0});
// In place, so the samples drift from frame to frame; the work does not depend on them.
BENCHMARK_CAPTURE(RunMeasurement, GrayCorrection, orvex::GrayCorrectionKernel, 1,
                  orvex::GrayCorrectionRecord{3, 130, 128, 126, 140, -3, 0, 1, 2});

#if defined(ORVEX_HAVE_OPENCV)
void RunOpenCv(benchmark::State& state, int sourceType, int code) {
  cv::setNumThreads(1);
  const int bytes = CV_ELEM_SIZE(sourceType);
  std::vector<std::uint8_t> samples = RandomSamples(bytes);
  cv::Mat source(kHeight, kWidth, sourceType, samples.data());
  cv::Mat destination;
  cv::cvtColor(source, destination, code);
  for (auto _ : state) {
    cv::cvtColor(source, destination, code);
    benchmark::DoNotOptimize(destination.data);
    benchmark::ClobberMemory();
  }
  SetFrameCounters(state, destination.total() * destination.elemSize());
}
BENCHMARK_CAPTURE(RunOpenCv, OpenCv_Bayer8_ToBGR, CV_8UC1, cv::COLOR_BayerGR2BGR);
BENCHMARK_CAPTURE(RunOpenCv, OpenCv_Bayer8_ToBGRA, CV_8UC1, cv::COLOR_BayerGR2BGRA);
BENCHMARK_CAPTURE(RunOpenCv, OpenCv_Bayer16_ToBGR48, CV_16UC1, cv::COLOR_BayerGR2BGR);
BENCHMARK_CAPTURE(RunOpenCv, OpenCv_Bayer16_ToBGRA64, CV_16UC1, cv::COLOR_BayerGR2BGRA);
#endif

}  // namespace
