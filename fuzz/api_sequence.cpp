// The byte format of a sequence: one byte chooses an operation (its value modulo the number of
// operations), the bytes after it its arguments. A handle argument is one byte: 0..3 a slot of
// the sequence (a slot that holds none gives 0), 4 a handle released earlier, 5 a value never
// handed out. A 32-bit argument is one byte choosing a value at a boundary of some parameter
// (sizes of the sensor, ranges of the settings, 0, -1, the extremes), or 0xFF and four raw
// bytes. Missing bytes read as 0, so every input is a sequence.
//
// The sequence calls the library as a careless but not lying application would: arguments may
// be anything, but a buffer is never smaller than the size given with it, and a preview's buffer
// lives until the handle is released. Virtual camera faults come between the calls: unplug and
// plug again, refused requests, short frames, dropped frames, another pace.
#include "fuzz/api_sequence.h"

#include <OrvexSdk_QX218.h>
#include <orvex/platform.h>
#include <orvex/virtual_camera.h>
#include <stdlib.h>

#if defined(_WIN32)
#include <windows.h>
#else
#include <unistd.h>
#endif

#include <algorithm>
#include <array>
#include <chrono>
#include <climits>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/portable.h"

namespace orvex::fuzz {
namespace {

constexpr int kSlots = 4;
// Cameras attached when a sequence starts; fault operations reach one index beyond them.
constexpr int kCameras = 3;
constexpr std::int32_t kNeverIssued = 0x5EED5EED;
constexpr std::int32_t kQuickPeriodMicroseconds = 5'000;
// The largest buffer the sequence allocates for the library, so that a wild size asked for
// costs no more than this.
constexpr std::int64_t kMaxBuffer = std::int64_t{64} << 20;

constexpr std::int32_t kBoundaries[] = {
    0,           1,           -1,   2,    3,    4,     5,     7,     8,     9,       10,
    11,          12,          13,   15,   16,   17,    19,    20,    24,    27,      28,
    31,          32,          33,   39,   40,   41,    48,    63,    64,    100,     127,
    128,         200,         255,  256,  360,  400,   1000,  1023,  1024,  1025,    1279,
    1280,        1281,        1319, 1320, 1321, 16383, 16384, 65535, 65536, INT_MAX, INT_MIN,
    INT_MAX - 1, INT_MIN + 1, -255, -256, -360, -1024, -1320};

// Reads the sequence's bytes; past the end everything is 0.
class Input {
 public:
  Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  bool Done() const { return at_ >= size_; }
  std::uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
  // lo..hi, both included.
  int Pick(int lo, int hi) { return lo + Byte() % (hi - lo + 1); }
  bool Flag() { return (Byte() & 1) != 0; }
  std::int32_t Value() {
    const std::uint8_t choice = Byte();
    if (choice != 0xFF) return kBoundaries[choice % std::size(kBoundaries)];
    std::uint32_t raw = 0;
    for (int i = 0; i < 4; ++i) raw = raw << 8 | Byte();
    return static_cast<std::int32_t>(raw);
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

using Setter = std::int32_t (*)(CameraHandle, std::int32_t);
using Getter = std::int32_t (*)(CameraHandle, std::int32_t*);
#define ORVEX_PAIR(name) \
  { Orvex_Set##name, Orvex_Get##name }
constexpr std::pair<Setter, Getter> kNamedFilters[] = {
    ORVEX_PAIR(Brightness),      ORVEX_PAIR(Contrast),       ORVEX_PAIR(Hue),
    ORVEX_PAIR(Saturation),      ORVEX_PAIR(Sharpness),      ORVEX_PAIR(BayerGainRGB),
    ORVEX_PAIR(BayerGainRed),    ORVEX_PAIR(BayerGainGreen), ORVEX_PAIR(BayerGainBlue),
    ORVEX_PAIR(BayerGainAuto),   ORVEX_PAIR(Gamma),          ORVEX_PAIR(BayerMode),
    ORVEX_PAIR(GlobalGain),      ORVEX_PAIR(ColorGainRed),   ORVEX_PAIR(ColorGainGreen1),
    ORVEX_PAIR(ColorGainGreen2), ORVEX_PAIR(ColorGainBlue),  ORVEX_PAIR(ExposureTime),
    ORVEX_PAIR(GrayMode),        ORVEX_PAIR(GrayGainR),      ORVEX_PAIR(GrayGainG1),
    ORVEX_PAIR(GrayGainG2),      ORVEX_PAIR(GrayGainB),      ORVEX_PAIR(GrayOffsetR),
    ORVEX_PAIR(GrayOffsetG1),    ORVEX_PAIR(GrayOffsetG2),   ORVEX_PAIR(GrayOffsetB)};
#undef ORVEX_PAIR

struct Process {
  bool prepared = false;
  std::filesystem::path dir;    // the settings' folder (Linux)
  OrvexWindow application = 0;  // a window with a picture, for child previews
};

// Each sequence starts without stored settings: no file on Linux, no key on Windows.
void ForgetStoredSettings(const std::filesystem::path& dir) {
#if defined(_WIN32)
  (void)dir;
  RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Helvane\\OrvexQX218Sdk");
#else
  std::error_code ignored;
  std::filesystem::remove(dir / "Helvane" / "OrvexQX218Sdk.reg", ignored);
#endif
}

Process& TheProcess() {
  static Process process;
  return process;
}

class Sequence {
 public:
  explicit Sequence(Input& in) : in_(in) {
    messages_ = OrvexPlatform_CreateMessageWindow();
    ForgetStoredSettings(TheProcess().dir);
    testing::SetEnvironment("ORVEX_VIRTUAL_CAMERAS", "3");
    OrvexVirtualCamera_Reset();
    for (int i = 0; i < kCameras; ++i) QuickCamera(i);
  }

  // Frames at a quick pace, of a raster that costs little to send: the sequence is about
  // calls, not about waiting or drawing scenes (and unpaced, every preview's reader would take
  // a core).
  static void QuickCamera(int camera) {
    static const std::vector<std::uint8_t> raster = [] {
      std::vector<std::uint8_t> lines(1320 * 8);
      for (std::size_t i = 0; i < lines.size(); ++i) lines[i] = static_cast<std::uint8_t>(i * 7);
      return lines;
    }();
    OrvexVirtualCamera_SetFramePeriod(camera, kQuickPeriodMicroseconds);
    OrvexVirtualCamera_SetRaster(camera, raster.data(), 1320, 8, 1);
  }
  ~Sequence() {
    for (int slot = 0; slot < kSlots; ++slot) Release(slot);
    Drain();
    OrvexPlatform_DestroyWindow(messages_);
    OrvexVirtualCamera_Reset();
  }

  void Run() {
    while (!in_.Done()) Step(in_.Byte());
  }

 private:
  CameraHandle Handle() {
    const int choice = in_.Byte() % 6;
    if (choice < kSlots) return handles_[choice];
    return choice == kSlots ? released_ : kNeverIssued;
  }
  int Slot() { return in_.Byte() % kSlots; }
  OrvexWindow Window() {
    switch (in_.Byte() % 4) {
      case 0:
        return 0;
      case 1:
        return messages_;
      case 2:
        return TheProcess().application;
      default:
        return reinterpret_cast<OrvexWindow>(std::uintptr_t{0x7EADBEEF});  // no window at all
    }
  }

  // A buffer of a size chosen around what the handle's output needs; null for size 0 when
  // the sequence says so.
  std::unique_ptr<std::vector<std::uint8_t>> Buffer(CameraHandle handle, std::int32_t* size) {
    // A stored width or height may be anything; beyond 2^16 only the cap matters.
    const std::int64_t width = std::clamp(Orvex_Width(handle), 0, 1 << 16);
    const std::int64_t height = std::clamp(Orvex_Height(handle), 0, 1 << 16);
    const std::int64_t bits = std::max(8, Orvex_GetColorMode(handle));
    const std::int64_t need = std::min(kMaxBuffer, (width * bits + 31) / 32 * 4 * height);
    std::int64_t bytes = 0;
    switch (in_.Byte() % 6) {
      case 0:
        bytes = 0;
        break;
      case 1:
        bytes = need - 1;
        break;
      case 2:
      case 3:
        bytes = need;
        break;
      case 4:
        bytes = need + 4;
        break;
      default:
        bytes = in_.Pick(1, 64);
        break;
    }
    bytes = std::clamp<std::int64_t>(bytes, 0, kMaxBuffer);
    *size = static_cast<std::int32_t>(bytes);
    if (bytes == 0 && in_.Flag()) return nullptr;
    return std::make_unique<std::vector<std::uint8_t>>(static_cast<std::size_t>(bytes) + 1);
  }

  // A refused geometry of thousands of lines both ways makes a top-level preview window of
  // the window system's largest size, which the stand-in window system fills pixel by pixel
  // for seconds. The geometry test sweeps those; here they would only slow the search down.
  static bool HugePreviewWindow(CameraHandle handle) {
    const std::int64_t width = std::clamp(Orvex_Width(handle), 0, 1 << 14);
    const std::int64_t height = std::clamp(Orvex_Height(handle), 0, 1 << 14);
    return width * height > (std::int64_t{1} << 24);
  }

  void Release(int slot) {
    if (handles_[slot] == 0) return;
    Orvex_Release(handles_[slot]);
    released_ = handles_[slot];
    handles_[slot] = 0;
    previewBuffers_[slot].clear();
  }

  void Drain() {
    std::uint32_t message = 0;
    std::uintptr_t wParam = 0;
    std::intptr_t lParam = 0;
    while (OrvexPlatform_GetMessage(messages_, 0, &message, &wParam, &lParam)) {
    }
  }

  void Step(std::uint8_t op);
  void CameraFault();

  Input& in_;
  OrvexWindow messages_ = 0;
  std::array<CameraHandle, kSlots> handles_{};
  std::array<std::vector<std::unique_ptr<std::vector<std::uint8_t>>>, kSlots> previewBuffers_;
  CameraHandle released_ = 0;
};

void Sequence::Step(std::uint8_t op) {
  constexpr int kOperations = 26;
  switch (op % kOperations) {
    case 0: {
      const int slot = Slot();
      Release(slot);
      handles_[slot] = Orvex_Initialize(Window());
      break;
    }
    case 1: {
      const int slot = Slot();
      if (in_.Flag()) {
        Release(slot);
      } else {
        Orvex_Release(Handle());
      }
      break;
    }
    case 2: {
      const CameraHandle h = Handle();
      Orvex_SetDeviceNumber(h, in_.Value());
      break;
    }
    case 3: {
      const CameraHandle h = Handle();
      Orvex_SetColorMode(h, in_.Value());
      break;
    }
    case 4: {
      const CameraHandle h = Handle();
      const std::int32_t width = in_.Value();
      Orvex_SetCaptureWindow(h, width, in_.Value());
      break;
    }
    case 5: {
      const CameraHandle h = Handle();
      std::int32_t v[6];
      for (std::int32_t& value : v) value = in_.Value();
      Orvex_SetCaptureWindowEx(h, v[0], v[1], v[2], v[3], v[4], v[5]);
      break;
    }
    case 6: {
      const CameraHandle h = Handle();
      if (in_.Flag()) {
        Orvex_SetSubSample(h, in_.Value());
      } else {
        Orvex_SetAutoIris(h, in_.Value());
      }
      break;
    }
    case 7: {
      // A long wait is the preview's pace, not a fault: StopPreview waits one of them out.
      constexpr std::int32_t kWaits[] = {-1, 0, 1, 5, 15};
      const CameraHandle h = Handle();
      Orvex_SetWaitTime(h, kWaits[in_.Byte() % std::size(kWaits)]);
      break;
    }
    case 8: {
      const CameraHandle h = Handle();
      const std::int32_t id = in_.Value();
      std::int32_t ok = 0;
      if (in_.Flag()) {
        Orvex_SetFilterValue(h, id, in_.Value());
      } else {
        Orvex_GetFilterValue(h, id, in_.Flag() ? &ok : nullptr);
      }
      break;
    }
    case 9: {
      const CameraHandle h = Handle();
      if (!HugePreviewWindow(h)) Orvex_Preview(h);
      break;
    }
    case 10: {
      const int slot = Slot();
      const CameraHandle h = handles_[slot];
      if (HugePreviewWindow(h)) break;
      const OrvexWindow window = Window();
      std::int32_t size = 0;
      auto buffer = Buffer(h, &size);
      std::uint8_t* pixels = buffer ? buffer->data() : nullptr;
      // The library may write into it until the handle is released.
      if (buffer) previewBuffers_[slot].push_back(std::move(buffer));
      Orvex_CallBackPreview(h, window, pixels, size, in_.Value());
      break;
    }
    case 11: {
      const CameraHandle h = Handle();
      Orvex_StartPreview(h);
      break;
    }
    case 12: {
      const CameraHandle h = Handle();
      Orvex_StopPreview(h);
      break;
    }
    case 13: {
      const CameraHandle h = Handle();
      Orvex_Close(h);
      break;
    }
    case 14: {
      const CameraHandle h = Handle();
      std::int32_t size = 0;
      auto buffer = Buffer(h, &size);
      Orvex_SnapShot(h, buffer ? buffer->data() : nullptr, size, in_.Value());
      break;
    }
    case 15: {
      const CameraHandle h = Handle();
      Orvex_Capture(h);
      break;
    }
    case 16: {
      const CameraHandle h = Handle();
      std::int32_t size = 0;
      auto buffer = Buffer(h, &size);
      Orvex_GetImage(h, buffer ? buffer->data() : nullptr, size, in_.Value());
      break;
    }
    case 17: {
      const CameraHandle h = Handle();
      const std::string file = (TheProcess().dir / "frame.csv").string();
      const std::string missing = (TheProcess().dir / "none" / "frame.csv").string();
      const int choice = in_.Byte() % 3;
      const char* path = choice == 0 ? file.c_str() : choice == 1 ? missing.c_str() : nullptr;
      Orvex_SaveImage(h, path, in_.Value());
      break;
    }
    case 18: {
      const CameraHandle h = Handle();
      const OrvexWindow parent = Window();
      std::int32_t v[4];
      for (std::int32_t& value : v) value = in_.Value();
      // As with HugePreviewWindow: a child of the largest size both ways only costs time.
      if (v[2] > 4096 && v[3] > 4096) v[3] = 4096;
      Orvex_SetPreviewWindow(h, parent, v[0], v[1], v[2], v[3]);
      break;
    }
    case 19: {
      const CameraHandle h = Handle();
      std::int32_t w[6] = {};
      const bool pointers = in_.Flag();
      Orvex_GetCaptureWindowEx(h, pointers ? &w[0] : nullptr, &w[1], pointers ? &w[2] : nullptr,
                               &w[3], pointers ? &w[4] : nullptr, &w[5]);
      std::int32_t ok = 0;
      Orvex_Width(h);
      Orvex_Height(h);
      Orvex_GetSubSample(h);
      Orvex_GetWaitTime(h);
      Orvex_GetAutoIris(h, pointers ? &ok : nullptr);
      Orvex_GetColorMode(h);
      Orvex_GetStatus(h, in_.Value());
      Orvex_GetSamplingRate(h, pointers ? &ok : nullptr);
      Orvex_GetVideoFormat(h, pointers ? nullptr : &ok);
      Orvex_GetLastError(h);
      Orvex_GetDllVersion();
      break;
    }
    case 20: {
      const CameraHandle h = Handle();
      switch (in_.Byte() % 3) {
        case 0: {
          static char names[10][256];
          Orvex_EnumDevice(h, in_.Flag() ? names : nullptr);
          break;
        }
        case 1: {
          constexpr std::int32_t kSizes[] = {0, 1, 15, 16, 17, 256};
          const std::int32_t index = in_.Value();
          const std::int32_t size = kSizes[in_.Byte() % std::size(kSizes)];
          std::vector<char> name(static_cast<std::size_t>(size) + 1);
          Orvex_GetDeviceName(h, index, in_.Flag() ? name.data() : nullptr, size);
          break;
        }
        default: {
          CameraInfo info{};
          info.size = in_.Value();
          Orvex_GetCameraInfo(h, in_.Flag() ? &info : nullptr);
          break;
        }
      }
      break;
    }
    case 21: {
      const CameraHandle h = Handle();
      const std::int32_t where = in_.Value();
      std::int32_t ok = 0;
      switch (in_.Byte() % 4) {
        case 0:
          Orvex_Fpga_WriteRegister(h, where, in_.Value());
          break;
        case 1:
          Orvex_Fpga_ReadRegister(h, where, in_.Flag() ? &ok : nullptr);
          break;
        case 2:
          Orvex_WriteSromID(h, where, in_.Value());
          break;
        default:
          Orvex_ReadSromID(h, where, in_.Flag() ? &ok : nullptr);
          break;
      }
      break;
    }
    case 22: {
      const CameraHandle h = Handle();
      const std::int32_t a = in_.Value();
      switch (in_.Byte() % 4) {
        case 0:
          Orvex_Trigger(h);
          break;
        case 1:
          Orvex_Fps(h, a);
          break;
        case 2:
          Orvex_WriteRegister(h, a, a);
          break;
        default:
          Orvex_SetMirrorH(h, a);
          break;
      }
      break;
    }
    case 23:
      CameraFault();
      break;
    case 24:
      // Lets running previews take frames between the calls.
      std::this_thread::sleep_for(std::chrono::milliseconds(in_.Pick(0, 20)));
      Drain();
      break;
    default: {
      const CameraHandle h = Handle();
      const auto& [set, get] = kNamedFilters[in_.Byte() % std::size(kNamedFilters)];
      std::int32_t ok = 0;
      if (in_.Flag()) {
        set(h, in_.Value());
      } else {
        get(h, in_.Flag() ? &ok : nullptr);
      }
      break;
    }
  }
  Drain();
}

void Sequence::CameraFault() {
  const int camera = in_.Pick(0, kCameras);
  switch (in_.Byte() % 7) {
    case 0:
      OrvexVirtualCamera_Detach(camera);
      break;
    case 1:
      if (OrvexVirtualCamera_Attach(camera)) QuickCamera(camera);
      break;
    case 2: {
      const std::int32_t pipe = in_.Pick(0, 2);
      OrvexVirtualCamera_FailRequests(camera, pipe, in_.Pick(0, 3));
      break;
    }
    case 3:
      OrvexVirtualCamera_ShortFrames(camera, in_.Pick(0, 3));
      break;
    case 4:
      // Below 100: at 100 no frame ever comes, and a snapshot waits as long as the camera does.
      OrvexVirtualCamera_SetDropRate(camera, in_.Pick(0, 90));
      break;
    case 5: {
      constexpr std::int32_t kPeriods[] = {0, 2'000, kQuickPeriodMicroseconds, 20'000};
      OrvexVirtualCamera_SetFramePeriod(camera, kPeriods[in_.Byte() % std::size(kPeriods)]);
      break;
    }
    default:
      OrvexVirtualCamera_SetScene(camera, in_.Pick(0, 3));
      break;
  }
}

}  // namespace

void PrepareProcess() {
  Process& process = TheProcess();
  if (process.prepared) return;
  process.prepared = true;
#if defined(_WIN32)
  // The settings are the user's registry key, cleared for each sequence and at the end.
  std::atexit([] { ForgetStoredSettings({}); });
#else
  // Previews land on the headless screen, whatever display the calling shell has.
  ::unsetenv("DISPLAY");
  const std::filesystem::path base = ::access("/dev/shm", W_OK) == 0
                                         ? std::filesystem::path("/dev/shm")
                                         : std::filesystem::temp_directory_path();
  std::string pattern = (base / "orvex-fuzz-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) std::abort();
  process.dir = pattern;
  std::atexit([] {
    std::error_code ignored;
    std::filesystem::remove_all(TheProcess().dir, ignored);
  });
  ::setenv("XDG_CONFIG_HOME", pattern.c_str(), 1);
#endif
  process.application = OrvexPlatform_CreateWindow(0, 0, 0, 640, 480);
}

void RunApiSequence(const std::uint8_t* data, std::size_t size) {
  PrepareProcess();
  Input input(data, size);
  Sequence sequence(input);
  sequence.Run();
}

}  // namespace orvex::fuzz
