// Frames from the virtual camera to the application through the public interface.
#include <algorithm>
#include <chrono>
#include <fstream>
#include <iterator>
#include <thread>

#include "integration_fixture.h"

namespace {

constexpr int32_t kLine = 1320;
constexpr int32_t kLines = 1024;
// The raster covers the lines the tests read; the camera sends zeros below it.
constexpr int32_t kRasterLines = 64;

class FramesTest : public IntegrationTest {
 protected:
  void SetUp() override {
    IntegrationTest::SetUp();
    ASSERT_EQ(OrvexVirtualCamera_Attach(0), 1);
    handle_ = Orvex_Initialize(window_);
    ASSERT_NE(handle_, 0);
    ASSERT_EQ(Orvex_GetLastError(handle_), 0);
  }
  void TearDown() override {
    EXPECT_EQ(Orvex_Release(handle_), 1);
    IntegrationTest::TearDown();
  }

  // A raster of whole lines with every sample different from its neighbours.
  static uint32_t Value(int32_t line, int32_t sample, int bytes) {
    return bytes == 1 ? (line * 7 + sample * 3) & 0xFF : (line * 13 + sample * 5) % 1024;
  }
  void SetRaster(int bytes) {
    std::vector<uint8_t> raster(static_cast<size_t>(kLine) * kRasterLines * bytes);
    for (int32_t line = 0; line < kRasterLines; ++line) {
      for (int32_t sample = 0; sample < kLine; ++sample) {
        const uint32_t v = Value(line, sample, bytes);
        const size_t at = (static_cast<size_t>(line) * kLine + sample) * bytes;
        raster[at] = static_cast<uint8_t>(v);
        if (bytes == 2) raster[at + 1] = static_cast<uint8_t>(v >> 8);
      }
    }
    ASSERT_EQ(OrvexVirtualCamera_SetRaster(0, raster.data(), kLine, kRasterLines, bytes), 1);
  }

  // What the application should receive for window (ehs, evs, eh, ev), in memory order (the
  // camera's first line first) or reversed.
  static std::vector<uint8_t> Expected(int bytes, int32_t ehs, int32_t evs, int32_t eh, int32_t ev,
                                       bool bottomUp) {
    const size_t stride = (static_cast<size_t>(eh) * bytes + 3) & ~size_t{3};
    std::vector<uint8_t> image(stride * ev, 0);
    for (int32_t row = 0; row < ev; ++row) {
      const size_t at = (bottomUp ? row : ev - 1 - row) * stride;
      for (int32_t column = 0; column < eh; ++column) {
        const uint32_t v = Value(evs + row, ehs + column, bytes);
        image[at + column * bytes] = static_cast<uint8_t>(v);
        if (bytes == 2) image[at + column * 2 + 1] = static_cast<uint8_t>(v >> 8);
      }
    }
    return image;
  }

  // Rows agree in their pixels; the bytes that pad a row to its stride carry no image.
  static bool SamePixels(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b,
                         int32_t width, int bytes) {
    const size_t rowBytes = static_cast<size_t>(width) * bytes;
    const size_t stride = (rowBytes + 3) & ~size_t{3};
    if (a.size() != b.size()) return false;
    for (size_t at = 0; at < a.size(); at += stride) {
      if (!std::equal(a.begin() + at, a.begin() + at + rowBytes, b.begin() + at)) return false;
    }
    return true;
  }

