#pragma once

#include <OrvexSdk_QX218.h>
#include <gtest/gtest.h>
#include <orvex/platform.h>
#include <orvex/virtual_camera.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "support/portable.h"

// Each test runs in a process of its own (ctest), with its own settings and the cameras it
// attaches; this fixture lays that out. On Linux the settings live in a directory of the test;
// on Windows in the user's registry, which the test clears before and after (the Windows suite
// runs these tests one at a time, as they share the registry and the driver's cameras).
class IntegrationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    orvex::testing::UseDoublePrecisionArithmetic();
    configDir_ = orvex::testing::MakeTemporaryDirectory("orvex-test-");
    ASSERT_FALSE(configDir_.empty());
    orvex::testing::SetEnvironment("XDG_CONFIG_HOME", configDir_.string().c_str());
    ClearStoredSettings();
    for (int index = 0; index < 8; ++index) OrvexVirtualCamera_Detach(index);
    window_ = OrvexPlatform_CreateMessageWindow();
  }

  void TearDown() override {
    OrvexPlatform_DestroyWindow(window_);
    ClearStoredSettings();
    std::error_code ignored;
    std::filesystem::remove_all(configDir_, ignored);
  }

  static void ClearStoredSettings() {
#if defined(_WIN32)
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Helvane\\OrvexQX218Sdk");
#endif
  }

  // Values as stored settings, key by key: the subkey below the library's key ("" for that key
  // itself) and its DWORD values.
  struct StoredKey {
    std::string subkey;
    std::vector<std::pair<std::string, std::int32_t>> values;
  };

  // Replaces every stored setting with these, as a settings file or the registry would hold them
  // (on Linux a new file put in place of the old one, which the library then reads afresh).
  void StoreSettings(const std::vector<StoredKey>& keys) {
    const std::string root = "Software\\Helvane\\OrvexQX218Sdk";
#if defined(_WIN32)
    ClearStoredSettings();
    for (const StoredKey& key : keys) {
      const std::string path = key.subkey.empty() ? root : root + "\\" + key.subkey;
      HKEY opened = nullptr;
      ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                                nullptr, &opened, nullptr),
                ERROR_SUCCESS);
      for (const auto& [name, value] : key.values) {
        const auto dword = static_cast<DWORD>(value);
        EXPECT_EQ(RegSetValueExA(opened, name.c_str(), 0, REG_DWORD,
                                 reinterpret_cast<const BYTE*>(&dword), sizeof dword),
                  ERROR_SUCCESS);
      }
      RegCloseKey(opened);
    }
#else
    const std::filesystem::path dir = configDir_ / "Helvane";
    std::filesystem::create_directories(dir);
    {
      std::ofstream file(dir / "new.reg", std::ios::binary | std::ios::trunc);
      file << "Windows Registry Editor Version 5.00\r\n";
      for (const StoredKey& key : keys) {
        file << "\r\n[HKEY_CURRENT_USER\\" << root << (key.subkey.empty() ? "" : "\\") << key.subkey
             << "]\r\n";
        for (const auto& [name, value] : key.values) {
          char line[96];
          std::snprintf(line, sizeof line, "\"%s\"=dword:%08x\r\n", name.c_str(),
                        static_cast<std::uint32_t>(value));
          file << line;
        }
      }
    }
    std::filesystem::rename(dir / "new.reg", dir / "OrvexQX218Sdk.reg");
#endif
  }

  // Error codes posted to the message window so far, in order.
  std::vector<intptr_t> PostedErrors() {
    std::vector<intptr_t> codes;
    uint32_t message = 0;
    uintptr_t wParam = 0;
    intptr_t lParam = 0;
    while (OrvexPlatform_GetMessage(window_, 0, &message, &wParam, &lParam)) {
      if (message == ErrorMessage) codes.push_back(lParam);
    }
    return codes;
  }

  // Starts `dialog` (a modal dialog export) on `thread` and waits for its window. A dialog that
  // never showed cannot be closed: its thread is then left to itself, and no window returned.
  template <class Dialog>
  static OrvexWindow OpenDialog(std::thread& thread, Dialog dialog) {
    thread = std::thread(std::move(dialog));
    const OrvexWindow window = OrvexPlatform_WaitForDialog(10000);
    if (window == OrvexWindow{}) thread.detach();
    return window;
  }

  std::filesystem::path configDir_;
  OrvexWindow window_{};
};
