#include "dialogs/image_dialog.h"

#include <array>

#include "dialogs/dialog_steps.h"
#include "dialogs/slider_group.h"

namespace orvex::dialogs {
namespace {

using platform::DialogEvent;
using platform::WindowHandle;

// The rows that can be changed for the gray ColorTypes: Brightness, Contrast, Sharpness, Gamma.
constexpr std::array<bool, 9> kGrayRowsEnabled = {true,  true,  false, false, true,
                                                  false, false, false, true};

constexpr std::int32_t kDefaultGain = 100;
constexpr std::int32_t kDefaultBayerMode = 3;
constexpr std::int32_t kDefaultGrayGain = 128;

constexpr LocalText kImageFilterTab = {"Image Filter", "Image Filter"};
constexpr LocalText kGrayFilterTab = {"Gray Filter", "Gray Filter"};

ImageSetting Offset(ImageSetting first, std::size_t by) {
  return static_cast<ImageSetting>(static_cast<int>(first) + static_cast<int>(by));
}

// The index of a radio button in its list; -1 when it is not one of them.
template <std::size_t N>
int IndexOf(const std::array<std::int32_t, N>& radios, std::int32_t id) {
  for (std::size_t i = 0; i < N; ++i) {
    if (radios[i] == id) return static_cast<int>(i);
  }
  return -1;
}

bool IsGray(std::int32_t colorType) {
  return colorType == 0 || colorType == 1;
}

}  // namespace

SliderPage::SliderPage(ImageDialogPort& port, platform::DialogHost& host,
                       std::span<const SliderRow> rows, ImageSetting firstSetting)
    : port_(port), host_(host), rows_(rows), firstSetting_(firstSetting) {}

ImageSetting SliderPage::SettingOf(std::size_t row) const {
  return Offset(firstSetting_, row);
}

bool SliderPage::OnSliderEvent(WindowHandle window, DialogEvent event, std::int32_t control) {
  if (event == DialogEvent::TextChanged) {
    const int row = RowOfEdit(rows_, control);
    if (row < 0) return false;
    if (!ready_) return true;
    const std::int32_t value = host_.GetItemInt(window, control);
    port_.SetImage(SettingOf(static_cast<std::size_t>(row)), value);
    host_.SetTrackbarPosition(window, rows_[static_cast<std::size_t>(row)].trackbar, value);
    return true;
  }
  if (event == DialogEvent::Scrolled) {
    const int row = RowOfTrackbar(rows_, control);
    if (row < 0) return false;
    ShowTrackbarInEdit(host_, window, rows_[static_cast<std::size_t>(row)]);
    return true;
  }
  if (event == DialogEvent::Clicked) {
    const int mode = IndexOf(kRadiosBayerMode, control);
    if (mode < 0) return false;
    port_.SetImage(ImageSetting::BayerMode, mode);
    return true;
  }
  return false;
}

void SliderPage::CheckBayerMode(WindowHandle window) {
  const std::int32_t mode = port_.Image(ImageSetting::BayerMode);
  for (std::size_t i = 0; i < kRadiosBayerMode.size(); ++i) {
    host_.CheckItem(window, kRadiosBayerMode[i], static_cast<std::int32_t>(i) == mode);
  }
}

void SliderPage::Show(WindowHandle window) {
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    ShowSliderValue(host_, window, rows_[i], port_.Image(SettingOf(i)));
  }
  CheckBayerMode(window);
}

void SliderPage::StoreEdits(WindowHandle window) {
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    port_.SetImage(SettingOf(i), host_.GetItemInt(window, rows_[i].edit));
  }
}

ImageFilterPage::ImageFilterPage(ImageDialogPort& port, platform::DialogHost& host, bool gray)
    : SliderPage(port, host, kImageFilterRows, ImageSetting::Brightness), gray_(gray) {}

