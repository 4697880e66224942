// Automatic exposure against the virtual camera, whose frames get darker as the exposure
// register rises: from a dark and from a bright scene the loop must come to rest with every
// measurement window inside the band.
#include <array>
#include <cstdint>
#include <vector>

#include "integration_fixture.h"

namespace {

// A quarter-size window keeps the test quick under the sanitizers; the scene is flat anyway.
constexpr int kWidth = 320;
constexpr int kHeight = 256;
constexpr int kExposureRegister = 0x52;
constexpr int kPowerOnExposure = 40;

// The five measurement windows of the frame: left, top, right, bottom, rows from the top.
constexpr std::array<std::array<int, 4>, 5> kWindows = {{{32, 25, 64, 51},
                                                         {32, 204, 64, 230},
                                                         {144, 115, 176, 140},
                                                         {256, 25, 288, 51},
                                                         {256, 204, 288, 230}}};

class AutoExposureIntegrationTest : public IntegrationTest {
 protected:
  void TearDown() override {
    if (handle_ != 0) Orvex_Release(handle_);
    IntegrationTest::TearDown();
  }

  // A flat gray scene lit at `percent` of its design (128 of 255 at the power-on exposure).
  void Open(int percent) {
    ASSERT_EQ(OrvexVirtualCamera_Attach(0), 1);
    ASSERT_EQ(OrvexVirtualCamera_SetFramePeriod(0, 0), 1);
    ASSERT_EQ(OrvexVirtualCamera_SetScene(0, ORVEX_VIRTUAL_SCENE_GRAY), 1);
    ASSERT_EQ(OrvexVirtualCamera_SetSceneLevel(0, percent), 1);
    handle_ = Orvex_Initialize(window_);
    ASSERT_EQ(Orvex_SetColorMode(handle_, 8), 1);
    ASSERT_EQ(Orvex_SetCaptureWindowEx(handle_, 1320, 39, kWidth, kHeight, 0, kHeight), 1);
    ASSERT_EQ(Orvex_SetAutoIris(handle_, 1), 1);
    ASSERT_EQ(OrvexVirtualCamera_GetRegister(0, kExposureRegister), kPowerOnExposure);
  }

  // Takes snapshots until the exposure register has held through three measurements (nine
  // frames); false when that takes more than `maxFrames`.
  bool Settle(int maxFrames) {
    int last = OrvexVirtualCamera_GetRegister(0, kExposureRegister);
    int steady = 0;
    for (int frame = 0; frame < maxFrames; ++frame) {
      if (Orvex_SnapShot(handle_, frame_.data(), static_cast<int32_t>(frame_.size()), 0) != 1) {
        ADD_FAILURE() << "snapshot " << frame << " failed, error " << Orvex_GetLastError(handle_);
        return false;
      }
      const int now = OrvexVirtualCamera_GetRegister(0, kExposureRegister);
      steady = now == last ? steady + 1 : 0;
      last = now;
      if (steady >= 9) return true;
    }
    return false;
  }

  // The window means of the last snapshot (top row first).
  std::vector<int> WindowMeans() const {
    std::vector<int> means;
    for (const auto& w : kWindows) {
      long sum = 0;
      for (int row = w[1]; row < w[3]; ++row) {
        for (int column = w[0]; column < w[2]; ++column) sum += frame_[row * kWidth + column];
      }
      means.push_back(static_cast<int>(sum / ((w[2] - w[0]) * (w[3] - w[1]))));
    }
    return means;
  }

  void ExpectInBand() const {
    for (int mean : WindowMeans()) {
      EXPECT_GE(mean, 100);
      EXPECT_LE(mean, 160);
    }
  }

  CameraHandle handle_ = 0;
  std::vector<uint8_t> frame_ = std::vector<uint8_t>(kWidth * kHeight);
};

TEST_F(AutoExposureIntegrationTest, DarkSceneSettlesBelowThePowerOnExposure) {
  Open(25);  // about 32 of 255 at the power-on exposure
  ASSERT_TRUE(Settle(60));
  const int exposure = OrvexVirtualCamera_GetRegister(0, kExposureRegister);
  EXPECT_LT(exposure, kPowerOnExposure);
  ExpectInBand();
  int32_t ok = 0;
  EXPECT_EQ(Orvex_GetExposureTime(handle_, &ok), exposure);
  EXPECT_EQ(ok, 1);
}

TEST_F(AutoExposureIntegrationTest, BrightSceneSettlesAboveThePowerOnExposure) {
  Open(300);  // 384: saturated at the power-on exposure
  ASSERT_TRUE(Settle(60));
  EXPECT_GT(OrvexVirtualCamera_GetRegister(0, kExposureRegister), kPowerOnExposure);
  ExpectInBand();
}

}  // namespace
