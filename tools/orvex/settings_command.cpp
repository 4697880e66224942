// orvex settings: what the settings store holds for this user, value by value, as an
// application reads it (see stored_settings.h).
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <string>

#include "tools/orvex/commands.h"
#include "tools/orvex/stored_settings.h"

namespace orvex::tool {
namespace {

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
