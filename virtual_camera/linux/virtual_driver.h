#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "linux/virtual_device.h"
#include "model/api_arguments.h"

namespace orvex::vcam {

inline constexpr std::uint32_t kCodeDirectIn = 0x222051;
inline constexpr std::uint32_t kCodeDirectOut = 0x22204E;
inline constexpr std::intptr_t kInvalidHandle = -1;
inline constexpr const char* kCameraCountVariable = "ORVEX_VIRTUAL_CAMERAS";

// The number of cameras to attach at start: `text` when it is a decimal count 0..8, else 1.
int ParseCameraCount(const char* text);

// The driver: eight slots, the open handles, and the dispatch of requests to pipes. Handles keep
// their camera alive after an unplug, so that requests on them fail instead of reaching a new
// camera attached at the same index.
class VirtualDriver {
 public:
  static VirtualDriver& Instance();

  std::intptr_t Open(const char* path);
  bool Control(std::intptr_t handle, std::uint32_t code, const void* input,
               std::uint32_t inputLength, void* output, std::uint32_t outputLength,
               std::uint32_t* moved);
  bool Close(std::intptr_t handle);

  bool Attach(int index);
  bool Detach(int index);
  // Detaches every camera, then attaches as many as ORVEX_VIRTUAL_CAMERAS asks; returns that.
  int AttachStartupSet();

  // The camera at index, or null.
  std::shared_ptr<VirtualDevice> Find(int index);

 private:
  VirtualDriver() = default;

  std::mutex mutex_;
  std::array<std::shared_ptr<VirtualDevice>, kSlotCount> slots_;
  std::unordered_map<std::intptr_t, std::shared_ptr<VirtualDevice>> handles_;
  std::intptr_t nextHandle_ = 1;
};

}  // namespace orvex::vcam
