// Frames on pipe 2: exact rasters, the sensor layout and colour filter, brightness, pacing and
// frame faults, and several cameras streaming at once.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <deque>
#include <thread>

#include "virtual_camera/vcam_test_support.h"

namespace orvex::vcam::testing {
namespace {

class FrameTest : public VirtualCameraTest {
 protected:
  void SetUp() override {
    VirtualCameraTest::SetUp();
    ASSERT_EQ(OrvexVirtualCamera_SetFramePeriod(0, 0), 1);
    handle_ = Open(0);
    ASSERT_GT(handle_, 0);
  }
  void TearDown() override {
    OrvexVirtualCamera_CloseHandle(handle_);
    VirtualCameraTest::TearDown();
  }

  // Samples s of line l in an 8-bit frame.
  static uint8_t At(const std::vector<uint8_t>& frame, int line, int sample) {
    return frame[static_cast<size_t>(line) * kLine + static_cast<size_t>(sample)];
  }

  intptr_t handle_ = -1;
};

TEST_F(FrameTest, RasterIsSentExactlyInBothSampleWidths) {
  const uint8_t raster8[6] = {0, 1, 2, 127, 128, 255};
  ASSERT_EQ(OrvexVirtualCamera_SetRaster(0, raster8, 3, 2, 1), 1);
  std::vector<uint8_t> frame = ReadFrame(handle_, 9);
  EXPECT_EQ(frame, (std::vector<uint8_t>{0, 1, 2, 127, 128, 255, 0, 0, 0}));

  ASSERT_TRUE(SetSixteenBit(handle_, true));
  frame = ReadFrame(handle_, 16);  // 1-byte values shifted to 10 bits
  ASSERT_EQ(frame.size(), 16u);
  const uint16_t shifted[8] = {0, 4, 8, 508, 512, 1020, 0, 0};
  for (size_t i = 0; i < 8; ++i) EXPECT_EQ(Sample16(frame, i), shifted[i]) << i;

  const uint16_t values[4] = {0x3FF, 0x123, 0x004, 0x2AB};
  uint8_t raster16[8];
  for (size_t i = 0; i < 4; ++i) {
    raster16[2 * i] = static_cast<uint8_t>(values[i] & 0xFF);
    raster16[2 * i + 1] = static_cast<uint8_t>(values[i] >> 8);
  }
  ASSERT_EQ(OrvexVirtualCamera_SetRaster(0, raster16, 4, 1, 2), 1);
  frame = ReadFrame(handle_, 11);  // ends inside a sample
  EXPECT_EQ(frame, (std::vector<uint8_t>{0xFF, 0x03, 0x23, 0x01, 0x04, 0x00, 0xAB, 0x02, 0, 0, 0}));

  ASSERT_TRUE(SetSixteenBit(handle_, false));
  frame = ReadFrame(handle_, 5);  // 10-bit values keep their top eight bits
  EXPECT_EQ(frame, (std::vector<uint8_t>{0xFF, 0x48, 0x01, 0xAA, 0}));
  EXPECT_EQ(OrvexVirtualCamera_FramesSent(0), 4);

  EXPECT_EQ(OrvexVirtualCamera_SetRaster(0, raster8, 0, 2, 1), 0);
  EXPECT_EQ(OrvexVirtualCamera_SetRaster(0, raster8, 3, -1, 1), 0);
  EXPECT_EQ(OrvexVirtualCamera_SetRaster(0, raster8, 3, 2, 3), 0);
  EXPECT_EQ(OrvexVirtualCamera_SetRaster(0, raster8, 1 << 20, 1 << 20, 1), 0);
  EXPECT_EQ(OrvexVirtualCamera_SetRaster(1, raster8, 3, 2, 1), 0);

  // Null returns to the scene: blanking first, then the image.
  ASSERT_EQ(OrvexVirtualCamera_SetRaster(0, nullptr, 0, 0, 0), 1);
  ASSERT_EQ(OrvexVirtualCamera_SetSceneColor(0, 60, 60, 60), 1);
  frame = ReadFrame(handle_, 64);
  EXPECT_EQ(frame[38], 0);
  EXPECT_EQ(frame[39], 60);
}

TEST_F(FrameTest, SensorLayoutAndColourFilterPhase) {
  ASSERT_EQ(OrvexVirtualCamera_SetSceneColor(0, 200, 100, 40), 1);
  std::vector<uint8_t> frame = ReadFrame(handle_, kFullFrame8 + 100);
  ASSERT_FALSE(frame.empty());
  for (int line : {0, 1, 2, 1023}) {
    for (int s = 0; s < kFirstImageSample; ++s)
      ASSERT_EQ(At(frame, line, s), 0) << line << ' ' << s;
    EXPECT_EQ(At(frame, line, 1319), 0);
  }
  // G R on even lines, B G on odd lines, from sample 39.
  EXPECT_EQ(At(frame, 0, 39), 100);
  EXPECT_EQ(At(frame, 0, 40), 200);
  EXPECT_EQ(At(frame, 0, 1318), 200);
  EXPECT_EQ(At(frame, 1, 39), 40);
  EXPECT_EQ(At(frame, 1, 40), 100);
  EXPECT_EQ(At(frame, 2, 39), 100);
  EXPECT_EQ(At(frame, 1023, 39), 40);
  for (size_t i = kFullFrame8; i < frame.size(); ++i) ASSERT_EQ(frame[i], 0) << i;

  ASSERT_TRUE(SetSixteenBit(handle_, true));
  frame = ReadFrame(handle_, 2 * kLine * 2);
  ASSERT_FALSE(frame.empty());
  EXPECT_EQ(Sample16(frame, 38), 0);
  EXPECT_EQ(Sample16(frame, 39), 401);  // 100 x 1023 / 255
  EXPECT_EQ(Sample16(frame, 40), 802);
  EXPECT_EQ(Sample16(frame, kLine + 39), 160);
}

TEST_F(FrameTest, BrightnessFallsAsTheExposureRegisterRises) {
  ASSERT_EQ(OrvexVirtualCamera_SetSceneColor(0, 100, 100, 100), 1);
  auto sampleAt = [&](int exposure) {
    EXPECT_TRUE(Send(handle_, MakePacket(0x25, 0x52, static_cast<uint8_t>(exposure & 0xFF),
                                         static_cast<uint8_t>(exposure >> 8))));
    const std::vector<uint8_t> frame = ReadFrame(handle_, 64);
    return frame.empty() ? -1 : int{frame[40]};
  };
  EXPECT_EQ(sampleAt(40), 100);
  EXPECT_EQ(sampleAt(80), 50);
  EXPECT_EQ(sampleAt(400), 10);
  EXPECT_EQ(sampleAt(20), 200);
  EXPECT_EQ(sampleAt(10), 255);  // saturated
  EXPECT_EQ(sampleAt(0), 255);

  ASSERT_TRUE(SetSixteenBit(handle_, true));
  EXPECT_TRUE(Send(handle_, MakePacket(0x25, 0x52, 80)));
  std::vector<uint8_t> frame = ReadFrame(handle_, 128);
  EXPECT_EQ(Sample16(frame, 40), 200);
  EXPECT_TRUE(Send(handle_, MakePacket(0x25, 0x52, 10)));
  frame = ReadFrame(handle_, 128);
  EXPECT_EQ(Sample16(frame, 40), 1023);

  // The scene's lighting scales the same way.
  EXPECT_TRUE(Send(handle_, MakePacket(0x25, 0x52, 40)));
  ASSERT_EQ(OrvexVirtualCamera_SetSceneLevel(0, 50), 1);
  frame = ReadFrame(handle_, 128);
  EXPECT_EQ(Sample16(frame, 40), 200);
  EXPECT_EQ(OrvexVirtualCamera_SetSceneLevel(0, 1001), 0);
}

TEST_F(FrameTest, BuiltInScenes) {
  // Chart: 75 % white bar on the left, black bar on the right; still from frame to frame.
  const std::vector<uint8_t> chart = ReadFrame(handle_, kFullFrame8);
  ASSERT_FALSE(chart.empty());
  EXPECT_EQ(At(chart, 0, 39), 191);
  EXPECT_EQ(At(chart, 0, 40), 191);
  EXPECT_EQ(At(chart, 1, 39), 191);
  EXPECT_EQ(At(chart, 0, 39 + 1279), 0);
  EXPECT_EQ(ReadFrame(handle_, kFullFrame8), chart);

  ASSERT_EQ(OrvexVirtualCamera_SetScene(0, ORVEX_VIRTUAL_SCENE_MOVING), 1);
  const std::vector<uint8_t> first = ReadFrame(handle_, kFullFrame8);
  const std::vector<uint8_t> second = ReadFrame(handle_, kFullFrame8);
  ASSERT_FALSE(first.empty());
  EXPECT_NE(first, second);
  EXPECT_EQ(At(second, 5, 0), 0);  // still blanking
  // The same samples from every build of the camera, the Windows driver's included.
  uint64_t checksum = 0xCBF29CE484222325ull;
  for (uint8_t sample : second) checksum = (checksum ^ sample) * 0x100000001B3ull;
  EXPECT_EQ(checksum, 12773914781833399737u);

  ASSERT_EQ(OrvexVirtualCamera_SetScene(0, ORVEX_VIRTUAL_SCENE_GRAY), 1);
  const std::vector<uint8_t> gray = ReadFrame(handle_, 2 * kLine);
  EXPECT_EQ(gray[39], 128);
  EXPECT_EQ(gray[kLine + 40], 128);
  EXPECT_EQ(OrvexVirtualCamera_SetScene(0, 3), 0);
  EXPECT_EQ(OrvexVirtualCamera_SetSceneColor(0, 256, 0, 0), 0);
}

TEST_F(FrameTest, DefaultPeriodPacesFrames) {
  ASSERT_EQ(OrvexVirtualCamera_SetFramePeriod(0, -1), 1);
  const auto start = std::chrono::steady_clock::now();
  ASSERT_FALSE(ReadFrame(handle_, kFullFrame8).empty());
  ASSERT_FALSE(ReadFrame(handle_, kFullFrame8).empty());
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(25));
  EXPECT_EQ(OrvexVirtualCamera_FramesSent(0), 2);
}

TEST_F(FrameTest, DropsAndShortFramesAreInjected) {
  ASSERT_EQ(OrvexVirtualCamera_SetDropRate(0, 25), 1);
  for (int i = 0; i < 30; ++i) ASSERT_FALSE(ReadFrame(handle_, 256).empty());
  EXPECT_EQ(OrvexVirtualCamera_FramesSent(0), 30);
  EXPECT_EQ(OrvexVirtualCamera_FramesDropped(0), 9);  // every fourth frame: 39 made, 30 sent
  EXPECT_EQ(OrvexVirtualCamera_SetDropRate(0, 101), 0);
  ASSERT_EQ(OrvexVirtualCamera_SetDropRate(0, 0), 1);

  ASSERT_EQ(OrvexVirtualCamera_ShortFrames(0, 1), 1);
  std::vector<uint8_t> frame(256);
  uint32_t moved = 0;
  EXPECT_TRUE(Request(handle_, kCodeIn, 2, frame.data(), 256, &moved));
  EXPECT_EQ(moved, 128u);
  EXPECT_TRUE(Request(handle_, kCodeIn, 2, frame.data(), 256, &moved));
  EXPECT_EQ(moved, 256u);
  EXPECT_EQ(OrvexVirtualCamera_FramesSent(0), 31);  // whole frames only
}

// Reads parked on a stalled camera, each on a handle of its own, in a known order: what each
// got (`ok`, the bytes moved and the frame), once joined.
struct ParkedReads {
  static constexpr uint32_t kBytes = 4 * kLine;

