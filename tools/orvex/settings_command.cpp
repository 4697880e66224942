// orvex settings: what the settings store holds for this user.
#include <cstdio>

#include "platform/platform_services.h"
#include "settings/registry_settings.h"
#include "tools/orvex/commands.h"

namespace orvex::tool {
namespace {

void PrintAnalog(platform::RegistryStore& store, int device) {
  const std::string path = settings::NumberedSubkeyPath("Gain_%02d", device);
  const platform::RegistryKey key = store.OpenKey(path);
  if (key == 0) return;
  store.CloseKey(key);
  AnalogSettings analog;
  settings::LoadAnalogSettings(store, device, &analog);
  std::printf(
      "analog, device %d: Global %d, ColorG1 %d, ColorR %d, ColorB %d, ColorG2 %d, "
      "Exposure %d, V_Mirror %d, AutoIris %d\n",
      device, analog.Global.load(), analog.ColorG1.load(), analog.ColorR.load(),
      analog.ColorB.load(), analog.ColorG2.load(), analog.Exposure.load(), analog.V_Mirror.load(),
      analog.AutoIris.load());
}

}  // namespace

int RunSettings(const std::vector<std::string>&) {
  platform::RegistryStore& store = platform::Registry();
  settings::SizeTable table;
  if (!settings::ReadSizeTable(store, &table)) {
    std::printf("no settings stored yet\n");
    return 0;
  }
  std::printf("format: Size %d, Color %d, SubSample %d, WaitTime %d, Clock %d\n", table.Size,
              table.Color, table.SubSample, table.WaitTime, table.Clock);
  for (int i = 0; i < table.count; ++i) {
    const SizeEntry& e = table.entries[i];
    std::printf("size %02d: TH %d, TV %d, EH %d, EV %d, EHS %d, EVS %d, Buf %d%s\n", i, e.TH, e.TV,
                e.EH, e.EV, e.EHS, e.EVS, e.Buf, i == table.Size ? "  (in use)" : "");
  }
  ImageSettings image;
  const bool haveFilter = settings::LoadFilterSettings(store, &image);
  std::printf(
      "filter%s: Brightness %d, Contrast %d, Hue %d, Saturation %d, Sharpness %d, "
      "R_Gain %d, G_Gain %d, B_Gain %d, Gamma %d, BayerMode %d\n",
      haveFilter ? "" : " (defaults)", image.Brightness.load(), image.Contrast.load(),
      image.Hue.load(), image.Saturation.load(), image.Sharpness.load(), image.R_Gain.load(),
      image.G_Gain.load(), image.B_Gain.load(), image.Gamma.load(), image.BayerMode.load());
  const bool haveGray = settings::LoadGraySettings(store, &image);
  std::printf(
      "gray%s: GainR1 %d, GainG1 %d, GainG2 %d, GainB1 %d, OffsetR1 %d, OffsetG1 %d, "
      "OffsetG2 %d, OffsetB1 %d\n",
      haveGray ? "" : " (defaults)", image.GainR1.load(), image.GainG1.load(), image.GainG2.load(),
      image.GainB1.load(), image.OffsetR1.load(), image.OffsetG1.load(), image.OffsetG2.load(),
      image.OffsetB1.load());
  for (int device = 0; device < 8; ++device) PrintAnalog(store, device);
  return 0;
}

}  // namespace orvex::tool
