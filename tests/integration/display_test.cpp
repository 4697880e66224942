// The live preview on the screen, through the public headers: windows, placement and every
// pixel drawn. On Linux the screen is the headless one; on Windows the display's.
#include <algorithm>
#include <chrono>
#include <cstring>
#include <functional>
#include <thread>

#include "integration_fixture.h"

namespace {

constexpr int32_t kLine = 1320;
constexpr int32_t kRasterLines = 64;
constexpr int32_t kEHS = 40, kEVS = 2, kEH = 64, kEV = 48;

struct Bgr {
  uint8_t blue, green, red;
  bool operator==(const Bgr&) const = default;
};

class DisplayTest : public IntegrationTest {
 protected:
  void SetUp() override {
    // The preview must land on the headless screen even where an X display is reachable.
    orvex::testing::UnsetEnvironment("DISPLAY");
    IntegrationTest::SetUp();
    ASSERT_EQ(OrvexVirtualCamera_Attach(0), 1);
    ASSERT_EQ(OrvexVirtualCamera_SetFramePeriod(0, 0), 1);
    handle_ = Open(0);
    frames_ = OrvexPlatform_CreateMessageWindow();
    SetRaster(0, 1, false);
  }

  void TearDown() override {
    if (handle_ != 0) {
      EXPECT_EQ(Orvex_Release(handle_), 1);
    }
    for (OrvexWindow window : made_) OrvexPlatform_DestroyWindow(window);
    OrvexPlatform_DestroyWindow(frames_);
    OrvexPlatform_SetScreenSize(1920, 1080);
    IntegrationTest::TearDown();
  }

  // A handle on camera `index` with the small window (kEHS, kEVS) kEH x kEV.
  CameraHandle Open(int32_t index) {
    const CameraHandle handle = Orvex_Initialize(window_);
    EXPECT_NE(handle, 0);
    EXPECT_EQ(Orvex_SetDeviceNumber(handle, index), 1);
    EXPECT_EQ(Orvex_SetCaptureWindowEx(handle, kLine, kEHS, kEH, 1024, kEVS, kEV), 1);
    EXPECT_EQ(Orvex_SetWaitTime(handle, 1), 1);
    EXPECT_EQ(Orvex_SetColorMode(handle, 8), 1);
    return handle;
  }

  // The sample that the camera sends at (line, sample); `inverted` for a second camera.
  static uint32_t Value(int32_t line, int32_t sample, int bytes, bool inverted = false) {
    if (bytes == 2) {
      // The first three samples of the window show how 10-bit values are narrowed.
      if (line == kEVS && sample >= kEHS && sample < kEHS + 3) {
        const uint32_t edge[3] = {0x03FF, 0x0200, 0x0400};
        return edge[sample - kEHS];
      }
      return (line * 13 + sample * 5) % 1024;
    }
    const uint32_t v = (line * 7 + sample * 3) & 0xFF;
    return inverted ? 255 - v : v;
  }

  void SetRaster(int32_t camera, int bytes, bool inverted) {
    std::vector<uint8_t> raster(static_cast<size_t>(kLine) * kRasterLines * bytes);
    for (int32_t line = 0; line < kRasterLines; ++line) {
      for (int32_t sample = 0; sample < kLine; ++sample) {
        const uint32_t v = Value(line, sample, bytes, inverted);
        const size_t at = (static_cast<size_t>(line) * kLine + sample) * bytes;
        raster[at] = static_cast<uint8_t>(v);
        if (bytes == 2) raster[at + 1] = static_cast<uint8_t>(v >> 8);
      }
    }
    ASSERT_EQ(OrvexVirtualCamera_SetRaster(camera, raster.data(), kLine, kRasterLines, bytes), 1);
  }

  // The gray level shown for image pixel (column, row): row 0 is the first line the camera sent.
  static uint8_t Gray(int32_t column, int32_t row, int bytes = 1, bool inverted = false) {
    const uint32_t v = Value(kEVS + row, kEHS + column, bytes, inverted);
    return static_cast<uint8_t>(bytes == 2 ? (v >> 2) & 0xFF : v);
  }

