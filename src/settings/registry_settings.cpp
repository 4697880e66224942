#include "settings/registry_settings.h"

#include <algorithm>
#include <new>
#include <string>

namespace orvex::settings {
namespace {

using platform::RegistryBatch;
using platform::RegistryKey;

// Closes its key on every way out of an operation.
class ScopedKey {
 public:
  ScopedKey(RegistryStore& store, RegistryKey key) : store_(store), key_(key) {}
  ~ScopedKey() {
    if (key_ != 0) store_.CloseKey(key_);
  }
  ScopedKey(const ScopedKey&) = delete;
  ScopedKey& operator=(const ScopedKey&) = delete;

  explicit operator bool() const { return key_ != 0; }
  RegistryKey get() const { return key_; }

 private:
  RegistryStore& store_;
  RegistryKey key_;
};

ScopedKey Open(RegistryStore& store, const std::string& path) {
  return ScopedKey(store, store.OpenKey(path));
}

ScopedKey Create(RegistryStore& store, const std::string& path) {
  return ScopedKey(store, store.CreateKey(path));
}

// Reads one value into `target`; a missing value leaves it as it was.
template <typename Target>
void ReadInto(RegistryStore& store, const ScopedKey& key, const char* name, Target& target) {
  std::int32_t value = 0;
  if (store.ReadDword(key.get(), name, &value)) target = value;
}

// Writes `values` in order; every one is attempted, the result says whether all were written.
template <std::size_t N>
bool WriteAll(RegistryStore& store, const ScopedKey& key, const char* const (&names)[N],
              const std::int32_t (&values)[N]) {
  bool written = true;
  for (std::size_t i = 0; i < N; ++i) {
    written = store.WriteDword(key.get(), names[i], values[i]) && written;
  }
  return written;
}

// The registry order of each group mapped onto the fields that hold it.
Setting CaptureGeometry::*const kGeometryFields[] = {
    &CaptureGeometry::TH,  &CaptureGeometry::TV,  &CaptureGeometry::EH, &CaptureGeometry::EV,
    &CaptureGeometry::EHS, &CaptureGeometry::EVS, &CaptureGeometry::Buf};
std::int32_t SizeEntry::*const kEntryFields[] = {&SizeEntry::TH, &SizeEntry::TV,  &SizeEntry::EH,
                                                 &SizeEntry::EV, &SizeEntry::EHS, &SizeEntry::EVS,
                                                 &SizeEntry::Buf};
Setting CaptureFormat::*const kFormatFields[] = {&CaptureFormat::Color, &CaptureFormat::SubSample,
                                                 &CaptureFormat::WaitTime, &CaptureFormat::Clock};
std::int32_t SizeTable::*const kTableFormatFields[] = {&SizeTable::Color, &SizeTable::SubSample,
                                                       &SizeTable::WaitTime, &SizeTable::Clock};
Setting AnalogSettings::*const kAnalogGainFields[] = {
    &AnalogSettings::Global, &AnalogSettings::ColorG1, &AnalogSettings::ColorR,
    &AnalogSettings::ColorB, &AnalogSettings::ColorG2};
Setting AnalogSettings::*const kAnalogOtherFields[] = {
    &AnalogSettings::Exposure, &AnalogSettings::V_Mirror, &AnalogSettings::AutoIris};
Setting ImageSettings::*const kFilterFields[] = {
    &ImageSettings::Brightness, &ImageSettings::Contrast,  &ImageSettings::Hue,
    &ImageSettings::Saturation, &ImageSettings::Sharpness, &ImageSettings::R_Gain,
    &ImageSettings::G_Gain,     &ImageSettings::B_Gain,    &ImageSettings::Gamma,
    &ImageSettings::BayerMode};
Setting ImageSettings::*const kGrayFields[] = {&ImageSettings::GainR1,   &ImageSettings::GainG1,
                                               &ImageSettings::GainG2,   &ImageSettings::GainB1,
                                               &ImageSettings::OffsetR1, &ImageSettings::OffsetG1,
                                               &ImageSettings::OffsetG2, &ImageSettings::OffsetB1};

static_assert(std::size(kGeometryFields) == std::size(kSizeEntryValues));
static_assert(std::size(kEntryFields) == std::size(kSizeEntryValues));
static_assert(std::size(kFormatFields) == std::size(kFormatValues));
static_assert(std::size(kTableFormatFields) == std::size(kFormatValues));
static_assert(std::size(kAnalogGainFields) == std::size(kAnalogGainValues));
static_assert(std::size(kAnalogOtherFields) == std::size(kAnalogOtherValues));
static_assert(std::size(kFilterFields) == std::size(kFilterValues));
static_assert(std::size(kGrayFields) == std::size(kGrayValues));

template <typename Record, typename Field, std::size_t N>
void ReadGroup(RegistryStore& store, const ScopedKey& key, const char* const (&names)[N],
               Field Record::*const (&fields)[N], Record& record) {
  for (std::size_t i = 0; i < N; ++i) ReadInto(store, key, names[i], record.*fields[i]);
}

template <typename Record, typename Field, std::size_t N>
bool WriteGroup(RegistryStore& store, const ScopedKey& key, const char* const (&names)[N],
                Field Record::*const (&fields)[N], const Record& record) {
  std::int32_t values[N];
  for (std::size_t i = 0; i < N; ++i) values[i] = record.*fields[i];
  return WriteAll(store, key, names, values);
}

// The entries below an open main key.
int ReadEntries(RegistryStore& store, SizeEntry* entries, int maxEntries) {
  const int limit = std::clamp(maxEntries, 0, kMaxSizeEntries);
  int count = 0;
  for (; count < limit; ++count) {
    const ScopedKey entry = Open(store, NumberedSubkeyPath(kSizeKeyFormat, count));
    if (!entry) break;
    ReadGroup(store, entry, kSizeEntryValues, kEntryFields, entries[count]);
  }
  return count;
}

// Creates the main key and `subkey` below it, then writes the group.
template <typename Record, std::size_t N>
bool SaveGroup(RegistryStore& store, const std::string& subkey, const char* const (&names)[N],
               Setting Record::*const (&fields)[N], const Record& record) {
  RegistryBatch batch(store);
  const ScopedKey main = Create(store, kMainKey);
  if (!main) return false;
  const ScopedKey key = Create(store, subkey);
  if (!key) return false;
  const bool written = WriteGroup(store, key, names, fields, record);
  return batch.Commit() && written;
}

}  // namespace

// The context saves from its destructor and loads during its start-up, where nothing may be
// thrown: out of memory, each operation below fails as one the store refused, and a save cut
// short refuses the batch it belongs to (a release stores all of its groups or none).

bool LoadSizeSettings(RegistryStore& store, CaptureGeometry& geometry) try {
  {
    const ScopedKey main = Open(store, kMainKey);
    if (main) {
      std::int32_t size = 0;
      if (!store.ReadDword(main.get(), kSizeValue, &size)) return false;
      const ScopedKey entry = Open(store, NumberedSubkeyPath(kSizeKeyFormat, size));
      if (!entry) return false;
      ReadGroup(store, entry, kSizeEntryValues, kGeometryFields, geometry);
      return true;
    }
  }

  // First run: store the defaults, which the constructor has already put into `geometry`,
  // in one commit, so that "Size" never exists without the entry it names.
  const RegistryBatch batch(store);
  const ScopedKey main = Create(store, kMainKey);
  if (!main) return false;
  const ScopedKey entry = Create(store, NumberedSubkeyPath(kSizeKeyFormat, 0));
  if (!entry) return false;
  WriteAll(store, entry, kSizeEntryValues, {1320, 1024, 1280, 1024, 39, 0, 20});
  store.WriteDword(main.get(), kSizeValue, 0);
  WriteAll(store, main, kFormatValues, {2, 0, 10, 0});
  return false;
} catch (const std::bad_alloc&) {
  store.RefuseBatch();
  return false;
}

bool LoadFormatSettings(RegistryStore& store, CaptureFormat& format) try {
  const ScopedKey main = Open(store, kMainKey);
  if (!main) return false;
  ReadGroup(store, main, kFormatValues, kFormatFields, format);
  return true;
} catch (const std::bad_alloc&) {
  return false;
}

bool LoadAnalogSettings(RegistryStore& store, int deviceIndex, AnalogSettings* analog) try {
  if (analog == nullptr) return false;
  const ScopedKey main = Open(store, kMainKey);
  const ScopedKey key =
      main ? Open(store, NumberedSubkeyPath(kGainKeyFormat, deviceIndex)) : ScopedKey(store, 0);
  if (!key) {
    for (auto field : kAnalogGainFields) analog->*field = 0;
    analog->Exposure = 40;
    analog->AutoIris = 0;
    return true;
  }
  // One scratch value carries from gain to gain: a missing gain repeats the one before it.
  std::int32_t scratch = 0;
  for (std::size_t i = 0; i < std::size(kAnalogGainFields); ++i) {
    ReadInto(store, key, kAnalogGainValues[i], scratch);
    analog->*kAnalogGainFields[i] = scratch & 0xFF;
  }
  ReadGroup(store, key, kAnalogOtherValues, kAnalogOtherFields, *analog);
  return true;
} catch (const std::bad_alloc&) {
  return false;
}

bool SaveAnalogSettings(RegistryStore& store, int deviceIndex, const AnalogSettings* analog) try {
  if (analog == nullptr) return false;
  RegistryBatch batch(store);
  const ScopedKey main = Create(store, kMainKey);
  if (!main) return false;
  const ScopedKey key = Create(store, NumberedSubkeyPath(kGainKeyFormat, deviceIndex));
  if (!key) return false;
  const bool gains = WriteGroup(store, key, kAnalogGainValues, kAnalogGainFields, *analog);
  const bool others = WriteGroup(store, key, kAnalogOtherValues, kAnalogOtherFields, *analog);
  return batch.Commit() && gains && others;
} catch (const std::bad_alloc&) {
  store.RefuseBatch();
  return false;
}

bool LoadFilterSettings(RegistryStore& store, ImageSettings* image) try {
  if (image == nullptr) return false;
  const ScopedKey main = Open(store, kMainKey);
  const ScopedKey key = main ? Open(store, SubkeyPath(kFilterKey)) : ScopedKey(store, 0);
  if (!key) {
    const std::int32_t defaults[] = {0, 0, 0, 0, 0, 100, 100, 100, 100, 3};
    for (std::size_t i = 0; i < std::size(kFilterFields); ++i)
      image->*kFilterFields[i] = defaults[i];
    image->BayerGainAuto = 0;
    image->BayerGainOnce1 = 0;
    image->BayerGainOnce2 = 0;
    return false;
  }
  ReadGroup(store, key, kFilterValues, kFilterFields, *image);
  return true;
} catch (const std::bad_alloc&) {
  return false;
}

bool SaveFilterSettings(RegistryStore& store, const ImageSettings* image) try {
  if (image == nullptr) return false;
  return SaveGroup(store, SubkeyPath(kFilterKey), kFilterValues, kFilterFields, *image);
} catch (const std::bad_alloc&) {
  store.RefuseBatch();
  return false;
}

bool LoadGraySettings(RegistryStore& store, ImageSettings* image) try {
  if (image == nullptr) return false;
  const ScopedKey main = Open(store, kMainKey);
  const ScopedKey key = main ? Open(store, SubkeyPath(kGrayKey)) : ScopedKey(store, 0);
  if (!key) {
    const std::int32_t defaults[] = {128, 128, 128, 128, 0, 0, 0, 0};
    for (std::size_t i = 0; i < std::size(kGrayFields); ++i) image->*kGrayFields[i] = defaults[i];
    return false;
  }
  ReadGroup(store, key, kGrayValues, kGrayFields, *image);
  return true;
} catch (const std::bad_alloc&) {
  return false;
}

bool SaveGraySettings(RegistryStore& store, const ImageSettings* image) try {
  if (image == nullptr) return false;
  return SaveGroup(store, SubkeyPath(kGrayKey), kGrayValues, kGrayFields, *image);
} catch (const std::bad_alloc&) {
  store.RefuseBatch();
  return false;
}

int ReadSizeEntries(RegistryStore& store, SizeEntry* entries, int maxEntries) try {
  if (entries == nullptr) return 0;
  const ScopedKey main = Open(store, kMainKey);
  if (!main) return 0;
  return ReadEntries(store, entries, maxEntries);
} catch (const std::bad_alloc&) {
  return 0;
}

bool ReadSizeTable(RegistryStore& store, SizeTable* table) try {
  if (table == nullptr) return false;
  const ScopedKey main = Open(store, kMainKey);
  if (!main) return false;
  table->count = ReadEntries(store, table->entries.data(), kMaxSizeEntries);
  ReadInto(store, main, kSizeValue, table->Size);
  ReadGroup(store, main, kFormatValues, kTableFormatFields, *table);
  return true;
} catch (const std::bad_alloc&) {
  return false;
}

bool WriteSizeTable(RegistryStore& store, const SizeTable* table) try {
  if (table == nullptr) return false;
  // One confirmation of the dialog, one commit: the table and the format it selects.
  RegistryBatch batch(store);
  const ScopedKey main = Create(store, kMainKey);
  if (!main) return false;
  bool written = true;
  const int count = std::clamp(table->count, 0, kMaxSizeEntries);
  for (int nn = 0; nn < count; ++nn) {
    const ScopedKey entry = Create(store, NumberedSubkeyPath(kSizeKeyFormat, nn));
    if (!entry) {
      written = false;
      break;
    }
    written =
        WriteGroup(store, entry, kSizeEntryValues, kEntryFields, table->entries[nn]) && written;
  }
  written = store.WriteDword(main.get(), kSizeValue, table->Size) && written;
  written = WriteGroup(store, main, kFormatValues, kTableFormatFields, *table) && written;
  return batch.Commit() && written;
} catch (const std::bad_alloc&) {
  store.RefuseBatch();
  return false;
}

}  // namespace orvex::settings
