#pragma once

#include <gtest/gtest.h>
#include <orvex/platform.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "base/camera_settings.h"
#include "dialogs/dialog_ports.h"
#include "platform/dialog_host.h"
#include "platform/testing/memory_registry_store.h"
#include "settings/registry_settings.h"
#include "settings/settings_keys.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace orvex::dialogs::testing {

// A camera context as the dialogs see it: the real settings records and store functions over an
// in-memory registry, a register file, and a log of what the dialogs asked for.
class FakeCamera final : public CameraDialogPort, public AnalogDialogPort, public ImageDialogPort {
 public:
  bool HasDeviceLink() override { return hasDeviceLink; }
  void RecordError(std::int32_t code) override {
    std::lock_guard lock(mutex_);
    errors_.push_back(code);
  }

  std::int32_t PauseAcquisition() override {
    // Nothing to pause on an idle camera, so nothing asked for.
    const std::int32_t found = state;
    if (found != kIdle) Log("PauseAcquisition", kIdle);
    return found;
  }
  void StartPreview() override { Log("StartPreview", kPreviewing); }
  void Capture() override { Log("Capture", kCapturing); }
  bool ReadSizeTable(settings::SizeTable& table) override {
    return settings::ReadSizeTable(registry, &table);
  }
  bool WriteSizeTable(const settings::SizeTable& table) override {
    return settings::WriteSizeTable(registry, &table);
  }
  void LoadSizeSettings() override {
    Log("LoadSizeSettings", state);
    settings::LoadSizeSettings(registry, geometry);
  }
  void LoadFormatSettings() override {
    Log("LoadFormatSettings", state);
    settings::LoadFormatSettings(registry, format);
  }

  std::int32_t Analog(AnalogSetting setting) override { return AnalogField(analog, setting); }
  void SetAnalog(AnalogSetting setting, std::int32_t value) override {
    AnalogField(analog, setting) = value;
  }
  std::int32_t BayerMode() override { return image.BayerMode; }
  void SetBayerMode(std::int32_t value) override { image.BayerMode = value; }
  std::uint16_t ReadFpgaRegister(std::uint8_t address) override {
    std::lock_guard lock(mutex_);
    return registers_[address];
  }
  void WriteFpgaRegister(std::uint8_t address, std::uint16_t value) override {
    std::lock_guard lock(mutex_);
    registers_[address] = value;
    registerWrites_.emplace_back(address, value);
  }
  void AddAnalogDialog(AnalogDialogView* view) override { analogDialog = view; }
  void RemoveAnalogDialog(AnalogDialogView*) override {
    autoIrisWhenCleared = analog.AutoIris;
    analogDialog = nullptr;
  }

  std::int32_t ColorType() override { return format.Color; }
  std::int32_t Image(ImageSetting setting) override { return ImageField(image, setting); }
  void SetImage(ImageSetting setting, std::int32_t value) override {
    ImageField(image, setting) = value;
  }
  void AddImageDialog(ImageDialogView* view) override { imageDialog = view; }
  void RemoveImageDialog(ImageDialogView*) override {
    whiteBalanceWhenCleared = image.BayerGainAuto;
    imageDialog = nullptr;
  }

  // --- for the tests ---
  void SetRegister(std::uint8_t address, std::uint16_t value) {
    std::lock_guard lock(mutex_);
    registers_[address] = value;
  }
  std::vector<std::uint16_t> ExposureWrites() {
    std::lock_guard lock(mutex_);
    std::vector<std::uint16_t> values;
    for (const auto& [address, value] : registerWrites_) {
      if (address == kExposureRegister) values.push_back(value);
    }
    return values;
  }
  std::vector<std::string> Calls() {
    std::lock_guard lock(mutex_);
    return calls_;
  }
  std::vector<std::int32_t> Errors() {
    std::lock_guard lock(mutex_);
    return errors_;
  }
  // Stores n size entries Size_00 .. with EH 100 + i and EV 50 + i, and the format values.
  void StoreSizeTable(int n, std::int32_t size = 0, std::int32_t color = 2,
                      std::int32_t subSample = 0, std::int32_t waitTime = 10,
                      std::int32_t clock = 0) {
    for (int i = 0; i < n; ++i) {
      const std::string key = settings::NumberedSubkeyPath(settings::kSizeKeyFormat, i);
      const std::int32_t values[7] = {1320, 1024, 100 + i, 50 + i, 39, 0, 20};
      for (int v = 0; v < 7; ++v) registry.SetValue(key, settings::kSizeEntryValues[v], values[v]);
    }
    const std::string main = settings::kMainKey;
    registry.SetValue(main, "Size", size);
    registry.SetValue(main, "Color", color);
    registry.SetValue(main, "SubSample", subSample);
    registry.SetValue(main, "WaitTime", waitTime);
    registry.SetValue(main, "Clock", clock);
  }
  std::int32_t Stored(const std::string& subkey, const char* name) {
    const std::string path =
        subkey.empty() ? settings::kMainKey : settings::SubkeyPath(subkey.c_str());
    return registry.Value(path, name).value_or(-999);
  }

