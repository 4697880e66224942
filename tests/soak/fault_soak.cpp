// The fault soak: previews on several cameras while the cameras drop frames, send short frames
// and are unplugged and plugged in again; another thread takes snapshots; handles are released
// with their previews running. Afterwards no thread of the library is left, the frames the
// application got agree with what the cameras sent, and the stored settings (the settings file
// on Linux, the registry on Windows) read back whole. Leaks are LeakSanitizer's part, in the
// sanitizer build.
//
//   orvex_soak [--seconds N]      (20 by default)
#include <OrvexSdk_QX218.h>
#include <orvex/platform.h>
#include <orvex/virtual_camera.h>
#include <stdlib.h>

#if defined(_WIN32)
#include <tlhelp32.h>
#include <windows.h>
#else
#include <dirent.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr int kPreviewCameras = 3;             // cameras 0..2 preview, one thread each
constexpr int kCameras = kPreviewCameras + 1;  // camera 3 only gives snapshots
constexpr int32_t kFramePeriodMicroseconds = 20'000;
constexpr int32_t kGamma = 120;  // every handle sets it; the settings file must keep it
constexpr int32_t kModes[] = {8, 24, 32, 16};

// What the soak counts; the checks at the end compare these.
struct Tally {
  std::atomic<int64_t> previewFrames{0};  // FrameMessage with FrameInfo
  std::atomic<int64_t> snapshots{0};      // snapshots that returned 1
  std::atomic<int64_t> streamStops{0};    // FrameMessage (0, 13)
  std::atomic<int64_t> cameraFrames{0};   // whole frames the cameras sent, summed over plugs
  std::atomic<int64_t> streamFaults{0};   // unplugs, short frames and refused reads injected
  std::atomic<int64_t> replugs{0};
  std::atomic<int64_t> releasedRunning{0};  // releases with the preview running
  std::atomic<int64_t> sessions{0};
  std::mutex mutex;
  std::vector<std::string> problems;

  void Problem(std::string text) {
    std::lock_guard lock(mutex);
    if (problems.size() < 50) problems.push_back(std::move(text));
  }
};

int CountThreads() {
  int count = 0;
#if defined(_WIN32)
  const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return -1;
  THREADENTRY32 entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
    count += entry.th32OwnerProcessID == GetCurrentProcessId();
  }
  CloseHandle(snapshot);
#else
  if (DIR* dir = opendir("/proc/self/task")) {
    while (const dirent* entry = readdir(dir)) count += entry->d_name[0] != '.';
    closedir(dir);
  }
#endif
  return count;
}

// Errors a camera that disappears or sends short frames may cause: the device is missing (2),
// a frame or the stream failed (6, 8, 13). Anything else is a fault of the library.
bool ExpectedError(intptr_t code) {
  return code == 2 || code == 6 || code == 8 || code == 13;
}

// Plugs a camera in the way the soak wants it: paced, showing the moving scene.
void PlugIn(int camera) {
  OrvexVirtualCamera_Attach(camera);
  OrvexVirtualCamera_SetFramePeriod(camera, kFramePeriodMicroseconds);
  OrvexVirtualCamera_SetScene(camera, ORVEX_VIRTUAL_SCENE_MOVING);
}

// Stops the camera's frames, counts what it sent, and unplugs it; the count is exact because no
// frame is granted at a drop rate of 100 and the reads already granted end within moments.
void Unplug(int camera, Tally& tally) {
  OrvexVirtualCamera_SetDropRate(camera, 100);
  std::this_thread::sleep_for(milliseconds(50));
  tally.cameraFrames += std::max(0, OrvexVirtualCamera_FramesSent(camera));
  OrvexVirtualCamera_Detach(camera);
}

