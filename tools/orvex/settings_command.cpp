// orvex settings: what the settings store holds for this user, value by value, as an
// application reads it: from the registry (on Linux through OrvexPlatform, whose registry is
// the .reg file the camera library keeps).
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <string>

#if defined(_WIN32)
#include <windows.h>
#else
#include <orvex/platform_system.h>
#endif

#include "tools/orvex/commands.h"

namespace orvex::tool {
namespace {

constexpr char kMainKey[] = "Software\\Helvane\\OrvexQX218Sdk";

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

std::string Subkey(const char* name) {
  return std::string(kMainKey) + "\\" + name;
}

std::string NumberedSubkey(const char* format, int number) {
  char name[32];
  std::snprintf(name, sizeof name, format, number);
  return Subkey(name);
}

// A group of values under its own subkey, or a note that none is stored.
void PrintGroup(const char* label, const std::string& path,
                std::initializer_list<const char*> names) {
  const StoredKey key(path);
  if (key) {
    std::printf("%s: %s\n", label, key.Values(names).c_str());
  } else {
    std::printf("%s: none stored\n", label);
  }
}

}  // namespace

int RunSettings(const std::vector<std::string>&) {
  const StoredKey main(kMainKey);
  if (!main) {
    std::printf("no settings stored yet\n");
    return 0;
  }
  std::printf("format: %s\n",
              main.Values({"Size", "Color", "SubSample", "WaitTime", "Clock"}).c_str());
  std::int32_t inUse = -1;
  main.Read("Size", &inUse);
  // The size table is numbered without gaps from 00.
  for (int i = 0; i < 100; ++i) {
    const StoredKey entry(NumberedSubkey("Size_%02d", i));
    if (!entry) break;
    std::printf("size %02d: %s%s\n", i,
                entry.Values({"TH", "TV", "EH", "EV", "EHS", "EVS", "Buf"}).c_str(),
                i == inUse ? "  (in use)" : "");
  }
  PrintGroup("filter", Subkey("Filter"),
             {"Brightness", "Contrast", "Hue", "Saturation", "Sharpness", "R_Gain", "G_Gain",
              "B_Gain", "Gamma", "BayerMode"});
  PrintGroup(
      "gray", Subkey("Gray"),
      {"GainR1", "GainG1", "GainG2", "GainB1", "OffsetR1", "OffsetG1", "OffsetG2", "OffsetB1"});
  for (int device = 0; device < 8; ++device) {
    const std::string path = NumberedSubkey("Gain_%02d", device);
    if (!StoredKey(path)) continue;
    const std::string label = "analog, device " + std::to_string(device);
    PrintGroup(
        label.c_str(), path,
        {"Global", "ColorG1", "ColorR", "ColorB", "ColorG2", "Exposure", "V_Mirror", "AutoIris"});
  }
  return 0;
}

}  // namespace orvex::tool
