// DrawFrame on the headless screen: both paths for every ColorType, pixel for pixel.
#include <cstring>

#include "display_fixture.h"

namespace orvex::testing {
namespace {

class FrameDrawingTest : public DisplayTest {
 protected:
  // A visible window of this client size inside an application window, used as the context's
  // preview window.
  OrvexWindow UseWindow(std::int32_t width, std::int32_t height) {
    if (parent_ == 0) parent_ = AppWindow(0, 0, 1300, 1030);
    const OrvexWindow window =
        OrvexPlatform_CreateWindowEx(parent_, "view", ORVEX_PLATFORM_VISIBLE, 0, 0, width, height);
    EXPECT_NE(window, 0u);
    context.Window().previewWindow = window;
    context.Window().previewDc = window;
    return window;
  }

  void Prepare(std::int32_t color) {
    context.Settings().format.Color = color;
    ASSERT_EQ(context.Acquisition().PrepareCapture(), 1);
  }

  // The shown level of channel k (blue, green, red) of the pixel at memory row r, column c.
  static std::uint8_t Level(std::int32_t r, std::int32_t c, int k) {
    return static_cast<std::uint8_t>(r * 37 + c * 11 + k * 85 + 1);
  }

  // Fills the output image of `color` so that it shows Level(); 16-bit samples carry low bits
  // and bit 10, which are not shown.
  void Fill(std::int32_t color) {
    ImageBuffer& out = *context.Images().OutputImageFor(color);
    const int bytes = out.bitsPerPixel / 8;
    const bool words = color == 1 || color >= 4;
    const int channels = color == 0 || color == 1 ? 1 : 3;
    for (std::int32_t r = 0; r < out.height; ++r) {
      for (std::int32_t c = 0; c < out.width; ++c) {
        std::uint8_t* p = out.pixels + static_cast<std::size_t>(r) * out.stride + c * bytes;
        std::memset(p, 0xA5, bytes);
        for (int k = 0; k < channels; ++k) {
          if (words) {
            const unsigned w = Level(r, c, k) * 4u + (r + c) % 4 + ((r + k) % 2) * 0x400u;
            p[2 * k] = static_cast<std::uint8_t>(w);
            p[2 * k + 1] = static_cast<std::uint8_t>(w >> 8);
          } else {
            p[k] = Level(r, c, k);
          }
        }
      }
    }
  }

  // Every pixel of the window shows Level() of the memory row and column that `source` gives.
  template <typename Source>
  ::testing::AssertionResult Shows(OrvexWindow window, std::int32_t color, Source source) {
    std::int32_t width = 0, height = 0;
    const std::vector<std::uint8_t> shown = Client(window, &width, &height);
    const bool gray = color == 0 || color == 1;
    for (std::int32_t y = 0; y < height; ++y) {
      for (std::int32_t x = 0; x < width; ++x) {
        std::int32_t r = 0, c = 0;
        source(x, y, &c, &r);
        for (int k = 0; k < 3; ++k) {
          const std::uint8_t want = Level(r, c, gray ? 0 : k);
          const std::uint8_t got = shown[(static_cast<std::size_t>(y) * width + x) * 3 + k];
          if (got != want) {
            return ::testing::AssertionFailure()
                   << "screen (" << x << ", " << y << ") channel " << k << ": " << int{got}
                   << " instead of " << int{want} << " (row " << r << ")";
          }
        }
      }
    }
    return ::testing::AssertionSuccess();
  }

  static void Same(std::int32_t x, std::int32_t y, std::int32_t* c, std::int32_t* r) {
    *c = x;
    *r = y;
  }

