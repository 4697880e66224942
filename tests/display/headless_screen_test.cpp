// The headless screen of the OrvexPlatform library, and the library's window system on it.
#include <gtest/gtest.h>
#include <orvex/platform.h>

#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

#include "platform/headless/headless_window_system.h"

namespace orvex {
namespace {

struct Bgr {
  std::uint8_t blue, green, red;
  bool operator==(const Bgr&) const = default;
};

class HeadlessScreenTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(OrvexPlatform_SetScreenSize(200, 100), 1); }
  void TearDown() override {
    for (OrvexWindow window : made_) OrvexPlatform_DestroyWindow(window);
    OrvexPlatform_SetScreenSize(1920, 1080);
  }

  OrvexWindow Make(OrvexWindow window) {
    EXPECT_NE(window, 0u);
    made_.push_back(window);
    return window;
  }

  static Bgr At(std::int32_t x, std::int32_t y) {
    std::uint8_t bgr[3] = {};
    EXPECT_EQ(OrvexPlatform_ReadScreen(x, y, 1, 1, bgr), 1);
    return Bgr{bgr[0], bgr[1], bgr[2]};
  }

  static constexpr Bgr kBlack{0, 0, 0};
  static constexpr Bgr kRed{0, 0, 255};
  static constexpr Bgr kGreen{0, 255, 0};
  static constexpr Bgr kBlue{255, 0, 0};

 private:
  std::vector<OrvexWindow> made_;
};

TEST_F(HeadlessScreenTest, ShowsWindowsStackedAndChildrenClippedToTheirParents) {
  const OrvexWindow a = Make(OrvexPlatform_CreateWindow(0, 10, 10, 50, 40));
  const OrvexWindow child = Make(OrvexPlatform_CreateWindow(a, 40, 30, 30, 30));
  const OrvexWindow b = Make(OrvexPlatform_CreateWindow(0, 30, 20, 20, 20));
  OrvexPlatform_FillWindow(a, 255, 0, 0);
  OrvexPlatform_FillWindow(child, 0, 0, 255);
  OrvexPlatform_FillWindow(b, 0, 255, 0);

  EXPECT_EQ(At(5, 5), kBlack);
  EXPECT_EQ(At(15, 15), kRed);
  EXPECT_EQ(At(35, 25), kGreen);  // the later window lies above
  EXPECT_EQ(At(55, 45), kBlue);   // the child at (40, 30) of its parent's client area
  EXPECT_EQ(At(65, 45), kBlack);  // cut off at the parent's right edge (x 60)
  EXPECT_EQ(At(55, 52), kBlack);  // and its bottom (y 50)

  std::int32_t x = 0, y = 0, w = 0, h = 0;
  ASSERT_EQ(OrvexPlatform_GetWindowRect(child, &x, &y, &w, &h), 1);
  EXPECT_EQ((std::vector<std::int32_t>{x, y, w, h}), (std::vector<std::int32_t>{50, 40, 30, 30}));
  EXPECT_EQ(OrvexPlatform_GetParent(child), a);

  // Hiding the parent hides what lies inside it.
  ASSERT_EQ(OrvexPlatform_ShowWindow(a, 0), 1);
  EXPECT_EQ(OrvexPlatform_IsWindowVisible(child), 0);
  EXPECT_EQ(At(15, 15), kBlack);
  EXPECT_EQ(At(55, 45), kBlack);
  EXPECT_EQ(At(35, 25), kGreen);

  // Destroying it takes the child along.
  ASSERT_EQ(OrvexPlatform_DestroyWindow(a), 1);
  EXPECT_EQ(OrvexPlatform_IsWindow(child), 0);
  EXPECT_EQ(OrvexPlatform_DrawCount(child), -1);
}

TEST_F(HeadlessScreenTest, FramedWindowsSurroundTheirClientArea) {
  std::int32_t left = 0, top = 0, right = 22, bottom = 12;
  ASSERT_EQ(OrvexPlatform_AdjustWindowRect(ORVEX_PLATFORM_FRAMED, &left, &top, &right, &bottom), 1);
  const OrvexWindow framed =
      Make(OrvexPlatform_CreateWindowEx(0, "framed", ORVEX_PLATFORM_VISIBLE | ORVEX_PLATFORM_FRAMED,
                                        100, 10, right - left, bottom - top));
  std::int32_t x = 0, y = 0, w = 0, h = 0;
  ASSERT_EQ(OrvexPlatform_GetClientRect(framed, &x, &y, &w, &h), 1);
  EXPECT_EQ((std::vector<std::int32_t>{x, y, w, h}),
            (std::vector<std::int32_t>{100 - left, 10 - top, 22, 12}));
  ASSERT_EQ(OrvexPlatform_GetWindowRect(framed, &x, &y, &w, &h), 1);
  EXPECT_EQ((std::vector<std::int32_t>{x, y, w, h}),
            (std::vector<std::int32_t>{100, 10, right - left, bottom - top}));
  EXPECT_EQ(At(100, 10), (Bgr{128, 128, 128}));
  EXPECT_EQ(At(100 - left, 10 - top), kBlack);  // the client area starts black
  EXPECT_EQ(OrvexPlatform_FindWindow("framed"), framed);

  // A window made hidden is not shown until asked.
  const OrvexWindow hidden = Make(OrvexPlatform_CreateWindowEx(0, "framed", 0, 0, 0, 5, 5));
  EXPECT_EQ(OrvexPlatform_FindWindow("framed"), hidden);
  EXPECT_EQ(OrvexPlatform_IsWindowVisible(hidden), 0);
  EXPECT_EQ(OrvexPlatform_SetFocus(hidden), 1);
  EXPECT_EQ(OrvexPlatform_GetFocus(), hidden);
  OrvexPlatform_DestroyWindow(hidden);
  EXPECT_EQ(OrvexPlatform_GetFocus(), 0u);
}

