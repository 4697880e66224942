// What the dialogs need from the rest of the library, and nothing more: the camera context
// implements these ports, so that the dialogs know neither its shape nor its layers.
//
// Every port is called on the dialog's thread (the application's), while a preview thread may
// run the frame pipeline. Settings the pipeline reads are 32-bit values that each port operation
// reads or writes whole.
#pragma once

#include <cstdint>
#include <type_traits>

#include "acquisition/dialog_views.h"
#include "settings/registry_settings.h"

namespace orvex::dialogs {

// Error codes the dialogs record.
inline constexpr std::int32_t kErrorNoDevice = 1;
// The dialog's window could not be made (for instance, its resource is missing).
inline constexpr std::int32_t kErrorWindow = 4;

// The acquisition states of the camera context.
inline constexpr std::int32_t kIdle = 0;
inline constexpr std::int32_t kPreviewing = 1;
inline constexpr std::int32_t kCapturing = 2;

// The camera's exposure register.
inline constexpr std::uint8_t kExposureRegister = 0x52;

// The analog record, in its stored order.
enum class AnalogSetting { Global, ColorG1, ColorR, ColorB, ColorG2, Exposure, V_Mirror, AutoIris };
inline constexpr int kAnalogSettingCount = static_cast<int>(AnalogSetting::AutoIris) + 1;

// The image settings the image dialog works on: the Filter group, GrayMode, the Gray group and
// the white and gray balance controls, in the order the context keeps them.
enum class ImageSetting {
  Brightness,
  Contrast,
  Hue,
  Saturation,
  Sharpness,
  R_Gain,
  G_Gain,
  B_Gain,
  Gamma,
  BayerMode,
  GrayMode,
  GainR1,
  GainG1,
  GainG2,
  GainB1,
  OffsetR1,
  OffsetG1,
  OffsetG2,
  OffsetB1,
  BayerGainAuto,
  BayerGainOnce1,
  BayerGainOnce2,
  GrayBalanceCount,
};
inline constexpr int kImageSettingCount = static_cast<int>(ImageSetting::GrayBalanceCount) + 1;

// What every dialog asks of the camera context first.
class DialogContextPort {
 public:
  // False when the context has no device link: the dialog is then refused.
  virtual bool HasDeviceLink() = 0;
  // Records an error code in the context's error queue (and posts it).
  virtual void RecordError(std::int32_t code) = 0;

 protected:
  ~DialogContextPort() = default;
};

// The camera dialog: the stored format and size table, and the acquisition it pauses.
class CameraDialogPort : public DialogContextPort {
 public:
  // Stops a running preview or capture for as long as the dialog is open, finding it in the
  // same step: returns what ran (kIdle, kPreviewing or kCapturing). With kIdle nothing was
  // paused and nothing is to be started again.
  virtual std::int32_t PauseAcquisition() = 0;
  // Starts again what the pause stopped, unless the application started, stopped or closed the
  // acquisition since.
  virtual void StartPreview() = 0;
  virtual void Capture() = 0;
  // The stored size table and format values; false (table untouched) without the main key.
  virtual bool ReadSizeTable(settings::SizeTable& table) = 0;
  // Stores entries 0 .. count - 1 and the format values; false when that failed.
  virtual bool WriteSizeTable(const settings::SizeTable& table) = 0;
  // The context takes the stored size entry, then the stored format.
  virtual void LoadSizeSettings() = 0;
  virtual void LoadFormatSettings() = 0;

 protected:
  ~CameraDialogPort() = default;
};

// The analog dialog: the analog record of the selected device, the exposure register, and the
// context's analog dialogs through which the automatic exposure shows its values.
class AnalogDialogPort : public DialogContextPort {
 public:
  virtual std::int32_t Analog(AnalogSetting setting) = 0;
  virtual void SetAnalog(AnalogSetting setting, std::int32_t value) = 0;
  virtual std::int32_t BayerMode() = 0;
  virtual void SetBayerMode(std::int32_t value) = 0;
  // The register's value as the device link reports it (0 when the read failed).
  virtual std::uint16_t ReadFpgaRegister(std::uint8_t address) = 0;
  // The result of the write is not used.
  virtual void WriteFpgaRegister(std::uint8_t address, std::uint16_t value) = 0;
  // Adds the open dialog's view to the context's analog dialogs, or removes it. Once a removal
  // returns, no frame that began before it is still being processed: the preview thread no
  // longer calls the view, nor carries out a measurement made before.
  virtual void AddAnalogDialog(AnalogDialogView* view) = 0;
  virtual void RemoveAnalogDialog(AnalogDialogView* view) = 0;

 protected:
  ~AnalogDialogPort() = default;
};

// The image dialog: the image settings the pipeline reads, and the context's image dialogs through
// which white and gray balance measurements refresh it.
class ImageDialogPort : public DialogContextPort {
 public:
  // The context's ColorType (the format's Color).
  virtual std::int32_t ColorType() = 0;
  virtual std::int32_t Image(ImageSetting setting) = 0;
  virtual void SetImage(ImageSetting setting, std::int32_t value) = 0;
  // Adds the open dialog's view to the context's image dialogs, or removes it; as the analog
  // dialog's.
  virtual void AddImageDialog(ImageDialogView* view) = 0;
  virtual void RemoveImageDialog(ImageDialogView* view) = 0;

 protected:
  ~ImageDialogPort() = default;
};

// The setting of a record with the stored field names (the context's analog record, or any
// record that mirrors it), for implementations of the ports.
template <typename Record>
auto& AnalogField(Record& record, AnalogSetting setting) {
  using R = std::remove_const_t<Record>;
  static constexpr decltype(&R::Global) kFields[kAnalogSettingCount] = {
      &R::Global,  &R::ColorG1,  &R::ColorR,   &R::ColorB,
      &R::ColorG2, &R::Exposure, &R::V_Mirror, &R::AutoIris};
  return record.*kFields[static_cast<int>(setting)];
}

template <typename Record>
auto& ImageField(Record& record, ImageSetting setting) {
  using R = std::remove_const_t<Record>;
  static constexpr decltype(&R::Brightness) kFields[kImageSettingCount] = {
      &R::Brightness,     &R::Contrast,        &R::Hue,
      &R::Saturation,     &R::Sharpness,       &R::R_Gain,
      &R::G_Gain,         &R::B_Gain,          &R::Gamma,
      &R::BayerMode,      &R::GrayMode,        &R::GainR1,
      &R::GainG1,         &R::GainG2,          &R::GainB1,
      &R::OffsetR1,       &R::OffsetG1,        &R::OffsetG2,
      &R::OffsetB1,       &R::BayerGainAuto,   &R::BayerGainOnce1,
      &R::BayerGainOnce2, &R::GrayBalanceCount};
  return record.*kFields[static_cast<int>(setting)];
}

}  // namespace orvex::dialogs
