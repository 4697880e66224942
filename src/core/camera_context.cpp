#include "core/camera_context.h"

#include <new>

#include "device/device_link.h"
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

}  // namespace

CameraContext::CameraContext()
    : window_(reinterpret_cast<std::uintptr_t>(this), settings_),
      acquisition_(Resources()),
      preview_(Resources(), acquisition_) {
  BuildHueTable(hueTable_);
}

AcquisitionResources CameraContext::Resources() {
  // The preview window is the sink of the frames; the context records the errors.
  return AcquisitionResources{link_,     settings_, images_, processorInfo_,
                              hueTable_, window_,   views_,  *this};
}

CameraContext::~CameraContext() {
  // Settings first, while the link still knows which device is selected; the three groups
  // are one change of the store, so that a crash never keeps half of a release.
  // A context that never started (Orvex_Initialize refused it) holds only the values it was made
  // with: saving them would replace the user's stored groups.
  platform::RegistryStore& store = platform::Registry();
  if (started_) {
    platform::RegistryBatch release(store);
    if (link_) settings::SaveAnalogSettings(store, link_->SelectedDevice(), &settings_.analog);
    settings::SaveFilterSettings(store, &settings_.image);
    settings::SaveGraySettings(store, &settings_.image);
  }

  // Close: the preview thread and the preview window go before the link and the images.
  Close();

  link_.reset();
  images_.Destroy();
}

int CameraContext::Initialize(platform::WindowHandle notify) {
  started_ = true;
  IdentifyProcessor(&processorInfo_);

  try {
    link_.reset(new (std::nothrow) DeviceLink(platform::Driver(), platform::Clock()));
  } catch (...) {
    link_.reset();
  }

  const bool imagesMade = images_.Make(platform::Windows());

  notifyWindow_ = notify;

  if (!link_ || !imagesMade) {
    RecordError(ErrorCode::kBuffer);
    return 0;
  }

  DeviceLink& link = *link_;
  CaptureGeometry& geometry = settings_.geometry;
  AnalogSettings& analog = settings_.analog;
  platform::RegistryStore& store = platform::Registry();
  settings::LoadSizeSettings(store, geometry);

  if (!CheckGeometry(geometry, settings_.format)) {
    RecordError(ErrorCode::kGeometry);
    ApplyDefaultGeometry(geometry);
  }

  link.ConfigureFrame(geometry.TH, geometry.EHS, geometry.EH, geometry.TV, geometry.EVS,
                      geometry.EV, geometry.Buf);

  previewRect_ = Rect{0, 0, geometry.EH, geometry.EV};

  settings::LoadFilterSettings(store, &settings_.image);
  settings::LoadGraySettings(store, &settings_.image);

  // Every present camera receives its own stored exposure.
  for (int i = 0; i < link.DeviceSlotCount(); ++i) {
    if (!link.IsDevicePresent(i)) continue;
    link.SelectDevice(i);
    settings::LoadAnalogSettings(store, i, &analog);
    link.WriteFpgaRegister(kExposureRegister, static_cast<std::uint16_t>(analog.Exposure.load()));
  }

  link.SelectDevice(0);
  for (const StartupRegister& reg : kStartupRegisters) {
    link.WriteFpgaRegister(reg.address, reg.value);
  }

  settings::LoadAnalogSettings(store, link.SelectedDevice(), &analog);
  link.WriteFpgaRegister(kExposureRegister, static_cast<std::uint16_t>(analog.Exposure.load()));

  settings::LoadFormatSettings(store, settings_.format);
  return 1;
}

int CameraContext::RecordError(ErrorCode code) {
  const auto value = static_cast<std::int32_t>(code);
  errors_.Push(value);
  const platform::WindowHandle window = notifyWindow_;
  if (window != 0) {
    platform::Windows().PostWindowMessage(window, kErrorMessage, 0, value);
  }
  return 1;
}

std::int32_t CameraContext::TakeLastError() {
  return errors_.Take();
}

std::int32_t CameraContext::FpgaWriteRegister(std::int32_t address, std::int32_t value) {
  if (!link_) {
    RecordError(ErrorCode::kNoDevice);
    return 0;
  }
  if (link_->WriteFpgaRegister(static_cast<std::uint8_t>(address),
                               static_cast<std::uint16_t>(value)) == 1) {
    return 1;
  }
  RecordError(ErrorCode::kTransfer);
  return 0;
}

std::int32_t CameraContext::FpgaReadRegister(std::int32_t address, std::int32_t* ok) {
  if (!link_) {
    if (ok != nullptr) *ok = 0;
    RecordError(ErrorCode::kNoDevice);
    return 0;
  }
  std::uint16_t value = 0;
  if (link_->ReadFpgaRegister(static_cast<std::uint8_t>(address), &value) != 0) {
    if (ok != nullptr) *ok = 1;
    return value;
  }
  if (ok != nullptr) *ok = 0;
  RecordError(ErrorCode::kTransfer);
  return 0;
}

std::int32_t CameraContext::WriteSromId(std::int32_t index, std::int32_t value) {
  if (!link_) {
    RecordError(ErrorCode::kNoDevice);
    return 0;
  }
  if (link_->WriteSromId(static_cast<std::uint8_t>(index), static_cast<std::uint8_t>(value)) != 0) {
    return 1;
  }
  RecordError(ErrorCode::kNoDevice);
  return 0;
}

std::int32_t CameraContext::ReadSromId(std::int32_t index, std::int32_t* ok) {
  if (!link_) {
    if (ok != nullptr) *ok = 0;
    RecordError(ErrorCode::kNoDevice);
    return 0;
  }
  std::uint8_t byte = 0;
  if (link_->ReadSromId(static_cast<std::uint8_t>(index), &byte) != 0) {
    if (ok != nullptr) *ok = 1;
    return byte;
  }
  if (ok != nullptr) *ok = 0;
  RecordError(ErrorCode::kNoDevice);
  return 0;
}

}  // namespace orvex
