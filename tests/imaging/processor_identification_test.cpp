#include <gtest/gtest.h>

#include <csignal>
#include <cstdint>
#include <thread>
#include <vector>

#include "imaging/processor_info.h"
#include "platform/fault_guard.h"

namespace orvex {
namespace {

constexpr std::uint32_t kMmxEdx = 1u << 23;
constexpr std::uint32_t kSseEdx = 1u << 25;
constexpr std::uint32_t kSse2Edx = 1u << 26;
constexpr std::uint32_t kSse3Ecx = 1u << 0;
constexpr std::uint32_t kEcx8 = 1u << 8;
constexpr std::uint32_t k3DNowEdx = 1u << 31;

CpuidWords Words(std::uint32_t ecx, std::uint32_t edx, std::uint32_t extendedMax = 0,
                 std::uint32_t extended1Edx = 0) {
  CpuidWords words;
  words.available = true;
  words.leaf1Ecx = ecx;
  words.leaf1Edx = edx;
  words.extendedMax = extendedMax;
  words.extended1Edx = extended1Edx;
  return words;
}

TEST(IdentifyFromTest, ReportedButFaultingSse2IsNotUsable) {
  std::vector<std::uint32_t> tested;
  const ProcessorInfo info = IdentifyFrom(
      Words(0, kMmxEdx | kSseEdx | kSse2Edx, 0x80000008u, k3DNowEdx), [&](std::uint32_t feature) {
        tested.push_back(feature);
        return feature != kFeatureSse && feature != kFeatureSse2;
      });
  EXPECT_EQ(info.features, kFeatureMmx | kFeature3DNow | kFeatureSse | kFeatureSse2);
  EXPECT_EQ(info.confirmed, kFeatureMmx | kFeature3DNow);
  EXPECT_FALSE(info.Usable(kFeatureSse2));
  EXPECT_TRUE(info.Usable(kFeatureMmx));
  EXPECT_EQ(tested,
            (std::vector<std::uint32_t>{kFeatureMmx, kFeature3DNow, kFeatureSse, kFeatureSse2}));
}

TEST(IdentifyFromTest, FeaturesWithoutTestInstructionAreConfirmedWhenReported) {
  int tests = 0;
  const ProcessorInfo info = IdentifyFrom(Words(kSse3Ecx | kEcx8, 0), [&](std::uint32_t) {
    ++tests;
    return false;
  });
  EXPECT_EQ(info.features, kFeatureSse3 | kFeatureLeaf1Ecx8);
  EXPECT_EQ(info.confirmed, kFeatureSse3 | kFeatureLeaf1Ecx8);
  EXPECT_TRUE(info.Usable(kFeatureSse3));
  EXPECT_EQ(tests, 0);
}

TEST(IdentifyFromTest, NothingReportedOrNoCpuidGivesZeroWords) {
  const auto never = [](std::uint32_t) -> bool {
    ADD_FAILURE() << "no test instruction should run";
    return true;
  };
  const ProcessorInfo none = IdentifyFrom(Words(0, 0), never);
  EXPECT_EQ(none.features, 0u);
  EXPECT_EQ(none.confirmed, 0u);

  CpuidWords absent = Words(kSse3Ecx, kMmxEdx | kSse2Edx);
  absent.available = false;
  const ProcessorInfo noCpuid = IdentifyFrom(absent, never);
  EXPECT_EQ(noCpuid.features, 0u);
  EXPECT_EQ(noCpuid.confirmed, 0u);
}

TEST(IdentifyFromTest, ThreeDNowNeedsTheExtendedLeaf) {
  const auto runs = [](std::uint32_t) { return true; };
  EXPECT_EQ(IdentifyFrom(Words(0, 0, 0x7FFFFFFFu, k3DNowEdx), runs).features, 0u);
  EXPECT_EQ(IdentifyFrom(Words(0, 0, 0x80000000u, k3DNowEdx), runs).features, kFeature3DNow);
}

#if defined(__i386__) || defined(__x86_64__)
void InvalidInstruction(void*) {
  asm volatile("ud2");
}
void HarmlessInstruction(void* argument) {
  asm volatile("nop");
  *static_cast<int*>(argument) = 1;
}

TEST(FaultGuardTest, CatchesAnInvalidInstructionAndRunsAValidOne) {
  EXPECT_FALSE(platform::RunGuarded(InvalidInstruction, nullptr));
  int ran = 0;
  EXPECT_TRUE(platform::RunGuarded(HarmlessInstruction, &ran));
  EXPECT_EQ(ran, 1);
  // The guard leaves nothing behind that would stop it catching the next fault.
  EXPECT_FALSE(platform::RunGuarded(InvalidInstruction, nullptr));
}

#if !defined(_WIN32)
void IgnoreSignal(int) {}

TEST(FaultGuardTest, PutsBackTheHandlersItFound) {
  struct sigaction mine {
  }, saved{}, after{};
  mine.sa_handler = IgnoreSignal;
  sigemptyset(&mine.sa_mask);
  ASSERT_EQ(sigaction(SIGILL, &mine, &saved), 0);
  EXPECT_FALSE(platform::RunGuarded(InvalidInstruction, nullptr));
  ASSERT_EQ(sigaction(SIGILL, &saved, &after), 0);
  EXPECT_EQ(after.sa_handler, &IgnoreSignal);
}
#endif

TEST(FaultGuardTest, WorksFromSeveralThreadsAtOnce) {
  std::vector<std::thread> threads;
  std::vector<int> failures(4, 0);
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([t, &failures] {
      for (int i = 0; i < 50; ++i) {
        int ran = 0;
        if (platform::RunGuarded(InvalidInstruction, nullptr)) ++failures[t];
        if (!platform::RunGuarded(HarmlessInstruction, &ran) || ran != 1) ++failures[t];
      }
    });
  }
  for (auto& thread : threads) thread.join();
  for (int f : failures) EXPECT_EQ(f, 0);
}

TEST(IdentifyProcessorTest, ThisProcessorRunsItsBaseFeatures) {
  ProcessorInfo info;
  const std::uint32_t features = IdentifyProcessor(&info);
  EXPECT_EQ(features, info.features);
  EXPECT_EQ(info.confirmed & ~info.features, 0u);
#if defined(__x86_64__)
  EXPECT_TRUE(info.Usable(kFeatureMmx));
  EXPECT_TRUE(info.Usable(kFeatureSse));
  EXPECT_TRUE(info.Usable(kFeatureSse2));
#endif
  EXPECT_EQ(IdentifyProcessor(nullptr), features);
}
#endif

}  // namespace
}  // namespace orvex
