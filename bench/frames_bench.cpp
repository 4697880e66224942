// Frames at full size: window extraction, copies out to the application, the pseudo-colour
// mapping and a whole snapshot, each beside a memcpy of the same bytes.
#include <OrvexSdk_QX218.h>
#include <benchmark/benchmark.h>
#include <orvex/virtual_camera.h>
#include <stdlib.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "core/camera_context.h"
#include "device/device_link.h"
#include "imaging/color_conversion.h"
#include "imaging/image_buffer.h"
#include "platform/platform_services.h"

namespace orvex {
namespace {

constexpr std::int32_t kWidth = 1280;
constexpr std::int32_t kHeight = 1024;

// A camera that answers every request at once and leaves frames as they are.
class InstantPort final : public platform::DriverPort {
 public:
  platform::DriverHandle Open(const char*) override { return 1; }
  bool Control(platform::DriverHandle, std::uint32_t, std::uint32_t, void*, std::uint32_t length,
               std::uint32_t* bytesReturned) override {
    if (bytesReturned != nullptr) *bytesReturned = length;
    return true;
  }
  bool Close(platform::DriverHandle) override { return true; }
};

void FramesMemcpy(benchmark::State& state) {
  const std::size_t bytes = static_cast<std::size_t>(state.range(0));
  std::vector<std::uint8_t> from(bytes, 1), to(bytes);
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), bytes);
    benchmark::DoNotOptimize(to.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * bytes);
}
// The window in 8 and 16 bits, 24-bit output, a 24-bit pseudo-colour image.
BENCHMARK(FramesMemcpy)->Arg(kWidth* kHeight)->Arg(kWidth* kHeight * 2)->Arg(kWidth* kHeight * 3);

void FramesExtractWindow(benchmark::State& state) {
  const int sixteenBit = static_cast<int>(state.range(0));
  InstantPort port;
  DeviceLink link(port, platform::Clock());
  link.SetSampleWidth(sixteenBit);
  if (link.ConfigureFrame(1320, 39, kWidth, kHeight, 0, kHeight, 2) != 0 ||
      link.StartSingleFrame() != 0) {
    state.SkipWithError("no frame");
    return;
  }
  const std::size_t bytes = static_cast<std::size_t>(kWidth) * kHeight * (sixteenBit ? 2 : 1);
  std::vector<std::uint8_t> window(bytes);
  for (auto _ : state) {
    link.CopySingleFrame(window.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * bytes);
}
BENCHMARK(FramesExtractWindow)->Arg(0)->Arg(1);

void FramesCopyImageOut(benchmark::State& state) {
  CameraContext context;
  ImageBuffer image(platform::Windows());
  image.Create(kWidth, kHeight, 24);
  std::vector<std::uint8_t> buffer(image.ByteSize());
  const std::int32_t bottomUp = static_cast<std::int32_t>(state.range(0));
  for (auto _ : state) {
    context.Acquisition().CopyImageOut(&image, bottomUp, buffer.data(),
                                       static_cast<std::int32_t>(buffer.size()));
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * image.ByteSize());
}
BENCHMARK(FramesCopyImageOut)->ArgName("bottomUp")->Arg(1)->Arg(0);

void FramesPseudoColor(benchmark::State& state) {
  HueTable table;
  BuildHueTable(table);
  ImageBuffer raw(platform::Windows()), color(platform::Windows());
  raw.Create(kWidth, kHeight, 8);
  color.Create(kWidth, kHeight, 24);
  for (std::size_t i = 0; i < raw.ByteSize(); ++i) raw.pixels[i] = static_cast<std::uint8_t>(i * 7);
  for (auto _ : state) {
    PseudoColorMap(raw, color, table);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * color.ByteSize());
}
BENCHMARK(FramesPseudoColor);

// Settings of the library go to a directory of the run's own, removed at the end.
class ScratchSettings {
 public:
  ScratchSettings() {
    std::string pattern = (std::filesystem::temp_directory_path() / "orvex-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr) {
      directory_ = pattern;
      setenv("XDG_CONFIG_HOME", directory_.c_str(), 1);
    }
  }
  ~ScratchSettings() {
    std::error_code ignored;
    if (!directory_.empty()) std::filesystem::remove_all(directory_, ignored);
  }

 private:
  std::filesystem::path directory_;
};

// One snapshot of every colour mode from the virtual camera delivering at once: prepared once
// by Orvex_Capture, or from the idle state, which prepares the capture for every frame.
void FramesSnapShot(benchmark::State& state) {
  static ScratchSettings settings;
  const std::int32_t bits = static_cast<std::int32_t>(state.range(0));
  const bool prepared = state.range(1) != 0;
  OrvexVirtualCamera_Attach(0);
  OrvexVirtualCamera_SetFramePeriod(0, 0);
  const CameraHandle handle = Orvex_Initialize(0);
  Orvex_SetCaptureWindowEx(handle, 1320, 39, kWidth, kHeight, 0, kHeight);
  Orvex_SetColorMode(handle, bits);
  const std::size_t bytes = static_cast<std::size_t>(kWidth) * kHeight * (bits / 8);
  std::vector<std::uint8_t> buffer(bytes);
  if (prepared && Orvex_Capture(handle) != 1) state.SkipWithError("no capture");
  for (auto _ : state) {
    if (Orvex_SnapShot(handle, buffer.data(), static_cast<std::int32_t>(bytes), 1) != 1) {
      state.SkipWithError("snapshot failed");
      break;
    }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * bytes);
  Orvex_Release(handle);
}
BENCHMARK(FramesSnapShot)
    ->ArgNames({"bits", "prepared"})
    ->ArgsProduct({{8, 16, 24, 32, 48, 64}, {0, 1}})
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace orvex
