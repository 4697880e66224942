// Capture format, geometry and device selection.
#include <cstdio>
#include <cstring>

#include "core/camera_context.h"
#include "device/device_link.h"
#include "imaging/color_type.h"
#include "platform/platform_services.h"
#include "settings/registry_settings.h"
#include "settings/settings_keys.h"

namespace orvex {
namespace {

constexpr int kNameSlots = 10;
constexpr int kNameSlotBytes = 256;
constexpr std::int32_t kMinNameSize = 16;

void FormatDeviceName(char* name, std::size_t size, int number) {
  std::snprintf(name, size, "%s_%02d", "OrvexQX218", number);
}

}  // namespace

int CameraContext::SetColorMode(std::int32_t bitsPerPixel) {
  for (std::int32_t type = 0; type < kColorTypes; ++type) {
    if (kBitsForColorType[type] == bitsPerPixel) {
      settings_.format.Color = type;
      return 1;
    }
  }
  RecordError(ErrorCode::kParameter);
  return 0;
}

std::int32_t CameraContext::GetColorMode() const {
  const std::int32_t type = settings_.format.Color;
  return type >= 0 && type < kColorTypes ? kBitsForColorType[type] : -1;
}

int CameraContext::SetPreviewWindow(platform::WindowHandle parent, const Rect& rect) {
  if (!link_) {
    RecordError(ErrorCode::kNoDevice);
    return 0;
  }
  previewParent_ = parent;
  previewRect_ = rect;
  return 1;
}

int CameraContext::SetCaptureWindow(std::int32_t width, std::int32_t height) {
  if (!link_) {
    RecordError(ErrorCode::kNoDevice);
    return 0;
  }
  SizeEntry entries[settings::kMaxSizeEntries];
  // A missing settings key reads as an empty table: no match, nothing recorded.
  const int count =
      settings::ReadSizeEntries(platform::Registry(), entries, settings::kMaxSizeEntries);
  CaptureGeometry& geometry = settings_.geometry;
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
    if (!CheckGeometry(geometry, settings_.format)) {
      RecordError(ErrorCode::kGeometry);
      ApplyDefaultGeometry(geometry);
    }
    link_->ConfigureFrame(geometry.TH, geometry.EHS, geometry.EH, geometry.TV, geometry.EVS,
                          geometry.EV, geometry.Buf);
    return 1;
  }
  return 0;
}

int CameraContext::SetCaptureWindowEx(std::int32_t TH, std::int32_t EHS, std::int32_t EH,
                                      std::int32_t TV, std::int32_t EVS, std::int32_t EV) {
  if (!link_) {
    RecordError(ErrorCode::kNoDevice);
    return 0;
  }
  CaptureGeometry& geometry = settings_.geometry;
  geometry.TH = TH;
  geometry.EHS = EHS;
  geometry.EH = EH;
  geometry.TV = TV;
  geometry.EVS = EVS;
  geometry.EV = EV;
  if (!CheckGeometry(geometry, settings_.format)) {
    // The rejected values stay stored; the next capture refuses them again.
    RecordError(ErrorCode::kGeometry);
    return 0;
  }
  link_->ConfigureFrame(TH, EHS, EH, TV, EVS, EV, geometry.Buf);
  return 1;
}

int CameraContext::GetCaptureWindowEx(std::int32_t* TH, std::int32_t* EHS, std::int32_t* EH,
                                      std::int32_t* TV, std::int32_t* EVS, std::int32_t* EV) const {
  const CaptureGeometry& geometry = settings_.geometry;
  if (TH != nullptr) *TH = geometry.TH;
  if (EHS != nullptr) *EHS = geometry.EHS;
  if (EH != nullptr) *EH = geometry.EH;
  if (TV != nullptr) *TV = geometry.TV;
  if (EVS != nullptr) *EVS = geometry.EVS;
  if (EV != nullptr) *EV = geometry.EV;
  return 1;
}

int CameraContext::SetDeviceNumber(std::int32_t index) {
  if (!link_) {
    RecordError(ErrorCode::kNoDevice);
    return 0;
  }
  AnalogSettings& analog = settings_.analog;
  settings::SaveAnalogSettings(platform::Registry(), link_->SelectedDevice(), &analog);
  if (!link_->IsDevicePresent(index) || link_->SelectDevice(index) != 0) {
    RecordError(ErrorCode::kDeviceNotFound);
    return 0;
  }
  analog.Global = 0;
  analog.ColorG1 = 0;
  analog.ColorR = 0;
  analog.ColorB = 0;
  analog.ColorG2 = 0;
  std::uint16_t exposure = 0;
  if (!link_->ReadFpgaRegister(82, &exposure)) exposure = 0;
  analog.Exposure = exposure;
  return 1;
}

std::int32_t CameraContext::EnumDevice(char (*names)[256]) {
  if (!link_) {
    RecordError(ErrorCode::kNoDevice);
    return 0;
  }
  if (names == nullptr) {
    RecordError(ErrorCode::kParameter);
    return 0;
  }
  int found = 0;
  for (int i = 0; i < link_->DeviceSlotCount() && found < kNameSlots; ++i) {
    if (!link_->IsDevicePresent(i)) continue;
    ++found;
    FormatDeviceName(names[found - 1], kNameSlotBytes, found);
  }
  for (int slot = found; slot < kNameSlots; ++slot) names[slot][0] = '\0';
  return found;
}

int CameraContext::GetDeviceName(std::int32_t index, char* name, std::int32_t size) {
  if (!link_) {
    RecordError(ErrorCode::kNoDevice);
    return 0;
  }
  if (size < kMinNameSize || name == nullptr) {
    RecordError(ErrorCode::kParameter);
    return 0;
  }
  if (index < 0 || index >= link_->DeviceSlotCount()) return 0;
  if (!link_->IsDevicePresent(index)) {
    RecordError(ErrorCode::kDeviceNotFound);
    return 0;
  }
  FormatDeviceName(name, static_cast<std::size_t>(size), index + 1);
  return 1;
}

int CameraContext::GetCameraInfo(std::int32_t* info) {
  if (!link_) {
    RecordError(ErrorCode::kNoDevice);
    return 0;
  }
  if (info == nullptr) {
    RecordError(ErrorCode::kParameter);
    return 0;
  }
  if (static_cast<std::uint32_t>(info[0]) < kCameraInfoBytes) {
    RecordError(ErrorCode::kBuffer);
    return 0;
  }
  const std::int32_t words[8] = {1320, 1024, 0, 63, 0, 0, 0, 255};
  std::memcpy(info + 1, words, sizeof words);
  return 1;
}

}  // namespace orvex
