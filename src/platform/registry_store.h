#pragma once

#include <cstdint>
#include <string>

namespace orvex::platform {

// An open key below HKEY_CURRENT_USER; 0 is no key.
using RegistryKey = std::uintptr_t;

// HKEY_CURRENT_USER as the settings store sees it: keys by path ("Software\\Helvane\\...",
// backslash-separated), REG_DWORD values of four bytes.
class RegistryStore {
 public:
  virtual ~RegistryStore() = default;

  // RegOpenKeyExA(HKEY_CURRENT_USER, path, KEY_READ); 0 when the key does not exist.
  virtual RegistryKey OpenKey(const std::string& path) = 0;
  // RegCreateKeyExA(HKEY_CURRENT_USER, path, "", non-volatile, KEY_ALL_ACCESS); 0 on failure.
  virtual RegistryKey CreateKey(const std::string& path) = 0;
  // RegQueryValueExA asking for four bytes; false when the value is missing or unreadable.
  virtual bool ReadDword(RegistryKey key, const std::string& name, std::int32_t* value) = 0;
  // RegSetValueExA with REG_DWORD; false when it failed.
  virtual bool WriteDword(RegistryKey key, const std::string& name, std::int32_t value) = 0;
  virtual void CloseKey(RegistryKey key) = 0;
};

}  // namespace orvex::platform
