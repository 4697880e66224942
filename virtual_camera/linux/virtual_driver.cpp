#include "linux/virtual_driver.h"

#include <cstdlib>
#include <cstring>

namespace orvex::vcam {

int ParseCameraCount(const char* text) {
  constexpr int kDefault = 1;
  if (text == nullptr || *text == '\0') return kDefault;
  char* end = nullptr;
  const long count = std::strtol(text, &end, 10);
  if (*end != '\0' || count < 0 || count > kSlotCount) return kDefault;
  return static_cast<int>(count);
}

VirtualDriver& VirtualDriver::Instance() {
  // Never destroyed: a thread may still be inside a request while the process exits.
  static VirtualDriver* const driver = new VirtualDriver;
  return *driver;
}

std::intptr_t VirtualDriver::Open(const char* path) {
  const int index = ParseDevicePath(path);
  if (index < 0) return kInvalidHandle;
  std::lock_guard lock(mutex_);
  const auto& device = slots_[static_cast<std::size_t>(index)];
  if (!device) return kInvalidHandle;
  const std::intptr_t handle = nextHandle_++;
  handles_.emplace(handle, device);
  device->HandleOpened();
  return handle;
}

bool VirtualDriver::Control(std::intptr_t handle, std::uint32_t code, const void* input,
                            std::uint32_t inputLength, void* output, std::uint32_t outputLength,
                            std::uint32_t* moved) {
  *moved = 0;
  if (code != kCodeDirectIn && code != kCodeDirectOut) return false;
  if (input == nullptr || inputLength != 4) return false;
  const auto* bytes = static_cast<const std::uint8_t*>(input);
  const std::uint32_t pipe = std::uint32_t{bytes[0]} | std::uint32_t{bytes[1]} << 8 |
                             std::uint32_t{bytes[2]} << 16 | std::uint32_t{bytes[3]} << 24;
  if (pipe >= kPipeCount) return false;

  std::shared_ptr<VirtualDevice> device;
  {
    std::lock_guard lock(mutex_);
    const auto found = handles_.find(handle);
    if (found == handles_.end()) return false;
    device = found->second;
  }
  // The data moves in the pipe's direction whichever code is used.
  switch (pipe) {
    case 0:
      if (!device->Send(output, outputLength)) return false;
      *moved = outputLength;
      return true;
    case 1:
      if (!device->Receive(output, outputLength)) return false;
      *moved = outputLength;
      return true;
    default:
      return device->ReadFrame(output, outputLength, moved);
  }
}

bool VirtualDriver::Close(std::intptr_t handle) {
  std::shared_ptr<VirtualDevice> device;
  {
    std::lock_guard lock(mutex_);
    const auto found = handles_.find(handle);
    if (found == handles_.end()) return false;
    device = std::move(found->second);
    handles_.erase(found);
  }
  device->HandleClosed();
  return true;
}

bool VirtualDriver::Attach(int index) {
  if (index < 0 || index >= kSlotCount) return false;
  auto device = std::make_shared<VirtualDevice>(index);
  std::lock_guard lock(mutex_);
  auto& slot = slots_[static_cast<std::size_t>(index)];
  if (slot) return false;
  slot = std::move(device);
  return true;
}

bool VirtualDriver::Detach(int index) {
  if (index < 0 || index >= kSlotCount) return false;
  std::shared_ptr<VirtualDevice> device;
  {
    std::lock_guard lock(mutex_);
    device = std::move(slots_[static_cast<std::size_t>(index)]);
  }
  if (!device) return false;
  device->Unplug();
  return true;
}

int VirtualDriver::AttachStartupSet() {
  for (int index = 0; index < kSlotCount; ++index) Detach(index);
  const int count = ParseCameraCount(std::getenv(kCameraCountVariable));
  for (int index = 0; index < count; ++index) Attach(index);
  return count;
}

std::shared_ptr<VirtualDevice> VirtualDriver::Find(int index) {
  if (index < 0 || index >= kSlotCount) return nullptr;
  std::lock_guard lock(mutex_);
  return slots_[static_cast<std::size_t>(index)];
}

}  // namespace orvex::vcam
