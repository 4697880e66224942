// orvex info and orvex devices.
#include <OrvexSdk_QX218.h>

#include <cstdint>
#include <cstdio>

#if !defined(_WIN32)
#include <orvex/platform_system.h>
#endif

#include "tools/orvex/commands.h"

namespace orvex::tool {
namespace {

// The processor's features as the camera library finds them; on Windows the library does not
// report them.
void PrintFeatures() {
#if !defined(_WIN32)
  std::uint32_t reported = 0, confirmed = 0;
  OrvexPlatform_IdentifyProcessor(&reported, &confirmed);
  struct Feature {
    std::uint32_t bit;
    const char* name;
  };
  const Feature features[] = {
      {ORVEX_PROCESSOR_MMX, "MMX"},   {ORVEX_PROCESSOR_3DNOW, "3DNow!"},
      {ORVEX_PROCESSOR_SSE, "SSE"},   {ORVEX_PROCESSOR_SSE2, "SSE2"},
      {ORVEX_PROCESSOR_SSE3, "SSE3"}, {ORVEX_PROCESSOR_LEAF1_ECX8, "leaf1-ecx8"}};
  std::printf("processor: reported 0x%02x, confirmed 0x%02x:", reported, confirmed);
  for (const Feature& feature : features) {
    // A feature counts where it is both reported and confirmed.
    if ((reported & confirmed & feature.bit) != 0) std::printf(" %s", feature.name);
  }
  std::printf("\n");

  // The instruction sets of the faster kernel forms that this processor and system offer.
  const std::uint32_t kernels = OrvexPlatform_KernelFeatures();
  std::printf("fast kernels:");
  const Feature kernelFeatures[] = {
      {ORVEX_KERNEL_SSE2, "SSE2"}, {ORVEX_KERNEL_AVX2, "AVX2"}, {ORVEX_KERNEL_AVX512, "AVX-512"}};
  for (const Feature& feature : kernelFeatures) {
    if ((kernels & feature.bit) != 0) std::printf(" %s", feature.name);
  }
  std::printf("%s\n", kernels == 0 ? " none (the plain forms only)" : "");
#endif
}

}  // namespace

int RunInfo(const std::vector<std::string>&) {
  // Major in the high half, minor in the byte above the low one: 0x001F0500 is 31.5. A
  // release number, when there is one, is the low byte.
  const auto version = static_cast<std::uint32_t>(Orvex_GetDllVersion());
  std::printf("library: OrvexSdk_QX218 version %u.%u", version >> 16, (version >> 8) & 0xFF);
  if ((version & 0xFF) != 0) std::printf(".%u", version & 0xFF);
  std::printf(" (0x%08x)\n", version);
  PrintFeatures();

  const CameraHandle handle = Orvex_Initialize(0);
  if (handle == 0) {
    std::fprintf(stderr, "orvex: no memory for a camera handle\n");
    return 1;
  }
  int cameras = 0;
  for (std::int32_t index = 0; index < 8; ++index) {
    char name[32] = {};
    if (!Orvex_GetDeviceName(handle, index, name, sizeof name)) continue;
    if (!Orvex_SetDeviceNumber(handle, index)) continue;
    ++cameras;
    std::int32_t ok40 = 0, ok52 = 0;
    const std::int32_t mode = Orvex_Fpga_ReadRegister(handle, 0x40, &ok40);
    const std::int32_t exposure = Orvex_Fpga_ReadRegister(handle, 0x52, &ok52);
    std::printf("camera %d (%s): register 0x40 = ", index, name);
    ok40 ? std::printf("0x%04x", mode) : std::printf("unreadable");
    std::printf(", register 0x52 = ");
    ok52 ? std::printf("0x%04x (%d)", exposure, exposure) : std::printf("unreadable");
    std::printf(", ROM ID:");
    for (std::int32_t byte = 0; byte < 8; ++byte) {
      std::int32_t ok = 0;
      const std::int32_t value = Orvex_ReadSromID(handle, byte, &ok);
      ok ? std::printf(" %02x", value) : std::printf(" --");
    }
    std::printf("\n");
  }
  if (cameras == 0) std::printf("no camera present\n");
  while (Orvex_GetLastError(handle) != 0) {
  }
  Orvex_Release(handle);
  return 0;
}

int RunDevices(const std::vector<std::string>&) {
  const CameraHandle handle = Orvex_Initialize(0);
  if (handle == 0) return 1;
  char names[10][256] = {};
  const std::int32_t count = Orvex_EnumDevice(handle, names);
  for (std::int32_t i = 0; i < count; ++i) std::printf("%s\n", names[i]);
  if (count == 0) std::printf("no camera present\n");
  Orvex_Release(handle);
  return 0;
}

}  // namespace orvex::tool
