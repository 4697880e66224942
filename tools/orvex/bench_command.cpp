// orvex bench: the whole way of a frame through the public interface, as fast as the camera
// gives frames, for each colour mode in turn.
#include <OrvexSdk_QX218.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#if !defined(_WIN32)
#include <orvex/virtual_camera.h>
#endif

#include "tools/orvex/capture_options.h"
#include "tools/orvex/commands.h"

namespace orvex::tool {
namespace {

using Clock = std::chrono::steady_clock;

int Usage() {
  std::fprintf(
      stderr,
      "usage: orvex bench [--frames N] [--color-mode 8|16|24|32|48|64]\n"
      "                   [--geometry TH,EHS,EH,TV,EVS,EV] [--device N]\n"
      "                   [--set NAME=VALUE ...] [--auto-exposure]\n"
      "Takes N snapshots (default 50, after one to warm up) in each colour mode, or in the one\n"
      "given, at the full 1280 x 1024 window unless --geometry says otherwise, and prints frames\n"
      "a second and milliseconds a frame: the frame request and read, the window extraction,\n"
      "the frame pipeline and the copy to the application. The virtual camera sends every frame\n"
      "the moment it is read (frame period 0), so its own work to make a frame is included; a\n"
      "real camera paces the frames itself. --set and --auto-exposure work as for orvex snap.\n");
  return 2;
}

// One colour mode: N timed snapshots after a warm-up; false (reported) when one fails.
bool RunMode(CameraHandle handle, std::int32_t bits, std::int32_t frames) {
  if (!Orvex_SetColorMode(handle, bits)) {
    PrintErrors(handle, "setting the colour mode");
    return false;
  }
  const OutputSize size = CurrentOutputSize(handle, bits);
  std::vector<std::uint8_t> image(static_cast<std::size_t>(size.stride) * size.height);
  const auto size32 = static_cast<std::int32_t>(image.size());
  // Prepared once, as an application taking a series of frames does.
  if (!Orvex_Capture(handle) || !Orvex_SnapShot(handle, image.data(), size32, 1)) {
    PrintErrors(handle, "the first snapshot", ErrorNoFrame);
    Orvex_StopPreview(handle);
    return false;
  }
  const Clock::time_point start = Clock::now();
  for (std::int32_t i = 0; i < frames; ++i) {
    if (!Orvex_SnapShot(handle, image.data(), size32, 1)) {
      PrintErrors(handle, "a snapshot", ErrorNoFrame);
      Orvex_StopPreview(handle);
      return false;
    }
  }
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  Orvex_StopPreview(handle);  // back to idle, so that the next colour mode may be set
  std::printf(
      "%2d bits a pixel: %d frames of %d x %d in %6.3f s: %7.1f frames/s, %6.2f ms a frame\n", bits,
      frames, size.width, size.height, seconds, frames / seconds, 1000.0 * seconds / frames);
  std::fflush(stdout);
  return true;
}

}  // namespace

int RunBench(const std::vector<std::string>& args) {
  CaptureOptions options;
  std::int32_t frames = 50;
  bool oneMode = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--color-mode") oneMode = true;
    if (args[i] == "--wait-time") return Usage();  // snapshots do not wait
    const int shared = ParseCaptureOption(args, &i, &options);
    if (shared < 0) return 2;
    if (shared > 0) continue;
    if (args[i] == "--frames" && i + 1 < args.size()) {
      if (!ParseInt(args[i + 1], &frames) || frames <= 0) return Usage();
      ++i;
      continue;
    }
    return Usage();
  }
  if (!options.haveGeometry) {
    const std::int32_t full[6] = {1320, 39, 1280, 1024, 0, 1024};
    std::copy(full, full + 6, options.geometry);
    options.haveGeometry = true;
  }

#if !defined(_WIN32)
  if (!OrvexVirtualCamera_SetFramePeriod(options.device, 0)) {
    std::fprintf(stderr, "orvex: no virtual camera %d\n", options.device);
    return 1;
  }
  std::printf(
      "camera pacing off: the virtual camera %d sends each frame the moment it is read, so the\n"
      "rates below are the library's (and the virtual camera's work), not a camera's frame rate\n",
      options.device);
#else
  std::printf("camera pacing on: the camera sends frames at its own rate, which bounds these\n");
#endif
  const CameraHandle handle = Orvex_Initialize(0);
  if (handle == 0) {
    std::fprintf(stderr, "orvex: no memory for a camera handle\n");
    return 1;
  }
  int status = 1;
  SavedSettings saved;
  if (ApplyCaptureOptions(handle, options, &saved)) {
    status = 0;
    const std::vector<std::int32_t> modes = oneMode
                                                ? std::vector<std::int32_t>{options.bitsPerPixel}
                                                : std::vector<std::int32_t>{8, 16, 24, 32, 48, 64};
    for (const std::int32_t bits : modes) {
      if (!RunMode(handle, bits, frames)) {
        status = 1;
        break;
      }
    }
  }
  RestoreSettings(handle, saved);
  Orvex_Release(handle);
  return status;
}

}  // namespace orvex::tool