  CameraHandle handle_ = 0;
};

// Widths that are not a multiple of the row alignment make the library spread the rows.
TEST_F(FramesTest, SnapShotReturnsTheRasterExactlyInBothRowOrders) {
  ASSERT_EQ(OrvexVirtualCamera_SetFramePeriod(0, 0), 1);
  struct Case {
    int32_t bits, bytes, ehs, eh, evs, ev;
  };
  for (const Case& c : {Case{8, 1, 7, 1278, 3, 40}, Case{16, 2, 39, 1277, 0, 64}}) {
    SetRaster(c.bytes);
    ASSERT_EQ(Orvex_SetColorMode(handle_, c.bits), 1);
    ASSERT_EQ(Orvex_SetCaptureWindowEx(handle_, kLine, c.ehs, c.eh, kLines, c.evs, c.ev), 1);
    for (const bool bottomUp : {true, false}) {
      std::vector<uint8_t> buffer(Expected(c.bytes, 0, 0, c.eh, c.ev, true).size());
      ASSERT_EQ(Orvex_SnapShot(handle_, buffer.data(), static_cast<int32_t>(buffer.size()),
                               bottomUp ? 1 : 0),
                1);
      EXPECT_TRUE(
          SamePixels(buffer, Expected(c.bytes, c.ehs, c.evs, c.eh, c.ev, bottomUp), c.eh, c.bytes))
          << c.bits << " bits, bottomUp " << bottomUp;
    }
  }
  EXPECT_EQ(PostedErrors(), std::vector<intptr_t>{});
}

// A capture prepared once serves the snapshots after it only while the format and the window's
// size stay: one taken after either changed is refused as a frame that does not fit, never a
// success that left the buffer untouched or copied an image of another format; a window that
// only moved is taken, and unprepared snapshots work again.
TEST_F(FramesTest, SnapShotAfterCaptureRefusesANewFormatOrWindowSize) {
  ASSERT_EQ(OrvexVirtualCamera_SetFramePeriod(0, 0), 1);
  SetRaster(1);
  struct Case {
    int32_t fromBits, toBits, toEHS, toHeight;
  };
  const int32_t kWidth = 40, kHeight = 24;
  for (const Case& c :
       {Case{8, 32, 40, kHeight}, Case{24, 32, 40, kHeight}, Case{16, 48, 40, kHeight},
        Case{48, 64, 40, kHeight}, Case{32, 8, 40, kHeight}, Case{24, 24, 40, kHeight + 8},
        Case{32, 32, 44, kHeight}}) {
    ASSERT_EQ(Orvex_SetColorMode(handle_, c.fromBits), 1);
    ASSERT_EQ(Orvex_SetCaptureWindowEx(handle_, kLine, 40, kWidth, kLines, 2, kHeight), 1);
    ASSERT_EQ(Orvex_Capture(handle_), 1);
    ASSERT_EQ(Orvex_SetColorMode(handle_, c.toBits), 1);
    ASSERT_EQ(Orvex_SetCaptureWindowEx(handle_, kLine, c.toEHS, kWidth, kLines, 2, c.toHeight), 1);
    const size_t stride = (static_cast<size_t>(kWidth) * c.toBits / 8 + 3) & ~size_t{3};
    std::vector<uint8_t> buffer(stride * c.toHeight, 0xA5);
    const auto size = static_cast<int32_t>(buffer.size());
    const bool moved = c.fromBits == c.toBits && c.toHeight == kHeight;
    EXPECT_EQ(Orvex_SnapShot(handle_, buffer.data(), size, 1), moved ? 1 : 0)
        << c.fromBits << " to " << c.toBits << ", " << c.toHeight << " lines";
    EXPECT_EQ(Orvex_GetLastError(handle_), moved ? 0 : 8);
    EXPECT_EQ(std::all_of(buffer.begin(), buffer.end(), [](uint8_t b) { return b == 0xA5; }),
              !moved);
    ASSERT_EQ(Orvex_StopPreview(handle_), 1);  // back to Idle: the next snapshot prepares
    EXPECT_EQ(Orvex_SnapShot(handle_, buffer.data(), size, 1), 1);
  }
}

TEST_F(FramesTest, PreviewDeliversTheRasterCountedAtTheCamera) {
  SetRaster(1);
  ASSERT_EQ(Orvex_SetColorMode(handle_, 8), 1);
  ASSERT_EQ(Orvex_SetCaptureWindowEx(handle_, kLine, 39, 1280, kLines, 0, kRasterLines), 1);
  const std::vector<uint8_t> expected = Expected(1, 39, 0, 1280, kRasterLines, true);
  std::vector<uint8_t> buffer(expected.size());

  const int32_t sentBefore = OrvexVirtualCamera_FramesSent(0);
  ASSERT_EQ(Orvex_StartPreview(handle_), 1);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (OrvexVirtualCamera_FramesSent(0) < sentBefore + 2 &&
         std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  ASSERT_GE(OrvexVirtualCamera_FramesSent(0), sentBefore + 2);
  // The preview thread takes frames after its own sleep; wait until one has been processed.
  bool delivered = false;
  while (!delivered && std::chrono::steady_clock::now() < deadline) {
    ASSERT_EQ(Orvex_GetImage(handle_, buffer.data(), static_cast<int32_t>(buffer.size()), 1), 1);
    delivered = buffer == expected;
    if (!delivered) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  EXPECT_EQ(Orvex_StopPreview(handle_), 1);

  std::fill(buffer.begin(), buffer.end(), 0);
  ASSERT_EQ(Orvex_GetImage(handle_, buffer.data(), static_cast<int32_t>(buffer.size()), 1), 1);
  EXPECT_TRUE(buffer == expected);
  EXPECT_EQ(PostedErrors(), std::vector<intptr_t>{});
}

// A colour mode or geometry changed under a running preview makes every frame fail until the
// application restarts it, whether or not the new one has the same sample width or size: each
// camera frame fails once, announced once, and no frame after the first failure is announced
// as delivered.
TEST_F(FramesTest, AFrameThePreviewCannotTakeFailsOncePerCameraFrame) {
  struct Change {
    const char* what;
    int32_t colorBefore, colorAfter;
    int32_t ehsAfter, ehAfter;
  };
  const Change changes[] = {
      {"48 to 8 bits", 48, 8, 39, 64},       {"24 to 32 bits", 24, 32, 39, 64},
      {"32 to 24 bits", 32, 24, 39, 64},     {"8 to 24 bits", 8, 24, 39, 64},
      {"a narrower window", 24, 24, 39, 32}, {"the window moved", 24, 24, 41, 64},
  };
  ASSERT_EQ(OrvexVirtualCamera_SetFramePeriod(0, 20'000), 1);
  ASSERT_EQ(Orvex_SetWaitTime(handle_, 0), 1);
  const OrvexWindow frames = OrvexPlatform_CreateMessageWindow();
  std::vector<uint8_t> buffer(64 * 32 * 8);
  for (const Change& change : changes) {
    SCOPED_TRACE(change.what);
    ASSERT_EQ(Orvex_SetCaptureWindowEx(handle_, kLine, 39, 64, kLines, 0, 32), 1);
    ASSERT_EQ(Orvex_SetColorMode(handle_, change.colorBefore), 1);
    ASSERT_EQ(Orvex_CallBackPreview(handle_, frames, buffer.data(),
                                    static_cast<int32_t>(buffer.size()), 0),
              1);
    uint32_t message = 0;
    uintptr_t wParam = 0;
    intptr_t lParam = 0;
    ASSERT_EQ(OrvexPlatform_GetMessage(frames, 10'000, &message, &wParam, &lParam), 1);
    ASSERT_EQ(Orvex_SetColorMode(handle_, change.colorAfter), 1);
    ASSERT_EQ(
        Orvex_SetCaptureWindowEx(handle_, kLine, change.ehsAfter, change.ehAfter, kLines, 0, 32),
        1);
    const int32_t sentBefore = OrvexVirtualCamera_FramesSent(0);
    int failed = 0;
    int deliveredAfterFailure = 0;
    const auto count = [&] {
      if (message != FrameMessage) return;
      if (wParam == 0 && lParam == ErrorFrameRead) ++failed;
      if (wParam != 0 && failed > 0) ++deliveredAfterFailure;
    };
    // A loaded machine may take long to fail the first frame; wait for it rather than a fixed
    // time. Frames taken before the change may still be announced ahead of it.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (failed == 0 && std::chrono::steady_clock::now() < deadline &&
           OrvexPlatform_GetMessage(frames, 20'000, &message, &wParam, &lParam)) {
      count();
    }
    ASSERT_GE(failed, 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(Orvex_StopPreview(handle_), 1);
    const int32_t sent = OrvexVirtualCamera_FramesSent(0) - sentBefore;
    while (OrvexPlatform_GetMessage(frames, 0, &message, &wParam, &lParam)) count();
    // The frames sent meanwhile, and the one or two already waiting in the ring.
    EXPECT_LE(failed, sent + 2);
    EXPECT_EQ(deliveredAfterFailure, 0);
  }
  OrvexPlatform_DestroyWindow(frames);
  Orvex_Close(handle_);
}

TEST_F(FramesTest, SaveImageWritesTheLastFrame) {
  ASSERT_EQ(OrvexVirtualCamera_SetFramePeriod(0, 0), 1);
  SetRaster(1);
  ASSERT_EQ(Orvex_SetColorMode(handle_, 8), 1);
  ASSERT_EQ(Orvex_SetCaptureWindowEx(handle_, kLine, 5, 9, kLines, 2, 2), 1);
  ASSERT_EQ(Orvex_SnapShot(handle_, nullptr, 0, 1), 1);

  const std::string path = (configDir_ / "frame.csv").string();
  ASSERT_EQ(Orvex_SaveImage(handle_, path.c_str(), 0), 1);
  std::ifstream file(path, std::ios::binary);
  const std::string text{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  std::string expected;
  for (int32_t line = 2; line < 4; ++line) {
    for (int32_t sample = 5; sample < 14; ++sample) {
      expected += std::to_string(Value(line, sample, 1)) + (sample < 13 ? "," : ";\r\n");
    }
  }
  EXPECT_EQ(text, expected);
}

}  // namespace
