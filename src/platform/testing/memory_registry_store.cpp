#include "platform/testing/memory_registry_store.h"

namespace orvex::platform {

unsigned MemoryRegistryStore::FaultsLocked(const std::string& path) const {
  const auto it = faults_.find(RegistryKeyTree::Fold(path));
  return it == faults_.end() ? 0u : it->second;
}

RegistryKey MemoryRegistryStore::OpenKey(const std::string& path) {
  std::lock_guard lock(mutex_);
  if (!RegistryKeyTree::WellFormedPath(path) || tree_.Find(path) == nullptr ||
      (FaultsLocked(path) & kFailOpen)) {
    return 0;
  }
  const RegistryKey key = nextHandle_++;
  handles_[key] = Handle{path, false};
  return key;
}

RegistryKey MemoryRegistryStore::CreateKey(const std::string& path) {
  std::lock_guard lock(mutex_);
  if (!RegistryKeyTree::WellFormedPath(path) || (FaultsLocked(path) & kFailCreate)) return 0;
  tree_.Add(path);
  const RegistryKey key = nextHandle_++;
  handles_[key] = Handle{path, true};
  return key;
}

bool MemoryRegistryStore::ReadDword(RegistryKey key, const std::string& name, std::int32_t* value) {
  std::lock_guard lock(mutex_);
  const auto handle = handles_.find(key);
  if (handle == handles_.end() || value == nullptr) return false;
  const RegistryKeyTree::Key* stored = tree_.Find(handle->second.path);
  const RegistryValue* found = stored != nullptr ? stored->Find(name) : nullptr;
  if (found == nullptr || !found->isDword) return false;
  *value = found->dword;
  return true;
}

bool MemoryRegistryStore::WriteDword(RegistryKey key, const std::string& name, std::int32_t value) {
  std::lock_guard lock(mutex_);
  const auto handle = handles_.find(key);
  if (handle == handles_.end() || !handle->second.writable) return false;
  if (FaultsLocked(handle->second.path) & kFailWrite) return false;
  RegistryKeyTree::Key* stored = tree_.Find(handle->second.path);
  if (stored == nullptr) return false;  // deleted under the handle, as the registry reports
  stored->Set(RegistryValue{name, true, value, {}});
  return true;
}

void MemoryRegistryStore::CloseKey(RegistryKey key) {
  std::lock_guard lock(mutex_);
  handles_.erase(key);
}

bool MemoryRegistryStore::HasKey(const std::string& path) const {
  std::lock_guard lock(mutex_);
  return tree_.Find(path) != nullptr;
}

std::optional<std::int32_t> MemoryRegistryStore::Value(const std::string& path,
                                                       const std::string& name) const {
  std::lock_guard lock(mutex_);
  const RegistryKeyTree::Key* stored = tree_.Find(path);
  const RegistryValue* found = stored != nullptr ? stored->Find(name) : nullptr;
  if (found == nullptr) return std::nullopt;
  return found->dword;
}

std::vector<std::string> MemoryRegistryStore::ValueNames(const std::string& path) const {
  std::lock_guard lock(mutex_);
  std::vector<std::string> names;
  if (const RegistryKeyTree::Key* stored = tree_.Find(path)) {
    for (const RegistryValue& value : stored->values) names.push_back(value.name);
  }
  return names;
}

std::vector<std::string> MemoryRegistryStore::Keys() const {
  std::lock_guard lock(mutex_);
  std::vector<std::string> paths;
  for (const auto& entry : tree_.Keys()) paths.push_back(entry.second.path);
  return paths;
}

void MemoryRegistryStore::AddKey(const std::string& path) {
  std::lock_guard lock(mutex_);
  if (RegistryKeyTree::WellFormedPath(path)) tree_.Add(path);
}

void MemoryRegistryStore::SetValue(const std::string& path, const std::string& name,
                                   std::int32_t value) {
  std::lock_guard lock(mutex_);
  if (!RegistryKeyTree::WellFormedPath(path)) return;
  tree_.Add(path).Set(RegistryValue{name, true, value, {}});
}

void MemoryRegistryStore::RemoveValue(const std::string& path, const std::string& name) {
  std::lock_guard lock(mutex_);
  if (RegistryKeyTree::Key* stored = tree_.Find(path)) stored->Remove(name);
}

void MemoryRegistryStore::RemoveKey(const std::string& path) {
  std::lock_guard lock(mutex_);
  tree_.Remove(path);
}

void MemoryRegistryStore::SetFaults(const std::string& path, unsigned faults) {
  std::lock_guard lock(mutex_);
  faults_[RegistryKeyTree::Fold(path)] = faults;
}

int MemoryRegistryStore::OpenHandleCount() const {
  std::lock_guard lock(mutex_);
  return static_cast<int>(handles_.size());
}

}  // namespace orvex::platform
