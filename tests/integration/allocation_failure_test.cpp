// Memory running out in the middle of a call, through the public headers: this executable
// replaces the global operator new and delete, which on Linux serve the libraries too, and fails
// one allocation of a step (in whatever thread makes it) at a time. The process must survive,
// no exception may leave an export, and once memory is back the handle and a new one must work
// as before. Only operator new is counted: the frame and image buffers come from calloc, and
// their makers check for null already.
#include <atomic>
#include <cstdlib>
#include <new>

#include "integration_fixture.h"

namespace {

// While armed, the allocation numbered failAt (from 1) fails; 0 only counts.
std::atomic<bool> armed{false};
std::atomic<long> allocations{0};
std::atomic<long> failAt{0};
std::atomic<bool> injected{false};

void* Allocate(std::size_t size, std::size_t alignment) noexcept {
  if (armed.load(std::memory_order_acquire)) {
    const long n = allocations.fetch_add(1, std::memory_order_relaxed) + 1;
    if (n == failAt.load(std::memory_order_relaxed)) {
      injected.store(true, std::memory_order_relaxed);
      return nullptr;
    }
  }
  if (size == 0) size = 1;
  if (alignment <= alignof(std::max_align_t)) return std::malloc(size);
  void* memory = nullptr;
  return posix_memalign(&memory, alignment, size) == 0 ? memory : nullptr;
}

void* AllocateOrThrow(std::size_t size, std::size_t alignment) {
  if (void* memory = Allocate(size, alignment)) return memory;
  throw std::bad_alloc();
}

// Not inlined into the operators: the compiler would see free() on memory from operator new.
[[gnu::noinline]] void Free(void* memory) noexcept {
  std::free(memory);
}

}  // namespace

void* operator new(std::size_t size) {
  return AllocateOrThrow(size, 0);
}
void* operator new[](std::size_t size) {
  return AllocateOrThrow(size, 0);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return Allocate(size, 0);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return Allocate(size, 0);
}
void* operator new(std::size_t size, std::align_val_t alignment) {
  return AllocateOrThrow(size, static_cast<std::size_t>(alignment));
}
void* operator new[](std::size_t size, std::align_val_t alignment) {
  return AllocateOrThrow(size, static_cast<std::size_t>(alignment));
}
void* operator new(std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
  return Allocate(size, static_cast<std::size_t>(alignment));
}
void* operator new[](std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
  return Allocate(size, static_cast<std::size_t>(alignment));
}
void operator delete(void* memory) noexcept {
  Free(memory);
}
void operator delete[](void* memory) noexcept {
  Free(memory);
}
void operator delete(void* memory, std::size_t) noexcept {
  Free(memory);
}
void operator delete[](void* memory, std::size_t) noexcept {
  Free(memory);
}
void operator delete(void* memory, const std::nothrow_t&) noexcept {
  Free(memory);
}
void operator delete[](void* memory, const std::nothrow_t&) noexcept {
  Free(memory);
}
void operator delete(void* memory, std::align_val_t) noexcept {
  Free(memory);
}
void operator delete[](void* memory, std::align_val_t) noexcept {
  Free(memory);
}
void operator delete(void* memory, std::size_t, std::align_val_t) noexcept {
  Free(memory);
}
void operator delete[](void* memory, std::size_t, std::align_val_t) noexcept {
  Free(memory);
}
void operator delete(void* memory, std::align_val_t, const std::nothrow_t&) noexcept {
  Free(memory);
}
void operator delete[](void* memory, std::align_val_t, const std::nothrow_t&) noexcept {
  Free(memory);
}

namespace {

constexpr int32_t kLine = 1320, kEHS = 39, kEH = 64, kLines = 1024, kEVS = 0, kEV = 48;
constexpr int32_t kLargestImage = kEH * 8 * kEV;

// Stored before every run, and set on the handle before the step (after it, for a step that
// starts the handle): a release stores all three or none.
constexpr int32_t kOldGamma = 110, kNewGamma = 130;
constexpr int32_t kOldGrayGain = 120, kNewGrayGain = 140;
constexpr int32_t kOldExposure = 300, kNewExposure = 500;

enum class Step { kInitialize, kSnapShot24, kSnapShot48, kPreview, kSetDeviceNumber, kRelease };

struct Row {
  const char* name;
  Step step;
  bool firstRun;  // no settings stored yet
};

// Runs `call` as an export call of the application: an exception out of it counts as escaped.
template <typename Call>
int32_t Guarded(int* escaped, Call call) {
  try {
    return call();
  } catch (...) {
    ++*escaped;
    return -1;
  }
}

class AllocationFailureTest : public IntegrationTest {
 protected:
  void SetUp() override {
    // The headless screen: the same drawing every run, and no display server to wait for.
    orvex::testing::UnsetEnvironment("DISPLAY");
    IntegrationTest::SetUp();
    ASSERT_EQ(OrvexVirtualCamera_Attach(0), 1);
    // Paced frames: a reader that never waits would keep a core busy for the whole sweep.
    ASSERT_EQ(OrvexVirtualCamera_SetFramePeriod(0, 1000), 1);
    frames_ = OrvexPlatform_CreateMessageWindow();
  }

