#pragma once

#include <cstdint>

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
// follows the last lookup, so that repeated calls with one handle hit at once. The application
// calls the exports from one thread at a time and the library's own threads never use it, so
// it takes no lock.
class HandleRegistry {
 public:
  HandleRegistry() = default;
  ~HandleRegistry() { ClearRegistry(); }
  HandleRegistry(const HandleRegistry&) = delete;
  HandleRegistry& operator=(const HandleRegistry&) = delete;

  // Links a new node at the tail end of the circle and makes it the head; false when the node
  // could not be allocated.
  virtual bool AddContext(std::int32_t handle, CameraContext* context);
  // Walks from the head, moving it, until the value matches; a miss leaves the head on the
  // node that was the tail when the search began.
  CameraContext* FindContext(std::int32_t handle);
  // Frees the head node (not its context); 1, or 0 when empty.
  int RemoveHead();
  // Frees every node; registered contexts are neither destroyed nor stopped.
  void ClearRegistry();

  RegistryNode* Head() const { return head_; }
  std::int32_t Count() const { return count_; }

 private:
  RegistryNode* head_ = nullptr;
  std::int32_t count_ = 0;
};

// The registry of this library, constructed empty when the library is loaded and cleared when
// it is unloaded.
HandleRegistry& Registry();

}  // namespace orvex
