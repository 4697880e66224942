// The registry and the processor for applications, from the same code the camera library runs.
#pragma GCC visibility push(default)
#include <orvex/platform_system.h>
#pragma GCC visibility pop

#include <cstdint>

#include "base/cpu_features.h"
#include "imaging/processor_info.h"
#include "platform/posix/reg_file_store.h"

namespace {

// The file is found from the environment once, as the camera library finds it.
orvex::platform::RegFileStore& Store() {
  static orvex::platform::RegFileStore store;
  return store;
}

}  // namespace

static_assert(ORVEX_PROCESSOR_MMX == orvex::kFeatureMmx);
static_assert(ORVEX_PROCESSOR_SSE == orvex::kFeatureSse);
static_assert(ORVEX_PROCESSOR_SSE2 == orvex::kFeatureSse2);
static_assert(ORVEX_PROCESSOR_3DNOW == orvex::kFeature3DNow);
static_assert(ORVEX_PROCESSOR_SSE3 == orvex::kFeatureSse3);
static_assert(ORVEX_PROCESSOR_LEAF1_ECX8 == orvex::kFeatureLeaf1Ecx8);
static_assert(ORVEX_KERNEL_SSE2 == orvex::kCpuHasSse2);
static_assert(ORVEX_KERNEL_AVX2 == orvex::kCpuHasAvx2);
static_assert(ORVEX_KERNEL_AVX512 == orvex::kCpuHasAvx512);

extern "C" {

OrvexRegistryKey OrvexPlatform_RegOpenKey(const char* path) {
  if (path == nullptr) return 0;
  return Store().OpenKey(path);
}

int32_t OrvexPlatform_RegQueryDword(OrvexRegistryKey key, const char* name, int32_t* value) {
  if (key == 0 || name == nullptr || value == nullptr) return 0;
  return Store().ReadDword(key, name, value) ? 1 : 0;
}

void OrvexPlatform_RegCloseKey(OrvexRegistryKey key) {
  if (key != 0) Store().CloseKey(key);
}

uint32_t OrvexPlatform_IdentifyProcessor(uint32_t* reported, uint32_t* confirmed) {
  orvex::ProcessorInfo info;
  const std::uint32_t features = orvex::IdentifyProcessor(&info);
  if (reported != nullptr) *reported = info.features;
  if (confirmed != nullptr) *confirmed = info.confirmed;
  return features;
}

uint32_t OrvexPlatform_KernelFeatures(void) {
  return orvex::CpuFeatures();
}

}  // extern "C"