  OrvexWindow AppWindow(int32_t x, int32_t y, int32_t width, int32_t height) {
    const OrvexWindow window = OrvexPlatform_CreateWindow(OrvexWindow{}, x, y, width, height);
    EXPECT_NE(window, OrvexWindow{});
    made_.push_back(window);
    return window;
  }

  static bool Eventually(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!done()) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
  }

#if defined(_WIN32)
  // Waits until the window shows a whole frame. The camera library draws into its windows with
  // GDI, which keeps no count: a frame has been drawn once the window shows more than its black
  // background, the same in two reads in a row (every frame of these tests is the same), and
  // further frames are given the time of a few.
  static bool Drawn(OrvexWindow window, int frames = 1) {
    std::vector<Bgr> last;
    const bool shown = Eventually([&] {
      int32_t width = 0, height = 0;
      const std::vector<Bgr> now = Client(window, &width, &height);
      const bool drawn = std::any_of(now.begin(), now.end(), [](Bgr p) { return p != Bgr{}; });
      const bool steady = now == last;
      last = now;
      return drawn && steady;
    });
    if (frames > 1) std::this_thread::sleep_for(std::chrono::milliseconds(50 * frames));
    return shown;
  }
#else
  // Waits until `frames` more frames were drawn into the window.
  static bool Drawn(OrvexWindow window, int frames = 1) {
    const int32_t start = std::max(OrvexPlatform_DrawCount(window), 0);
    return Eventually([&] { return OrvexPlatform_DrawCount(window) >= start + frames; });
  }
#endif

  // The client area as the screen shows it: 3 bytes a pixel, top row first.
  static std::vector<Bgr> Client(OrvexWindow window, int32_t* width, int32_t* height) {
    int32_t x = 0, y = 0;
    EXPECT_EQ(OrvexPlatform_GetClientRect(window, &x, &y, width, height), 1);
    std::vector<Bgr> pixels(static_cast<size_t>(*width) * *height);
    EXPECT_EQ(
        OrvexPlatform_ReadScreen(x, y, *width, *height, reinterpret_cast<uint8_t*>(pixels.data())),
        1);
    return pixels;
  }

  // Every pixel of the window is gray at the level of the image pixel that `source` picks.
  template <typename Source>
  static ::testing::AssertionResult ShowsGray(OrvexWindow window, Source source) {
    int32_t width = 0, height = 0;
    const std::vector<Bgr> shown = Client(window, &width, &height);
    if (width == 0) return ::testing::AssertionFailure() << "no client area";
    for (int32_t y = 0; y < height; ++y) {
      for (int32_t x = 0; x < width; ++x) {
        const Bgr got = shown[static_cast<size_t>(y) * width + x];
        const uint8_t want = source(x, y);
        if (got.blue != want || got.green != want || got.red != want) {
          return ::testing::AssertionFailure()
                 << "(" << x << ", " << y << "): " << int{got.blue} << " instead of " << int{want};
        }
      }
    }
    return ::testing::AssertionSuccess();
  }

  // A child preview window of this size at (x, y) of `parent`, showing frames.
  OrvexWindow PreviewChild(OrvexWindow parent, int32_t x, int32_t y, int32_t width,
                           int32_t height) {
    EXPECT_EQ(Orvex_SetPreviewWindow(handle_, parent, x, y, width, height), 1);
    EXPECT_EQ(Orvex_Preview(handle_), 1);
    const OrvexWindow child = OrvexPlatform_FindWindow("ActiveMovie Window");
    EXPECT_NE(child, OrvexWindow{});
    EXPECT_TRUE(Drawn(child));
    return child;
  }

  // FrameMessages posted to frames_ until `count` arrived (or none came within timeoutMs), as
  // (wParam, lParam).
  std::vector<std::pair<uintptr_t, intptr_t>> FrameMessages(size_t count,
                                                            int32_t timeoutMs = 10000) {
    std::vector<std::pair<uintptr_t, intptr_t>> received;
    uint32_t message = 0;
    uintptr_t wParam = 0;
    intptr_t lParam = 0;
    while (received.size() < count &&
           OrvexPlatform_GetMessage(frames_, timeoutMs, &message, &wParam, &lParam)) {
      if (message == FrameMessage) received.emplace_back(wParam, lParam);
    }
    return received;
  }

