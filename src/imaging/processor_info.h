#pragma once

#include <cstdint>
#include <functional>

namespace orvex {

// Feature bits of ProcessorInfo.
inline constexpr std::uint32_t kFeatureMmx = 0x01;
inline constexpr std::uint32_t kFeatureSse = 0x02;
inline constexpr std::uint32_t kFeatureSse2 = 0x04;
inline constexpr std::uint32_t kFeature3DNow = 0x08;
inline constexpr std::uint32_t kFeatureSse3 = 0x10;
inline constexpr std::uint32_t kFeatureLeaf1Ecx8 = 0x20;

// What the processor reports, and what of it could actually be executed here. A feature counts
// for kernel selection only when it is in both words.
struct ProcessorInfo {
  std::uint32_t features = 0;
  std::uint32_t confirmed = 0;

  bool Usable(std::uint32_t feature) const {
    return (features & feature) != 0 && (confirmed & feature) != 0;
  }
};

// Fills `info` (when given) and returns the features word; 0 when CPUID cannot run.
std::uint32_t IdentifyProcessor(ProcessorInfo* info);

// What CPUID answered, as far as the identification reads it.
struct CpuidWords {
  bool available = false;  // CPUID ran at all
  std::uint32_t leaf1Ecx = 0;
  std::uint32_t leaf1Edx = 0;
  std::uint32_t extendedMax = 0;   // leaf 0x80000000, EAX
  std::uint32_t extended1Edx = 0;  // leaf 0x80000001, EDX; read only when extendedMax allows
};

// Runs one feature's test instruction; true when it executed without a fault.
using FeatureTest = std::function<bool(std::uint32_t feature)>;

// The decision behind IdentifyProcessor, apart from the processor: the reported features from
// `words`, confirmed by `runs` for the four that have a test instruction.
ProcessorInfo IdentifyFrom(const CpuidWords& words, const FeatureTest& runs);

// The real test instruction of MMX, 3DNow!, SSE or SSE2, run under the fault guard; false for
// any other bit.
bool RunFeatureTest(std::uint32_t feature);

}  // namespace orvex
