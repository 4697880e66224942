#include <chrono>
#include <cstdint>
#include <functional>
#include <limits>
#include <thread>
#include <vector>

#include "device/device_fixture.h"

namespace orvex::testing {
namespace {

using EngineTest = DeviceFixture;

// Waits for something another thread will do for certain; the deadline only keeps a broken
// build from hanging the suite.
bool Eventually(const std::function<bool()>& done) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::yield();
  }
  return true;
}

// A window of 8 x 4 samples in lines of 8: every frame is 1024 samples after rounding.
constexpr std::int32_t kLine = 8;
constexpr std::int32_t kLines = 4;

int ConfigureSmall(DeviceLink& link, std::int32_t buffers) {
  return link.ConfigureFrame(kLine, 0, kLine, kLines, 0, kLines, buffers);
}

// The default port fills every byte of a frame with the read's sequence number; a copy of the
// window tells which frame a buffer holds.
int CopiedFrame(DeviceLink& link) {
  std::vector<std::uint8_t> window(kLine * kLines, 0xEE);
  if (link.CopyStreamFrame(window.data()) != 0) return -1;
  for (std::uint8_t byte : window) {
    if (byte != window[0]) return -2;
  }
  return window[0];
}

TEST_F(EngineTest, ConfigureFrameSizesTheTransfer) {
  auto link = MakeLink({0});
  ASSERT_EQ(link->ConfigureFrame(1320, 39, 1280, 1024, 0, 1024, 20), 0);
  EXPECT_EQ(link->TransferSamples(), 1351680);
  EXPECT_EQ(link->BufferCount(), 20);
  EXPECT_EQ(link->LineLength(), 1320);
  EXPECT_EQ(link->HStart(), 39);
  EXPECT_EQ(link->Width(), 1280);
  EXPECT_EQ(link->FrameLines(), 1024);
  EXPECT_EQ(link->VStart(), 0);
  EXPECT_EQ(link->Height(), 1024);
  // 1351680 = 0x0014A000, least significant byte first.
  ASSERT_EQ(Commands().size(), 1u);
  EXPECT_EQ(Commands()[0].sent, Packet({0x09, 0x00, 0xA0, 0x14, 0x00}));

  // 16-bit samples read twice the bytes into buffers sized for them.
  ASSERT_EQ(link->StartSingleFrame(), 0);
  link->SetSampleWidth(1);
  ASSERT_EQ(link->StartSingleFrame(), 0);
  const auto reads = port_.RequestsOnPipe(2);
  ASSERT_EQ(reads.size(), 2u);
  EXPECT_EQ(reads[0].length, 1351680u);
  EXPECT_EQ(reads[1].length, 2703360u);

  // Rounded up to a multiple of 1024, or left as it is.
  ASSERT_EQ(link->ConfigureFrame(1000, 0, 1000, 10, 3, 7, 2), 0);
  EXPECT_EQ(link->TransferSamples(), 10240);
  ASSERT_EQ(link->ConfigureFrame(1024, 0, 1024, 1, 0, 1, 2), 0);
  EXPECT_EQ(link->TransferSamples(), 1024);
}

TEST_F(EngineTest, RefusedGeometryChangesNothing) {
  auto link = MakeLink({0});
  ASSERT_EQ(link->ConfigureFrame(16, 2, 12, 8, 1, 6, 2), 0);
  port_.ClearLog();

  struct Case {
    std::int32_t values[7];
    int result;
  };
  const std::int32_t big = std::numeric_limits<std::int32_t>::max();
  const Case cases[] = {
      {{1320, 41, 1280, 1024, 0, 1024, 20}, 3},  // window past the line
      {{0, 0, 1, 1, 0, 1, 2}, 3},
      {{16, -1, 8, 8, 0, 4, 2}, 3},              // before the line
      {{16, 0, big, 8, 0, 4, 2}, 3},             // hStart + width overflows
      {{1320, 39, 1280, 1024, 1, 1024, 20}, 4},  // window past the frame
      {{16, 0, 8, 8, 0, 0, 2}, 4},
      {{16, 0, 8, 8, -1, 4, 2}, 4},
      {{16, 0, 8, big, big, 4, 2}, 4},
      {{16, 0, 8, 8, 0, 4, 1}, 1},
      {{16, 0, 8, 8, 0, 4, -5}, 1},
      {{1 << 20, 0, 8, 1 << 20, 0, 1 << 20, 2}, 7},  // 2^40 samples
      {{1320, 39, 1280, 1024, 0, 1024, big}, 7},
  };
  for (const Case& c : cases) {
    const auto* v = c.values;
    EXPECT_EQ(link->ConfigureFrame(v[0], v[1], v[2], v[3], v[4], v[5], v[6]), c.result)
        << v[0] << " " << v[1] << " " << v[2] << " " << v[3] << " " << v[4] << " " << v[5] << " "
        << v[6];
  }

  EXPECT_EQ(link->TransferSamples(), 1024);
  EXPECT_EQ(link->BufferCount(), 2);
  EXPECT_EQ(link->LineLength(), 16);
  EXPECT_EQ(link->HStart(), 2);
  EXPECT_EQ(link->Width(), 12);
  EXPECT_EQ(link->FrameLines(), 8);
  EXPECT_EQ(link->VStart(), 1);
  EXPECT_EQ(link->Height(), 6);
  EXPECT_TRUE(port_.Requests().empty());

  // The old buffers still work.
  std::vector<std::uint8_t> window(12 * 6);
  EXPECT_EQ(link->StartSingleFrame(), 0);
  EXPECT_EQ(link->CopySingleFrame(window.data()), 0);
  ASSERT_EQ(link->StartStream(), 0);
  EXPECT_EQ(link->StopStream(), 0);
  EXPECT_EQ(link->CopyStreamFrame(window.data()), 0);
}

