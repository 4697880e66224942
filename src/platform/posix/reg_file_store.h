#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "platform/registry_key_tree.h"
#include "platform/registry_store.h"

namespace orvex::platform {

// HKEY_CURRENT_USER kept in one text file in the registry editor's format, so that the same
// file imports into a Windows registry:
//
//   Windows Registry Editor Version 5.00
//
//   [HKEY_CURRENT_USER\Software]
//
//   [HKEY_CURRENT_USER\Software\Helvane\OrvexQX218Sdk\Size_00]
//   "TH"=dword:00000528
//
// Written with CRLF line ends, as the registry editor writes them (LF is accepted too); keys
// in tree order, parents before children and siblings sorted without regard to case, each
// followed by a blank line; values in the order they were first written. Key and value names
// compare without regard to case. Values of other types (strings, hex) are kept as written;
// comments, deletion entries and keys outside HKEY_CURRENT_USER are dropped on the next write.
//
// A damaged file, line or value reads as missing, and the next write leaves the file clean.
// Every write re-reads the file and replaces it atomically (temporary file, fsync, rename)
// under an exclusive flock on "<file>.lock", so concurrent writers, in this process or
// another, lose nothing. A key opened for reading sees the file as it was when it was opened
// (and this store's own later writes). Thread-safe.
class RegFileStore final : public RegistryStore {
 public:
  // The current user's file, found from the environment now; see PathFor.
  RegFileStore();
  // A store on an explicit file; its directory is created on the first write.
  explicit RegFileStore(std::string filePath);

  // $XDG_CONFIG_HOME/Helvane/OrvexQX218Sdk.reg, or $HOME/.config/Helvane/OrvexQX218Sdk.reg
  // when XDG_CONFIG_HOME is unset, empty or not absolute. Empty when neither is usable.
  static std::string PathFor(const char* xdgConfigHome, const char* home);

  const std::string& path() const { return path_; }

  RegistryKey OpenKey(const std::string& path) override;
  RegistryKey CreateKey(const std::string& path) override;
  bool ReadDword(RegistryKey key, const std::string& name, std::int32_t* value) override;
  bool WriteDword(RegistryKey key, const std::string& name, std::int32_t value) override;
  void CloseKey(RegistryKey key) override;

 private:
  struct Handle {
    std::string path;  // as given to OpenKey or CreateKey
    bool writable = false;
    std::vector<std::pair<std::string, std::int32_t>> values;  // DWORD values as last seen
  };

  // After a write: every open handle sees the new values of its key (`model` is the file).
  void RefreshHandles(const RegistryKeyTree& model);

  std::string path_;
  std::mutex mutex_;
  std::map<RegistryKey, Handle> handles_;
  RegistryKey nextHandle_ = 1;
};

}  // namespace orvex::platform
