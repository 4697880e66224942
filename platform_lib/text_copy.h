#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string_view>

namespace orvex::platform_text {

// Writes as much of the UTF-8 text as fits into buffer (size bytes), cut at a character
// boundary, and a terminating zero; returns the whole length, as the text queries answer.
inline std::int32_t CopyText(std::string_view text, char* buffer, std::int32_t size) {
  if (buffer != nullptr && size > 0) {
    std::size_t length = std::min(text.size(), static_cast<std::size_t>(size) - 1);
    while (length > 0 && length < text.size() &&
           (static_cast<unsigned char>(text[length]) & 0xC0u) == 0x80u) {
      --length;
    }
    std::memcpy(buffer, text.data(), length);
    buffer[length] = '\0';
  }
  return static_cast<std::int32_t>(
      std::min<std::size_t>(text.size(), std::numeric_limits<std::int32_t>::max()));
}

}  // namespace orvex::platform_text
