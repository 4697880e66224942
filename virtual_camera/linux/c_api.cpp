// The exported C functions: the driver interface and the control API. Nothing is thrown across
// this boundary; a failure inside (an allocation) reports the function's failure value.
#include <orvex/virtual_camera.h>

#include <algorithm>
#include <cstring>
#include <limits>

#include "linux/virtual_driver.h"
#include "model/api_arguments.h"
#include "model/png_image.h"

namespace orvex::vcam {
namespace {

// Runs fn(device) on the camera at index; onFailure when there is none.
template <typename Fn>
std::int32_t OnDevice(std::int32_t index, std::int32_t onFailure, Fn&& fn) noexcept {
  return Guarded(onFailure, [&]() -> std::int32_t {
    const auto device = VirtualDriver::Instance().Find(index);
    if (!device) return onFailure;
    return fn(*device);
  });
}

// Runs fn(model) under the camera's lock.
template <typename Fn>
std::int32_t OnModel(std::int32_t index, std::int32_t onFailure, Fn&& fn) noexcept {
  return OnDevice(index, onFailure, [&](VirtualDevice& device) -> std::int32_t {
    return device.WithModel([&](CameraModel& model) -> std::int32_t { return fn(model); });
  });
}

std::int32_t Saturate(std::uint64_t value) {
  return static_cast<std::int32_t>(
      std::min<std::uint64_t>(value, std::numeric_limits<std::int32_t>::max()));
}

bool ValidAddress(std::int32_t address) {
  return address >= 0 && address <= 255;
}

int AttachAtLoad() noexcept {
  return Guarded(0, [] { return VirtualDriver::Instance().AttachStartupSet(); });
}

// The driver has its cameras as soon as the library is loaded, as a real driver would.
[[maybe_unused]] const int gCamerasAtLoad = AttachAtLoad();

}  // namespace
}  // namespace orvex::vcam

using orvex::vcam::CameraModel;
using orvex::vcam::Guarded;
using orvex::vcam::OnDevice;
using orvex::vcam::OnModel;
using orvex::vcam::Saturate;
using orvex::vcam::ValidAddress;
using orvex::vcam::VirtualDevice;
using orvex::vcam::VirtualDriver;