  void TearDown() override {
    OrvexPlatform_DestroyWindow(frames_);
    IntegrationTest::TearDown();
  }

  void StoreOldSettings() {
    StoreSettings(
        {{"", {{"Size", 0}, {"Color", 2}, {"SubSample", 0}, {"WaitTime", 1}, {"Clock", 0}}},
         {"Size_00",
          {{"TH", kLine},
           {"TV", kLines},
           {"EH", kEH},
           {"EV", kEV},
           {"EHS", kEHS},
           {"EVS", kEVS},
           {"Buf", 4}}},
         {"Filter", {{"Gamma", kOldGamma}}},
         {"Gray", {{"GainR1", kOldGrayGain}}},
         {"Gain_00", {{"Exposure", kOldExposure}}}});
  }

  void ClearSettingsFile() {
    std::error_code ignored;
    std::filesystem::remove_all(configDir_ / "Helvane", ignored);
  }

  // The small window, 24 bits, a short wait and the new values; false when a call failed.
  static bool Configure(CameraHandle handle) {
    return Orvex_SetCaptureWindowEx(handle, kLine, kEHS, kEH, kLines, kEVS, kEV) == 1 &&
           Orvex_SetColorMode(handle, 24) == 1 && Orvex_SetWaitTime(handle, 1) == 1 &&
           Orvex_SetGamma(handle, kNewGamma) == 1 &&
           Orvex_SetGrayGainR(handle, kNewGrayGain) == 1 &&
           Orvex_SetExposureTime(handle, kNewExposure) == 1;
  }

  // Waits for `count` frames delivered, or a failure that ends the stream; the frames seen.
  int WaitForFrames(int count) {
    int delivered = 0;
    uint32_t message = 0;
    uintptr_t wParam = 0;
    intptr_t lParam = 0;
    while (delivered < count &&
           OrvexPlatform_GetMessage(frames_, 10000, &message, &wParam, &lParam)) {
      if (message != FrameMessage) continue;
      if (wParam != 0) ++delivered;
      if (wParam == 0 && lParam == ErrorStreamStopped) break;
    }
    return delivered;
  }

  void DrainFrames() {
    uint32_t message = 0;
    uintptr_t wParam = 0;
    intptr_t lParam = 0;
    while (OrvexPlatform_GetMessage(frames_, 0, &message, &wParam, &lParam)) {
    }
  }

  // The step of `row` with the allocation `n` failing; the handle afterwards (0 when there is
  // none: not made, or released).
  CameraHandle RunStep(const Row& row, long n, int* escaped) {
    CameraHandle handle = 0;
    if (row.step != Step::kInitialize) {
      handle = Orvex_Initialize(window_);
      EXPECT_TRUE(Configure(handle));
      if (row.step == Step::kSnapShot48) {
        EXPECT_EQ(Orvex_SetColorMode(handle, 48), 1);
      }
    }
    allocations.store(0);
    injected.store(false);
    failAt.store(n);
    armed.store(true, std::memory_order_release);
    switch (row.step) {
      case Step::kInitialize:
        handle = Guarded(escaped, [&] { return Orvex_Initialize(window_); });
        if (*escaped != 0) handle = 0;
        break;
      case Step::kSnapShot24:
      case Step::kSnapShot48:
        Guarded(escaped, [&] { return Orvex_SnapShot(handle, image_, sizeof image_, 1); });
        break;
      case Step::kPreview:
        if (Guarded(escaped, [&] {
              return Orvex_CallBackPreview(handle, frames_, image_, sizeof image_, 1);
            }) == 1) {
          WaitForFrames(2);
        }
        Guarded(escaped, [&] { return Orvex_StopPreview(handle); });
        break;
      case Step::kSetDeviceNumber:
        Guarded(escaped, [&] { return Orvex_SetDeviceNumber(handle, 0); });
        break;
      case Step::kRelease:
        Guarded(escaped, [&] { return Orvex_Release(handle); });
        handle = 0;
        break;
    }
    armed.store(false, std::memory_order_release);
    return handle;
  }

