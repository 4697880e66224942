#pragma once

#include <cstdint>

namespace orvex::platform {

// A handle on the camera's USB driver. 0 is "no handle"; kInvalidDriverHandle is what a failed
// open gives (the same value as the system's invalid handle), and every request on it fails.
using DriverHandle = std::intptr_t;
inline constexpr DriverHandle kInvalidDriverHandle = -1;

// Device-control codes of the camera driver (device type 0x22, any access).
inline constexpr std::uint32_t kControlCodeDirectIn = 0x222051;   // function 0x814, direct input
inline constexpr std::uint32_t kControlCodeDirectOut = 0x22204E;  // function 0x813, direct output

// The channel to the camera's USB driver: open a device path, issue device-control requests
// whose input is the 4-byte pipe number, close. Implementations are thread-safe; requests on
// separate handles may run at the same time.
class DriverPort {
 public:
  virtual ~DriverPort() = default;

  // CreateFileA(path, GENERIC_WRITE, FILE_SHARE_WRITE, no security, OPEN_EXISTING, 0, none).
  // Never returns 0; a path that names no driver gives kInvalidDriverHandle.
  virtual DriverHandle Open(const char* path) = 0;

  // DeviceIoControl(handle, code, &pipe (4 bytes, least significant first), 4, buffer, length,
  // &bytesReturned, no overlapped). True when the driver completed the request.
  virtual bool Control(DriverHandle handle, std::uint32_t code, std::uint32_t pipe, void* buffer,
                       std::uint32_t length, std::uint32_t* bytesReturned) = 0;

  // CloseHandle; closing kInvalidDriverHandle is harmless.
  virtual bool Close(DriverHandle handle) = 0;
};

}  // namespace orvex::platform