// Drains the window's messages: frames and stream stops are counted, errors checked. The
// FrameInfo of a frame is looked at only while its handle lives (`live`). Returns true when the
// stream stopped.
bool ReadMessages(OrvexWindow window, int32_t timeoutMs, int32_t bits, Tally& tally,
                  const char* who, bool live = true) {
  bool stopped = false;
  uint32_t message = 0;
  uintptr_t wParam = 0;
  intptr_t lParam = 0;
  int32_t wait = timeoutMs;
  while (OrvexPlatform_GetMessage(window, wait, &message, &wParam, &lParam)) {
    wait = 0;
    if (message == FrameMessage && wParam != 0) {
      // The record may already describe a later frame, written as it is read; only its
      // constant words are checked.
      auto* info = reinterpret_cast<FrameInfo*>(wParam);
      if (live && (__atomic_load_n(&info->size, __ATOMIC_RELAXED) != 24 ||
                   __atomic_load_n(&info->bitsPerPixel, __ATOMIC_RELAXED) != bits)) {
        tally.Problem(std::string(who) + ": FrameInfo of another format");
      }
      ++tally.previewFrames;
    } else if (message == FrameMessage) {
      if (lParam == 13) {
        ++tally.streamStops;
        stopped = true;
      } else if (!ExpectedError(lParam)) {
        tally.Problem(std::string(who) + ": FrameMessage with " + std::to_string(lParam));
      }
    } else if (message == ErrorMessage && !ExpectedError(lParam)) {
      tally.Problem(std::string(who) + ": error " + std::to_string(lParam));
    }
  }
  return stopped;
}

// One camera's application thread: handles that preview for a while, ride out what the camera
// does meanwhile, and end with a snapshot or a release under the running preview.
void PreviewCamera(int camera, Clock::time_point end, Tally& tally) {
  const std::string who = "camera " + std::to_string(camera);
  const OrvexWindow window = OrvexPlatform_CreateMessageWindow();
  std::mt19937 random(static_cast<unsigned>(camera) * 7919u + 1);
  for (int round = 0; Clock::now() < end; ++round) {
    const CameraHandle handle = Orvex_Initialize(window);
    if (handle == 0) {
      tally.Problem(who + ": no handle");
      break;
    }
    ++tally.sessions;
    const int32_t bits = kModes[round % std::size(kModes)];
    const int32_t width = 320 + 64 * camera, height = 240;
    Orvex_SetGamma(handle, kGamma);
    Orvex_SetWaitTime(handle, 5);
    if (!Orvex_SetDeviceNumber(handle, camera) ||
        !Orvex_SetCaptureWindowEx(handle, 1320, 39, width, 1024, 8, height) ||
        !Orvex_SetColorMode(handle, bits)) {
      // The camera may be unplugged just now; the next round tries again.
      Orvex_Release(handle);
      std::this_thread::sleep_for(milliseconds(50));
      continue;
    }
    std::vector<uint8_t> buffer(static_cast<size_t>(width) * (bits / 8) * height + 64);
    if (Orvex_CallBackPreview(handle, window, buffer.data(), static_cast<int32_t>(buffer.size()),
                              round & 1)) {
      const auto until = Clock::now() + milliseconds(300 + random() % 1200);
      while (Clock::now() < until) {
        if (ReadMessages(window, 50, bits, tally, who.c_str())) {
          // The stream failed (unplugged, short frame): stop, and start again once the camera
          // is there, as an application told of the device's return would.
          Orvex_StopPreview(handle);
          while (!OrvexVirtualCamera_IsAttached(camera) && Clock::now() < until) {
            std::this_thread::sleep_for(milliseconds(10));
          }
          Orvex_StartPreview(handle);
        }
      }
      if (round % 3 == 2) {
        ++tally.releasedRunning;
        Orvex_Release(handle);
        ReadMessages(window, 0, bits, tally, who.c_str(), false);
        continue;
      }
      Orvex_StopPreview(handle);
    }
    ReadMessages(window, 0, bits, tally, who.c_str());
    if (Orvex_SnapShot(handle, buffer.data(), static_cast<int32_t>(buffer.size()), 0)) {
      ++tally.snapshots;
    }
    Orvex_Close(handle);
    Orvex_Release(handle);
    ReadMessages(window, 0, bits, tally, who.c_str(), false);
  }
  OrvexPlatform_DestroyWindow(window);
}

// Snapshots from a thread of their own, on every camera in turn, the previewing ones included.
void Snapshots(Clock::time_point end, Tally& tally) {
  const OrvexWindow window = OrvexPlatform_CreateMessageWindow();
  const CameraHandle handle = Orvex_Initialize(window);
  Orvex_SetGamma(handle, kGamma);
  std::vector<uint8_t> frame(256 * 3 * 128);
  for (int i = 0; Clock::now() < end; ++i) {
    const int camera = i % kCameras;
    if (Orvex_SetDeviceNumber(handle, camera) &&
        Orvex_SetCaptureWindowEx(handle, 1320, 39, 256, 1024, 0, 128) &&
        Orvex_SetColorMode(handle, 24) &&
        Orvex_SnapShot(handle, frame.data(), static_cast<int32_t>(frame.size()), 1)) {
      ++tally.snapshots;
    }
    ReadMessages(window, 0, 24, tally, "snapshots");
    std::this_thread::sleep_for(milliseconds(20));
  }
  Orvex_Release(handle);
  ReadMessages(window, 0, 24, tally, "snapshots", false);
  OrvexPlatform_DestroyWindow(window);
}

