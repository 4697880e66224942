#include <orvex/virtual_camera.h>

#include "platform/default_backends.h"

namespace orvex::platform {
namespace {

// On Linux the camera's USB driver is the virtual camera library.
class VirtualCameraDriverPort final : public DriverPort {
 public:
  DriverHandle Open(const char* path) override { return OrvexVirtualCamera_CreateFile(path); }

  bool Control(DriverHandle handle, std::uint32_t code, std::uint32_t pipe, void* buffer,
               std::uint32_t length, std::uint32_t* bytesReturned) override {
    const unsigned char input[4] = {
        static_cast<unsigned char>(pipe), static_cast<unsigned char>(pipe >> 8),
        static_cast<unsigned char>(pipe >> 16), static_cast<unsigned char>(pipe >> 24)};
    std::uint32_t moved = 0;
    const bool done = OrvexVirtualCamera_DeviceIoControl(handle, code, input, sizeof input, buffer,
                                                         length, &moved) != 0;
    if (bytesReturned != nullptr) *bytesReturned = moved;
    return done;
  }

  bool Close(DriverHandle handle) override { return OrvexVirtualCamera_CloseHandle(handle) != 0; }
};

}  // namespace

DriverPort& DefaultDriverPort() {
  static VirtualCameraDriverPort port;
  return port;
}

}  // namespace orvex::platform
