// Extreme geometries, as SetCaptureWindowEx keeps them after refusing them and as a settings file
// may hold them, through every acquisition that sizes something from them. Nothing may crash or
// overflow (the sanitizer builds stop on either); each call answers 1 or 0.
#include <climits>
#include <cstdio>
#include <initializer_list>
#include <vector>

#include "integration_fixture.h"

namespace {

constexpr int32_t kExtremes[] = {INT_MIN, -1, 0, 1, 2, 1023, 1024, 1025, 1319, 1320, 1321, INT_MAX};

// A small window that the camera accepts, so that the frames of the accepted cases stay cheap.
struct Geometry {
  int32_t TH = 1320, EHS = 39, EH = 64, TV = 1024, EVS = 0, EV = 32;
};

class GeometryExtremesTest : public IntegrationTest {
 protected:
  void SetUp() override {
    IntegrationTest::SetUp();
    ASSERT_EQ(OrvexVirtualCamera_Attach(0), 1);
    ASSERT_EQ(OrvexVirtualCamera_SetFramePeriod(0, 0), 1);
    parent_ = OrvexPlatform_CreateWindow(0, 0, 0, 640, 480);
    ASSERT_NE(parent_, OrvexWindow{});
  }
  void TearDown() override {
    OrvexPlatform_DestroyWindow(parent_);
    IntegrationTest::TearDown();
  }

  // Every acquisition that sizes windows, images or buffers from the geometry; each ends idle.
  void Acquire(CameraHandle handle, const char* what) {
    SCOPED_TRACE(what);
    std::vector<uint8_t> buffer(64);
    const auto size = static_cast<int32_t>(buffer.size());
    for (const OrvexWindow parent : {OrvexWindow{0}, parent_}) {
      EXPECT_EQ(Orvex_SetPreviewWindow(handle, parent, 0, 0, 320, 240), 1);
      const int32_t preview = Orvex_Preview(handle);
      EXPECT_TRUE(preview == 0 || preview == 1);
      EXPECT_EQ(Orvex_Close(handle), 1);
      const int32_t callBack = Orvex_CallBackPreview(handle, window_, buffer.data(), size, 0);
      EXPECT_TRUE(callBack == 0 || callBack == 1);
      EXPECT_EQ(Orvex_Close(handle), 1);
    }
    const int32_t snapshot = Orvex_SnapShot(handle, buffer.data(), size, 0);
    EXPECT_TRUE(snapshot == 0 || snapshot == 1);
    const int32_t capture = Orvex_Capture(handle);
    EXPECT_TRUE(capture == 0 || capture == 1);
    if (capture == 1) {
      EXPECT_EQ(Orvex_SnapShot(handle, nullptr, 0, 1), 1);
    }
    EXPECT_EQ(Orvex_StopPreview(handle), 1);
    PostedErrors();
  }

  // Stored settings whose entry and format hold these values, and whose filter, gray and analog
  // groups hold `image` in every value when it is given.
  void StoreSettings(const Geometry& g, int32_t buf, int32_t subSample, int32_t color,
                     const int32_t* image = nullptr) {
    std::vector<StoredKey> keys = {
        {"",
         {{"Size", 0}, {"Color", color}, {"SubSample", subSample}, {"WaitTime", 0}, {"Clock", 0}}},
        {"Size_00",
         {{"TH", g.TH},
          {"TV", g.TV},
          {"EH", g.EH},
          {"EV", g.EV},
          {"EHS", g.EHS},
          {"EVS", g.EVS},
          {"Buf", buf}}}};
    if (image != nullptr) {
      const auto group = [&](const char* key, std::initializer_list<const char*> names) {
        StoredKey& stored = keys.emplace_back(StoredKey{key, {}});
        for (const char* name : names) stored.values.emplace_back(name, *image);
      };
      group("Filter", {"Brightness", "Contrast", "Hue", "Saturation", "Sharpness", "R_Gain",
                       "G_Gain", "B_Gain", "Gamma", "BayerMode"});
      group("Gray", {"GainR1", "GainG1", "GainG2", "GainB1", "OffsetR1", "OffsetG1", "OffsetG2",
                     "OffsetB1"});
      group("Gain_00", {"Global", "ColorG1", "ColorR", "ColorB", "ColorG2", "Exposure", "V_Mirror",
                        "AutoIris"});
    }
    IntegrationTest::StoreSettings(keys);
  }

