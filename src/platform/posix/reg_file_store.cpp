#include "platform/posix/reg_file_store.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <optional>
#include <string_view>
#include <utility>

namespace orvex::platform {

namespace {

constexpr std::string_view kHeader = "Windows Registry Editor Version 5.00";
constexpr std::string_view kRootPrefix = "HKEY_CURRENT_USER\\";
constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kFileName = "Helvane/OrvexQX218Sdk.reg";

using RegKey = RegistryKeyTree::Key;

bool SameName(std::string_view a, std::string_view b) {
  return RegistryKeyTree::SameName(a, b);
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && SameName(text.substr(0, prefix.size()), prefix);
}

bool IsControl(char c) {
  const auto u = static_cast<unsigned char>(c);
  return (u < 0x20 && c != '\t') || u == 0x7f;
}

bool HasControl(std::string_view text) {
  for (char c : text) {
    if (IsControl(c)) return true;
  }
  return false;
}

// What the registry itself allows. A file can name a key far deeper in a short line, and every
// level is a parent key to hold and to write out.
constexpr std::size_t kMaxKeyDepth = 512;
constexpr std::size_t kMaxKeyNameLength = 255;  // UTF-16 units, as the registry counts them

// Names separated by single backslashes; a line break inside would break the file.
bool ValidKeyPath(std::string_view path) {
  if (!RegistryKeyTree::WellFormedPath(path) || HasControl(path)) return false;
  std::size_t depth = 1;
  std::size_t length = 0;
  for (char c : path) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '\\') {
      if (++depth > kMaxKeyDepth) return false;
      length = 0;
    } else if ((u & 0xC0) != 0x80) {  // UTF-8 continuation bytes add no unit
      length += u >= 0xF0 ? 2 : 1;
      if (length > kMaxKeyNameLength) return false;
    }
  }
  return true;
}

std::string_view Trim(std::string_view text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

// --- the size of the text as Format writes it ---

constexpr std::size_t kDwordBytes = 14;  // dword: and eight digits

std::size_t QuotedBytes(std::string_view text) {
  std::size_t bytes = text.size() + 2;
  for (char c : text) bytes += c == '\\' || c == '"';
  return bytes;
}

std::size_t KeyBytes(std::string_view path) {
  return kRootPrefix.size() + path.size() + 2 + 2 * kLineEnd.size();  // and a blank line
}

std::size_t ValueBytes(const RegistryValue& value) {
  const std::size_t name = value.name.empty() ? 1 : QuotedBytes(value.name);
  return name + 1 + (value.isDword ? kDwordBytes : value.data.size()) + kLineEnd.size();
}

// --- reading the text ---

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// A quoted name or string at the start of `text` with \\ and \" escapes; the length it takes,
// 0 when it is not closed.
std::size_t ParseQuoted(std::string_view text, std::string* out) {
  if (text.empty() || text[0] != '"') return 0;
  for (std::size_t i = 1; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '"') return i + 1;
    if (c == '\\' && i + 1 < text.size() && (text[i + 1] == '\\' || text[i + 1] == '"')) ++i;
    if (out != nullptr) out->push_back(text[i]);
  }
  return 0;
}

// hex:01,02 or hex(7):41,00,... (after continuation lines are joined).
bool ValidHexData(std::string_view data) {
  if (!StartsWithNoCase(data, "hex")) return false;
  data.remove_prefix(3);
  if (!data.empty() && data[0] == '(') {
    const auto close = data.find(')');
    if (close == std::string_view::npos || close == 1) return false;
    for (char c : data.substr(1, close - 1)) {
      if (HexDigit(c) < 0) return false;
    }
    data.remove_prefix(close + 1);
  }
  if (data.empty() || data[0] != ':') return false;
  data.remove_prefix(1);
  if (Trim(data).empty()) return true;
  while (true) {
    const auto comma = data.find(',');
    const std::string_view byte = Trim(data.substr(0, comma));
    if (byte.size() != 2 || HexDigit(byte[0]) < 0 || HexDigit(byte[1]) < 0) return false;
    if (comma == std::string_view::npos) return true;
    data.remove_prefix(comma + 1);
  }
}

