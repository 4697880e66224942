#include "settings/registry_settings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/testing/memory_registry_store.h"

namespace orvex::settings {
namespace {

using platform::MemoryRegistryStore;
using Names = std::vector<std::string>;

const std::string kMain = "Software\\Helvane\\OrvexQX218Sdk";

std::string Sub(const std::string& name) {
  return kMain + "\\" + name;
}

class RegistrySettingsTest : public ::testing::Test {
 protected:
  // Every operation closes what it opened, whichever way it left.
  void TearDown() override { EXPECT_EQ(store.OpenHandleCount(), 0); }

  void StoreEntry(int nn, const SizeEntry& entry) {
    char name[16];
    std::snprintf(name, sizeof name, "Size_%02d", nn);
    const std::string key = Sub(name);
    store.SetValue(key, "TH", entry.TH);
    store.SetValue(key, "TV", entry.TV);
    store.SetValue(key, "EH", entry.EH);
    store.SetValue(key, "EV", entry.EV);
    store.SetValue(key, "EHS", entry.EHS);
    store.SetValue(key, "EVS", entry.EVS);
    store.SetValue(key, "Buf", entry.Buf);
  }

  MemoryRegistryStore store;
};

void ExpectEntry(const SizeEntry& entry, const SizeEntry& expected) {
  EXPECT_EQ(entry.TH, expected.TH);
  EXPECT_EQ(entry.TV, expected.TV);
  EXPECT_EQ(entry.EH, expected.EH);
  EXPECT_EQ(entry.EV, expected.EV);
  EXPECT_EQ(entry.EHS, expected.EHS);
  EXPECT_EQ(entry.EVS, expected.EVS);
  EXPECT_EQ(entry.Buf, expected.Buf);
}

// --- size entry and format ---

TEST_F(RegistrySettingsTest, FirstRunWritesDefaultsAndKeepsTheGeometry) {
  CaptureGeometry geometry;
  geometry.EH = 640;  // whatever the context holds stays
  EXPECT_FALSE(LoadSizeSettings(store, geometry));
  EXPECT_EQ(geometry.EH, 640);
  EXPECT_EQ(geometry.TH, 1320);

  EXPECT_EQ(store.ValueNames(kMain), (Names{"Size", "Color", "SubSample", "WaitTime", "Clock"}));
  EXPECT_EQ(store.Value(kMain, "Size"), 0);
  EXPECT_EQ(store.Value(kMain, "Color"), 2);
  EXPECT_EQ(store.Value(kMain, "SubSample"), 0);
  EXPECT_EQ(store.Value(kMain, "WaitTime"), 10);
  EXPECT_EQ(store.Value(kMain, "Clock"), 0);
  EXPECT_EQ(store.ValueNames(Sub("Size_00")), (Names{"TH", "TV", "EH", "EV", "EHS", "EVS", "Buf"}));

  // The next start reads what the first one stored.
  EXPECT_TRUE(LoadSizeSettings(store, geometry));
  EXPECT_EQ(geometry.TH, 1320);
  EXPECT_EQ(geometry.TV, 1024);
  EXPECT_EQ(geometry.EH, 1280);
  EXPECT_EQ(geometry.EV, 1024);
  EXPECT_EQ(geometry.EHS, 39);
  EXPECT_EQ(geometry.EVS, 0);
  EXPECT_EQ(geometry.Buf, 20);
  CaptureFormat format;
  EXPECT_TRUE(LoadFormatSettings(store, format));
  EXPECT_EQ(format.Color, 2);
  EXPECT_EQ(format.WaitTime, 10);
}

TEST_F(RegistrySettingsTest, MissingSizeOrEntryLeavesGeometryAndCreatesNothing) {
  store.AddKey(kMain);
  StoreEntry(0, {1, 2, 3, 4, 5, 6, 7});
  CaptureGeometry geometry;
  EXPECT_FALSE(LoadSizeSettings(store, geometry));
  EXPECT_EQ(geometry.EH, 1280);
  EXPECT_TRUE(store.ValueNames(kMain).empty());

  store.SetValue(kMain, "Size", 4);  // no Size_04
  EXPECT_FALSE(LoadSizeSettings(store, geometry));
  EXPECT_EQ(geometry.EH, 1280);
  EXPECT_FALSE(store.HasKey(Sub("Size_04")));
}

TEST_F(RegistrySettingsTest, SizeEntryIsReadByItsNumberAndMissingValuesStay) {
  StoreEntry(0, {1, 2, 3, 4, 5, 6, 7});
  StoreEntry(1, {1320, 1024, 640, 480, 100, 200, 8});
  store.RemoveValue(Sub("Size_01"), "Buf");
  store.SetValue(kMain, "Size", 1);
  CaptureGeometry geometry;
  EXPECT_TRUE(LoadSizeSettings(store, geometry));
  EXPECT_EQ(geometry.EH, 640);
  EXPECT_EQ(geometry.EV, 480);
  EXPECT_EQ(geometry.EHS, 100);
  EXPECT_EQ(geometry.EVS, 200);
  EXPECT_EQ(geometry.Buf, 20);
}

TEST_F(RegistrySettingsTest, FormatMissingValuesStay) {
  CaptureFormat format;
  format.Color = 4;
  EXPECT_FALSE(LoadFormatSettings(store, format));
  store.SetValue(kMain, "Color", 7);
  store.SetValue(kMain, "Clock", 1);
  EXPECT_TRUE(LoadFormatSettings(store, format));
  EXPECT_EQ(format.Color, 7);
  EXPECT_EQ(format.Clock, 1);
  EXPECT_EQ(format.WaitTime, 10);
  EXPECT_FALSE(store.HasKey(Sub("Size_00")));
}

// --- size table ---

TEST_F(RegistrySettingsTest, EntriesStopAtTheFirstGap) {
  StoreEntry(0, {1320, 1024, 1280, 1024, 39, 0, 20});
  StoreEntry(1, {1320, 1024, 640, 480, 0, 0, 4});
  StoreEntry(3, {1320, 1024, 320, 240, 0, 0, 4});
  store.RemoveValue(Sub("Size_01"), "Buf");

  SizeEntry entries[5];
  entries[1].Buf = -5;
  EXPECT_EQ(ReadSizeEntries(store, entries, 5), 2);
  ExpectEntry(entries[0], {1320, 1024, 1280, 1024, 39, 0, 20});
  ExpectEntry(entries[1], {1320, 1024, 640, 480, 0, 0, -5});  // as the caller set it
  EXPECT_EQ(ReadSizeEntries(store, entries, 1), 1);
  EXPECT_EQ(ReadSizeEntries(store, entries, 0), 0);

  MemoryRegistryStore empty;
  EXPECT_EQ(ReadSizeEntries(empty, entries, 5), 0);
}

TEST_F(RegistrySettingsTest, TableKeepsEntriesBeyondItsCountUntilTheGapIsFilled) {
  StoreEntry(0, {1320, 1024, 1280, 1024, 39, 0, 20});
  StoreEntry(1, {1320, 1024, 640, 480, 0, 0, 4});
  StoreEntry(3, {1320, 1024, 320, 240, 1, 2, 3});
  store.SetValue(kMain, "Size", 1);
  store.SetValue(kMain, "Color", 3);

  SizeTable table;
  ASSERT_TRUE(ReadSizeTable(store, &table));
  EXPECT_EQ(table.count, 2);
  EXPECT_EQ(table.Size, 1);
  EXPECT_EQ(table.Color, 3);
  EXPECT_EQ(table.WaitTime, 10);  // missing: as the dialog set it
  EXPECT_EQ(table.entries[2].Buf, 10);

  table.entries[1].EH = 800;
  table.Color = 4;
  const int commits = store.CommitCount();
  EXPECT_TRUE(WriteSizeTable(store, &table));
  EXPECT_EQ(store.CommitCount(), commits + 1);  // one confirmation, one change
  EXPECT_EQ(store.Value(Sub("Size_01"), "EH"), 800);
  EXPECT_EQ(store.Value(Sub("Size_03"), "EH"), 320);
  EXPECT_FALSE(store.HasKey(Sub("Size_02")));
  EXPECT_EQ(store.Value(kMain, "WaitTime"), 10);
  EXPECT_EQ(store.Value(kMain, "Color"), 4);

  // A custom entry fills the gap, and the old Size_03 becomes the fourth entry.
  table.entries[2] = {1320, 1024, 1000, 700, 0, 0, 10};
  table.count = 3;
  table.Size = 2;
  EXPECT_TRUE(WriteSizeTable(store, &table));
  SizeTable reread;
  ASSERT_TRUE(ReadSizeTable(store, &reread));
  EXPECT_EQ(reread.count, 4);
  EXPECT_EQ(reread.Size, 2);
  ExpectEntry(reread.entries[2], {1320, 1024, 1000, 700, 0, 0, 10});
  ExpectEntry(reread.entries[3], {1320, 1024, 320, 240, 1, 2, 3});
}

TEST_F(RegistrySettingsTest, TableFailures) {
  SizeTable table;
  EXPECT_FALSE(ReadSizeTable(store, &table));
  EXPECT_FALSE(store.HasKey(kMain));

  store.SetFaults(kMain, MemoryRegistryStore::kFailCreate);
  table.count = 1;
  EXPECT_FALSE(WriteSizeTable(store, &table));
  EXPECT_FALSE(store.HasKey(Sub("Size_00")));

  // An entry that cannot be created ends the entries; the format is still written.
  store.SetFaults(kMain, 0);
  store.SetFaults(Sub("Size_01"), MemoryRegistryStore::kFailCreate);
  table.count = 3;
  table.Color = 5;
  EXPECT_FALSE(WriteSizeTable(store, &table));
  EXPECT_TRUE(store.HasKey(Sub("Size_00")));
  EXPECT_FALSE(store.HasKey(Sub("Size_02")));
  EXPECT_EQ(store.Value(kMain, "Color"), 5);

  table.count = 1000;  // never beyond the table
  store.SetFaults(Sub("Size_01"), 0);
  EXPECT_TRUE(WriteSizeTable(store, &table));
  EXPECT_TRUE(store.HasKey(Sub("Size_99")));
  EXPECT_FALSE(store.HasKey(Sub("Size_100")));
}

// --- analog group ---

TEST_F(RegistrySettingsTest, AnalogGainsKeepTheirLowByteAndRepeatTheGainBefore) {
  const std::string gain = Sub("Gain_00");
  store.SetValue(gain, "Global", 300);
  store.SetValue(gain, "ColorG1", 0x1234);
  store.SetValue(gain, "ColorB", -1);
  store.SetValue(gain, "Exposure", 70000);
  AnalogSettings analog;
  analog.V_Mirror = 1;
  analog.AutoIris = 2;
  EXPECT_TRUE(LoadAnalogSettings(store, 0, &analog));
  EXPECT_EQ(analog.Global, 44);
  EXPECT_EQ(analog.ColorG1, 0x34);
  EXPECT_EQ(analog.ColorR, 0x34);  // missing: the value read for ColorG1
  EXPECT_EQ(analog.ColorB, 255);
  EXPECT_EQ(analog.ColorG2, 255);
  EXPECT_EQ(analog.Exposure, 70000);  // whole
  EXPECT_EQ(analog.V_Mirror, 1);
  EXPECT_EQ(analog.AutoIris, 2);

  store.RemoveValue(gain, "Global");
  EXPECT_TRUE(LoadAnalogSettings(store, 0, &analog));
  EXPECT_EQ(analog.Global, 0);
}

TEST_F(RegistrySettingsTest, AnalogWithoutItsSubkeyTakesDefaults) {
  store.SetValue(Sub("Gain_01"), "Exposure", 99);
  AnalogSettings analog;
  analog.Global = 9;
  analog.ColorG2 = 9;
  analog.Exposure = 9;
  analog.V_Mirror = 1;
  analog.AutoIris = 1;
  EXPECT_TRUE(LoadAnalogSettings(store, 0, &analog));
  EXPECT_EQ(analog.Global, 0);
  EXPECT_EQ(analog.ColorG2, 0);
  EXPECT_EQ(analog.Exposure, 40);
  EXPECT_EQ(analog.V_Mirror, 1);
  EXPECT_EQ(analog.AutoIris, 0);
  EXPECT_FALSE(store.HasKey(Sub("Gain_00")));
  EXPECT_FALSE(LoadAnalogSettings(store, 0, nullptr));
}

TEST_F(RegistrySettingsTest, DevicesKeepTheirAnalogGroupsApart) {
  AnalogSettings first;
  first.Global = 10;
  first.ColorR = 11;
  first.Exposure = 500;
  first.V_Mirror = 1;
  AnalogSettings fourth;
  fourth.Global = 30;
  fourth.ColorG2 = 33;
  fourth.Exposure = -2;
  fourth.AutoIris = 1;
  EXPECT_TRUE(SaveAnalogSettings(store, 0, &first));
  EXPECT_TRUE(SaveAnalogSettings(store, 3, &fourth));
  EXPECT_EQ(store.ValueNames(Sub("Gain_03")),
            (Names{"Global", "ColorG1", "ColorR", "ColorB", "ColorG2", "Exposure", "V_Mirror",
                   "AutoIris"}));
  EXPECT_FALSE(store.HasKey(Sub("Gain_01")));

  AnalogSettings loaded;
  EXPECT_TRUE(LoadAnalogSettings(store, 3, &loaded));
  EXPECT_EQ(loaded.Global, 30);
  EXPECT_EQ(loaded.ColorR, 0);
  EXPECT_EQ(loaded.ColorG2, 33);
  EXPECT_EQ(loaded.Exposure, -2);
  EXPECT_EQ(loaded.V_Mirror, 0);
  EXPECT_EQ(loaded.AutoIris, 1);
  EXPECT_TRUE(LoadAnalogSettings(store, 0, &loaded));
  EXPECT_EQ(loaded.Global, 10);
  EXPECT_EQ(loaded.ColorR, 11);
  EXPECT_EQ(loaded.ColorG2, 0);
  EXPECT_EQ(loaded.Exposure, 500);
  EXPECT_EQ(loaded.V_Mirror, 1);
  EXPECT_EQ(loaded.AutoIris, 0);
}

TEST_F(RegistrySettingsTest, SavesReportKeysAndValuesTheyCouldNotWrite) {
  AnalogSettings analog;
  ImageSettings image;
  store.SetFaults(Sub("Gain_02"), MemoryRegistryStore::kFailCreate);
  EXPECT_FALSE(SaveAnalogSettings(store, 2, &analog));
  EXPECT_FALSE(SaveAnalogSettings(store, 0, nullptr));
  store.SetFaults(Sub("Filter"), MemoryRegistryStore::kFailWrite);
  EXPECT_FALSE(SaveFilterSettings(store, &image));
  store.SetFaults(kMain, MemoryRegistryStore::kFailCreate);
  EXPECT_FALSE(SaveGraySettings(store, &image));
  EXPECT_FALSE(store.HasKey(Sub("Gray")));
}

// --- filter and gray groups ---

TEST_F(RegistrySettingsTest, FilterAndGrayDefaultsWhenTheirKeysAreMissing) {
  ImageSettings image;
  image.Brightness = 7;
  image.GrayMode = 1;
  image.OffsetG2 = 7;
  image.BayerGainAuto = 1;
  image.BayerGainOnce1 = 1;
  image.BayerGainOnce2 = 1;
  EXPECT_FALSE(LoadFilterSettings(store, &image));
  EXPECT_EQ(image.Brightness, 0);
  EXPECT_EQ(image.Sharpness, 0);
  EXPECT_EQ(image.R_Gain, 100);
  EXPECT_EQ(image.B_Gain, 100);
  EXPECT_EQ(image.Gamma, 100);
  EXPECT_EQ(image.BayerMode, 3);
  EXPECT_EQ(image.BayerGainAuto, 0);
  EXPECT_EQ(image.BayerGainOnce1, 0);
  EXPECT_EQ(image.BayerGainOnce2, 0);
  EXPECT_FALSE(LoadGraySettings(store, &image));
  EXPECT_EQ(image.GainR1, 128);
  EXPECT_EQ(image.GainB1, 128);
  EXPECT_EQ(image.OffsetG2, 0);
  EXPECT_EQ(image.GrayMode, 1);
  EXPECT_FALSE(store.HasKey(kMain));
  EXPECT_FALSE(LoadFilterSettings(store, nullptr));
}

TEST_F(RegistrySettingsTest, FilterAndGrayRoundTrip) {
  ImageSettings saved;
  std::int32_t next = -3;
  for (Setting* s : {&saved.Brightness, &saved.Contrast,  &saved.Hue,      &saved.Saturation,
                     &saved.Sharpness,  &saved.R_Gain,    &saved.G_Gain,   &saved.B_Gain,
                     &saved.Gamma,      &saved.BayerMode, &saved.GrayMode, &saved.GainR1,
                     &saved.GainG1,     &saved.GainG2,    &saved.GainB1,   &saved.OffsetR1,
                     &saved.OffsetG1,   &saved.OffsetG2,  &saved.OffsetB1, &saved.BayerGainAuto}) {
    *s = next++;
  }
  EXPECT_TRUE(SaveFilterSettings(store, &saved));
  EXPECT_TRUE(SaveGraySettings(store, &saved));
  EXPECT_EQ(store.ValueNames(Sub("Filter")),
            (Names{"Brightness", "Contrast", "Hue", "Saturation", "Sharpness", "R_Gain", "G_Gain",
                   "B_Gain", "Gamma", "BayerMode"}));
  EXPECT_EQ(store.ValueNames(Sub("Gray")), (Names{"GainR1", "GainG1", "GainG2", "GainB1",
                                                  "OffsetR1", "OffsetG1", "OffsetG2", "OffsetB1"}));

  ImageSettings loaded;
  loaded.BayerGainAuto = 1;  // untouched when the group is stored
  EXPECT_TRUE(LoadFilterSettings(store, &loaded));
  EXPECT_TRUE(LoadGraySettings(store, &loaded));
  EXPECT_EQ(loaded.Brightness, -3);
  EXPECT_EQ(loaded.BayerMode, 6);
  EXPECT_EQ(loaded.GrayMode, 0);  // not part of either group
  EXPECT_EQ(loaded.GainR1, 8);
  EXPECT_EQ(loaded.OffsetB1, 15);
  EXPECT_EQ(loaded.BayerGainAuto, 1);

  // A single missing value leaves its setting as it was.
  store.RemoveValue(Sub("Filter"), "Gamma");
  loaded.Gamma = 55;
  EXPECT_TRUE(LoadFilterSettings(store, &loaded));
  EXPECT_EQ(loaded.Gamma, 55);
}

}  // namespace
}  // namespace orvex::settings
