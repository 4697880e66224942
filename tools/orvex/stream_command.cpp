// orvex stream: runs the live preview and reports its rate and cost as it goes.
#include <OrvexSdk_QX218.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#else
#include <orvex/virtual_camera.h>
#include <sys/resource.h>
#endif

#include "tools/orvex/capture_options.h"
#include "tools/orvex/commands.h"

namespace orvex::tool {
namespace {

using Clock = std::chrono::steady_clock;

// Processor time of the whole process (every thread), in seconds.
double ProcessCpuSeconds() {
#if defined(_WIN32)
  FILETIME created, exited, kernel, user;
  if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0;
  auto seconds = [](const FILETIME& t) {
    return ((static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime) * 1e-7;
  };
  return seconds(kernel) + seconds(user);
#else
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
         (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
#endif
}

// Frames the camera has delivered and dropped; -1 where only the real camera is there.
std::int32_t FramesSent(std::int32_t device) {
#if defined(_WIN32)
  (void)device;
  return -1;
#else
  return OrvexVirtualCamera_FramesSent(device);
#endif
}
std::int32_t FramesDropped(std::int32_t device) {
#if defined(_WIN32)
  (void)device;
  return -1;
#else
  return OrvexVirtualCamera_FramesDropped(device);
#endif
}

int Usage() {
  std::fprintf(
      stderr,
      "usage: orvex stream [--seconds N | --frames N] [--color-mode 8|16|24|32|48|64]\n"
      "                    [--geometry TH,EHS,EH,TV,EVS,EV] [--wait-time MS] [--device N]\n"
      "                    [--set NAME=VALUE ...] [--auto-exposure]\n"
      "Runs the preview and prints, about once a second, the frames the camera sent and\n"
      "dropped, the mean level of the current image and the processor time of the process\n"
      "as a share of one core (the virtual camera's own work included). --set and\n"
      "--auto-exposure work as for orvex snap, for this run only.\n");
  return 2;
}

}  // namespace

int RunStream(const std::vector<std::string>& args) {
  CaptureOptions options;
  std::int32_t seconds = 5, frames = 0;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const int shared = ParseCaptureOption(args, &i, &options);
    if (shared < 0) return 2;
    if (shared > 0) continue;
    if ((args[i] == "--seconds" || args[i] == "--frames") && i + 1 < args.size()) {
      std::int32_t* target = args[i] == "--seconds" ? &seconds : &frames;
      if (!ParseInt(args[i + 1], target) || *target <= 0) return Usage();
      if (target == &frames) seconds = 0;
      ++i;
      continue;
    }
    return Usage();
  }

  const CameraHandle handle = Orvex_Initialize(0);
  if (handle == 0) {
    std::fprintf(stderr, "orvex: no memory for a camera handle\n");
    return 1;
  }
  SavedSettings saved;
  if (!ApplyCaptureOptions(handle, options, &saved)) {
    RestoreSettings(handle, saved);
    Orvex_Release(handle);
    return 1;
  }
  const OutputSize size = CurrentOutputSize(handle, options.bitsPerPixel);
  std::vector<std::uint8_t> image(static_cast<std::size_t>(size.stride) * size.height);

  const std::int32_t sentAtStart = FramesSent(options.device);
  const std::int32_t droppedAtStart = FramesDropped(options.device);
  const Clock::time_point start = Clock::now();
  const double cpuAtStart = ProcessCpuSeconds();
  if (!Orvex_StartPreview(handle)) {
    PrintErrors(handle, "starting the preview");
    RestoreSettings(handle, saved);
    Orvex_Release(handle);
    return 1;
  }
  std::printf("preview of %d x %d at %d bits a pixel\n", size.width, size.height,
              options.bitsPerPixel);

  Clock::time_point last = start;
  std::int32_t sentLast = sentAtStart;
  double cpuLast = cpuAtStart;
  bool done = false;
  while (!done) {
    std::this_thread::sleep_for(std::chrono::milliseconds(frames > 0 ? 20 : 1000));
    const Clock::time_point now = Clock::now();
    const std::int32_t sent = FramesSent(options.device);
    done = frames > 0 ? sent - sentAtStart >= frames || sent < 0
                      : now - start >= std::chrono::seconds(seconds);
    const double interval = std::chrono::duration<double>(now - last).count();
    if (interval < 1.0 && !done) continue;

    const double cpu = ProcessCpuSeconds();
    double level = 0;
    if (Orvex_GetImage(handle, image.data(), static_cast<std::int32_t>(image.size()), 1)) {
      for (std::uint8_t byte : image) level += byte;
      level /= image.empty() ? 1 : static_cast<double>(image.size());
    }
    std::printf(
        "%6.1f s  camera %5.1f frames/s  sent %d  dropped %d  mean byte %5.1f  cpu %5.1f %%"
        " of a core\n",
        std::chrono::duration<double>(now - start).count(),
        sent >= 0 ? (sent - sentLast) / interval : 0.0, sent - sentAtStart,
        FramesDropped(options.device) - droppedAtStart, level, 100.0 * (cpu - cpuLast) / interval);
    std::fflush(stdout);
    last = now;
    sentLast = sent;
    cpuLast = cpu;
  }

  const int stopped = Orvex_StopPreview(handle);
  const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
  std::printf("total: %d frames in %.2f s (%.1f frames/s), cpu %.1f %% of a core\n",
              FramesSent(options.device) - sentAtStart, elapsed,
              (FramesSent(options.device) - sentAtStart) / elapsed,
              100.0 * (ProcessCpuSeconds() - cpuAtStart) / elapsed);
  int status = 0;
  if (!stopped) {
    PrintErrors(handle, "the preview");
    status = 1;
  }
  RestoreSettings(handle, saved);
  Orvex_Release(handle);
  return status;
}

}  // namespace orvex::tool
