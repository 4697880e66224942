#include "platform/testing/memory_registry_store.h"

#include <algorithm>
#include <cctype>

namespace orvex::platform {
namespace {

bool SameName(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::toupper(static_cast<unsigned char>(x)) ==
                  std::toupper(static_cast<unsigned char>(y));
         });
}

// A usable key path: backslash-separated, no empty part.
bool ValidPath(const std::string& path) {
  if (path.empty() || path.front() == '\\' || path.back() == '\\') return false;
  return path.find("\\\\") == std::string::npos;
}

}  // namespace

std::string MemoryRegistryStore::Fold(const std::string& text) {
  std::string folded = text;
  // Separators sort before every name character, so parents come before their children.
  for (char& c : folded) {
    c = c == '\\' ? '\x01' : static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  return folded;
}

MemoryRegistryStore::Key* MemoryRegistryStore::Find(const std::string& folded) {
  const auto it = keys_.find(folded);
  return it == keys_.end() ? nullptr : &it->second;
}

const MemoryRegistryStore::Key* MemoryRegistryStore::Find(const std::string& folded) const {
  const auto it = keys_.find(folded);
  return it == keys_.end() ? nullptr : &it->second;
}

void MemoryRegistryStore::AddKeyLocked(const std::string& path) {
  for (std::size_t end = path.find('\\');; end = path.find('\\', end + 1)) {
    const std::string part = path.substr(0, end);
    keys_.try_emplace(Fold(part), Key{part, {}});
    if (end == std::string::npos) break;
  }
}

unsigned MemoryRegistryStore::FaultsLocked(const std::string& folded) const {
  const auto it = faults_.find(folded);
  return it == faults_.end() ? 0u : it->second;
}

RegistryKey MemoryRegistryStore::OpenKey(const std::string& path) {
  std::lock_guard lock(mutex_);
  const std::string folded = Fold(path);
  if (!ValidPath(path) || Find(folded) == nullptr || (FaultsLocked(folded) & kFailOpen)) return 0;
  const RegistryKey key = nextHandle_++;
  handles_[key] = Handle{folded, false};
  return key;
}

RegistryKey MemoryRegistryStore::CreateKey(const std::string& path) {
  std::lock_guard lock(mutex_);
  const std::string folded = Fold(path);
  if (!ValidPath(path) || (FaultsLocked(folded) & kFailCreate)) return 0;
  AddKeyLocked(path);
  const RegistryKey key = nextHandle_++;
  handles_[key] = Handle{folded, true};
  return key;
}

bool MemoryRegistryStore::ReadDword(RegistryKey key, const std::string& name, std::int32_t* value) {
  std::lock_guard lock(mutex_);
  const auto handle = handles_.find(key);
  if (handle == handles_.end() || value == nullptr) return false;
  const Key* stored = Find(handle->second.folded);
  if (stored == nullptr) return false;
  for (const auto& [storedName, storedValue] : stored->values) {
    if (SameName(storedName, name)) {
      *value = storedValue;
      return true;
    }
  }
  return false;
}

bool MemoryRegistryStore::WriteDword(RegistryKey key, const std::string& name, std::int32_t value) {
  std::lock_guard lock(mutex_);
  const auto handle = handles_.find(key);
  if (handle == handles_.end() || !handle->second.writable) return false;
  if (FaultsLocked(handle->second.folded) & kFailWrite) return false;
  Key* stored = Find(handle->second.folded);
  if (stored == nullptr) return false;  // deleted under the handle, as the registry reports
  for (auto& [storedName, storedValue] : stored->values) {
    if (SameName(storedName, name)) {
      storedValue = value;
      return true;
    }
  }
  stored->values.emplace_back(name, value);
  return true;
}

void MemoryRegistryStore::CloseKey(RegistryKey key) {
  std::lock_guard lock(mutex_);
  handles_.erase(key);
}

bool MemoryRegistryStore::HasKey(const std::string& path) const {
  std::lock_guard lock(mutex_);
  return Find(Fold(path)) != nullptr;
}

std::optional<std::int32_t> MemoryRegistryStore::Value(const std::string& path,
                                                       const std::string& name) const {
  std::lock_guard lock(mutex_);
  const Key* stored = Find(Fold(path));
  if (stored == nullptr) return std::nullopt;
  for (const auto& [storedName, storedValue] : stored->values) {
    if (SameName(storedName, name)) return storedValue;
  }
  return std::nullopt;
}

std::vector<std::string> MemoryRegistryStore::ValueNames(const std::string& path) const {
  std::lock_guard lock(mutex_);
  std::vector<std::string> names;
  if (const Key* stored = Find(Fold(path))) {
    for (const auto& entry : stored->values) names.push_back(entry.first);
  }
  return names;
}

std::vector<std::string> MemoryRegistryStore::Keys() const {
  std::lock_guard lock(mutex_);
  std::vector<std::string> paths;
  for (const auto& entry : keys_) paths.push_back(entry.second.path);
  return paths;
}

void MemoryRegistryStore::AddKey(const std::string& path) {
  std::lock_guard lock(mutex_);
  if (ValidPath(path)) AddKeyLocked(path);
}

void MemoryRegistryStore::SetValue(const std::string& path, const std::string& name,
                                   std::int32_t value) {
  std::lock_guard lock(mutex_);
  if (!ValidPath(path)) return;
  AddKeyLocked(path);
  Key* stored = Find(Fold(path));
  for (auto& [storedName, storedValue] : stored->values) {
    if (SameName(storedName, name)) {
      storedValue = value;
      return;
    }
  }
  stored->values.emplace_back(name, value);
}

void MemoryRegistryStore::RemoveValue(const std::string& path, const std::string& name) {
  std::lock_guard lock(mutex_);
  if (Key* stored = Find(Fold(path))) {
    std::erase_if(stored->values, [&](const auto& entry) { return SameName(entry.first, name); });
  }
}

void MemoryRegistryStore::RemoveKey(const std::string& path) {
  std::lock_guard lock(mutex_);
  const std::string folded = Fold(path);
  std::erase_if(keys_, [&](const auto& entry) {
    const std::string& other = entry.first;
    return other == folded ||
           (other.size() > folded.size() && other.compare(0, folded.size(), folded) == 0 &&
            other[folded.size()] == '\x01');
  });
}

void MemoryRegistryStore::SetFaults(const std::string& path, unsigned faults) {
  std::lock_guard lock(mutex_);
  faults_[Fold(path)] = faults;
}

int MemoryRegistryStore::OpenHandleCount() const {
  std::lock_guard lock(mutex_);
  return static_cast<int>(handles_.size());
}

}  // namespace orvex::platform
