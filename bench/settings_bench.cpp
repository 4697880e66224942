// What the settings file costs a start and a release: the loads of a start and the save of a
// release on files of 4 KiB, 1 MiB and just under the 4 MiB the store reads, and
// Orvex_Initialize and Orvex_Release through the exports with the virtual camera. Saves fsync,
// so these are wall-clock times of the file system the temporary directory is on.
#include <OrvexSdk_QX218.h>
#include <benchmark/benchmark.h>
#include <orvex/virtual_camera.h>
#include <stdlib.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "platform/platform_services.h"
#include "platform/posix/reg_file_store.h"
#include "settings/registry_settings.h"

namespace orvex {
namespace {

using platform::RegFileStore;

// A settings file of about `bytes`: the library's own keys, written by a first start and a
// release, among keys of other software.
class SettingsFile {
 public:
  explicit SettingsFile(std::size_t bytes) {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "orvex-settings-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) return;
    directory_ = pattern;
    path_ = (directory_ / "OrvexQX218Sdk.reg").string();
    std::string text = "Windows Registry Editor Version 5.00\r\n\r\n";
    for (int k = 0; text.size() + 64 < bytes; ++k) {
      char key[96];
      std::snprintf(key, sizeof key,
                    "[HKEY_CURRENT_USER\\Software\\Other\\K%06d]\r\n\"V\"=dword:00000000\r\n\r\n",
                    k);
      text += key;
    }
    std::ofstream(path_, std::ios::binary) << text;
    RegFileStore store(path_);
    CaptureGeometry geometry;
    settings::LoadSizeSettings(store, geometry);
    SaveRelease(store, 0);
  }
  ~SettingsFile() {
    std::error_code ignored;
    if (!directory_.empty()) std::filesystem::remove_all(directory_, ignored);
  }

  bool usable() const { return !path_.empty(); }
  const std::string& path() const { return path_; }

  // What Orvex_Release stores: the analog, filter and gray groups, in one commit.
  static bool SaveRelease(platform::RegistryStore& store, std::int32_t value) {
    AnalogSettings analog;
    analog.Exposure = value;
    ImageSettings image;
    image.Gamma = value;
    image.GainR1 = value;
    platform::RegistryBatch release(store);
    bool saved = settings::SaveAnalogSettings(store, 0, &analog);
    saved = settings::SaveFilterSettings(store, &image) && saved;
    saved = settings::SaveGraySettings(store, &image) && saved;
    return release.Commit() && saved;
  }

 private:
  std::filesystem::path directory_;
  std::string path_;
};

// The largest file leaves room for what a release adds.
constexpr std::int64_t kKiB = 1024;

// A start's loads: with a new store, as a process's first handle reads the file, or with one
// that has read it already, as every later handle does.
void SettingsStartLoads(benchmark::State& state) {
  SettingsFile file(static_cast<std::size_t>(state.range(0)));
  const bool firstHandle = state.range(1) != 0;
  RegFileStore shared(file.path());
  for (auto _ : state) {
    RegFileStore fresh(file.path());
    RegFileStore& store = firstHandle ? fresh : shared;
    CaptureGeometry geometry;
    CaptureFormat format;
    AnalogSettings analog;
    ImageSettings image;
    bool loaded = settings::LoadSizeSettings(store, geometry);
    loaded = settings::LoadFormatSettings(store, format) && loaded;
    loaded = settings::LoadAnalogSettings(store, 0, &analog) && loaded;
    loaded = settings::LoadFilterSettings(store, &image) && loaded;
    loaded = settings::LoadGraySettings(store, &image) && loaded;
    if (!loaded) {
      state.SkipWithError("settings missing");
      break;
    }
  }
}
BENCHMARK(SettingsStartLoads)
    ->ArgNames({"bytes", "first"})
    ->ArgsProduct({{4 * kKiB, 1024 * kKiB, 4000 * kKiB}, {1, 0}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// A release that changes values: one commit of its three groups.
void SettingsReleaseSave(benchmark::State& state) {
  SettingsFile file(static_cast<std::size_t>(state.range(0)));
  RegFileStore store(file.path());
  std::int32_t value = 0;
  for (auto _ : state) {
    if (!SettingsFile::SaveRelease(store, ++value)) {
      state.SkipWithError("save failed");
      break;
    }
  }
}
BENCHMARK(SettingsReleaseSave)
    ->ArgName("bytes")
    ->Arg(4 * kKiB)
    ->Arg(1024 * kKiB)
    ->Arg(4000 * kKiB)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The exports on the virtual camera, with the library's store on the file. The store is new for
// every handle when `first` is set, as in a process that opens one camera and ends.
class ExportsOnFile {
 public:
  explicit ExportsOnFile(const SettingsFile& file) : file_(file) {
    OrvexVirtualCamera_Attach(0);
    OrvexVirtualCamera_SetFramePeriod(0, 0);
  }
  ~ExportsOnFile() { platform::ResetPlatformServices(); }

  void UseStore(bool fresh) {
    if (fresh || !store_) store_ = std::make_unique<RegFileStore>(file_.path());
    platform::PlatformServices services;
    services.registry = store_.get();
    platform::InstallPlatformServices(services);
  }

 private:
  const SettingsFile& file_;
  std::unique_ptr<RegFileStore> store_;
};

void SettingsInitialize(benchmark::State& state) {
  SettingsFile file(static_cast<std::size_t>(state.range(0)));
  ExportsOnFile exports(file);
  for (auto _ : state) {
    state.PauseTiming();
    exports.UseStore(state.range(1) != 0);
    state.ResumeTiming();
    const CameraHandle handle = Orvex_Initialize(0);
    state.PauseTiming();
    if (handle == 0) {
      state.SkipWithError("no handle");
      break;
    }
    Orvex_Release(handle);
    state.ResumeTiming();
  }
}
BENCHMARK(SettingsInitialize)
    ->ArgNames({"bytes", "first"})
    ->ArgsProduct({{4 * kKiB, 1024 * kKiB}, {1, 0}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// A release after a change of one filter value, and one after none (which writes nothing).
void SettingsRelease(benchmark::State& state) {
  SettingsFile file(static_cast<std::size_t>(state.range(0)));
  const bool changed = state.range(1) != 0;
  ExportsOnFile exports(file);
  exports.UseStore(true);
  std::int32_t gamma = 100;
  for (auto _ : state) {
    state.PauseTiming();
    const CameraHandle handle = Orvex_Initialize(0);
    if (handle == 0) {
      state.SkipWithError("no handle");
      break;
    }
    if (changed) Orvex_SetGamma(handle, gamma = gamma == 100 ? 101 : 100);
    state.ResumeTiming();
    if (Orvex_Release(handle) != 1) {
      state.SkipWithError("release failed");
      break;
    }
  }
}
BENCHMARK(SettingsRelease)
    ->ArgNames({"bytes", "changed"})
    ->ArgsProduct({{4 * kKiB, 1024 * kKiB}, {1, 0}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
}  // namespace orvex
