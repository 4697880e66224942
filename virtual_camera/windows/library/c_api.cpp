// OrvexVirtualCamera.dll: the C API of include/orvex/virtual_camera.h for Windows programs.
//
// The cameras live in the virtual camera driver, shared by every process of the system as a
// real driver's devices are. The driver interface functions are CreateFileA, DeviceIoControl
// and CloseHandle on the camera's device path; the control functions are requests to the
// driver's control device. As on Linux, loading the library attaches the start-up set of
// cameras (ORVEX_VIRTUAL_CAMERAS, or one), so that a program starts from cameras in their
// power-on state. Nothing is thrown across this boundary.
#include <windows.h>

// Declared for Linux's visibility attribute, which a DLL does not use: the .def file lists the
// exports.
#include <orvex/virtual_camera.h>

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <set>
#include <vector>

#include "model/api_arguments.h"
#include "model/png_image.h"
#include "model/scene.h"
#include "windows/control_protocol.h"

namespace orvex::vcam {
namespace {

namespace control = orvex::vcam::control;

// The control device, opened on first use and kept for the process; null while the driver is
// not running (a later call tries again).
HANDLE ControlDevice() {
  static std::mutex mutex;
  static HANDLE device = INVALID_HANDLE_VALUE;
  std::lock_guard lock(mutex);
  if (device == INVALID_HANDLE_VALUE) {
    device = CreateFileA(ORVEX_VCAM_CONTROL_PATH, GENERIC_READ | GENERIC_WRITE,
                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  }
  return device == INVALID_HANDLE_VALUE ? nullptr : device;
}

// One control request; onFailure when the driver cannot be reached.
std::int32_t Call(control::Operation operation, std::int32_t index, std::int32_t onFailure,
                  std::int32_t a = 0, std::int32_t b = 0, std::int32_t c = 0,
                  std::uint8_t* packet = nullptr) {
  HANDLE device = ControlDevice();
  if (device == nullptr) return onFailure;
  control::Request request{index, {a, b, c}};
  control::PacketReply reply{};
  const DWORD replyLength =
      operation == control::kLastPacket ? sizeof(control::PacketReply) : sizeof(control::Reply);
  DWORD moved = 0;
  if (!DeviceIoControl(device, control::OperationCode(operation), &request, sizeof request, &reply,
                       replyLength, &moved, nullptr) ||
      moved != replyLength) {
    return onFailure;
  }
  if (packet != nullptr) std::memcpy(packet, reply.packet, sizeof reply.packet);
  return reply.result;
}

// A request whose data goes in the output buffer; 1 when the driver took it.
std::int32_t CallWithData(std::uint32_t code, const void* header, DWORD headerLength,
                          const void* data, DWORD dataLength) {
  HANDLE device = ControlDevice();
  if (device == nullptr) return 0;
  DWORD moved = 0;
  return DeviceIoControl(device, code, const_cast<void*>(header), headerLength,
                         const_cast<void*>(data), dataLength, &moved, nullptr)
             ? 1
             : 0;
}

// The handles this library opened on camera devices: the driver interface acts on these only,
// as the Linux library does with its own handles.
class OpenHandles {
 public:
  void Add(HANDLE handle) {
    std::lock_guard lock(mutex_);
    handles_.insert(handle);
  }
  bool Contains(HANDLE handle) {
    std::lock_guard lock(mutex_);
    return handles_.count(handle) != 0;
  }
  bool Remove(HANDLE handle) {
    std::lock_guard lock(mutex_);
    return handles_.erase(handle) != 0;
  }

 private:
  std::mutex mutex_;
  std::set<HANDLE> handles_;
};

OpenHandles& Handles() {
  static OpenHandles* const handles = new OpenHandles;  // never destroyed: see Linux's driver
  return *handles;
}

HANDLE AsHandle(intptr_t handle) {
  return reinterpret_cast<HANDLE>(handle);
}

// The number of cameras to attach at start: ORVEX_VIRTUAL_CAMERAS when it is a decimal count
// 0..8, else 1.
std::int32_t StartupCount() {
  const char* text = std::getenv("ORVEX_VIRTUAL_CAMERAS");
  if (text == nullptr || *text == '\0') return 1;
  char* end = nullptr;
  const long count = std::strtol(text, &end, 10);
  if (*end != '\0' || count < 0 || count > control::kSlotCount) return 1;
  return static_cast<std::int32_t>(count);
}

std::int32_t AttachStartupSet() noexcept {
  return Guarded(0, [] { return Call(control::kReset, StartupCount(), 0); });
}

// The driver has its cameras as soon as the library is loaded, as on Linux.
[[maybe_unused]] const std::int32_t gCamerasAtLoad = AttachStartupSet();

}  // namespace
}  // namespace orvex::vcam

using orvex::vcam::AsHandle;
using orvex::vcam::Call;
using orvex::vcam::Guarded;
using orvex::vcam::Handles;
namespace control = orvex::vcam::control;

extern "C" {

intptr_t OrvexVirtualCamera_CreateFile(const char* path) {
  // Only a camera's path: CreateFileA would as well open the driver's control device or any file.
  if (orvex::vcam::ParseDevicePath(path) < 0) return -1;
  HANDLE handle = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return -1;
  try {
    Handles().Add(handle);
  } catch (...) {
    CloseHandle(handle);
    return -1;
  }
  return reinterpret_cast<intptr_t>(handle);
}

int32_t OrvexVirtualCamera_DeviceIoControl(intptr_t handle, uint32_t code, const void* input,
                                           uint32_t inputLength, void* output,
                                           uint32_t outputLength, uint32_t* bytesReturned) {
  DWORD moved = 0;
  const std::int32_t done = Guarded(0, [&]() -> std::int32_t {
    if (!Handles().Contains(AsHandle(handle))) return 0;
    if ((input == nullptr && inputLength != 0) || (output == nullptr && outputLength != 0)) {
      return 0;
    }
    return DeviceIoControl(AsHandle(handle), code, const_cast<void*>(input), inputLength, output,
                           outputLength, &moved, nullptr)
               ? 1
               : 0;
  });
  if (bytesReturned != nullptr) *bytesReturned = done != 0 ? moved : 0;
  return done;
}

int32_t OrvexVirtualCamera_CloseHandle(intptr_t handle) {
  return Guarded(0, [&] {
    if (!Handles().Remove(AsHandle(handle))) return 0;
    return CloseHandle(AsHandle(handle)) ? 1 : 0;
  });
}

int32_t OrvexVirtualCamera_Attach(int32_t index) {
  return Call(control::kAttach, index, 0);
}

int32_t OrvexVirtualCamera_Detach(int32_t index) {
  return Call(control::kDetach, index, 0);
}

int32_t OrvexVirtualCamera_IsAttached(int32_t index) {
  return Call(control::kIsAttached, index, 0);
}

int32_t OrvexVirtualCamera_Reset(void) {
  return orvex::vcam::AttachStartupSet();
}

int32_t OrvexVirtualCamera_GetRegister(int32_t index, int32_t address) {
  return Call(control::kGetRegister, index, -1, address);
}

int32_t OrvexVirtualCamera_SetRegister(int32_t index, int32_t address, int32_t value) {
  return Call(control::kSetRegister, index, 0, address, value);
}

int32_t OrvexVirtualCamera_GetRomByte(int32_t index, int32_t address) {
  return Call(control::kGetRomByte, index, -1, address);
}

int32_t OrvexVirtualCamera_SetRomByte(int32_t index, int32_t address, int32_t value) {
  return Call(control::kSetRomByte, index, 0, address, value);
}

int32_t OrvexVirtualCamera_GetSampleWidth(int32_t index) {
  return Call(control::kGetSampleWidth, index, -1);
}

int32_t OrvexVirtualCamera_GetTransferSamples(int32_t index) {
  return Call(control::kGetTransferSamples, index, -1);
}

int32_t OrvexVirtualCamera_PacketCount(int32_t index, int32_t opcode) {
  return Call(control::kPacketCount, index, -1, opcode);
}

int32_t OrvexVirtualCamera_LastPacket(int32_t index, int32_t opcode, void* packet) {
  if (packet == nullptr) return 0;
  std::uint8_t last[64];
  if (Call(control::kLastPacket, index, 0, opcode, 0, 0, last) != 1) return 0;
  std::memcpy(packet, last, sizeof last);
  return 1;
}

int32_t OrvexVirtualCamera_OpenHandles(int32_t index) {
  return Call(control::kOpenHandles, index, -1);
}

int32_t OrvexVirtualCamera_WaitingReads(int32_t index) {
  return Call(control::kWaitingReads, index, -1);
}

int32_t OrvexVirtualCamera_FailRequests(int32_t index, int32_t pipe, int32_t count) {
  return Call(control::kFailRequests, index, 0, pipe, count);
}

int32_t OrvexVirtualCamera_ShortFrames(int32_t index, int32_t count) {
  return Call(control::kShortFrames, index, 0, count);
}

int32_t OrvexVirtualCamera_SetRaster(int32_t index, const void* samples, int32_t pitch,
                                     int32_t lines, int32_t bytesPerSample) {
  if (samples == nullptr) return Call(control::kClearRaster, index, 0);
  if (!orvex::vcam::RasterArgumentsValid(pitch, lines, bytesPerSample)) return 0;
  const control::RasterRequest header{index, pitch, lines, bytesPerSample};
  const auto bytes = static_cast<DWORD>(std::int64_t{pitch} * lines * bytesPerSample);
  return orvex::vcam::CallWithData(control::kSetRasterCode, &header, sizeof header, samples, bytes);
}

int32_t OrvexVirtualCamera_SetScene(int32_t index, int32_t scene) {
  return Call(control::kSetScene, index, 0, scene);
}

int32_t OrvexVirtualCamera_SetSceneColor(int32_t index, int32_t red, int32_t green, int32_t blue) {
  return Call(control::kSetSceneColor, index, 0, red, green, blue);
}

int32_t OrvexVirtualCamera_SetSceneLevel(int32_t index, int32_t percent) {
  return Call(control::kSetSceneLevel, index, 0, percent);
}

// The image is read and scaled here, with the camera model's own code, and reaches the driver
// as the finished mosaic.
int32_t OrvexVirtualCamera_LoadImage(int32_t index, const char* path) {
  return Guarded(0, [&]() -> std::int32_t {
    if (OrvexVirtualCamera_IsAttached(index) != 1) return 0;
    orvex::vcam::RgbImage image;
    if (!orvex::vcam::ReadPng(path, &image)) return 0;
    orvex::vcam::Scene scene;
    if (!scene.ShowImage(image.width, image.height, image.rgb.data())) return 0;
    std::vector<std::uint16_t> mosaic(orvex::vcam::kScenePixels);
    scene.Mosaic(mosaic.data());
    const control::Request header{index, {0, 0, 0}};
    return orvex::vcam::CallWithData(control::kShowMosaicCode, &header, sizeof header,
                                     mosaic.data(),
                                     static_cast<DWORD>(mosaic.size() * sizeof mosaic[0]));
  });
}

int32_t OrvexVirtualCamera_SetFramePeriod(int32_t index, int32_t microseconds) {
  return Call(control::kSetFramePeriod, index, 0, microseconds);
}

int32_t OrvexVirtualCamera_SetDropRate(int32_t index, int32_t percent) {
  return Call(control::kSetDropRate, index, 0, percent);
}

int32_t OrvexVirtualCamera_FramesSent(int32_t index) {
  return Call(control::kFramesSent, index, -1);
}

int32_t OrvexVirtualCamera_FramesDropped(int32_t index) {
  return Call(control::kFramesDropped, index, -1);
}

}  // extern "C"