  bool hasDeviceLink = true;
  std::atomic<std::int32_t> state{kIdle};
  CaptureGeometry geometry;
  CaptureFormat format;
  AnalogSettings analog;
  ImageSettings image;
  platform::MemoryRegistryStore registry;
  std::atomic<AnalogDialogView*> analogDialog{nullptr};
  std::atomic<ImageDialogView*> imageDialog{nullptr};
  // What the measurements would see once the dialog has gone, as its view is cleared.
  std::int32_t autoIrisWhenCleared = -1;
  std::int32_t whiteBalanceWhenCleared = -1;

 private:
  void Log(const char* call, std::int32_t newState) {
    std::lock_guard lock(mutex_);
    calls_.push_back(call);
    state = newState;
  }

  std::mutex mutex_;
  std::vector<std::string> calls_;
  std::vector<std::int32_t> errors_;
  std::map<std::uint8_t, std::uint16_t> registers_;
  std::vector<std::pair<std::uint8_t, std::uint16_t>> registerWrites_;
};

// Ends a modal dialog that a failed test left open, from any thread, as Cancel would.
inline void Cancel(OrvexWindow dialog) {
#if defined(_WIN32)
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
#else
  OrvexPlatform_EndDialog(dialog, 2);
#endif
}

// One of the dialogs' opening functions running on a thread of its own, as on an application's
// thread, and the modal dialog it opened.
class OpenDialog {
 public:
  explicit OpenDialog(std::function<int()> run) {
    result_ = std::async(std::launch::async, std::move(run));
    window = OrvexPlatform_WaitForDialog(10000);
  }
  ~OpenDialog() {
    if (!result_.valid()) return;
    // A test that failed half way must not leave the dialog waiting for a click.
    Cancel(window);
    result_.wait();
  }
  // Clicks a button of the dialog and waits for the opening function to return.
  int Close(std::int32_t button) {
    EXPECT_EQ(OrvexPlatform_ClickItem(window, button), 1);
    return result_.get();
  }
  OrvexWindow Page(int tab = 0) const { return OrvexPlatform_GetDialogPage(window, tab); }

  OrvexWindow window = 0;

 private:
  std::future<int> result_;
};

inline std::string ItemText(OrvexWindow window, std::int32_t id) {
  char text[256] = {};
  return OrvexPlatform_GetItemText(window, id, text, sizeof text) >= 0 ? text : "<none>";
}

inline std::string WindowText(OrvexWindow window) {
  char text[256] = {};
  return OrvexPlatform_GetWindowText(window, text, sizeof text) >= 0 ? text : "<none>";
}

inline std::vector<std::string> ListItems(OrvexWindow window, std::int32_t id) {
  std::vector<std::string> items;
  char text[256];
  for (int i = 0; i < OrvexPlatform_GetListCount(window, id); ++i) {
    OrvexPlatform_GetListItemText(window, id, i, text, sizeof text);
    items.emplace_back(text);
  }
  return items;
}

inline std::int32_t TrackbarPosition(OrvexWindow window, std::int32_t id) {
  int32_t position = -9999;
  OrvexPlatform_GetTrackbar(window, id, &position, nullptr, nullptr, nullptr);
  return position;
}

#if defined(_WIN32)
// Windows dialogs take their language from the system, which a process cannot change; this host
// answers with the language a test chose (0: the system's) and leaves the rest to the platform's.
class LanguageChoosingHost final : public platform::DialogHost {
 public:
  using WindowHandle = platform::WindowHandle;
  using DialogTemplate = platform::DialogTemplate;
  using DialogProcedure = platform::DialogProcedure;

