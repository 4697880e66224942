#pragma once

#include "platform/registry_store.h"

namespace orvex::platform {

// The Windows registry below HKEY_CURRENT_USER, through advapi32. A RegistryKey holds the
// HKEY's bits.
class Win32RegistryStore final : public RegistryStore {
 public:
  RegistryKey OpenKey(const std::string& path) override;
  RegistryKey CreateKey(const std::string& path) override;
  bool ReadDword(RegistryKey key, const std::string& name, std::int32_t* value) override;
  bool WriteDword(RegistryKey key, const std::string& name, std::int32_t value) override;
  void CloseKey(RegistryKey key) override;
};

}  // namespace orvex::platform
