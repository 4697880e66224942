#pragma once

#include <cstdio>
#include <string>

namespace orvex::settings {

// Below HKEY_CURRENT_USER. The names are part of the stored format: never rename them.
inline constexpr char kMainKey[] = "Software\\Helvane\\OrvexQX218Sdk";

// Subkeys of the main key.
inline constexpr char kSizeKeyFormat[] = "Size_%02d";  // one size table entry, 00 .. 99
inline constexpr char kGainKeyFormat[] = "Gain_%02d";  // analog group of one device index
inline constexpr char kFilterKey[] = "Filter";
inline constexpr char kGrayKey[] = "Gray";

// The size table is numbered without gaps from 00, so it never holds more than this.
inline constexpr int kMaxSizeEntries = 100;

// Values of a Size_nn entry, in the order they are read and written.
inline constexpr const char* kSizeEntryValues[] = {"TH", "TV", "EH", "EV", "EHS", "EVS", "Buf"};

// Format values of the main key.
inline constexpr char kSizeValue[] = "Size";
inline constexpr const char* kFormatValues[] = {"Color", "SubSample", "WaitTime", "Clock"};

// Analog group: five gains (read through one scratch value), then three whole values.
inline constexpr const char* kAnalogGainValues[] = {"Global", "ColorG1", "ColorR", "ColorB",
                                                    "ColorG2"};
inline constexpr const char* kAnalogOtherValues[] = {"Exposure", "V_Mirror", "AutoIris"};

inline constexpr const char* kFilterValues[] = {"Brightness", "Contrast", "Hue",    "Saturation",
                                                "Sharpness",  "R_Gain",   "G_Gain", "B_Gain",
                                                "Gamma",      "BayerMode"};

inline constexpr const char* kGrayValues[] = {"GainR1",   "GainG1",   "GainG2",   "GainB1",
                                              "OffsetR1", "OffsetG1", "OffsetG2", "OffsetB1"};

// Full path of a subkey of the main key.
inline std::string SubkeyPath(const char* name) {
  return std::string(kMainKey) + "\\" + name;
}

// Full path of a numbered subkey ("Size_%02d", "Gain_%02d").
inline std::string NumberedSubkeyPath(const char* format, int number) {
  char name[32];
  std::snprintf(name, sizeof name, format, number);
  return SubkeyPath(name);
}

}  // namespace orvex::settings