TEST_F(HeadlessScreenTest, ReadsOnlyInsideTheScreen) {
  std::uint8_t bgr[3 * 4];
  EXPECT_EQ(OrvexPlatform_ReadScreen(198, 98, 2, 2, bgr), 1);
  EXPECT_EQ(OrvexPlatform_ReadScreen(199, 98, 2, 2, bgr), 0);
  EXPECT_EQ(OrvexPlatform_ReadScreen(-1, 0, 1, 1, bgr), 0);
  EXPECT_EQ(OrvexPlatform_ReadScreen(0, 0, 1, 1, nullptr), 0);
  EXPECT_EQ(OrvexPlatform_SetScreenSize(0, 10), 0);
}

TEST_F(HeadlessScreenTest, DrawBitsTakesRowsEitherWayAndCutsToTheClientArea) {
  const OrvexWindow window = Make(OrvexPlatform_CreateWindow(0, 0, 0, 4, 3));
  // Three rows of two 8-bit pixels stored bottom-up: the block's top row is the last in memory.
  const std::uint8_t indices[3][4] = {{1, 2, 0, 0}, {3, 4, 0, 0}, {5, 6, 0, 0}};
  std::uint8_t palette[256 * 4] = {};
  for (int i = 0; i < 256; ++i) palette[i * 4 + 2] = static_cast<std::uint8_t>(i * 10);  // red
  ASSERT_EQ(OrvexPlatform_DrawBits(window, 3, 0, 2, 3, indices[2], -4, 8, palette), 1);
  EXPECT_EQ(At(3, 0), (Bgr{0, 0, 50}));
  EXPECT_EQ(At(3, 2), (Bgr{0, 0, 10}));
  EXPECT_EQ(At(4, 0), kBlack);  // outside the window: pixel 6 was cut off
  EXPECT_EQ(At(2, 0), (Bgr{255, 255, 255}));
  EXPECT_EQ(OrvexPlatform_DrawCount(window), 1);
  EXPECT_EQ(OrvexPlatform_DrawBits(window, 0, 0, 1, 1, indices, 4, 16, nullptr), 0);
}

// A 3 x 2 picture of 8-bit samples through the library's window system.
class HeadlessDrawingTest : public HeadlessScreenTest {
 protected:
  void SetUp() override {
    HeadlessScreenTest::SetUp();
    window_ = Make(OrvexPlatform_CreateWindow(0, 0, 0, 8, 8));
    dc_ = windows_.GetWindowDc(window_);
    ASSERT_EQ(dc_, window_);
    header_.width = 3;
    header_.height = 2;
    header_.planes = 1;
    header_.bitCount = 8;
    for (int i = 0; i < 256; ++i) {
      gray_[i] = platform::RgbQuad{static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(i),
                                   static_cast<std::uint8_t>(i), 0};
    }
  }

  platform::BitmapView View(const platform::BitmapInfoHeader* header) const {
    return platform::BitmapView{0, pixels_, header, gray_};
  }
  // The gray levels of a row of the window.
  static std::vector<int> Row(std::int32_t y, std::int32_t width) {
    std::vector<int> levels;
    for (std::int32_t x = 0; x < width; ++x) levels.push_back(At(x, y).blue);
    return levels;
  }

  platform::HeadlessWindowSystem windows_;
  OrvexWindow window_ = 0;
  platform::GraphicsHandle dc_ = 0;
  platform::BitmapInfoHeader header_;
  platform::RgbQuad gray_[256];
  // Memory rows of 4 bytes: row 0 holds 10 11 12, row 1 holds 20 21 22.
  const std::uint8_t pixels_[8] = {10, 11, 12, 0, 20, 21, 22, 0};
};

