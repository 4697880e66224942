#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/registry_batches.h"
#include "platform/registry_key_tree.h"
#include "platform/registry_store.h"

namespace orvex::platform {

// HKEY_CURRENT_USER in memory, for unit tests. Key paths and value names compare without
// regard to case, as in the registry; creating a key creates its parents. Handles from
// OpenKey are read-only. Batches hold a thread's writes back until their commit, as the file
// store does, and the store counts the commits that changed something. Thread-safe.
class MemoryRegistryStore final : public RegistryStore {
 public:
  // Faults a test can attach to one key (exact path, any case).
  enum Fault : unsigned {
    kFailOpen = 1u,    // OpenKey returns 0 although the key exists
    kFailCreate = 2u,  // CreateKey returns 0
    kFailWrite = 4u,   // WriteDword through any handle of the key fails
  };

  RegistryKey OpenKey(const std::string& path) override;
  RegistryKey CreateKey(const std::string& path) override;
  bool ReadDword(RegistryKey key, const std::string& name, std::int32_t* value) override;
  bool WriteDword(RegistryKey key, const std::string& name, std::int32_t value) override;
  void CloseKey(RegistryKey key) override;
  void BeginBatch() override;
  bool CommitBatch() override;
  void RefuseBatch() override;

  // Inspection and seeding, paths below HKEY_CURRENT_USER.
  bool HasKey(const std::string& path) const;
  std::optional<std::int32_t> Value(const std::string& path, const std::string& name) const;
  // Value names of a key in the order they were first written.
  std::vector<std::string> ValueNames(const std::string& path) const;
  // Every key path as first spelt, parents before children.
  std::vector<std::string> Keys() const;
  void AddKey(const std::string& path);
  void SetValue(const std::string& path, const std::string& name, std::int32_t value);
  void RemoveValue(const std::string& path, const std::string& name);
  // Removes the key with its subkeys; handles still open on them then fail.
  void RemoveKey(const std::string& path);
  void SetFaults(const std::string& path, unsigned faults);
  // Handles opened or created and not yet closed.
  int OpenHandleCount() const;
  // Changes stored: each commit of a batch, or write outside one, that changed the tree.
  int CommitCount() const;

 private:
  struct Handle {
    std::string path;
    bool writable = false;
  };

  unsigned FaultsLocked(const std::string& path) const;
  // Where the calling thread's writes go: its batch's changes, or a batch of one write.
  void ApplyLocked(const std::function<void(RegistryKeyTree&)>& change);

  mutable std::mutex mutex_;
  RegistryKeyTree tree_;
  std::map<std::string, unsigned> faults_;  // by folded path
  std::map<RegistryKey, Handle> handles_;
  RegistryKey nextHandle_ = 1;
  RegistryBatches batches_;
  int commits_ = 0;
};

}  // namespace orvex::platform
