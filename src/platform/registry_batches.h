// The open batches of a store (see RegistryStore::BeginBatch), one a thread: how deep each is
// nested and the changes it holds back. Not thread-safe: the store calls it under its lock.
#pragma once

#include <map>
#include <optional>
#include <thread>
#include <utility>

#include "platform/registry_key_tree.h"

namespace orvex::platform {

class RegistryBatches {
 public:
  void Begin() { ++batches_[std::this_thread::get_id()].depth; }

  // Ends one level of the calling thread's batch: the changes to store when that was the
  // outermost level, none otherwise (or without a batch).
  std::optional<RegistryKeyTree> End() {
    const auto found = batches_.find(std::this_thread::get_id());
    if (found == batches_.end() || --found->second.depth > 0) return std::nullopt;
    RegistryKeyTree changes = std::move(found->second.changes);
    batches_.erase(found);
    return changes;
  }

  // The changes `thread`'s batch holds back; null when it has none open.
  RegistryKeyTree* Pending(std::thread::id thread = std::this_thread::get_id()) {
    const auto found = batches_.find(thread);
    return found == batches_.end() ? nullptr : &found->second.changes;
  }

 private:
  struct Batch {
    int depth = 0;
    RegistryKeyTree changes;
  };
  std::map<std::thread::id, Batch> batches_;
};

}  // namespace orvex::platform
