// The open batches of a store (see RegistryStore::BeginBatch), one a thread: how deep each is
// nested and the changes it holds back. Not thread-safe: the store calls it under its lock.
#pragma once

#include <map>
#include <new>
#include <thread>
#include <utility>

#include "platform/registry_key_tree.h"

namespace orvex::platform {

// A batch that lost a change (memory ran short while it was recorded, or before the batch could
// even begin) is refused: its later writes fail and its commit stores nothing, so that a save of
// several groups (a release) never stores some of them.
class RegistryBatches {
 public:
  void Begin() {
    if (unbegun_.owner == this) {
      ++unbegun_.depth;
      return;
    }
    try {
      ++batches_[std::this_thread::get_id()].depth;
    } catch (const std::bad_alloc&) {
      // One batch of one store a thread is kept aside; a second one's writes go out one by one.
      if (unbegun_.owner == nullptr) unbegun_ = Unbegun{this, 1};
    }
  }

  enum class Ending {
    kInner,    // an inner level, or no batch: nothing to store yet
    kStore,    // the outermost level: store the changes
    kRefused,  // the outermost level of a refused batch: nothing to store, and a failure
  };
  // Ends one level of the calling thread's batch; `changes` receives what to store for kStore.
  Ending End(RegistryKeyTree* changes) {
    if (unbegun_.owner == this) {
      if (--unbegun_.depth > 0) return Ending::kInner;
      unbegun_ = Unbegun{};
      return Ending::kRefused;
    }
    const auto found = batches_.find(std::this_thread::get_id());
    if (found == batches_.end() || --found->second.depth > 0) return Ending::kInner;
    const bool refused = found->second.refused;
    *changes = std::move(found->second.changes);
    batches_.erase(found);
    return refused ? Ending::kRefused : Ending::kStore;
  }

  // Refuses the calling thread's batch, if it has one open, and drops what it held back.
  void Refuse() {
    const auto found = batches_.find(std::this_thread::get_id());
    if (found == batches_.end()) return;
    found->second.refused = true;
    found->second.changes = RegistryKeyTree();
  }

  // The calling thread's batch is refused: a change in it fails at once.
  bool Refused() const {
    if (unbegun_.owner == this) return true;
    const auto found = batches_.find(std::this_thread::get_id());
    return found != batches_.end() && found->second.refused;
  }

  // The changes `thread`'s batch holds back; null when it has none open.
  RegistryKeyTree* Pending(std::thread::id thread = std::this_thread::get_id()) {
    const auto found = batches_.find(thread);
    return found == batches_.end() ? nullptr : &found->second.changes;
  }

 private:
  struct Batch {
    int depth = 0;
    bool refused = false;
    RegistryKeyTree changes;
  };
  std::map<std::thread::id, Batch> batches_;

  // The levels of a batch this thread began without memory for its entry.
  struct Unbegun {
    const RegistryBatches* owner = nullptr;
    int depth = 0;
  };
  static thread_local Unbegun unbegun_;
};

inline thread_local RegistryBatches::Unbegun RegistryBatches::unbegun_;

}  // namespace orvex::platform
