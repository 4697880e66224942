#include "platform/win32/win32_driver_port.h"

#include <windows.h>

namespace orvex::platform {

namespace {

HANDLE ToHandle(DriverHandle handle) {
  return reinterpret_cast<HANDLE>(handle);
}

// 0 and -1 are never driver handles. -1 is also the pseudo-handle of the current process, so
// it must not reach DeviceIoControl or CloseHandle, where it could mean something.
bool IsUsable(DriverHandle handle) {
  return handle != 0 && handle != kInvalidDriverHandle;
}

}  // namespace

static_assert(sizeof(DriverHandle) == sizeof(HANDLE));

DriverHandle Win32DriverPort::Open(const char* path) {
  if (path == nullptr) return kInvalidDriverHandle;
  HANDLE handle =
      CreateFileA(path, GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return kInvalidDriverHandle;
  return reinterpret_cast<DriverHandle>(handle);
}

bool Win32DriverPort::Control(DriverHandle handle, std::uint32_t code, std::uint32_t pipe,
                              void* buffer, std::uint32_t length, std::uint32_t* bytesReturned) {
  DWORD moved = 0;
  BOOL done = FALSE;
  if (IsUsable(handle)) {
    // The driver reads the pipe number as a little-endian 32-bit value, whatever the host.
    unsigned char pipeBytes[4] = {
        static_cast<unsigned char>(pipe), static_cast<unsigned char>(pipe >> 8),
        static_cast<unsigned char>(pipe >> 16), static_cast<unsigned char>(pipe >> 24)};
    done = DeviceIoControl(ToHandle(handle), code, pipeBytes, sizeof pipeBytes, buffer, length,
                           &moved, nullptr);
  } else {
    SetLastError(ERROR_INVALID_HANDLE);
  }
  if (bytesReturned != nullptr) *bytesReturned = moved;
  return done != FALSE;
}

bool Win32DriverPort::Close(DriverHandle handle) {
  if (!IsUsable(handle)) return false;
  return CloseHandle(ToHandle(handle)) != FALSE;
}

}  // namespace orvex::platform
