#pragma once

#include <OrvexSdk_QX218.h>
#include <gtest/gtest.h>
#include <orvex/platform.h>
#include <orvex/virtual_camera.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

// Each test runs in a process of its own (ctest), with its own settings directory and the
// cameras it attaches; this fixture lays that out.
class IntegrationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Memory-backed when there is one: every settings write syncs the file, and the disk is
    // shared with other builds.
    const std::filesystem::path base = access("/dev/shm", W_OK) == 0
                                           ? std::filesystem::path("/dev/shm")
                                           : std::filesystem::temp_directory_path();
    std::string pattern = (base / "orvex-test-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    configDir_ = pattern;
    setenv("XDG_CONFIG_HOME", configDir_.c_str(), 1);
    for (int index = 0; index < 8; ++index) OrvexVirtualCamera_Detach(index);
    window_ = OrvexPlatform_CreateMessageWindow();
  }

  void TearDown() override {
    OrvexPlatform_DestroyWindow(window_);
    std::error_code ignored;
    std::filesystem::remove_all(configDir_, ignored);
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

  std::filesystem::path configDir_;
  OrvexWindow window_ = 0;
};
