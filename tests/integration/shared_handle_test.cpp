// One handle shared by several threads of an application: the library serialises what
// reconfigures the camera, so that no mix of calls corrupts memory, and a release waits for the
// calls still running on the handle.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <thread>
#include <vector>

#include "integration_fixture.h"

namespace {

using Clock = std::chrono::steady_clock;

// Small windows keep frames cheap, so that the threads meet often.
constexpr int32_t kWidths[] = {64, 128};
constexpr int32_t kHeights[] = {32, 48};
constexpr int32_t kBitsForMode[] = {8, 16, 24, 32, 48, 64};
constexpr size_t kBufferBytes = size_t{128} * 8 * 48;  // the largest window at 64 bits a pixel

bool UseFirstWindow(CameraHandle handle) {
  return Orvex_SetCaptureWindowEx(handle, 1320, 39, kWidths[0], 1024, 0, kHeights[0]) == 1;
}

class SharedHandleTest : public IntegrationTest {
 protected:
  void SetUp() override {
    IntegrationTest::SetUp();
    ASSERT_EQ(OrvexVirtualCamera_Attach(0), 1);
    // A frame whenever the host reads: snapshots come as fast as the library takes them.
    ASSERT_EQ(OrvexVirtualCamera_SetFramePeriod(0, 0), 1);
    handle_ = Orvex_Initialize(window_);
    ASSERT_NE(handle_, 0);
    ASSERT_TRUE(UseFirstWindow(handle_));
  }
  void TearDown() override {
    if (handle_ != 0) Orvex_Release(handle_);
    IntegrationTest::TearDown();
  }

  // Runs `work` on a second thread while this one runs `main`, for `seconds` and then on until
  // `main` has succeeded once: a loaded machine, or a sanitizer's scheduling, can leave a short
  // run without a single moment in which `main` could succeed. Returns how often it did.
  template <typename Work, typename Main>
  static int RunBeside(double seconds, Work work, Main main) {
    std::atomic<bool> done{false};
    std::thread other([&] {
      for (int round = 0; !done.load(); ++round) work(round);
    });
    const auto end = Clock::now() + std::chrono::duration<double>(seconds);
    const auto limit = end + std::chrono::seconds(30);
    int succeeded = 0;
    for (int round = 0;; ++round) {
      const auto now = Clock::now();
      if (now >= limit || (now >= end && succeeded > 0)) break;
      succeeded += main(round) ? 1 : 0;
    }
    done = true;
    other.join();
    return succeeded;
  }