  CameraHandle handle_ = 0;
  OrvexWindow frames_ = 0;
  std::vector<OrvexWindow> made_;
};

// The 8-bit image at its own size, half size, twice its size and in a 640 x 480 child: the
// first line the camera sent is at the top on every path.
// Window titles are UTF-8 both ways, whatever the system's code page: a title reads back as it
// was given and finds its window.
TEST_F(DisplayTest, WindowTitlesAreUtf8BothWays) {
  const char title[] = "Vorschau \xC3\xA4 \xE3\x83\x97\xE3\x83\xAD";  // a umlaut, two kana
  const OrvexWindow window = OrvexPlatform_CreateWindowEx(OrvexWindow{}, title, 0, 0, 0, 160, 120);
  ASSERT_NE(window, OrvexWindow{});
  made_.push_back(window);
  char read[64] = {};
  EXPECT_EQ(OrvexPlatform_GetWindowText(window, read, sizeof read),
            static_cast<int32_t>(sizeof title - 1));
  EXPECT_STREQ(read, title);
  EXPECT_EQ(OrvexPlatform_FindWindow(title), window);
}

TEST_F(DisplayTest, GrayPreviewInAChildWindowOnBothPaths) {
  const OrvexWindow parent = AppWindow(100, 50, 800, 600);
  OrvexWindow child = PreviewChild(parent, 10, 20, 640, 480);
  int32_t x = 0, y = 0, w = 0, h = 0;
  ASSERT_EQ(OrvexPlatform_GetWindowRect(child, &x, &y, &w, &h), 1);
  EXPECT_EQ((std::vector<int32_t>{x, y, w, h}), (std::vector<int32_t>{110, 70, 640, 480}));
  EXPECT_TRUE(ShowsGray(child, [](int32_t cx, int32_t cy) { return Gray(cx / 10, cy / 10); }));
  uint8_t around[3];
  ASSERT_EQ(OrvexPlatform_ReadScreen(109, 69, 1, 1, around), 1);
  EXPECT_EQ(around[0], 255);  // the application's own window around the child

  child = PreviewChild(parent, 0, 0, kEH, kEV);
  EXPECT_TRUE(ShowsGray(child, [](int32_t cx, int32_t cy) { return Gray(cx, cy); }));
  child = PreviewChild(parent, 0, 0, kEH / 2, kEV / 2);
  EXPECT_TRUE(ShowsGray(child, [](int32_t cx, int32_t cy) { return Gray(2 * cx, 2 * cy + 1); }));
  child = PreviewChild(parent, 0, 0, kEH * 2, kEV * 2);
  EXPECT_TRUE(ShowsGray(child, [](int32_t cx, int32_t cy) { return Gray(cx / 2, cy / 2); }));

  EXPECT_EQ(Orvex_Close(handle_), 1);
  EXPECT_EQ(OrvexPlatform_FindWindow("ActiveMovie Window"), OrvexWindow{});
  EXPECT_EQ(OrvexPlatform_IsWindow(parent), 1);
  EXPECT_EQ(Orvex_GetLastError(handle_), 0);
}

// 10-bit samples show their bits 2 to 9, through the display image even at the image's size.
TEST_F(DisplayTest, SixteenBitGrayShowsBitsTwoToNine) {
  SetRaster(0, 2, false);
  ASSERT_EQ(Orvex_SetColorMode(handle_, 16), 1);
  const OrvexWindow child = PreviewChild(AppWindow(0, 0, 100, 100), 0, 0, kEH, kEV);
  EXPECT_TRUE(ShowsGray(child, [](int32_t cx, int32_t cy) { return Gray(cx, cy, 2); }));
  int32_t width = 0, height = 0;
  const std::vector<Bgr> shown = Client(child, &width, &height);
  EXPECT_EQ(shown[0].blue, 255);  // 0x03FF
  EXPECT_EQ(shown[1].blue, 128);  // 0x0200
  EXPECT_EQ(shown[2].blue, 0);    // 0x0400
}