  explicit ParkedReads(int count) : ok(count), moved(count), frames(count) {
    for (int i = 0; i < count; ++i) {
      threads.emplace_back([this, i] {
        const intptr_t h = Open(0);
        frames[i].assign(kBytes, 0);
        ok[i] = Request(h, kCodeIn, 2, frames[i].data(), kBytes, &moved[i]);
        OrvexVirtualCamera_CloseHandle(h);
      });
      // The next read is asked only once this one waits in the driver.
      for (int wait = 0; wait < 10000 && OrvexVirtualCamera_WaitingReads(0) <= i; ++wait) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
    }
  }
  ~ParkedReads() { Join(); }
  void Join() {
    for (auto& thread : threads) {
      if (thread.joinable()) thread.join();
    }
  }

  std::deque<bool> ok;
  std::vector<uint32_t> moved;
  std::vector<std::vector<uint8_t>> frames;
  std::vector<std::thread> threads;
};

TEST_F(FrameTest, ReadsWaitTogetherAndTheNextFrameServesThemInArrivalOrder) {
  ASSERT_EQ(OrvexVirtualCamera_SetScene(0, ORVEX_VIRTUAL_SCENE_MOVING), 1);
  ASSERT_EQ(OrvexVirtualCamera_SetFramePeriod(0, 20'000), 1);
  ASSERT_EQ(OrvexVirtualCamera_SetDropRate(0, 100), 1);
  ParkedReads reads(3);
  // All of them wait at once: none holds the others out of the driver.
  EXPECT_EQ(OrvexVirtualCamera_WaitingReads(0), 3);

  // The two short frames go to the two reads served first: the two asked first.
  ASSERT_EQ(OrvexVirtualCamera_ShortFrames(0, 2), 1);
  ASSERT_EQ(OrvexVirtualCamera_SetDropRate(0, 0), 1);
  reads.Join();
  EXPECT_EQ(reads.ok, (std::deque<bool>{true, true, true}));
  EXPECT_EQ(reads.moved, (std::vector<uint32_t>{ParkedReads::kBytes / 2, ParkedReads::kBytes / 2,
                                                ParkedReads::kBytes}));
  // One frame served them all (the moving scene differs from frame to frame).
  const auto half = static_cast<std::ptrdiff_t>(ParkedReads::kBytes / 2);
  for (int i = 0; i < 2; ++i) {
    EXPECT_TRUE(std::equal(reads.frames[i].begin(), reads.frames[i].begin() + half,
                           reads.frames[2].begin()))
        << i;
  }
  EXPECT_EQ(OrvexVirtualCamera_FramesSent(0), 1);
  EXPECT_EQ(OrvexVirtualCamera_WaitingReads(0), 0);
}

TEST_F(FrameTest, StalledCameraFailsEveryWaitingReadOnDetach) {
  ASSERT_EQ(OrvexVirtualCamera_SetDropRate(0, 100), 1);
  ParkedReads reads(3);
  EXPECT_EQ(OrvexVirtualCamera_WaitingReads(0), 3);
  ASSERT_EQ(OrvexVirtualCamera_Detach(0), 1);
  reads.Join();
  EXPECT_EQ(reads.ok, (std::deque<bool>{false, false, false}));
  EXPECT_EQ(reads.moved, (std::vector<uint32_t>{0, 0, 0}));
}

TEST_F(FrameTest, SeveralCamerasStreamAtOnce) {
  constexpr int kCameras = 4;
  constexpr int kFrames = 20;
  for (int i = 1; i <= kCameras; ++i) {
    ASSERT_EQ(OrvexVirtualCamera_Attach(i), 1);
    ASSERT_EQ(OrvexVirtualCamera_SetFramePeriod(i, i == kCameras ? 60'000'000 : 0), 1);
  }
  // Camera 4 never delivers within the test: its waiting read must not hold up the others.
  bool slowOk = true;
  std::thread slow([&] {
    const intptr_t h = Open(kCameras);
    slowOk = !ReadFrame(h, 64).empty();
    OrvexVirtualCamera_CloseHandle(h);
  });

  std::vector<std::thread> streams;
  std::atomic<int> bad{0};
  for (int camera = 0; camera < kCameras; ++camera) {
    const std::vector<uint8_t> raster(4096, static_cast<uint8_t>(camera + 1));
    ASSERT_EQ(OrvexVirtualCamera_SetRaster(camera, raster.data(), 1024, 4, 1), 1);
    streams.emplace_back([camera, &bad] {
      const intptr_t h = Open(camera);
      for (int f = 0; f < kFrames; ++f) {
        if (!Send(h, MakePacket(0x02))) ++bad;
        const std::vector<uint8_t> frame = ReadFrame(h, 4096);
        if (frame != std::vector<uint8_t>(4096, static_cast<uint8_t>(camera + 1))) ++bad;
      }
      OrvexVirtualCamera_CloseHandle(h);
    });
  }
  // Meanwhile the application writes and reads registers on camera 0.
  const intptr_t h = Open(0);
  for (int i = 0; i < 50; ++i) {
    EXPECT_TRUE(Send(h, MakePacket(0x25, 0x52, static_cast<uint8_t>(i))));
    EXPECT_TRUE(Send(h, MakePacket(0x26, 0x52)));
    Packet reply{};
    EXPECT_TRUE(Request(h, kCodeOut, 1, reply.data(), 64));
    EXPECT_TRUE(Request(h, kCodeOut, 1, reply.data(), 64));
    EXPECT_EQ(reply[0], i);
  }
  OrvexVirtualCamera_CloseHandle(h);
  for (auto& stream : streams) stream.join();
  EXPECT_EQ(bad.load(), 0);
  for (int camera = 0; camera < kCameras; ++camera) {
    EXPECT_EQ(OrvexVirtualCamera_FramesSent(camera), kFrames) << camera;
    EXPECT_EQ(OrvexVirtualCamera_PacketCount(camera, 0x02), kFrames) << camera;
  }
  ASSERT_EQ(OrvexVirtualCamera_Detach(kCameras), 1);
  slow.join();
  EXPECT_FALSE(slowOk);
}

}  // namespace
}  // namespace orvex::vcam::testing