TEST_F(EngineTest, NothingStartsWithoutBuffers) {
  auto link = MakeLink({0});
  std::vector<std::uint8_t> window(1339 * 1040);
  EXPECT_EQ(link->StartSingleFrame(), 7);
  EXPECT_EQ(link->StartStream(), 7);
  EXPECT_EQ(link->PollStream(), 0);
  EXPECT_EQ(link->StopStream(), 0);
  EXPECT_EQ(link->CopySingleFrame(window.data()), 7);
  EXPECT_EQ(link->CopyStreamFrame(window.data()), 7);
  EXPECT_EQ(link->CopySingleFrame(nullptr), 14);
  EXPECT_TRUE(port_.Requests().empty());
}

TEST_F(EngineTest, SingleFrameResults) {
  auto link = MakeLink({0});
  ASSERT_EQ(ConfigureSmall(*link, 2), 0);
  port_.ClearLog();

  EXPECT_EQ(link->StartSingleFrame(), 0);
  EXPECT_EQ(link->FinishSingleFrame(), 0);
  auto reads = port_.RequestsOnPipe(2);
  ASSERT_EQ(reads.size(), 1u);
  EXPECT_EQ(reads[0].code, platform::kControlCodeDirectIn);
  EXPECT_EQ(reads[0].length, 1024u);
  EXPECT_EQ(reads[0].path, RecordingDriverPort::DevicePath(0));
  EXPECT_EQ(clock_.PriorityRaises(), 1);

  port_.QueueShort(2, 1023);
  EXPECT_EQ(link->StartSingleFrame(), 19);
  EXPECT_EQ(link->FinishSingleFrame(), 19);
  port_.QueueFailure(2);
  EXPECT_EQ(link->StartSingleFrame(), 19);
  EXPECT_EQ(link->StartSingleFrame(), 0);

  port_.SetNullHandles(true);
  EXPECT_EQ(link->StartSingleFrame(), 10);
  port_.SetNullHandles(false);

  port_.SetPresent(0, false);
  EXPECT_EQ(link->StartSingleFrame(), 19);
  EXPECT_EQ(port_.OpenHandleCount(), 0);
}

TEST_F(EngineTest, SecondSingleFrameWhileOneRunsIsRefused) {
  auto link = MakeLink({0});
  ASSERT_EQ(ConfigureSmall(*link, 2), 0);
  FrameHold hold(port_);

  int first = -1;
  std::thread caller([&] { first = link->StartSingleFrame(); });
  EXPECT_TRUE(port_.WaitForFrameReads(1));
  EXPECT_EQ(link->StartSingleFrame(), 21);
  EXPECT_EQ(link->FinishSingleFrame(), 21);
  EXPECT_EQ(ConfigureSmall(*link, 3), 21);
  port_.ReleaseFrames(1);
  caller.join();

  EXPECT_EQ(first, 0);
  EXPECT_EQ(link->FinishSingleFrame(), 0);
  EXPECT_EQ(port_.RequestsOnPipe(2).size(), 1u);
}