  OrvexWindow parent_ = 0;
};

TEST_F(GeometryExtremesTest, RefusedGeometriesStayStoredAndEveryAcquisitionCopes) {
  const CameraHandle handle = Orvex_Initialize(window_);
  ASSERT_NE(handle, 0);
  ASSERT_EQ(Orvex_SetWaitTime(handle, 0), 1);
  for (int field = 0; field < 6; ++field) {
    for (const int32_t value : kExtremes) {
      Geometry g;
      int32_t* fields[] = {&g.TH, &g.EHS, &g.EH, &g.TV, &g.EVS, &g.EV};
      *fields[field] = value;
      Orvex_SetCaptureWindowEx(handle, g.TH, g.EHS, g.EH, g.TV, g.EVS, g.EV);
      char what[64];
      std::snprintf(what, sizeof what, "field %d = %d", field, value);
      Acquire(handle, what);
    }
  }
  // The child window's place and size come from the application as they are.
  ASSERT_EQ(Orvex_SetCaptureWindowEx(handle, 1320, 39, 64, 1024, 0, 32), 1);
  const int32_t rects[][4] = {{INT_MIN, INT_MIN, 10, 10},
                              {INT_MAX, INT_MAX, 10, 10},
                              {-1, -1, -1, -1},
                              {0, 0, INT_MIN, INT_MIN},
                              {INT_MAX, INT_MAX, INT_MAX, INT_MAX}};
  for (const auto& r : rects) {
    EXPECT_EQ(Orvex_SetPreviewWindow(handle, parent_, r[0], r[1], r[2], r[3]), 1);
    const int32_t preview = Orvex_Preview(handle);
    EXPECT_TRUE(preview == 0 || preview == 1) << r[0] << " " << r[2];
    EXPECT_EQ(Orvex_Close(handle), 1);
  }
  EXPECT_EQ(Orvex_Release(handle), 1);
}

TEST_F(GeometryExtremesTest, ExtremeStoredEntriesAndFormatsAreSurvivedFromTheStart) {
  struct Stored {
    Geometry geometry;
    int32_t buf, subSample, color;
  };
  std::vector<Stored> cases;
  for (const int32_t value : {INT_MIN, -1, 0, 1, 2, 64, INT_MAX}) {
    cases.push_back({Geometry{}, value, 0, 2});   // buffer counts
    cases.push_back({Geometry{}, 20, value, 2});  // sub-sampling
    cases.push_back({Geometry{}, 20, 0, value});  // colour types
  }
  cases.push_back({Geometry{INT_MAX, 39, 1280, INT_MAX, 0, 1024}, INT_MAX, 3, 5});
  cases.push_back(
      {Geometry{INT_MIN, INT_MIN, INT_MIN, INT_MIN, INT_MIN, INT_MIN}, INT_MIN, INT_MIN, INT_MIN});
  for (const Stored& s : cases) {
    StoreSettings(s.geometry, s.buf, s.subSample, s.color);
    const CameraHandle handle = Orvex_Initialize(window_);
    ASSERT_NE(handle, 0);
    char what[96];
    std::snprintf(what, sizeof what, "TH %d Buf %d SubSample %d Color %d", s.geometry.TH, s.buf,
                  s.subSample, s.color);
    Acquire(handle, what);
    EXPECT_EQ(Orvex_Release(handle), 1);
  }
}

// Filter, gray and analog values straight from a settings file, never checked against their
// ranges, through every output format, the preview with its automatic exposure included.
TEST_F(GeometryExtremesTest, ExtremeStoredImageSettingsAreSurvived) {
  for (const int32_t value : {INT_MIN, -1000, -1, 1000, 65535, INT_MAX}) {
    StoreSettings(Geometry{}, 20, 0, 2, &value);
    const CameraHandle handle = Orvex_Initialize(window_);
    ASSERT_NE(handle, 0);
    ASSERT_EQ(Orvex_SetWaitTime(handle, 0), 1);
    int32_t ok = 0;
    EXPECT_EQ(Orvex_GetGamma(handle, &ok), value);  // kept as stored
    for (const int32_t bits : {8, 16, 24, 32, 48, 64}) {
      SCOPED_TRACE(std::to_string(value) + " at " + std::to_string(bits) + " bits");
      ASSERT_EQ(Orvex_SetColorMode(handle, bits), 1);
      std::vector<uint8_t> frame(64 * 8 * 32);
      EXPECT_EQ(Orvex_SnapShot(handle, frame.data(), static_cast<int32_t>(frame.size()), 0), 1);
      ASSERT_EQ(Orvex_CallBackPreview(handle, window_, nullptr, 0, 0), 1);
      int frames = 0;
      uint32_t message = 0;
      uintptr_t wParam = 0;
      intptr_t lParam = 0;
      while (frames < 3 && OrvexPlatform_GetMessage(window_, 10000, &message, &wParam, &lParam)) {
        frames += message == FrameMessage && wParam != 0;
      }
      EXPECT_EQ(frames, 3);
      EXPECT_EQ(Orvex_Close(handle), 1);
    }
    EXPECT_EQ(Orvex_Release(handle), 1);
  }
}

}  // namespace