  std::int32_t SystemLanguage() override {
    return language != 0 ? language.load() : base_.SystemLanguage();
  }
  std::intptr_t RunModal(const DialogTemplate& dialog, WindowHandle owner,
                         DialogProcedure& procedure) override {
    return base_.RunModal(dialog, owner, procedure);
  }
  WindowHandle CreatePage(const DialogTemplate& page, WindowHandle dialog, std::int32_t tabControl,
                          std::int32_t tab, DialogProcedure& procedure) override {
    return base_.CreatePage(page, dialog, tabControl, tab, procedure);
  }
  bool EndDialog(WindowHandle dialog, std::intptr_t result) override {
    return base_.EndDialog(dialog, result);
  }
  bool SetWindowPosition(WindowHandle window, std::int32_t x, std::int32_t y) override {
    return base_.SetWindowPosition(window, x, y);
  }
  bool ShowWindow(WindowHandle window, bool show) override {
    return base_.ShowWindow(window, show);
  }
  bool Post(WindowHandle window, std::function<void()> task) override {
    return base_.Post(window, std::move(task));
  }
  bool SetItemText(WindowHandle window, std::int32_t id, std::string_view text) override {
    return base_.SetItemText(window, id, text);
  }
  std::string GetItemText(WindowHandle window, std::int32_t id) override {
    return base_.GetItemText(window, id);
  }
  bool CheckItem(WindowHandle window, std::int32_t id, bool checked) override {
    return base_.CheckItem(window, id, checked);
  }
  bool IsItemChecked(WindowHandle window, std::int32_t id) override {
    return base_.IsItemChecked(window, id);
  }
  bool EnableItem(WindowHandle window, std::int32_t id, bool enable) override {
    return base_.EnableItem(window, id, enable);
  }
  bool ShowItem(WindowHandle window, std::int32_t id, bool show) override {
    return base_.ShowItem(window, id, show);
  }
  std::int32_t InsertListItem(WindowHandle window, std::int32_t id, std::int32_t index,
                              std::string_view text) override {
    return base_.InsertListItem(window, id, index, text);
  }
  bool DeleteListItem(WindowHandle window, std::int32_t id, std::int32_t index) override {
    return base_.DeleteListItem(window, id, index);
  }
  bool SetListSelection(WindowHandle window, std::int32_t id, std::int32_t index) override {
    return base_.SetListSelection(window, id, index);
  }
  std::int32_t GetListSelection(WindowHandle window, std::int32_t id) override {
    return base_.GetListSelection(window, id);
  }
  bool SetTrackbarRange(WindowHandle window, std::int32_t id, std::int32_t minimum,
                        std::int32_t maximum) override {
    return base_.SetTrackbarRange(window, id, minimum, maximum);
  }
  bool SetTrackbarPosition(WindowHandle window, std::int32_t id, std::int32_t position) override {
    return base_.SetTrackbarPosition(window, id, position);
  }
  bool SetTrackbarTickFrequency(WindowHandle window, std::int32_t id,
                                std::int32_t frequency) override {
    return base_.SetTrackbarTickFrequency(window, id, frequency);
  }
  std::int32_t GetTrackbarPosition(WindowHandle window, std::int32_t id) override {
    return base_.GetTrackbarPosition(window, id);
  }
  bool SetUpDownRange(WindowHandle window, std::int32_t id, std::int32_t minimum,
                      std::int32_t maximum) override {
    return base_.SetUpDownRange(window, id, minimum, maximum);
  }
  bool SetUpDownPosition(WindowHandle window, std::int32_t id, std::int32_t position) override {
    return base_.SetUpDownPosition(window, id, position);
  }
  bool SetUpDownBuddy(WindowHandle window, std::int32_t id, std::int32_t buddyId) override {
    return base_.SetUpDownBuddy(window, id, buddyId);
  }
  std::int32_t InsertTab(WindowHandle window, std::int32_t id, std::int32_t index,
                         std::string_view text) override {
    return base_.InsertTab(window, id, index, text);
  }
  std::int32_t GetTabSelection(WindowHandle window, std::int32_t id) override {
    return base_.GetTabSelection(window, id);
  }

  std::atomic<std::int32_t> language{0};

 private:
  platform::DialogHost& base_ = platform::Dialogs();
};
#endif

// Every test starts in English, through the dialog host of the platform.
class DialogTest : public ::testing::Test {
 protected:
  DialogTest() { SetLanguage(1033); }
  ~DialogTest() override { SetLanguage(0); }

  // The language of the dialogs opened from now on: through the platform library, as an
  // application's test sets it, where that library decides it.
  // Returns once the dialog's thread has carried out every task posted to it so far: Windows
  // handles a sent message, as the automation calls are, before the posted ones.
  void WaitForPostedTasks(OrvexWindow dialog) {
    auto ran = std::make_shared<std::promise<void>>();
    std::future<void> done = ran->get_future();
    ASSERT_TRUE(host.Post(reinterpret_cast<std::uintptr_t>(dialog), [ran] { ran->set_value(); }));
    EXPECT_EQ(done.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  }

  void SetLanguage(std::int32_t languageId) {
#if defined(_WIN32)
    languageHost_.language = languageId;
#else
    OrvexPlatform_SetSystemLanguage(languageId);
#endif
  }

 private:
#if defined(_WIN32)
  LanguageChoosingHost languageHost_;
#endif

 protected:
#if defined(_WIN32)
  platform::DialogHost& host = languageHost_;
#else
  platform::DialogHost& host = platform::Dialogs();
#endif
  FakeCamera camera;
};

}  // namespace orvex::dialogs::testing
