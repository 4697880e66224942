#include "platform/posix/reg_file_store.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <unordered_map>
#include <utility>

namespace orvex::platform {

namespace {

constexpr std::string_view kHeader = "Windows Registry Editor Version 5.00";
constexpr std::string_view kRootPrefix = "HKEY_CURRENT_USER\\";
constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kFileName = "Helvane/OrvexQX218Sdk.reg";
// Far beyond any settings file: anything larger is junk, not settings.
constexpr std::size_t kMaxFileSize = std::size_t{4} << 20;

struct RegValue {
  std::string name;  // empty for the key's default value, written as @
  bool isDword = false;
  std::int32_t dword = 0;
  std::string data;  // the text after '=' of a value of another type, kept as written
};

struct RegKey {
  std::string path;  // below HKEY_CURRENT_USER, as first spelt
  std::vector<RegValue> values;
  std::unordered_map<std::string, std::size_t> positions;  // by folded value name
};

}  // namespace

// Keys by folded path: upper case, as the registry compares and sorts names, with the separator
// below every name character so that each key's subkeys follow it directly.
struct RegFileStore::Model {
  std::map<std::string, RegKey> keys;
};

namespace {

using KeyMap = std::map<std::string, RegKey>;

char FoldChar(char c) {
  if (c == '\\') return '\x01';
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

std::string Fold(std::string_view text) {
  std::string folded(text);
  for (char& c : folded) c = FoldChar(c);
  return folded;
}

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (FoldChar(a[i]) != FoldChar(b[i])) return false;
  }
  return true;
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

// Names separated by single backslashes; a line break inside would break the file.
bool ValidKeyPath(std::string_view path) {
  if (path.empty() || path.front() == '\\' || path.back() == '\\') return false;
  return path.find("\\\\") == std::string_view::npos && !HasControl(path);
}

std::string_view Trim(std::string_view text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

// The key and every parent, as importing a file would create them.
RegKey& AddKey(KeyMap& model, std::string_view path) {
  for (std::size_t end = path.find('\\');; end = path.find('\\', end + 1)) {
    const std::string_view part = path.substr(0, end);
    auto [it, added] = model.try_emplace(Fold(part));
    if (added) it->second.path = std::string(part);
    if (end == std::string_view::npos) return it->second;
  }
}

void SetValue(RegKey& key, RegValue value) {
  const auto [position, added] = key.positions.try_emplace(Fold(value.name), key.values.size());
  if (added) {
    key.values.push_back(std::move(value));
    return;
  }
  RegValue& stored = key.values[position->second];
  value.name = std::move(stored.name);  // keeps the first spelling and position
  stored = std::move(value);
}

std::vector<std::pair<std::string, std::int32_t>> DwordsOf(const RegKey& key) {
  std::vector<std::pair<std::string, std::int32_t>> dwords;
  for (const RegValue& value : key.values) {
    if (value.isDword) dwords.emplace_back(value.name, value.dword);
  }
  return dwords;
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
// missing. Strings and hex values are kept as written; everything else is dropped.
void ParseValueLine(std::string_view line, RegKey& key) {
  RegValue value;
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
  SetValue(key, std::move(value));
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

KeyMap Parse(std::string_view bytes) {
  const std::string text = DecodeText(bytes);
  KeyMap model;
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
      if (StartsWithNoCase(inner, kRootPrefix) && ValidKeyPath(inner.substr(kRootPrefix.size()))) {
        current = &AddKey(model, inner.substr(kRootPrefix.size()));
      }
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
    ParseValueLine(logical, *current);
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

std::string Format(const KeyMap& model) {
  std::string out(kHeader);
  out += kLineEnd;
  out += kLineEnd;
  for (const auto& entry : model) {
    const RegKey& key = entry.second;
    out += '[';
    out += kRootPrefix;
    out += key.path;
    out += ']';
    out += kLineEnd;
    for (const RegValue& value : key.values) {
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
  kMissing,
  kDamaged,   // unreadable, not a file, or too large: taken as empty and rewritten
  kShortage,  // out of descriptors or memory: a later attempt may well read it
};

ReadResult ReadWholeFile(const std::string& path, std::string* bytes) {
  bytes->clear();
  // Non-blocking, so that a FIFO put in the file's place cannot hang the caller.
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    if (errno == ENOENT) return ReadResult::kMissing;
    return (errno == EMFILE || errno == ENFILE || errno == ENOMEM) ? ReadResult::kShortage
                                                                   : ReadResult::kDamaged;
  }
  struct stat info {};
  ReadResult result = ReadResult::kRead;
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    result = ReadResult::kDamaged;
  } else {
    char buffer[8192];
    while (true) {
      const ssize_t got = read(fd, buffer, sizeof buffer);
      if (got < 0 && errno == EINTR) continue;
      if (got < 0 || bytes->size() + static_cast<std::size_t>(got) > kMaxFileSize) {
        result = ReadResult::kDamaged;
        break;
      }
      if (got == 0) break;
      bytes->append(buffer, static_cast<std::size_t>(got));
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

// Written beside the file and renamed over it: a reader or a crash sees the old file or the
// new one, never part of one.
bool ReplaceFile(const std::string& path, std::string_view text) {
  std::string temporary = path + ".new.XXXXXX";
  const int fd = mkostemp(temporary.data(), O_CLOEXEC);
  if (fd < 0) return false;
  struct stat info {};
  bool done = true;
  if (stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode)) {
    done = fchmod(fd, info.st_mode & 07777) == 0;  // keep what a person chose
  }
  done = done && WriteAll(fd, text) && fsync(fd) == 0;
  done = close(fd) == 0 && done;
  done = done && rename(temporary.c_str(), path.c_str()) == 0;
  if (!done) unlink(temporary.c_str());
  return done;
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
// removing it would let two writers hold locks on different files.
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

// Under the lock: read the file afresh, let `change` edit it, write it back when it changed.
// `model` receives the content as it now stands.
template <typename Change>
bool Update(const std::string& file, KeyMap* model, Change change) {
  if (file.empty() || !MakeParentDirectories(file)) return false;
  const FileLock lock(file);
  if (!lock.held()) return false;
  std::string bytes;
  // Damaged content is dropped by the rewrite; a shortage must not wipe good settings.
  if (ReadWholeFile(file, &bytes) == ReadResult::kShortage) return false;
  *model = Parse(bytes);
  if (!change(*model)) return true;
  return ReplaceFile(file, Format(*model));
}

std::string HomeDirectory() {
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] != '\0') return home;
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

RegFileStore::RegFileStore()
    : RegFileStore(PathFor(std::getenv("XDG_CONFIG_HOME"), HomeDirectory().c_str())) {}

RegFileStore::RegFileStore(std::string filePath) : path_(std::move(filePath)) {}

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

RegistryKey RegFileStore::OpenKey(const std::string& path) {
  if (path_.empty() || !ValidKeyPath(path)) return 0;
  // No lock needed to read: the file is only ever replaced whole.
  std::string bytes;
  const ReadResult read = ReadWholeFile(path_, &bytes);
  if (read != ReadResult::kRead) return 0;
  const KeyMap keys = Parse(bytes);
  const std::string folded = Fold(path);
  const auto found = keys.find(folded);
  if (found == keys.end()) return 0;
  std::lock_guard lock(mutex_);
  const RegistryKey key = nextHandle_++;
  handles_[key] = Handle{path, folded, false, DwordsOf(found->second)};
  return key;
}

RegistryKey RegFileStore::CreateKey(const std::string& path) {
  if (!ValidKeyPath(path)) return 0;
  const std::string folded = Fold(path);
  std::lock_guard lock(mutex_);
  Model model;
  const bool done = Update(path_, &model.keys, [&](KeyMap& keys) {
    if (keys.count(folded) != 0) return false;
    AddKey(keys, path);
    return true;
  });
  if (!done) return 0;
  RefreshHandles(model);
  const RegistryKey key = nextHandle_++;
  handles_[key] = Handle{path, folded, true, DwordsOf(model.keys.at(folded))};
  return key;
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
  std::lock_guard lock(mutex_);
  const auto handle = handles_.find(key);
  if (handle == handles_.end() || !handle->second.writable) return false;
  Model model;
  const bool done = Update(path_, &model.keys, [&](KeyMap& keys) {
    // A person may have removed the key meanwhile; the writer still holds it open.
    RegValue stored;
    stored.name = name;
    stored.isDword = true;
    stored.dword = value;
    SetValue(AddKey(keys, handle->second.path), std::move(stored));
    return true;
  });
  if (done) RefreshHandles(model);
  return done;
}

void RegFileStore::CloseKey(RegistryKey key) {
  std::lock_guard lock(mutex_);
  handles_.erase(key);
}

void RegFileStore::RefreshHandles(const Model& model) {
  for (auto& entry : handles_) {
    const auto found = model.keys.find(entry.second.folded);
    if (found != model.keys.end()) entry.second.values = DwordsOf(found->second);
  }
}

}  // namespace orvex::platform
