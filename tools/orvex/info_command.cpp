// orvex info and orvex devices.
#include <OrvexSdk_QX218.h>

#include <cstdint>
#include <cstdio>

#if !defined(_WIN32)
#include <orvex/platform_system.h>
#endif

#include "tools/orvex/capture_options.h"
#include "tools/orvex/commands.h"
#include "tools/orvex/stored_settings.h"

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

// Reading the registers of a camera means selecting it, and the library stores settings as it
// goes: Orvex_SetDeviceNumber saves the analog group (Gain_nn) of the camera left and starts the
// new one with its five gains 0, keeping AutoIris and V_Mirror from before, and the release
// saves the group of the camera then selected. The handle starts on camera 0 with camera 0's
// group, which leaving it or releasing it stores unchanged, as every command's release does.
// Another camera is selected only when its stored group can be put back into the handle before
// the handle leaves it: the setters take the gains 0..63, ExposureTime 0..16383 and AutoIris 0
// or 1, and nothing sets V_Mirror, which the handle keeps from camera 0's group.
struct StoredAnalog {
  bool present = false;        // the subkey exists
  bool whole = false;          // all eight values are stored
  bool vMirrorStored = false;  // V_Mirror is
  std::int32_t global = 0, colorG1 = 0, colorR = 0, colorB = 0, colorG2 = 0;
  std::int32_t exposure = 0, vMirror = 0, autoIris = 0;
};

StoredAnalog ReadStoredAnalog(int device) {
  StoredAnalog stored;
  const StoredKey key(NumberedSubkey("Gain_%02d", device));
  const struct {
    const char* name;
    std::int32_t* value;
  } values[] = {{"Global", &stored.global},    {"ColorG1", &stored.colorG1},
                {"ColorR", &stored.colorR},    {"ColorB", &stored.colorB},
                {"ColorG2", &stored.colorG2},  {"Exposure", &stored.exposure},
                {"V_Mirror", &stored.vMirror}, {"AutoIris", &stored.autoIris}};
  stored.present = static_cast<bool>(key);
  stored.whole = stored.present;
  for (const auto& value : values) stored.whole = key.Read(value.name, value.value) && stored.whole;
  stored.vMirrorStored = key.Read("V_Mirror", &stored.vMirror);
  return stored;
}

// Why selecting a camera with this stored group would change it (the group that selecting it
// would save is not this one), or null when the group can be put back; `first` is camera 0's.
const char* ChangeOnSelecting(const StoredAnalog& stored, const StoredAnalog& first) {
  if (!stored.present) return "none are stored for it yet";
  if (!stored.whole) return "not all of them are stored";
  const auto gain = [](std::int32_t value) { return value >= 0 && value <= 63; };
  if (!gain(stored.global) || !gain(stored.colorG1) || !gain(stored.colorR) ||
      !gain(stored.colorB) || !gain(stored.colorG2) || stored.exposure < 0 ||
      stored.exposure > 16383 || (stored.autoIris != 0 && stored.autoIris != 1)) {
    return "they hold a value the library's setters refuse";
  }
  if (!first.vMirrorStored || stored.vMirror != first.vMirror) {
    return "their V_Mirror is not camera 0's";
  }
  return nullptr;
}

// Sets the handle's analog values to the stored group, so that leaving the camera or releasing
// the handle stores it again as it was. GlobalGain first, as it sets all five gains.
bool PutBackAnalog(CameraHandle handle, const StoredAnalog& stored) {
  const SettingValue values[] = {{13, stored.global},  {14, stored.colorR}, {15, stored.colorG1},
                                 {16, stored.colorG2}, {17, stored.colorB}, {18, stored.exposure}};
  for (const SettingValue& value : values) {
    if (!Orvex_SetFilterValue(handle, value.id, value.value)) return false;
  }
  return Orvex_SetAutoIris(handle, stored.autoIris) != 0;
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

  // As the handle loads them: the store as it is before the handle is made.
  StoredAnalog stored[8];
  for (int device = 0; device < 8; ++device) stored[device] = ReadStoredAnalog(device);

  const CameraHandle handle = Orvex_Initialize(0);
  if (handle == 0) {
    std::fprintf(stderr, "orvex: no memory for a camera handle\n");
    return 1;
  }
  int cameras = 0, status = 0;
  for (std::int32_t index = 0; index < 8; ++index) {
    char name[32] = {};
    if (!Orvex_GetDeviceName(handle, index, name, sizeof name)) continue;
    // Camera 0 is selected already.
    if (index != 0) {
      const char* change = ChangeOnSelecting(stored[index], stored[0]);
      if (change != nullptr) {
        ++cameras;
        std::printf(
            "camera %d (%s): not selected, as that would change its stored analog settings: "
            "%s\n",
            index, name, change);
        continue;
      }
      if (!Orvex_SetDeviceNumber(handle, index)) continue;
    }
    ++cameras;
    std::int32_t ok40 = 0, ok52 = 0;
    const std::int32_t mode = Orvex_Fpga_ReadRegister(handle, 0x40, &ok40);
    const std::int32_t exposure = Orvex_Fpga_ReadRegister(handle, 0x52, &ok52);
    std::printf("camera %d (%s): register 0x40 = ", index, name);
    ok40 ? std::printf("0x%04x", mode) : std::printf("unreadable");
    std::printf(", register 0x52 = ");
    ok52 ? std::printf("0x%04x (%d)", exposure, exposure) : std::printf("unreadable");
    std::printf(", ROM ID:");
    bool readAll = ok40 != 0 && ok52 != 0;
    for (std::int32_t byte = 0; byte < 8; ++byte) {
      std::int32_t ok = 0;
      const std::int32_t value = Orvex_ReadSromID(handle, byte, &ok);
      ok ? std::printf(" %02x", value) : std::printf(" --");
      readAll = readAll && ok != 0;
    }
    std::printf("\n");
    if (!readAll) {
      std::fprintf(stderr, "orvex: camera %d did not answer every read\n", index);
      status = 1;
    }
    if (index != 0 && !PutBackAnalog(handle, stored[index])) {
      std::fprintf(stderr, "orvex: the stored analog settings of camera %d changed: %s\n", index,
                   DescribeLastError(handle).c_str());
      status = 1;
    }
  }
  if (cameras == 0) std::printf("no camera present\n");
  while (Orvex_GetLastError(handle) != 0) {
  }
  Orvex_Release(handle);
  return status;
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