// Splits `"name"=data` or `@=data`; false when the line is not a value line.
bool SplitValueLine(std::string_view line, std::string* name, std::string_view* data) {
  std::size_t used = 0;
  if (!line.empty() && line[0] == '@') {
    used = 1;
  } else {
    used = ParseQuoted(line, name);
    if (used == 0) return false;
  }
  const std::string_view rest = Trim(line.substr(used));
  if (rest.empty() || rest[0] != '=') return false;
  *data = Trim(rest.substr(1));
  return true;
}

// A DWORD is dword: and exactly eight hex digits; any other form of it is damage and reads as
// missing. Strings and hex values are kept as written; everything else is dropped. `written`
// follows the key's bytes in Format's text.
void ParseValueLine(std::string_view line, RegKey& key, std::size_t& written) {
  RegistryValue value;
  std::string_view data;
  if (!SplitValueLine(line, &value.name, &data)) return;
  if (StartsWithNoCase(data, "dword:")) {
    const std::string_view digits = data.substr(6);
    if (digits.size() != 8) return;
    std::uint32_t bits = 0;
    for (char c : digits) {
      const int digit = HexDigit(c);
      if (digit < 0) return;
      bits = (bits << 4) | static_cast<std::uint32_t>(digit);
    }
    value.isDword = true;
    value.dword = static_cast<std::int32_t>(bits);
  } else if (ParseQuoted(data, nullptr) == data.size() || ValidHexData(data)) {
    value.data = std::string(data);
  } else {
    return;
  }
  written += ValueBytes(value);
  if (const RegistryValue* replaced = key.Find(value.name)) written -= ValueBytes(*replaced);
  key.Set(std::move(value));
}

void AppendUtf8(std::string& out, std::uint32_t code) {
  if (code < 0x80) {
    out.push_back(static_cast<char>(code));
  } else if (code < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (code >> 6)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else if (code < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (code >> 12)));
    out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (code >> 18)));
    out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  }
}

// The registry editor exports UTF-16 with a byte order mark; we write ASCII.
std::string DecodeText(std::string_view bytes) {
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF") return std::string(bytes.substr(3));
  if (bytes.substr(0, 2) != "\xFF\xFE") return std::string(bytes);
  std::string text;
  const auto unit = [&](std::size_t i) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i]) |
                                      (static_cast<unsigned char>(bytes[i + 1]) << 8));
  };
  for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
    std::uint32_t code = unit(i);
    if (code >= 0xD800 && code < 0xDC00 && i + 3 < bytes.size() && unit(i + 2) >= 0xDC00 &&
        unit(i + 2) < 0xE000) {
      code = 0x10000 + ((code - 0xD800) << 10) + (unit(i + 2) - 0xDC00);
      i += 2;
    } else if (code >= 0xD800 && code < 0xE000) {
      code = 0xFFFD;
    }
    AppendUtf8(text, code);
  }
  return text;
}

// Null when Format would write the keys larger than a file the store writes: counted as they
// are read, since a short file can hold keys that would fill far more than that.
std::optional<RegistryKeyTree> Parse(std::string_view bytes) {
  const std::string text = DecodeText(bytes);
  RegistryKeyTree model;
  std::size_t written = kHeader.size() + 2 * kLineEnd.size();
  RegKey* current = nullptr;  // values outside a usable key are dropped
  bool firstLine = true;
  std::size_t pos = 0;
  const auto nextLine = [&]() {
    const std::size_t end = text.find('\n', pos);
    std::string_view line(text.data() + pos, (end == std::string::npos ? text.size() : end) - pos);
    pos = end == std::string::npos ? text.size() : end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    return line;
  };
  while (pos < text.size()) {
    const std::string_view raw = nextLine();
    if (HasControl(raw)) continue;  // binary junk
    const std::string_view line = Trim(raw);
    if (line.empty()) continue;
    if (std::exchange(firstLine, false) && (line == kHeader || line == "REGEDIT4")) continue;
    if (line[0] == '[') {
      current = nullptr;
      if (line.back() != ']') continue;
      const std::string_view inner = line.substr(1, line.size() - 2);
      if (!StartsWithNoCase(inner, kRootPrefix)) continue;
      const std::string_view path = inner.substr(kRootPrefix.size());
      if (!ValidKeyPath(path)) continue;
      current = model.Find(path);
      if (current != nullptr) continue;
      // The key and every missing parent, as importing a file would create them. Parents
      // always exist, so the missing ones are the deepest.
      for (std::string_view missing = path;;) {
        written += KeyBytes(missing);
        if (written > RegFileStore::kMaxFileSize) return std::nullopt;
        const auto slash = missing.rfind('\\');
        if (slash == std::string_view::npos) break;
        missing = missing.substr(0, slash);
        if (model.Find(missing) != nullptr) break;
      }
      current = &model.Add(path);
      continue;
    }
    if (current == nullptr) continue;
    // Long hex values run on over lines that end with a backslash.
    std::string logical(line);
    std::string name;
    std::string_view data;
    while (logical.back() == '\\' && SplitValueLine(logical, &name, &data) &&
           StartsWithNoCase(data, "hex") && pos < text.size()) {
      const std::string_view more = nextLine();
      if (HasControl(more)) break;
      logical.pop_back();
      logical += Trim(more);
      name.clear();
    }
    ParseValueLine(logical, *current, written);
    if (written > RegFileStore::kMaxFileSize) return std::nullopt;
  }
  return model;
}

