#include "platform/posix/virtual_camera_driver_port.h"

#include <orvex/virtual_camera.h>

namespace orvex::platform {

DriverHandle VirtualCameraDriverPort::Open(const char* path) {
  return OrvexVirtualCamera_CreateFile(path);
}

bool VirtualCameraDriverPort::Control(DriverHandle handle, std::uint32_t code, std::uint32_t pipe,
                                      void* buffer, std::uint32_t length,
                                      std::uint32_t* bytesReturned) {
  const unsigned char input[4] = {
      static_cast<unsigned char>(pipe), static_cast<unsigned char>(pipe >> 8),
      static_cast<unsigned char>(pipe >> 16), static_cast<unsigned char>(pipe >> 24)};
  std::uint32_t moved = 0;
  const bool done = OrvexVirtualCamera_DeviceIoControl(handle, code, input, sizeof input, buffer,
                                                       length, &moved) != 0;
  if (bytesReturned != nullptr) *bytesReturned = moved;
  return done;
}

bool VirtualCameraDriverPort::Close(DriverHandle handle) {
  return OrvexVirtualCamera_CloseHandle(handle) != 0;
}

}  // namespace orvex::platform