  OrvexWindow parent_ = 0;
};

// The first memory row holds the first line the camera sent, and is shown at the top on every
// path; ColorType 1 goes through the display image even at the image's size.
TEST_F(FrameDrawingTest, EveryColorTypeAtImageSizeShowsTheFirstRowOnTop) {
  const OrvexWindow window = UseWindow(EH, EV);
  const char* const paths[6] = {
      "SetDiBitsToDevice 13x6 header 13x-6x8",  "SetDiBitsToDevice 13x6 header 13x6x8",
      "SetDiBitsToDevice 13x6 header 13x-6x24", "SetDiBitsToDevice 13x6 header 13x-6x24",
      "SetDiBitsToDevice 13x6 header 13x-6x24", "SetDiBitsToDevice 13x6 header 13x-6x24"};
  for (std::int32_t color = 0; color <= 5; ++color) {
    SCOPED_TRACE(color);
    Prepare(color);
    Fill(color);
    screen.ClearLog();
    context.Window().DrawFrame(context.Images(), context.Settings().format.Color);
    EXPECT_TRUE(Shows(window, color, Same));
    std::vector<std::string> draws = screen.Calls("SetDiBits");
    for (const std::string& blit : screen.Calls("StretchBlt")) draws.push_back(blit);
    EXPECT_EQ(draws, std::vector<std::string>{paths[color]});
  }
}

// A full-size view in a window of half its size shows source column 2x of memory row 2y + 1
// (the display image's memory row i takes memory row 1023 - 2i of the view, and is shown as
// screen row 511 - i); one column wider, the first two columns repeat column 0.
TEST_F(FrameDrawingTest, FullSizeViewHalvedAndOneColumnWider) {
  context.Settings().format.Color = 0;
  ASSERT_EQ(context.Images().RawImage8->Create(1280, 1024, 8), 1);
  Fill(0);
  const OrvexWindow half = UseWindow(640, 512);
  context.Window().DrawFrame(context.Images(), context.Settings().format.Color);
  EXPECT_TRUE(Shows(half, 0, [](std::int32_t x, std::int32_t y, std::int32_t* c, std::int32_t* r) {
    *c = 2 * x;
    *r = 2 * y + 1;
  }));

  OrvexPlatform_DestroyWindow(half);
  const OrvexWindow wider = UseWindow(1281, 1024);
  context.Window().DrawFrame(context.Images(), context.Settings().format.Color);
  EXPECT_TRUE(Shows(wider, 0, [](std::int32_t x, std::int32_t y, std::int32_t* c, std::int32_t* r) {
    *c = x == 0 ? 0 : x - 1;
    *r = y;
  }));
}

TEST_F(FrameDrawingTest, DisplayImageIsRemadeOnlyForANewSizeOrDepth) {
  const OrvexWindow window = UseWindow(20, 10);
  screen.ClearLog();
  Prepare(0);
  EXPECT_EQ(screen.Calls("CreateDibSection 20x10").size(), 1u);
  Fill(0);
  for (int i = 0; i < 3; ++i)
    context.Window().DrawFrame(context.Images(), context.Settings().format.Color);
  EXPECT_EQ(screen.Calls("CreateDibSection 20x10").size(), 1u);

  ASSERT_EQ(OrvexPlatform_MoveWindow(window, 0, 0, 24, 10), 1);
  for (int i = 0; i < 3; ++i)
    context.Window().DrawFrame(context.Images(), context.Settings().format.Color);
  EXPECT_EQ(screen.Calls("CreateDibSection 24x10").size(), 1u);

  // A colour format drawn through a gray display image of the right size would show nonsense.
  context.Settings().format.Color = 2;
  Fill(2);
  context.Window().DrawFrame(context.Images(), context.Settings().format.Color);
  EXPECT_EQ(screen.Calls("CreateDibSection 24x10x24").size(), 1u);
  EXPECT_EQ(context.Images().DisplayImage->bitsPerPixel, 24);
}

TEST_F(FrameDrawingTest, NothingIsDrawnWithoutAVisibleWindowOfSomeSize) {
  const OrvexWindow window = UseWindow(EH, EV);
  Prepare(2);
  context.Window().DrawFrame(context.Images(), context.Settings().format.Color);
  ASSERT_EQ(OrvexPlatform_DrawCount(window), 1);

  OrvexPlatform_ShowWindow(parent_, 0);
  context.Window().DrawFrame(context.Images(), context.Settings().format.Color);
  OrvexPlatform_ShowWindow(parent_, 1);
  context.Window().previewDc = 0;
  context.Window().DrawFrame(context.Images(), context.Settings().format.Color);
  context.Window().previewDc = window;
  OrvexPlatform_MoveWindow(window, 0, 0, 0, 5);
  context.Window().DrawFrame(context.Images(), context.Settings().format.Color);
  EXPECT_EQ(OrvexPlatform_DrawCount(window), 1);

  OrvexPlatform_DestroyWindow(window);
  context.Window().DrawFrame(context.Images(), context.Settings().format.Color);  // harmless
  context.Window().previewWindow = 0;
  context.Window().previewDc = 0;
}

}  // namespace
}  // namespace orvex::testing
