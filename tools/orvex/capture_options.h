// Options shared by the commands that take frames: colour mode, geometry, wait time, device.
#pragma once

#include <OrvexSdk_QX218.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace orvex::tool {

struct CaptureOptions {
  std::int32_t bitsPerPixel = 24;
  bool haveGeometry = false;
  std::int32_t geometry[6] = {};  // TH, EHS, EH, TV, EVS, EV
  std::int32_t waitTime = -1;     // -1: as stored
  std::int32_t device = 0;
};

inline bool ParseInt(const std::string& text, std::int32_t* value) {
  char* end = nullptr;
  const long parsed = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || parsed < INT32_MIN || parsed > INT32_MAX) return false;
  *value = static_cast<std::int32_t>(parsed);
  return true;
}

// Takes option `args[*i]` (and its value) when it is one of the shared ones. 1 taken, 0 not
// one of them, -1 malformed (reported).
inline int ParseCaptureOption(const std::vector<std::string>& args, std::size_t* i,
                              CaptureOptions* options) {
  const std::string& name = args[*i];
  if (name != "--color-mode" && name != "--geometry" && name != "--wait-time" &&
      name != "--device") {
    return 0;
  }
  if (*i + 1 >= args.size()) {
    std::fprintf(stderr, "orvex: %s needs a value\n", name.c_str());
    return -1;
  }
  const std::string& value = args[++*i];
  bool ok = true;
  if (name == "--color-mode") {
    ok = ParseInt(value, &options->bitsPerPixel);
  } else if (name == "--wait-time") {
    ok = ParseInt(value, &options->waitTime) && options->waitTime >= 0;
  } else if (name == "--device") {
    ok = ParseInt(value, &options->device) && options->device >= 0 && options->device < 8;
  } else {
    std::size_t start = 0;
    for (int k = 0; k < 6 && ok; ++k) {
      const std::size_t comma = value.find(',', start);
      if ((k < 5) == (comma == std::string::npos)) ok = false;
      if (ok) ok = ParseInt(value.substr(start, comma - start), &options->geometry[k]);
      start = comma + 1;
    }
    options->haveGeometry = ok;
  }
  if (!ok) std::fprintf(stderr, "orvex: bad value for %s: %s\n", name.c_str(), value.c_str());
  return ok ? 1 : -1;
}

// Prints and empties the error queue of the handle, newest first.
inline void PrintErrors(CameraHandle handle, const char* what) {
  std::fprintf(stderr, "orvex: %s failed; errors (newest first):", what);
  for (std::int32_t code; (code = Orvex_GetLastError(handle)) != 0;) {
    std::fprintf(stderr, " %d", code);
  }
  std::fprintf(stderr, "\n");
}

// Applies the options to a new handle; false (reported) when the camera refuses one.
inline bool ApplyCaptureOptions(CameraHandle handle, const CaptureOptions& options) {
  if (options.device != 0 && !Orvex_SetDeviceNumber(handle, options.device)) {
    PrintErrors(handle, "selecting the device");
    return false;
  }
  if (!Orvex_SetColorMode(handle, options.bitsPerPixel)) {
    PrintErrors(handle, "setting the colour mode (8, 16, 24, 32, 48 or 64)");
    return false;
  }
  const std::int32_t* g = options.geometry;
  if (options.haveGeometry &&
      !Orvex_SetCaptureWindowEx(handle, g[0], g[1], g[2], g[3], g[4], g[5])) {
    PrintErrors(handle, "setting the geometry");
    return false;
  }
  if (options.waitTime >= 0 && !Orvex_SetWaitTime(handle, options.waitTime)) {
    PrintErrors(handle, "setting the wait time");
    return false;
  }
  return true;
}

// Width, height and bytes a row of the images the handle delivers now.
struct OutputSize {
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::int32_t stride = 0;
};

inline OutputSize CurrentOutputSize(CameraHandle handle, std::int32_t bitsPerPixel) {
  std::int32_t eh = 0, ev = 0;
  Orvex_GetCaptureWindowEx(handle, nullptr, nullptr, &eh, nullptr, nullptr, &ev);
  const std::int32_t subSample = Orvex_GetSubSample(handle);
  const std::int32_t divisor = subSample == 1 ? 2 : subSample == 2 ? 4 : 1;
  OutputSize size;
  size.width = eh / divisor;
  size.height = ev / divisor;
  size.stride = (size.width * (bitsPerPixel / 8) + 3) & ~3;
  return size;
}

}  // namespace orvex::tool