// The faults: unplug and plug in again, short frames, drop rates, refused reads.
void Faults(Clock::time_point end, Tally& tally) {
  std::mt19937 random(12345);
  while (Clock::now() < end) {
    std::this_thread::sleep_for(milliseconds(150 + random() % 200));
    const int camera = static_cast<int>(random() % kPreviewCameras);
    switch (random() % 4) {
      case 0:
        Unplug(camera, tally);
        std::this_thread::sleep_for(milliseconds(100 + random() % 300));
        PlugIn(camera);
        ++tally.replugs;
        ++tally.streamFaults;
        break;
      case 1: {
        const auto count = 1 + static_cast<int32_t>(random() % 2);
        OrvexVirtualCamera_ShortFrames(camera, count);
        tally.streamFaults += count;
        break;
      }
      case 2:
        OrvexVirtualCamera_SetDropRate(camera, static_cast<int32_t>(random() % 60));
        break;
      default:
        OrvexVirtualCamera_FailRequests(camera, 2, 1);
        ++tally.streamFaults;
        break;
    }
  }
}

#if defined(_WIN32)
constexpr char kSettingsKey[] = "Software\\Helvane\\OrvexQX218Sdk";

// The values of the library's key and of every key below it.
int StoredValues(HKEY key) {
  DWORD subkeys = 0, values = 0;
  if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr,
                       nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
    return 0;
  }
  int count = static_cast<int>(values);
  char name[256];
  for (DWORD i = 0; i < subkeys; ++i) {
    DWORD size = sizeof name;
    HKEY subkey = nullptr;
    if (RegEnumKeyExA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
        RegOpenKeyExA(key, name, 0, KEY_READ, &subkey) == ERROR_SUCCESS) {
      count += StoredValues(subkey);
      RegCloseKey(subkey);
    }
  }
  return count;
}
#endif

// The stored settings: in the settings file the editor's header, then only keys, DWORD values
// and blank lines; and a new handle reads the values back.
bool SettingsValid(const std::filesystem::path& config, std::string* why) {
  int values = 0;
#if defined(_WIN32)
  (void)config;
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, &key) == ERROR_SUCCESS) {
    values = StoredValues(key);
    RegCloseKey(key);
  }
