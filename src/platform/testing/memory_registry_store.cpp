#include "platform/testing/memory_registry_store.h"

namespace orvex::platform {

unsigned MemoryRegistryStore::FaultsLocked(const std::string& path) const {
  const auto it = faults_.find(RegistryKeyTree::Fold(path));
  return it == faults_.end() ? 0u : it->second;
}

void MemoryRegistryStore::ApplyLocked(const std::function<void(RegistryKeyTree&)>& change) {
  if (RegistryKeyTree* pending = batches_.Pending()) {
    change(*pending);
    return;
  }
  RegistryKeyTree changes;
  change(changes);
  commits_ += tree_.Merge(changes) ? 1 : 0;
}

RegistryKey MemoryRegistryStore::OpenKey(const std::string& path) {
  std::lock_guard lock(mutex_);
  const RegistryKeyTree* pending = batches_.Pending();
  const bool exists =
      tree_.Find(path) != nullptr || (pending != nullptr && pending->Find(path) != nullptr);
  if (!RegistryKeyTree::WellFormedPath(path) || !exists || (FaultsLocked(path) & kFailOpen)) {
    return 0;
  }
  const RegistryKey key = nextHandle_++;
  handles_[key] = Handle{path, false};
  return key;
}

RegistryKey MemoryRegistryStore::CreateKey(const std::string& path) {
  std::lock_guard lock(mutex_);
  if (!RegistryKeyTree::WellFormedPath(path) || (FaultsLocked(path) & kFailCreate)) return 0;
  ApplyLocked([&](RegistryKeyTree& changes) { changes.Add(path); });
  const RegistryKey key = nextHandle_++;
  handles_[key] = Handle{path, true};
  return key;
}

bool MemoryRegistryStore::ReadDword(RegistryKey key, const std::string& name, std::int32_t* value) {
  std::lock_guard lock(mutex_);
  const auto handle = handles_.find(key);
  if (handle == handles_.end() || value == nullptr) return false;
  // This thread's writes not yet committed come first.
  const RegistryValue* found = nullptr;
  if (const RegistryKeyTree* pending = batches_.Pending()) {
    const RegistryKeyTree::Key* key = pending->Find(handle->second.path);
    found = key != nullptr ? key->Find(name) : nullptr;
  }
  if (found == nullptr) {
    const RegistryKeyTree::Key* stored = tree_.Find(handle->second.path);
    found = stored != nullptr ? stored->Find(name) : nullptr;
  }
  if (found == nullptr || !found->isDword) return false;
  *value = found->dword;
  return true;
}

bool MemoryRegistryStore::WriteDword(RegistryKey key, const std::string& name, std::int32_t value) {
  std::lock_guard lock(mutex_);
  const auto handle = handles_.find(key);
  if (handle == handles_.end() || !handle->second.writable) return false;
  if (FaultsLocked(handle->second.path) & kFailWrite) return false;
  const std::string& path = handle->second.path;
  const RegistryKeyTree* pending = batches_.Pending();
  if (tree_.Find(path) == nullptr && (pending == nullptr || pending->Find(path) == nullptr)) {
    return false;  // deleted under the handle, as the registry reports
  }
  ApplyLocked([&](RegistryKeyTree& changes) {
    changes.Add(path).Set(RegistryValue{name, true, value, {}});
  });
  return true;
}

void MemoryRegistryStore::BeginBatch() {
  std::lock_guard lock(mutex_);
  batches_.Begin();
}

bool MemoryRegistryStore::CommitBatch() {
  std::lock_guard lock(mutex_);
  RegistryKeyTree changes;
  const RegistryBatches::Ending ending = batches_.End(&changes);
  if (ending == RegistryBatches::Ending::kStore) commits_ += tree_.Merge(changes) ? 1 : 0;
  return ending != RegistryBatches::Ending::kRefused;
}

void MemoryRegistryStore::RefuseBatch() {
  std::lock_guard lock(mutex_);
  batches_.Refuse();
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

int MemoryRegistryStore::CommitCount() const {
  std::lock_guard lock(mutex_);
  return commits_;
}

}  // namespace orvex::platform
