#pragma once

#include <OrvexSdk_QX218.h>

#include <cstdint>

#include "api/handle_registry.h"
#include "core/camera_context.h"

namespace orvex {

inline platform::WindowHandle ToWindowHandle(OrvexWindow window) {
#if defined(_WIN32)
  return reinterpret_cast<platform::WindowHandle>(window);
#else
  return static_cast<platform::WindowHandle>(window);
#endif
}

// The common pattern of the exports: find the context of the handle (which moves the
// registry's head) and run `operation` on it, or give `unregistered` without touching anything.
template <typename Operation>
std::int32_t WithContext(CameraHandle handle, std::int32_t unregistered, Operation&& operation) {
  CameraContext* context = Registry().FindContext(handle);
  if (context == nullptr) return unregistered;
  return operation(*context);
}

}  // namespace orvex