void ImageFilterPage::OnDialogEvent(WindowHandle window, DialogEvent event, std::int32_t control) {
  if (event == DialogEvent::Init) {
    for (std::size_t i = 0; i < rows_.size(); ++i) {
      InitSliderGroup(host_, window, rows_[i], port_.Image(SettingOf(i)),
                      !gray_ || kGrayRowsEnabled[i]);
    }
    host_.EnableItem(window, kButtonOnce, !gray_);
    host_.EnableItem(window, kCheckAllFrames, !gray_);
    for (const std::int32_t radio : kRadiosBayerMode) host_.EnableItem(window, radio, !gray_);
    CheckBayerMode(window);
    ready_ = true;
    return;
  }
  if (OnSliderEvent(window, event, control) || event != DialogEvent::Clicked) return;
  if (control == kCheckAllFrames) {
    // White balance on every frame, or off.
    port_.SetImage(ImageSetting::BayerGainAuto, host_.IsItemChecked(window, control) ? 1 : 0);
    port_.SetImage(ImageSetting::BayerGainOnce1, 0);
    port_.SetImage(ImageSetting::BayerGainOnce2, 0);
  } else if (control == kButtonOnce) {
    // One measurement: the pipeline ends it by itself.
    port_.SetImage(ImageSetting::BayerGainOnce1, 1);
    port_.SetImage(ImageSetting::BayerGainOnce2, 1);
    port_.SetImage(ImageSetting::BayerGainAuto, 1);
    host_.CheckItem(window, kCheckAllFrames, false);
  }
}

GrayFilterPage::GrayFilterPage(ImageDialogPort& port, platform::DialogHost& host)
    : SliderPage(port, host, kGrayFilterRows, ImageSetting::GainR1) {}

void GrayFilterPage::OnDialogEvent(WindowHandle window, DialogEvent event, std::int32_t control) {
  if (event == DialogEvent::Init) {
    for (std::size_t i = 0; i < rows_.size(); ++i) {
      InitSliderGroup(host_, window, rows_[i], port_.Image(SettingOf(i)), true);
    }
    const std::int32_t grayMode = port_.Image(ImageSetting::GrayMode);
    for (std::size_t i = 0; i < kRadiosGrayMode.size(); ++i) {
      host_.CheckItem(window, kRadiosGrayMode[i], static_cast<std::int32_t>(i) == grayMode);
    }
    CheckBayerMode(window);
    ready_ = true;
    return;
  }
  if (OnSliderEvent(window, event, control) || event != DialogEvent::Clicked) return;
  if (const int mode = IndexOf(kRadiosGrayMode, control); mode >= 0) {
    port_.SetImage(ImageSetting::GrayMode, mode);
  } else if (control == kButtonOnce) {
    port_.SetImage(ImageSetting::GrayBalanceCount, 1);
  } else if (control == kCheckAllFrames) {
    // Each click toggles between measuring every frame and not measuring.
    const std::int32_t count = port_.Image(ImageSetting::GrayBalanceCount);
    port_.SetImage(ImageSetting::GrayBalanceCount, count == 0 ? -1 : 0);
  }
}

ImageDialog::ImageDialog(ImageDialogPort& port, platform::DialogHost& host, Language language,
                         bool gray)
    : port_(port),
      host_(host),
      language_(language),
      gray_(gray),
      filterPage_(port, host, gray),
      grayPage_(port, host) {}

void ImageDialog::OnDialogEvent(WindowHandle window, DialogEvent event, std::int32_t control) {
  switch (event) {
    case DialogEvent::Init:
      CreatePages(window);
      window_.store(window, std::memory_order_release);
      return;
    case DialogEvent::TabChanged: {
      if (control != kTabControl) return;
      const std::int32_t tab = host_.GetTabSelection(window, kTabControl);
      host_.ShowWindow(filterWindow_, tab == 0);
      if (grayWindow_ != 0) host_.ShowWindow(grayWindow_, tab == 1);
      return;
    }
    case DialogEvent::Clicked:
      if (control == kButtonOk) {
        filterPage_.StoreEdits(filterWindow_);
        // With no radio checked (a stored mode outside 0 to 3), BayerMode stays as it is. The
        // radios are those in use: the gray page's where it exists, as the filter page's are
        // disabled then and do not follow a click on the gray page's.
        const WindowHandle radios = grayWindow_ != 0 ? grayWindow_ : filterWindow_;
        for (std::size_t i = 0; i < kRadiosBayerMode.size(); ++i) {
          if (host_.IsItemChecked(radios, kRadiosBayerMode[i])) {
            port_.SetImage(ImageSetting::BayerMode, static_cast<std::int32_t>(i));
            break;
          }
        }
        if (grayWindow_ != 0) grayPage_.StoreEdits(grayWindow_);
        host_.EndDialog(window, kButtonOk);
      } else if (control == kButtonCancel) {
        host_.EndDialog(window, kButtonCancel);
      } else if (control == kButtonDefault) {
        RestoreDefaults();
      }
      return;
    default:
      return;
  }
}