// Colour formats show the output image reduced to 8 bits a channel, first row on top, at the
// image's size and twice it; the output image is read back once the preview has stopped.
TEST_F(DisplayTest, ColourPreviewShowsTheOutputImage) {
  const OrvexWindow parent = AppWindow(0, 0, 200, 200);
  for (int32_t bits : {24, 32, 48, 64}) {
    SCOPED_TRACE(bits);
    ASSERT_EQ(Orvex_SetColorMode(handle_, bits), 1);
    int32_t width = 0, height = 0;
    const std::vector<Bgr> same = Client(PreviewChild(parent, 0, 0, kEH, kEV), &width, &height);
    const std::vector<Bgr> twice =
        Client(PreviewChild(parent, 0, 0, 2 * kEH, 2 * kEV), &width, &height);
    ASSERT_EQ(Orvex_Close(handle_), 1);

    const int pixelBytes = bits / 8;
    const size_t stride = (static_cast<size_t>(kEH) * pixelBytes + 3) & ~size_t{3};
    std::vector<uint8_t> image(stride * kEV);
    // In memory order, the camera's first line first.
    ASSERT_EQ(Orvex_GetImage(handle_, image.data(), static_cast<int32_t>(image.size()), 1), 1);
    int wrong = 0;
    for (int32_t row = 0; row < kEV; ++row) {
      for (int32_t column = 0; column < kEH; ++column) {
        const uint8_t* p = image.data() + row * stride + column * pixelBytes;
        uint8_t want[3];
        for (int k = 0; k < 3; ++k) {
          want[k] = bits <= 32 ? p[k] : static_cast<uint8_t>((p[2 * k] | p[2 * k + 1] << 8) >> 2);
        }
        const Bgr a = same[static_cast<size_t>(row) * kEH + column];
        const Bgr b = twice[static_cast<size_t>(2 * row + 1) * 2 * kEH + 2 * column + 1];
        wrong += std::memcmp(&a, want, 3) != 0;
        wrong += std::memcmp(&b, want, 3) != 0;
      }
    }
    EXPECT_EQ(wrong, 0);
  }
}

// Without a parent the window is centred on the screen, also when it does not fit. The image is
// wider than the test's usual one: Windows widens a framed window below its smallest width.
TEST_F(DisplayTest, TopLevelWindowIsCentred) {
  constexpr int32_t kWideEH = 192;
  ASSERT_EQ(Orvex_SetCaptureWindowEx(handle_, kLine, kEHS, kWideEH, 1024, kEVS, kEV), 1);
  for (int32_t screenWidth : {1920, 40}) {
    SCOPED_TRACE(screenWidth);
#if defined(_WIN32)
    if (screenWidth != 1920) continue;  // the display's size cannot be changed
#endif
    const int32_t screenHeight = screenWidth == 1920 ? 1080 : 30;
    ASSERT_EQ(OrvexPlatform_SetScreenSize(screenWidth, screenHeight), 1);
    ASSERT_EQ(Orvex_Preview(handle_), 1);
    const OrvexWindow window = OrvexPlatform_FindWindow("Active Window");
    ASSERT_NE(window, OrvexWindow{});
    ASSERT_TRUE(Drawn(window));
    int32_t x = 0, y = 0, w = 0, h = 0;
    ASSERT_EQ(OrvexPlatform_GetWindowRect(window, &x, &y, &w, &h), 1);
    EXPECT_EQ(x, (screenWidth - w) / 2);
    EXPECT_EQ(y, (screenHeight - h) / 2);
    int32_t cx = 0, cy = 0, cw = 0, ch = 0;
    ASSERT_EQ(OrvexPlatform_GetClientRect(window, &cx, &cy, &cw, &ch), 1);
    EXPECT_EQ((std::vector<int32_t>{cw, ch}), (std::vector<int32_t>{kWideEH, kEV}));
    if (screenWidth == 1920) {
      EXPECT_TRUE(ShowsGray(window, [](int32_t px, int32_t py) { return Gray(px, py); }));
    } else {
      EXPECT_LT(x, 0);
      EXPECT_LT(y, 0);
    }
    EXPECT_EQ(Orvex_Close(handle_), 1);
    EXPECT_EQ(OrvexPlatform_IsWindow(window), 0);
  }
}