extern "C" {

intptr_t OrvexVirtualCamera_CreateFile(const char* path) {
  try {
    return VirtualDriver::Instance().Open(path);
  } catch (...) {
    return orvex::vcam::kInvalidHandle;
  }
}

int32_t OrvexVirtualCamera_DeviceIoControl(intptr_t handle, uint32_t code, const void* input,
                                           uint32_t inputLength, void* output,
                                           uint32_t outputLength, uint32_t* bytesReturned) {
  std::uint32_t moved = 0;
  const std::int32_t done = Guarded(0, [&] {
    return VirtualDriver::Instance().Control(handle, code, input, inputLength, output, outputLength,
                                             &moved)
               ? 1
               : 0;
  });
  if (bytesReturned != nullptr) *bytesReturned = done != 0 ? moved : 0;
  return done;
}

int32_t OrvexVirtualCamera_CloseHandle(intptr_t handle) {
  return Guarded(0, [&] { return VirtualDriver::Instance().Close(handle) ? 1 : 0; });
}

int32_t OrvexVirtualCamera_Attach(int32_t index) {
  return Guarded(0, [&] { return VirtualDriver::Instance().Attach(index) ? 1 : 0; });
}

int32_t OrvexVirtualCamera_Detach(int32_t index) {
  return Guarded(0, [&] { return VirtualDriver::Instance().Detach(index) ? 1 : 0; });
}

int32_t OrvexVirtualCamera_IsAttached(int32_t index) {
  return OnDevice(index, 0, [](VirtualDevice&) { return 1; });
}

int32_t OrvexVirtualCamera_Reset(void) {
  return Guarded(0, [] { return VirtualDriver::Instance().AttachStartupSet(); });
}

int32_t OrvexVirtualCamera_GetRegister(int32_t index, int32_t address) {
  if (!ValidAddress(address)) return -1;
  return OnModel(index, -1, [&](CameraModel& model) { return model.Register(address); });
}

int32_t OrvexVirtualCamera_SetRegister(int32_t index, int32_t address, int32_t value) {
  if (!ValidAddress(address) || value < 0 || value > 0xFFFF) return 0;
  return OnModel(index, 0, [&](CameraModel& model) {
    model.SetRegister(address, static_cast<std::uint16_t>(value));
    return 1;
  });
}

int32_t OrvexVirtualCamera_GetRomByte(int32_t index, int32_t address) {
  if (!ValidAddress(address)) return -1;
  return OnModel(index, -1, [&](CameraModel& model) { return model.Rom(address); });
}

int32_t OrvexVirtualCamera_SetRomByte(int32_t index, int32_t address, int32_t value) {
  if (!ValidAddress(address) || value < 0 || value > 0xFF) return 0;
  return OnModel(index, 0, [&](CameraModel& model) {
    model.SetRom(address, static_cast<std::uint8_t>(value));
    return 1;
  });
}

int32_t OrvexVirtualCamera_GetSampleWidth(int32_t index) {
  return OnModel(index, -1, [](CameraModel& model) { return model.BytesPerSample(); });
}

int32_t OrvexVirtualCamera_GetTransferSamples(int32_t index) {
  return OnModel(index, -1, [](CameraModel& model) { return Saturate(model.TransferSamples()); });
}

int32_t OrvexVirtualCamera_PacketCount(int32_t index, int32_t opcode) {
  if (opcode < -1 || opcode > 255) return -1;
  return OnModel(index, -1,
                 [&](CameraModel& model) { return Saturate(model.PacketCount(opcode)); });
}

int32_t OrvexVirtualCamera_LastPacket(int32_t index, int32_t opcode, void* packet) {
  if (opcode < -1 || opcode > 255 || packet == nullptr) return 0;
  return OnModel(index, 0, [&](CameraModel& model) {
    orvex::vcam::Packet last;
    if (!model.LastPacket(opcode, &last)) return 0;
    std::memcpy(packet, last.data(), last.size());
    return 1;
  });
}

int32_t OrvexVirtualCamera_OpenHandles(int32_t index) {
  return OnDevice(index, -1, [](VirtualDevice& device) { return device.OpenHandles(); });
}

int32_t OrvexVirtualCamera_WaitingReads(int32_t index) {
  return OnDevice(index, -1, [](VirtualDevice& device) { return device.WaitingReads(); });
}

int32_t OrvexVirtualCamera_FailRequests(int32_t index, int32_t pipe, int32_t count) {
  if (pipe < 0 || pipe >= orvex::vcam::kPipeCount || count < 0) return 0;
  return OnDevice(index, 0, [&](VirtualDevice& device) {
    device.FailRequests(pipe, count);
    return 1;
  });
}

int32_t OrvexVirtualCamera_ShortFrames(int32_t index, int32_t count) {
  if (count < 0) return 0;
  return OnDevice(index, 0, [&](VirtualDevice& device) {
    device.ShortFrames(count);
    return 1;
  });
}

int32_t OrvexVirtualCamera_SetRaster(int32_t index, const void* samples, int32_t pitch,
                                     int32_t lines, int32_t bytesPerSample) {
  if (samples == nullptr) {
    return OnModel(index, 0, [](CameraModel& model) {
      model.ClearRaster();
      return 1;
    });
  }
  if (!orvex::vcam::RasterArgumentsValid(pitch, lines, bytesPerSample)) return 0;
  const auto count = static_cast<std::size_t>(std::int64_t{pitch} * lines);
  return OnModel(index, 0, [&](CameraModel& model) {
    return model.SetRaster(samples, count, bytesPerSample) ? 1 : 0;
  });
}

int32_t OrvexVirtualCamera_SetScene(int32_t index, int32_t scene) {
  if (scene < ORVEX_VIRTUAL_SCENE_CHART || scene > ORVEX_VIRTUAL_SCENE_GRAY) return 0;
  return OnModel(index, 0, [&](CameraModel& model) {
    model.ClearRaster();
    switch (scene) {
      case ORVEX_VIRTUAL_SCENE_CHART:
        model.scene().ShowChart();
        break;
      case ORVEX_VIRTUAL_SCENE_MOVING:
        model.scene().ShowMoving();
        break;
      default: {
        const std::uint16_t gray = orvex::vcam::LevelFrom8(128);
        model.scene().ShowFlat({gray, gray, gray});
        break;
      }
    }
    return 1;
  });
}

int32_t OrvexVirtualCamera_SetSceneColor(int32_t index, int32_t red, int32_t green, int32_t blue) {
  const auto valid = [](int32_t v) { return v >= 0 && v <= 255; };
  if (!valid(red) || !valid(green) || !valid(blue)) return 0;
  return OnModel(index, 0, [&](CameraModel& model) {
    model.ClearRaster();
    model.scene().ShowFlat({orvex::vcam::LevelFrom8(red), orvex::vcam::LevelFrom8(green),
                            orvex::vcam::LevelFrom8(blue)});
    return 1;
  });
}

int32_t OrvexVirtualCamera_SetSceneLevel(int32_t index, int32_t percent) {
  if (percent < 0 || percent > 1000) return 0;
  return OnModel(index, 0, [&](CameraModel& model) {
    model.SetLevel(percent);
    return 1;
  });
}

int32_t OrvexVirtualCamera_LoadImage(int32_t index, const char* path) {
  return Guarded(0, [&]() -> std::int32_t {
    if (!VirtualDriver::Instance().Find(index)) return 0;
    orvex::vcam::RgbImage image;
    if (!orvex::vcam::ReadPng(path, &image)) return 0;
    return OnModel(index, 0, [&](CameraModel& model) {
      if (!model.scene().ShowImage(image.width, image.height, image.rgb.data())) return 0;
      model.ClearRaster();
      return 1;
    });
  });
}

int32_t OrvexVirtualCamera_SetFramePeriod(int32_t index, int32_t microseconds) {
  return OnDevice(index, 0, [&](VirtualDevice& device) {
    device.SetFramePeriod(microseconds);
    return 1;
  });
}

int32_t OrvexVirtualCamera_SetDropRate(int32_t index, int32_t percent) {
  if (percent < 0 || percent > 100) return 0;
  return OnDevice(index, 0, [&](VirtualDevice& device) {
    device.SetDropRate(percent);
    return 1;
  });
}

int32_t OrvexVirtualCamera_FramesSent(int32_t index) {
  return OnDevice(index, -1, [](VirtualDevice& device) { return Saturate(device.FramesSent()); });
}

int32_t OrvexVirtualCamera_FramesDropped(int32_t index) {
  return OnDevice(index, -1,
                  [](VirtualDevice& device) { return Saturate(device.FramesDropped()); });
}

}  // extern "C"
