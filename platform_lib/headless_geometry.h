// Small helpers for placing windows on the headless screen; the caller holds the table's lock.
#pragma once

#include <algorithm>
#include <cstdint>
#include <limits>

#include "headless_window_table.h"

namespace orvex::headless {

inline std::int32_t Clamp32(std::int64_t value) {
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(
      value, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

// Only top-level windows carry a frame.
inline bool IsFramed(const Window& window) {
  return window.parent == 0 && (window.style & ORVEX_PLATFORM_FRAMED) != 0;
}

// The screen position of the window's client area; false when a parent has gone.
bool ClientOrigin(const WindowTable& table, const Window& window, std::int32_t* x, std::int32_t* y);

}  // namespace orvex::headless