TEST_F(DisplayTest, PreviewWhileCapturingLeavesTheHandleIdleWithoutAWindow) {
  ASSERT_EQ(Orvex_Capture(handle_), 1);
  EXPECT_EQ(Orvex_Preview(handle_), 0);
  EXPECT_EQ(OrvexPlatform_FindWindow("Active Window"), OrvexWindow{});
  EXPECT_EQ(Orvex_GetLastError(handle_), 0);
  EXPECT_EQ(Orvex_StartPreview(handle_), 1);  // refused while capturing: the handle is idle
  EXPECT_EQ(Orvex_StopPreview(handle_), 1);
}

TEST_F(DisplayTest, PreviewTwiceKeepsOneWindow) {
  ASSERT_EQ(Orvex_Preview(handle_), 1);
  const OrvexWindow first = OrvexPlatform_FindWindow("Active Window");
  ASSERT_TRUE(Drawn(first));
  ASSERT_EQ(Orvex_Preview(handle_), 1);
  const OrvexWindow second = OrvexPlatform_FindWindow("Active Window");
  EXPECT_NE(second, first);
  EXPECT_EQ(OrvexPlatform_IsWindow(first), 0);
  EXPECT_TRUE(Drawn(second, 2));
  EXPECT_EQ(Orvex_Close(handle_), 1);
  EXPECT_EQ(OrvexPlatform_IsWindow(second), 0);
}

TEST_F(DisplayTest, CallBackPreviewRefusesABufferOneByteShort) {
  std::vector<uint8_t> buffer(static_cast<size_t>(kEH) * kEV - 1);
  ASSERT_EQ(Orvex_CallBackPreview(handle_, frames_, buffer.data(),
                                  static_cast<int32_t>(buffer.size()), 0),
            1);
  const auto received = FrameMessages(3);
  ASSERT_EQ(Orvex_Close(handle_), 1);
  ASSERT_EQ(received.size(), 3u);
  for (const auto& [wParam, lParam] : received) {
    EXPECT_EQ(wParam, 0u);
    EXPECT_EQ(lParam, ErrorBuffer);
  }
  for (const auto& [wParam, lParam] : FrameMessages(1000, 0)) EXPECT_EQ(wParam, 0u);
  EXPECT_EQ(Orvex_GetLastError(handle_), ErrorBuffer);
  const auto errors = PostedErrors();
  ASSERT_FALSE(errors.empty());
  EXPECT_EQ(errors.front(), ErrorBuffer);
}

// A CallBackPreview whose window cannot be made returns 0 and leaves no preview running: the
// frames of a preview already running would otherwise go on into the buffer of the call that
// failed, which its caller may free as soon as the call has returned.
TEST_F(DisplayTest, CallBackPreviewThatFailsLeavesNoPreviewWritingItsBuffer) {
  std::vector<uint8_t> first(static_cast<size_t>(kEH) * kEV), second(first.size());
  const auto size = static_cast<int32_t>(first.size());
  ASSERT_EQ(Orvex_CallBackPreview(handle_, frames_, first.data(), size, 0), 1);
  ASSERT_EQ(FrameMessages(1).size(), 1u);
  const OrvexWindow gone = OrvexPlatform_CreateWindow(OrvexWindow{}, 0, 0, 50, 50);
  OrvexPlatform_DestroyWindow(gone);
  ASSERT_EQ(Orvex_SetPreviewWindow(handle_, gone, 0, 0, 40, 30), 1);
  EXPECT_EQ(Orvex_CallBackPreview(handle_, frames_, second.data(), size, 0), 0);
  EXPECT_EQ(Orvex_GetLastError(handle_), ErrorWindow);
  std::fill(second.begin(), second.end(), 0xA5);
  const int32_t sent = OrvexVirtualCamera_FramesSent(0);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(OrvexVirtualCamera_FramesSent(0), sent);
  EXPECT_TRUE(std::all_of(second.begin(), second.end(), [](uint8_t b) { return b == 0xA5; }));
}

