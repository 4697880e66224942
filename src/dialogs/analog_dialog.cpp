#include "dialogs/analog_dialog.h"

#include <array>

#include "dialogs/dialog_controls.h"
#include "dialogs/dialog_steps.h"
#include "dialogs/slider_group.h"

namespace orvex::dialogs {
namespace {

using platform::DialogEvent;
using platform::WindowHandle;

// The setting of each row of kAnalogRows.
constexpr std::array<AnalogSetting, 6> kRowSettings = {
    AnalogSetting::Global, AnalogSetting::ColorG1, AnalogSetting::ColorR,
    AnalogSetting::ColorB, AnalogSetting::ColorG2, AnalogSetting::Exposure};
constexpr int kGlobalRow = 0;
constexpr int kExposureRow = 5;
// This camera's gains are shown but cannot be changed here.
constexpr std::array<bool, 6> kRowEnabled = {false, false, false, false, false, true};

constexpr std::array<AnalogSetting, 5> kGains = {AnalogSetting::Global, AnalogSetting::ColorG1,
                                                 AnalogSetting::ColorR, AnalogSetting::ColorB,
                                                 AnalogSetting::ColorG2};

constexpr std::int32_t kAutoIrisOff = 0;
constexpr std::int32_t kAutoIrisExposure = 1;
constexpr std::int32_t kAutoIrisGain = 2;

constexpr std::int32_t kDefaultExposure = 40;

constexpr LocalText kAnalogGain = {"Analog Gain", "Analog Gain"};

}  // namespace

AnalogPage::AnalogPage(AnalogDialogPort& port, platform::DialogHost& host)
    : port_(port), host_(host) {}

void AnalogPage::OnDialogEvent(WindowHandle window, DialogEvent event, std::int32_t control) {
  switch (event) {
    case DialogEvent::Init:
      Initialize(window);
      return;
    case DialogEvent::Clicked:
      if (control == kCheckAutoExposure || control == kCheckAutoGain) {
        AutoIrisClicked(window, control);
      }
      return;
    case DialogEvent::TextChanged:
      if (ready_) TextChanged(window, control);
      return;
    case DialogEvent::Scrolled:
      if (const int row = RowOfTrackbar(kAnalogRows, control); row >= 0) {
        ShowTrackbarInEdit(host_, window, kAnalogRows[static_cast<std::size_t>(row)]);
      }
      return;
    default:
      return;
  }
}

void AnalogPage::Initialize(WindowHandle window) {
  for (std::size_t i = 0; i < kAnalogRows.size(); ++i) {
    InitSliderGroup(host_, window, kAnalogRows[i], port_.Analog(kRowSettings[i]), kRowEnabled[i]);
  }
  host_.CheckItem(window, kCheckMirrorV, port_.Analog(AnalogSetting::V_Mirror) != 0);
  const std::int32_t autoIris = port_.Analog(AnalogSetting::AutoIris);
  if (autoIris == kAutoIrisExposure) host_.CheckItem(window, kCheckAutoExposure, true);
  if (autoIris == kAutoIrisGain) host_.CheckItem(window, kCheckAutoGain, true);
  ready_ = true;
}

void AnalogPage::TextChanged(WindowHandle window, std::int32_t edit) {
  const int row = RowOfEdit(kAnalogRows, edit);
  if (row < 0) return;
  const SliderRow& slider = kAnalogRows[static_cast<std::size_t>(row)];
  const std::int32_t value = host_.GetItemInt(window, edit);
  port_.SetAnalog(kRowSettings[static_cast<std::size_t>(row)], value);
  host_.SetTrackbarPosition(window, slider.trackbar, value);
  if (row == kGlobalRow) {
    // The global gain sets every colour gain, each through its own edit.
    for (std::size_t i = kGlobalRow + 1; i < kExposureRow; ++i) {
      host_.SetItemInt(window, kAnalogRows[i].edit, value);
    }
  } else if (row == kExposureRow) {
    port_.WriteFpgaRegister(kExposureRegister, static_cast<std::uint16_t>(value));
  }
}

void AnalogPage::AutoIrisClicked(WindowHandle window, std::int32_t box) {
  const bool exposure = box == kCheckAutoExposure;
  if (!host_.IsItemChecked(window, box)) {
    port_.SetAnalog(AnalogSetting::AutoIris, kAutoIrisOff);
    return;
  }
  host_.CheckItem(window, exposure ? kCheckAutoGain : kCheckAutoExposure, false);
  port_.SetAnalog(AnalogSetting::AutoIris, exposure ? kAutoIrisExposure : kAutoIrisGain);
}

void AnalogPage::ShowRecord(WindowHandle window) {
  for (std::size_t i = 0; i < kAnalogRows.size(); ++i) {
    ShowSliderValue(host_, window, kAnalogRows[i], port_.Analog(kRowSettings[i]));
  }
}

AnalogDialog::AnalogDialog(AnalogDialogPort& port, platform::DialogHost& host, Language language)
    : port_(port), host_(host), language_(language), page_(port, host) {}

void AnalogDialog::OnDialogEvent(WindowHandle window, DialogEvent event, std::int32_t control) {
  const WindowHandle page = pageWindow_.load(std::memory_order_acquire);
  switch (event) {
    case DialogEvent::Init: {
      window_ = window;
      const WindowHandle made =
          CreateTabPage(host_, window, 0, kAnalogGain, kAnalogPage, language_, page_);
      pageWindow_.store(made, std::memory_order_release);
      host_.ShowWindow(made, true);
      return;
    }
    case DialogEvent::TabChanged:
      if (control == kTabControl) host_.ShowWindow(page, true);
      return;
    case DialogEvent::Clicked:
      if (control == kButtonOk) {
        for (std::size_t i = 0; i < kGains.size(); ++i) {
          port_.SetAnalog(kGains[i], host_.GetItemInt(page, kAnalogRows[i].edit));
        }
        host_.EndDialog(window_, kButtonOk);
      } else if (control == kButtonCancel) {
        host_.EndDialog(window_, kButtonCancel);
      } else if (control == kButtonDefault) {
        for (const AnalogSetting gain : kGains) port_.SetAnalog(gain, 0);
        port_.SetAnalog(AnalogSetting::Exposure, kDefaultExposure);
        port_.WriteFpgaRegister(kExposureRegister, kDefaultExposure);
        page_.ShowRecord(page);
      }
      return;
    default:
      return;
  }
}

void AnalogDialog::SetItemInt(int item, std::int32_t value) {
  const WindowHandle page = pageWindow_.load(std::memory_order_acquire);
  if (page == 0) return;
  platform::DialogHost& host = host_;
  host_.Post(page, [&host, page, item, value] { host.SetItemInt(page, item, value); });
}

int RunAnalogDialog(AnalogDialogPort& port, platform::DialogHost& host,
                    platform::WindowHandle owner) {
  if (!CheckDeviceLink(port)) return 0;
  const std::int32_t bayerMode = port.BayerMode();
  for (const AnalogSetting gain : kGains) port.SetAnalog(gain, 0);
  port.SetAnalog(AnalogSetting::Exposure, port.ReadFpgaRegister(kExposureRegister));
  std::array<std::int32_t, kAnalogSettingCount> undo{};
  for (int i = 0; i < kAnalogSettingCount; ++i) {
    undo[static_cast<std::size_t>(i)] = port.Analog(static_cast<AnalogSetting>(i));
  }

  const Language language = DialogLanguage(host);
  AnalogDialog dialog(port, host, language);
  port.AddAnalogDialog(&dialog);
  const std::intptr_t result = RunDialog(host, kAnalogDialog, language, owner, dialog);
  const bool undoing = result != kButtonOk;
  // The automatic exposure goes back to its opening mode before its view is removed, which waits
  // out the frame in progress: no exposure it measured with the dialog's mode can then land
  // after the opening exposure has been put back.
  if (undoing) {
    port.SetAnalog(AnalogSetting::AutoIris, undo[static_cast<int>(AnalogSetting::AutoIris)]);
  }
  port.RemoveAnalogDialog(&dialog);

  if (undoing) {
    port.WriteFpgaRegister(kExposureRegister, static_cast<std::uint16_t>(
                                                  undo[static_cast<int>(AnalogSetting::Exposure)]));
    for (int i = 0; i < kAnalogSettingCount; ++i) {
      port.SetAnalog(static_cast<AnalogSetting>(i), undo[static_cast<std::size_t>(i)]);
    }
    port.SetBayerMode(bayerMode);
  }
  return DialogResult(port, result);
}

}  // namespace orvex::dialogs
