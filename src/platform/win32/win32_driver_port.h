#pragma once

#include "platform/driver_port.h"

namespace orvex::platform {

// The camera's USB driver reached through kernel32: CreateFileA, DeviceIoControl, CloseHandle.
// A DriverHandle holds the HANDLE's bits.
class Win32DriverPort final : public DriverPort {
 public:
  DriverHandle Open(const char* path) override;
  bool Control(DriverHandle handle, std::uint32_t code, std::uint32_t pipe, void* buffer,
               std::uint32_t length, std::uint32_t* bytesReturned) override;
  bool Close(DriverHandle handle) override;
};

}  // namespace orvex::platform