TEST_F(DisplayTest, CallBackPreviewWithoutABufferAnnouncesEveryFrame) {
  ASSERT_EQ(Orvex_CallBackPreview(handle_, frames_, nullptr, 0, 0), 1);
  const auto received = FrameMessages(3);
  ASSERT_EQ(received.size(), 3u);
  for (const auto& [wParam, lParam] : received) {
    ASSERT_NE(wParam, 0u);
    EXPECT_EQ(wParam, received[0].first);
    EXPECT_EQ(lParam, 0);
  }
  FrameInfo info;
  std::memcpy(&info, reinterpret_cast<const void*>(received[0].first), sizeof info);
  EXPECT_EQ(info.size, 24);
  EXPECT_EQ(info.width, kEH);
  EXPECT_EQ(info.height, kEV);
  EXPECT_EQ(info.bitsPerPixel, 8);
  EXPECT_EQ(Orvex_Close(handle_), 1);
  EXPECT_EQ(Orvex_GetLastError(handle_), 0);
}

// Two handles preview two cameras into two windows; closing one leaves the other running.
TEST_F(DisplayTest, TwoHandlesPreviewIntoTwoWindows) {
  ASSERT_EQ(OrvexVirtualCamera_Attach(1), 1);
  ASSERT_EQ(OrvexVirtualCamera_SetFramePeriod(1, 0), 1);
  SetRaster(1, 1, true);
  const CameraHandle other = Open(1);
  const OrvexWindow parent = AppWindow(0, 0, 300, 100);
  const OrvexWindow first = PreviewChild(parent, 0, 0, kEH, kEV);
  ASSERT_EQ(Orvex_SetPreviewWindow(other, parent, 100, 0, kEH, kEV), 1);
  ASSERT_EQ(Orvex_Preview(other), 1);
  const OrvexWindow second = OrvexPlatform_FindWindow("ActiveMovie Window");
  ASSERT_NE(second, first);
  ASSERT_TRUE(Drawn(second));

  EXPECT_TRUE(ShowsGray(first, [](int32_t x, int32_t y) { return Gray(x, y); }));
  EXPECT_TRUE(ShowsGray(second, [](int32_t x, int32_t y) { return Gray(x, y, 1, true); }));

  EXPECT_EQ(Orvex_Close(handle_), 1);
  EXPECT_EQ(OrvexPlatform_IsWindow(first), 0);
  EXPECT_TRUE(Drawn(second, 2));
  EXPECT_TRUE(ShowsGray(second, [](int32_t x, int32_t y) { return Gray(x, y, 1, true); }));
  EXPECT_EQ(Orvex_Release(other), 1);
  EXPECT_EQ(OrvexPlatform_IsWindow(second), 0);
}

TEST_F(DisplayTest, ReleasingAPreviewingHandleStopsAndRemovesEverything) {
  ASSERT_EQ(Orvex_Preview(handle_), 1);
  const OrvexWindow window = OrvexPlatform_FindWindow("Active Window");
  ASSERT_TRUE(Drawn(window, 2));
  EXPECT_EQ(Orvex_Release(handle_), 1);
  handle_ = 0;
  EXPECT_EQ(OrvexPlatform_IsWindow(window), 0);
  EXPECT_EQ(OrvexVirtualCamera_WaitingReads(0), 0);
}

// The application may destroy its window, and the child with it, under a running preview.
TEST_F(DisplayTest, PreviewSurvivesTheParentGoing) {
  const OrvexWindow parent = OrvexPlatform_CreateWindow(OrvexWindow{}, 0, 0, 100, 100);
  ASSERT_EQ(Orvex_SetPreviewWindow(handle_, parent, 0, 0, kEH, kEV), 1);
  ASSERT_EQ(Orvex_CallBackPreview(handle_, frames_, nullptr, 0, 0), 1);
  const OrvexWindow child = OrvexPlatform_FindWindow("ActiveMovie Window");
  ASSERT_TRUE(Drawn(child));
  ASSERT_EQ(OrvexPlatform_DestroyWindow(parent), 1);
  EXPECT_EQ(OrvexPlatform_IsWindow(child), 0);
  EXPECT_EQ(FrameMessages(3).size(), 3u);  // frames go on, drawn nowhere
  EXPECT_EQ(Orvex_Close(handle_), 1);
}

}  // namespace