// --- writing the text ---

void AppendQuoted(std::string& out, std::string_view text) {
  out.push_back('"');
  for (char c : text) {
    if (c == '\\' || c == '"') out.push_back('\\');
    out.push_back(c);
  }
  out.push_back('"');
}

std::string Format(const RegistryKeyTree& model) {
  std::string out(kHeader);
  out += kLineEnd;
  out += kLineEnd;
  for (const auto& entry : model.Keys()) {
    const RegKey& key = entry.second;
    out += '[';
    out += kRootPrefix;
    out += key.path;
    out += ']';
    out += kLineEnd;
    for (const RegistryValue& value : key.values) {
      if (value.name.empty()) {
        out += '@';
      } else {
        AppendQuoted(out, value.name);
      }
      out += '=';
      if (value.isDword) {
        char digits[16];
        std::snprintf(digits, sizeof digits, "dword:%08x", static_cast<std::uint32_t>(value.dword));
        out += digits;
      } else {
        out += value.data;
      }
      out += kLineEnd;
    }
    out += kLineEnd;
  }
  return out;
}

// --- the file ---

enum class ReadResult {
  kRead,
  kUnchanged,  // the file still has the identity given: not read
  kMissing,
  kDamaged,     // not a file, or no path to one: taken as empty and rewritten
  kTooLarge,    // more than the store reads or writes: taken as empty and left alone
  kUnreadable,  // a file that cannot be read (denied, an input error): taken as empty and left
                // alone, as replacing it would lose every setting it may hold
  kShortage,    // out of descriptors or memory: a later attempt may well read it
};

RegFileIdentity IdentityOf(const struct stat& info) {
  return RegFileIdentity{
      static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino),
      static_cast<std::int64_t>(info.st_size),
      static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec};
}

// The whole file into `bytes`, unless it still has the identity `known` (when given).
ReadResult ReadFile(const std::string& path, const RegFileIdentity* known, std::string* bytes,
                    RegFileIdentity* identity) {
  bytes->clear();
  // Non-blocking, so that a FIFO put in the file's place cannot hang the caller.
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    switch (errno) {
      case ENOENT:
        return ReadResult::kMissing;
      case EMFILE:
      case ENFILE:
      case ENOMEM:
        return ReadResult::kShortage;
      case EACCES:
      case EPERM:
      case EIO:
      case EOVERFLOW:
        return ReadResult::kUnreadable;
      default:  // a path that cannot name a file (a loop of links, say)
        return ReadResult::kDamaged;
    }
  }
  struct stat info {};
  ReadResult result = ReadResult::kRead;
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    result = ReadResult::kDamaged;
  } else if (known != nullptr && IdentityOf(info) == *known) {
    result = ReadResult::kUnchanged;
  } else {
    *identity = IdentityOf(info);
    char buffer[65536];
    while (true) {
      const ssize_t got = read(fd, buffer, sizeof buffer);
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) {
        result = ReadResult::kUnreadable;
        break;
      }
      if (bytes->size() + static_cast<std::size_t>(got) > RegFileStore::kMaxFileSize) {
        result = ReadResult::kTooLarge;
        break;
      }
      if (got == 0) break;
      try {
        bytes->append(buffer, static_cast<std::size_t>(got));
      } catch (const std::bad_alloc&) {
        result = ReadResult::kShortage;  // and the descriptor still closed below
        break;
      }
    }
  }
  close(fd);
  if (result != ReadResult::kRead) bytes->clear();
  return result;
}

