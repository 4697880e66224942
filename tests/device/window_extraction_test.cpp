#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "device/device_fixture.h"

namespace orvex::testing {
namespace {

using ExtractionTest = DeviceFixture;

constexpr std::uint8_t kGuard = 0xEE;

// Every byte holds its index in the frame mod 251, so that neighbours and lines differ.
void FillWithSampleIndex(RecordingDriverPort& port) {
  port.SetFrameFiller([](std::uint32_t, std::uint8_t* buffer, std::uint32_t length) {
    for (std::uint32_t i = 0; i < length; ++i) buffer[i] = static_cast<std::uint8_t>(i % 251);
  });
}

struct Geometry {
  std::int32_t lineLength, hStart, width, frameLines, vStart, height;
};

TEST_F(ExtractionTest, EightBitWindowRowsArePacked) {
  auto link = MakeLink({0});
  FillWithSampleIndex(port_);
  const Geometry g{20, 3, 11, 12, 2, 7};
  ASSERT_EQ(
      link->ConfigureFrame(g.lineLength, g.hStart, g.width, g.frameLines, g.vStart, g.height, 2),
      0);
  ASSERT_EQ(link->StartSingleFrame(), 0);

  const std::size_t size = static_cast<std::size_t>(g.width) * g.height;
  std::vector<std::uint8_t> window(size + 16, kGuard);
  ASSERT_EQ(link->CopySingleFrame(window.data()), 0);
  for (int r = 0; r < g.height; ++r) {
    for (int c = 0; c < g.width; ++c) {
      const int sample = (g.vStart + r) * g.lineLength + g.hStart + c;
      ASSERT_EQ(window[r * g.width + c], sample % 251) << r << "," << c;
    }
  }
  EXPECT_TRUE(
      std::all_of(window.begin() + size, window.end(), [](std::uint8_t b) { return b == kGuard; }));

  // Line vStart - 1 and sample hStart - 1 of a line never reach the window.
  const std::uint8_t lineBefore = (g.vStart - 1) * g.lineLength + g.hStart;
  const std::uint8_t sampleBefore = g.vStart * g.lineLength + g.hStart - 1;
  EXPECT_EQ(std::count(window.begin(), window.begin() + size, lineBefore), 0);
  EXPECT_EQ(std::count(window.begin(), window.begin() + size, sampleBefore), 0);
}

TEST_F(ExtractionTest, FullWidthWindowIsOneBlock) {
  auto link = MakeLink({0});
  FillWithSampleIndex(port_);
  ASSERT_EQ(link->ConfigureFrame(32, 0, 32, 10, 2, 5, 2), 0);
  ASSERT_EQ(link->StartSingleFrame(), 0);
  std::vector<std::uint8_t> window(32 * 5);
  ASSERT_EQ(link->CopySingleFrame(window.data()), 0);
  for (std::size_t i = 0; i < window.size(); ++i) ASSERT_EQ(window[i], (64 + i) % 251) << i;
}

TEST_F(ExtractionTest, SixteenBitSamplesKeepTheirByteOrder) {
  auto link = MakeLink({0});
  const Geometry g{20, 3, 11, 12, 2, 7};
  ASSERT_EQ(
      link->ConfigureFrame(g.lineLength, g.hStart, g.width, g.frameLines, g.vStart, g.height, 2),
      0);
  link->SetSampleWidth(1);
  // The first window sample arrives as 0x34, 0x12.
  const int first = g.vStart * g.lineLength + g.hStart;
  port_.SetFrameFiller([first](std::uint32_t, std::uint8_t* buffer, std::uint32_t length) {
    for (std::uint32_t s = 0; s + 1 < length; s += 2) {
      const std::uint32_t value = s / 2 == static_cast<std::uint32_t>(first) ? 0x1234 : s / 2;
      buffer[s] = static_cast<std::uint8_t>(value);
      buffer[s + 1] = static_cast<std::uint8_t>(value >> 8);
    }
  });
  ASSERT_EQ(link->StartSingleFrame(), 0);

  const std::size_t size = static_cast<std::size_t>(g.width) * g.height;
  std::vector<std::uint16_t> window(size + 8, 0xEEEE);
  ASSERT_EQ(link->CopySingleFrame(window.data()), 0);
  EXPECT_EQ(window[0], 0x1234);
  for (int r = 0; r < g.height; ++r) {
    for (int c = (r == 0 ? 1 : 0); c < g.width; ++c) {
      const int sample = (g.vStart + r) * g.lineLength + g.hStart + c;
      ASSERT_EQ(window[r * g.width + c], sample) << r << "," << c;
    }
  }
  EXPECT_TRUE(std::all_of(window.begin() + size, window.end(),
                          [](std::uint16_t v) { return v == 0xEEEE; }));
}

TEST_F(ExtractionTest, StreamCopyMovesReadPosAndWraps) {
  auto link = MakeLink({0});
  ASSERT_EQ(link->ConfigureFrame(8, 0, 8, 4, 0, 4, 3), 0);
  // Frame k holds k + 1, so an untouched buffer reads 0.
  port_.SetFrameFiller([](std::uint32_t sequence, std::uint8_t* buffer, std::uint32_t length) {
    std::memset(buffer, static_cast<int>(sequence + 1), length);
  });
  FrameHold hold(port_);
  ASSERT_EQ(link->StartStream(), 0);
  port_.ReleaseFrames(2);  // frames 0 and 1 in buffers 0 and 1
  ASSERT_TRUE(port_.WaitForFrameReads(3));
  ASSERT_EQ(link->PollStream(), 3);  // buffer 1

  std::vector<std::uint8_t> window(32, kGuard);
  EXPECT_EQ(link->CopyStreamFrame(nullptr), 14);  // readPos stays on buffer 1
  ASSERT_EQ(link->CopyStreamFrame(window.data()), 0);
  EXPECT_EQ(window[0], 2);
  ASSERT_EQ(link->CopyStreamFrame(window.data()), 0);  // buffer 2, the last, not yet filled
  EXPECT_EQ(window[0], 0);
  ASSERT_EQ(link->CopyStreamFrame(window.data()), 0);  // wrapped to buffer 0
  EXPECT_EQ(window[0], 1);
  EXPECT_EQ(window[31], 1);

  port_.StopHolding();
  EXPECT_EQ(link->StopStream(), 0);
}

TEST_F(ExtractionTest, NullDestinationAndStaleTimingAreRefused) {
  auto link = MakeLink({0});
  ASSERT_EQ(link->ConfigureFrame(64, 0, 64, 16, 0, 16, 2), 0);
  EXPECT_EQ(link->CopySingleFrame(nullptr), 14);
  EXPECT_EQ(link->CopyStreamFrame(nullptr), 14);

  // After a device change the reset timing no longer fits the buffers: no copy reads past them.
  ASSERT_EQ(link->SelectDevice(0), 0);
  std::vector<std::uint8_t> window(1339 * 1040);
  EXPECT_EQ(link->CopySingleFrame(window.data()), 3);
  EXPECT_EQ(link->CopyStreamFrame(window.data()), 3);

  // Buffers large enough for the reset timing: its window fits them but not a destination
  // sized for the window the caller checked, and is refused by size.
  ASSERT_EQ(link->ConfigureFrame(1400, 0, 640, 1024, 0, 1024, 2), 0);
  ASSERT_EQ(link->StartSingleFrame(), 0);
  ASSERT_EQ(link->StartStream(), 0);
  ASSERT_EQ(link->SelectDevice(0), 0);
  const DeviceLink::WindowSize checked{640, 1024, 1};
  std::vector<std::uint8_t> sized(640 * 1024 + 16, kGuard);
  EXPECT_EQ(link->CopySingleFrame(sized.data(), &checked), 3);
  EXPECT_EQ(link->CopyStreamFrame(sized.data(), &checked), 3);
  EXPECT_TRUE(std::all_of(sized.begin(), sized.end(), [](std::uint8_t b) { return b == kGuard; }));
  EXPECT_EQ(link->CopySingleFrame(window.data()), 0);  // unchecked: the reset window
  EXPECT_EQ(link->StopStream(), 0);
}

}  // namespace
}  // namespace orvex::testing
