// Options shared by the commands that take frames: colour mode, geometry, wait time, device,
// the numbered settings and the automatic exposure.
#pragma once

#include <OrvexSdk_QX218.h>
#include <orvex/errors.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace orvex::tool {

// The settings that --set reaches, by the name part of their exports; entry i has id i + 1.
inline constexpr const char* kSettingNames[] = {
    "Brightness",      "Contrast",       "Hue",
    "Saturation",      "Sharpness",      "BayerGainRGB",
    "BayerGainRed",    "BayerGainGreen", "BayerGainBlue",
    "BayerGainAuto",   "Gamma",          "BayerMode",
    "GlobalGain",      "ColorGainRed",   "ColorGainGreen1",
    "ColorGainGreen2", "ColorGainBlue",  "ExposureTime",
    "GrayMode",        "GrayGainR",      "GrayGainG1",
    "GrayGainG2",      "GrayGainB",      "GrayOffsetR",
    "GrayOffsetG1",    "GrayOffsetG2",   "GrayOffsetB"};
inline constexpr std::int32_t kSettingCount =
    static_cast<std::int32_t>(sizeof kSettingNames / sizeof kSettingNames[0]);

struct SettingValue {
  std::int32_t id = 0;
  std::int32_t value = 0;
};

struct CaptureOptions {
  // Colour by default: the library's own default, 24, is a false-colour map of the raw samples.
  std::int32_t bitsPerPixel = 32;
  bool haveGeometry = false;
  std::int32_t geometry[6] = {};  // TH, EHS, EH, TV, EVS, EV
  std::int32_t waitTime = -1;     // -1: as stored
  std::int32_t device = 0;
  std::vector<SettingValue> settings;  // --set, in the order given
  bool autoExposure = false;
};

inline bool ParseInt(const std::string& text, std::int32_t* value) {
  char* end = nullptr;
  const long parsed = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || parsed < INT32_MIN || parsed > INT32_MAX) return false;
  *value = static_cast<std::int32_t>(parsed);
  return true;
}

// The id of a setting's name (any letter case), or 0.
inline std::int32_t SettingId(const std::string& name) {
  const auto lower = [](std::string text) {
    for (char& c : text) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return text;
  };
  for (std::int32_t i = 0; i < kSettingCount; ++i) {
    if (lower(name) == lower(kSettingNames[i])) return i + 1;
  }
  return 0;
}

// NAME=VALUE, the value decimal or 0x-prefixed hexadecimal (for the packed BayerGainRGB); an
// unknown name or a malformed value is reported with the list of names.
inline bool ParseSetting(const std::string& text, std::vector<SettingValue>* settings) {
  const std::size_t equals = text.find('=');
  const std::int32_t id = equals == std::string::npos ? 0 : SettingId(text.substr(0, equals));
  const std::string value = equals == std::string::npos ? "" : text.substr(equals + 1);
  bool ok = id != 0;
  std::int32_t parsed = 0;
  if (ok && value.size() > 2 && value[0] == '0' && (value[1] == 'x' || value[1] == 'X')) {
    char* end = nullptr;
    errno = 0;
    const unsigned long long hex = std::strtoull(value.c_str() + 2, &end, 16);
    ok = std::isxdigit(static_cast<unsigned char>(value[2])) && *end == '\0' && errno == 0 &&
         hex <= 0xFFFFFFFFull;
    parsed = static_cast<std::int32_t>(static_cast<std::uint32_t>(hex));
  } else if (ok) {
    ok = ParseInt(value, &parsed);
  }
  if (!ok) {
    std::fprintf(stderr, "orvex: bad --set %s; NAME=VALUE with NAME one of:", text.c_str());
    for (const char* name : kSettingNames) std::fprintf(stderr, " %s", name);
    std::fprintf(stderr, "\n");
    return false;
  }
  settings->push_back(SettingValue{id, parsed});
  return true;
}

