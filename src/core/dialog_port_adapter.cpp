#include "core/dialog_port_adapter.h"

#include <mutex>

#include "core/camera_context.h"
#include "device/device_link.h"
#include "platform/platform_services.h"

namespace orvex {

// The dialogs' own names for the context's codes and states, held to them.
static_assert(dialogs::kErrorNoDevice == static_cast<std::int32_t>(ErrorCode::kNoDevice));
static_assert(dialogs::kErrorWindow == static_cast<std::int32_t>(ErrorCode::kWindow));
static_assert(dialogs::kIdle == static_cast<std::int32_t>(AcquisitionState::Idle));
static_assert(dialogs::kPreviewing == static_cast<std::int32_t>(AcquisitionState::Previewing));
static_assert(dialogs::kCapturing == static_cast<std::int32_t>(AcquisitionState::Capturing));

bool DialogPortAdapter::HasDeviceLink() {
  return context_.Link() != nullptr;
}

void DialogPortAdapter::RecordError(std::int32_t code) {
  context_.RecordError(static_cast<ErrorCode>(code));
}

// Each step that reconfigures takes the context's operation lock for itself alone, so that the
// dialog meets other application threads as their calls meet each other, while no lock is held
// across the dialog.

// The camera dialog pauses the acquisition itself, not the preview window: the window stays
// open and shows the restarted preview. An idle handle has nothing to pause: the preview the
// dialog saw may have been stopped by the application in the meantime, its buffer freed.
std::int32_t DialogPortAdapter::PauseAcquisition() {
  const auto lock = context_.LockOperations();
  const orvex::AcquisitionState running = context_.Acquisition().state;
  if (running == orvex::AcquisitionState::Idle) return dialogs::kIdle;
  context_.LivePreview().StopPreview();
  paused_ = true;
  pausedAt_ = context_.Acquisition().requests;
  return static_cast<std::int32_t>(running);
}

bool DialogPortAdapter::PauseUntouched() const {
  return paused_ && context_.Acquisition().requests == pausedAt_;
}

void DialogPortAdapter::StartPreview() {
  const auto lock = context_.LockOperations();
  if (PauseUntouched()) context_.LivePreview().StartPreview();
}

void DialogPortAdapter::Capture() {
  const auto lock = context_.LockOperations();
  if (PauseUntouched()) context_.Acquisition().Capture();
}

bool DialogPortAdapter::ReadSizeTable(settings::SizeTable& table) {
  return settings::ReadSizeTable(platform::Registry(), &table);
}

bool DialogPortAdapter::WriteSizeTable(const settings::SizeTable& table) {
  return settings::WriteSizeTable(platform::Registry(), &table);
}

// An acquisition the application started while the dialog was open would go on with images
// prepared for the old format, every frame refused: it stops for the load and starts again.
void DialogPortAdapter::LoadStopped(bool (*load)(platform::RegistryStore&, CameraContext&)) {
  const auto lock = context_.LockOperations();
  const orvex::AcquisitionState running = context_.Acquisition().state;
  if (running != orvex::AcquisitionState::Idle) context_.LivePreview().StopPreview();
  load(platform::Registry(), context_);
  if (running == orvex::AcquisitionState::Previewing) {
    context_.LivePreview().StartPreview();
  } else if (running == orvex::AcquisitionState::Capturing) {
    context_.Acquisition().Capture();
  }
}

void DialogPortAdapter::LoadSizeSettings() {
  LoadStopped([](platform::RegistryStore& store, CameraContext& context) {
    return settings::LoadSizeSettings(store, context.Settings().geometry);
  });
}

void DialogPortAdapter::LoadFormatSettings() {
  LoadStopped([](platform::RegistryStore& store, CameraContext& context) {
    return settings::LoadFormatSettings(store, context.Settings().format);
  });
}

std::int32_t DialogPortAdapter::Analog(dialogs::AnalogSetting setting) {
  return dialogs::AnalogField(context_.Settings().analog, setting);
}

void DialogPortAdapter::SetAnalog(dialogs::AnalogSetting setting, std::int32_t value) {
  dialogs::AnalogField(context_.Settings().analog, setting) = value;
}

std::int32_t DialogPortAdapter::BayerMode() {
  return context_.Settings().image.BayerMode;
}

void DialogPortAdapter::SetBayerMode(std::int32_t value) {
  context_.Settings().image.BayerMode = value;
}

std::uint16_t DialogPortAdapter::ReadFpgaRegister(std::uint8_t address) {
  const auto lock = context_.LockOperations();
  DeviceLink* link = context_.Link();
  std::uint16_t value = 0;
  if (link == nullptr || link->ReadFpgaRegister(address, &value) == 0) return 0;
  return value;
}

void DialogPortAdapter::WriteFpgaRegister(std::uint8_t address, std::uint16_t value) {
  const auto lock = context_.LockOperations();
  if (DeviceLink* link = context_.Link()) link->WriteFpgaRegister(address, value);
}

void DialogPortAdapter::AddAnalogDialog(AnalogDialogView* view) {
  context_.Views().AddAnalogDialog(view);
}

void DialogPortAdapter::RemoveAnalogDialog(AnalogDialogView* view) {
  context_.Views().RemoveAnalogDialog(view);
  WaitForFrameInProgress();
}

std::int32_t DialogPortAdapter::ColorType() {
  return context_.Settings().format.Color;
}

std::int32_t DialogPortAdapter::Image(dialogs::ImageSetting setting) {
  return dialogs::ImageField(context_.Settings().image, setting);
}

void DialogPortAdapter::SetImage(dialogs::ImageSetting setting, std::int32_t value) {
  dialogs::ImageField(context_.Settings().image, setting) = value;
}

void DialogPortAdapter::AddImageDialog(ImageDialogView* view) {
  context_.Views().AddImageDialog(view);
}

void DialogPortAdapter::RemoveImageDialog(ImageDialogView* view) {
  context_.Views().RemoveImageDialog(view);
  WaitForFrameInProgress();
}

void DialogPortAdapter::WaitForFrameInProgress() {
  // Every frame, preview or snapshot, runs the pipeline and tells the views under the frame
  // lock: taken once after a view was removed, it lets through only frames that began without
  // it, so that no measurement made while the dialog was open is carried out after it. It is never
  // held while waiting for a dialog (the views post), so this cannot deadlock with the dialog's
  // thread.
  std::lock_guard<std::mutex> frame(context_.Acquisition().FrameMutex());
}

}  // namespace orvex
