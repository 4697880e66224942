#pragma once

#include "platform/driver_port.h"

namespace orvex::platform {

// On Linux the camera's USB driver is the virtual camera library: the same device paths and
// control requests, through its C functions.
class VirtualCameraDriverPort final : public DriverPort {
 public:
  DriverHandle Open(const char* path) override;
  bool Control(DriverHandle handle, std::uint32_t code, std::uint32_t pipe, void* buffer,
               std::uint32_t length, std::uint32_t* bytesReturned) override;
  bool Close(DriverHandle handle) override;
};

}  // namespace orvex::platform