  CameraHandle handle_ = 0;
};

// What another thread does to the handle while this one takes snapshots. Geometry changes are
// the defect that started this: a snapshot read its frame through buffers that a change on
// another thread had just replaced.
struct Interference {
  const char* name;
  std::function<void(CameraHandle, OrvexWindow, int round)> call;
};

const Interference kInterferences[] = {
    {"geometry",
     [](CameraHandle h, OrvexWindow, int round) {
       Orvex_SetCaptureWindowEx(h, 1320, 39, kWidths[round % 2], 1024, 0, kHeights[round / 2 % 2]);
     }},
    {"format", [](CameraHandle h, OrvexWindow,
                  int round) { Orvex_SetColorMode(h, kBitsForMode[round % 6]); }},
    {"preview",
     [](CameraHandle h, OrvexWindow window, int round) {
       if (round % 2 == 0) {
         Orvex_CallBackPreview(h, window, nullptr, 0, 0);
       } else {
         Orvex_Close(h);
         // Snapshots fail while the preview runs: leave them a moment with it closed, which a
         // loaded machine (or a sanitizer's scheduling) may otherwise never give them before
         // the preview opens again.
         std::this_thread::sleep_for(std::chrono::milliseconds(1));
       }
     }},
    {"settings and registers",
     [](CameraHandle h, OrvexWindow, int round) {
       std::int32_t ok = 0;
       Orvex_SetExposureTime(h, 100 + round % 50);
       Orvex_Fpga_ReadRegister(h, 82, &ok);
       Orvex_ReadSromID(h, round % 8, &ok);
       Orvex_GetImage(h, nullptr, 0, 0);
     }},
};

TEST_F(SharedHandleTest, SnapshotsBesideAnotherThreadsCalls) {
  std::vector<uint8_t> buffer(kBufferBytes);
  for (const Interference& interference : kInterferences) {
    SCOPED_TRACE(interference.name);
    const int taken = RunBeside(
        0.5, [&](int round) { interference.call(handle_, window_, round); },
        [&](int) {
          return Orvex_SnapShot(handle_, buffer.data(), static_cast<int32_t>(buffer.size()), 0) ==
                 1;
        });
    EXPECT_GT(taken, 0);
    // The handle works on as if nothing had happened.
    Orvex_Close(handle_);
    ASSERT_EQ(Orvex_SetColorMode(handle_, 24), 1);
    ASSERT_TRUE(UseFirstWindow(handle_));
    EXPECT_EQ(Orvex_SnapShot(handle_, buffer.data(), kWidths[0] * 3 * kHeights[0], 0), 1);
  }
}

// A camera answers every handle's reads on one queue of replies: reads of two handles on it,
// and of two threads on one handle, each get their own register's value.
TEST_F(SharedHandleTest, RegisterReadsOfTwoThreadsEachGetTheirOwnValue) {
  // Enough reads to meet often; a read under Wine (a driver handle opened and closed, three
  // requests) takes about a thousand times as long as here.
#ifdef _WIN32
  constexpr int kReads = 1000;
#else
  constexpr int kReads = 20000;
#endif
  const CameraHandle second = Orvex_Initialize(window_);
  ASSERT_NE(second, 0);
  for (const CameraHandle beside : {second, handle_}) {
    std::atomic<int> wrong{0}, ready{0};
    const auto reads = [&](CameraHandle handle, int32_t address, int32_t expected) {
      for (++ready; ready.load() < 2;) {
      }
      for (int i = 0; i < kReads; ++i) {
        int32_t ok = 0;
        if (Orvex_Fpga_ReadRegister(handle, address, &ok) != expected || ok != 1) ++wrong;
      }
    };
    std::thread other(reads, beside, 0x01, 0x0102);  // the FPGA's version
    reads(handle_, 0x00, 0x06A0);                    // its identification
    other.join();
    EXPECT_EQ(wrong.load(), 0) << (beside == handle_ ? "one handle" : "two handles");
  }
  EXPECT_EQ(Orvex_Release(second), 1);
}

// A release on one thread while another is in the middle of calls on the same handle: the
// calls still running finish on a whole context, later ones meet an unknown handle, and once
// the release has returned nothing writes into the application's buffer any more.
TEST_F(SharedHandleTest, ReleaseBesideCallsOnTheSameHandle) {
  for (int round = 0; round < 4; ++round) {
    SCOPED_TRACE(round);
    std::vector<uint8_t> frames(kBufferBytes);
    std::vector<uint8_t> snapshot(kBufferBytes);
    ASSERT_EQ(Orvex_CallBackPreview(handle_, window_, frames.data(),
                                    static_cast<int32_t>(frames.size()), 0),
              1);
    std::atomic<bool> gone{false};
    std::thread other([&] {
      // Geometry and snapshots fail while the preview runs; they still reach the context.
      while (Orvex_SetCaptureWindowEx(handle_, 1320, 39, kWidths[1], 1024, 0, kHeights[1]) != 0 ||
             Orvex_GetLastError(handle_) != 0 ||
             Orvex_SnapShot(handle_, snapshot.data(), static_cast<int32_t>(snapshot.size()), 0) !=
                 0 ||
             Orvex_GetColorMode(handle_) != -1) {
      }
      gone = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(20 + 10 * round));
    EXPECT_EQ(Orvex_Release(handle_), 1);
    std::fill(frames.begin(), frames.end(), uint8_t{0xA5});
    other.join();
    EXPECT_TRUE(gone);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_TRUE(std::all_of(frames.begin(), frames.end(), [](uint8_t b) { return b == 0xA5; }));

    handle_ = Orvex_Initialize(window_);
    ASSERT_NE(handle_, 0);
    ASSERT_TRUE(UseFirstWindow(handle_));
  }
  EXPECT_EQ(OrvexVirtualCamera_OpenHandles(0), 0);
}

}  // namespace
