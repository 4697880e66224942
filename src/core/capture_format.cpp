// Capture format, geometry and device selection.
#include <cstdio>
#include <cstring>

#include "core/camera_context.h"
#include "device/device_link.h"
#include "platform/platform_services.h"
#include "settings/registry_settings.h"

namespace orvex {
namespace {

constexpr std::int32_t kBitsForColorType[] = {8, 16, 24, 32, 48, 64};
constexpr int kMaxSizeEntries = 100;
constexpr int kNameSlots = 10;
constexpr int kNameSlotBytes = 256;
constexpr std::int32_t kMinNameSize = 16;
constexpr std::uint32_t kCameraInfoBytes = 36;

void FormatDeviceName(char* name, std::size_t size, int number) {
  std::snprintf(name, size, "%s_%02d", "OrvexQX218", number);
}

}  // namespace

int CameraContext::SetColorMode(std::int32_t bitsPerPixel) {
  for (std::int32_t type = 0; type < 6; ++type) {
    if (kBitsForColorType[type] == bitsPerPixel) {
      format.Color = type;
      return 1;
    }
  }
  RecordError(kErrorParameter);
  return 0;
}

std::int32_t CameraContext::GetColorMode() const {
  const std::int32_t type = format.Color;
  return type >= 0 && type < 6 ? kBitsForColorType[type] : -1;
}

int CameraContext::SetPreviewWindow(platform::WindowHandle parent, const Rect& rect) {
  if (!link) {
    RecordError(kErrorNoDevice);
    return 0;
  }
  previewParent = parent;
  previewRect = rect;
  return 1;
}

int CameraContext::SetCaptureWindow(std::int32_t width, std::int32_t height) {
  if (!link) {
    RecordError(kErrorNoDevice);
    return 0;
  }
  static_assert(kMaxSizeEntries == 100);
  SizeEntry entries[kMaxSizeEntries];
  // A missing settings key reads as an empty table: no match, nothing recorded.
  const int count = settings::ReadSizeEntries(platform::Registry(), entries, kMaxSizeEntries);
  for (int i = 0; i < count; ++i) {
    const SizeEntry& entry = entries[i];
    if (entry.EH != width || entry.EV != height) continue;
    geometry.TH = entry.TH;
    geometry.TV = entry.TV;
    geometry.EH = entry.EH;
    geometry.EV = entry.EV;
    geometry.EHS = entry.EHS;
    geometry.EVS = entry.EVS;
    geometry.Buf = entry.Buf;
    if (!CheckGeometry()) {
      RecordError(kErrorGeometry);
      ApplyDefaultGeometry();
    }
    link->ConfigureFrame(geometry.TH, geometry.EHS, geometry.EH, geometry.TV, geometry.EVS,
                         geometry.EV, geometry.Buf);
    return 1;
  }
  return 0;
}

int CameraContext::SetCaptureWindowEx(std::int32_t TH, std::int32_t EHS, std::int32_t EH,
                                      std::int32_t TV, std::int32_t EVS, std::int32_t EV) {
  if (!link) {
    RecordError(kErrorNoDevice);
    return 0;
  }
  geometry.TH = TH;
  geometry.EHS = EHS;
  geometry.EH = EH;
  geometry.TV = TV;
  geometry.EVS = EVS;
  geometry.EV = EV;
  if (!CheckGeometry()) {
    // The rejected values stay stored; the next capture refuses them again.
    RecordError(kErrorGeometry);
    return 0;
  }
  link->ConfigureFrame(TH, EHS, EH, TV, EVS, EV, geometry.Buf);
  return 1;
}

int CameraContext::GetCaptureWindowEx(std::int32_t* TH, std::int32_t* EHS, std::int32_t* EH,
                                      std::int32_t* TV, std::int32_t* EVS, std::int32_t* EV) const {
  if (TH != nullptr) *TH = geometry.TH;
  if (EHS != nullptr) *EHS = geometry.EHS;
  if (EH != nullptr) *EH = geometry.EH;
  if (TV != nullptr) *TV = geometry.TV;
  if (EVS != nullptr) *EVS = geometry.EVS;
  if (EV != nullptr) *EV = geometry.EV;
  return 1;
}

int CameraContext::SetDeviceNumber(std::int32_t index) {
  if (!link) {
    RecordError(kErrorNoDevice);
    return 0;
  }
  settings::SaveAnalogSettings(platform::Registry(), link->SelectedDevice(), &analog);
  if (!link->IsDevicePresent(index) || link->SelectDevice(index) != 0) {
    RecordError(kErrorDeviceNotFound);
    return 0;
  }
  analog.Global = 0;
  analog.ColorG1 = 0;
  analog.ColorR = 0;
  analog.ColorB = 0;
  analog.ColorG2 = 0;
  std::uint16_t exposure = 0;
  if (!link->ReadFpgaRegister(82, &exposure)) exposure = 0;
  analog.Exposure = exposure;
  return 1;
}

std::int32_t CameraContext::EnumDevice(char (*names)[256]) {
  if (!link) {
    RecordError(kErrorNoDevice);
    return 0;
  }
  if (names == nullptr) {
    RecordError(kErrorParameter);
    return 0;
  }
  int found = 0;
  for (int i = 0; i < link->DeviceSlotCount() && found < kNameSlots; ++i) {
    if (!link->IsDevicePresent(i)) continue;
    ++found;
    FormatDeviceName(names[found - 1], kNameSlotBytes, found);
  }
  for (int slot = found; slot < kNameSlots; ++slot) names[slot][0] = '\0';
  return found;
}

int CameraContext::GetDeviceName(std::int32_t index, char* name, std::int32_t size) {
  if (!link) {
    RecordError(kErrorNoDevice);
    return 0;
  }
  if (size < kMinNameSize || name == nullptr) {
    RecordError(kErrorParameter);
    return 0;
  }
  if (index < 0 || index >= link->DeviceSlotCount()) return 0;
  if (!link->IsDevicePresent(index)) {
    RecordError(kErrorDeviceNotFound);
    return 0;
  }
  FormatDeviceName(name, static_cast<std::size_t>(size), index + 1);
  return 1;
}

int CameraContext::GetCameraInfo(std::int32_t* info) {
  if (!link) {
    RecordError(kErrorNoDevice);
    return 0;
  }
  if (info == nullptr) {
    RecordError(kErrorParameter);
    return 0;
  }
  if (static_cast<std::uint32_t>(info[0]) < kCameraInfoBytes) {
    RecordError(kErrorBuffer);
    return 0;
  }
  const std::int32_t words[8] = {1320, 1024, 0, 63, 0, 0, 0, 255};
  std::memcpy(info + 1, words, sizeof words);
  return 1;
}

}  // namespace orvex
