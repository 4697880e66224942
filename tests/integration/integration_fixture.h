#pragma once

#include <OrvexSdk_QX218.h>
#include <gtest/gtest.h>
#include <orvex/platform.h>
#include <orvex/virtual_camera.h>

#include <filesystem>
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
