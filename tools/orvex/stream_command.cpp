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

#include <cstdlib>
#endif

#include "tools/orvex/capture_options.h"
#include "tools/orvex/commands.h"
#include "tools/orvex/frame_messages.h"

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
      "Runs the preview for N seconds (default 5) or until it has taken exactly N frames, and\n"
      "prints, about once a second, the frames taken (each announced by the library's frame\n"
      "message), the frames the camera sent and dropped, the mean level of the current image\n"
      "and the processor time of the process as a share of one core (the virtual camera's own\n"
      "work included). The preview window is hidden. --set and --auto-exposure work as for\n"
      "orvex snap, for this run only.\n");
  return 2;
}

// The parent of the preview's window: hidden, and the preview 1 x 1 pixel inside it, so that
// nothing shows and the frames cost about what the acquisition and the pipeline cost.
class HiddenPreviewWindow {
 public:
  HiddenPreviewWindow() {
#if defined(_WIN32)
    parent_ = CreateWindowExA(0, "STATIC", "orvex stream", WS_OVERLAPPED, 0, 0, 64, 64, nullptr,
                              nullptr, GetModuleHandleA(nullptr), nullptr);
#else
    // On the headless screen, not on the X display: the library chooses its window system once,
    // when the process first needs one.
    unsetenv("DISPLAY");
    parent_ = OrvexPlatform_CreateWindow(0, 0, 0, 1, 1);
    OrvexPlatform_ShowWindow(parent_, 0);
#endif
  }
  ~HiddenPreviewWindow() {
#if defined(_WIN32)
    if (parent_ != nullptr) DestroyWindow(parent_);
#else
    if (parent_ != 0) OrvexPlatform_DestroyWindow(parent_);
#endif
  }
  HiddenPreviewWindow(const HiddenPreviewWindow&) = delete;
  HiddenPreviewWindow& operator=(const HiddenPreviewWindow&) = delete;

  OrvexWindow parent() const {
    return parent_;
  }

 private:
  OrvexWindow parent_{};
};

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

  const HiddenPreviewWindow hidden;
  FrameMessages messages;
  if (!messages.window()) {
    std::fprintf(stderr, "orvex: no window for the frame messages\n");
    return 1;
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
  // Every processed frame is announced by FrameMessage; the tool counts those and stops the
  // preview at the N-th, so exactly N frames are taken however fast the camera sends them.
  if (!Orvex_SetPreviewWindow(handle, hidden.parent(), 0, 0, 1, 1) ||
      !Orvex_CallBackPreview(handle, messages.window(), nullptr, 0, 1)) {
    PrintErrors(handle, "starting the preview", ErrorBusy);
    RestoreSettings(handle, saved);
    Orvex_Release(handle);
    return 1;
  }
  std::printf("preview of %d x %d at %d bits a pixel\n", size.width, size.height,
              options.bitsPerPixel);

  Clock::time_point last = start;
  std::int32_t taken = 0, takenLast = 0;
  double cpuLast = cpuAtStart;
  int status = 0, stopped = 1;
  bool done = false;
  while (!done) {
    std::uint32_t message = 0;
    std::uintptr_t wParam = 0;
    std::intptr_t lParam = 0;
    if (messages.Next(std::chrono::milliseconds(100), &message, &wParam, &lParam) &&
        message == FrameMessage) {
      if (wParam != 0) {
        ++taken;
      } else {
        std::fprintf(stderr, "orvex: a frame failed: %s\n",
                     DescribeError(static_cast<std::int32_t>(lParam)).c_str());
        if (lParam == ErrorStreamStopped) {
          status = 1;
          done = true;
        }
      }
    }
    const Clock::time_point now = Clock::now();
    if (frames > 0 ? taken >= frames : now - start >= std::chrono::seconds(seconds)) done = true;
    // The N-th frame ends the preview before anything else is looked at.
    if (done) stopped = Orvex_StopPreview(handle);
    const double interval = std::chrono::duration<double>(now - last).count();
    if (interval < 1.0 && !done) continue;

    const double cpu = ProcessCpuSeconds();
    const std::int32_t sent = FramesSent(options.device);
    double level = 0;
    if (Orvex_GetImage(handle, image.data(), static_cast<std::int32_t>(image.size()), 1)) {
      for (std::uint8_t byte : image) level += byte;
      level /= image.empty() ? 1 : static_cast<double>(image.size());
    }
    std::printf(
        "%6.1f s  taken %d (%5.1f frames/s)  camera sent %d, dropped %d  mean byte %5.1f  "
        "cpu %5.1f %% of a core\n",
        std::chrono::duration<double>(now - start).count(), taken, (taken - takenLast) / interval,
        sent - sentAtStart, FramesDropped(options.device) - droppedAtStart, level,
        100.0 * (cpu - cpuLast) / interval);
    std::fflush(stdout);
    last = now;
    takenLast = taken;
    cpuLast = cpu;
  }

  const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
  std::printf("total: %d frames taken in %.2f s (%.1f frames/s), cpu %.1f %% of a core\n", taken,
              elapsed, taken / elapsed, 100.0 * (ProcessCpuSeconds() - cpuAtStart) / elapsed);
  if (!stopped) {
    PrintErrors(handle, "the preview");
    status = 1;
  }
  Orvex_Close(handle);
  RestoreSettings(handle, saved);
  Orvex_Release(handle);
  return status;
}

}  // namespace orvex::tool
