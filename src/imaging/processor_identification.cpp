#include "imaging/processor_info.h"
#include "platform/fault_guard.h"

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#define ORVEX_X86 1
#else
#define ORVEX_X86 0
#endif

namespace orvex {
namespace {

constexpr std::uint32_t Bit(int n) {
  return std::uint32_t{1} << n;
}

#if ORVEX_X86
// All four leaves are read under the guard: where CPUID itself faults (a processor without it,
// or an operating system that traps it) nothing is reported.
void ReadCpuid(void* argument) {
  CpuidWords& words = *static_cast<CpuidWords*>(argument);
  unsigned a = 0, b = 0, c = 0, d = 0;
  __cpuid(0, a, b, c, d);
  __cpuid(1, a, b, c, d);
  words.leaf1Ecx = c;
  words.leaf1Edx = d;
  __cpuid(0x80000000u, a, b, c, d);
  words.extendedMax = a;
  if (a >= 0x80000000u) {
    __cpuid(0x80000001u, a, b, c, d);
    words.extended1Edx = d;
  }
}

// The test instructions touch only mm0/xmm0, which no caller keeps live across a call; they are
// not named as clobbers because 32-bit builds without -msse do not know the xmm registers.
void TestMmx(void*) {
  asm volatile("pxor %mm0, %mm0\n\temms");
}
// pfrcp mm0, mm0 then emms, as bytes: not every assembler still knows 3DNow!.
void Test3DNow(void*) {
  asm volatile(".byte 0x0f, 0x0f, 0xc0, 0x96\n\t.byte 0x0f, 0x77");
}
void TestSse(void*) {
  asm volatile("xorps %xmm0, %xmm0");
}
void TestSse2(void*) {
  asm volatile("xorpd %xmm0, %xmm0");
}
#endif

}  // namespace

ProcessorInfo IdentifyFrom(const CpuidWords& words, const FeatureTest& runs) {
  ProcessorInfo info;
  if (!words.available) return info;

  struct Feature {
    std::uint32_t bit;
    bool reported;
    bool hasTest;
  };
  const bool extended = words.extendedMax >= 0x80000000u;
  // The order is the order the tests run in.
  const Feature table[] = {
      {kFeatureMmx, (words.leaf1Edx & Bit(23)) != 0, true},
      {kFeature3DNow, extended && (words.extended1Edx & Bit(31)) != 0, true},
      {kFeatureSse, (words.leaf1Edx & Bit(25)) != 0, true},
      {kFeatureSse2, (words.leaf1Edx & Bit(26)) != 0, true},
      {kFeatureSse3, (words.leaf1Ecx & Bit(0)) != 0, false},
      {kFeatureLeaf1Ecx8, (words.leaf1Ecx & Bit(8)) != 0, false},
  };
  for (const Feature& feature : table) {
    if (!feature.reported) continue;
    info.features |= feature.bit;
    if (!feature.hasTest || runs(feature.bit)) info.confirmed |= feature.bit;
  }
  return info;
}

bool RunFeatureTest([[maybe_unused]] std::uint32_t feature) {
#if ORVEX_X86
  switch (feature) {
    case kFeatureMmx:
      return platform::RunGuarded(TestMmx, nullptr);
    case kFeature3DNow:
      return platform::RunGuarded(Test3DNow, nullptr);
    case kFeatureSse:
      return platform::RunGuarded(TestSse, nullptr);
    case kFeatureSse2:
      return platform::RunGuarded(TestSse2, nullptr);
    default:
      return false;
  }
#else
  return false;
#endif
}

std::uint32_t IdentifyProcessor(ProcessorInfo* info) {
  CpuidWords words;
#if ORVEX_X86
  words.available = platform::RunGuarded(ReadCpuid, &words);
  if (!words.available) words = CpuidWords{};
#endif
  const ProcessorInfo result = IdentifyFrom(words, RunFeatureTest);
  if (info) *info = result;
  return result.features;
}

}  // namespace orvex
