#pragma once

#include <OrvexSdk_QX218.h>

#include <cstddef>
#include <cstdint>
#include <new>
#include <type_traits>

#include "api/context_lease.h"
#include "api/handle_registry.h"
#include "core/camera_context.h"

namespace orvex {

// The library's own names for what the public header promises, held to it.
static_assert(static_cast<std::int32_t>(ErrorCode::kNoDevice) == ErrorNoDevice);
static_assert(static_cast<std::int32_t>(ErrorCode::kDeviceNotFound) == ErrorDeviceNotFound);
static_assert(static_cast<std::int32_t>(ErrorCode::kThreadStart) == ErrorThreadStart);
static_assert(static_cast<std::int32_t>(ErrorCode::kWindow) == ErrorWindow);
static_assert(static_cast<std::int32_t>(ErrorCode::kBuffer) == ErrorBuffer);
static_assert(static_cast<std::int32_t>(ErrorCode::kTransfer) == ErrorTransfer);
static_assert(static_cast<std::int32_t>(ErrorCode::kGeometry) == ErrorGeometry);
static_assert(static_cast<std::int32_t>(ErrorCode::kFrameRead) == ErrorFrameRead);
static_assert(static_cast<std::int32_t>(ErrorCode::kParameter) == ErrorParameter);
static_assert(static_cast<std::int32_t>(ErrorCode::kNotSupported) == ErrorNotSupported);
static_assert(static_cast<std::int32_t>(ErrorCode::kStreamStopped) == ErrorStreamStopped);
static_assert(kFrameMessage == FrameMessage);
static_assert(kErrorMessage == ErrorMessage);
static_assert(kCameraInfoBytes == sizeof(CameraInfo));
static_assert(std::is_standard_layout_v<FrameInfoRecord>);
static_assert(sizeof(FrameInfoRecord) == sizeof(FrameInfo));
static_assert(offsetof(FrameInfoRecord, size) == offsetof(FrameInfo, size));
static_assert(offsetof(FrameInfoRecord, width) == offsetof(FrameInfo, width));
static_assert(offsetof(FrameInfoRecord, height) == offsetof(FrameInfo, height));
static_assert(offsetof(FrameInfoRecord, bitsPerPixel) == offsetof(FrameInfo, bitsPerPixel));
static_assert(offsetof(FrameInfoRecord, frameRate) == offsetof(FrameInfo, frameRate));
static_assert(offsetof(FrameInfoRecord, reserved) == offsetof(FrameInfo, reserved));

inline platform::WindowHandle ToWindowHandle(OrvexWindow window) {
#if defined(_WIN32)
  return reinterpret_cast<platform::WindowHandle>(window);
#else
  return static_cast<platform::WindowHandle>(window);
#endif
}

// Runs an export's operation on its context. Nothing is thrown across the library's boundary:
// memory that ran out where an operation does not catch it is its ErrorBuffer and its failure.
template <typename Operation>
std::int32_t RunGuarded(CameraContext& context, Operation& operation) {
  try {
    return operation(context);
  } catch (const std::bad_alloc&) {
    context.RecordError(ErrorCode::kBuffer);
    return 0;
  }
}

// The common pattern of the exports: find the context of the handle (which moves the
// registry's head) and run `operation` on it, or give `unregistered` without touching anything.
// For what only reads or stores single values, which any thread may do at any time.
template <typename Operation>
std::int32_t WithContext(CameraHandle handle, std::int32_t unregistered, Operation&& operation) {
  const ContextLease context(handle);
  if (!context) return unregistered;
  return RunGuarded(*context, operation);
}

// The same, one application thread at a time on this context: for what replaces buffers,
// changes the acquisition or talks to the camera (see CameraContext::LockOperations).
template <typename Operation>
std::int32_t WithContextSerialised(CameraHandle handle, std::int32_t unregistered,
                                   Operation&& operation) {
  const ContextLease context(handle);
  if (!context) return unregistered;
  const auto lock = context->LockOperations();
  return RunGuarded(*context, operation);
}

}  // namespace orvex
