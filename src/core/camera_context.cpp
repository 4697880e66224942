#include "core/camera_context.h"

#include <new>

#include "device/device_link.h"
#include "imaging/image_buffer.h"
#include "platform/platform_services.h"
#include "settings/registry_settings.h"

namespace orvex {
namespace {

// Start-up registers written to device 0 after every present camera got its exposure.
struct StartupRegister {
  std::uint8_t address;
  std::uint16_t value;
};
constexpr StartupRegister kStartupRegisters[] = {{16, 32}, {64, 17}, {132, 1}, {128, 1}, {140, 1}};

constexpr std::uint8_t kExposureRegister = 82;

std::unique_ptr<ImageBuffer> MakeImage() {
  return std::unique_ptr<ImageBuffer>(new (std::nothrow) ImageBuffer(platform::Windows()));
}

}  // namespace

CameraContext::CameraContext() : rateStart(platform::Clock().MultimediaTime()) {
  BuildHueTable(hueTable);
}

CameraContext::~CameraContext() {
  // Settings first, while the link still knows which device is selected.
  platform::RegistryStore& store = platform::Registry();
  if (link) settings::SaveAnalogSettings(store, link->SelectedDevice(), &analog);
  settings::SaveFilterSettings(store, &image);
  settings::SaveGraySettings(store, &image);

  // Close: the preview thread and the preview window go before the link and the images.
  Close();

  link.reset();
  for (auto* image : {&RawImage8, &RawImage16, &ColorImage24, &ColorImage32, &ColorImage48,
                      &ColorImage64, &ScratchImage, &DisplayImage}) {
    if (*image) (*image)->Release();
    image->reset();
  }
}

int CameraContext::Initialize(platform::WindowHandle notify) {
  IdentifyProcessor(&processorInfo);

  try {
    link.reset(new (std::nothrow) DeviceLink(platform::Driver(), platform::Clock()));
  } catch (...) {
    link.reset();
  }

  RawImage8 = MakeImage();
  RawImage16 = MakeImage();
  ColorImage24 = MakeImage();
  ColorImage32 = MakeImage();
  ColorImage48 = MakeImage();
  ColorImage64 = MakeImage();
  ScratchImage = MakeImage();
  DisplayImage = MakeImage();

  notifyWindow = notify;

  if (!link || !RawImage8 || !RawImage16 || !ColorImage24 || !ColorImage32 || !ColorImage48 ||
      !ColorImage64 || !ScratchImage || !DisplayImage) {
    RecordError(kErrorBuffer);
    return 0;
  }

  platform::RegistryStore& store = platform::Registry();
  settings::LoadSizeSettings(store, geometry);

  if (!CheckGeometry()) {
    RecordError(kErrorGeometry);
    ApplyDefaultGeometry();
  }

  link->ConfigureFrame(geometry.TH, geometry.EHS, geometry.EH, geometry.TV, geometry.EVS,
                       geometry.EV, geometry.Buf);

  previewRect = Rect{0, 0, geometry.EH, geometry.EV};

  settings::LoadFilterSettings(store, &image);
  settings::LoadGraySettings(store, &image);

  // Every present camera receives its own stored exposure.
  for (int i = 0; i < link->DeviceSlotCount(); ++i) {
    if (!link->IsDevicePresent(i)) continue;
    link->SelectDevice(i);
    settings::LoadAnalogSettings(store, i, &analog);
    link->WriteFpgaRegister(kExposureRegister, static_cast<std::uint16_t>(analog.Exposure.load()));
  }

  link->SelectDevice(0);
  for (const StartupRegister& reg : kStartupRegisters) {
    link->WriteFpgaRegister(reg.address, reg.value);
  }

  settings::LoadAnalogSettings(store, link->SelectedDevice(), &analog);
  link->WriteFpgaRegister(kExposureRegister, static_cast<std::uint16_t>(analog.Exposure.load()));

  settings::LoadFormatSettings(store, format);
  return 1;
}

int CameraContext::RecordError(std::int32_t code) {
  errors_.Push(code);
  const platform::WindowHandle window = notifyWindow;
  if (window != 0) {
    platform::Windows().PostWindowMessage(window, kErrorMessage, 0, code);
  }
  return 1;
}

std::int32_t CameraContext::TakeLastError() {
  return errors_.Take();
}

int CameraContext::CheckGeometry() const {
  const std::int32_t eh = geometry.EH, ev = geometry.EV, ehs = geometry.EHS, evs = geometry.EVS;
  const std::int32_t subSample = format.SubSample;
  if (eh < 0 || ev < 0 || ehs < 0 || evs < 0) return 0;
  if (eh > 1320 || ev > 1024 || ehs > 1320 || evs > 1024) return 0;
  if (eh + ehs > 1320 || ev + evs > 1024) return 0;
  if (subSample < 0 || subSample > 2) return 0;
  return 1;
}

void CameraContext::ApplyDefaultGeometry() {
  geometry.TH = 1320;
  geometry.TV = 1024;
  geometry.EH = 1280;
  geometry.EV = 1024;
  geometry.EHS = 39;
  geometry.EVS = 0;
  geometry.Buf = 20;
}

ImageBuffer* CameraContext::RawImageFor(std::int32_t colorType) const {
  if (IsWordSampleType(colorType)) return RawImage16.get();
  if (IsByteSampleType(colorType)) return RawImage8.get();
  return nullptr;
}

ImageBuffer* CameraContext::OutputImageFor(std::int32_t colorType) const {
  switch (colorType) {
    case 0:
      return RawImage8.get();
    case 1:
      return RawImage16.get();
    case 2:
      return ColorImage24.get();
    case 3:
      return ColorImage32.get();
    case 4:
      return ColorImage48.get();
    case 5:
      return ColorImage64.get();
    default:
      return nullptr;
  }
}

std::int32_t CameraContext::FpgaWriteRegister(std::int32_t address, std::int32_t value) {
  if (!link) {
    RecordError(kErrorNoDevice);
    return 0;
  }
  if (link->WriteFpgaRegister(static_cast<std::uint8_t>(address),
                              static_cast<std::uint16_t>(value)) == 1) {
    return 1;
  }
  RecordError(kErrorTransfer);
  return 0;
}

std::int32_t CameraContext::FpgaReadRegister(std::int32_t address, std::int32_t* ok) {
  if (!link) {
    if (ok != nullptr) *ok = 0;
    RecordError(kErrorNoDevice);
    return 0;
  }
  std::uint16_t value = 0;
  if (link->ReadFpgaRegister(static_cast<std::uint8_t>(address), &value) != 0) {
    if (ok != nullptr) *ok = 1;
    return value;
  }
  if (ok != nullptr) *ok = 0;
  RecordError(kErrorTransfer);
  return 0;
}

std::int32_t CameraContext::WriteSromId(std::int32_t index, std::int32_t value) {
  if (!link) {
    RecordError(kErrorNoDevice);
    return 0;
  }
  if (link->WriteSromId(static_cast<std::uint8_t>(index), static_cast<std::uint8_t>(value)) != 0) {
    return 1;
  }
  RecordError(kErrorNoDevice);
  return 0;
}

std::int32_t CameraContext::ReadSromId(std::int32_t index, std::int32_t* ok) {
  if (!link) {
    if (ok != nullptr) *ok = 0;
    RecordError(kErrorNoDevice);
    return 0;
  }
  std::uint8_t byte = 0;
  if (link->ReadSromId(static_cast<std::uint8_t>(index), &byte) != 0) {
    if (ok != nullptr) *ok = 1;
    return byte;
  }
  if (ok != nullptr) *ok = 0;
  RecordError(kErrorNoDevice);
  return 0;
}

}  // namespace orvex
