// The settings store of this user, read as an application reads it: from the registry (on Linux
// through OrvexPlatform, whose registry is the .reg file the camera library keeps).
#pragma once

#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <string>

#if defined(_WIN32)
#include <windows.h>
#else
#include <orvex/platform_system.h>
#endif

namespace orvex::tool {

inline constexpr char kMainKey[] = "Software\\Helvane\\OrvexQX218Sdk";

// One key of HKEY_CURRENT_USER, open for reading while it lives.
class StoredKey {
 public:
  explicit StoredKey(const std::string& path) {
#if defined(_WIN32)
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS) {
      key_ = key;
    }
#else
    key_ = OrvexPlatform_RegOpenKey(path.c_str());
#endif
  }
  ~StoredKey() {
#if defined(_WIN32)
    if (key_ != nullptr) RegCloseKey(key_);
#else
    OrvexPlatform_RegCloseKey(key_);
#endif
  }
  StoredKey(const StoredKey&) = delete;
  StoredKey& operator=(const StoredKey&) = delete;

  explicit operator bool() const {
    return key_ != 0;
  }

  bool Read(const char* name, std::int32_t* value) const {
#if defined(_WIN32)
    DWORD type = 0, size = sizeof *value;
    return key_ != nullptr &&
           RegQueryValueExA(key_, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size) ==
               ERROR_SUCCESS &&
           type == REG_DWORD && size == sizeof *value;
#else
    return OrvexPlatform_RegQueryDword(key_, name, value) != 0;
#endif
  }

  // "Name value, Name value, ...", "-" for a value that is not stored.
  std::string Values(std::initializer_list<const char*> names) const {
    std::string line;
    for (const char* name : names) {
      if (!line.empty()) line += ", ";
      std::int32_t value = 0;
      line += std::string(name) + " " + (Read(name, &value) ? std::to_string(value) : "-");
    }
    return line;
  }

 private:
#if defined(_WIN32)
  HKEY key_ = nullptr;
#else
  OrvexRegistryKey key_ = 0;
#endif
};

inline std::string Subkey(const char* name) {
  return std::string(kMainKey) + "\\" + name;
}

inline std::string NumberedSubkey(const char* format, int number) {
  char name[32];
  std::snprintf(name, sizeof name, format, number);
  return Subkey(name);
}

}  // namespace orvex::tool