// Takes option `args[*i]` (and its value) when it is one of the shared ones. 1 taken, 0 not
// one of them, -1 malformed (reported).
inline int ParseCaptureOption(const std::vector<std::string>& args, std::size_t* i,
                              CaptureOptions* options) {
  const std::string& name = args[*i];
  if (name == "--auto-exposure") {
    options->autoExposure = true;
    return 1;
  }
  if (name != "--color-mode" && name != "--geometry" && name != "--wait-time" &&
      name != "--device" && name != "--set") {
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
  } else if (name == "--set") {
    return ParseSetting(value, &options->settings) ? 1 : -1;
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

// An error code as every message of the tool gives it: "ErrorGeometry (7): the capture
// geometry is out of range".
inline std::string DescribeError(std::int32_t code) {
  return std::string(OrvexError_Name(code)) + " (" + std::to_string(code) +
         "): " + OrvexError_Text(code);
}

// The newest recorded error, taken off the queue, described; ErrorUnreported when none is there.
inline std::string DescribeLastError(CameraHandle handle) {
  const std::int32_t code = Orvex_GetLastError(handle);
  return DescribeError(code != 0 ? code : ErrorUnreported);
}

// Prints and empties the error queue of the handle, newest first. `unrecorded` says what went
// wrong when the library failed without recording a reason (ErrorNoFrame for a snapshot that
// got no frame, ErrorBusy for a call refused while a preview runs).
inline void PrintErrors(CameraHandle handle, const char* what,
                        std::int32_t unrecorded = ErrorUnreported) {
  std::int32_t code = Orvex_GetLastError(handle);
  std::fprintf(stderr, "orvex: %s failed: %s", what,
               DescribeError(code != 0 ? code : unrecorded).c_str());
  if (code != 0) {
    while ((code = Orvex_GetLastError(handle)) != 0) {
      std::fprintf(stderr, "; before that %s", DescribeError(code).c_str());
    }
  }
  std::fprintf(stderr, "\n");
}

// The values that --set and --auto-exposure are about to change, read first so that they can
// be put back before the handle is released (which stores the settings for the user): the
// options hold for one run only.
struct SavedSettings {
  std::vector<SettingValue> values;  // ascending ids
  std::int32_t autoIris = -1;        // -1: not changed
};

inline void SaveSettings(CameraHandle handle, const CaptureOptions& options, SavedSettings* saved) {
  std::vector<std::int32_t> ids;
  for (const SettingValue& setting : options.settings) {
    switch (setting.id) {
      case 6:   // the packed gains carry 8 bits of each; the single gains hold them whole
      case 10:  // a white balance measures new gains
        ids.insert(ids.end(), {7, 8, 9});
        if (setting.id == 10) ids.push_back(10);
        break;
      case 13:  // all five analog gains
        ids.insert(ids.end(), {13, 14, 15, 16, 17});
        break;
      default:
        ids.push_back(setting.id);
    }
  }
  if (options.autoExposure) {
    ids.push_back(18);
    std::int32_t ok = 0;
    const std::int32_t mode = Orvex_GetAutoIris(handle, &ok);
    if (ok) saved->autoIris = mode;
  }
  // By id, so that the five analog gains go back before the single ones.
  std::sort(ids.begin(), ids.end());
  ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
  for (const std::int32_t id : ids) {
    std::int32_t ok = 0;
    const std::int32_t value = Orvex_GetFilterValue(handle, id, &ok);
    if (ok) saved->values.push_back(SettingValue{id, value});
  }
}

// Puts back what SaveSettings read; a value the library no longer accepts is reported.
inline void RestoreSettings(CameraHandle handle, const SavedSettings& saved) {
  if (saved.autoIris >= 0 && !Orvex_SetAutoIris(handle, saved.autoIris)) {
    std::fprintf(stderr, "orvex: could not put AutoIris back to %d: %s\n", saved.autoIris,
                 DescribeLastError(handle).c_str());
  }
  for (const SettingValue& setting : saved.values) {
    if (!Orvex_SetFilterValue(handle, setting.id, setting.value)) {
      std::fprintf(stderr, "orvex: could not put %s back to %d: %s\n",
                   kSettingNames[setting.id - 1], setting.value, DescribeLastError(handle).c_str());
    }
  }
}

// The values of what `saved` would put back, as the handle holds them now.
inline SavedSettings CurrentValues(CameraHandle handle, const SavedSettings& saved) {
  SavedSettings now;
  std::int32_t ok = 0;
  if (saved.autoIris >= 0) {
    const std::int32_t mode = Orvex_GetAutoIris(handle, &ok);
    now.autoIris = ok ? mode : -1;
  }
  for (const SettingValue& setting : saved.values) {
    const std::int32_t value = Orvex_GetFilterValue(handle, setting.id, &ok);
    if (ok) now.values.push_back(SettingValue{setting.id, value});
  }
  return now;
}

// What a dialog changed is the user's choice and stays: drops from `saved` each value that
// differs now from `before` (CurrentValues as the dialog opened). The dialogs return 1 for OK
// and Cancel alike, so only the values tell. A value that the automatic exposure or white
// balance keeps moving (still on after the dialog) tells nothing and is put back as saved.
inline void KeepDialogChanges(CameraHandle handle, const SavedSettings& before,
                              SavedSettings* saved) {
  std::int32_t ok = 0;
  const std::int32_t autoIris = Orvex_GetAutoIris(handle, &ok);
  const std::int32_t whiteBalance = Orvex_GetFilterValue(handle, 10, nullptr);
  if (ok && before.autoIris >= 0 && autoIris != before.autoIris) saved->autoIris = -1;
  const auto moving = [&](std::int32_t id) {
    if (id == 18) return autoIris == 1;
    if (id >= 13 && id <= 17) return autoIris == 2;
    if (id >= 7 && id <= 9) return whiteBalance != 0;
    return false;
  };
  std::vector<SettingValue> kept;
  for (const SettingValue& setting : saved->values) {
    const auto then = std::find_if(before.values.begin(), before.values.end(),
                                   [&](const SettingValue& v) { return v.id == setting.id; });
    const std::int32_t value = Orvex_GetFilterValue(handle, setting.id, &ok);
    const bool changed = ok && then != before.values.end() && value != then->value;
    if (!changed || moving(setting.id)) kept.push_back(setting);
  }
  saved->values = std::move(kept);
}

// A stored automatic mode other than off and automatic exposure (2, the analog dialog's
// automatic gain) cannot be put back after the run: the library sets 0 and 1 only. Refused
// (reported) before --auto-exposure changes anything.
inline bool AutoExposureAllowed(CameraHandle handle) {
  std::int32_t ok = 0;
  const std::int32_t mode = Orvex_GetAutoIris(handle, &ok);
  if (!ok || mode == 0 || mode == 1) return true;
  std::fprintf(stderr,
               "orvex: --auto-exposure refused: the camera is set to %s (AutoIris %d), which "
               "could not be put back after this run; switch it off in the analog dialog first\n",
               mode == 2 ? "the automatic gain" : "an unknown automatic mode", mode);
  return false;
}

// Applies the settings and the automatic exposure in the order given; false (reported with the
// error code) when the library refuses one.
inline bool ApplySettings(CameraHandle handle, const CaptureOptions& options) {
  for (const SettingValue& setting : options.settings) {
    if (!Orvex_SetFilterValue(handle, setting.id, setting.value)) {
      std::fprintf(stderr, "orvex: %s=%d refused: %s\n", kSettingNames[setting.id - 1],
                   setting.value, DescribeLastError(handle).c_str());
      return false;
    }
  }
  if (options.autoExposure && !Orvex_SetAutoIris(handle, 1)) {
    PrintErrors(handle, "switching the automatic exposure on");
    return false;
  }
  return true;
}

// Applies the options to a new handle; false (reported) when the camera refuses one. With
// `saved`, what the settings options change is read first (see SaveSettings); the caller puts it
// back with RestoreSettings before releasing the handle, whether or not this succeeded.
inline bool ApplyCaptureOptions(CameraHandle handle, const CaptureOptions& options,
                                SavedSettings* saved = nullptr) {
  if (options.device != 0 && !Orvex_SetDeviceNumber(handle, options.device)) {
    PrintErrors(handle, "selecting the device");
    return false;
  }
  // Each device keeps its own automatic mode: asked once the device is chosen.
  if (options.autoExposure && !AutoExposureAllowed(handle)) return false;
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
  if (saved != nullptr) SaveSettings(handle, options, saved);
  return ApplySettings(handle, options);
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