  // With memory back: the handle snapshots, previews and releases; a new handle reads what the
  // release stored.
  void CheckAfterwards(const Row& row, CameraHandle handle) {
    bool started = false;
    if (handle != 0) {
      // What a step recorded is its own business, except that a start-up that failed leaves
      // its first error and a handle that answers without a device or images; one whose probe
      // of the camera ran short has no camera, as after a probe the driver refused.
      started = true;
      if (row.step == Step::kInitialize) {
        const int32_t error = Orvex_GetLastError(handle);
        EXPECT_TRUE(error == 0 || error == ErrorBuffer) << error;
        char names[10][256];
        started = error == 0 && Orvex_EnumDevice(handle, names) == 1;
      }
      while (Orvex_GetLastError(handle) != 0) {
      }
      if (started) {
        Orvex_StopPreview(handle);
        EXPECT_TRUE(Configure(handle));
        EXPECT_EQ(Orvex_SnapShot(handle, image_, sizeof image_, 1), 1);
        DrainFrames();
        EXPECT_EQ(Orvex_CallBackPreview(handle, frames_, image_, sizeof image_, 1), 1);
        EXPECT_EQ(WaitForFrames(2), 2);
        EXPECT_EQ(Orvex_StopPreview(handle), 1);
        EXPECT_EQ(Orvex_Close(handle), 1);
      } else {
        Orvex_SnapShot(handle, image_, sizeof image_, 1);  // answered, whatever it says
      }
      EXPECT_EQ(Orvex_Release(handle), 1);
    }

    const CameraHandle next = Orvex_Initialize(window_);
    EXPECT_EQ(Orvex_GetLastError(next), 0);
    int32_t ok = 0;
    const int32_t gamma = Orvex_GetGamma(next, &ok);
    const int32_t grayGain = Orvex_GetGrayGainR(next, &ok);
    const int32_t exposure = Orvex_GetExposureTime(next, &ok);
    if (row.step == Step::kRelease) {
      const bool none = gamma == kOldGamma && grayGain == kOldGrayGain && exposure == kOldExposure;
      const bool all = gamma == kNewGamma && grayGain == kNewGrayGain && exposure == kNewExposure;
      EXPECT_TRUE(none || all) << gamma << " " << grayGain << " " << exposure;
    } else if (started) {
      EXPECT_EQ(gamma, kNewGamma);
      EXPECT_EQ(grayGain, kNewGrayGain);
    }
    EXPECT_EQ(Orvex_Release(next), 1);
  }

  static int FailureCount() {
    return ::testing::UnitTest::GetInstance()->current_test_info()->result()->total_part_count();
  }

  OrvexWindow frames_ = 0;
  uint8_t image_[kLargestImage] = {};
};

// Each row fails the allocations of its step one at a time: every one of the first kDense, then
// only every kStep-th (ORVEX_ALLOCATION_STEP=1 takes them all), which keeps the run to a few
// seconds: a start-up, a release and a device change make a hundred or more allocations each.
TEST_F(AllocationFailureTest, EveryStepSurvivesAnAllocationThatFails) {
  const Row rows[] = {
      {"first-run Initialize", Step::kInitialize, true},
      {"Initialize", Step::kInitialize, false},
      {"SnapShot 24 bits", Step::kSnapShot24, false},
      {"SnapShot 48 bits", Step::kSnapShot48, false},
      {"CallBackPreview and StopPreview", Step::kPreview, false},
      {"SetDeviceNumber", Step::kSetDeviceNumber, false},
      {"Release", Step::kRelease, false},
  };
  const long kDense = 32;
  const char* step = std::getenv("ORVEX_ALLOCATION_STEP");
  const long kStep = step != nullptr && std::atol(step) > 0 ? std::atol(step) : 8;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    for (long n = 1;; n += n < kDense ? 1 : kStep) {
      SCOPED_TRACE(n);
      if (row.firstRun) {
        ClearSettingsFile();
      } else {
        StoreOldSettings();
      }
      const int failuresBefore = FailureCount();
      int escaped = 0;
      const CameraHandle handle = RunStep(row, n, &escaped);
      const bool failed = injected.load();
      EXPECT_EQ(escaped, 0);
      CheckAfterwards(row, handle);
      // The first allocation whose failure breaks the row is the one to look at.
      if (FailureCount() != failuresBefore || !failed) break;
    }
  }
}

}  // namespace
