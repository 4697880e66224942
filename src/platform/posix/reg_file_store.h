#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/registry_batches.h"
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
// A damaged file, line or value reads as missing, and the next commit that changes a value
// leaves the file clean. A key deeper than 512 levels or with a name longer than 255 characters,
// which the registry refuses, is damage.
// A file larger than kMaxFileSize reads as missing too, and is left alone, as does one the store
// would write larger (its line ends and the parent keys it leaves out count): the store never
// writes one (a change that would make the file larger fails), so such a file is someone
// else's, and replacing it would lose what it holds.
//
// Every commit of a batch (see RegistryStore), and every write outside one, takes an exclusive
// flock on "<file>.lock", re-reads the file, applies the batch and replaces the file by a
// temporary one ("<file>.new.XXXXXX": written, fsynced, renamed over the file, directory
// fsynced), so concurrent writers, in this process or another, lose nothing, and a crash or a
// kill at any moment leaves the file of the commit before or the one after. Temporary files of
// a writer killed before its rename are removed by the next commit. A commit that changes no
// value writes nothing. A key opened for reading sees the file as it was when it was opened
// (and this store's own later commits). Thread-safe; batches are per thread.
//
// Out of memory, an operation fails as one the file refused: the keys read last are dropped
// (the next operation reads the file again, so keys changed halfway are never kept), and a
// batch that loses a change stores nothing of it (see RegistryBatches).
// Which file a store has read: its inode, size and modification time.
struct RegFileIdentity {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::int64_t size = -1;
  std::int64_t modified = 0;  // nanoseconds
  bool operator==(const RegFileIdentity&) const = default;
};

class RegFileStore final : public RegistryStore {
 public:
  // The current user's file, found from the environment now; see PathFor. The home is HOME when
  // it is absolute, else the user's entry in the password file. Without memory for that now,
  // the first operation that needs the file looks for it again.
  RegFileStore();
  // A store on an explicit file; its directory is created on the first write.
  explicit RegFileStore(std::string filePath);

  // The largest file the store reads and writes. A settings file is a few kilobytes; the
  // limit bounds what a start-up reads and what each commit rewrites.
  static constexpr std::size_t kMaxFileSize = std::size_t{4} << 20;

  // $XDG_CONFIG_HOME/Helvane/OrvexQX218Sdk.reg, or $HOME/.config/Helvane/OrvexQX218Sdk.reg
  // when XDG_CONFIG_HOME is unset, empty or not absolute. Empty when neither is usable.
  static std::string PathFor(const char* xdgConfigHome, const char* home);

  // Empty while the file is not known yet (see the constructor).
  const std::string& path() const { return path_; }

  RegistryKey OpenKey(const std::string& path) override;
  RegistryKey CreateKey(const std::string& path) override;
  bool ReadDword(RegistryKey key, const std::string& name, std::int32_t* value) override;
  bool WriteDword(RegistryKey key, const std::string& name, std::int32_t value) override;
  void CloseKey(RegistryKey key) override;
  void BeginBatch() override;
  bool CommitBatch() override;
  void RefuseBatch() override;

 private:
  using Dwords = std::vector<std::pair<std::string, std::int32_t>>;
  struct Handle {
    std::string path;  // as given to OpenKey or CreateKey
    bool writable = false;
    Dwords values;          // DWORD values as last seen
    std::thread::id owner;  // the thread that opened it, whose batch it sees
  };

  // Runs `operation` under the lock; out of memory, it gives `failed` instead, with the cache
  // dropped and, for an operation that `changes` the store, the thread's batch refused.
  template <typename Result, typename Operation>
  Result Locked(Result failed, bool changes, Operation operation);
  // The file's path, looked for first when the constructor could not; true when there is one.
  bool PathLocked();
  void DropCacheLocked();

  // kLeftAlone: a file too large or unreadable, which no commit may replace.
  enum class Load { kDone, kLeftAlone, kShortage };
  // Brings the cache up to the file (no keys for a missing, damaged, too large or unreadable
  // file).
  // `verify` compares the content itself rather than the file's identity.
  Load LoadLocked(bool verify);
  // The DWORD values of `path` as `thread` sees them: the file, then its open batch.
  Dwords ValuesLocked(const std::string& path, std::thread::id thread);
  // Records a change in the thread's batch, or stores it at once outside one.
  bool ApplyLocked(const std::function<void(RegistryKeyTree&)>& change);
  // The commit: under the file lock, re-read, merge `changes`, replace the file.
  bool StoreLocked(const RegistryKeyTree& changes);
  // After a commit: every open handle sees the new values of its key.
  void RefreshHandlesLocked();

  std::string path_;
  bool pathPending_ = false;  // path_ is still to be found from the environment
  std::mutex mutex_;
  std::map<RegistryKey, Handle> handles_;
  RegistryKey nextHandle_ = 1;
  RegistryBatches batches_;
  // The file as last read or written: its bytes, their keys, and the identity they had.
  bool cacheValid_ = false;
  std::string cacheBytes_;
  RegistryKeyTree cache_;
  RegFileIdentity cacheIdentity_;
};

}  // namespace orvex::platform
