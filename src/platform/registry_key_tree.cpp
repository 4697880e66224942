#include "platform/registry_key_tree.h"

#include <utility>

namespace orvex::platform {
namespace {

char FoldChar(char c) {
  if (c == '\\') return '\x01';
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

}  // namespace

std::string RegistryKeyTree::Fold(std::string_view text) {
  std::string folded(text);
  for (char& c : folded) c = FoldChar(c);
  return folded;
}

bool RegistryKeyTree::SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (FoldChar(a[i]) != FoldChar(b[i])) return false;
  }
  return true;
}

bool RegistryKeyTree::WellFormedPath(std::string_view path) {
  if (path.empty() || path.front() == '\\' || path.back() == '\\') return false;
  return path.find("\\\\") == std::string_view::npos;
}

const RegistryValue* RegistryKeyTree::Key::Find(std::string_view name) const {
  const auto found = positions.find(Fold(name));
  return found == positions.end() ? nullptr : &values[found->second];
}

void RegistryKeyTree::Key::Set(RegistryValue value) {
  std::string folded = Fold(value.name);
  const auto position = positions.find(folded);
  if (position == positions.end()) {
    // The value first: a position with no value behind it would outlive a failed append.
    values.push_back(std::move(value));
    try {
      positions.emplace(std::move(folded), values.size() - 1);
    } catch (...) {
      values.pop_back();
      throw;
    }
    return;
  }
  RegistryValue& stored = values[position->second];
  value.name = std::move(stored.name);  // keeps the first spelling and position
  stored = std::move(value);
}

void RegistryKeyTree::Key::Remove(std::string_view name) {
  const auto found = positions.find(Fold(name));
  if (found == positions.end()) return;
  values.erase(values.begin() + static_cast<std::ptrdiff_t>(found->second));
  positions.clear();
  for (std::size_t i = 0; i < values.size(); ++i) positions.emplace(Fold(values[i].name), i);
}

std::vector<std::pair<std::string, std::int32_t>> RegistryKeyTree::Key::Dwords() const {
  std::vector<std::pair<std::string, std::int32_t>> dwords;
  for (const RegistryValue& value : values) {
    if (value.isDword) dwords.emplace_back(value.name, value.dword);
  }
  return dwords;
}

RegistryKeyTree::Key& RegistryKeyTree::Add(std::string_view path) {
  // Parents always exist, so the missing keys are the deepest ones: a key added below existing
  // ones costs a look-up or two, not one for every level above it.
  std::size_t present = path.size();  // the length of the deepest key present, 0 for none
  while (true) {
    const auto found = keys_.find(Fold(path.substr(0, present)));
    if (found != keys_.end()) {
      if (present == path.size()) return found->second;
      break;
    }
    const auto slash = path.rfind('\\', present - 1);
    if (slash == std::string_view::npos) {
      present = 0;
      break;
    }
    present = slash;
  }
  for (std::size_t end = path.find('\\', present + 1);; end = path.find('\\', end + 1)) {
    const std::string_view part = path.substr(0, end);
    auto [it, added] = keys_.try_emplace(Fold(part));
    if (added) it->second.path = std::string(part);
    if (end == std::string_view::npos) return it->second;
  }
}

RegistryKeyTree::Key* RegistryKeyTree::Find(std::string_view path) {
  const auto found = keys_.find(Fold(path));
  return found == keys_.end() ? nullptr : &found->second;
}

const RegistryKeyTree::Key* RegistryKeyTree::Find(std::string_view path) const {
  const auto found = keys_.find(Fold(path));
  return found == keys_.end() ? nullptr : &found->second;
}

bool RegistryKeyTree::Merge(const RegistryKeyTree& changes) {
  bool changed = false;
  for (const auto& [folded, key] : changes.keys_) {
    auto [it, added] = keys_.try_emplace(folded);
    if (added) it->second.path = key.path;
    changed = changed || added;
    for (const RegistryValue& value : key.values) {
      const RegistryValue* stored = it->second.Find(value.name);
      if (stored != nullptr && stored->isDword == value.isDword && stored->dword == value.dword &&
          stored->data == value.data) {
        continue;
      }
      it->second.Set(value);
      changed = true;
    }
  }
  return changed;
}

void RegistryKeyTree::Remove(std::string_view path) {
  const std::string folded = Fold(path);
  std::erase_if(keys_, [&](const auto& entry) {
    const std::string& other = entry.first;
    return other == folded ||
           (other.size() > folded.size() && other.compare(0, folded.size(), folded) == 0 &&
            other[folded.size()] == '\x01');
  });
}

}  // namespace orvex::platform
