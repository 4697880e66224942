// Applications with threads: one thread per camera on eight cameras, and several handles on one
// camera (previews beside snapshots, releases of many previewing handles).
#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "integration_fixture.h"

namespace {

using Clock = std::chrono::steady_clock;

// A window of 64 x 32 pixels keeps frames cheap, so that the tests measure waiting, not work.
constexpr int32_t kWidth = 64;
constexpr int32_t kHeight = 32;
constexpr int32_t kBitsForMode[] = {8, 16, 24, 32, 48, 64};
constexpr size_t kBufferBytes = size_t{kWidth} * 8 * kHeight;  // the widest output

bool UseSmallWindow(CameraHandle handle, int32_t device, int32_t bits) {
  return Orvex_SetDeviceNumber(handle, device) == 1 &&
         Orvex_SetCaptureWindowEx(handle, 1320, 39, kWidth, 1024, 0, kHeight) == 1 &&
         Orvex_SetColorMode(handle, bits) == 1;
}

// Waits for `count` processed frames announced to `window`; false when they did not come within
// `limit` or an error came instead.
bool WaitForFrames(OrvexWindow window, int count,
                   std::chrono::seconds limit = std::chrono::seconds(60)) {
  const auto deadline = Clock::now() + limit;
  while (count > 0 && Clock::now() < deadline) {
    uint32_t message = 0;
    uintptr_t wParam = 0;
    intptr_t lParam = 0;
    if (!OrvexPlatform_GetMessage(window, 100, &message, &wParam, &lParam)) continue;
    if (message == FrameMessage && wParam != 0) --count;
    if (message == ErrorMessage || (message == FrameMessage && wParam == 0)) return false;
  }
  return count <= 0;
}

class ThreadsTest : public IntegrationTest {};

// The camera dialog pauses the acquisition while it is open. What the application does on
// another thread meanwhile stands: a preview it stopped (and whose buffer it may have freed) or
// closed stays stopped whatever closed the dialog, and one it started meanwhile goes on in the
// format the dialog stored.
TEST_F(ThreadsTest, TheCameraDialogRestartsOnlyAnAcquisitionNobodyChangedMeanwhile) {
  enum class Meanwhile { kNothing, kStopPreview, kClose, kStartPreview };
  constexpr int32_t kOk = 1, kCancel = 2, kColorList = 1009;
  const struct {
    const char* what;
    Meanwhile meanwhile;
    int32_t button;
    bool framesAfter;
  } cases[] = {
      {"nothing, OK", Meanwhile::kNothing, kOk, true},
      {"StopPreview, Cancel", Meanwhile::kStopPreview, kCancel, false},
      {"StopPreview, OK", Meanwhile::kStopPreview, kOk, false},
      {"Close, OK", Meanwhile::kClose, kOk, false},
      {"a preview started, OK with another Color", Meanwhile::kStartPreview, kOk, true},
  };
  ASSERT_EQ(OrvexVirtualCamera_Attach(0), 1);
  ASSERT_EQ(OrvexVirtualCamera_SetFramePeriod(0, 20'000), 1);
  const OrvexWindow frames = OrvexPlatform_CreateMessageWindow();
  std::vector<uint8_t> buffer(size_t{1280} * 1024 * 8);
  const auto size = static_cast<int32_t>(buffer.size());
  const auto drain = [&] {
    uint32_t message = 0;
    uintptr_t wParam = 0;
    intptr_t lParam = 0;
    while (OrvexPlatform_GetMessage(frames, 0, &message, &wParam, &lParam)) {
    }
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const CameraHandle handle = Orvex_Initialize(window_);
    ASSERT_TRUE(UseSmallWindow(handle, 0, 8));
    const bool startFirst = c.meanwhile != Meanwhile::kStartPreview;
    if (startFirst) {
      ASSERT_EQ(Orvex_CallBackPreview(handle, frames, buffer.data(), size, 0), 1);
      ASSERT_TRUE(WaitForFrames(frames, 1));
    }
    int32_t result = -1;
    std::thread modal;
    const OrvexWindow dialog = OpenDialog(modal, [&] { result = Orvex_SetCameraDlg(handle, 0); });
    ASSERT_NE(dialog, OrvexWindow{}) << "no dialog opened";
    if (c.meanwhile == Meanwhile::kStopPreview) {
      EXPECT_EQ(Orvex_StopPreview(handle), 1);
    } else if (c.meanwhile == Meanwhile::kClose) {
      EXPECT_EQ(Orvex_Close(handle), 1);
    } else if (c.meanwhile == Meanwhile::kStartPreview) {
      EXPECT_EQ(Orvex_CallBackPreview(handle, frames, buffer.data(), size, 0), 1);
      EXPECT_EQ(OrvexPlatform_SelectListItem(dialog, kColorList, 3), 1);
    }
    drain();
    // As if freed and used again; where a preview runs on, the buffer stays the library's.
    if (!c.framesAfter) std::fill(buffer.begin(), buffer.end(), uint8_t{0xEE});
    EXPECT_EQ(OrvexPlatform_ClickItem(dialog, c.button), 1);
    modal.join();
    EXPECT_EQ(result, 1);
    if (c.framesAfter) {
      EXPECT_TRUE(WaitForFrames(frames, 3)) << "frames, none failed";
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
      uint32_t message = 0;
      uintptr_t wParam = 0;
      intptr_t lParam = 0;
      EXPECT_FALSE(OrvexPlatform_GetMessage(frames, 0, &message, &wParam, &lParam));
      EXPECT_EQ(std::count(buffer.begin(), buffer.end(), uint8_t{0xEE}), size);
    }
    if (c.meanwhile == Meanwhile::kStartPreview) {
      EXPECT_EQ(Orvex_GetColorMode(handle), 32);
    }
    EXPECT_EQ(Orvex_Release(handle), 1);
    drain();
  }
  OrvexPlatform_DestroyWindow(frames);
}

// The most common design of a multi-camera application: each camera has a thread of its own
// that opens a handle, takes snapshots, previews, and releases, over and over; one handle is
// released with its preview still running.
TEST_F(ThreadsTest, OneThreadPerCameraOnEightCameras) {
  constexpr int kCameras = 8;
  constexpr int kRounds = 3;
  for (int i = 0; i < kCameras; ++i) {
    ASSERT_EQ(OrvexVirtualCamera_Attach(i), 1);
    ASSERT_EQ(OrvexVirtualCamera_SetFramePeriod(i, 20'000), 1);
  }
  std::vector<std::thread> threads;
  for (int camera = 0; camera < kCameras; ++camera) {
    threads.emplace_back([camera] {
      const OrvexWindow window = OrvexPlatform_CreateMessageWindow();
      std::vector<uint8_t> buffer(kBufferBytes);
      const auto size = static_cast<int32_t>(buffer.size());
      for (int round = 0; round < kRounds; ++round) {
        const CameraHandle handle = Orvex_Initialize(window);
        ASSERT_NE(handle, 0);
        const int32_t bits = kBitsForMode[(camera + round) % 6];
        EXPECT_TRUE(UseSmallWindow(handle, camera, bits)) << camera;
        EXPECT_EQ(Orvex_SnapShot(handle, buffer.data(), size, round & 1), 1) << camera;
        EXPECT_EQ(Orvex_CallBackPreview(handle, window, buffer.data(), size, 0), 1) << camera;
        EXPECT_TRUE(WaitForFrames(window, 3)) << camera;
        if (round == kRounds - 1) {
          EXPECT_EQ(Orvex_Release(handle), 1) << camera;  // the preview still runs
          continue;
        }
        EXPECT_EQ(Orvex_StopPreview(handle), 1) << camera;
        EXPECT_EQ(Orvex_SnapShot(handle, buffer.data(), size, 0), 1) << camera;
        EXPECT_EQ(Orvex_Close(handle), 1) << camera;
        EXPECT_EQ(Orvex_GetLastError(handle), 0) << camera;
        EXPECT_EQ(Orvex_Release(handle), 1) << camera;
        EXPECT_EQ(Orvex_Release(handle), 0) << camera;
      }
      OrvexPlatform_DestroyWindow(window);
    });
  }
  for (auto& thread : threads) thread.join();
  for (int i = 0; i < kCameras; ++i) EXPECT_EQ(OrvexVirtualCamera_OpenHandles(i), 0) << i;
}

// Several handles on one camera, each with its own thread: the camera's frames reach them all.
class SharedCameraTest : public IntegrationTest {
 protected:
  static constexpr int32_t kPeriodMicroseconds = 150'000;
  static constexpr auto kPeriod = std::chrono::microseconds(kPeriodMicroseconds);

  void SetUp() override {
    IntegrationTest::SetUp();
    ASSERT_EQ(OrvexVirtualCamera_Attach(0), 1);
    ASSERT_EQ(OrvexVirtualCamera_SetFramePeriod(0, kPeriodMicroseconds), 1);
  }
  void TearDown() override {
    for (CameraHandle handle : previews_) Orvex_Release(handle);
    for (OrvexWindow window : windows_) OrvexPlatform_DestroyWindow(window);
    IntegrationTest::TearDown();
  }

  // Starts `count` previews of camera 0, each announcing its frames to a window of its own, and
  // waits until each has shown a frame.
  void StartPreviews(int count) {
    for (int i = 0; i < count; ++i) {
      const CameraHandle handle = Orvex_Initialize(0);
      ASSERT_NE(handle, 0);
      previews_.push_back(handle);
      windows_.push_back(OrvexPlatform_CreateMessageWindow());
      ASSERT_TRUE(UseSmallWindow(handle, 0, 8));
      ASSERT_EQ(Orvex_CallBackPreview(handle, windows_.back(), nullptr, 0, 0), 1);
    }
    for (OrvexWindow window : windows_) ASSERT_TRUE(WaitForFrames(window, 1));
  }

  std::vector<CameraHandle> previews_;
  std::vector<OrvexWindow> windows_;
};

TEST_F(SharedCameraTest, SnapshotsKeepPaceBesideThreePreviews) {
  ASSERT_NO_FATAL_FAILURE(StartPreviews(3));
  const CameraHandle handle = Orvex_Initialize(0);
  ASSERT_TRUE(UseSmallWindow(handle, 0, 8));
  std::vector<uint8_t> frame(kBufferBytes);
  std::vector<Clock::duration> times;
  for (int i = 0; i < 8; ++i) {
    const auto start = Clock::now();
    ASSERT_EQ(Orvex_SnapShot(handle, frame.data(), static_cast<int32_t>(frame.size()), 0), 1);
    times.push_back(Clock::now() - start);
  }
  // A snapshot waits for the next frame due, one period at most, as if it were alone: the
  // median within two periods, a second for the library's own work. A starved snapshot waited
  // for seconds; the bound on the slowest leaves room for a loaded machine (or a sanitizer, or
  // Wine) taking the processor away from the test for a while, which is not what is tested here.
  const auto ms = [](Clock::duration time) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(time).count();
  };
  std::sort(times.begin(), times.end());
  EXPECT_LE(times[times.size() / 2], 2 * kPeriod)
      << "median " << ms(times[times.size() / 2]) << " ms";
  EXPECT_LE(times.back(), 20 * kPeriod) << "slowest " << ms(times.back()) << " ms";
  // The previews went on meanwhile.
  for (OrvexWindow window : windows_) EXPECT_TRUE(WaitForFrames(window, 1));
  EXPECT_EQ(Orvex_Release(handle), 1);
}

TEST_F(SharedCameraTest, ReleasingManyPreviewingHandlesWaitsAboutAFrameEach) {
  constexpr int kPreviews = 12;
  ASSERT_NO_FATAL_FAILURE(StartPreviews(kPreviews));
  const auto start = Clock::now();
  for (CameraHandle handle : previews_) EXPECT_EQ(Orvex_Release(handle), 1);
  const auto elapsed = Clock::now() - start;
  previews_.clear();
  // Each release waits for its stream reader's read, which the next frame ends; the limit
  // leaves two more periods a release for the rest of its work on a loaded machine.
  EXPECT_LE(elapsed, kPreviews * 3 * kPeriod)
      << std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count() << " ms";
  EXPECT_EQ(OrvexVirtualCamera_OpenHandles(0), 0);
}

}  // namespace
