// The driver channel: open, transfer, close, and the command packets built on them. Every
// command opens a handle of its own and closes it before it returns.

#include <cstdio>
#include <cstring>
#include <mutex>

#include "device/device_link.h"

namespace orvex {

namespace {

constexpr std::uint8_t kOpFrameSize = 0x09;
constexpr std::uint8_t kOpSampleWidth = 0x0A;
constexpr std::uint8_t kOpSromWrite = 0x20;
constexpr std::uint8_t kOpSromRead = 0x21;
constexpr std::uint8_t kOpFpgaWrite = 0x25;
constexpr std::uint8_t kOpFpgaRead = 0x26;

// The serial ROM needs time to settle after every access.
constexpr std::uint32_t kSromSettleMilliseconds = 10;

// ROM addresses below this offset are reserved to the camera; the ID bytes follow them.
constexpr int kSromIdOffset = 8;
constexpr int kSromIdCount = 8;

}  // namespace

// A camera keeps one queue of replies, whichever handle asked: a read holds the camera from its
// command to its second reply, or two handles on one camera (or two threads on one handle) take
// each other's values.
std::mutex& DeviceLink::ReplyLock(int device) {
  static std::mutex locks[kDeviceSlots];
  return locks[device];
}

void DeviceLink::FormatDevicePath(char (&path)[kPathChars], int index) const {
  std::snprintf(path, sizeof path, "\\\\.\\%s-%d", baseName_, index);
}

int DeviceLink::OpenDriver(const char* path, platform::DriverHandle* handle) {
  if (path == nullptr) return 0;
  *handle = port_.Open(path);
  // An invalid handle still counts as opened: the requests on it fail, closing it is harmless.
  return *handle != 0 ? 1 : 0;
}

int DeviceLink::CloseDriver(platform::DriverHandle* handle) {
  if (*handle == 0) return 0;
  port_.Close(*handle);
  *handle = 0;
  return 1;
}

int DeviceLink::PipeTransfer(platform::DriverHandle handle, std::uint32_t pipe,
                             std::uint32_t length, void* buffer, std::uint32_t* bytesReturned,
                             bool sending) {
  if (buffer == nullptr) return -2;
  if (handle == 0) return -3;
  const std::uint32_t code =
      sending ? platform::kControlCodeDirectIn : platform::kControlCodeDirectOut;
  std::uint32_t moved = 0;
  const bool done = port_.Control(handle, code, pipe, buffer, length, &moved);
  *bytesReturned = moved;
  return done ? 0 : -1;
}

int DeviceLink::SendPacket(platform::DriverHandle handle, std::uint32_t pipe, std::uint32_t length,
                           void* buffer) {
  if (handle == 0) return 10;
  std::uint32_t moved = 0;
  if (PipeTransfer(handle, pipe, length, buffer, &moved, true) != 0 || moved != length) return 12;
  return 0;
}

int DeviceLink::ReceivePacket(platform::DriverHandle handle, std::uint32_t pipe,
                              std::uint32_t length, void* buffer) {
  if (handle == 0) return 10;
  std::uint32_t moved = 0;
  if (PipeTransfer(handle, pipe, length, buffer, &moved, false) != 0 || moved != length) {
    return 12;
  }
  return 0;
}

int DeviceLink::SetSampleWidth(int sixteenBit) {
  const int wide = sixteenBit != 0 ? 1 : 0;
  sampleWidth16_ = wide;
  platform::DriverHandle handle = 0;
  if (OpenDriver(devicePath_, &handle) != 0) {
    std::uint8_t packet[kPacketBytes] = {kOpSampleWidth, static_cast<std::uint8_t>(wide)};
    SendPacket(handle, kCommandPipe, kPacketBytes, packet);
    CloseDriver(&handle);
  }
  return 1;
}

int DeviceLink::SendFrameSize() {
  platform::DriverHandle handle = 0;
  if (OpenDriver(devicePath_, &handle) != 0) {
    const auto samples = static_cast<std::uint32_t>(transferSamples_);
    std::uint8_t packet[kPacketBytes] = {
        kOpFrameSize, static_cast<std::uint8_t>(samples), static_cast<std::uint8_t>(samples >> 8),
        static_cast<std::uint8_t>(samples >> 16), static_cast<std::uint8_t>(samples >> 24)};
    SendPacket(handle, kCommandPipe, kPacketBytes, packet);
    CloseDriver(&handle);
  }
  return 1;
}

int DeviceLink::WriteFpgaRegister(std::uint8_t address, std::uint16_t value) {
  platform::DriverHandle handle = 0;
  if (OpenDriver(devicePath_, &handle) == 0) return 0;
  std::uint8_t packet[kPacketBytes] = {kOpFpgaWrite, address, static_cast<std::uint8_t>(value),
                                       static_cast<std::uint8_t>(value >> 8)};
  const int sent = SendPacket(handle, kCommandPipe, kPacketBytes, packet);
  CloseDriver(&handle);
  return sent == 0 ? 1 : 0;
}

int DeviceLink::ReadFpgaRegister(std::uint8_t address, std::uint16_t* value) {
  if (value == nullptr) return 0;
  platform::DriverHandle handle = 0;
  if (OpenDriver(devicePath_, &handle) == 0) return 0;
  std::uint8_t packet[kPacketBytes] = {kOpFpgaRead, address};
  std::unique_lock replies(ReplyLock(selected_));
  if (SendPacket(handle, kCommandPipe, kPacketBytes, packet) != 0) {
    *value = 0;
    CloseDriver(&handle);
    return 0;
  }
  // The camera answers every read twice; only the second reply carries the value.
  ReceivePacket(handle, kReplyPipe, kPacketBytes, packet);
  if (ReceivePacket(handle, kReplyPipe, kPacketBytes, packet) != 0) {
    *value = 0;
    CloseDriver(&handle);
    return 0;
  }
  replies.unlock();
  *value = static_cast<std::uint16_t>(packet[0] + 256 * packet[1]);
  CloseDriver(&handle);
  return 1;
}

int DeviceLink::WriteSromByte(std::uint8_t address, std::uint8_t value) {
  platform::DriverHandle handle = 0;
  if (OpenDriver(devicePath_, &handle) == 0) return 0;
  std::uint8_t packet[kPacketBytes] = {kOpSromWrite, address, value};
  const int sent = SendPacket(handle, kCommandPipe, kPacketBytes, packet);
  clock_.Sleep(kSromSettleMilliseconds);
  CloseDriver(&handle);
  // A write the camera never received (unplugged, or the request failed) is no success.
  return sent == 0 ? 1 : 0;
}

int DeviceLink::ReadSromByte(std::uint8_t address, std::uint8_t* value) {
  if (value == nullptr) return 0;
  platform::DriverHandle handle = 0;
  if (OpenDriver(devicePath_, &handle) == 0) return 0;
  std::uint8_t packet[kPacketBytes] = {kOpSromRead, address};
  // As with the registers, only the second reply carries the byte; without it nothing was read
  // and the value stays as it was.
  bool read = false;
  {
    std::lock_guard replies(ReplyLock(selected_));
    if (SendPacket(handle, kCommandPipe, kPacketBytes, packet) == 0) {
      ReceivePacket(handle, kReplyPipe, kPacketBytes, packet);
      if (ReceivePacket(handle, kReplyPipe, kPacketBytes, packet) == 0) {
        *value = packet[0];
        read = true;
      }
    }
  }
  clock_.Sleep(kSromSettleMilliseconds);
  CloseDriver(&handle);
  return read ? 1 : 0;
}

int DeviceLink::WriteSromId(std::uint8_t index, std::uint8_t value) {
  if (index >= kSromIdCount) return 0;
  return WriteSromByte(static_cast<std::uint8_t>(index + kSromIdOffset), value);
}

int DeviceLink::ReadSromId(std::uint8_t index, std::uint8_t* value) {
  if (index >= kSromIdCount) return 0;
  return ReadSromByte(static_cast<std::uint8_t>(index + kSromIdOffset), value);
}

}  // namespace orvex
