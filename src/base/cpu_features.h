#pragma once

#include <cstdint>

namespace orvex {

// What the processor offers the faster kernel forms, asked once a process. Each form that
// needs an instruction set runs only when its feature is here; every form gives the bytes of
// the plain one, so the choice changes speed alone. (The Bayer vector forms that the camera's
// own processor identification chooses are another matter: see imaging/processor_info.h.)
inline constexpr std::uint32_t kCpuHasSse2 = 1u << 0;
inline constexpr std::uint32_t kCpuHasAvx2 = 1u << 1;    // with the registers saved by the OS
inline constexpr std::uint32_t kCpuHasAvx512 = 1u << 2;  // F, BW and VBMI, as the AVX2 bit
inline constexpr std::uint32_t kCpuAllFeatures = kCpuHasSse2 | kCpuHasAvx2 | kCpuHasAvx512;

// The features in force: what the processor has, less what MaskCpuFeatures took away.
std::uint32_t CpuFeatures();

// True when every feature of `features` is in force.
inline bool TestCpuFeature(std::uint32_t features) {
  return (CpuFeatures() & features) == features;
}

// Keeps only `enabled` of what the processor has (kCpuAllFeatures: everything again) and
// returns what is now in force. Tests and benchmarks use it to run every form on one machine;
// kernels running meanwhile may use either the old or the new set.
std::uint32_t MaskCpuFeatures(std::uint32_t enabled);

}  // namespace orvex
