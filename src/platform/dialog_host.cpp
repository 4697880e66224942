#include "platform/dialog_host.h"

#include <atomic>
#include <charconv>
#include <limits>
#include <string>

namespace orvex::platform {
namespace {

std::atomic<DialogHost*> installedHost{nullptr};

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

}  // namespace

std::optional<std::int64_t> ParseDialogNumber(std::string_view text, bool isSigned) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  if (text.empty() || (!isSigned && text.front() == '-')) return std::nullopt;
  std::int64_t value = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value);
  if (error != std::errc() || stop != end) return std::nullopt;
  const std::int64_t low = isSigned ? std::numeric_limits<std::int32_t>::min() : 0;
  const std::int64_t high = isSigned ? std::numeric_limits<std::int32_t>::max()
                                     : std::int64_t{std::numeric_limits<std::uint32_t>::max()};
  if (value < low || value > high) return std::nullopt;
  return value;
}

bool DialogHost::SetItemInt(WindowHandle window, std::int32_t id, std::int32_t value) {
  return SetItemText(window, id, std::to_string(value));
}

bool DialogHost::SetItemUnsigned(WindowHandle window, std::int32_t id, std::uint32_t value) {
  return SetItemText(window, id, std::to_string(value));
}

std::int32_t DialogHost::GetItemInt(WindowHandle window, std::int32_t id) {
  return static_cast<std::int32_t>(ParseDialogNumber(GetItemText(window, id), true).value_or(0));
}

std::uint32_t DialogHost::GetItemUnsigned(WindowHandle window, std::int32_t id) {
  return static_cast<std::uint32_t>(ParseDialogNumber(GetItemText(window, id), false).value_or(0));
}

DialogHost& Dialogs() {
  DialogHost* host = installedHost.load(std::memory_order_acquire);
  return host != nullptr ? *host : DefaultDialogHost();
}

void InstallDialogHost(DialogHost* host) {
  installedHost.store(host, std::memory_order_release);
}

}  // namespace orvex::platform
