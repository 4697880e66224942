#pragma once

#include <atomic>
#include <cstdint>
#include <span>

#include "acquisition/dialog_views.h"
#include "dialogs/dialog_controls.h"
#include "dialogs/dialog_language.h"
#include "dialogs/dialog_ports.h"
#include "platform/dialog_host.h"

namespace orvex::dialogs {

// A page of slider groups bound to image settings: a typed value goes to its setting at once
// and moves the trackbar; a moved trackbar writes its edit, whose change then stores it.
class SliderPage : public platform::DialogProcedure {
 public:
  // The settings of the rows, in the rows' order.
  SliderPage(ImageDialogPort& port, platform::DialogHost& host, std::span<const SliderRow> rows,
             ImageSetting firstSetting);

  // The settings into the rows, and the Bayer Mode radio.
  void Show(platform::WindowHandle window);
  // The edits into the settings, as OK reads them.
  void StoreEdits(platform::WindowHandle window);

 protected:
  ~SliderPage() = default;
  // Handles what every slider page handles; false for anything else.
  bool OnSliderEvent(platform::WindowHandle window, platform::DialogEvent event,
                     std::int32_t control);
  ImageSetting SettingOf(std::size_t row) const;
  void CheckBayerMode(platform::WindowHandle window);

  ImageDialogPort& port_;
  platform::DialogHost& host_;
  std::span<const SliderRow> rows_;
  ImageSetting firstSetting_;
  bool ready_ = false;
};

// The Image Filter page: nine slider groups, white balance and Bayer Mode. For the gray
// ColorTypes only Brightness, Contrast, Sharpness and Gamma can be changed, and white balance
// and Bayer Mode not at all.
class ImageFilterPage final : public SliderPage {
 public:
  ImageFilterPage(ImageDialogPort& port, platform::DialogHost& host, bool gray);
  void OnDialogEvent(platform::WindowHandle window, platform::DialogEvent event,
                     std::int32_t control) override;

 private:
  bool gray_;
};

// The Gray Filter page, for the gray ColorTypes: gains and offsets of the gray correction, the
// filter mode, gray balance and Bayer Mode.
class GrayFilterPage final : public SliderPage {
 public:
  GrayFilterPage(ImageDialogPort& port, platform::DialogHost& host);
  void OnDialogEvent(platform::WindowHandle window, platform::DialogEvent event,
                     std::int32_t control) override;
};

// The image dialog: the Image Filter tab and, for the gray ColorTypes, the Gray Filter tab.
// Every change goes straight into the settings the preview uses. White and gray balance
// measurements refresh it through the view, from the preview thread.
class ImageDialog final : public platform::DialogProcedure, public ImageDialogView {
 public:
  ImageDialog(ImageDialogPort& port, platform::DialogHost& host, Language language, bool gray);

  void OnDialogEvent(platform::WindowHandle window, platform::DialogEvent event,
                     std::int32_t control) override;

  // From the preview thread: the pages show the current settings, on the dialog's thread; this
  // never waits for that thread.
  void Refresh() override;

 private:
  void CreatePages(platform::WindowHandle window);
  void ShowPages();
  void RestoreDefaults();

  ImageDialogPort& port_;
  platform::DialogHost& host_;
  Language language_;
  bool gray_;
  ImageFilterPage filterPage_;
  GrayFilterPage grayPage_;
  std::atomic<platform::WindowHandle> window_{0};
  std::atomic<bool> refreshQueued_{false};
  platform::WindowHandle filterWindow_ = 0;
  platform::WindowHandle grayWindow_ = 0;
};

// Orvex_SetImageDlg: keeps an undo copy of every image setting, runs the dialog modally over
// `owner` and, unless it ended with OK, puts every setting back. 1 once the dialog has closed;
// 0 with ErrorNoDevice (nothing shown) without a device link, or with ErrorWindow when the
// dialog could not be made.
int RunImageDialog(ImageDialogPort& port, platform::DialogHost& host, platform::WindowHandle owner);

}  // namespace orvex::dialogs