TEST_F(HeadlessDrawingTest, SetDiBitsToDeviceReadsBottomUpAndTopDownBitmaps) {
  EXPECT_EQ(windows_.SetDiBitsToDevice(dc_, 0, 0, 3, 2, 0, 0, 0, 2, View(&header_)), 2);
  EXPECT_EQ(Row(0, 3), (std::vector<int>{20, 21, 22}));
  EXPECT_EQ(Row(1, 3), (std::vector<int>{10, 11, 12}));

  platform::BitmapInfoHeader topDown = header_;
  topDown.height = -2;
  EXPECT_EQ(windows_.SetDiBitsToDevice(dc_, 0, 0, 3, 2, 0, 0, 0, 2, View(&topDown)), 2);
  EXPECT_EQ(Row(0, 3), (std::vector<int>{10, 11, 12}));
  EXPECT_EQ(Row(1, 3), (std::vector<int>{20, 21, 22}));

  // A source origin counts from the bottom-left corner of a bottom-up bitmap.
  EXPECT_EQ(windows_.SetDiBitsToDevice(dc_, 4, 0, 2, 1, 1, 0, 0, 2, View(&header_)), 1);
  EXPECT_EQ(Row(0, 6), (std::vector<int>{10, 11, 12, 255, 11, 12}));
  // Only the scan lines handed over are drawn.
  EXPECT_EQ(windows_.SetDiBitsToDevice(dc_, 0, 4, 3, 2, 0, 0, 1, 1, View(&header_)), 1);
  EXPECT_EQ(Row(4, 3), (std::vector<int>{10, 11, 12}));  // scan 1 is the first row handed over
  EXPECT_EQ(Row(5, 3), (std::vector<int>{255, 255, 255}));
}

TEST_F(HeadlessDrawingTest, StretchBltMirrorsAndScales) {
  // A negative source height from the bottom edge turns the bottom-up rows over.
  ASSERT_TRUE(windows_.StretchBlt(dc_, 0, 0, 3, 2, View(&header_), 0, 2, 3, -2));
  EXPECT_EQ(Row(0, 3), (std::vector<int>{10, 11, 12}));
  EXPECT_EQ(Row(1, 3), (std::vector<int>{20, 21, 22}));
  ASSERT_TRUE(windows_.StretchBlt(dc_, 0, 0, 3, 2, View(&header_), 0, 0, 3, 2));
  EXPECT_EQ(Row(0, 3), (std::vector<int>{20, 21, 22}));

  ASSERT_TRUE(windows_.StretchBlt(dc_, 0, 2, 6, 4, View(&header_), 0, 2, 3, -2));
  EXPECT_EQ(Row(2, 6), (std::vector<int>{10, 10, 11, 11, 12, 12}));
  EXPECT_EQ(Row(3, 6), (std::vector<int>{10, 10, 11, 11, 12, 12}));
  EXPECT_EQ(Row(5, 6), (std::vector<int>{20, 20, 21, 21, 22, 22}));
}

TEST_F(HeadlessDrawingTest, WindowsAndTheirDeviceContextsComeAndGo) {
  EXPECT_TRUE(windows_.RegisterWindowClass("VideoRenderer_1_2"));
  const platform::WindowHandle child = windows_.CreateChildWindow(
      "VideoRenderer_1_2", "ActiveMovie Window", window_, 1, 2, 3, 4, 6540);
  ASSERT_NE(child, 0u);
  EXPECT_TRUE(windows_.IsWindowVisible(child));
  platform::WindowRect client;
  ASSERT_TRUE(windows_.GetClientRect(child, &client));
  EXPECT_EQ(client.right, 3);
  EXPECT_EQ(client.bottom, 4);
  const platform::GraphicsHandle dc = windows_.GetWindowDc(child);
  EXPECT_NE(dc, 0u);
  EXPECT_TRUE(windows_.DestroyWindow(child));
  // Drawing through the context of a window that has gone draws nothing and harms nothing.
  EXPECT_EQ(windows_.SetDiBitsToDevice(dc, 0, 0, 3, 2, 0, 0, 0, 2, View(&header_)), 0);
  EXPECT_FALSE(windows_.StretchBlt(dc, 0, 0, 3, 2, View(&header_), 0, 2, 3, -2));
  EXPECT_TRUE(windows_.ReleaseWindowDc(child, dc));
  EXPECT_EQ(windows_.GetWindowDc(child), 0u);
  EXPECT_TRUE(windows_.UnregisterWindowClass("VideoRenderer_1_2"));
}

// One thread draws while another moves the window and reads the screen.
TEST_F(HeadlessDrawingTest, DrawingAndReadingFromTwoThreads) {
  std::atomic<bool> done{false};
  std::thread drawer([&] {
    for (int i = 0; i < 300; ++i) windows_.StretchBlt(dc_, 0, 0, 6, 4, View(&header_), 0, 2, 3, -2);
    done = true;
  });
  std::vector<std::uint8_t> bgr(8 * 8 * 3);
  for (int i = 0; i < 50 || !done.load(); ++i) {
    EXPECT_EQ(OrvexPlatform_ReadScreen(0, 0, 8, 8, bgr.data()), 1);
    OrvexPlatform_MoveWindow(window_, 0, 0, 4 + i % 5, 8);
  }
  drawer.join();
  EXPECT_EQ(OrvexPlatform_DrawCount(window_), 300);
}

}  // namespace
}  // namespace orvex