bool WriteAll(int fd, std::string_view text) {
  while (!text.empty()) {
    const ssize_t put = write(fd, text.data(), text.size());
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    text.remove_prefix(static_cast<std::size_t>(put));
  }
  return true;
}

std::string DirectoryOf(const std::string& file) {
  const auto slash = file.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : file.substr(0, slash);
}

constexpr std::string_view kTemporarySuffix = ".new.";
constexpr std::size_t kTemporaryRandom = 6;  // the XXXXXX of mkostemp

// Written beside the file and renamed over it: a reader or a crash sees the old file or the
// new one, never part of one. False when the file was not replaced; `identity` is the new
// file's.
bool ReplaceFile(const std::string& path, std::string_view text, RegFileIdentity* identity) {
  std::string temporary = path + std::string(kTemporarySuffix) + std::string(kTemporaryRandom, 'X');
  const int fd = mkostemp(temporary.data(), O_CLOEXEC);
  if (fd < 0) return false;
  struct stat info {};
  bool done = true;
  if (stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode)) {
    // The owner too, which only root can give: a save under sudo with the user's HOME must not
    // leave the user a file they can neither read nor replace. Before the mode, which a change
    // of owner may clear bits of.
    [[maybe_unused]] const int owned = fchown(fd, info.st_uid, info.st_gid);
    done = fchmod(fd, info.st_mode & 07777) == 0;  // keep what a person chose
  }
  done = done && WriteAll(fd, text) && fsync(fd) == 0 && fstat(fd, &info) == 0;
  done = close(fd) == 0 && done;
  done = done && rename(temporary.c_str(), path.c_str()) == 0;
  if (!done) {
    unlink(temporary.c_str());
    return false;
  }
  *identity = IdentityOf(info);
  return true;
}

// The rename is durable only once the directory is on disk too.
bool SyncDirectory(const std::string& file) {
  const int fd = open(DirectoryOf(file).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  // EINVAL: a file system that has no directory sync, where the rename is all there is.
  const bool synced = fsync(fd) == 0 || errno == EINVAL;
  close(fd);
  return synced;
}

// Temporary files of writers killed between creating them and their rename. Called under the
// file lock, which every writer holds across that stretch, so none of them is in use.
void RemoveStaleTemporaryFiles(const std::string& file) {
  // Everything that allocates comes before the directory is open.
  const std::string prefix = file.substr(file.rfind('/') + 1) + std::string(kTemporarySuffix);
  DIR* directory = opendir(DirectoryOf(file).c_str());
  if (directory == nullptr) return;
  while (const dirent* entry = readdir(directory)) {
    const std::string_view name = entry->d_name;
    if (name.size() == prefix.size() + kTemporaryRandom && name.starts_with(prefix)) {
      unlinkat(dirfd(directory), entry->d_name, 0);
    }
  }
  closedir(directory);
}

bool MakeParentDirectories(const std::string& file) {
  const auto slash = file.rfind('/');
  if (slash == std::string::npos || slash == 0) return true;
  const std::string directory = file.substr(0, slash);
  for (std::size_t end = directory.find('/', 1);; end = directory.find('/', end + 1)) {
    const std::string part = directory.substr(0, end);
    struct stat info {};
    if (mkdir(part.c_str(), 0700) != 0 &&
        !(stat(part.c_str(), &info) == 0 && S_ISDIR(info.st_mode))) {
      return false;
    }
    if (end == std::string::npos) return true;
  }
}

// An exclusive flock on "<file>.lock", held while it lives. The lock file is never removed:
// removing it would let two writers hold locks on different files. Two descriptors of one
// process exclude each other as two processes do.
class FileLock {
 public:
  explicit FileLock(const std::string& file)
      : fd_(open((file + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600)) {
    while (fd_ >= 0 && flock(fd_, LOCK_EX) != 0) {
      if (errno != EINTR) {
        close(fd_);
        fd_ = -1;
      }
    }
  }
  ~FileLock() {
    if (fd_ >= 0) close(fd_);
  }
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

  bool held() const { return fd_ >= 0; }

 private:
  int fd_;
};

void SetDword(std::vector<std::pair<std::string, std::int32_t>>& values, const std::string& name,
              std::int32_t value) {
  for (auto& [storedName, storedValue] : values) {
    if (SameName(storedName, name)) {
      storedValue = value;
      return;
    }
  }
  values.emplace_back(name, value);
}

}  // namespace

namespace {

std::string HomeDirectory() {
  // A relative HOME would move the file with the working directory.
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] == '/') return home;
  passwd entry{};
  passwd* found = nullptr;
  char buffer[4096];
  if (getpwuid_r(getuid(), &entry, buffer, sizeof buffer, &found) == 0 && found != nullptr &&
      found->pw_dir != nullptr) {
    return found->pw_dir;
  }
  return {};
}

}  // namespace

