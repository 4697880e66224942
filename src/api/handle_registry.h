#pragma once

#include <cstdint>
#include <mutex>

namespace orvex {

class CameraContext;

// One live handle: a node of the circular doubly linked list.
struct RegistryNode {
  std::int32_t handle = 0;
  CameraContext* context = nullptr;  // owned; null just before the node is removed
  RegistryNode* prev = nullptr;
  RegistryNode* next = nullptr;
};

// The process-wide map from handle values to camera contexts: a circular list whose head
// follows the last lookup, so that repeated calls with one handle hit at once. Applications
// call the exports from several threads (one per camera is the usual design), and even a
// lookup moves the head, so every operation holds one mutex: short, since it covers the list
// and never a context's work. The library's own threads never use the registry.
class HandleRegistry {
 public:
  HandleRegistry() = default;
  ~HandleRegistry() { ClearRegistry(); }
  HandleRegistry(const HandleRegistry&) = delete;
  HandleRegistry& operator=(const HandleRegistry&) = delete;

  // Links a new node at the tail end of the circle and makes it the head; false when the node
  // could not be allocated.
  virtual bool AddContext(std::int32_t handle, CameraContext* context);
  // AddContext under *handle or, when no context may have that value (0, or one already
  // registered), the next value after it that is free; *handle receives the value used. New
  // handles go this way: two threads that start together can compute the same value (rand
  // keeps its state per thread on some systems, and the tick count moves in steps of
  // milliseconds), and two contexts under one value would take each other's calls.
  bool AddContextAtFreeHandle(std::int32_t* handle, CameraContext* context);
  // Walks from the head, moving it, until the value matches; a miss leaves the head on the
  // node that was the tail when the search began.
  CameraContext* FindContext(std::int32_t handle);
  // FindContext for a call that is about to use the context: the context's call is counted in
  // before the lock is let go (see ContextLease).
  CameraContext* EnterContext(std::int32_t handle);
  // Frees the head node (not its context); 1, or 0 when empty.
  int RemoveHead();
  // Release's part of the registry in one step: finds the handle as FindContext does, clears
  // the node's context and removes the node. The context, now the caller's, or null when the
  // handle is not registered. The caller destroys the context afterwards, outside the lock,
  // so that a long release does not hold up the other handles.
  CameraContext* TakeContext(std::int32_t handle);
  // Frees every node; registered contexts are neither destroyed nor stopped.
  void ClearRegistry();

  RegistryNode* Head() const {
    std::lock_guard lock(mutex_);
    return head_;
  }
  std::int32_t Count() const {
    std::lock_guard lock(mutex_);
    return count_;
  }

 private:
  // The operations above, with mutex_ held.
  RegistryNode* FindNodeLocked(std::int32_t handle);
  // Links a node in as AddContext describes.
  void LinkLocked(RegistryNode* node);
  // Whether any node has the value; the head stays where it is.
  bool HoldsLocked(std::int32_t handle) const;
  int RemoveHeadLocked();

  mutable std::mutex mutex_;
  RegistryNode* head_ = nullptr;
  std::int32_t count_ = 0;
};

// The registry of this library, constructed empty when the library is loaded and cleared when
// it is unloaded.
HandleRegistry& Registry();

}  // namespace orvex
