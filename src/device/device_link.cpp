// Construction with the device probe, device selection and the sensor timing model.

#include "device/device_link.h"

#include <cstdio>

namespace orvex {

namespace {

constexpr char kBaseName[] = "OrvexNec06A";

// The sensor's full readout, blanking included, and its active window.
constexpr std::int32_t kResetLineLength = 1339;
constexpr std::int32_t kResetHStart = 50;
constexpr std::int32_t kResetWidth = 1280;
constexpr std::int32_t kResetFrameLines = 1040;
constexpr std::int32_t kResetVStart = 10;
constexpr std::int32_t kResetHeight = 1028;

constexpr std::uint8_t kModeRegister = 0x40;
constexpr std::uint16_t kModeReadout1 = 0x11;

}  // namespace

DeviceLink::DeviceLink(platform::DriverPort& port, platform::SystemClock& clock)
    : port_(port), clock_(clock) {
  std::snprintf(baseName_, sizeof baseName_, "%s", kBaseName);
  ProbeDevices();
  SelectDevice(0);
  SetReadoutMode();
}

DeviceLink::~DeviceLink() {
  // The owner stops the stream first; should it not have, stopping here keeps the reader from
  // outliving the buffers it fills.
  if (streamThread_.joinable()) StopStream();
  ReleaseBuffers();
  single_.event.reset();
  stream_.event.reset();
}

void DeviceLink::ProbeDevices() {
  for (int i = 0; i < kDeviceSlots; ++i) {
    char path[kPathChars];
    FormatDevicePath(path, i);
    platform::DriverHandle handle = 0;
    if (OpenDriver(path, &handle) != 0 && handle != platform::kInvalidDriverHandle) {
      present_[i] = 1;
      CloseDriver(&handle);
    } else {
      present_[i] = 0;
    }
  }
  selected_ = 0;
}

int DeviceLink::SelectDevice(int index) {
  ResetTiming();
  if (index < 0 || index >= kDeviceSlots) return 22;
  selected_ = index;
  FormatDevicePath(devicePath_, index);
  SetSampleWidth(0);
  return 0;
}

void DeviceLink::ResetTiming() {
  lineLength_ = kResetLineLength;
  hStart_ = kResetHStart;
  width_ = kResetWidth;
  frameLines_ = kResetFrameLines;
  vStart_ = kResetVStart;
  height_ = kResetHeight;
  sampleWidth16_ = 0;
}

void DeviceLink::SetReadoutMode() {
  // The camera stays in readout mode 1, the one the window extraction is written for.
  WriteFpgaRegister(kModeRegister, kModeReadout1);
  SetSampleWidth(0);
}

int DeviceLink::IsDevicePresent(int index) const {
  if (index < 0 || index >= kDeviceSlots) return 0;
  return present_[index];
}

int DeviceLink::SelectedDevice() const {
  return selected_;
}

std::int32_t DeviceLink::TransferSamples() const {
  return transferSamples_;
}
std::int32_t DeviceLink::StreamWritePosition() const {
  return stream_.writePos.load(std::memory_order_acquire);
}

std::int32_t DeviceLink::BufferCount() const {
  return bufferCount_;
}
int DeviceLink::SampleWidth16() const {
  return sampleWidth16_;
}
std::int32_t DeviceLink::LineLength() const {
  return lineLength_;
}
std::int32_t DeviceLink::HStart() const {
  return hStart_;
}
std::int32_t DeviceLink::Width() const {
  return width_;
}
std::int32_t DeviceLink::FrameLines() const {
  return frameLines_;
}
std::int32_t DeviceLink::VStart() const {
  return vStart_;
}
std::int32_t DeviceLink::Height() const {
  return height_;
}
const char* DeviceLink::DevicePath() const {
  return devicePath_;
}

}  // namespace orvex