TEST_F(EngineTest, PollTakesTheNewestFrameAndWaitsForTheNext) {
  auto link = MakeLink({0});
  ASSERT_EQ(ConfigureSmall(*link, 20), 0);
  port_.ClearLog();
  FrameHold hold(port_);

  ASSERT_EQ(link->StartStream(), 0);
  EXPECT_EQ(link->StartStream(), 21);
  EXPECT_EQ(ConfigureSmall(*link, 3), 21);
  ASSERT_TRUE(port_.WaitForFrameReads(1));
  EXPECT_EQ(link->PollStream(), 2);

  // Buffers 0 to 4 complete; the reader waits in buffer 5.
  port_.ReleaseFrames(5);
  ASSERT_TRUE(port_.WaitForFrameReads(6));
  EXPECT_EQ(link->PollStream(), 3);
  EXPECT_EQ(link->PollStream(), 3);  // still buffer 4
  EXPECT_EQ(CopiedFrame(*link), 4);
  EXPECT_EQ(link->PollStream(), 2);  // readPos 5, not complete yet

  port_.ReleaseFrames(1);
  ASSERT_TRUE(port_.WaitForFrameReads(7));
  EXPECT_EQ(link->PollStream(), 3);
  EXPECT_EQ(CopiedFrame(*link), 5);

  // Each frame: the stream request on pipe 0, then the read on pipe 2.
  const auto requests = port_.Requests();
  ASSERT_GE(requests.size(), 4u);
  EXPECT_EQ(requests[0].pipe, 0u);
  EXPECT_EQ(requests[0].code, platform::kControlCodeDirectOut);
  EXPECT_EQ(requests[0].sent, Packet({0x02}));
  EXPECT_EQ(requests[1].pipe, 2u);
  EXPECT_EQ(requests[1].code, platform::kControlCodeDirectIn);
  EXPECT_EQ(requests[1].length, 1024u);

  port_.StopHolding();
  EXPECT_EQ(link->StopStream(), 0);
  EXPECT_EQ(link->PollStream(), 0);
  EXPECT_EQ(link->StopStream(), 0);
  EXPECT_EQ(port_.OpenHandleCount(), 0);
  EXPECT_EQ(clock_.PriorityRaises(), 1);
}

TEST_F(EngineTest, WrappingReaderJumpsOverTheConsumersBuffer) {
  auto link = MakeLink({0});
  ASSERT_EQ(ConfigureSmall(*link, 20), 0);
  FrameHold hold(port_);
  ASSERT_EQ(link->StartStream(), 0);

  // Frames 0 to 19 fill buffers 0 to 19; readPos is 0, so the reader goes on in buffer 1.
  port_.ReleaseFrames(20);
  ASSERT_TRUE(port_.WaitForFrameReads(21));
  EXPECT_EQ(link->PollStream(), 3);
  EXPECT_EQ(CopiedFrame(*link), 0);  // buffer 0 kept frame 0

  port_.ReleaseFrames(1);
  ASSERT_TRUE(port_.WaitForFrameReads(22));
  EXPECT_EQ(link->PollStream(), 3);
  EXPECT_EQ(CopiedFrame(*link), 20);  // frame 20 went to buffer 1

  port_.StopHolding();
  EXPECT_EQ(link->StopStream(), 0);
}

TEST_F(EngineTest, FailedReadEndsTheStreamUntilStopCollectsIt) {
  auto link = MakeLink({0});
  ASSERT_EQ(ConfigureSmall(*link, 4), 0);
  FrameHold hold(port_);
  ASSERT_EQ(link->StartStream(), 0);
  port_.ReleaseFrames(2);
  ASSERT_TRUE(port_.WaitForFrameReads(3));

  // The camera goes away while the third read waits.
  port_.SetPresent(0, false);
  port_.ReleaseFrames(1);
  ASSERT_TRUE(Eventually([&] { return link->PollStream() == 1; }));
  EXPECT_EQ(link->PollStream(), 1);
  // The failed buffer is never published as a frame: the position stays after the two good ones.
  EXPECT_EQ(link->StreamWritePosition(), 2);
  EXPECT_EQ(link->StartStream(), 21);
  EXPECT_EQ(link->StopStream(), 19);
  EXPECT_EQ(link->PollStream(), 0);
  EXPECT_EQ(link->StopStream(), 0);
  EXPECT_EQ(port_.OpenHandleCount(), 0);

  // A short frame fails the same way; a new stream starts cleanly afterwards.
  port_.SetPresent(0, true);
  port_.StopHolding();
  port_.QueueShort(2, 100);
  ASSERT_EQ(link->StartStream(), 0);
  ASSERT_TRUE(Eventually([&] { return link->PollStream() == 1; }));
  EXPECT_EQ(link->StopStream(), 19);
  ASSERT_EQ(link->StartStream(), 0);
  EXPECT_EQ(link->StopStream(), 0);
}

TEST_F(EngineTest, StreamWithoutAHandleEndsWithItsResult) {
  auto link = MakeLink({0});
  ASSERT_EQ(ConfigureSmall(*link, 2), 0);
  port_.SetNullHandles(true);
  ASSERT_EQ(link->StartStream(), 0);
  EXPECT_EQ(link->StopStream(), 10);
  EXPECT_EQ(link->StopStream(), 0);
  EXPECT_TRUE(port_.RequestsOnPipe(2).empty());
}

TEST_F(EngineTest, DestructionStopsAForgottenStream) {
  {
    auto link = MakeLink({0});
    ASSERT_EQ(ConfigureSmall(*link, 3), 0);
    FrameHold hold(port_);
    ASSERT_EQ(link->StartStream(), 0);
    ASSERT_TRUE(port_.WaitForFrameReads(1));
    port_.StopHolding();
  }
  EXPECT_EQ(port_.OpenHandleCount(), 0);
}

}  // namespace
}  // namespace orvex::testing