#else
  std::ifstream file(config / "Helvane" / "OrvexQX218Sdk.reg", std::ios::binary);
  std::string line;
  if (!std::getline(file, line) || line != "Windows Registry Editor Version 5.00\r") {
    *why = "no header";
    return false;
  }
  const std::string keyStart = "[HKEY_CURRENT_USER\\Software";
  const auto isKey = [&](const std::string& text) {
    return text.compare(0, keyStart.size(), keyStart) == 0 && text.size() >= 2 &&
           text.compare(text.size() - 2, 2, "]\r") == 0;
  };
  // "Name"=dword:0123abcd, CR.
  const auto isValue = [](const std::string& text) {
    const std::size_t close = text.find('"', 1);
    const std::string dword = "\"=dword:";
    if (text.empty() || text[0] != '"' || close == std::string::npos || close < 2) return false;
    if (text.compare(close, dword.size(), dword) != 0) return false;
    const std::size_t digits = close + dword.size();
    if (text.size() != digits + 9 || text.back() != '\r') return false;
    return std::all_of(text.begin() + static_cast<std::ptrdiff_t>(digits), text.end() - 1,
                       [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
  };
  while (std::getline(file, line)) {
    if (line == "\r" || isKey(line)) continue;
    if (!isValue(line)) {
      *why = "bad line: " + line;
      return false;
    }
    ++values;
  }
#endif
  const CameraHandle handle = Orvex_Initialize(0);
  int32_t ok = 0;
  const int32_t gamma = Orvex_GetGamma(handle, &ok);
  const int32_t error = Orvex_GetLastError(handle);
  Orvex_Release(handle);
  if (values < 20 || gamma != kGamma || error != 0) {
    *why = "values " + std::to_string(values) + ", Gamma " + std::to_string(gamma) +
           ", start-up error " + std::to_string(error);
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  int seconds = 20;
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::strcmp(argv[i], "--seconds") == 0) seconds = std::max(1, std::atoi(argv[i + 1]));
  }
#if defined(_WIN32)
  // The settings start from nothing in the user's registry, and go again at the end.
  const std::filesystem::path config;
  RegDeleteTreeA(HKEY_CURRENT_USER, kSettingsKey);
#else
  // Previews land on the headless screen, and the settings in a directory of the soak's own.
  unsetenv("DISPLAY");
  const std::filesystem::path base = access("/dev/shm", W_OK) == 0
                                         ? std::filesystem::path("/dev/shm")
                                         : std::filesystem::temp_directory_path();
  std::string pattern = (base / "orvex-soak-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) return 2;
  const std::filesystem::path config = pattern;
  setenv("XDG_CONFIG_HOME", pattern.c_str(), 1);
#endif

  // A sanitizer may start a thread of its own with the first thread of the process; it is there
  // before the count.
  std::thread([] {}).join();
  // So may the platform library: on Windows its window thread, made with the first window, runs
  // for the rest of the process.
  OrvexPlatform_DestroyWindow(OrvexPlatform_CreateMessageWindow());
  const int threadsBefore = CountThreads();
  for (int camera = 0; camera < 8; ++camera) OrvexVirtualCamera_Detach(camera);
  for (int camera = 0; camera < kCameras; ++camera) PlugIn(camera);

  Tally tally;
  const auto start = Clock::now();
  const auto end = start + std::chrono::seconds(seconds);
  std::vector<std::thread> threads;
  for (int camera = 0; camera < kPreviewCameras; ++camera) {
    threads.emplace_back(PreviewCamera, camera, end, std::ref(tally));
  }
  threads.emplace_back(Snapshots, end, std::ref(tally));
  threads.emplace_back(Faults, end, std::ref(tally));
  for (auto& thread : threads) thread.join();
  for (int camera = 0; camera < kCameras; ++camera) Unplug(camera, tally);
  const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();

  const int threadsAfter = CountThreads();
  if (threadsAfter != threadsBefore) {
    tally.Problem("threads: " + std::to_string(threadsBefore) + " before, " +
                  std::to_string(threadsAfter) + " after");
  }
  const int64_t delivered = tally.previewFrames + tally.snapshots;
  if (delivered > tally.cameraFrames) {
    tally.Problem("the application got " + std::to_string(delivered) + " frames of " +
                  std::to_string(tally.cameraFrames) + " sent");
  }
  if (tally.previewFrames == 0 || tally.snapshots == 0) tally.Problem("no frames came");
  if (tally.streamStops > tally.streamFaults) {
    tally.Problem(std::to_string(tally.streamStops) + " stream stops for " +
                  std::to_string(tally.streamFaults) + " faults");
  }
  std::string why;
  for (int camera = 0; camera < kCameras; ++camera) PlugIn(camera);
  if (!SettingsValid(config, &why)) tally.Problem("stored settings: " + why);
  for (int camera = 0; camera < kCameras; ++camera) OrvexVirtualCamera_Detach(camera);
#if defined(_WIN32)
  RegDeleteTreeA(HKEY_CURRENT_USER, kSettingsKey);
#else
  std::error_code ignored;
  std::filesystem::remove_all(config, ignored);
#endif

  std::printf(
      "soak: %.0f s, %lld sessions (%lld released previewing), %lld preview frames and %lld "
      "snapshots of %lld frames sent, %lld replugs, %lld stream stops for %lld faults, "
      "threads %d before and %d after\n",
      elapsed, static_cast<long long>(tally.sessions.load()),
      static_cast<long long>(tally.releasedRunning.load()),
      static_cast<long long>(tally.previewFrames.load()),
      static_cast<long long>(tally.snapshots.load()),
      static_cast<long long>(tally.cameraFrames.load()),
      static_cast<long long>(tally.replugs.load()),
      static_cast<long long>(tally.streamStops.load()),
      static_cast<long long>(tally.streamFaults.load()), threadsBefore, threadsAfter);
  for (const std::string& problem : tally.problems) std::printf("FAIL: %s\n", problem.c_str());
  return tally.problems.empty() ? 0 : 1;
}
