#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace orvex {

// One PixelKernel call (pixel_kernel.h) with its eleven arguments read once: the region as a
// width and height, and the rows it covers on both sides.
struct KernelCall {
  std::uint8_t* destination = nullptr;
  const std::uint8_t* source = nullptr;
  std::int32_t left = 0, top = 0, width = 0, height = 0;
  std::int32_t x = 0, y = 0;
  std::int32_t destinationBytes = 0, sourceBytes = 0;
  std::ptrdiff_t destinationStride = 0, sourceStride = 0;
  void* record = nullptr;  // what the parameter word points to; null where none was given

  // Row j of the region: its first pixel in the destination and in the source.
  std::uint8_t* DestinationRow(std::int32_t j) const {
    return destination + (static_cast<std::ptrdiff_t>(y) + j) * destinationStride +
           static_cast<std::ptrdiff_t>(x) * destinationBytes;
  }
  const std::uint8_t* SourceRow(std::int32_t j) const {
    return source + (static_cast<std::ptrdiff_t>(top) + j) * sourceStride +
           static_cast<std::ptrdiff_t>(left) * sourceBytes;
  }
  // The record as the stage's parameter type.
  template <typename Record>
  Record& RecordAs() const {
    return *static_cast<Record*>(record);
  }
  // A record that is one 32-bit setting.
  std::int32_t Setting() const {
    std::int32_t value;
    std::memcpy(&value, record, sizeof value);
    return value;
  }
};

// What a kernel needs of its arguments besides pixels and a region.
struct KernelNeeds {
  std::int32_t destinationBytes = 1;  // the fewest bytes a destination pixel it can work on
  std::int32_t sourceBytes = 1;       // the same for the source
  bool record = false;                // `parameter` must point to a pointer to a record
};

// The outcome of reading a call; each kernel family answers it with its own result.
enum class CallState {
  kInvalid,  // a pointer missing, or a region too large for 32-bit sizes
  kUnfit,    // pixels too small for the kernel
  kEmpty,    // nothing to do: the region is empty (the call is filled, with zero sizes)
  kReady,
};

// Reads the arguments of a PixelKernel call into `call`, checking them in that order.
CallState DecodeKernelCall(std::uint8_t* destination, const std::uint8_t* source,
                           const std::int32_t* region, std::int32_t x, std::int32_t y,
                           std::int32_t destinationBytes, std::int32_t sourceBytes,
                           std::int32_t destinationStride, std::int32_t sourceStride,
                           void** parameter, const KernelNeeds& needs, KernelCall* call);

}  // namespace orvex