void ImageDialog::CreatePages(WindowHandle window) {
  filterWindow_ =
      CreateTabPage(host_, window, 0, kImageFilterTab, kImageFilterPage, language_, filterPage_);
  host_.ShowWindow(filterWindow_, true);
  if (gray_) {
    grayWindow_ =
        CreateTabPage(host_, window, 1, kGrayFilterTab, kGrayFilterPage, language_, grayPage_);
  }
}

void ImageDialog::ShowPages() {
  filterPage_.Show(filterWindow_);
  if (grayWindow_ != 0) grayPage_.Show(grayWindow_);
}

void ImageDialog::RestoreDefaults() {
  for (const ImageSetting setting :
       {ImageSetting::Brightness, ImageSetting::Contrast, ImageSetting::Hue,
        ImageSetting::Saturation, ImageSetting::Sharpness}) {
    port_.SetImage(setting, 0);
  }
  for (const ImageSetting setting :
       {ImageSetting::R_Gain, ImageSetting::G_Gain, ImageSetting::B_Gain, ImageSetting::Gamma}) {
    port_.SetImage(setting, kDefaultGain);
  }
  port_.SetImage(ImageSetting::BayerMode, kDefaultBayerMode);
  if (grayWindow_ != 0) {
    for (std::size_t i = 0; i < kGrayFilterRows.size(); ++i) {
      port_.SetImage(Offset(ImageSetting::GainR1, i), i < 4 ? kDefaultGrayGain : 0);
    }
  }
  ShowPages();
}

void ImageDialog::Refresh() {
  const WindowHandle window = window_.load(std::memory_order_acquire);
  if (window == 0) return;
  // Measuring every frame asks for a refresh every frame: one queued refresh serves them all, so
  // that a busy dialog thread never falls behind a growing queue. The flag drops before the pages
  // read the settings, so a measurement stored after that asks again.
  if (refreshQueued_.exchange(true, std::memory_order_acq_rel)) return;
  const bool posted = host_.Post(window, [this] {
    refreshQueued_.store(false, std::memory_order_release);
    ShowPages();
  });
  if (!posted) refreshQueued_.store(false, std::memory_order_release);
}

int RunImageDialog(ImageDialogPort& port, platform::DialogHost& host,
                   platform::WindowHandle owner) {
  if (!CheckDeviceLink(port)) return 0;
  std::array<std::int32_t, kImageSettingCount> undo{};
  for (int i = 0; i < kImageSettingCount; ++i) {
    undo[static_cast<std::size_t>(i)] = port.Image(static_cast<ImageSetting>(i));
  }
  const Language language = DialogLanguage(host);
  ImageDialog dialog(port, host, language, IsGray(port.ColorType()));
  port.AddImageDialog(&dialog);
  const std::intptr_t result = RunDialog(host, kImageDialog, language, owner, dialog);
  const bool undoing = result != kButtonOk;
  // The balance controls go back first and its view is removed next, which waits out the frame
  // in progress: no gains measured with the dialog's controls can then land after the opening
  // gains have been put back.
  if (undoing) {
    for (const ImageSetting control :
         {ImageSetting::BayerGainAuto, ImageSetting::BayerGainOnce1, ImageSetting::BayerGainOnce2,
          ImageSetting::GrayBalanceCount}) {
      port.SetImage(control, undo[static_cast<std::size_t>(control)]);
    }
  }
  port.RemoveImageDialog(&dialog);

  if (undoing) {
    for (int i = 0; i < kImageSettingCount; ++i) {
      port.SetImage(static_cast<ImageSetting>(i), undo[static_cast<std::size_t>(i)]);
    }
  }
  return DialogResult(port, result);
}

}  // namespace orvex::dialogs