RegFileStore::RegFileStore() : pathPending_(true) {
  // The process's store is made at its first use, which may be a release: nothing may leave it.
  try {
    PathLocked();
  } catch (const std::bad_alloc&) {
  }
}

RegFileStore::RegFileStore(std::string filePath) : path_(std::move(filePath)) {}

bool RegFileStore::PathLocked() {
  if (pathPending_) {
    path_ = PathFor(std::getenv("XDG_CONFIG_HOME"), HomeDirectory().c_str());
    pathPending_ = false;
  }
  return !path_.empty();
}

void RegFileStore::DropCacheLocked() {
  cache_ = RegistryKeyTree();
  cacheBytes_.clear();
  cacheValid_ = false;
}

template <typename Result, typename Operation>
Result RegFileStore::Locked(Result failed, bool changes, Operation operation) {
  std::lock_guard lock(mutex_);
  try {
    return operation();
  } catch (const std::bad_alloc&) {
    DropCacheLocked();
    if (changes) batches_.Refuse();
    return failed;
  }
}

std::string RegFileStore::PathFor(const char* xdgConfigHome, const char* home) {
  // Relative base directories are invalid and ignored, as the XDG base directory rules say.
  if (xdgConfigHome != nullptr && xdgConfigHome[0] == '/') {
    return std::string(xdgConfigHome) + "/" + std::string(kFileName);
  }
  if (home != nullptr && home[0] != '\0') {
    return std::string(home) + "/.config/" + std::string(kFileName);
  }
  return {};
}

RegFileStore::Load RegFileStore::LoadLocked(bool verify) {
  std::string bytes;
  RegFileIdentity identity;
  const RegFileIdentity* known = cacheValid_ && !verify ? &cacheIdentity_ : nullptr;
  ReadResult read = ReadFile(path_, known, &bytes, &identity);
  // A commit re-reads the file under the lock; unless another writer changed it, the keys of
  // the last read serve, and a large file is parsed once a process, not once a commit.
  if (read == ReadResult::kRead && (!cacheValid_ || bytes != cacheBytes_)) {
    std::optional<RegistryKeyTree> keys = Parse(bytes);
    if (keys) {
      cache_ = std::move(*keys);
      cacheBytes_ = std::move(bytes);
    } else {
      read = ReadResult::kTooLarge;  // what no commit could write back is as large
    }
  }
  switch (read) {
    case ReadResult::kUnchanged:
      return Load::kDone;
    case ReadResult::kShortage:
      return Load::kShortage;
    case ReadResult::kRead:
      cacheIdentity_ = identity;
      cacheValid_ = true;
      return Load::kDone;
    default:
      cache_ = RegistryKeyTree();
      cacheBytes_.clear();
      cacheValid_ = false;
      return read == ReadResult::kTooLarge || read == ReadResult::kUnreadable ? Load::kLeftAlone
                                                                              : Load::kDone;
  }
}

RegFileStore::Dwords RegFileStore::ValuesLocked(const std::string& path, std::thread::id thread) {
  Dwords values;
  if (const RegKey* stored = cache_.Find(path)) values = stored->Dwords();
  const RegistryKeyTree* pending = batches_.Pending(thread);
  if (const RegKey* changed = pending != nullptr ? pending->Find(path) : nullptr) {
    for (const auto& [name, value] : changed->Dwords()) SetDword(values, name, value);
  }
  return values;
}

bool RegFileStore::ApplyLocked(const std::function<void(RegistryKeyTree&)>& change) {
  if (batches_.Refused()) return false;
  if (RegistryKeyTree* pending = batches_.Pending()) {
    change(*pending);
    return true;
  }
  RegistryKeyTree changes;
  change(changes);
  return StoreLocked(changes);
}

