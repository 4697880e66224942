#pragma once

#include <cstdint>

#include "acquisition/dialog_views.h"
#include "dialogs/dialog_ports.h"
#include "settings/registry_settings.h"

namespace orvex {

class CameraContext;

// The camera context as its property dialogs see it: the acquisition the camera dialog pauses,
// the stored format and size table, the analog and image settings, the exposure register, and
// the views through which the preview thread reaches an open dialog. Made for one dialog on the
// dialog's thread, it borrows the context for the time the dialog is open.
class DialogPortAdapter final : public dialogs::CameraDialogPort,
                                public dialogs::AnalogDialogPort,
                                public dialogs::ImageDialogPort {
 public:
  explicit DialogPortAdapter(CameraContext& context) : context_(context) {}

  bool HasDeviceLink() override;
  void RecordError(std::int32_t code) override;

  std::int32_t PauseAcquisition() override;
  void StartPreview() override;
  void Capture() override;
  bool ReadSizeTable(settings::SizeTable& table) override;
  bool WriteSizeTable(const settings::SizeTable& table) override;
  void LoadSizeSettings() override;
  void LoadFormatSettings() override;

  std::int32_t Analog(dialogs::AnalogSetting setting) override;
  void SetAnalog(dialogs::AnalogSetting setting, std::int32_t value) override;
  std::int32_t BayerMode() override;
  void SetBayerMode(std::int32_t value) override;
  std::uint16_t ReadFpgaRegister(std::uint8_t address) override;
  void WriteFpgaRegister(std::uint8_t address, std::uint16_t value) override;
  void AddAnalogDialog(AnalogDialogView* view) override;
  void RemoveAnalogDialog(AnalogDialogView* view) override;

  std::int32_t ColorType() override;
  std::int32_t Image(dialogs::ImageSetting setting) override;
  void SetImage(dialogs::ImageSetting setting, std::int32_t value) override;
  void AddImageDialog(ImageDialogView* view) override;
  void RemoveImageDialog(ImageDialogView* view) override;

 private:
  // Returns once no frame that began before the call is still in the pipeline.
  void WaitForFrameInProgress();
  // Whether the acquisition this dialog paused may run again: nothing asked for a start, a stop
  // or a capture since (the application may have stopped it and freed its buffer, or closed).
  bool PauseUntouched() const;
  // Takes a stored part of the format with no acquisition running on the old one.
  void LoadStopped(bool (*load)(platform::RegistryStore&, CameraContext&));

  CameraContext& context_;
  bool paused_ = false;
  std::uint32_t pausedAt_ = 0;
};

}  // namespace orvex
