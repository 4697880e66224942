#pragma once

#include <gtest/gtest.h>
#include <orvex/platform.h>

#include <atomic>
#include <functional>
#include <future>
#include <map>
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

  std::int32_t AcquisitionState() override { return state; }
  void StopPreview() override { Log("StopPreview", kIdle); }
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
  void SetAnalogDialog(AnalogDialogView* view) override {
    if (view == nullptr) autoIrisWhenCleared = analog.AutoIris;
    analogDialog = view;
  }

  std::int32_t ColorType() override { return format.Color; }
  std::int32_t Image(ImageSetting setting) override { return ImageField(image, setting); }
  void SetImage(ImageSetting setting, std::int32_t value) override {
    ImageField(image, setting) = value;
  }
  void SetImageDialog(ImageDialogView* view) override {
    if (view == nullptr) whiteBalanceWhenCleared = image.BayerGainAuto;
    imageDialog = view;
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
    OrvexPlatform_EndDialog(window, 2);
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

// Every test starts in English, through the dialog host of the platform.
class DialogTest : public ::testing::Test {
 protected:
  DialogTest() { OrvexPlatform_SetSystemLanguage(1033); }
  ~DialogTest() override { OrvexPlatform_SetSystemLanguage(0); }

  platform::DialogHost& host = platform::Dialogs();
  FakeCamera camera;
};

}  // namespace orvex::dialogs::testing