bool RegFileStore::StoreLocked(const RegistryKeyTree& changes) {
  if (!PathLocked() || !MakeParentDirectories(path_)) return false;
  const FileLock lock(path_);
  if (!lock.held() || LoadLocked(true) != Load::kDone) return false;
  RemoveStaleTemporaryFiles(path_);
  if (!cache_.Merge(changes)) {
    // The file already held every change (another process stored the same values), but it was
    // read again just now: open keys take what it holds, as after a write that replaced it.
    RefreshHandlesLocked();
    return true;
  }
  std::string text = Format(cache_);
  // The reader's limit, counted as the file is written (CRLF): a file the next start could
  // not read would lose every setting in it.
  bool replaced = false;
  RegFileIdentity identity;
  if (text.size() <= kMaxFileSize) replaced = ReplaceFile(path_, text, &identity);
  if (!replaced) {
    // The merged keys are not the file's: it is read again next time.
    DropCacheLocked();
    return false;
  }
  cacheBytes_ = std::move(text);
  cacheIdentity_ = identity;
  cacheValid_ = true;
  RefreshHandlesLocked();
  return SyncDirectory(path_);
}

RegistryKey RegFileStore::OpenKey(const std::string& path) {
  if (!ValidKeyPath(path)) return 0;
  return Locked<RegistryKey>(0, false, [&]() -> RegistryKey {
    if (!PathLocked() || LoadLocked(false) == Load::kShortage) return 0;
    const RegistryKeyTree* pending = batches_.Pending();
    if (cache_.Find(path) == nullptr && (pending == nullptr || pending->Find(path) == nullptr)) {
      return 0;
    }
    const RegistryKey key = nextHandle_++;
    handles_[key] = Handle{path, false, ValuesLocked(path, std::this_thread::get_id()),
                           std::this_thread::get_id()};
    return key;
  });
}

RegistryKey RegFileStore::CreateKey(const std::string& path) {
  if (!ValidKeyPath(path)) return 0;
  return Locked<RegistryKey>(0, true, [&]() -> RegistryKey {
    if (!ApplyLocked([&](RegistryKeyTree& keys) { keys.Add(path); })) return 0;
    // In a batch the file has not been read for this key yet.
    if (batches_.Pending() != nullptr && PathLocked()) LoadLocked(false);
    const RegistryKey key = nextHandle_++;
    handles_[key] = Handle{path, true, ValuesLocked(path, std::this_thread::get_id()),
                           std::this_thread::get_id()};
    return key;
  });
}

bool RegFileStore::ReadDword(RegistryKey key, const std::string& name, std::int32_t* value) {
  if (value == nullptr) return false;
  std::lock_guard lock(mutex_);
  const auto handle = handles_.find(key);
  if (handle == handles_.end()) return false;
  for (const auto& [storedName, storedValue] : handle->second.values) {
    if (SameName(storedName, name)) {
      *value = storedValue;
      return true;
    }
  }
  return false;
}

bool RegFileStore::WriteDword(RegistryKey key, const std::string& name, std::int32_t value) {
  if (HasControl(name)) return false;  // could not be written as one line
  return Locked(false, true, [&] {
    const auto handle = handles_.find(key);
    if (handle == handles_.end() || !handle->second.writable) return false;
    const std::string path = handle->second.path;
    // A person may have removed the key meanwhile; the writer still holds it open.
    if (!ApplyLocked([&](RegistryKeyTree& keys) {
          keys.Add(path).Set(RegistryValue{name, true, value, {}});
        })) {
      return false;
    }
    if (batches_.Pending() != nullptr) SetDword(handle->second.values, name, value);
    return true;
  });
}

void RegFileStore::CloseKey(RegistryKey key) {
  std::lock_guard lock(mutex_);
  handles_.erase(key);
}

void RegFileStore::BeginBatch() {
  std::lock_guard lock(mutex_);
  batches_.Begin();
}

bool RegFileStore::CommitBatch() {
  return Locked(false, false, [&] {
    RegistryKeyTree changes;
    switch (batches_.End(&changes)) {
      case RegistryBatches::Ending::kInner:
        return true;
      case RegistryBatches::Ending::kRefused:
        return false;
      case RegistryBatches::Ending::kStore:
        break;
    }
    return changes.Keys().empty() || StoreLocked(changes);
  });
}

void RegFileStore::RefuseBatch() {
  std::lock_guard lock(mutex_);
  batches_.Refuse();
}

void RegFileStore::RefreshHandlesLocked() {
  for (auto& entry : handles_) {
    Handle& handle = entry.second;
    if (cache_.Find(handle.path) != nullptr)
      handle.values = ValuesLocked(handle.path, handle.owner);
  }
}

}  // namespace orvex::platform
