#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <utility>

namespace orvex::platform {

// An open key below HKEY_CURRENT_USER; 0 is no key.
using RegistryKey = std::uintptr_t;

// HKEY_CURRENT_USER as the settings store sees it: keys by path ("Software\\Helvane\\...",
// backslash-separated), REG_DWORD values of four bytes.
class RegistryStore {
 public:
  virtual ~RegistryStore() = default;

  // RegOpenKeyExA(HKEY_CURRENT_USER, path, KEY_READ); 0 when the key does not exist.
  virtual RegistryKey OpenKey(const std::string& path) = 0;
  // RegCreateKeyExA(HKEY_CURRENT_USER, path, "", non-volatile, KEY_ALL_ACCESS); 0 on failure.
  virtual RegistryKey CreateKey(const std::string& path) = 0;
  // RegQueryValueExA asking for four bytes; false when the value is missing or unreadable.
  virtual bool ReadDword(RegistryKey key, const std::string& name, std::int32_t* value) = 0;
  // RegSetValueExA with REG_DWORD; false when it failed.
  virtual bool WriteDword(RegistryKey key, const std::string& name, std::int32_t value) = 0;
  virtual void CloseKey(RegistryKey key) = 0;

  // A batch: the keys this thread creates and the values it writes between BeginBatch and the
  // matching CommitBatch reach the store as one change, all of them or none, and other threads
  // and processes see them only from the commit on (this thread sees them at once). Batches
  // nest; the outermost CommitBatch stores the change, and its result is false when the store
  // refused it (nothing of it is stored then); an inner one returns true. Outside a batch
  // every write is a batch of its own. A store whose every write is durable by itself, as the
  // Windows registry is, keeps these defaults and writes at once.
  virtual void BeginBatch() {}
  virtual bool CommitBatch() { return true; }
  // The calling thread's open batch, if any, lost a change (a save cut short, at any level of
  // it): none of it is stored, and its outermost CommitBatch returns false. A store that writes
  // at once has nothing to take back.
  virtual void RefuseBatch() {}
};

// A batch for the length of a scope: begun by the constructor, committed by Commit or at the
// latest by the destructor, so that no way out of a save leaves the batch open. A scope left by
// an exception refuses the batch first: its save is incomplete.
class RegistryBatch {
 public:
  explicit RegistryBatch(RegistryStore& store)
      : store_(&store), exceptions_(std::uncaught_exceptions()) {
    store.BeginBatch();
  }
  // Saves run from destructors (a context's release): a store that throws here, out of memory,
  // fails the save, not the process.
  ~RegistryBatch() {
    try {
      if (store_ != nullptr && std::uncaught_exceptions() > exceptions_) store_->RefuseBatch();
      Commit();
    } catch (...) {
    }
  }
  RegistryBatch(const RegistryBatch&) = delete;
  RegistryBatch& operator=(const RegistryBatch&) = delete;

  // The result of CommitBatch; true when already committed.
  bool Commit() {
    RegistryStore* store = std::exchange(store_, nullptr);
    return store == nullptr || store->CommitBatch();
  }

 private:
  RegistryStore* store_;
  const int exceptions_;
};

}  // namespace orvex::platform
