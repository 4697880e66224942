// HKEY_CURRENT_USER's keys and values as the stores below keep them in memory: the in-memory
// store of the tests, and the .reg file store, which reads and writes the same tree as text.
// Key paths and value names compare without regard to case (ASCII letters, as the registry);
// a key's parents always exist; values keep the order and the spelling of their first write.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace orvex::platform {

struct RegistryValue {
  std::string name;  // empty for the key's default value
  bool isDword = false;
  std::int32_t dword = 0;
  std::string data;  // a value of another type, as the .reg file writes it after '='
};

class RegistryKeyTree {
 public:
  struct Key {
    std::string path;  // below HKEY_CURRENT_USER, as first spelt
    std::vector<RegistryValue> values;
    std::unordered_map<std::string, std::size_t> positions;  // by folded value name

    // The value of that name, or null.
    const RegistryValue* Find(std::string_view name) const;
    // Replaces the value of the same name in place (keeping its first spelling), or appends.
    void Set(RegistryValue value);
    // Removes the value of that name, if any.
    void Remove(std::string_view name);
    // The DWORD values, in order.
    std::vector<std::pair<std::string, std::int32_t>> Dwords() const;
  };

  // Names as the registry compares and sorts them: upper case, with the separator below every
  // name character, so that a key's subkeys follow it directly in the tree's order.
  static std::string Fold(std::string_view text);
  static bool SameName(std::string_view a, std::string_view b);
  // Names separated by single backslashes: not empty, no empty part.
  static bool WellFormedPath(std::string_view path);

  // The key, creating it and every missing parent.
  Key& Add(std::string_view path);
  Key* Find(std::string_view path);
  const Key* Find(std::string_view path) const;
  // Removes the key and its subkeys.
  void Remove(std::string_view path);
  // Adds every key of `changes` and sets every value of it, as a batch of writes does; true
  // when that changed anything (a key or value that was missing, or a value that differed).
  bool Merge(const RegistryKeyTree& changes);

  // Every key, parents before children and siblings in folded order.
  const std::map<std::string, Key>& Keys() const { return keys_; }

 private:
  std::map<std::string, Key> keys_;  // by folded path
};

}  // namespace orvex::platform
