#pragma once

#include <array>
#include <cstdint>

#include "base/camera_settings.h"
#include "platform/registry_store.h"
#include "settings/settings_keys.h"

namespace orvex::settings {

using platform::RegistryStore;

// The camera dialog's copy of the stored size table and format values.
struct SizeTable {
  std::array<SizeEntry, kMaxSizeEntries> entries{};  // each starts 0 .. 0 with Buf 10
  int count = 0;                                     // entries in use, from 0
  std::int32_t Size = 0;
  std::int32_t Color = 0;
  std::int32_t SubSample = 0;
  std::int32_t WaitTime = 10;
  std::int32_t Clock = 0;
};

// Every operation opens its keys, reads or writes one group and closes what it opened. A value
// missing from an existing key leaves the setting as it was (except the five analog gains).
// Each operation that writes is one batch of the store (see RegistryStore): its values reach
// the store together, and a caller that saves several groups as one change (a release) opens a
// RegistryBatch around them. Their results include the commit's, unless an outer batch is open.

// The stored size entry (value "Size" of the main key) into `geometry`. On the first run (no
// main key) writes the default format and entry Size_00 and leaves `geometry` alone. True
// when an entry was read.
bool LoadSizeSettings(RegistryStore& store, CaptureGeometry& geometry);

// Color, SubSample, WaitTime and Clock from the main key. True when the main key exists.
bool LoadFormatSettings(RegistryStore& store, CaptureFormat& format);

// The analog group of `deviceIndex` (subkey Gain_nn). Without the subkey: gains 0, Exposure 40,
// AutoIris 0, V_Mirror kept. The gains keep only their low byte, and a missing gain takes the
// value of the gain read before it. False only when `analog` is null.
bool LoadAnalogSettings(RegistryStore& store, int deviceIndex, AnalogSettings* analog);
// False when a key could not be created, a value could not be written, or `analog` is null.
bool SaveAnalogSettings(RegistryStore& store, int deviceIndex, const AnalogSettings* analog);

// The Filter group. Without the subkey: the defaults, and the white balance controls
// (BayerGainAuto, BayerGainOnce1, BayerGainOnce2) cleared; returns false then.
bool LoadFilterSettings(RegistryStore& store, ImageSettings* image);
bool SaveFilterSettings(RegistryStore& store, const ImageSettings* image);

// The Gray group. Without the subkey: gains 128, offsets 0; returns false then.
bool LoadGraySettings(RegistryStore& store, ImageSettings* image);
bool SaveGraySettings(RegistryStore& store, const ImageSettings* image);

// Reads the entries Size_00, Size_01, ... into `entries`, stopping at the first subkey that
// cannot be opened or after `maxEntries` (at most 100). A value missing from an entry leaves
// that word of `entries` as the caller set it. Returns the number of entries read; 0 also
// when the main key is missing.
int ReadSizeEntries(RegistryStore& store, SizeEntry* entries, int maxEntries);

// The whole size table and the five format values. False (table untouched) when the main key
// is missing.
bool ReadSizeTable(RegistryStore& store, SizeTable* table);
// Writes entries 0 .. count - 1 and the five format values; entries numbered at or beyond the
// count stay as they are. False when the main key could not be created, or an entry or value
// could not be written (the rest is still written).
bool WriteSizeTable(RegistryStore& store, const SizeTable* table);

}  // namespace orvex::settings
