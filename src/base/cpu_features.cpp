#include "base/cpu_features.h"

#include <atomic>

namespace orvex {
namespace {

std::uint32_t DetectCpuFeatures() {
  std::uint32_t features = 0;
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
  __builtin_cpu_init();
  if (__builtin_cpu_supports("sse2")) features |= kCpuHasSse2;
  if ((features & kCpuHasSse2) && __builtin_cpu_supports("avx2")) features |= kCpuHasAvx2;
  if ((features & kCpuHasAvx2) && __builtin_cpu_supports("avx512f") &&
      __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512vbmi")) {
    features |= kCpuHasAvx512;
  }
#endif
  return features;
}

std::uint32_t Detected() {
  static const std::uint32_t detected = DetectCpuFeatures();
  return detected;
}

std::atomic<std::uint32_t> mask{kCpuAllFeatures};

}  // namespace

std::uint32_t CpuFeatures() {
  return Detected() & mask.load(std::memory_order_relaxed);
}

std::uint32_t MaskCpuFeatures(std::uint32_t enabled) {
  mask.store(enabled, std::memory_order_relaxed);
  return CpuFeatures();
}

}  // namespace orvex
