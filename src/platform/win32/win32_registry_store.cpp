#include "platform/win32/win32_registry_store.h"

#include <windows.h>

namespace orvex::platform {

namespace {

HKEY ToKey(RegistryKey key) {
  return reinterpret_cast<HKEY>(key);
}

}  // namespace

static_assert(sizeof(RegistryKey) == sizeof(HKEY));

RegistryKey Win32RegistryStore::OpenKey(const std::string& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return 0;
  }
  return reinterpret_cast<RegistryKey>(key);
}

RegistryKey Win32RegistryStore::CreateKey(const std::string& path) {
  char noClass[] = "";
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, noClass, REG_OPTION_NON_VOLATILE,
                      KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS) {
    return 0;
  }
  return reinterpret_cast<RegistryKey>(key);
}

bool Win32RegistryStore::ReadDword(RegistryKey key, const std::string& name, std::int32_t* value) {
  if (key == 0 || value == nullptr) return false;
  // The stored type is not checked, but only a value of exactly four bytes fills the DWORD: a
  // shorter one fills part of it, a longer one fails with ERROR_MORE_DATA and leaves the
  // buffer undefined. Both read as missing, so a damaged value never becomes a setting.
  DWORD data = 0;
  DWORD size = sizeof data;
  if (RegQueryValueExA(ToKey(key), name.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(&data),
                       &size) != ERROR_SUCCESS ||
      size != sizeof data) {
    return false;
  }
  *value = static_cast<std::int32_t>(data);
  return true;
}

bool Win32RegistryStore::WriteDword(RegistryKey key, const std::string& name, std::int32_t value) {
  if (key == 0) return false;
  const DWORD data = static_cast<DWORD>(value);
  return RegSetValueExA(ToKey(key), name.c_str(), 0, REG_DWORD,
                        reinterpret_cast<const BYTE*>(&data), sizeof data) == ERROR_SUCCESS;
}

void Win32RegistryStore::CloseKey(RegistryKey key) {
  if (key != 0) RegCloseKey(ToKey(key));
}

}  // namespace orvex::platform
